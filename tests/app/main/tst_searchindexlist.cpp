#include "fixture.h"

#include "app/search/frmsearchindexlist.h"

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
    void choosingAfterNarrowingOpensItsOwnEntry();
    void cancellingAndEmptyLists();
    void settingsRoundTrip();

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
    m_db = std::make_unique<store::DatabaseModule>(m_fx->prompter, m_fx->dir.path());
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
    m_list->ClearList();
    m_list->AddList(0, QStringLiteral("k1"), 1, QStringLiteral("b"), 11);
    m_list->AddList(0, QStringLiteral("k2"), 2, QStringLiteral("a"), 12);
    m_list->AddList(1, QStringLiteral("k3"), 3, QStringLiteral("b"), 21);
    m_list->AddList(1, QStringLiteral("k4"), 4, QString(), 22);
    m_list->AddList(0, QStringLiteral("k5"), 5, QStringLiteral("a"), 13);
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
    qint16 slot = -1;
    qint32 number = 0;
    QVERIFY(m_list->ReturnSelectData(slot, number));
    QCOMPARE(slot, qint16(1));
    QCOMPARE(number, 21);
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
    qint16 slot = 7;
    qint32 number = 7;
    QVERIFY(!m_list->ReturnSelectData(slot, number));
    QCOMPARE(slot, qint16(7));
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

QTEST_MAIN(tst_searchindexlist)
#include "tst_searchindexlist.moc"
