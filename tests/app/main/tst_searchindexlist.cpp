#include "fixture.h"

#include "app/common/storemessages.h"
#include "app/search/frmsearchindexlist.h"
#include "app/store/sets/openset.h"
#include "platform/desktop/twips.h"

#include <QAction>
#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QScopeGuard>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

using namespace qm;
using qm::app::frmSearchIndexList;

class tst_searchindexlist final : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void narrowingKeepsEveryRow();
    void narrowingSortsHeadingsByTheirFoldedKeys();
    void choosingAfterNarrowingOpensItsOwnEntry();
    void aRowKeepsItsSlotWhenNamesLookLikeMarks();
    void dictionaryNamesAreShownWhole();
    void cancellingAndEmptyLists();
    void settingsRoundTrip();
    void comingBackToTheListKeepsTheChosenRow();
    void unloadingAMaximizedListSavesItsNormalSize();
    void aSavedSizeTooSmallStillShowsThreeColumnsAndTwoRows();
    void aChangeElsewhereMarksOnlyRowsOfThatDictionary();

private:
    void fill();
    std::unique_ptr<test::ProgramFixture> m_fx;
    std::unique_ptr<store::DatabaseModule> m_db;
    std::unique_ptr<store::Settings> m_settings;
    std::unique_ptr<frmSearchIndexList> m_list;
};

void tst_searchindexlist::init()
{
    m_fx = std::make_unique<test::ProgramFixture>();
    const QString a = m_fx->dictionary(QStringLiteral("a.dic"), QStringLiteral("一"), {});
    const QString b = m_fx->dictionary(QStringLiteral("b.dic"), QStringLiteral("二"), {});
    m_fx->writeSet({a, b});
    m_db = std::make_unique<store::DatabaseModule>(qm::app::storeHost(m_fx->prompter), m_fx->dir.path());
    m_db->LoadDictionarySets();
    m_db->OpenDictionarySet();
    m_settings = std::make_unique<store::Settings>();
    m_list = std::make_unique<frmSearchIndexList>(*m_db, *m_settings);
}

void tst_searchindexlist::cleanup()
{
    m_list.reset();
    m_settings.reset();
    m_db.reset();
    m_fx.reset();
}

void tst_searchindexlist::fill()
{
    std::vector<store::SlotMatch> found;
    found = {{0, {QStringLiteral("k1"), QStringLiteral("b"), 1, 11}},
                  {0, {QStringLiteral("k2"), QStringLiteral("a"), 2, 12}},
                  {1, {QStringLiteral("k3"), QStringLiteral("b"), 3, 21}},
                  {1, {QStringLiteral("k4"), QString(), 4, 22}},
                  {0, {QStringLiteral("k5"), QStringLiteral("a"), 5, 13}}};
    m_list->showResults(QStringLiteral("k*"), found, {});
}

void tst_searchindexlist::narrowingKeepsEveryRow()
{
    fill();
    QCOMPARE(m_list->ListIndex->topLevelItem(2)->text(2), QStringLiteral("②二"));
    QTest::mouseClick(m_list->cmdSqueeze, Qt::LeftButton);
    QStringList headings, keywords;
    for (int i = 0; i < m_list->ListIndex->topLevelItemCount(); ++i) {
        headings.append(m_list->ListIndex->topLevelItem(i)->text(1));
        keywords.append(m_list->ListIndex->topLevelItem(i)->text(0));
    }
    QCOMPARE(headings, (QStringList{QString(), QStringLiteral("a"), QString(), QStringLiteral("b"), QString()}));
    QCOMPARE(keywords.size(), 5);
    QVERIFY(!m_list->cmdSqueeze->isEnabled());
    m_list->ClearList();
    QVERIFY(m_list->cmdSqueeze->isEnabled());
    QTest::mouseClick(m_list->cmdSqueeze, Qt::LeftButton);
    QVERIFY(!m_list->cmdSqueeze->isEnabled());
}

