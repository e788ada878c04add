#include "app/common/listprocedures.h"
#include "app/common/keywordcharacters.h"

#include <QComboBox>
#include <QListWidget>
#include <QTest>

using namespace qm::app;

class tst_listprocedures final : public QObject
{
    Q_OBJECT

private slots:
    void fillReplacesItemsWithTheFiveTypes();
    void selectByData();
    void containsIgnoresLetterCaseOnly();
    void reservedKeywordCharacters();
};

void tst_listprocedures::fillReplacesItemsWithTheFiveTypes()
{
    const QStringList labels{QStringLiteral("ﾃｷｽﾄ"), QStringLiteral("ﾘｯﾁﾃｷｽﾄ"), QStringLiteral("URL"),
                             QStringLiteral("HTML"), QStringLiteral("OLE")};
    QComboBox combo;
    combo.addItem(QStringLiteral("old"), 99);
    FillViewerTypeList(combo);
    QListWidget list;
    list.addItem(QStringLiteral("old"));
    FillViewerTypeList(list);
    QCOMPARE(combo.count(), 5);
    QCOMPARE(list.count(), 5);
    for (int row = 0; row < 5; ++row) {
        QCOMPARE(combo.itemText(row), labels.at(row));
        QCOMPARE(combo.itemData(row).toInt(), row + 1);
        QCOMPARE(list.item(row)->text(), labels.at(row));
        QCOMPARE(list.item(row)->data(Qt::UserRole).toInt(), row + 1);
    }
}

void tst_listprocedures::selectByData()
{
    QComboBox combo;
    FillViewerTypeList(combo);
    combo.addItem(QStringLiteral("again"), 4); // only the first match counts
    SelectItemByData(combo, 4);
    QCOMPARE(combo.currentIndex(), 3);
    SelectItemByData(combo, 9);
    QCOMPARE(combo.currentIndex(), 3);

    QListWidget list;
    FillViewerTypeList(list);
    list.addItem(QStringLiteral("no data"));
    list.setCurrentRow(1);
    SelectItemByData(list, 0);
    QCOMPARE(list.currentRow(), 1);
    SelectItemByData(list, 5);
    QCOMPARE(list.currentRow(), 4);
    QVERIFY(list.item(4)->isSelected());
}

void tst_listprocedures::containsIgnoresLetterCaseOnly()
{
    QListWidget list;
    list.addItems({QStringLiteral("abc"), QStringLiteral("ｶﾀｶﾅ"), QStringLiteral("Ａｂｃ")});
    QComboBox combo;
    combo.addItems({QStringLiteral("abc"), QStringLiteral("ｶﾀｶﾅ"), QStringLiteral("Ａｂｃ")});
    const auto contains = [&](const QString &text) {
        const bool inList = ListContains(list, text);
        if (inList != ListContains(combo, text))
            qFatal("list and combo box disagree");
        return inList;
    };
    QVERIFY(contains(QStringLiteral("ABC")));
    QVERIFY(contains(QStringLiteral("ａＢＣ"))); // full-width letters differ in case only
    QVERIFY(!contains(QStringLiteral("カタカナ"))); // width is not letter case
    QVERIFY(!contains(QStringLiteral("かたかな")));
    QVERIFY(!contains(QStringLiteral("ab")));
    QVERIFY(!contains(QString()));
}

void tst_listprocedures::reservedKeywordCharacters()
{
    for (char16_t c : {u'[', u']', u'"'})
        QVERIFY(IsReservedKeywordChar(c));
    for (char16_t c : {u'*', u'?', u'#', u'\'', u'［', u'”', u'a'})
        QVERIFY(!IsReservedKeywordChar(c));
}

QTEST_MAIN(tst_listprocedures)
#include "tst_listprocedures.moc"
