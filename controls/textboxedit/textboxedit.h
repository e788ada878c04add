#pragma once

#include "controls/fonteditorcontrol.h"
#include "controls/textboxedit/textfilecodec.h"
#include "corvane_export.h"

class QPlainTextEdit;
class QToolBar;

namespace corvane {

class EditorCommands;
class PlainTextTarget;

// The plain text editor ("Corvane.TextBoxEdit"): a multi-line text widget, TextBox, under a
// toolbar, tbEditToolBar, of file, clipboard and search commands.
//
// "Text" gives the text with its line ends as they were set (from the host or a file; CR LF
// for text typed from scratch), since the widget itself keeps them as "\n". A file opened and
// saved is written back in the encoding it was read in; see TextEncoding.
//
// The HTML source editor is this editor with other file types and no printing; see Variant.
class CORVANE_EXPORT TextBoxEdit : public FontEditorControl
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TextBoxEdit)

public:
    explicit TextBoxEdit(QWidget *parent = nullptr);
    ~TextBoxEdit() override;

    QString text() const override;
    void setText(const QString &text) override;
    bool isLocked() const override;
    void setLocked(bool locked) override;
    QFont editorFont() const override;
    // Replaces the widget's font, tells a design-keeping host, and clears "Edit".
    void setEditorFont(const QFont &font) override;

    void Clear() override;
    // The whole file, read as UTF-8 when it is valid UTF-8 and as CP932 otherwise; clears
    // "Edit". Errors go back to the caller, and the text is then left as it was.
    Result LoadFile(const QString &strFileName) override;

    QSize sizeHint() const override;

protected:
    // What an editor built on this one changes: the file types of the open and save dialogs
    // (a file dialog filter), and whether the toolbar has the print button.
    struct Variant {
        QString fileFilter;
        bool printButton = true;
    };
    TextBoxEdit(QWidget *parent, Variant variant);

    void resizeEvent(QResizeEvent *event) override;

    // For a derived editor to add its own commands and read its text widget.
    QToolBar *toolBar() const { return tbEditToolBar; }
    QPlainTextEdit *textWidget() const { return TextBox; }
    // The commands reachable by key and from the text's context menu.
    EditorCommands &editorCommands() const { return *m_commands; }

    // Clears "Edit" after the contents were set or saved.
    void clearEdited();

private:
    void createToolBar(bool printButton);
    void layOut();
    void TextBox_Change();
    void setContents(const QString &text, TextEncoding encoding);
    Result readFile(const QString &path);
    Result writeFile(const QString &path);
    // True when nothing was edited or the user agrees to discard the edits.
    bool mayDiscardEdits();
    void showFailure(const Result &result);

    void NewDocument();
    void OpenDocument();
    void SaveDocument();
    void PrintDocument();
    void cutText();
    void copyText();
    void pasteText();
    void undoEdit();
    void showFind();
    void showReplace();
    // Gives the widget the focus and the keystroke, so that its own rules apply (nothing is cut
    // or pasted while it is locked).
    void sendKeystroke(Qt::Key key);

    QToolBar *tbEditToolBar;
    QPlainTextEdit *TextBox;
    PlainTextTarget *m_findTarget;
    EditorCommands *m_commands;
    QString m_fileFilter;
    QString m_lineEnd;
    TextEncoding m_encoding = TextEncoding::Cp932;
};

} // namespace corvane
