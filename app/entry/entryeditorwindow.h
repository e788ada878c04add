#pragma once

#include "app/store/dictionary/entry.h"
#include "app/store/dictionary/viewertype.h"
#include "platform/desktop/prompter.h"

#include <QMainWindow>

#include <array>
#include <memory>
#include <optional>

class QAction;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;

namespace qm::objects {
class FileChooser;
class ObjectContainer;
}
namespace qm::store {
class Settings;
}

namespace qm::app {

// The design both entry windows share: the keyword box and list on the left, the heading and
// the body editor of the selected type on the right, the splitter between them, the Edit menu
// of the keywords, the pop-up menu of an object body and the window's stored placement
// (section "EditWindow"). The new-entry and modification windows add their dictionary control,
// their File menu and what they write.
//
// Positions are kept in twips, as the window's design gives them, and converted to pixels only
// when a control is placed.
class EntryEditorWindow : public QMainWindow
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(EntryEditorWindow)

public:
    ~EntryEditorWindow() override;

    QLabel *lblKeyWord = nullptr;
    QLineEdit *txtIndex = nullptr;
    QListWidget *lstIndex = nullptr;
    QLabel *lblDic = nullptr;
    QLabel *lblClassification = nullptr;
    QComboBox *cboViewer = nullptr;
    QLabel *lblHeading = nullptr;
    QLineEdit *txtHeading = nullptr;
    QLabel *lblDocument = nullptr;
    // The library's editors; a control the library cannot make is a placeholder that says so.
    QWidget *TextBox = nullptr;
    QWidget *RTFBox = nullptr;
    QWidget *URLBox = nullptr;
    QWidget *HTMLBox = nullptr;
    objects::ObjectContainer *oleOLEContainer = nullptr;
    QWidget *imgSplitter = nullptr;
    QWidget *picSplitter = nullptr;

    QMenu *mnuFile = nullptr;
    QMenu *mnuEdit = nullptr;
    QAction *mnuEditKeyWordDelete = nullptr;
    QAction *mnuEditAllSelect = nullptr;
    QAction *mnuHelp = nullptr;
    QMenu *mnuOLE = nullptr;
    QAction *mnuOLEInsertObject = nullptr;
    QAction *mnuOLEPaste = nullptr;
    QAction *mnuOLESpecialPaste = nullptr;
    QAction *mnuOLECreateLink = nullptr;
    QAction *mnuOLECreateEmbed = nullptr;
    QAction *mnuOLEDelete = nullptr;

    // The heading, the keyword list or the object changed since the window was filled or
    // cleared (the text editors keep their own flag, "Edit").
    bool Edited = false;
    bool SplitterDragging = false;

    // The body type of the selected cboViewer row (none when no row is selected).
    std::optional<store::Viewer> selectedViewer() const;
    // The body editor of a body type.
    QWidget *bodyEditor(store::Viewer viewer) const;
    // False when the library could not make the editor of this type.
    bool hasBodyEditor(store::Viewer viewer) const;

    // Shows the editor of the selected type, hides the others, and lays the window out.
    void ShowBodyEditor();
    // Empties the keywords, the heading and every body; clears Edited.
    void ClearEditor();
    // True when anything was changed since the last fill or clear.
    bool IsEdited() const;
    // Puts the controls other than the body into the tab order, or takes them out.
    void SetTabStops(bool on);
    // Removes every selected keyword.
    void DeleteSelectedKeywords();

    // The chooser of the object menu's link and embed commands (the desktop's by default).
    void setFileChooser(objects::FileChooser &chooser);

    struct Captions {
        QString keywordDelete;
        QString selectAll;
        QString insertObject;
    };
    struct EditorFonts {
        std::array<QString, 3> names; // text, rich text, HTML
        std::array<float, 3> sizes{};
    };

    // Gives the editors these fonts; they stay the editors' fonts after every Clear.
    void setEditorFonts(const EditorFonts &fonts);

    // The splitter's left, in twips.
    double splitterLeft() const { return m_splitterLeft; }

protected:
    EntryEditorWindow(store::Settings &settings, desktop::Prompter &prompter, const Captions &captions,
                      QWidget *parent);

