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
    const store::BackupOptions options = m_options();
    if (!options.enabled)
        return;
    m_round.reset(QThread::create([setFile = m_setFile, options] {
        store::lowerBackupThreadPriority();
        reportFailures(store::backUpSets(setFile, options, true));
    }));
    m_round->start();
}

void BackupSchedule::waitForRound()
{
    if (m_round)
        m_round->wait();
    m_round.reset();
}

void BackupSchedule::runAtExit()
{
    m_timer.stop();
    waitForRound();
    if (const store::BackupOptions options = m_options(); options.enabled)
        reportFailures(store::backUpSets(m_setFile, options, true));
}

} // namespace qm::app
