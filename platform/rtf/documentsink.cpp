#include "readersink.h"

#include "charformat.h"
#include "hiddentext.h"

#include <QColor>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QUrl>

namespace qm::rtf {

DocumentSink::DocumentSink(QTextCursor &cursor, const DocumentTables &tables)
    : m_cursor(cursor)
    , m_tables(tables)
{
}

bool DocumentSink::begin()
{
    m_cursor.beginEditBlock();
    if (m_cursor.hasSelection())
        m_cursor.removeSelectedText();
    return m_cursor.block().length() <= 1;
}

void DocumentSink::end()
{
    m_cursor.endEditBlock();
}

void DocumentSink::insertText(const QString &text, const CharState &chars)
{
    m_cursor.insertText(text, formatFor(chars));
}

// A run of hidden text is one object character that holds the run (see hiddentext.h).
void DocumentSink::insertHidden(const QString &text, const CharState &chars)
{
    if (!m_hiddenLaidOut) {
        layOutHiddenText(*m_cursor.document());
        m_hiddenLaidOut = true;
    }
    m_cursor.insertText(QString(QChar::ObjectReplacementCharacter), hiddenTextFormat(formatFor(chars), text));
}

void DocumentSink::insertBlock()
{
    m_cursor.insertBlock();
}

void DocumentSink::formatParagraph(Qt::Alignment alignment, const CharState &mark)
{
    QTextBlockFormat block = m_cursor.blockFormat();
    const bool has = block.hasProperty(QTextFormat::BlockAlignment);
    if (alignment && (!has || block.alignment() != alignment)) {
        block.setAlignment(alignment);
        m_cursor.setBlockFormat(block);
    } else if (!alignment && has) {
        block.clearProperty(QTextFormat::BlockAlignment);
        m_cursor.setBlockFormat(block);
    }
    // An empty paragraph keeps the size of its paragraph mark.
    if (m_cursor.block().length() <= 1)
        m_cursor.setBlockCharFormat(formatFor(mark));
}

void DocumentSink::insertPicture(const PictureBuilder::Result &picture)
{
    m_cursor.document()->addResource(QTextDocument::ImageResource, QUrl(picture.format.name()), picture.image);
    m_cursor.insertImage(picture.format);
}

bool DocumentSink::atEnd() const
{
    return m_cursor.atEnd();
}

QTextCharFormat DocumentSink::formatFor(const CharState &state)
{
    if (m_cachedFormatValid && m_cachedState == state)
        return m_cachedFormat;
    QTextCharFormat f;
    const FontEntry *font = m_tables.fonts.find(state.font < 0 ? m_tables.defaultFont : state.font);
    if (font && !font->name.isEmpty())
        f.setFontFamilies({font->name});
    if (state.halfPoints > 0)
        f.setFontPointSize(state.halfPoints / 2.0);
    f.setFontWeight(state.bold ? QFont::Bold : QFont::Normal);
    f.setFontItalic(state.italic);
    f.setFontUnderline(state.underline);
    f.setFontStrikeOut(state.strike);
    if (state.caps)
        f.setFontCapitalization(QFont::AllUppercase);
    if (const QColor color = m_tables.colors.at(state.color); color.isValid())
        f.setForeground(color);
    if (state.verticalAlignment != QTextCharFormat::AlignNormal)
        f.setVerticalAlignment(state.verticalAlignment);
    if (state.offsetTwips != 0)
        setCharacterOffset(f, state.offsetTwips);
    m_cachedState = state;
    m_cachedFormat = f;
    m_cachedFormatValid = true;
    return f;
}

} // namespace qm::rtf
