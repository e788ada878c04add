#pragma once

#include "entryeditorwindow.h"

#include <functional>
#include <optional>

namespace qm::store {
class DatabaseModule;
}

namespace qm::app {

// "Quillmere - 新規登録": writes a new entry with its keywords into one dictionary of the open
// set. After a registration the window stays open, empty, with the same dictionary and type
// selected, ready for the next entry. A text, rich text, HTML or Internet-shortcut file dropped
// on lblDocument becomes the body.
class frmNewData final : public EntryEditorWindow
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(frmNewData)

public:
    using HelpHandler = std::function<void(const QString &topic)>;

    // Loads the window: the dictionaries of the open set, the types, the stored placement.
    frmNewData(store::DatabaseModule &database, store::Settings &settings, desktop::Prompter &prompter,
               HelpHandler help = {}, QWidget *parent = nullptr);
    ~frmNewData() override;

    QComboBox *cboDictionary = nullptr;
    QAction *mnuEditRegister = nullptr;
    QAction *mnuEditNullify = nullptr;
    QAction *mnuFileClose = nullptr;

    // Checks the input and writes the entry and its keywords in one transaction; false (with a
    // message, and everything typed kept) when a check or the write fails.
    bool RegisterEntry();
    // Loads a dropped file into the editor of its kind (by extension); other files change
    // nothing.
    void LoadDroppedFile(const QString &path);
    // The input is an entry being moved out of the dictionary of this slot: registering it
    // there is refused, until it has been registered elsewhere or thrown away.
    void setMoveSource(int slot) { m_moveSource = slot; }

signals:
    // An entry was written into the dictionary of this slot.
    void registered(int slot, qint32 number);
    // What was typed was thrown away: discarded, or the window closed without registering it.
    void inputAbandoned();

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void fillDictionaries();
    void registerCommand();
    void discardCommand();
    // The reason a file cannot be loaded, or empty.
    QString unreadableReason(const QString &path) const;

    store::DatabaseModule &m_database;
    HelpHandler m_help;
    bool m_unloaded = false;
    int m_moveSource = -1;
};

} // namespace qm::app
