#include "manual/manualinstaller.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

namespace {

// Every address the program opens help with.
const QStringList Topics{
    QStringLiteral("Main.htm"),
    QStringLiteral("Searching.htm#Result"),
    QStringLiteral("Exchange.htm#Export"),
    QStringLiteral("Exchange.htm#Import"),
    QStringLiteral("Exchange.htm#WordList"),
    QStringLiteral("Backup.htm#Options"),
    QStringLiteral("Backup.htm#Restore"),
    QStringLiteral("Backup.htm#Recovery"),
};

QString readPage(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

int runInstaller(const QString &folder)
{
    QProcess process;
    process.start(QStringLiteral(MANUAL_INSTALL_PATH), {folder});
    if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit)
        return -1;
    return process.exitCode();
}

// True when the page exists in the folder and, for "page#anchor", carries that anchor.
bool resolves(const QString &manualFolder, const QString &address)
{
    const QString page = address.section(QLatin1Char('#'), 0, 0);
    const QString anchor = address.section(QLatin1Char('#'), 1);
    const QString text = readPage(manualFolder + QLatin1Char('/') + page);
    return !text.isEmpty() && (anchor.isEmpty() || text.contains(QStringLiteral("id=\"") + anchor + QLatin1Char('"')));
}

} // namespace

class tst_manual final : public QObject
{
    Q_OBJECT

private slots:
    void installsEveryTopicIntoAnEmptyFolder();
    void linksBetweenPagesResolve();
    void failureIsReported();
};

void tst_manual::installsEveryTopicIntoAnEmptyFolder()
{
    QTemporaryDir dir;
    QCOMPARE(runInstaller(dir.path()), 0);
    const QString manual = dir.filePath(QStringLiteral("manual"));
    QCOMPARE(QDir(manual).entryList(QDir::Files, QDir::Name), qm::manual::ManualInstaller::pageNames());
    for (const QString &topic : Topics)
        QVERIFY2(resolves(manual, topic), qPrintable(topic));
}

void tst_manual::linksBetweenPagesResolve()
{
    QTemporaryDir dir;
    QVERIFY(qm::manual::ManualInstaller::install(dir.path()).isEmpty());
    const QString manual = dir.filePath(QStringLiteral("manual"));
    const QRegularExpression href(QStringLiteral("href=\"([^\"]+)\""));
    int links = 0;
    for (const QString &name : qm::manual::ManualInstaller::pageNames()) {
        const QString text = readPage(manual + QLatin1Char('/') + name);
        for (const auto &match : href.globalMatch(text)) {
            QString target = match.captured(1);
            if (target.startsWith(QLatin1Char('#')))
                target.prepend(name);
            QVERIFY2(resolves(manual, target), qPrintable(name + QStringLiteral(" -> ") + target));
            ++links;
        }
    }
    QVERIFY(links > 20);
}

void tst_manual::failureIsReported()
{
    // A file where the folder should be: nothing can be written, and the exit code says so.
    QTemporaryDir blocked;
    QFile blocker(blocked.filePath(QStringLiteral("manual")));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    QVERIFY(runInstaller(blocked.path()) > 0);
}

QTEST_GUILESS_MAIN(tst_manual)
#include "tst_manual.moc"
