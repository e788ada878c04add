#include "charformat.h"

namespace qm::rtf {
namespace {
constexpr qreal TwipsPerPoint = 20.0;
constexpr qreal FallbackPointSize = 12.0;
} // namespace

int characterOffset(const QTextCharFormat &format)
{
    return format.intProperty(CharacterOffsetProperty);
}

void setCharacterOffset(QTextCharFormat &format, int twips)
{
    format.setProperty(CharacterOffsetProperty, twips);
    const qreal size = format.fontPointSize() > 0 ? format.fontPointSize() : FallbackPointSize;
    // The baseline offset is a percentage of the font's size.
    format.setBaselineOffset(twips / TwipsPerPoint / size * 100.0);
}

} // namespace qm::rtf
