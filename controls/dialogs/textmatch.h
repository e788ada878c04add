#pragma once

#include "corvane_export.h"

#include <QStringView>

#include <optional>

namespace corvane {

// A run of characters of a text: where it starts and how many UTF-16 units it covers.
struct TextSpan {
    qsizetype start = 0;
    qsizetype length = 0;
    friend bool operator==(const TextSpan &, const TextSpan &) = default;
};

// Finds `needle` in `text`, the first match starting at `from` or later.
//
// With `matchCase` the characters must be the same. Without it the texts are compared as a
// Japanese reader compares words (qm::text::fold): letter case, full and half width, and
// hiragana and katakana do not matter. Folding can change lengths ("ｶﾞ" is two characters
// and folds to one), so the match is given as the span of `text` it covers, which always
// consists of whole characters: a base character together with its combining marks.
CORVANE_EXPORT std::optional<TextSpan> findText(QStringView text, QStringView needle,
                                                qsizetype from, bool matchCase);

// True when the whole of `text` is a match of `needle`.
CORVANE_EXPORT bool matchesWhole(QStringView text, QStringView needle, bool matchCase);

} // namespace corvane
