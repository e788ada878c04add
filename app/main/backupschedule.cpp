#include "backupschedule.h"

#include <QDir>

namespace qm::app {

namespace {

void reportFailures(const QList<store::BackupOutcome> &outcomes)
{
    for (const store::BackupOutcome &outcome : outcomes)
        if (!outcome.ok())
            qWarning("%s", qPrintable(QStringLiteral("バックアップできませんでした: %1: %2")
                                          .arg(QDir::toNativeSeparators(outcome.path), outcome.error)));
}

} // namespace

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
        reportFailures(store::backUpSets(m_setFile, options, true, [this](qint64 done, qint64 total) {
            m_done = done;
            m_total = total;
            return true;
        }));
    }));
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
    const store::BackupOptions options = m_options();
    if (!options.enabled)
        return;
    startThread(options);
    while (!m_round->wait(30))
        if (waiting)
            waiting(m_done, m_total);
    waitForRound();
}

} // namespace qm::app