// Headings come in the order of the store's folded keys compared by code point, the order of
// the lookups and the heading grid: width and case aside, kana by their hiragana, 丸 before 柿
// (a reading order puts 柿 first), and a private-use character before one beyond the BMP
// (UTF-16 order puts it after).
void tst_searchindexlist::narrowingSortsHeadingsByTheirFoldedKeys()
{
    const QStringList added{QStringLiteral("柿"), QStringLiteral("𠮷"), QStringLiteral("丸"), QString(QChar(0xE000)),
                            QStringLiteral("ｶｷ"), QStringLiteral("B"), QStringLiteral("a"), QStringLiteral("かく")};
    std::vector<store::SlotMatch> found;
    for (int i = 0; i < added.size(); ++i)
        found.push_back({0, {QStringLiteral("k%1").arg(i), added[i], 1, i + 1}});
    m_list->showResults(QStringLiteral("k*"), found, {});
    m_list->cmdSqueeze->click();
    QStringList headings;
    for (int i = 0; i < m_list->ListIndex->topLevelItemCount(); ++i)
        headings.append(m_list->ListIndex->topLevelItem(i)->text(1));
    QCOMPARE(headings, (QStringList{QStringLiteral("a"), QStringLiteral("B"), QStringLiteral("ｶｷ"), QStringLiteral("かく"),
                                    QStringLiteral("丸"), QStringLiteral("柿"), QString(QChar(0xE000)), QStringLiteral("𠮷")}));
}

// Another program's change marks the list when rows come from that dictionary, beside a flag
// already shown; a new search clears the mark.
void tst_searchindexlist::aChangeElsewhereMarksOnlyRowsOfThatDictionary()
{
    m_list->show();
    const std::vector<store::SlotMatch> fromFirst{{0, {QStringLiteral("k1"), QStringLiteral("b"), 1, 11}}};
    store::SearchResults limited;
    limited.limitReached = true;
    m_list->showResults(QStringLiteral("k*"), fromFirst, limited);
    m_list->dictionaryChangedElsewhere(1);
    QVERIFY(!m_list->lblChanged->isVisible());
    m_list->dictionaryChangedElsewhere(0);
    QVERIFY(m_list->lblChanged->isVisible() && m_list->lblMaxFlag->isVisible());
    QVERIFY(m_list->lblChanged->x() >= m_list->lblMaxFlag->geometry().right());
    m_list->showResults(QStringLiteral("k*"), fromFirst, {});
    QVERIFY(!m_list->lblChanged->isVisible());
}

void tst_searchindexlist::choosingAfterNarrowingOpensItsOwnEntry()
{
    fill();
    m_list->cmdSqueeze->click();
    // The row of "k3": heading "b" blanked (second "b"), slot 1, number 21.
    QTimer::singleShot(0, m_list.get(), [this] {
        auto closeAnyway = qScopeGuard([this] {
            if (m_list->isVisible())
                m_list->reject();
        });
        QCOMPARE(m_list->lblNumberOfCases->text(), QStringLiteral("1/5件"));
        const auto items = m_list->ListIndex->findItems(QStringLiteral("k3"), Qt::MatchExactly, 0);
        m_list->ListIndex->setCurrentItem(items.at(0));
        const QPoint centre = m_list->ListIndex->visualItemRect(items.at(0)).center();
        QTest::mouseClick(m_list->ListIndex->viewport(), Qt::LeftButton, {}, centre);
        QTest::mouseDClick(m_list->ListIndex->viewport(), Qt::LeftButton, {}, centre);
    });
    store::Slot slot;
    qint32 number = 0;
    QVERIFY(m_list->ReturnSelectData(slot, number));
    QCOMPARE(slot.index, qint16(1));
    QCOMPARE(number, 21);
}

