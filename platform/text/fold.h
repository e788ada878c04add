#pragma once

#include <QString>

#include <string>

namespace qm::text {

// The comparison key of keywords and headings: compatibility normalisation (full-width and
// half-width forms become one), case folding, and katakana turned into hiragana. Two texts
// the user would call "the same word" in Japanese get the same key: "ｷｰﾜｰﾄﾞ", "キーワード" and
// "きーわーど" all fold to "きーわーど"; "ABC", "abc" and "ＡＢＣ" to "abc".
QString fold(QStringView text);

// Names the folding rules together with the Unicode tables they use. Keys folded under another
// version may differ from fold() of the same text, so stored keys record it.
QString foldVersion();

// Folds one character; the result may be longer than one code point ("ｶﾞ" is two on input).
QString foldChar(char32_t codePoint);

// The text as code points; the second form reuses the buffer it is given.
std::u32string codePoints(QStringView text);
void codePoints(QStringView text, std::u32string &out);

} // namespace qm::text
