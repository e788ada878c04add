#pragma once

#include "app/store/settings.h"
#include "app/store/sets/slot.h"
#include "app/viewers/viewercontext.h"

#include <QMainWindow>

#include <functional>
#include <memory>

class QComboBox;
class QLabel;
class QMdiArea;
class QMdiSubWindow;
class QToolBar;

namespace qm::desktop {
class Prompter;
class PrintService;
}
namespace qm::store {
class DatabaseModule;
struct SearchResults;
}

namespace qm::app {

class frmSearchIndexList;
class MainCommands;
class ViewerWindow;

// The program's frame: the keyword box, the lookup over every dictionary of the open set, and
// the viewer windows of the entries the user opens.
class mdiMain final : public QMainWindow
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(mdiMain)

public:
    // How many viewer windows stay open: opening one more closes the oldest.
    static constexpr int MaxViewers = 8;

    mdiMain(store::DatabaseModule &database, store::Settings &settings, desktop::Prompter &prompter,
            QWidget *parent = nullptr);
    ~mdiMain() override;

    // Looks the pattern up and opens the entry the user picks from the result list.
    void SearchKeyword(const QString &pattern);
    // Puts the word into the keyword box and looks it up as if the user had entered it.
    void lookUpKeyword(const QString &word);
    // Looks up a word another start of the program handed over, at once: a search window the
    // user left open gives way to it. Words handed over together are looked up in turn, each
    // after the user has left the result list of the one before.
    void lookUpHandedWord(const QString &word);
    // Opens an entry of the open set in a new viewer window.
    void ShowDocument(store::Slot slot, qint32 lngDocNumber);
    // True while a window that registers or modifies an entry is open.
    bool IsEditorOpen() const;
    // Opens a help topic in the user's browser.
    void ShowHelp(const QString &topic);
    // True from the start of a lookup until it is over: its result shown (and the list closed)
    // or its place taken by another.
    bool isLookingUp() const { return m_lookingUp; }

    QMdiArea *mdiArea() const { return m_mdiArea; }
    frmSearchIndexList *searchIndexList() const { return m_searchIndexList; }
    store::SharedOptions &options() { return m_options; }
    QList<ViewerWindow *> viewers() const;

    QToolBar *tbKeyWord = nullptr;
    QComboBox *cboKeyWord = nullptr;
    QWidget *WebNavigate = nullptr;

    // The windows the menu commands open. Each is set by the code that builds its window; a
    // command whose window is not there does nothing.
    struct Windows {
        // Shows the window modally; true with the chosen entry.
        std::function<bool(store::Slot &slot, qint32 &number)> conditionSearch;
        std::function<bool(store::Slot &slot, qint32 &number)> headingList;
        std::function<void()> newEntry;
        // Loads the entry into the modification window; true when it is shown.
        std::function<bool(qint16 slot, qint32 number)> modifyEntry;
        // Unloads the entry windows kept hidden between uses, before the set closes.
        std::function<void()> unloadEntryWindows;
        // True while a window that registers or modifies an entry is shown.
        std::function<bool()> entryWindowShown;
        // Modal windows over the set, the options and the version.
        std::function<void()> dictionarySets;
        std::function<void()> setupDictionary;
        std::function<void()> options;
        std::function<void()> about;
        // Export and import of entries, each with its file and progress windows.
        std::function<void()> exportEntries;
        std::function<void()> importEntries;
        // The backup and restore window; true when a restore replaced a file of the open set.
        std::function<bool()> backups;
    };
    Windows windows;

    MainCommands *commands() const { return m_commands; }
    // The printer service the print commands use (the desktop's dialogs unless replaced).
    void setPrintService(desktop::PrintService *printing);
    // The viewer of the current child window, or nullptr.
    ViewerWindow *activeViewer() const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void buildKeywordStrip();
    void buildStatusBar();
    void buildCommands();
    void backupsCommand();
    void showChosen(const std::function<bool(store::Slot &, qint32 &)> &window);
    void dictionarySetsCommand();
    void searchResultCommand();
    void applyBarVisibility();
    void restoreBarVisibility();
    void storeBarVisibility();
    void setupDictionaryCommand();
    void modifyCommand();
    void searchClipboard();
    void closeAllViewers();
    void load();
    void restorePlacement();
    void storePlacement();
    void keywordEntered();
    void lookupEnded(const store::SearchResults &results);
    void showLookupResult(const store::SearchResults &results);
    void lookupOver();
    void runHandedWords();
    void rememberKeyword(const QString &text);
    void focusKeywordBox();
    void switchFocusArea();
    ViewerWindow *createViewer(quint8 viewer);
    void showViewer(ViewerWindow *viewer);
    void focusViewer(ViewerWindow *viewer);
    void closeViewerWithTag(const QString &tag);
    void subWindowActivated(QMdiSubWindow *window);
    void deleteTemporaryFiles();

    store::DatabaseModule &m_database;
    store::Settings &m_settings;
    desktop::Prompter &m_prompter;
    store::SharedOptions m_options;
    ViewerContext m_viewerContext;
    QMdiArea *m_mdiArea = nullptr;
    frmSearchIndexList *m_searchIndexList = nullptr;
    MainCommands *m_commands = nullptr;
    std::unique_ptr<desktop::PrintService> m_ownPrinting;
    desktop::PrintService *m_printing = nullptr;
    QLabel *m_statusPanel = nullptr;
    qint32 ViewerSerial = 0;
    QStringList m_handedWords;
    bool m_showingHandedWord = false;
    // The lookup running on the search worker: the set it searches, and the viewer count when it
    // started (an entry opened from its result keeps the focus).
    bool m_lookingUp = false;
    quint64 m_lookupTicket = 0;
    quint64 m_lookupGeneration = 0;
    qint32 m_lookupSerial = 0;
    bool m_closed = false;
};

} // namespace qm::app
