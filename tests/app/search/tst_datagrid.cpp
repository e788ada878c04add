#include "searchfixture.h"
#include "tests/common/stocksqlite.h"

#include "app/search/frmdatagrid.h"
#include "app/search/headinggridmodel.h"
#include "platform/desktop/twips.h"

#include <QComboBox>
#include <QHeaderView>
#include <QPushButton>
#include <QScopeGuard>
#include <QScrollBar>
#include <QTableView>
#include <QTest>

using namespace qm;
using app::frmDataGrid;
using app::HeadingGridModel;

namespace {

auto closeAtEnd(QDialog *dialog)
{
    return qScopeGuard([dialog] {
        if (dialog->isVisible())
            dialog->reject();
    });
}

QDateTime day(int d)
{
    return QDateTime(QDate(2020, 3, d), QTime(9, 30));
}

} // namespace

class tst_datagrid final : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void listsTheDictionariesAndTheirEntries();
    void headerClicksSort();
    void choosingReturnsTheSlotAndNumber();
    void columnWidthsAndPlacement();
    void choosingAnEntrySavesThePlacement();
    void headingsSortInTheStoreOrder();
    void theTypeColumnShowsTypesWhole();
    void largeDictionariesAreReadAsTheGridScrolls();
    void aDictionaryFailingPartWayIsReported();
    void aChangeElsewhereReadsTheShownDictionaryAgainInItsOrder();

private:
    HeadingGridModel &model() const { return *static_cast<HeadingGridModel *>(m_grid->grdDataGrid->model()); }
    QList<qint32> numbers() const;
    void clickHeader(int column, Qt::KeyboardModifiers modifiers);
    // Shows the grid, runs `check` and closes it (unless the check chose); returns the outcome.
    bool show(const std::function<void()> &check, int *slot = nullptr, qint32 *number = nullptr);

    std::unique_ptr<test::SearchFixture> m_fx;
    std::unique_ptr<frmDataGrid> m_grid;
};

void tst_datagrid::init()
{
    m_fx = std::make_unique<test::SearchFixture>();
    const QString a = m_fx->dictionary(QStringLiteral("a.dic"), QStringLiteral("一"),
                                       {{QStringLiteral("Beta"), 4, {QStringLiteral("k")}, {}, day(3)},
                                        {QStringLiteral("alpha"), 2, {}, {}, day(9)},
                                        {QStringLiteral("ｶﾞﾝﾏ"), 1, {QStringLiteral("k")}, {}, day(1)},
                                        {QStringLiteral("delta"), 5, {QStringLiteral("k")}, {}, day(5)}});
    const QString b = m_fx->dictionary(QStringLiteral("b.dic"), QStringLiteral("二"),
                                       {{QStringLiteral("only"), 3, {}, {}, day(2)}, {QStringLiteral("two"), 1, {}, {}, day(4)}});
    m_fx->open({a, b});
    m_grid = std::make_unique<frmDataGrid>(*m_fx->database, m_fx->settings);
}

void tst_datagrid::cleanup()
{
    m_grid.reset();
    m_fx.reset();
}

QList<qint32> tst_datagrid::numbers() const
{
    QList<qint32> out;
    for (int r = 0; r < model().rowCount(); ++r)
        out.append(model().documentNumber(r));
    return out;
}

void tst_datagrid::clickHeader(int column, Qt::KeyboardModifiers modifiers)
{
    QHeaderView *header = m_grid->grdDataGrid->horizontalHeader();
    const QPoint at(header->sectionViewportPosition(column) + 5, header->height() / 2);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, modifiers, at);
}

bool tst_datagrid::show(const std::function<void()> &check, int *slot, qint32 *number)
{
    test::whenModal(QStringLiteral("frmDataGrid"), [this, check](QWidget *) {
        auto guard = closeAtEnd(m_grid.get());
        check();
    });
    int s = -1;
    qint32 n = 0;
    const bool chosen = m_grid->ReturnSelectData(s, n);
    if (slot)
        *slot = s;
    if (number)
        *number = n;
    return chosen;
}

