#pragma once

#include "app/store/care/autobackup.h"

#include <QObject>
#include <QSet>
#include <QStringList>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>

namespace qm::app {

// Backs up the changed files of the program's sets while it runs: a round every interval in a
// thread of its own (which opens its own connections, so the windows keep painting), and one
// last round when the program ends. The options are asked for at each round, so a change made in
// the options window counts from the next round; nothing runs while backups are switched off.
class BackupSchedule final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(BackupSchedule)

public:
    using OptionsSource = std::function<store::BackupOptions()>;
    BackupSchedule(QString setFile, OptionsSource options, QObject *parent = nullptr);
    // Waits for a round still running.
    ~BackupSchedule() override;

    // Removes what killed backups and restores left behind, then runs a round every interval.
    void start(std::chrono::milliseconds interval = std::chrono::hours(1));
    // Waits for a running round, then backs up what changed since, before the program ends. The
    // last round runs in the thread too; `waiting` is called every few hundredths of a second
    // meanwhile with the dictionaries done and their number, for a window that shows it.
    using Waiting = std::function<void(qint64 done, qint64 total)>;
    void runAtExit(const Waiting &waiting = {});
    bool isRunning() const { return m_round && m_round->isRunning(); }

signals:
    // After a round in which files could not be backed up: one line for each, each problem told
    // only once while the program runs, so a folder that stays unwritable is not reported hourly.
    void roundFailed(const QString &message);

private:
    // A file that could not be backed up: its line in the report and what helps.
    struct Failure {
        QString line;
        store::BackupRemedy remedy = store::BackupRemedy::None;
    };

    static QList<Failure> failuresOf(const QList<store::BackupOutcome> &outcomes);
    void startRound();
    void startThread(const store::BackupOptions &options);
    void waitForRound();
    void reportRound();

    QString m_setFile;
    OptionsSource m_options;
    QTimer m_timer;
    std::unique_ptr<QThread> m_round;
    std::atomic<qint64> m_done{0};
    std::atomic<qint64> m_total{0};
    // Added to by the rounds' threads, taken by reportRound() when a round has finished.
    std::mutex m_failuresMutex;
    QList<Failure> m_failures;
    QSet<QString> m_reported;
};

} // namespace qm::app
