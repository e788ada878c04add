#include "readersink.h"

namespace qm::rtf {

// A document keeps a line separator as a line break, which visibleText() gives as "\n"; the
// frame marks U+FDD0 and U+FDD1 split the paragraph where they stand. (Line ends and other
// control characters never reach a sink.)
void TextSink::insertText(const QString &text, const CharState &)
{
    const qsizetype start = m_text.size();
    m_text.append(text);
    for (auto it = m_text.begin() + start; it != m_text.end(); ++it) {
        const char16_t c = it->unicode();
        if (c == QChar::LineSeparator || c == 0xFDD0 || c == 0xFDD1)
            *it = u'\n';
    }
}

void TextSink::insertPicture(const PictureBuilder::Result &)
{
    m_text.append(QChar::ObjectReplacementCharacter);
}

} // namespace qm::rtf
