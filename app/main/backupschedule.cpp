#include "backupschedule.h"

#include "app/common/storemessages.h"

#include <QDir>

#include <mutex>
#include <utility>

namespace qm::app {

QList<BackupSchedule::Failure> BackupSchedule::failuresOf(const QList<store::BackupOutcome> &outcomes)
{
    QList<Failure> failures;
    for (const store::BackupOutcome &outcome : outcomes)
        if (!outcome.ok())
            failures.append({QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(outcome.path), errorText(*outcome.failure)),
                             outcome.remedy});
    return failures;
}

BackupSchedule::BackupSchedule(QString setFile, OptionsSource options, QObject *parent)
    : QObject(parent)
    , m_setFile(std::move(setFile))
    , m_options(std::move(options))
{
    connect(&m_timer, &QTimer::timeout, this, &BackupSchedule::startRound);
}

BackupSchedule::~BackupSchedule()
{
    waitForRound();
}

void BackupSchedule::start(std::chrono::milliseconds interval)
{
    // Copies a killed backup or restore left are removed now, not at that file's next backup.
    store::removeStaleBackupCopies(m_setFile, m_options());
    m_timer.start(interval);
}

void BackupSchedule::startRound()
{
    // A round that takes longer than the interval is not doubled.
    if (isRunning())
        return;
    waitForRound();
    if (const store::BackupOptions options = m_options(); options.enabled)
        startThread(options);
}

void BackupSchedule::startThread(const store::BackupOptions &options)
{
    m_done = 0;
    m_total = 0;
    m_round.reset(QThread::create([this, options] {
        store::lowerBackupThreadPriority();
        const QList<Failure> failures = failuresOf(store::backUpSets(m_setFile, options, true, [this](qint64 done, qint64 total) {
            m_done = done;
            m_total = total;
            return true;
        }));
        const std::lock_guard<std::mutex> adding(m_failuresMutex);
        m_failures += failures;
    }));
    connect(m_round.get(), &QThread::finished, this, &BackupSchedule::reportRound);
    m_round->start();
}

void BackupSchedule::waitForRound()
{
    if (m_round)
        m_round->wait();
    m_round.reset();
}

void BackupSchedule::runAtExit(const Waiting &waiting)
{
    m_timer.stop();
    waitForRound();
    reportRound();
    const store::BackupOptions options = m_options();
    if (!options.enabled)
        return;
    startThread(options);
    while (!m_round->wait(30))
        if (waiting)
            waiting(m_done, m_total);
    waitForRound();
    reportRound();
}

void BackupSchedule::reportRound()
{
    QList<Failure> failures;
    {
        const std::lock_guard<std::mutex> taking(m_failuresMutex);
        failures = std::exchange(m_failures, {});
    }
    QStringList fresh;
    QStringList remedies;
    for (const Failure &failure : std::as_const(failures)) {
        qWarning("%s", qPrintable(QStringLiteral("バックアップできませんでした: ") + failure.line));
        if (m_reported.contains(failure.line))
            continue;
        m_reported.insert(failure.line);
        fresh.append(failure.line);
        // Each remedy is told once, after the files it helps.
        if (const QString remedy = app::describeBackupRemedy(failure.remedy); !remedy.isEmpty() && !remedies.contains(remedy))
            remedies.append(remedy);
    }
    if (fresh.isEmpty())
        return;
    QString message = QStringLiteral("次のファイルをバックアップできませんでした。\n") + fresh.join(QLatin1Char('\n'));
    if (!remedies.isEmpty())
        message += QStringLiteral("\n\n") + remedies.join(QLatin1Char('\n'));
    emit roundFailed(message);
}

} // namespace qm::app