    // The control right of lblDic and how much narrower than the client area it is (twips).
    void setDictionaryControl(QWidget *control, double widthOffset);
    // Design positions of the type label and list, whose lefts follow the dictionary control.
    void setTypeGeometry(double labelTop, double labelWidth, double listWidth);
    // The heading box's design width, kept until the first layout that can place the body.
    void setHeadingWidth(double width);

    // Window placement, splitter, first layout and fonts (the shared part of loading).
    void loadDesign(const EditorFonts &fonts);
    // Stores the placement and the splitter (the shared part of unloading).
    void unloadDesign();

    // Empties the four text editors; the configured fonts stay theirs.
    void clearBodies();

    // Form_Resize.
    void layOut();

    // The entry as it is stored (type, heading, body, today's date, and a rich-text body's
    // visible text), after the checks both windows make before writing: keywords, heading, a
    // body that the dictionary can hold. nullopt (after a message) when a check fails. An
    // object body goes through the temporary file `objectFile`.
    std::optional<store::Entry> checkedEntry(const QString &objectFile);

    // Adds a typed keyword that passed the checks; the new-entry window only lists it.
    virtual void addKeyword(const QString &keyword);
    // Removes one selected keyword row; false stops the deletion.
    virtual bool removeKeywordRow(int row);

    desktop::Prompter &prompter() const { return m_prompter; }
    store::Settings &settings() const { return m_settings; }
    QWidget *client() const { return m_client; }

    bool eventFilter(QObject *watched, QEvent *event) override;
    void changeEvent(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    // The body of the selected type as stored; an empty array when there is none. A plain-text
    // body that CP932 cannot hold may become rich text, which changes `viewer`.
    std::optional<QByteArray> storedBody(store::Viewer &viewer, const QString &objectFile);
    // Offers to store a plain-text body that CP932 cannot hold as rich text, which keeps every
    // character; its RTF bytes when the user agrees, nullopt (nothing stored) when not.
    std::optional<QByteArray> richTextInstead(const QString &text, const QList<char32_t> &unencodable);
    // The CP932 bytes of a body's text; nullopt (after a message) when the dictionary cannot
    // hold them: too many, or characters CP932 has not.
    std::optional<QByteArray> encodedBody(const QString &text);
    // False (after a message) when a body of this many bytes is larger than a dictionary holds.
    bool fitsDictionary(qint64 bytes);
    QWidget *createEditor(const QString &className, const QString &name);
    void buildControls();
    void buildMenus(const Captions &captions);
    void place(QWidget *widget, double left, double top, double width, double height);
    void applyRichTextFont();
    void keywordEntered();
    void refreshEditMenu();
    void showObjectMenu(const QPoint &globalPos);
    void objectCommand(bool (objects::ObjectContainer::*command)());
    void objectFromFile(bool link);
    void deleteObject();
    void splitterPressed();
    void splitterMoved(int x);
    void splitterReleased();
    void focusChanged(QWidget *old, QWidget *now);
    bool insideTabbingEditor(const QWidget *widget) const;

    store::Settings &m_settings;
    // The program's prompter, with this window as the owner of every message.
    mutable desktop::OwnedPrompter m_prompter;
    QWidget *m_client = nullptr;
    QWidget *m_dictionaryControl = nullptr;
    double m_dictionaryOffset = 0;
    double m_typeLabelTop = 160;
    double m_typeLabelWidth = 615;
    double m_typeListWidth = 1095;
    double m_headingWidth = 3855;
    double m_splitterLeft = 2000;
    double m_listWidth = 1880;
    double m_dragLeft = 2000;
    std::array<bool, store::Viewers.size()> m_hasEditor{};
    std::unique_ptr<objects::FileChooser> m_ownChooser;
    objects::FileChooser *m_chooser = nullptr;
    // The tab-stop policies the controls had before the body editor took them out.
    QList<QPair<QWidget *, Qt::FocusPolicy>> m_tabStops;
    bool m_tabStopsOn = true;
    EditorFonts m_fonts;
};

} // namespace qm::app