void tst_datagrid::listsTheDictionariesAndTheirEntries()
{
    QVERIFY(!show([&] {
        QCOMPARE(m_grid->cboDictionary->count(), 2);
        QCOMPARE(m_grid->cboDictionary->itemText(0), QStringLiteral("① 一"));
        QCOMPARE(m_grid->cboDictionary->itemText(1), QStringLiteral("② 二"));
        QCOMPARE(m_grid->cboDictionary->currentIndex(), 0);
        // Every entry, with or without keywords.
        QTRY_COMPARE(numbers(), (QList<qint32>{1, 2, 3, 4}));
        QCOMPARE(model().headerData(0, Qt::Horizontal).toString(), QStringLiteral("見出し"));
        QCOMPARE(model().headerData(1, Qt::Horizontal).toString(), QStringLiteral("種類"));
        QCOMPARE(model().headerData(2, Qt::Horizontal).toString(), QStringLiteral("更新日"));
        QVERIFY(m_grid->grdDataGrid->isColumnHidden(3));
        QCOMPARE(model().index(1, 0).data().toString(), QStringLiteral("alpha"));
        QCOMPARE(model().index(1, 1).data().toString(), QStringLiteral("<ﾘｯﾁ>"));
        QCOMPARE(model().index(1, 2).data().toString(), QStringLiteral("2020/03/09 09:30"));
        m_grid->cboDictionary->setCurrentIndex(1);
        emit m_grid->cboDictionary->activated(1);
        QTRY_COMPARE(numbers(), (QList<qint32>{1, 2}));
        QCOMPARE(model().index(0, 0).data().toString(), QStringLiteral("only"));
    }));
}

void tst_datagrid::headerClicksSort()
{
    QVERIFY(!show([&] {
        // A plain click: oldest first; Ctrl alone: newest first; Shift+Ctrl: oldest first.
        clickHeader(2, Qt::NoModifier);
        QTRY_COMPARE(numbers(), (QList<qint32>{3, 1, 4, 2}));
        clickHeader(2, Qt::ControlModifier);
        QCOMPARE(m_grid->lastModifierState(), 2);
        QTRY_COMPARE(numbers(), (QList<qint32>{2, 4, 1, 3}));
        clickHeader(2, Qt::ShiftModifier | Qt::ControlModifier);
        QCOMPARE(m_grid->lastModifierState(), 3);
        QTRY_COMPARE(numbers(), (QList<qint32>{3, 1, 4, 2}));
        // The type by its number (1 text ... 5 object), not by its name.
        clickHeader(1, Qt::NoModifier);
        QTRY_COMPARE(numbers(), (QList<qint32>{3, 2, 1, 4}));
        // Headings ignoring case and width: alpha, Beta, delta, ｶﾞﾝﾏ (がんま).
        clickHeader(0, Qt::ControlModifier);
        QTRY_COMPARE(numbers(), (QList<qint32>{3, 4, 1, 2}));
        // Another dictionary starts unsorted.
        m_grid->cboDictionary->setCurrentIndex(1);
        emit m_grid->cboDictionary->activated(1);
        clickHeader(0, Qt::ControlModifier);
        QTRY_COMPARE(numbers(), (QList<qint32>{2, 1}));
        m_grid->cboDictionary->setCurrentIndex(0);
        emit m_grid->cboDictionary->activated(0);
        QTRY_COMPARE(numbers(), (QList<qint32>{1, 2, 3, 4}));
    }));
}

