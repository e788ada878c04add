#pragma once

#include "app/store/care/autobackup.h"

#include <QDialog>
#include <QThread>

#include <memory>

class QLabel;
class QListWidget;
class QPushButton;
class QTreeWidget;

namespace qm::desktop {
class Prompter;
}
namespace qm::store {
class DatabaseModule;
class Settings;
}

namespace qm::app {

// The backup and restore window: the set file and the dictionaries of every set on the left,
// the chosen file's generations on the right. A generation can be made now, put back in place
// of its file, or opened to take entries out of it.
class frmBackups final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(frmBackups)

public:
    frmBackups(store::DatabaseModule &database, store::Settings &settings, desktop::Prompter &prompter,
               QWidget *parent = nullptr);
    ~frmBackups() override;

    // True once a restore replaced a file of the open set (or the set file): what the program's
    // windows show of it may be gone.
    bool changedOpenSet() const { return m_changedOpenSet; }
    // What the help item opens a topic with.
    void setHelp(std::function<void(const QString &topic)> help) { m_help = std::move(help); }

    QListWidget *lstFiles = nullptr;
    QLabel *lblCurrent = nullptr;
    QTreeWidget *lstGenerations = nullptr;
    QLabel *lblNoBackup = nullptr;
    QPushButton *cmdBackupNow = nullptr;
    QPushButton *cmdRestore = nullptr;
    QPushButton *cmdOpen = nullptr;
    QPushButton *cmdClose = nullptr;

protected:
    void done(int result) override;

private:
    void buildControls();
    void fillFiles();
    std::function<void(const QString &topic)> m_help;
    void showGenerations();
    void updateButtons();
    // The backup runs in a thread of its own at a lower priority, so the program's windows and
    // lookups go on meanwhile; backupFinished() shows its outcome.
    void backUpNow();
    void backupFinished();
    bool backingUp() const { return m_backup != nullptr; }
    void restoreChosen();
    void openChosen();
    // The chosen file, or nullptr.
    const store::BackedUpFile *chosenFile() const;
    // The chosen generation's path and time; an empty path when none is chosen.
    store::Generation chosenGeneration() const;
    // Puts the generation in place of the chosen file; the reason when that failed.
    QString restore(const store::BackedUpFile &file, const store::Generation &generation);
    QString restoreSetFile(const store::Generation &generation);
    // A server dictionary's generation goes back into the server or into a new dictionary file.
    void restoreServer(const store::BackedUpFile &file, const store::Generation &generation);
    QString newFileFor(const QString &dictionary) const;
    void warn(const QString &text);

    store::DatabaseModule &m_database;
    store::Settings &m_settings;
    desktop::Prompter &m_prompter;
    store::BackupOptions m_options;
    QList<store::BackedUpFile> m_files;
    QList<store::Generation> m_generations;
    bool m_changedOpenSet = false;
    std::unique_ptr<QThread> m_backup;
    QString m_backupFailure; // written by the backup's thread, read once it has finished
};

} // namespace qm::app
