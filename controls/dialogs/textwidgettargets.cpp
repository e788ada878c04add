#include "controls/dialogs/textwidgettargets.h"

#include <QPlainTextEdit>
#include <QTextEdit>

#include <algorithm>

namespace corvane {
namespace cursorselection {
namespace {

qsizetype clamped(const QTextCursor &cursor, qsizetype position)
{
    const qsizetype end = cursor.document()->characterCount() - 1;
    return std::clamp<qsizetype>(position, 0, end);
}

} // namespace

QString documentText(const QTextDocument &document)
{
    QString text = document.toRawText();
    for (QChar &c : text) {
        const char16_t u = c.unicode();
        if (u == QChar::ParagraphSeparator || u == 0xFDD0 || u == 0xFDD1) // frame start and end
            c = QLatin1Char('\n');
    }
    return text;
}

qsizetype start(const QTextCursor &cursor)
{
    return cursor.selectionStart();
}

qsizetype length(const QTextCursor &cursor)
{
    return cursor.selectionEnd() - cursor.selectionStart();
}

QString selectedText(const QTextCursor &cursor)
{
    const QString all = documentText(*cursor.document());
    return all.mid(start(cursor), length(cursor));
}

QTextCursor caretAt(QTextCursor cursor, qsizetype position)
{
    cursor.setPosition(int(clamped(cursor, position)));
    return cursor;
}

QTextCursor withLength(QTextCursor cursor, qsizetype length)
{
    const qsizetype from = start(cursor);
    cursor.setPosition(int(from));
    cursor.setPosition(int(clamped(cursor, from + length)), QTextCursor::KeepAnchor);
    return cursor;
}

} // namespace cursorselection

namespace cs = cursorselection;

template<class Base, class Edit>
CursorTarget<Base, Edit>::CursorTarget(Edit *edit)
    : Base(edit)
    , m_edit(edit)
{
}

template<class Base, class Edit>
QString CursorTarget<Base, Edit>::Text() const
{
    return cs::documentText(*m_edit->document());
}

template<class Base, class Edit>
qsizetype CursorTarget<Base, Edit>::SelStart() const
{
    return cs::start(m_edit->textCursor());
}

template<class Base, class Edit>
void CursorTarget<Base, Edit>::setSelStart(qsizetype position)
{
    m_edit->setTextCursor(cs::caretAt(m_edit->textCursor(), position));
}

template<class Base, class Edit>
qsizetype CursorTarget<Base, Edit>::SelLength() const
{
    return cs::length(m_edit->textCursor());
}

template<class Base, class Edit>
void CursorTarget<Base, Edit>::setSelLength(qsizetype length)
{
    m_edit->setTextCursor(cs::withLength(m_edit->textCursor(), length));
}

template<class Base, class Edit>
QString CursorTarget<Base, Edit>::SelText() const
{
    return cs::selectedText(m_edit->textCursor());
}

template<class Base, class Edit>
void CursorTarget<Base, Edit>::setSelText(const QString &text)
{
    QTextCursor cursor = m_edit->textCursor();
    cursor.insertText(text);
    m_edit->setTextCursor(cursor);
}

template class CursorTarget<FindTarget, QPlainTextEdit>;
template class CursorTarget<AttributeTarget, QTextEdit>;

PlainTextTarget::PlainTextTarget(QPlainTextEdit *edit)
    : CursorTarget(edit)
{
}

PlainTextTarget::~PlainTextTarget() = default;

RichTextTarget::RichTextTarget(QTextEdit *edit)
    : CursorTarget(edit)
{
}

RichTextTarget::~RichTextTarget() = default;

void RichTextTarget::mergeFormat(const QTextCharFormat &format)
{
    QTextCursor cursor = edit()->textCursor();
    cursor.mergeCharFormat(format);
}

void RichTextTarget::setSelFontSize(double points)
{
    QTextCharFormat format;
    format.setFontPointSize(points);
    mergeFormat(format);
}

void RichTextTarget::setSelColor(const QColor &color)
{
    QTextCharFormat format;
    format.setForeground(color);
    mergeFormat(format);
}

void RichTextTarget::setSelBold(bool on)
{
    QTextCharFormat format;
    format.setFontWeight(on ? QFont::Bold : QFont::Normal);
    mergeFormat(format);
}

void RichTextTarget::setSelItalic(bool on)
{
    QTextCharFormat format;
    format.setFontItalic(on);
    mergeFormat(format);
}

void RichTextTarget::setSelUnderline(bool on)
{
    QTextCharFormat format;
    format.setFontUnderline(on);
    mergeFormat(format);
}

void RichTextTarget::setSelStrikeThru(bool on)
{
    QTextCharFormat format;
    format.setFontStrikeOut(on);
    mergeFormat(format);
}

} // namespace corvane
