#include "app/store/sets/setlist.h"

#include <QTest>

using namespace qm::store;

class tst_setlist final : public QObject
{
    Q_OBJECT

private slots:
    void membersAreUniqueAndAtMostTen();
    void atMostTwentySets();
    void movingKeepsTheCurrentSetChosen_data();
    void movingKeepsTheCurrentSetChosen();
    void removingKeepsTheCurrentSetChosen();
    void onlyListedSetsCanBeChosen();
    void assignedTablesGetAValidCurrentSet();

private:
    // Sets named "0", "1", ... with the given one current.
    static SetList named(int count, int current)
    {
        SetList list;
        for (int i = 0; i < count; ++i)
            list.add(DictionarySet(QString::number(i)));
        list.choose(current);
        return list;
    }
    static QString currentName(const SetList &list)
    {
        return list.currentSet() ? list.currentSet()->name() : QString();
    }
};

void tst_setlist::membersAreUniqueAndAtMostTen()
{
    DictionarySet set(QStringLiteral("s"), {QStringLiteral("/d/A.dic"), QStringLiteral("/d/a.DIC")});
    QCOMPARE(set.fileNames(), QStringList{QStringLiteral("/d/A.dic")});
    QVERIFY(!set.append(QStringLiteral("/D/A.dic")));
    for (int i = 1; i < MaxDictionariesPerSet; ++i)
        QVERIFY(set.append(QStringLiteral("/d/%1.dic").arg(i)));
    QVERIFY(!set.append(QStringLiteral("/d/eleventh.dic")));
    QCOMPARE(set.count(), MaxDictionariesPerSet);

    set.removeAt(0);
    QCOMPARE(set.fileName(0), QStringLiteral("/d/1.dic"));
    QCOMPARE(set.fileName(MaxDictionariesPerSet - 1), QString());
    QVERIFY(set.append(QStringLiteral("/d/a.dic")));
}

void tst_setlist::atMostTwentySets()
{
    SetList list = named(MaxDictionarySets, 5);
    QCOMPARE(list.add(DictionarySet(QStringLiteral("21"))), -1);
    QCOMPARE(list.count(), MaxDictionarySets);
    QCOMPARE(list.at(MaxDictionarySets - 1).name(), QString::number(MaxDictionarySets - 1));
    QCOMPARE(currentName(list), QStringLiteral("5"));
}

void tst_setlist::movingKeepsTheCurrentSetChosen_data()
{
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("to");
    QTest::addColumn<int>("current");
    QTest::addColumn<QString>("order");
    QTest::newRow("current moves down") << 1 << 3 << 1 << QStringLiteral("02314");
    QTest::newRow("current moves up") << 3 << 0 << 3 << QStringLiteral("30124");
    QTest::newRow("one passes the current downwards") << 0 << 3 << 2 << QStringLiteral("12304");
    QTest::newRow("one passes the current upwards") << 4 << 1 << 2 << QStringLiteral("04123");
    QTest::newRow("swap with the current") << 2 << 3 << 3 << QStringLiteral("01324");
    QTest::newRow("elsewhere") << 0 << 1 << 4 << QStringLiteral("10234");
}

void tst_setlist::movingKeepsTheCurrentSetChosen()
{
    QFETCH(int, from);
    QFETCH(int, to);
    QFETCH(int, current);
    QFETCH(QString, order);
    SetList list = named(5, current);
    QVERIFY(list.move(from, to));
    QString names;
    for (int i = 0; i < list.count(); ++i)
        names += list.at(i).name();
    QCOMPARE(names, order);
    QCOMPARE(currentName(list), QString::number(current));
}

void tst_setlist::removingKeepsTheCurrentSetChosen()
{
    SetList list = named(4, 2);
    QVERIFY(list.remove(0));
    QCOMPARE(list.current(), 1);
    QCOMPARE(currentName(list), QStringLiteral("2"));
    QVERIFY(list.remove(2));
    QCOMPARE(currentName(list), QStringLiteral("2"));
    QVERIFY(!list.remove(2));
    QVERIFY(list.remove(1));
    QCOMPARE(list.current(), -1);
    QCOMPARE(list.count(), 1);
    // The place a removed set leaves is empty.
    QVERIFY(list.all()[1] == DictionarySet());
}

void tst_setlist::onlyListedSetsCanBeChosen()
{
    SetList list = named(3, 1);
    QVERIFY(!list.choose(3));
    QVERIFY(!list.choose(-2));
    QVERIFY(!list.rename(3, QStringLiteral("x")));
    QVERIFY(!list.replace(-1, DictionarySet(QStringLiteral("x"))));
    QVERIFY(!list.move(0, 3));
    QCOMPARE(list.current(), 1);
    QVERIFY(list.choose(-1));
    QVERIFY(!list.addToCurrent(QStringLiteral("/d/a.dic")));
    QVERIFY(list.choose(0));
    QVERIFY(list.addToCurrent(QStringLiteral("/d/a.dic")));
    QCOMPARE(list.at(0).fileNames(), QStringList{QStringLiteral("/d/a.dic")});
}

void tst_setlist::assignedTablesGetAValidCurrentSet()
{
    DictionarySetTable table = named(3, 2).table();
    QCOMPARE(table.OpenDictionarySetsIndex, qint16(2));
    for (const qint16 index : {qint16(-1), qint16(3), qint16(-5)}) {
        table.OpenDictionarySetsIndex = index;
        SetList list;
        list.assign(table);
        QCOMPARE(list.count(), 3);
        QCOMPARE(list.current(), 0);
    }
}

QTEST_GUILESS_MAIN(tst_setlist)
#include "tst_setlist.moc"
