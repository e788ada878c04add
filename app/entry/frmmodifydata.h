#pragma once

#include "entryeditorwindow.h"

#include <functional>

namespace qm::sqlite {
class Error;
}
namespace qm::store {
class DatabaseModule;
class DictionaryStorage;
}

namespace qm::app {

class frmNewData;

// "Quillmere - データ修正": edits one stored entry (keywords, heading, type, body), deletes it,
// or hands it to a new-entry window to be registered with another type or in another
// dictionary.
//
// Every change of one edit is a single edit session of the entry's dictionary: it begins when
// the entry is loaded, keyword additions and deletions are written into it as they happen, and
// updating or deleting commits it while discarding and closing without saving roll it back.
// The window is made once, shown for each edit and hidden at its end.
class frmModifyData final : public EntryEditorWindow
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(frmModifyData)

public:
    // What the window needs of the program around it.
    struct Host {
        std::function<void(const QString &topic)> showHelp;
        // Closes the main window's active viewer window, when there is one.
        std::function<void()> closeActiveViewer;
        // Opens an entry in a new viewer window of its type.
        std::function<void(qint16 slot, qint32 number)> showDocument;
        // Shows a new-entry window over the open set; nullptr when none can be shown.
        std::function<frmNewData *()> newEntryWindow;
        // The editor fonts as the options now give them.
        std::function<EditorFonts()> editorFonts;
    };

    frmModifyData(store::DatabaseModule &database, store::Settings &settings, desktop::Prompter &prompter,
                  const EditorFonts &fonts, Host host, QWidget *parent = nullptr);
    ~frmModifyData() override;

    QLabel *lblDictionary = nullptr;
    QAction *mnuFileRenew = nullptr;
    QAction *mnuFileNullify = nullptr;
    QAction *mnuFileDelete = nullptr;
    QAction *mnuFileClose = nullptr;
    QMenu *mnuEditChange = nullptr;
    QAction *mnuEditChangeText = nullptr;
    QAction *mnuEditChangeRichText = nullptr;
    QAction *mnuEditChangeHTML = nullptr;
    QAction *mnuEditChangeURL = nullptr;
    QAction *mnuEditChangeOLE = nullptr;
    QAction *mnuEditReproduce = nullptr;
    QAction *mnuEditCopyDic = nullptr;
    QAction *mnuEditMoveDic = nullptr;

    qint16 EntrySlot = 0;
    qint32 EntryNumber = 0;

    // Loads the entry and begins its edit session; false (the window hidden) when there is no
    // such entry, it has no keywords, or its dictionary cannot be changed.
    bool SetDocument(qint16 intDicIndex, qint32 lngDocNumber);
    // Ends an edit without asking: what was not stored is rolled back. Run when the program ends.
    void Unload();

    // The temporary file of the object of an entry.
    static QString objectFilePath(qint16 slot, qint32 number);

protected:
    void closeEvent(QCloseEvent *event) override;
    void addKeyword(const QString &keyword) override;
    bool removeKeywordRow(int row) override;

private:
    void buildMenus();
    void refreshTypeItems();
    store::DictionaryStorage *dictionary() const;
    bool loadBody(store::Viewer viewer, const QByteArray &body);
    bool beginSession();
    void rollbackSession();
    // Lets other programs edit the entry again (a server dictionary's entry is held while the
    // window edits it).
    void releaseHold();
    // Reports an engine error and rolls the session back; the next write begins a new one, and
    // the next update stores what the window still shows.
    void writeFailed(const QString &what, const sqlite::Error &error);
    void syncKeywords(store::DictionaryStorage &dictionary);

    bool UpdateEntry();
    void FinishEditing();
    void ChangeViewerType(store::Viewer viewer);
    // Asks the question; on Yes ends the edit without storing it and opens a new-entry window
    // with this entry's keywords and heading (nullptr when declined or none can be shown).
    frmNewData *handOver(const QString &question);
    // Gives the new-entry window this entry's type and body.
    void PrefillNewEntry(frmNewData &form);
    void endEdit();

    void renewCommand();
    void discardCommand();
    void deleteCommand();
    void closeCommand();
    void reproduceCommand();
    void copyCommand();
    void moveCommand();
    // True when a dictionary other than the entry's is open to move it to.
    bool hasOtherDictionary() const;
    void completeMove(qint16 slot, qint32 number);
    void stopWaitingForMove();

    store::DatabaseModule &m_database;
    Host m_host;
    bool m_unloaded = false;
    // The object of an object entry as stored, handed over by copy and move.
    QByteArray m_storedObject;
    // The new-entry window's signals while a move waits for its registration.
    QMetaObject::Connection m_moveRegistered;
    QMetaObject::Connection m_moveAbandoned;
};

} // namespace qm::app
