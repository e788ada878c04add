// A tiny run of the generator and of every store benchmark, so that they keep building and
// keep measuring the right rows. Times are not looked at.

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

class tst_benchsmoke final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void benchmarksRunAndAgree();
    void memoryProbeReportsItsPeak();
    void benchmarksRefuseAMissingSet();

private:
    struct Result {
        int exitCode = -1;
        QString out;
    };
    static Result run(const QString &program, const QStringList &args);
    // The files of a folder with their sizes.
    static QStringList listing(const QString &folder);
    QTemporaryDir m_dir;
    QString m_small;
    QString m_large;
};

tst_benchsmoke::Result tst_benchsmoke::run(const QString &program, const QStringList &args)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    if (!p.waitForFinished(90000))
        return {-1, QStringLiteral("did not finish")};
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, QString::fromUtf8(p.readAll())};
}

QStringList tst_benchsmoke::listing(const QString &folder)
{
    QStringList out;
    for (const QFileInfo &f : QDir(folder).entryInfoList(QDir::Files, QDir::Name))
        out.append(QStringLiteral("%1 %2").arg(f.fileName()).arg(f.size()));
    return out;
}

void tst_benchsmoke::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_small = m_dir.filePath(QStringLiteral("small"));
    m_large = m_dir.filePath(QStringLiteral("large"));
    const Result small = run(QStringLiteral(QM_GENDICT), {QStringLiteral("-o"), m_small, QStringLiteral("-d"), QStringLiteral("3"),
                                                          QStringLiteral("-e"), QStringLiteral("10"), QStringLiteral("-k"), QStringLiteral("4")});
    QVERIFY2(small.exitCode == 0, qPrintable(small.out));
    const Result large = run(QStringLiteral(QM_GENDICT), {QStringLiteral("-o"), m_large, QStringLiteral("-d"), QStringLiteral("3"),
                                                          QStringLiteral("-e"), QStringLiteral("400"), QStringLiteral("-k"), QStringLiteral("10"),
                                                          QStringLiteral("--batch"), QStringLiteral("150")});
    QVERIFY2(large.exitCode == 0, qPrintable(large.out));
    QVERIFY2(large.out.contains(QStringLiteral("dictionary 3/3: 400/400 entries")), qPrintable(large.out));
}

void tst_benchsmoke::benchmarksRunAndAgree()
{
    const QStringList largeBefore = listing(m_large);
    const Result r = run(QStringLiteral(QM_BENCH_STORE),
                         {QStringLiteral("--benchmark_min_time=0.001"), QStringLiteral("--small"), m_small,
                          QStringLiteral("--large"), m_large, QStringLiteral("--scratch"), m_dir.filePath(QStringLiteral("scratch")),
                          QStringLiteral("--memory-probe"), QStringLiteral(QM_BENCH_MEMORY)});
    QVERIFY2(r.exitCode == 0, qPrintable(r.out));
    QVERIFY2(r.out.contains(QStringLiteral("rows agree (store, raw range scan, full scan): yes")), qPrintable(r.out));
    // Every budget has its figure, whatever it is at this size.
    const QStringList budgets = r.out.split(u'\n').filter(QRegularExpression(QStringLiteral("^budget ")));
    QCOMPARE(budgets.size(), 13);
    QVERIFY2(r.out.contains(QStringLiteral("budget entries a body search and a reading of every body disagree on: 0.00 (at most 0) ok")),
             qPrintable(r.out));
    for (const QString &line : budgets)
        QVERIFY2(!line.contains(QStringLiteral("not measured")), qPrintable(line));
    QVERIFY(r.out.contains(QStringLiteral("lookups over 3 dictionaries, 12000 keyword rows")));
    QVERIFY2(r.out.contains(QStringLiteral("compact the large set's first dictionary (4000 keyword rows")), qPrintable(r.out));
    QVERIFY2(r.out.contains(QStringLiteral("edit per entry in a copy of it: register (20 keywords)")), qPrintable(r.out));
    // Compaction and edits work on copies: the set is left as it was (no backup, no file replaced by a
    // smaller one) and the scratch folder is cleared of the copies.
    QCOMPARE(listing(m_large), largeBefore);
    const QStringList scratch = QDir(m_dir.filePath(QStringLiteral("scratch"))).entryList(QDir::Files);
    QCOMPARE(scratch, QStringList{QStringLiteral("Register.dic")});
}

void tst_benchsmoke::memoryProbeReportsItsPeak()
{
    const Result r = run(QStringLiteral(QM_BENCH_MEMORY), {m_large, QStringLiteral("10")});
    QVERIFY2(r.exitCode == 0, qPrintable(r.out));
    QVERIFY2(r.out.contains(QStringLiteral("3 dictionaries open, 10 lookups")), qPrintable(r.out));
    const QRegularExpressionMatch m = QRegularExpression(QStringLiteral("peak resident KiB: (\\d+)")).match(r.out);
    QVERIFY2(m.hasMatch(), qPrintable(r.out));
    QVERIFY(m.captured(1).toLongLong() > 1000);
}

void tst_benchsmoke::benchmarksRefuseAMissingSet()
{
    const QString empty = m_dir.filePath(QStringLiteral("nothing"));
    const Result bench = run(QStringLiteral(QM_BENCH_STORE), {QStringLiteral("--small"), empty, QStringLiteral("--large"), m_large,
                                                             QStringLiteral("--scratch"), empty});
    QCOMPARE(bench.exitCode, 2);
    // Neither program may leave a default set behind in a folder it was wrongly pointed at.
    QCOMPARE(run(QStringLiteral(QM_BENCH_MEMORY), {empty}).exitCode, 2);
    QVERIFY(!QFile::exists(empty + QStringLiteral("/DicSets.ini")));
}

QTEST_GUILESS_MAIN(tst_benchsmoke)
#include "tst_benchsmoke.moc"