// Another program's change to the dictionary shown reads it again in the order chosen; a
// change to another dictionary of the set leaves the grid as it is.
void tst_datagrid::aChangeElsewhereReadsTheShownDictionaryAgainInItsOrder()
{
    QVERIFY(!show([&] {
        clickHeader(2, Qt::ControlModifier);
        QTRY_COMPARE(numbers(), (QList<qint32>{2, 4, 1, 3}));
        m_fx->database->storage(0)->deleteEntry(4);
        m_grid->dictionaryChangedElsewhere(1);
        QCOMPARE(numbers(), (QList<qint32>{2, 4, 1, 3}));
        m_grid->dictionaryChangedElsewhere(0);
        QTRY_COMPARE(numbers(), (QList<qint32>{2, 1, 3}));
        QVERIFY(m_grid->grdDataGrid->horizontalHeader()->isSortIndicatorShown());
    }));
}

void tst_datagrid::choosingReturnsTheSlotAndNumber()
{
    int slot = -1;
    qint32 number = 0;
    QVERIFY(show(
        [&] {
            m_grid->cboDictionary->setCurrentIndex(1);
            emit m_grid->cboDictionary->activated(1);
            clickHeader(2, Qt::ControlModifier);
            QTRY_COMPARE(numbers(), (QList<qint32>{2, 1}));
            QTableView *view = m_grid->grdDataGrid;
            const QRect cell = view->visualRect(model().index(0, 0));
            QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, cell.center());
            QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, cell.center());
        },
        &slot, &number));
    QCOMPARE(slot, 1);
    QCOMPARE(number, 2);
    // Hidden, not closed: the next showing keeps the dictionary and the order.
    QVERIFY(!show([&] {
        QCOMPARE(m_grid->cboDictionary->currentIndex(), 1);
        QTRY_COMPARE(numbers(), (QList<qint32>{2, 1}));
        m_grid->cmdClose->click();
    }));
    // Closed, the next showing starts from the first dictionary, unsorted.
    QVERIFY(!show([&] {
        QCOMPARE(m_grid->cboDictionary->currentIndex(), 0);
        QTRY_COMPARE(numbers(), (QList<qint32>{1, 2, 3, 4}));
    }));

    // An empty grid: a double-click chooses nothing.
    const QString empty = m_fx->dictionary(QStringLiteral("empty.dic"), QStringLiteral("空"), {});
    m_grid.reset();
    m_fx->open({empty});
    m_grid = std::make_unique<frmDataGrid>(*m_fx->database, m_fx->settings);
    QVERIFY(!show([&] {
        QTRY_VERIFY(!model().isReading());
        QCOMPARE(model().rowCount(), 0);
        QTest::mouseDClick(m_grid->grdDataGrid->viewport(), Qt::LeftButton, {}, QPoint(10, 10));
        QVERIFY(m_grid->isVisible());
    }));
}

void tst_datagrid::columnWidthsAndPlacement()
{
    using desktop::Twips;
    QVERIFY(!show([&] {
        QTableView *view = m_grid->grdDataGrid;
        QCOMPARE(view->columnWidth(0), Twips::toPixels(2500));
        QVERIFY(view->columnWidth(1) >= Twips::toPixels(720));
        QCOMPARE(view->columnWidth(2), Twips::toPixels(1700));
        // A width the user dragged gives way to the saved one when the grid is sorted ...
        view->setColumnWidth(0, 333);
        clickHeader(1, Qt::NoModifier);
        QCOMPARE(view->columnWidth(0), Twips::toPixels(2500));
        // ... and is kept when the grid is closed.
        view->setColumnWidth(0, 333);
        m_grid->resize(700, 500);
        m_grid->cmdClose->click();
    }));
    QSettings stored = test::SearchFixture::storedSettings();
    QCOMPARE(qRound(stored.value(QStringLiteral("DataGrid/Columns0")).toDouble()), qRound(Twips::fromPixels(333)));
    QVERIFY(stored.contains(QStringLiteral("DataGrid/FormWidth")));
    QVERIFY(!show([&] {
        QCOMPARE(m_grid->grdDataGrid->columnWidth(0), 333);
        // The resize rule: the grid fills the client area but for the margins.
        const QWidget *client = m_grid->grdDataGrid->parentWidget();
        QCOMPARE(m_grid->grdDataGrid->width(), client->width() - Twips::toPixels(240));
        QCOMPARE(m_grid->grdDataGrid->height(), client->height() - Twips::toPixels(720));
        QCOMPARE(m_grid->cmdClose->x(), client->width() - Twips::toPixels(1080));
    }));
}

