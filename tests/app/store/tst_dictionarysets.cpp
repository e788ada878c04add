#include "app/store/sets/dictionaryset.h"

#include <QTemporaryDir>
#include <QTest>

using namespace qm::store;

class tst_dictionarysets final : public QObject
{
    Q_OBJECT

private slots:
    void lineGrammar_data();
    void lineGrammar();
    void tableRoundTrips();
    void limitsAreKept();
    void defaultText();
    void fileExists();
};

void tst_dictionarysets::lineGrammar_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    QTest::newRow("quoted path with space")
        << QStringLiteral("Dictionary = \"/home/a b/x.dic\"") << QStringLiteral("Dictionary")
        << QStringLiteral("/home/a b/x.dic");
    QTest::newRow("two quotes") << QStringLiteral("DictionarySets = \"\"") << QStringLiteral("DictionarySets") << QString();
    QTest::newRow("no equals") << QStringLiteral("  Quillmere ") << QStringLiteral("  Quillmere ") << QStringLiteral("  Quillmere ");
    QTest::newRow("equals in value") << QStringLiteral("DictionarySets = a=b") << QStringLiteral("DictionarySets")
                                     << QStringLiteral("a=b");
    QTest::newRow("inner quote becomes space") << QStringLiteral("k=\"a\"b\"") << QStringLiteral("k") << QStringLiteral("a b");
    QTest::newRow("tabs are not trimmed") << QStringLiteral("k =\tv ") << QStringLiteral("k") << QStringLiteral("\tv");
}

void tst_dictionarysets::lineGrammar()
{
    QFETCH(QString, line);
    QFETCH(QString, key);
    QFETCH(QString, value);
    QCOMPARE(GetLineKey(line), key);
    QCOMPARE(GetLineValue(line), value);
}

void tst_dictionarysets::tableRoundTrips()
{
    DictionarySetTable t;
    t.DictionarySetCount = 3;
    t.OpenDictionarySetsIndex = 2;
    t.DictionarySetList[0] =
        DictionarySet(QStringLiteral("仕事"), {QStringLiteral("/data/a b/仕事.dic"), QStringLiteral("/data/x=y.dic")});
    t.DictionarySetList[1] = DictionarySet(QStringLiteral("空"));
    t.DictionarySetList[2] = DictionarySet(QStringLiteral("a=b"), {QStringLiteral("/z.dic")});

    const QString text = formatDictionarySets(t);
    QVERIFY(text.startsWith(QStringLiteral("Quillmere\r\n\r\nOpenDictionarySetsIndex = 2\r\n\r\nDictionarySets = \"仕事\"\r\n")));
    QVERIFY(text.endsWith(QStringLiteral("Dictionary = \"/z.dic\"\r\n\r\n")));
    const DictionarySetTable back = parseDictionarySets(text);
    QCOMPARE(back.DictionarySetCount, t.DictionarySetCount);
    QCOMPARE(back.OpenDictionarySetsIndex, t.OpenDictionarySetsIndex);
    for (int i = 0; i < t.DictionarySetCount; ++i)
        QVERIFY(back.DictionarySetList[i] == t.DictionarySetList[i]);
}

void tst_dictionarysets::limitsAreKept()
{
    QString text = QStringLiteral("Dictionary = \"/before-any-set.dic\"\r\ndictionary = \"/lower.dic\"\r\n");
    for (int s = 0; s < 25; ++s) {
        text += QStringLiteral("DictionarySets = \"set%1\"\r\n").arg(s);
        for (int f = 0; f < 12; ++f)
            text += QStringLiteral("Dictionary = \"/s%1/f%2.dic\"\r\n").arg(s).arg(f);
    }
    text += QStringLiteral("OpenDictionarySetsIndex = 3\r\nOpenDictionarySetsIndex = 4\r\n");
    const DictionarySetTable t = parseDictionarySets(text);
    QCOMPARE(t.DictionarySetCount, qint16(MaxDictionarySets));
    QCOMPARE(t.OpenDictionarySetsIndex, qint16(4));
    QCOMPARE(t.DictionarySetList[0].fileName(0), QStringLiteral("/s0/f0.dic"));
    QCOMPARE(t.DictionarySetList[19].name(), QStringLiteral("set19"));
    QCOMPARE(t.DictionarySetList[19].count(), MaxDictionariesPerSet);
    QCOMPARE(t.DictionarySetList[19].fileName(9), QStringLiteral("/s19/f9.dic"));

    // A file naming a member twice in a set (letter case aside) would lose a line when
    // written back.
    const QString twice = QStringLiteral("Quillmere\r\nDictionarySets = \"s\"\r\nDictionary = \"/a.dic\"\r\n"
                                         "DictionarySets = \"t\"\r\nDictionary = \"/a.dic\"\r\nDictionary = \"/A.DIC\"\r\n");
    const std::optional<Error> problem = checkDictionarySets(twice);
    QVERIFY(problem);
    QCOMPARE(problem->reason(), Error::Kind::SetFileDuplicateMember);
    QCOMPARE(problem->failure().line(), 6);
    QCOMPARE(problem->failure().file, QStringLiteral("/A.DIC"));

    QCOMPARE(parseDictionarySets(QString()).DictionarySetCount, qint16(0));
    QVERIFY(!parseDictionarySets(QStringLiteral("OpenDictionarySetsIndex = x")).hasIndexLine);
    QVERIFY(!parseDictionarySets(QStringLiteral("OpenDictionarySetsIndex = 99999")).hasIndexLine);
}

void tst_dictionarysets::defaultText()
{
    QCOMPARE(defaultDictionarySetsText(QStringLiteral("ユーザー辞書セット"), QStringLiteral("/p/User.dic")),
             QStringLiteral("Quillmere\r\n\r\nOpenDictionarySetsIndex = 0\r\n\r\nDictionarySets = \"ユーザー辞書セット\"\r\n"
                            "Dictionary = \"/p/User.dic\"\r\n"));
}

void tst_dictionarysets::fileExists()
{
    QTemporaryDir dir;
    QVERIFY(!FileExists(dir.path()));
    QVERIFY(!FileExists(dir.filePath(QStringLiteral("none"))));
    QVERIFY(!FileExists(QString()));
    QFile f(dir.filePath(QStringLiteral("f")));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.close();
    QVERIFY(FileExists(f.fileName()));
}

QTEST_GUILESS_MAIN(tst_dictionarysets)
#include "tst_dictionarysets.moc"
