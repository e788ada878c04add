#include "tests/app/exchange/exchangefixture.h"

#include "tests/app/cli/exchangerun.h"

#include <QProcess>
#include <QTextStream>

#include <csignal>
#include <sys/resource.h>

using namespace qm::exchange::test;

// Where `--export` may write, and what it says when it may not.
class tst_ExportCommand final : public ExchangeRunTest
{
    Q_OBJECT

private slots:
    // Another program's file behind a link is found and left alone by the real program.
    void linkToDictionaryIsRefused()
    {
        TempDictionary kept;
        kept->addEntries(hostileEntries());
        TempDictionary source;
        const QString link = source.dir.filePath(QStringLiteral("out.jsonl"));
        QVERIFY(QFile::link(kept.path, link));
        const QByteArray before = readAll(kept.path);

        QProcess brindlet;
        brindlet.start(QStringLiteral(QM_BIN_DIR "/brindlet"), {QStringLiteral("--export"), source.path, link});
        QVERIFY(brindlet.waitForFinished(60000));
        const QString said = QString::fromUtf8(brindlet.readAllStandardError());
        QCOMPARE(brindlet.exitCode(), 1);
        QVERIFY2(said.contains(QStringLiteral("データベース（辞書）のファイルです")), qPrintable(said));
        QCOMPARE(readAll(kept.path), before);
        QVERIFY(QFileInfo(link).isSymLink());
    }

    void missingFolderIsNamed()
    {
        TempDictionary d;
        const QString missing = d.dir.filePath(QStringLiteral("nowhere/out.jsonl"));
        QCOMPARE(run({QStringLiteral("--export"), d.path, missing}), 1);
        const QString folder = d.dir.filePath(QStringLiteral("nowhere"));
        QVERIFY2(m_messages.contains(QStringLiteral("フォルダー %1 がありません").arg(folder)), qPrintable(m_messages));
    }

    // A full disk stops the export with words for it, and the file under the name is kept.
    void fullDiskKeepsTheOldFile()
    {
        TempDictionary d;
        for (int i = 0; i < 30; ++i)
            d->addEntries(hostileEntries());
        const QString out = d.dir.filePath(QStringLiteral("out.jsonl"));
        QFile old(out);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("old export");
        old.close();

        rlimit limit{};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &limit), 0);
        signal(SIGXFSZ, SIG_IGN);
        rlimit small = limit;
        small.rlim_cur = 300000;
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
        const int status = run({QStringLiteral("--export"), d.path, out});
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &limit), 0);

        QCOMPARE(status, 1);
        QVERIFY2(m_messages.contains(QStringLiteral("ディスクの空き容量が足りません")), qPrintable(m_messages));
        QVERIFY2(m_messages.contains(QStringLiteral("は変更していません")), qPrintable(m_messages));
        QVERIFY(!m_messages.contains(QStringLiteral("100%")));
        QCOMPARE(readAll(out), QByteArray("old export"));
        QCOMPARE(QDir(d.dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 2);
    }
};

QTEST_GUILESS_MAIN(tst_ExportCommand)
#include "tst_exportcommand.moc"