// The grid stays hidden after a choice, maybe until the program ends: its settings are saved
// then, as on closing.
void tst_datagrid::choosingAnEntrySavesThePlacement()
{
    using desktop::Twips;
    QVERIFY(show([&] {
        QTableView *view = m_grid->grdDataGrid;
        view->setColumnWidth(0, 333);
        view->setColumnWidth(2, 222);
        m_grid->resize(710, 520);
        QTRY_VERIFY(model().rowCount() > 0);
        const QRect cell = view->visualRect(model().index(0, 0));
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, cell.center());
        QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, cell.center());
    }));
    QSettings stored = test::SearchFixture::storedSettings();
    QCOMPARE(qRound(stored.value(QStringLiteral("DataGrid/Columns0")).toDouble()), qRound(Twips::fromPixels(333)));
    QCOMPARE(qRound(stored.value(QStringLiteral("DataGrid/Columns2")).toDouble()), qRound(Twips::fromPixels(222)));
    QCOMPARE(qRound(stored.value(QStringLiteral("DataGrid/FormWidth")).toDouble()), qRound(Twips::fromPixels(710)));
    QCOMPARE(qRound(stored.value(QStringLiteral("DataGrid/FormHeight")).toDouble()), qRound(Twips::fromPixels(520)));
}

// The grid lists headings in the order the result list narrows them: by folded key and code
// point (丸 before 柿, a private-use character before one beyond the BMP).
void tst_datagrid::headingsSortInTheStoreOrder()
{
    const QStringList added{QStringLiteral("柿"), QStringLiteral("𠮷"), QStringLiteral("丸"), QString(QChar(0xE000)),
                            QStringLiteral("ｶｷ"), QStringLiteral("B"), QStringLiteral("a"), QStringLiteral("かく")};
    QList<test::NewEntry> entries;
    for (const QString &heading : added)
        entries.append({heading, 1, {}, QByteArray("x")});
    m_grid.reset();
    m_fx->open({m_fx->dictionary(QStringLiteral("order.dic"), QStringLiteral("順"), entries)});
    m_grid = std::make_unique<frmDataGrid>(*m_fx->database, m_fx->settings);
    QVERIFY(!show([&] {
        clickHeader(0, Qt::NoModifier);
        QTRY_COMPARE(model().rowCount(), 8);
        QStringList shown;
        for (int r = 0; r < model().rowCount(); ++r)
            shown.append(model().index(r, 0).data().toString());
        QCOMPARE(shown, (QStringList{QStringLiteral("a"), QStringLiteral("B"), QStringLiteral("ｶｷ"), QStringLiteral("かく"),
                                     QStringLiteral("丸"), QStringLiteral("柿"), QString(QChar(0xE000)), QStringLiteral("𠮷")}));
    }));
}

void tst_datagrid::theTypeColumnShowsTypesWhole()
{
    // Even a saved width too narrow for them.
    m_fx->settings.setValue(store::keys::DataGrid::Columns1, 200.0F);
    QVERIFY(!show([&] {
        const QTableView *view = m_grid->grdDataGrid;
        QTRY_COMPARE(model().rowCount(), 4);
        for (int row = 0; row < model().rowCount(); ++row) {
            const QString type = model().index(row, 1).data().toString();
            QVERIFY2(view->fontMetrics().horizontalAdvance(type) < view->columnWidth(1), qPrintable(type));
        }
    }));
}

