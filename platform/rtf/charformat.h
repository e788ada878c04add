#pragma once

#include <QTextFormat>

// Character attributes of the rich-text editor that QTextCharFormat has no property for.
namespace qm::rtf {

// The character offset: a vertical shift in twips, positive raises, negative lowers (the
// editor's subscript is -1). It is kept exactly in this property and drawn through the
// format's baseline offset; RTF carries it as \upN / \dnN (half points) and, when the twips
// are not a whole number of half points, also as our own \qmoffsetN, which other readers ignore.
inline constexpr int CharacterOffsetProperty = QTextFormat::UserProperty + 0x0100;

int characterOffset(const QTextCharFormat &format);
// Sets the offset (0 included, so merging the format clears an earlier one). Set the font size
// first: the drawn shift is computed from it.
void setCharacterOffset(QTextCharFormat &format, int twips);

} // namespace qm::rtf
