#pragma once

#include "app/store/sets/openset.h"

#include <QObject>
#include <QPointer>
#include <QSet>

class QWidget;

namespace qm::desktop {
class FileChooser;
class Prompter;
}
namespace qm::store {
class DatabaseModule;
class Settings;
}

namespace qm::app {

// Shows the recovery dialog for each damaged dictionary the store reports. The dialog comes
// once the event loop runs again: a report may come from inside opening the set (before the main
// window is shown) or from inside a search, and the dialog opens the slot anew.
class RecoveryOffer final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(RecoveryOffer)

public:
    RecoveryOffer(store::DatabaseModule &database, const store::Settings &settings, desktop::Prompter &prompter,
                  desktop::FileChooser &files);
    ~RecoveryOffer() override;

    // The window the dialog stands over.
    void setWindow(QWidget *window) { m_window = window; }

private:
    void queue(const store::DamagedDictionary &damaged);
    void show(const store::DamagedDictionary &damaged);

    store::DatabaseModule &m_database;
    const store::Settings &m_settings;
    desktop::Prompter &m_prompter;
    desktop::FileChooser &m_files;
    QPointer<QWidget> m_window;
    // Files whose dialog is waiting to be shown or showing: one dialog per file.
    QSet<QString> m_pending;
};

} // namespace qm::app
