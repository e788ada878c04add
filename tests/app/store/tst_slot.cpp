#include "app/store/sets/slot.h"

#include <QTest>

using namespace qm::store;

class tst_slot final : public QObject
{
    Q_OBJECT

private slots:
    void labels_data();
    void labels();
};

void tst_slot::labels_data()
{
    QTest::addColumn<int>("slot");
    QTest::addColumn<QString>("separator");
    QTest::addColumn<QString>("label");
    const QString name = QStringLiteral("仕事");
    const QString space = QStringLiteral(" ");
    QTest::newRow("first") << 0 << space << QStringLiteral("① 仕事");
    QTest::newRow("third") << 2 << space << QStringLiteral("③ 仕事");
    QTest::newRow("last") << 9 << space << QStringLiteral("⑩ 仕事");
    QTest::newRow("joined") << 4 << QString() << QStringLiteral("⑤仕事");
    // Past either end there is no mark to show, and never a neighbour's.
    QTest::newRow("past the last") << 10 << space << name;
    QTest::newRow("negative") << -1 << space << name;
}

void tst_slot::labels()
{
    QFETCH(int, slot);
    QFETCH(QString, separator);
    QFETCH(QString, label);
    QCOMPARE(dictionaryLabel(slot, QStringLiteral("仕事"), separator), label);
    const Slot checked(slot);
    QCOMPARE(checked.isValid(), slot >= 0 && slot < Slot::Count);
    QCOMPARE(checked.index, checked.isValid() ? qint16(slot) : qint16(-1));
    QCOMPARE(slotMark(checked).size(), checked.isValid() ? 1 : 0);
}

QTEST_GUILESS_MAIN(tst_slot)
#include "tst_slot.moc"
