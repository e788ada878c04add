#include "recoverwindows.h"

#include "app/admin/frmrecover.h"
#include "app/store/care/autobackup.h"
#include "app/store/sets/databasemodule.h"
#include "mdimain.h"

#include <QTimer>

namespace qm::app {

RecoveryOffer::RecoveryOffer(store::DatabaseModule &database, const store::Settings &settings,
                             desktop::Prompter &prompter, desktop::FileChooser &files)
    : m_database(database)
    , m_settings(settings)
    , m_prompter(prompter)
    , m_files(files)
{
    m_database.setDamageHandler([this](const store::DamagedDictionary &damaged) { queue(damaged); });
}

RecoveryOffer::~RecoveryOffer()
{
    m_database.setDamageHandler({});
}

void RecoveryOffer::queue(const store::DamagedDictionary &damaged)
{
    if (m_pending.contains(damaged.path))
        return;
    m_pending.insert(damaged.path);
    QTimer::singleShot(0, this, [this, damaged] { show(damaged); });
}

void RecoveryOffer::show(const store::DamagedDictionary &damaged)
{
    const auto help = [window = m_window](const QString &topic) {
        if (auto *main = qobject_cast<mdiMain *>(window.data()))
            main->ShowHelp(topic);
    };
    frmRecover dialog(damaged, {m_database, store::readBackupOptions(m_settings), m_prompter, m_files, help}, m_window);
    dialog.exec();
    m_pending.remove(damaged.path);
}

} // namespace qm::app
