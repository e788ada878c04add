#include "fixture.h"

#include "app/common/storemessages.h"
#include "app/entry/frmmodifydata.h"
#include "app/entry/frmnewdata.h"
#include "app/main/entrywindows.h"
#include "app/main/searchwindows.h"
#include "app/main/maincommands.h"
#include "app/main/mdimain.h"
#include "app/search/frmsearchindexlist.h"

#include <QAction>
#include <QApplication>
#include <QMap>
#include <QTest>
#include <QTimer>

#include <functional>

using namespace qm;

// Every window that keeps its place opens exactly where it was closed. The screen of this test
// starts away from 0,0 and windows have frames (see the test's configuration): a place stored
// by the client area and put back by the frame, or the other way round, moves the window by its
// decoration at every opening.
class tst_placement final : public QObject
{
    Q_OBJECT

private slots:
    void everyWindowOpensWhereItWasClosed();

private:
    // One run of the program: opens, notes and closes each window twice.
    void run();
    void note(const QString &window, const QWidget *w);
    // Notes the modal window of that name once it shows, then closes it.
    void whenShown(const QString &objectName);

    std::unique_ptr<test::ProgramFixture> m_fx;
    std::unique_ptr<app::mdiMain> m_main;
    QMap<QString, QList<QRect>> m_seen; // frame and client rectangle of each opening
};

void tst_placement::note(const QString &window, const QWidget *w)
{
    m_seen[window] << w->frameGeometry() << w->geometry();
}

void tst_placement::whenShown(const QString &objectName)
{
    auto *timer = new QTimer(this);
    timer->setInterval(5);
    connect(timer, &QTimer::timeout, this, [this, timer, objectName] {
        auto *modal = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        if (!modal || modal->objectName() != objectName || !modal->isVisible())
            return;
        timer->deleteLater();
        timer->stop();
        QVERIFY(QTest::qWaitForWindowExposed(modal));
        note(objectName, modal);
        modal->reject();
    });
    timer->start();
}

void tst_placement::run()
{
    store::DatabaseModule database(qm::app::storeHost(m_fx->prompter), m_fx->dir.path());
    store::Settings settings;
    app::mdiMain main(database, settings, m_fx->prompter);
    app::installSearchWindows(main, database, settings, m_fx->prompter);
    app::installEntryWindows(main, database, settings, m_fx->prompter);
    main.show();
    QVERIFY(QTest::qWaitForWindowExposed(&main));
    note(QStringLiteral("mdiMain"), &main);

    for (int showing = 0; showing < 2; ++showing) {
        main.commands()->action(QStringLiteral("mnuEditNew"))->trigger();
        auto *entry = main.findChild<app::frmNewData *>();
        QVERIFY(entry && QTest::qWaitForWindowExposed(entry));
        note(QStringLiteral("frmNewData"), entry);
        QVERIFY(entry->close());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

        QVERIFY(main.windows.modifyEntry(0, 1));
        auto *modify = main.findChild<app::frmModifyData *>();
        QVERIFY(modify && QTest::qWaitForWindowExposed(modify));
        note(QStringLiteral("frmModifyData"), modify);
        modify->close();
        QVERIFY(!modify->isVisible());

        store::Slot slot;
        qint32 number = 0;
        for (const char *name : {"frmDataGrid", "frmSearchDialog"}) {
            whenShown(QString::fromLatin1(name));
            const auto &open = QLatin1String(name) == QLatin1String("frmDataGrid") ? main.windows.headingList
                                                                                   : main.windows.conditionSearch;
            QVERIFY(!open(slot, number));
        }
        whenShown(QStringLiteral("frmSearchIndexList"));
        main.SearchKeyword(QStringLiteral("abc*"));
        QVERIFY(QTest::qWaitFor([&main] { return !main.isLookingUp(); }, 10000));
    }
    QVERIFY(main.close());
}

void tst_placement::everyWindowOpensWhereItWasClosed()
{
    m_fx = std::make_unique<test::ProgramFixture>();
    m_fx->writeSet({m_fx->dictionary(QStringLiteral("a.dic"), QStringLiteral("A"),
                                     {{QStringLiteral("見出し"), 1, {}, {QStringLiteral("abc")}}})});
    for (int i = 0; i < 10 && !QTest::currentTestFailed(); ++i)
        run();
    QCOMPARE(m_seen.size(), 6);
    for (auto it = m_seen.cbegin(); it != m_seen.cend(); ++it) {
        const QList<QRect> &seen = it.value();
        QVERIFY2(seen.size() >= 20, qPrintable(it.key()));
        for (int i = 2; i < seen.size(); ++i)
            QVERIFY2(seen.at(i) == seen.at(i % 2),
                     qPrintable(QStringLiteral("%1, opening %2: %3,%4 %5x%6, first %7,%8")
                                    .arg(it.key())
                                    .arg(i / 2 + 1)
                                    .arg(seen.at(i).x())
                                    .arg(seen.at(i).y())
                                    .arg(seen.at(i).width())
                                    .arg(seen.at(i).height())
                                    .arg(seen.at(i % 2).x())
                                    .arg(seen.at(i % 2).y())));
        // The frame is drawn here: the client area lies inside it.
        QVERIFY2(seen.at(0).top() < seen.at(1).top(), qPrintable(it.key()));
    }
}

QTEST_MAIN(tst_placement)
#include "tst_placement.moc"
