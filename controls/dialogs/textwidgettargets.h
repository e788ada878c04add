#pragma once

#include "controls/dialogs/findtarget.h"
#include "corvane_export.h"

#include <QTextCursor>

class QPlainTextEdit;
class QTextDocument;
class QTextEdit;

namespace corvane {

// The selection of a text widget as the search dialogs see it. Text() is the document's own
// text with each paragraph or frame break as "\n", so that an index into it is a cursor
// position of the document.
namespace cursorselection {

QString documentText(const QTextDocument &document);
qsizetype start(const QTextCursor &cursor);
qsizetype length(const QTextCursor &cursor);
QString selectedText(const QTextCursor &cursor);
// The cursor with only a caret at the position (clamped to the document).
QTextCursor caretAt(QTextCursor cursor, qsizetype position);
// The cursor selecting `length` characters from its selection start (clamped).
QTextCursor withLength(QTextCursor cursor, qsizetype length);

} // namespace cursorselection

// The selection members over a text widget's cursor; the widget is the parent.
template<class Base, class Edit>
class CORVANE_EXPORT CursorTarget : public Base
{
public:
    QString Text() const override;
    qsizetype SelStart() const override;
    void setSelStart(qsizetype position) override;
    qsizetype SelLength() const override;
    void setSelLength(qsizetype length) override;
    QString SelText() const override;
    void setSelText(const QString &text) override;

protected:
    explicit CursorTarget(Edit *edit);
    Edit *edit() const { return m_edit; }

private:
    Edit *m_edit;
};

extern template class CORVANE_EXPORT CursorTarget<FindTarget, QPlainTextEdit>;
extern template class CORVANE_EXPORT CursorTarget<AttributeTarget, QTextEdit>;

// The search dialogs' view of a plain text widget.
class CORVANE_EXPORT PlainTextTarget final : public CursorTarget<FindTarget, QPlainTextEdit>
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PlainTextTarget)

public:
    explicit PlainTextTarget(QPlainTextEdit *edit);
    ~PlainTextTarget() override;
};

// The search dialogs' view of a rich-text widget, with the character attributes the attribute
// dialog sets.
class CORVANE_EXPORT RichTextTarget final : public CursorTarget<AttributeTarget, QTextEdit>
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(RichTextTarget)

public:
    explicit RichTextTarget(QTextEdit *edit);
    ~RichTextTarget() override;

    void setSelFontSize(double points) override;
    void setSelColor(const QColor &color) override;
    void setSelBold(bool on) override;
    void setSelItalic(bool on) override;
    void setSelUnderline(bool on) override;
    void setSelStrikeThru(bool on) override;

private:
    void mergeFormat(const QTextCharFormat &format);
};

} // namespace corvane
