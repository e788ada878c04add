#include "editormembers.h"

#include "controls/editorcontrol.h"
#include "controls/fonteditorcontrol.h"
#include "controls/richtextboxedit/richtextboxedit.h"
#include "controls/textboxhtml/textboxhtml.h"

#include <QWidget>

namespace qm::app::editor {

namespace {

const corvane::EditorControl *asEditor(const QWidget *control)
{
    return qobject_cast<const corvane::EditorControl *>(control);
}

corvane::EditorControl *asEditor(QWidget *control)
{
    return qobject_cast<corvane::EditorControl *>(control);
}

} // namespace

QString body(const QWidget *control)
{
    if (const auto *rich = qobject_cast<const corvane::RichTextBoxEdit *>(control))
        return rich->textRtf();
    return text(control);
}

void setBody(QWidget *control, const QString &body)
{
    if (auto *rich = qobject_cast<corvane::RichTextBoxEdit *>(control))
        rich->setTextRtf(body);
    else if (auto *editor = asEditor(control))
        editor->setText(body);
}

QString text(const QWidget *control)
{
    const auto *editor = asEditor(control);
    return editor ? editor->text() : QString();
}

QString visibleText(const QWidget *control)
{
    if (const auto *rich = qobject_cast<const corvane::RichTextBoxEdit *>(control))
        return rich->visibleText();
    return {};
}

bool isEdited(const QWidget *control)
{
    const auto *editor = asEditor(control);
    return editor && editor->isEdited();
}

void clear(QWidget *control)
{
    if (auto *editor = asEditor(control))
        editor->Clear();
}

void setFont(QWidget *control, const QFont &font)
{
    if (auto *editor = qobject_cast<corvane::FontEditorControl *>(control))
        editor->setEditorFont(font);
}

void setTypingFont(QWidget *control, const QString &name, float points)
{
    auto *rich = qobject_cast<corvane::RichTextBoxEdit *>(control);
    if (!rich)
        return;
    rich->setSelFontName(name);
    rich->setSelFontSize(points);
}

QString loadFile(QWidget *control, const QString &path)
{
    auto *editor = asEditor(control);
    if (!editor)
        return QStringLiteral("この種類の本文を編集する部品がありません。");
    return editor->LoadFile(path).error;
}

std::optional<QString> title(const QWidget *control)
{
    const auto *html = qobject_cast<const corvane::TextBoxHTML *>(control);
    if (!html)
        return std::nullopt;
    QString strTitle;
    if (!html->GetTitle(&strTitle).ok())
        return std::nullopt;
    return strTitle;
}

} // namespace qm::app::editor
