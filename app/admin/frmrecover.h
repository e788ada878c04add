#pragma once

#include "app/store/care/autobackup.h"
#include "app/store/care/backup.h"
#include "app/store/sets/openset.h"

#include <QDialog>

#include <optional>

class QLabel;
class QPushButton;

namespace qm::desktop {
class FileChooser;
class Prompter;
}
namespace qm::store {
class DatabaseModule;
struct SalvageReport;
}

namespace qm::app {

// Offers the ways back from a damaged dictionary of the open set: put back its newest backup
// that passes the checks, or salvage what still reads into a new file that may take the damaged
// file's place in the set. Either way the slot is opened again. The damaged file stays on disk:
// a restore keeps it beside the backups, a salvage only reads it.
class frmRecover final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(frmRecover)

public:
    struct Services {
        store::DatabaseModule &database;
        store::BackupOptions backups;
        desktop::Prompter &prompter;
        desktop::FileChooser &files;
        std::function<void(const QString &topic)> help;
    };
    frmRecover(const store::DamagedDictionary &damaged, const Services &services, QWidget *parent = nullptr);

    // The name offered for a salvaged copy: beside the damaged file, "<name>-救出.dic".
    static QString salvageName(const QString &damaged);

    QLabel *lblMessage = nullptr;
    QLabel *lblBackup = nullptr;
    QPushButton *cmdRestore = nullptr;
    QPushButton *cmdSalvage = nullptr;
    QPushButton *cmdClose = nullptr;

private:
    void buildControls();
    void findGoodGeneration();
    void restore();
    void salvage();
    std::optional<store::SalvageReport> runSalvage(const QString &target);
    void offerReplacement(const QString &salvaged);
    // The set's member in the damaged file's slot, or -1 when the set has changed since.
    int memberSlot() const;

    store::DamagedDictionary m_damaged;
    Services m_services;
    std::optional<store::Generation> m_generation;
};

} // namespace qm::app
