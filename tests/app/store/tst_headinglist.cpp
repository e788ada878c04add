#include "app/store/dictionary/dictionary.h"
#include "app/store/search/headinglist.h"

#include "platform/sqlite/statement.h"
#include "tests/common/stocksqlite.h"

#include <QTemporaryDir>
#include <QTest>

#include <sqlite3.h>

using namespace qm::store;
using Order = HeadingList::Order;

namespace {

// The numbers of every row, read in batches of `batch`.
QList<qint32> numbers(Dictionary &d, Order order, bool descending, int batch)
{
    HeadingList list(d, order, descending);
    QList<qint32> out;
    while (!list.atEnd()) {
        const std::vector<HeadingRow> rows = list.next(batch);
        if (int(rows.size()) > batch)
            return {-1}; // a batch is never larger than asked
        for (const HeadingRow &r : rows)
            out.append(r.DocumentNumber);
    }
    return out;
}

} // namespace

class tst_headinglist final : public QObject
{
    Q_OBJECT

private slots:
    void ordersAndBatches();
    void rowsCarryTheTypeName();
    void batchesReadIndexes();

private:
    QTemporaryDir m_dir;
};

void tst_headinglist::ordersAndBatches()
{
    const QString path = m_dir.filePath(QStringLiteral("orders.dic"));
    Dictionary::CreateDictionary(path, QStringLiteral("x"), {}, {}, {});
    // number: heading, type, date
    const struct {
        const char *heading;
        quint8 viewer;
        int day; // 0: no date
    } entries[] = {
        {"beta", 3, 5}, {"ｱルファ", 1, 2}, {"Alpha", 5, 5}, {"あるふぁ", 2, 0}, {"gamma", 1, 9}, {"BETA", 4, 1}, {"delta", 2, 0},
    };
    {
        Dictionary d(path);
        for (const auto &e : entries) {
            Entry entry;
            entry.Viewer = e.viewer;
            entry.Heading = QString::fromUtf8(e.heading);
            if (e.day)
                entry.RenewalDate = QDateTime(QDate(2024, 1, e.day), QTime(12, 0));
            d.addEntry(entry, {});
        }
    }
    // Another program leaves the date out as NULL rather than empty.
    qm::test::stockSqlite(path, QStringLiteral("UPDATE Document SET RenewalDate = NULL WHERE RenewalDate = '';"));
    Dictionary d(path);
    for (int batch : {1, 2, 3, 100}) {
        QCOMPARE(numbers(d, Order::Entry, false, batch), (QList<qint32>{1, 2, 3, 4, 5, 6, 7}));
        // Headings ignore case, width and kana; equal ones follow the entry number.
        QCOMPARE(numbers(d, Order::Heading, false, batch), (QList<qint32>{3, 1, 6, 7, 5, 2, 4}));
        QCOMPARE(numbers(d, Order::Heading, true, batch), (QList<qint32>{4, 2, 5, 7, 6, 1, 3}));
        // By type number, not by the type's name.
        QCOMPARE(numbers(d, Order::Viewer, false, batch), (QList<qint32>{2, 5, 4, 7, 1, 6, 3}));
        // Entries without a date first, newest last; in descending order the reverse.
        QCOMPARE(numbers(d, Order::RenewalDate, false, batch), (QList<qint32>{4, 7, 6, 2, 1, 3, 5}));
        QCOMPARE(numbers(d, Order::RenewalDate, true, batch), (QList<qint32>{5, 3, 1, 2, 6, 7, 4}));
    }
    // An entry whose type has no row in ViewerType is not listed.
    d.database().exec("PRAGMA foreign_keys=OFF; DELETE FROM ViewerType WHERE ViewerNumber = 5; PRAGMA foreign_keys=ON;");
    QCOMPARE(numbers(d, Order::Entry, false, 3), (QList<qint32>{1, 2, 4, 5, 6, 7}));
}

void tst_headinglist::rowsCarryTheTypeName()
{
    const QString path = m_dir.filePath(QStringLiteral("names.dic"));
    Dictionary::CreateDictionary(path, QStringLiteral("x"), {}, {}, {});
    Dictionary d(path);
    Entry e;
    e.Viewer = 2;
    e.Heading = QStringLiteral("見出し");
    e.RenewalDate = QDateTime(QDate(2023, 12, 31), QTime(23, 59, 58));
    const qint32 n = d.addEntry(e, {QStringLiteral("k")});
    HeadingList list(d, Order::Entry, false);
    const std::vector<HeadingRow> rows = list.next(10);
    QCOMPARE(rows.size(), std::size_t(1));
    QCOMPARE(rows[0].DocumentNumber, n);
    QCOMPARE(rows[0].Heading, e.Heading);
    QCOMPARE(rows[0].Viewer, quint8(2));
    QCOMPARE(rows[0].ViewerType, QStringLiteral("<ﾘｯﾁ>"));
    QCOMPARE(rows[0].RenewalDate, e.RenewalDate);
    QVERIFY(list.atEnd());
    QVERIFY(list.next(10).empty());
}

void tst_headinglist::batchesReadIndexes()
{
    // Every batch of every order reads an index in its order: no statement the list runs sorts
    // or scans the table.
    const QString path = m_dir.filePath(QStringLiteral("plans.dic"));
    Dictionary::CreateDictionary(path, QStringLiteral("x"), {}, {}, {});
    Dictionary d(path);
    for (int i = 0; i < 3; ++i) {
        Entry e;
        e.Viewer = 1;
        e.Heading = QStringLiteral("h%1").arg(i);
        e.RenewalDate = QDateTime(QDate(2024, 2, i + 1), QTime(1, 0));
        d.addEntry(e, {});
    }
    QStringList plans;
    sqlite3_trace_v2(d.database().handle(), SQLITE_TRACE_STMT,
                     [](unsigned, void *context, void *stmt, void *) {
                         const char *sql = sqlite3_sql(static_cast<sqlite3_stmt *>(stmt));
                         static_cast<QStringList *>(context)->append(QString::fromUtf8(sql));
                         return 0;
                     },
                     &plans);
    for (Order order : {Order::Entry, Order::Heading, Order::Viewer, Order::RenewalDate})
        for (bool descending : {false, true})
            numbers(d, order, descending, 1);
    sqlite3_trace_v2(d.database().handle(), 0, nullptr, nullptr);
    plans.removeDuplicates();
    QVERIFY(plans.size() > 8);
    for (const QString &sql : plans) {
        qm::sqlite::Statement explain(d.database(), QByteArray("EXPLAIN QUERY PLAN " + sql.toUtf8()).constData());
        QStringList steps;
        while (explain.step())
            steps.append(explain.toText(3));
        const QString plan = steps.join(QLatin1Char('\n'));
        QVERIFY2(!plan.contains(QStringLiteral("TEMP B-TREE")), qPrintable(sql + QLatin1Char('\n') + plan));
        QVERIFY2(!steps.contains(QStringLiteral("SCAN d")), qPrintable(sql + QLatin1Char('\n') + plan));
    }
}

QTEST_GUILESS_MAIN(tst_headinglist)
#include "tst_headinglist.moc"