void tst_searchindexlist::dictionaryNamesAreShownWhole()
{
    m_fx->writeSet({m_fx->dictionary(QStringLiteral("long.dic"), QStringLiteral("合成辞書 1 とても長い名前"), {})});
    m_db->LoadDictionarySets();
    m_db->OpenDictionarySet();
    std::vector<store::SlotMatch> found;
    found = {{0, {QStringLiteral("k1"), QStringLiteral("h1"), 1, 11}}};
    m_list->showResults(QStringLiteral("k*"), found, {});
    QTreeWidget *list = m_list->ListIndex;
    QVERIFY(list->columnWidth(2) >= static_cast<QAbstractItemView *>(list)->sizeHintForColumn(2));
}

void tst_searchindexlist::aRowKeepsItsSlotWhenNamesLookLikeMarks()
{
    // Slot 0 is named like slot 1's mark and the other way round.
    const QString a = m_fx->dictionary(QStringLiteral("m1.dic"), QStringLiteral("②x"), {});
    const QString b = m_fx->dictionary(QStringLiteral("m2.dic"), QStringLiteral("①y"), {});
    m_fx->writeSet({a, b});
    m_db->LoadDictionarySets();
    m_db->OpenDictionarySet();
    std::vector<store::SlotMatch> found;
    found = {{0, {QStringLiteral("k1"), QStringLiteral("h1"), 1, 11}}, {1, {QStringLiteral("k2"), QStringLiteral("h2"), 1, 21}}};
    m_list->showResults(QStringLiteral("k*"), found, {});
    QCOMPARE(m_list->ListIndex->topLevelItem(0)->text(2), QStringLiteral("①②x"));
    QCOMPARE(m_list->ListIndex->topLevelItem(1)->text(2), QStringLiteral("②①y"));
    for (int row = 0; row < 2; ++row) {
        QTimer::singleShot(0, m_list.get(), [this, row] {
            m_list->ListIndex->setCurrentItem(m_list->ListIndex->topLevelItem(row));
            QTest::keyClick(m_list->ListIndex, Qt::Key_Return);
        });
        store::Slot slot;
        qint32 number = 0;
        QVERIFY(m_list->ReturnSelectData(slot, number));
        QCOMPARE(slot.index, qint16(row));
        QCOMPARE(number, row == 0 ? 11 : 21);
    }
}

void tst_searchindexlist::cancellingAndEmptyLists()
{
    m_list->ClearList();
    QTimer::singleShot(0, m_list.get(), [this] {
        auto closeAnyway = qScopeGuard([this] {
            if (m_list->isVisible())
                m_list->reject();
        });
        QCOMPARE(m_list->lblNumberOfCases->text(), QStringLiteral("0件"));
        QTest::keyClick(m_list->ListIndex, Qt::Key_Return); // nothing to choose: stays open
        QVERIFY(m_list->isVisible());
        QTest::keyClick(m_list->ListIndex, Qt::Key_Escape);
    });
    store::Slot slot(7);
    qint32 number = 7;
    QVERIFY(!m_list->ReturnSelectData(slot, number));
    QCOMPARE(slot.index, qint16(7));
    QCOMPARE(number, 7);

    // The close box hides the list like Escape and keeps the rows.
    fill();
    QTimer::singleShot(0, m_list.get(), [this] { m_list->close(); });
    QVERIFY(!m_list->ReturnSelectData(slot, number));
    QCOMPARE(m_list->ListIndex->topLevelItemCount(), 5);
}

void tst_searchindexlist::settingsRoundTrip()
{
    QCOMPARE(m_list->lblMaxFlag->text(), QStringLiteral("最大件数1000件を越えています"));
    m_list->ListIndex->setColumnWidth(1, 222);
    m_list->resize(640, 480);
    m_list->Unload();
    frmSearchIndexList again(*m_db, *m_settings);
    QCOMPARE(again.ListIndex->columnWidth(1), 222);
    QCOMPARE(again.size(), QSize(640, 480));
}

