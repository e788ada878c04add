#pragma once

#include "controls/fonteditorcontrol.h"
#include "corvane_export.h"

#include <QColor>

class QAction;
class QActionGroup;
class QComboBox;
class QKeyEvent;
class QTextCharFormat;
class QTextEdit;
class QToolBar;

namespace corvane {

class EditorCommands;
class RichTextTarget;
struct SelectionFormat;

// A value read from the selection, or the error of a selection that mixes values.
template<class T>
struct [[nodiscard]] SelectionValue {
    T value{};
    QString error;
    bool ok() const { return error.isEmpty(); }
};

// The rich-text editor ("Corvane.RichTextBoxEdit"): a rich-text widget, RichText, under an edit
// toolbar, tbEditToolBar (file, clipboard, find and attribute commands), and a format toolbar,
// tbFormToolBar (font name and size boxes, character styles, colour, raised and lowered text,
// alignment). The format toolbar always shows the attributes of the selection, with a mixed
// look where the selection is not uniform. Keys with Ctrl repeat most of the commands.
//
// Bodies cross as RTF through "TextRTF" (platform/rtf). The font name box is filled from the
// font list cache "Font.ini" in the library's folder (FontListCache).
class CORVANE_EXPORT RichTextBoxEdit final : public FontEditorControl
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(RichTextBoxEdit)
    Q_PROPERTY(QString TextRTF READ textRtf WRITE setTextRtf)
    // Read through the property, a selection that mixes fonts or sizes gives an invalid value;
    // SelFontName() and SelFontSize() give the error itself.
    Q_PROPERTY(QVariant SelFontName READ selFontNameValue WRITE setSelFontNameValue)
    Q_PROPERTY(QVariant SelFontSize READ selFontSizeValue WRITE setSelFontSizeValue)

public:
    // Files larger than this are not loaded: the editor would not stay usable.
    static constexpr qint64 MaxFileSize = 64 * 1024 * 1024;

    explicit RichTextBoxEdit(QWidget *parent = nullptr);
    ~RichTextBoxEdit() override;

    // "Text": the contents as plain text, lines ended by CR LF. Setting it tells a
    // design-keeping host and clears "Edit".
    QString text() const override;
    void setText(const QString &text) override;
    // "TextRTF": the contents as RTF. Setting it clears "Edit".
    QString textRtf() const;
    // The visible text a reader of textRtf() finds: hidden text left out, paragraphs and line
    // breaks as "\n" (text() gives the plain text as typed, with CR LF).
    QString visibleText() const;
    void setTextRtf(const QString &rtf);
    bool isLocked() const override;
    void setLocked(bool locked) override;
    // "Font": the widget's base font. Setting it leaves "Edit" as it is.
    QFont editorFont() const override;
    void setEditorFont(const QFont &font) override;

    // "SelFontName" / "SelFontSize": of the selection, or of the caret (what typing will use).
    // Reading them over a selection that mixes values is an error. Setting them clears "Edit".
    SelectionValue<QString> SelFontName() const;
    void setSelFontName(const QString &name);
    SelectionValue<float> SelFontSize() const;
    // Sizes a document cannot hold (not above 0, above 1638 points) are ignored.
    void setSelFontSize(float points);

    // Empties the contents, resets the typing attributes to the base font, left aligned and
    // black, and clears "Edit".
    void Clear() override;
    // Loads the file as RTF (a file without RTF markup as its text). Does not clear "Edit": a
    // loaded file counts as a change. Errors go back to the caller.
    Result LoadFile(const QString &strFileName) override;

    QSize sizeHint() const override;

protected:
    void resizeEvent(QResizeEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void createEditToolBar();
    void createFormToolBar();
    QWidget *createFontBoxes();
    void layOut();

    QVariant selFontNameValue() const;
    void setSelFontNameValue(const QVariant &value);
    QVariant selFontSizeValue() const;
    void setSelFontSizeValue(const QVariant &value);

    SelectionFormat selectionFormat() const;
    // Merges the format into the selection, or into the typing attributes at a caret. Nothing
    // changes while the text is locked.
    void applyFormat(const QTextCharFormat &format);
    void setAlignment(int alignment);
    void setColor(const QColor &color);
    void toggleStyle(QAction *button);
    void applyStyle(QAction *button, bool on);
    void resetTypingAttributes();
    void setPlainContents(const QString &text);
    // Clears "Edit" after the contents were set or saved.
    void clearEdited();
    void RichText_Change();

    Result readFile(const QString &path);
    Result writeFile(const QString &path);
    bool mayDiscardEdits();

    void NewDocument();
    void OpenDocument();
    void SaveDocument();
    void PrintDocument();
    void ChooseSelectionColor();
    void MakeSuperscript();
    void MakeSubscript();
    // Halves the selection's size and gives it the offset newOffset makes of the old offset and
    // the new size; nothing happens over mixed sizes or below the smallest raised size.
    void halveSize(int (*newOffset)(int offset, double half));
    void RestoreNormalSize();
    void UpdateFormatToolbar();
    void FillFontLists();
    void showFind();
    void showReplace();
    void showAttribute();
    void sendKeystroke(Qt::Key key);

    // The keyboard table; true when the key was consumed.
    bool RichText_KeyDown(const QKeyEvent &key);
    static bool handlesShortcut(const QKeyEvent &key);
    void cboFontName_Click(int index);
    void cboFontSize_Click(int index);
    // Enter in a font box: applies a non-empty text and moves to the text.
    bool fontBoxKeyPress(QComboBox *box, const QKeyEvent &key);

    QToolBar *tbEditToolBar;
    QToolBar *tbFormToolBar;
    QComboBox *cboFontName = nullptr;
    QComboBox *cboFontSize = nullptr;
    QTextEdit *RichText;
    RichTextTarget *m_findTarget;
    EditorCommands *m_commands;
    QAction *m_bold = nullptr;
    QAction *m_italic = nullptr;
    QAction *m_underline = nullptr;
    QAction *m_strikethrough = nullptr;
    QAction *m_sup = nullptr;
    QAction *m_sub = nullptr;
    QAction *m_original = nullptr;
    QAction *m_left = nullptr;
    QAction *m_center = nullptr;
    QAction *m_right = nullptr;
    QColor m_dialogColor = Qt::black; // what the colour dialog returned last
};

} // namespace corvane
