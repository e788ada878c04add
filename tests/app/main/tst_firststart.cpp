#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include "tests/common/testfiles.h"

// The program as a user starts it for the first time: copied into an empty, writable folder,
// it loads the library copied with it, makes that folder its own and writes the set file, the
// default dictionary and the help pages there.
class tst_firststart final : public QObject
{
    Q_OBJECT

private slots:
    void firstStartFillsTheProgramFolder();
};

void tst_firststart::firstStartFillsTheProgramFolder()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(qm::test::copyProgram(QStringLiteral(QM_BIN_DIR), dir.path()));
    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    // The copy finds the library beside it by its own runpath, not through the environment.
    env.remove(QStringLiteral("LD_LIBRARY_PATH"));
    program.setProcessEnvironment(env);
    program.start(dir.filePath(QStringLiteral("brindlet")), {});
    QVERIFY(program.waitForStarted());

    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(dir.filePath(QStringLiteral("manual/Searching.htm"))), 20000);
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(dir.filePath(QStringLiteral("User.dic"))), 20000);
    QFile maps(QStringLiteral("/proc/%1/maps").arg(program.processId()));
    QVERIFY(maps.open(QIODevice::ReadOnly));
    const QByteArray mapped = maps.readAll();
    QVERIFY2(mapped.contains(QFile::encodeName(QDir::cleanPath(dir.path()) + QStringLiteral("/libcorvane.so"))),
             "the copied program did not load the library copied beside it");
    QVERIFY(!mapped.contains(QM_BIN_DIR "/libcorvane.so"));
    // The web engine comes with the first page, not with the program.
    for (const char *later : {"libQt6WebEngineCore", "libcorvane_web.so"})
        QVERIFY2(!mapped.contains(later), later);
    program.terminate();
    program.waitForFinished(5000);
    if (program.state() != QProcess::NotRunning)
        program.kill();

    const QByteArray set = qm::test::readFile(dir.filePath(QStringLiteral("DicSets.ini")));
    QVERIFY(set.startsWith("Quillmere\r\n\r\nOpenDictionarySetsIndex = 0\r\n"));
    const QByteArray userLine = QByteArray("Dictionary = \"") + QDir::cleanPath(dir.path()).toUtf8() + "/User.dic\"\r\n";
    QVERIFY(set.endsWith(userLine));
    const QStringList pages = QDir(dir.filePath(QStringLiteral("manual"))).entryList({QStringLiteral("*.htm")});
    for (const char *topic : {"Main.htm", "DicSets.htm", "EditData.htm", "Searching.htm", "Introduction.htm"})
        QVERIFY2(pages.contains(QString::fromLatin1(topic)), topic);
}

QTEST_GUILESS_MAIN(tst_firststart)
#include "tst_firststart.moc"
