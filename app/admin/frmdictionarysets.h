#pragma once

#include "adminparts.h"
#include "dictionaryfiledialog.h"
#include "app/store/sets/dictionaryset.h"

#include <QDialog>

#include <optional>

class QLineEdit;
class QListWidget;
class QPushButton;

namespace qm::desktop {
class Prompter;
}
namespace qm::store {
class DatabaseModule;
}

namespace qm::app {

class DictionaryInfoPanel;

// The dictionary set editor. It edits a working copy of the set
// DictionarySetList[OpenDictionarySetsIndex], which the caller sets before showing the editor
// modally: the set's name and its files in slot order. Accepting writes the copy back into that
// entry (an accepted set without a name tells the caller to delete the entry); cancelling leaves
// the entry as it was. The editor writes no file of its own (the sets list writes the set file
// once the editor has closed); dictionaries created through it and properties changed through it
// take effect at once.
class frmDictionarySets final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(frmDictionarySets)

public:
    frmDictionarySets(store::DatabaseModule &database, desktop::Prompter &prompter, HelpHandler help,
                      QWidget *parent = nullptr);
    ~frmDictionarySets() override;

    // The file dialog of cmdAdd; the editor's own one by default.
    void setFileChooser(desktop::FileChooser &chooser) { m_chooser = &chooser; }

    const store::DictionarySet &workingCopy() const { return m_set; }

    QLineEdit *txtDicSetsName = nullptr;
    QListWidget *lstDicName = nullptr;
    QPushButton *cmdAdd = nullptr;
    // A dictionary on a server, by its location (a postgresql:// URI), added with cmdAddServer.
    QLineEdit *txtServerLocation = nullptr;
    QPushButton *cmdAddServer = nullptr;
    QPushButton *cmdDelete = nullptr;
    QPushButton *cmdUp = nullptr;
    QPushButton *cmdDown = nullptr;
    DictionaryInfoPanel *Frame = nullptr;
    QPushButton *cmdOK = nullptr;
    QPushButton *cmdCancel = nullptr;

private:
    void buildControls(QWidget *client);
    void buildListButtons(QWidget *client);
    void buildButtons(QWidget *client);
    void buildServerRow(QWidget *client);
    void load();
    void refreshList(int selected);
    void showSelected();

    void addDictionary();
    bool refuseWhenFull();
    void addServerDictionary();
    bool isServerLocationUsable(const QString &location);
    void showServerDictionary(const QString &location);
    std::optional<QString> chooseFile();
    bool storable(const QString &path);
    bool createMissing(const QString &path);
    bool isRegistered(const QString &path);
    bool isNotDictionary(const QString &path);
    void removeDictionary();
    void moveSelected(int offset);
    void showProperty();
    void showHelp();

    void acceptSet();
    void writeBack();

    store::DatabaseModule &m_database;
    desktop::Prompter &m_prompter;
    HelpHandler m_help;
    DictionaryFileDialog m_fileDialog;
    desktop::FileChooser *m_chooser = &m_fileDialog;
    int m_index = -1;
    store::DictionarySet m_set;
};

} // namespace qm::app
