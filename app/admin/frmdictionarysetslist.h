#pragma once

#include "adminparts.h"

#include <QDialog>

class QLabel;
class QListWidget;
class QPushButton;

namespace qm::desktop {
class FileChooser;
class Prompter;
}
namespace qm::store {
class DatabaseModule;
}

namespace qm::app {

// The list of dictionary sets. Loading it closes the open set; closing it, whatever the way,
// makes the selected set current and opens it (none when nothing is selected). Sets are added,
// edited (in frmDictionarySets), deleted and reordered in the set table in memory, and the set
// file is written after each change and when the list closes, so no change waits for the
// program's end.
class frmDictionarySetsList final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(frmDictionarySetsList)

public:
    frmDictionarySetsList(store::DatabaseModule &database, desktop::Prompter &prompter, HelpHandler help,
                          QWidget *parent = nullptr);
    ~frmDictionarySetsList() override;

    // Handed on to the set editor for its file dialog; the editor's own one when not set.
    void setFileChooser(desktop::FileChooser *chooser) { m_chooser = chooser; }

    // Empties the list and fills it from the set table, keeping the selection where it can.
    void RefreshSetList();
    // Removes the set at `index` from the table; the sets after it move up one place.
    void DeleteDictionarySet(int index);

    QLabel *Label1 = nullptr;
    QListWidget *lstDicSets = nullptr;
    QPushButton *cmdOpen = nullptr;
    QPushButton *cmdAdd = nullptr;
    QPushButton *cmdEdit = nullptr;
    QPushButton *cmdDelete = nullptr;
    QPushButton *cmdUp = nullptr;
    QPushButton *cmdDown = nullptr;

public slots:
    // Every way of closing ends here: the open button, a double-click, Escape, the close box.
    void done(int result) override;

private:
    void buildControls(QWidget *client);
    void load();
    // The index of the selected set, -1 when none is.
    int selectedRow() const;
    void addSet();
    void editSet();
    void deleteSet();
    void moveSelected(int offset);
    void showEditor();
    // Writes the set file after a change and refreshes the list.
    void commit();
    void dropIfNameless(int index);

    store::DatabaseModule &m_database;
    desktop::Prompter &m_prompter;
    HelpHandler m_help;
    desktop::FileChooser *m_chooser = nullptr;
    bool m_closed = false;
};

} // namespace qm::app
