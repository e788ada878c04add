#include "controls/textboxedit/textboxedit.h"

#include "controls/dialogs/commondialogs.h"
#include "controls/dialogs/frmfinddialog.h"
#include "controls/dialogs/textwidgettargets.h"
#include "controls/editorcommands.h"
#include "controls/messages.h"
#include "controls/services.h"
#include "controls/textboxedit/lineends.h"

#include "platform/desktop/accessiblename.h"
#include "platform/rtf/printing.h"
#include "platform/text/textfile.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QTextDocument>
#include <QToolBar>

namespace corvane {
namespace {

using qm::desktop::Prompter;

QString textFilter()
{
    return QStringLiteral("ﾃｷｽﾄ ﾌｧｲﾙ (*.txt)");
}

} // namespace

TextBoxEdit::TextBoxEdit(QWidget *parent)
    : TextBoxEdit(parent, {textFilter(), true})
{
}

TextBoxEdit::TextBoxEdit(QWidget *parent, Variant variant)
    : FontEditorControl(parent)
    , tbEditToolBar(new QToolBar(this))
    , TextBox(new QPlainTextEdit(this))
    , m_findTarget(new PlainTextTarget(TextBox))
    , m_commands(new EditorCommands(TextBox))
    , m_fileFilter(std::move(variant.fileFilter))
    , m_lineEnd(lineEndOf({}))
{
    TextBox->setObjectName(QStringLiteral("TextBox"));
    TextBox->setAccessibleName(QStringLiteral("テキスト"));
    TextBox->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setFocusProxy(TextBox);
    captureDefaultFont(TextBox->font());
    connect(TextBox, &QPlainTextEdit::textChanged, this, &TextBoxEdit::TextBox_Change);
    createToolBar(variant.printButton);
    m_commands->add(*this, tbEditToolBar->actions());
    layOut();
}

TextBoxEdit::~TextBoxEdit() = default;

void TextBoxEdit::createToolBar(bool printButton)
{
    struct Button {
        const char *key;
        const char16_t *toolTip;
        const char *image;
        void (TextBoxEdit::*command)();
        bool separatorAfter;
    };
    static constexpr Button buttons[] = {
        {"btnNew", u"新規作成 Ctrl+N", "New", &TextBoxEdit::NewDocument, false},
        {"btnOpen", u"開く", "Open", &TextBoxEdit::OpenDocument, false},
        {"btnSave", u"保存", "Save", &TextBoxEdit::SaveDocument, true},
        {"btnPrint", u"印刷 Ctrl+P", "Print", &TextBoxEdit::PrintDocument, true},
        {"btnCut", u"切り取り Ctrl+X", "Cut", &TextBoxEdit::cutText, false},
        {"btnCopy", u"ｺﾋﾟｰ Ctrl+C", "Copy", &TextBoxEdit::copyText, false},
        {"btnPaste", u"貼り付け Ctrl+V", "Paste", &TextBoxEdit::pasteText, false},
        {"btnUndo", u"元に戻す Ctrl+Z", "Undo", &TextBoxEdit::undoEdit, true},
        {"btnFind", u"検索 Ctrl+F", "Find", &TextBoxEdit::showFind, false},
        {"btnReplace", u"置換", "Replace", &TextBoxEdit::showReplace, false},
    };
    tbEditToolBar->setObjectName(QStringLiteral("tbEditToolBar"));
    tbEditToolBar->setMovable(false);
    tbEditToolBar->setFloatable(false);
    tbEditToolBar->setIconSize(QSize(16, 16));
    qm::desktop::nameToolBarExtension(tbEditToolBar);
    for (const Button &b : buttons) {
        if (!printButton && b.command == &TextBoxEdit::PrintDocument)
            continue;
        const QString toolTip = QString::fromUtf16(b.toolTip);
        const QIcon icon(QStringLiteral(":/corvane/textboxedit/%1.svg").arg(QLatin1String(b.image)));
        QAction *action = tbEditToolBar->addAction(icon, toolTip);
        action->setObjectName(QLatin1String(b.key));
        action->setToolTip(toolTip);
        connect(action, &QAction::triggered, this, b.command);
        if (b.separatorAfter)
            tbEditToolBar->addSeparator();
    }
}

QSize TextBoxEdit::sizeHint() const
{
    return {480, 320};
}

void TextBoxEdit::resizeEvent(QResizeEvent *event)
{
    FontEditorControl::resizeEvent(event);
    layOut();
}

// The bar over the full width; the text below it, keeping its last height when the control is
// no taller than the bar.
void TextBoxEdit::layOut()
{
    const int barHeight = tbEditToolBar->sizeHint().height();
    tbEditToolBar->setGeometry(0, 0, width(), barHeight);
    const int textHeight = height() - barHeight;
    TextBox->setGeometry(0, barHeight, width(), textHeight > 0 ? textHeight : TextBox->height());
}

// Text an input method is still composing is shown but not yet in the document; the widget
// reports it as a change all the same, which is not one.
void TextBoxEdit::TextBox_Change()
{
    if (TextBox->document()->isModified())
        markEdited();
}

void TextBoxEdit::clearEdited()
{
    TextBox->document()->setModified(false);
    clearEditFlag();
}

QString TextBoxEdit::text() const
{
    return withLineEnds(cursorselection::documentText(*TextBox->document()), m_lineEnd);
}

void TextBoxEdit::setText(const QString &text)
{
    setContents(text, TextEncoding::Cp932);
}

// The widget reports the change, so the flag is cleared afterwards.
void TextBoxEdit::setContents(const QString &text, TextEncoding encoding)
{
    m_lineEnd = lineEndOf(text);
    m_encoding = encoding;
    TextBox->setPlainText(text);
    clearEdited();
}

bool TextBoxEdit::isLocked() const
{
    return TextBox->isReadOnly();
}

// Locked text can still be selected and copied with the keyboard.
void TextBoxEdit::setLocked(bool locked)
{
    TextBox->setReadOnly(locked);
    if (locked)
        TextBox->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    Q_EMIT propertyChanged(QStringLiteral("Locked"));
}

QFont TextBoxEdit::editorFont() const
{
    return TextBox->font();
}

void TextBoxEdit::setEditorFont(const QFont &font)
{
    TextBox->setFont(font);
    Q_EMIT propertyChanged(QStringLiteral("Font"));
    clearEdited();
}

void TextBoxEdit::Clear()
{
    setContents({}, TextEncoding::Cp932);
}

Result TextBoxEdit::LoadFile(const QString &strFileName)
{
    return readFile(strFileName);
}

Result TextBoxEdit::readFile(const QString &path)
{
    QFile file(path);
    QByteArray bytes;
    if (file.open(QIODevice::ReadOnly))
        bytes = file.readAll();
    if (!file.isOpen() || file.error() != QFileDevice::NoError) {
        return Result::failure(QStringLiteral("\"%1\" を読み込めません。\n%2")
                                   .arg(QDir::toNativeSeparators(path), file.errorString()));
    }
    const DecodedTextFile decoded = decodeTextFile(bytes);
    setContents(decoded.text, decoded.encoding);
    return Result::success();
}

Result TextBoxEdit::writeFile(const QString &path)
{
    const qm::text::WriteResult written =
        qm::text::writeFileAtomically(path, encodeTextFile(text(), m_encoding));
    if (written.ok)
        return Result::success();
    return Result::failure(QStringLiteral("\"%1\" に書き込めません。\n%2")
                               .arg(QDir::toNativeSeparators(path), written.error));
}

bool TextBoxEdit::mayDiscardEdits()
{
    if (!isEdited())
        return true;
    const Prompter::Answer answer = Services::prompter().ask(
        {QStringLiteral("編集内容を破棄してもよろしいですか"), texts::title(),
         Prompter::Buttons::YesNo, Prompter::Answer::No, Prompter::Icon::None});
    return answer == Prompter::Answer::Yes;
}

void TextBoxEdit::showFailure(const Result &result)
{
    if (!result)
        Services::prompter().inform(result.error, texts::title(), Prompter::Icon::Warning);
}

void TextBoxEdit::NewDocument()
{
    if (mayDiscardEdits())
        Clear();
}

// A cancelled dialog leaves the text and "Edit" as they were, even after the user agreed to
// discard the edits.
void TextBoxEdit::OpenDocument()
{
    if (!mayDiscardEdits())
        return;
    const std::optional<QString> path =
        CommonDialogs::fileChooser().openFile({QStringLiteral("開く"), m_fileFilter, {}});
    if (path)
        showFailure(readFile(*path));
}

// Saving asks nothing, edited or not. A file that could not be written is reported and leaves
// "Edit" as it was.
void TextBoxEdit::SaveDocument()
{
    const std::optional<QString> path = CommonDialogs::fileChooser().saveFile(
        {QStringLiteral("名前を付けて保存"), m_fileFilter, {}});
    if (!path)
        return;
    const Result written = writeFile(*path);
    showFailure(written);
    if (written)
        clearEdited();
}

// The selection (offered and preselected when there is one) or the whole text, as the print
// dialog chose, printed as the text viewer prints it.
void TextBoxEdit::PrintDocument()
{
    const QTextCursor cursor = TextBox->textCursor();
    CommonDialogs::withPrintService([&cursor](qm::desktop::PrintService &service) {
        if (service.choosePrinter(QStringLiteral("印刷"), cursor.hasSelection()))
            qm::rtf::printChosenPlainText(cursor, service.printer());
    });
}

void TextBoxEdit::sendKeystroke(Qt::Key key)
{
    TextBox->setFocus();
    QKeyEvent press(QEvent::KeyPress, key, Qt::ControlModifier);
    QApplication::sendEvent(TextBox, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::ControlModifier);
    QApplication::sendEvent(TextBox, &release);
}

void TextBoxEdit::cutText()
{
    sendKeystroke(Qt::Key_X);
}

void TextBoxEdit::copyText()
{
    sendKeystroke(Qt::Key_C);
}

void TextBoxEdit::pasteText()
{
    sendKeystroke(Qt::Key_V);
}

void TextBoxEdit::undoEdit()
{
    sendKeystroke(Qt::Key_Z);
}

void TextBoxEdit::showFind()
{
    frmFindDialog::showFor(*m_findTarget, 1);
}

void TextBoxEdit::showReplace()
{
    frmFindDialog::showFor(*m_findTarget, 2);
}

} // namespace corvane