// Another window taking the activation and giving it back, as the help browser the list's Help
// menu opens or another program does, leaves the selection where the user put it; a new showing
// starts at the first row again.
void tst_searchindexlist::comingBackToTheListKeepsTheChosenRow()
{
    fill();
    // Stands for the other program: a window of its own that the modal list does not block.
    QWidget elsewhere;
    elsewhere.setWindowModality(Qt::ApplicationModal);
    m_list->setHelpHandler([&](const QString &) {
        elsewhere.show();
        elsewhere.activateWindow();
    });
    QStringList counts;
    QTimer::singleShot(0, m_list.get(), [&] {
        auto closeAnyway = qScopeGuard([this] {
            if (m_list->isVisible())
                m_list->reject();
        });
        QVERIFY(QTest::qWaitForWindowActive(m_list.get()));
        QTest::keyClick(m_list->ListIndex, Qt::Key_Down);
        QTest::keyClick(m_list->ListIndex, Qt::Key_Down);
        counts << m_list->lblNumberOfCases->text();
        m_list->findChild<QAction *>(QStringLiteral("mnuHelp"))->trigger();
        QVERIFY(QTest::qWaitForWindowActive(&elsewhere));
        QCOMPARE(QApplication::activeWindow(), &elsewhere);
        elsewhere.hide();
        m_list->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_list.get()));
        counts << m_list->lblNumberOfCases->text();
        QTest::keyClick(m_list->ListIndex, Qt::Key_Return);
    });
    store::Slot slot;
    qint32 number = 0;
    QVERIFY(m_list->ReturnSelectData(slot, number));
    QCOMPARE(counts, (QStringList{QStringLiteral("3/5件"), QStringLiteral("3/5件")}));
    QCOMPARE(number, 21);

    QTimer::singleShot(0, m_list.get(), [&] {
        counts << m_list->lblNumberOfCases->text();
        m_list->reject();
    });
    QVERIFY(!m_list->ReturnSelectData(slot, number));
    QCOMPARE(counts.last(), QStringLiteral("1/5件"));
}

void tst_searchindexlist::unloadingAMaximizedListSavesItsNormalSize()
{
    m_list->resize(500, 400);
    m_list->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_list.get()));
    m_list->showMaximized();
    QTRY_VERIFY(m_list->width() > 500);
    m_list->hide(); // as at the end of the program: the list is not showing
    m_list->Unload();
    const QSettings stored = test::ProgramFixture::storedSettings();
    QCOMPARE(stored.value(QStringLiteral("SearchIndexList/WindowState")).toString(), QStringLiteral("2"));
    QCOMPARE(stored.value(QStringLiteral("SearchIndexList/FormWidth")).toFloat(), float(desktop::Twips::fromPixels(500)));
    QCOMPARE(stored.value(QStringLiteral("SearchIndexList/FormHeight")).toFloat(), float(desktop::Twips::fromPixels(400)));
}

void tst_searchindexlist::aSavedSizeTooSmallStillShowsThreeColumnsAndTwoRows()
{
    m_list.reset();
    m_settings->setValue(store::keys::SearchIndexList::FormWidth, 15.0f);
    m_settings->setValue(store::keys::SearchIndexList::FormHeight, 15.0f);
    m_list = std::make_unique<frmSearchIndexList>(*m_db, *m_settings);
    fill();
    QTreeWidget *rows = m_list->ListIndex;
    rows->header()->resizeSections(QHeaderView::ResizeToContents);
    for (int column = 0; column < 3; ++column)
        rows->header()->resizeSection(column, rows->header()->sectionSizeHint(column));
    m_list->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_list.get()));
    // What of the list lies inside the window.
    const QRect view = QRect(rows->viewport()->mapTo(m_list.get(), QPoint()), rows->viewport()->size()).intersected(m_list->rect());
    QVERIFY2(rows->header()->length() <= view.width(), qPrintable(QStringLiteral("%1 > %2").arg(rows->header()->length()).arg(view.width())));
    for (int row = 0; row < 2; ++row)
        QVERIFY2(view.contains(rows->visualItemRect(rows->topLevelItem(row)).translated(view.topLeft())), qPrintable(QString::number(row)));
    m_list->hide();
}

QTEST_MAIN(tst_searchindexlist)
#include "tst_searchindexlist.moc"