void tst_datagrid::largeDictionariesAreReadAsTheGridScrolls()
{
    QList<test::NewEntry> entries;
    for (int i = 0; i < 1000; ++i)
        entries.append({QStringLiteral("h%1").arg(i, 4, 10, QLatin1Char('0')), quint8(1 + i % 5), {}});
    const QString big = m_fx->dictionary(QStringLiteral("big.dic"), QStringLiteral("大"), entries);
    m_grid.reset();
    m_fx->open({big});
    m_grid = std::make_unique<frmDataGrid>(*m_fx->database, m_fx->settings);
    QVERIFY(!show([&] {
        // Opening reads one batch; scrolling to the end reads the rest, in order.
        QTRY_COMPARE(model().rowCount(), HeadingGridModel::Batch);
        QTest::qWait(50);
        QCOMPARE(model().rowCount(), HeadingGridModel::Batch);
        QTableView *view = m_grid->grdDataGrid;
        QVERIFY(QTest::qWaitFor([&] {
            view->scrollToBottom();
            return model().rowCount() == 1000;
        }, 10000));
        QCOMPARE(model().documentNumber(999), 1000);
        clickHeader(0, Qt::ControlModifier);
        QTRY_COMPARE(model().rowCount(), HeadingGridModel::Batch);
        QCOMPARE(model().index(0, 0).data().toString(), QStringLiteral("h0999"));
    }));
}

void tst_datagrid::aDictionaryFailingPartWayIsReported()
{
    QList<test::NewEntry> entries;
    for (int i = 0; i < 1000; ++i)
        entries.append({QStringLiteral("h%1").arg(i, 4, 10, QLatin1Char('0')), 1, {}});
    const QString big = m_fx->dictionary(QStringLiteral("big.dic"), QStringLiteral("大"), entries);
    // The entry table's last page, which holds the last entries, overwritten.
    QVERIFY(test::damagePage(big, QStringLiteral("SELECT max(pageno) FROM dbstat WHERE name = 'Document' AND pagetype = 'leaf'")));
    m_grid.reset();
    m_fx->open({big});
    m_grid = std::make_unique<frmDataGrid>(*m_fx->database, m_fx->settings);
    QStringList told;
    m_grid->setMessageHandler([&told](const QString &text) { told << text; });
    QVERIFY(!show([&] {
        QVERIFY(QTest::qWaitFor([&] {
            m_grid->grdDataGrid->scrollToBottom();
            return !told.isEmpty();
        }, 10000));
        QTRY_COMPARE(told.size(), 1);
        QCOMPARE(told.at(0), QStringLiteral("辞書「① 大」の見出しを最後まで読めませんでした。\n"
                                            "ファイルが壊れているか、データベースではありません"));
        // What was read before stays.
        QVERIFY(model().rowCount() >= HeadingGridModel::Batch && model().rowCount() < 1000);
        QCOMPARE(model().index(0, 0).data().toString(), QStringLiteral("h0000"));
    }));

    // When the program offers repairs, the grid closes and the damaged dictionary is offered.
    QList<store::DamagedDictionary> offered;
    m_fx->database->setDamageHandler([&offered](const store::DamagedDictionary &d) { offered.append(d); });
    m_grid = std::make_unique<frmDataGrid>(*m_fx->database, m_fx->settings);
    told.clear();
    m_grid->setMessageHandler([&told](const QString &text) { told << text; });
    QVERIFY(!show([&] {
        QVERIFY(QTest::qWaitFor([&] {
            if (m_grid->isVisible())
                m_grid->grdDataGrid->scrollToBottom();
            return !m_grid->isVisible();
        }, 10000));
    }));
    QCOMPARE(offered.size(), 1);
    QCOMPARE(offered.at(0).path, big);
    QCOMPARE(offered.at(0).slot, 0);
    QVERIFY(told.isEmpty());
    m_fx->database->setDamageHandler({});
}

QTEST_MAIN(tst_datagrid)
#include "tst_datagrid.moc"
