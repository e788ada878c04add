#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

// The program as a package installs it: `cmake --install` into a prefix that is then made
// read-only, started for the first time by a user with an empty home. It must load the library
// of its own prefix (not the build tree's), keep every file it writes in the user's data folder,
// and leave the prefix exactly as installed.
class tst_installedstart final : public QObject
{
    Q_OBJECT

private slots:
    void installedLayout();
    void firstStartInAReadOnlyPrefix();
    void cleanupTestCase();

private:
    // Every file and folder below the prefix with its size and modification time.
    QStringList snapshot() const;
    void setWritable(bool writable);

    QTemporaryDir m_prefix;
    QTemporaryDir m_home;
};

QStringList tst_installedstart::snapshot() const
{
    QStringList out;
    QDirIterator it(m_prefix.path(), QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo info = it.nextFileInfo();
        out.append(QDir(m_prefix.path()).relativeFilePath(info.filePath()) + QLatin1Char(' ')
                   + QString::number(info.size()) + QLatin1Char(' ')
                   + QString::number(info.lastModified().toMSecsSinceEpoch()));
    }
    out.sort();
    return out;
}

void tst_installedstart::setWritable(bool writable)
{
    QProcess chmod;
    chmod.start(QStringLiteral("chmod"), {QStringLiteral("-R"), writable ? QStringLiteral("u+w") : QStringLiteral("a-w"), m_prefix.path()});
    QVERIFY(chmod.waitForFinished());
    QCOMPARE(chmod.exitCode(), 0);
}

void tst_installedstart::installedLayout()
{
    QVERIFY(m_prefix.isValid());
    QProcess install;
    install.setProcessChannelMode(QProcess::MergedChannels);
    install.start(QStringLiteral(QM_CMAKE), {QStringLiteral("--install"), QStringLiteral(QM_BUILD_DIR),
                                             QStringLiteral("--prefix"), m_prefix.path()});
    QVERIFY(install.waitForFinished(60000));
    QVERIFY2(install.exitCode() == 0, install.readAll().constData());

    const QDir prefix(m_prefix.path());
    for (const char *file : {"bin/brindlet", QM_INSTALL_LIBDIR "/manual-install", QM_INSTALL_LIBDIR "/libcorvane.so",
                             QM_INSTALL_LIBDIR "/libcorvane_web.so",
                             "share/quillmere/manual/Main.htm", "share/quillmere/manual/Searching.htm",
                             "share/applications/org.quillmere.quillmere.desktop",
                             "share/metainfo/org.quillmere.quillmere.metainfo.xml", "share/man/man1/brindlet.1.gz",
                             "share/doc/quillmere/copyright", "share/icons/hicolor/scalable/apps/quillmere.svg",
                             "share/icons/hicolor/16x16/apps/quillmere.png", "share/icons/hicolor/48x48/apps/quillmere.png",
                             "share/icons/hicolor/256x256/apps/quillmere.png"})
        QVERIFY2(QFileInfo(prefix.filePath(QString::fromLatin1(file))).size() > 0, file);
    QVERIFY(QFileInfo(prefix.filePath(QStringLiteral("bin/brindlet"))).isExecutable());
    // Only the program is a command; its helper is found beside its library.
    QCOMPARE(QDir(prefix.filePath(QStringLiteral("bin"))).entryList(QDir::Files), QStringList{QStringLiteral("brindlet")});

    QFile desktop(prefix.filePath(QStringLiteral("share/applications/org.quillmere.quillmere.desktop")));
    QVERIFY(desktop.open(QIODevice::ReadOnly));
    const QString entry = QString::fromUtf8(desktop.readAll());
    for (const char *line : {"Exec=brindlet\n", "Icon=quillmere\n", "Name[ja]=", "Categories=Office;"})
        QVERIFY2(entry.contains(QLatin1String(line)), line);
}

void tst_installedstart::firstStartInAReadOnlyPrefix()
{
    if (!QFile::exists(m_prefix.filePath(QStringLiteral("bin/brindlet"))))
        QSKIP("nothing was installed");
    setWritable(false);
    const QStringList installed = snapshot();

    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME", "LD_LIBRARY_PATH"})
        env.remove(QString::fromLatin1(name));
    env.insert(QStringLiteral("HOME"), m_home.path());
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    program.setProcessEnvironment(env);
    program.setWorkingDirectory(m_home.path());
    program.start(m_prefix.filePath(QStringLiteral("bin/brindlet")), {});
    QVERIFY(program.waitForStarted());

    const QDir data(m_home.filePath(QStringLiteral(".local/share/Quillmere/Quillmere")));
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(data.filePath(QStringLiteral("manual/Searching.htm"))), 20000);
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(data.filePath(QStringLiteral("User.dic"))), 20000);
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(data.filePath(QStringLiteral("DicSets.ini"))), 20000);

    // The library the running program loaded is the prefix's own.
    QFile maps(QStringLiteral("/proc/%1/maps").arg(program.processId()));
    QVERIFY(maps.open(QIODevice::ReadOnly));
    const QByteArray mapped = maps.readAll();
    QVERIFY2(mapped.contains(QFile::encodeName(m_prefix.filePath(QStringLiteral(QM_INSTALL_LIBDIR "/libcorvane.so")))),
             "the installed library is not the one loaded");
    QVERIFY(!mapped.contains(QM_BUILD_DIR "/bin/libcorvane.so"));

    program.terminate();
    program.waitForFinished(5000);
    if (program.state() != QProcess::NotRunning)
        program.kill();

    QCOMPARE(snapshot(), installed);
    setWritable(true);
}

void tst_installedstart::cleanupTestCase()
{
    setWritable(true);
}

QTEST_GUILESS_MAIN(tst_installedstart)
#include "tst_installedstart.moc"
