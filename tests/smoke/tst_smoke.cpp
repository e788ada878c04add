// The program as a user meets it, on a real X display (an Xvfb the test starts), or as a native
// Wayland client of a headless weston the test starts when QM_SMOKE_DISPLAY is "wayland": a generated
// set of several dictionaries with entries of every type; a keyword typed, then one in Japanese
// through an input method; the results chosen one by one, each opening the viewer of its type;
// a new entry registered and found, then changed and moved to another dictionary; a condition
// search; the heading grid; closing.
//
// Each step leaves a screenshot in the folder named by QM_SCREENSHOT_DIR (none when unset).
// Windows are found by objectName and waited for; nothing sleeps a guessed time.

#include "tests/common/searchrows.h"
#include "westonserver.h"
#include "xvfbserver.h"

#include "tests/app/main/fixture.h"

#include "app/common/storemessages.h"
#include "app/common/japanesetext.h"
#include "app/entry/frmmodifydata.h"
#include "app/entry/frmnewdata.h"
#include "app/main/entrywindows.h"
#include "app/main/searchwindows.h"
#include "app/main/maincommands.h"
#include "app/main/mdimain.h"
#include "app/search/frmdatagrid.h"
#include "app/search/frmsearchdialog.h"
#include "app/search/frmsearchindexlist.h"
#include "app/store/dictionary/bodytext.h"
#include "app/viewers/viewerwindow.h"
#include "bench/store/setgenerator.h"
#include "platform/objects/objectimage.h"
#include "platform/rtf/rtf.h"

#include <QAbstractItemModel>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QStandardPaths>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <cstdio>
#include <functional>

using namespace qm;

namespace {

constexpr int WaitMs = 15000;

// The entries the steps look for, one of each type, spread over the generated dictionaries.
struct KnownEntry {
    int dictionary;
    quint8 viewer;
    QString heading;
    QStringList keywords;
    const char *viewerClass;      // the viewer that shows it
    const char *otherViewerClass; // the same type in the browser mode's other form, or nullptr
};

const QList<KnownEntry> &knownEntries()
{
    static const QList<KnownEntry> entries{
        {0, 1, QStringLiteral("E2E テキスト"), {QStringLiteral("e2e-1text"), QStringLiteral("かきくけこ")},
         "qm::app::mdiTextBox", nullptr},
        {0, 2, QStringLiteral("E2E リッチテキスト"), {QStringLiteral("e2e-2rich")}, "qm::app::mdiRichTextBox", nullptr},
        {1, 3, QStringLiteral("E2E リンク"), {QStringLiteral("e2e-3link")}, "qm::app::mdiURL", "qm::app::mdiURLMDI"},
        {1, 4, QStringLiteral("E2E ページ"), {QStringLiteral("e2e-4page")}, "qm::app::mdiHTML", "qm::app::mdiHTMLMDI"},
        {2, 5, QStringLiteral("E2E 添付"), {QStringLiteral("e2e-5object")}, "qm::app::mdiOLEContainer", nullptr},
    };
    return entries;
}

QByteArray bodyOf(quint8 viewer)
{
    switch (viewer) {
    case 1: return text::cp932::encode(QStringLiteral("本文です。\r\n二行目")).bytes;
    case 2: return QByteArray("{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Arial;}}\\f0\\fs24 E2E \\b rich\\b0  text\\par}");
    case 3: return QByteArray("https://example.invalid/e2e");
    case 4: return text::cp932::encode(QStringLiteral("<html><body><h1>E2E</h1><p>ページ</p></body></html>")).bytes;
    default:
        return objects::image::toBytes(
            objects::embedData(QStringLiteral("memo.txt"), QStringLiteral("text/plain"), QByteArray("memo\n")));
    }
}

void closeModalWindows()
{
    while (auto *modal = qobject_cast<QDialog *>(QApplication::activeModalWidget()))
        modal->reject();
}

// Runs `act` on the modal window named `name` once it is on the display. When it does not come,
// the test fails and every modal window is closed, so nothing waits for ever; so too when `act` fails.
void whenModal(const QString &name, const std::function<void(QWidget *)> &act, int waitedMs = 0)
{
    QTimer::singleShot(waitedMs == 0 ? 0 : 20, qApp, [=] {
        QWidget *modal = QApplication::activeModalWidget();
        if (modal && modal->objectName() == name && modal->isVisible()) {
            if (!QTest::qWaitForWindowExposed(modal))
                QTest::qFail("modal window not exposed", __FILE__, __LINE__);
            act(modal);
            if (QTest::currentTestFailed())
                closeModalWindows();
            return;
        }
        if (waitedMs < WaitMs) {
            whenModal(name, act, waitedMs + 20);
            return;
        }
        QTest::qFail(qPrintable(QStringLiteral("window %1 did not open").arg(name)), __FILE__, __LINE__);
        closeModalWindows();
    });
}

// Chooses the result row whose heading is `heading` as a user does: selects it, presses Return.
void chooseHeading(QWidget *listWindow, const QString &heading)
{
    auto *list = qobject_cast<app::frmSearchIndexList *>(listWindow);
    QVERIFY(list);
    const QList<QTreeWidgetItem *> rows = list->ListIndex->findItems(heading, Qt::MatchExactly, 1);
    if (rows.isEmpty()) {
        list->reject();
        QFAIL(qPrintable(QStringLiteral("no result row with the heading %1").arg(heading)));
    }
    list->ListIndex->setFocus();
    list->ListIndex->setCurrentItem(rows.first());
    QTest::keyClick(list->ListIndex, Qt::Key_Return);
}

// Text typed into `target` as key presses (ASCII) or through an input method (anything else).
void typeText(QWidget *target, const QString &text)
{
    bool latin = true;
    for (QChar c : text)
        latin = latin && c.unicode() < 0x80;
    if (latin) {
        QTest::keyClicks(target, text);
        return;
    }
    // What an input method sends: the reading as preedit while it is being composed, then the
    // converted text committed.
    for (qsizetype n = 1; n <= text.size(); ++n) {
        QInputMethodEvent preedit(text.left(n), {QInputMethodEvent::Attribute(QInputMethodEvent::Cursor, int(n), 1)});
        QApplication::sendEvent(target, &preedit);
    }
    QInputMethodEvent commit;
    commit.setCommitString(text);
    QApplication::sendEvent(target, &commit);
}

// The dictionary slot of the entry a viewer shows.
int slotOf(app::ViewerWindow *viewer)
{
    qint16 slot = -1;
    qint32 number = 0;
    viewer->GetDocument(slot, number);
    return slot;
}

QWidget *visibleTopLevel(const QString &name)
{
    for (QWidget *w : QApplication::topLevelWidgets())
        if (w->objectName() == name && w->isVisible())
            return w;
    return nullptr;
}

} // namespace

class tst_smoke final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void startsOnTheGeneratedSet();
    void keywordsTypedAndChosenOpenEveryViewer();
    void japaneseKeywordThroughAnInputMethod();
    void registersANewEntry();
    void modifiesAndMovesTheEntry();
    void conditionSearch();
    void headingGrid();
    void closesTheProgram();

private:
    void screenshot(const QString &step);
    // Presses a shortcut ("ctrl+f") on the main window as a keyboard does: xdotool's events go
    // through the X server to the window with the X focus, and Qt's own input path takes them.
    void pressShortcut(const char *keys);
    // Looks the keyword up from the keyword box and chooses the row with this heading; returns
    // the viewer that opened.
    app::ViewerWindow *lookUp(const QString &typed, const QString &heading);
    bool viewerShows(app::ViewerWindow *viewer, const KnownEntry &entry) const;

    std::unique_ptr<test::ProgramFixture> m_fx;
    std::unique_ptr<store::DatabaseModule> m_db;
    std::unique_ptr<store::Settings> m_settings;
    std::unique_ptr<app::mdiMain> m_window;
    QString m_shots;
    int m_shotNumber = 0;
    QString m_xdotool;
    // A Wayland client has no way to put keys into the compositor: they go through Qt's own path.
    const bool m_wayland = QGuiApplication::platformName() == QStringLiteral("wayland");
};

void tst_smoke::screenshot(const QString &step)
{
    // A Wayland client cannot read the compositor's screen.
    if (m_shots.isEmpty() || m_wayland)
        return;
    QCoreApplication::processEvents();
    const QPixmap shot = QGuiApplication::primaryScreen()->grabWindow(0);
    const QString file = QStringLiteral("%1/%2-%3.png").arg(m_shots).arg(++m_shotNumber, 2, 10, QLatin1Char('0')).arg(step);
    QVERIFY2(shot.save(file), qPrintable(file));
}

void tst_smoke::pressShortcut(const char *keys)
{
    m_window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
    if (m_wayland) {
        // The headless compositor has no seat, so no window ever has its keyboard focus: the
        // window is made the active one for Qt's shortcuts, as a keyboard's focus would.
        QApplication::setActiveWindow(m_window.get());
        QTest::keySequence(m_window.get(), QKeySequence(QString::fromLatin1(keys)));
        return;
    }
    QVERIFY2(QProcess::execute(m_xdotool, {QStringLiteral("key"), QStringLiteral("--clearmodifiers"), QString::fromLatin1(keys)}) == 0,
             keys);
}

void tst_smoke::initTestCase()
{
    m_xdotool = QStandardPaths::findExecutable(QStringLiteral("xdotool"));
    QVERIFY2(m_wayland || !m_xdotool.isEmpty(), "xdotool is needed to press keys through the X server (tools/bootstrap installs it)");
    m_shots = qEnvironmentVariable("QM_SCREENSHOT_DIR");
    if (!m_shots.isEmpty())
        QVERIFY(QDir().mkpath(m_shots));
    QCOMPARE(QGuiApplication::platformName(), qEnvironmentVariable("QT_QPA_PLATFORM"));

    m_fx = std::make_unique<test::ProgramFixture>();
    bench::GeneratorOptions options;
    options.folder = m_fx->dir.path();
    options.dictionaries = 3;
    options.entries = 150;
    options.keywordsPerEntry = 4;
    options.bodyBytes = 300;
    bench::SetGenerator generator(options);
    generator.run();
    for (const KnownEntry &known : knownEntries()) {
        store::Dictionary dictionary(generator.dictionaryPath(known.dictionary));
        store::Entry entry;
        entry.Viewer = known.viewer;
        entry.Heading = known.heading;
        entry.Document = bodyOf(known.viewer);
        entry.RenewalDate = QDateTime(QDate(2024, 4, 1), QTime(9, 0));
        dictionary.addEntries({{entry, known.keywords}});
    }

    m_db = std::make_unique<store::DatabaseModule>(qm::app::storeHost(m_fx->prompter), m_fx->dir.path());
    m_db->setRichTextReader(&rtf::rtfToPlainText);
    m_settings = std::make_unique<store::Settings>();
    m_window = std::make_unique<app::mdiMain>(*m_db, *m_settings, m_fx->prompter);
    app::installSearchWindows(*m_window, *m_db, *m_settings, m_fx->prompter);
    app::installEntryWindows(*m_window, *m_db, *m_settings, m_fx->prompter);
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    m_window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
}

void tst_smoke::cleanupTestCase()
{
    closeModalWindows();
    m_window.reset();
    m_settings.reset();
    m_db.reset();
    m_fx.reset();
}

void tst_smoke::startsOnTheGeneratedSet()
{
    QCOMPARE(m_db->DictionarySetCount(), 1);
    QCOMPARE(m_db->DictionarySetList()[0].count(), 3);
    QVERIFY(m_window->cboKeyWord->isVisible());
    QVERIFY(m_fx->prompter.texts().isEmpty());
    screenshot(QStringLiteral("started"));
}

app::ViewerWindow *tst_smoke::lookUp(const QString &typed, const QString &heading)
{
    // The viewers open before, watched so that one closed meanwhile is not mistaken for the new one.
    QList<QPointer<app::ViewerWindow>> before;
    for (app::ViewerWindow *v : m_window->viewers())
        before.append(v);
    QComboBox *box = m_window->cboKeyWord;
    box->lineEdit()->clear();
    box->setFocus();
    typeText(box->lineEdit(), typed);
    if (box->lineEdit()->text() != typed) {
        QTest::qFail(qPrintable(QStringLiteral("the keyword box shows %1").arg(box->lineEdit()->text())), __FILE__, __LINE__);
        return nullptr;
    }
    whenModal(QStringLiteral("frmSearchIndexList"), [this, typed, heading](QWidget *list) {
        screenshot(QStringLiteral("results-") + typed);
        chooseHeading(list, heading);
    });
    QTest::keyClick(box->lineEdit(), Qt::Key_Return);
    app::ViewerWindow *viewer = nullptr;
    if (!QTest::qWaitFor([&] { return (viewer = m_window->activeViewer()) && !before.contains(viewer); }, WaitMs))
        return nullptr;
    if (viewer && !QTest::qWaitForWindowExposed(viewer))
        return nullptr;
    return viewer;
}

bool tst_smoke::viewerShows(app::ViewerWindow *viewer, const KnownEntry &entry) const
{
    if (!viewer)
        return false;
    const QLatin1String name(viewer->metaObject()->className());
    return viewer->windowTitle() == entry.heading
           && (name == QLatin1String(entry.viewerClass)
               || (entry.otherViewerClass && name == QLatin1String(entry.otherViewerClass)));
}

void tst_smoke::keywordsTypedAndChosenOpenEveryViewer()
{
    for (const KnownEntry &entry : knownEntries()) {
        // "e2e" alone lists all five; the typed text narrows to one kind.
        const QString typed = entry.keywords.first().left(5);
        app::ViewerWindow *viewer = lookUp(typed, entry.heading);
        QVERIFY2(viewerShows(viewer, entry),
                 qPrintable(entry.heading + QStringLiteral(": ") + (viewer ? QString::fromLatin1(viewer->metaObject()->className()) : QStringLiteral("no viewer"))));
        QCOMPARE(slotOf(viewer), entry.dictionary);
        screenshot(QStringLiteral("viewer-%1").arg(entry.viewer));
    }
    // The link went to the desktop's navigator, not to a browser of ours.
    QVERIFY(m_fx->navigator.opened().contains(QUrl(QStringLiteral("https://example.invalid/e2e"))));
    QVERIFY2(m_fx->prompter.texts().isEmpty(), qPrintable(m_fx->prompter.texts().join(QLatin1Char('|'))));
}

void tst_smoke::japaneseKeywordThroughAnInputMethod()
{
    const KnownEntry &text = knownEntries().first();
    app::ViewerWindow *viewer = lookUp(QStringLiteral("かきく"), text.heading);
    QVERIFY(viewerShows(viewer, text));
    // The box keeps what was looked up, Japanese included.
    QCOMPARE(m_window->cboKeyWord->itemText(0), QStringLiteral("かきく"));
    screenshot(QStringLiteral("japanese-keyword"));
}

void tst_smoke::registersANewEntry()
{
    pressShortcut("ctrl+n");
    QWidget *window = nullptr;
    QTRY_VERIFY_WITH_TIMEOUT((window = visibleTopLevel(QStringLiteral("frmNewData"))) != nullptr, WaitMs);
    auto *form = qobject_cast<app::frmNewData *>(window);
    QVERIFY(form);
    QVERIFY(QTest::qWaitForWindowExposed(form));
    form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(form));

    form->cboDictionary->setCurrentIndex(1);
    form->txtIndex->setFocus();
    for (const QString &keyword : {QStringLiteral("e2e-new"), QStringLiteral("しんきこうもく")}) {
        typeText(form->txtIndex, keyword);
        QTest::keyClick(form->txtIndex, Qt::Key_Return);
    }
    QCOMPARE(form->lstIndex->count(), 2);
    form->txtHeading->setFocus();
    typeText(form->txtHeading, QStringLiteral("新しい項目"));
    // The editor inside the library's control that takes the keys (the window's focus child,
    // whether or not the window system has made the window active yet).
    form->TextBox->setFocus();
    QWidget *editor = form->focusWidget();
    QVERIFY(editor && (editor == form->TextBox || form->TextBox->isAncestorOf(editor)));
    QTest::keyClicks(editor, QStringLiteral("typed body"));
    QCOMPARE(form->TextBox->property("Text").toString(), QStringLiteral("typed body"));
    screenshot(QStringLiteral("new-entry"));

    form->mnuEditRegister->trigger();
    QVERIFY2(m_fx->prompter.texts().isEmpty(), qPrintable(m_fx->prompter.texts().join(QLatin1Char('|'))));
    QCOMPARE(form->lstIndex->count(), 0);
    form->mnuFileClose->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(!visibleTopLevel(QStringLiteral("frmNewData")), WaitMs);

    m_window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
    app::ViewerWindow *viewer = lookUp(QStringLiteral("しんき"), QStringLiteral("新しい項目"));
    QVERIFY(viewer);
    QCOMPARE(viewer->windowTitle(), QStringLiteral("新しい項目"));
    QCOMPARE(slotOf(viewer), 1);
    screenshot(QStringLiteral("new-entry-found"));
}

void tst_smoke::modifiesAndMovesTheEntry()
{
    const QString heading = QStringLiteral("修正した項目");
    // Ctrl+R on the active viewer opens the modification window.
    const auto openModifyWindow = [this]() -> app::frmModifyData * {
        if (!QTest::qWaitFor([&] { return m_window->activeViewer() != nullptr; }, WaitMs))
            return nullptr;
        pressShortcut("ctrl+r");
        QWidget *w = nullptr;
        if (!QTest::qWaitFor([&] { return (w = visibleTopLevel(QStringLiteral("frmModifyData"))) != nullptr; }, WaitMs))
            return nullptr;
        auto *form = qobject_cast<app::frmModifyData *>(w);
        if (form && QTest::qWaitForWindowExposed(form)) {
            form->activateWindow();
            return form;
        }
        return nullptr;
    };

    // Ctrl+R on the viewer of the entry just registered: a new heading and one more keyword.
    QCOMPARE(m_window->activeViewer()->windowTitle(), QStringLiteral("新しい項目"));
    app::frmModifyData *form = openModifyWindow();
    QVERIFY2(form, "Ctrl+R did not open the modification window");
    QCOMPARE(form->txtHeading->text(), QStringLiteral("新しい項目"));
    QCOMPARE(form->lstIndex->count(), 2);
    form->txtHeading->setFocus();
    QTest::keyClick(form->txtHeading, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(form->txtHeading, Qt::Key_Delete);
    typeText(form->txtHeading, heading);
    form->txtIndex->setFocus();
    typeText(form->txtIndex, QStringLiteral("e2e-moved"));
    QTest::keyClick(form->txtIndex, Qt::Key_Return);
    QCOMPARE(form->lstIndex->count(), 3);
    screenshot(QStringLiteral("modify"));
    form->mnuFileRenew->trigger();
    QVERIFY2(m_fx->prompter.texts().isEmpty(), qPrintable(m_fx->prompter.texts().join(QLatin1Char('|'))));
    QTRY_VERIFY_WITH_TIMEOUT(!form->isVisible(), WaitMs);
    QTRY_COMPARE_WITH_TIMEOUT(m_window->activeViewer()->windowTitle(), heading, WaitMs);
    screenshot(QStringLiteral("modified"));

    // Moved to the third dictionary through a new-entry window filled with the entry.
    form = openModifyWindow();
    QVERIFY(form);
    QCOMPARE(form->txtHeading->text(), heading);
    m_fx->prompter.queueAnswer(desktop::Prompter::Answer::Yes);
    form->mnuEditMoveDic->trigger();
    QWidget *w = nullptr;
    QTRY_VERIFY_WITH_TIMEOUT((w = visibleTopLevel(QStringLiteral("frmNewData"))) != nullptr, WaitMs);
    auto *newForm = qobject_cast<app::frmNewData *>(w);
    QVERIFY(newForm);
    QVERIFY(QTest::qWaitForWindowExposed(newForm));
    QCOMPARE(newForm->txtHeading->text(), heading);
    QCOMPARE(newForm->lstIndex->count(), 3);
    newForm->cboDictionary->setCurrentIndex(2);
    screenshot(QStringLiteral("move"));
    m_fx->prompter.clear();
    newForm->mnuEditRegister->trigger();
    QVERIFY2(m_fx->prompter.texts().isEmpty(), qPrintable(m_fx->prompter.texts().join(QLatin1Char('|'))));
    newForm->mnuFileClose->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(!visibleTopLevel(QStringLiteral("frmNewData")), WaitMs);

    // Found once, in the third dictionary only.
    QList<int> dictionaries;
    for (const store::SlotMatch &row : test::findKeyword(*m_db, QStringLiteral("e2e-moved"), 10).rows)
        dictionaries.append(row.slot.index);
    QCOMPARE(dictionaries, QList<int>{2});
    app::ViewerWindow *viewer = lookUp(QStringLiteral("e2e-mo"), heading);
    QVERIFY(viewer);
    QCOMPARE(slotOf(viewer), 2);
    screenshot(QStringLiteral("moved-found"));
}

void tst_smoke::conditionSearch()
{
    const KnownEntry &page = knownEntries().at(3);
    bool searched = false;
    whenModal(QStringLiteral("frmSearchDialog"), [&](QWidget *w) {
        auto *dialog = qobject_cast<app::frmSearchDialog *>(w);
        QVERIFY(dialog);
        dialog->cboObject[0]->setCurrentIndex(int(app::frmSearchDialog::RowObject::Heading));
        dialog->cboCondition[0]->setCurrentIndex(2); // 含む
        dialog->cboSearchText[0]->setFocus();
        typeText(dialog->cboSearchText[0]->lineEdit(), QStringLiteral("ページ"));
        screenshot(QStringLiteral("condition-search"));
        whenModal(QStringLiteral("frmSearchIndexList"), [&](QWidget *list) {
            searched = true;
            screenshot(QStringLiteral("condition-results"));
            chooseHeading(list, page.heading);
        });
        QTest::mouseClick(dialog->cmdFind, Qt::LeftButton);
    });
    const int before = m_window->viewers().size();
    pressShortcut("ctrl+f");
    QTRY_VERIFY_WITH_TIMEOUT(searched, WaitMs);
    QTRY_VERIFY_WITH_TIMEOUT(viewerShows(m_window->activeViewer(), page), WaitMs);
    QVERIFY(m_window->viewers().size() >= std::min(before, app::mdiMain::MaxViewers - 1));
    screenshot(QStringLiteral("condition-viewer"));
}

void tst_smoke::headingGrid()
{
    const KnownEntry &text = knownEntries().first();
    whenModal(QStringLiteral("frmDataGrid"), [&](QWidget *w) {
        auto *grid = qobject_cast<app::frmDataGrid *>(w);
        QVERIFY(grid);
        QTableView *view = grid->grdDataGrid;
        QAbstractItemModel *model = view->model();
        // The first dictionary: the generated entries and two of ours.
        QTRY_VERIFY_WITH_TIMEOUT(model->rowCount() > 0, WaitMs);
        // Each batch comes from the search worker once asked for.
        QVERIFY(QTest::qWaitFor([&] {
            if (model->canFetchMore({}))
                model->fetchMore({});
            return model->rowCount() >= 152;
        }, WaitMs));
        QCOMPARE(model->rowCount(), 152);
        const QModelIndexList found = model->match(model->index(0, 0), Qt::DisplayRole, text.heading, 1, Qt::MatchExactly);
        QCOMPARE(found.size(), 1);
        // The view learns of the fetched rows on its next layout, and scrolls only as far as it
        // knows: scroll until the row shows, then double-click it.
        QVERIFY(QTest::qWaitFor([&] {
            view->scrollTo(found.first());
            return view->viewport()->rect().contains(view->visualRect(found.first()).center());
        }, WaitMs));
        screenshot(QStringLiteral("heading-grid"));
        const QRect cell = view->visualRect(found.first());
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, cell.center());
        QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, cell.center());
    });
    pressShortcut("ctrl+h");
    QTRY_VERIFY_WITH_TIMEOUT(viewerShows(m_window->activeViewer(), text), WaitMs);
    screenshot(QStringLiteral("heading-grid-viewer"));
}

void tst_smoke::closesTheProgram()
{
    QVERIFY(m_window->close());
    QVERIFY(!m_window->isVisible());
    QVERIFY(QApplication::topLevelWidgets().size() >= 1);
    for (QWidget *w : QApplication::topLevelWidgets())
        QVERIFY2(!w->isVisible() || w->windowType() == Qt::Desktop, qPrintable(w->objectName()));
    QVERIFY2(m_fx->prompter.texts().isEmpty(), qPrintable(m_fx->prompter.texts().join(QLatin1Char('|'))));
}

namespace {

// A display of our own: the developer's desktop (or none, in CI) plays no part. False (after
// saying why) when the display server cannot start here.
bool startXvfb(test::XvfbServer &xvfb)
{
    QString error;
    if (!xvfb.start(QStringLiteral("1600x1000x24"), error)) {
        std::printf("SKIP: tst_smoke needs an X server and Xvfb cannot start: %s\n", qPrintable(error));
        return false;
    }
    qputenv("DISPLAY", xvfb.display().toLatin1());
    qputenv("QT_QPA_PLATFORM", "xcb");
    qunsetenv("WAYLAND_DISPLAY");
    return true;
}

bool startWeston(test::WestonServer &weston)
{
    QString error;
    if (!weston.start(1600, 1000, error)) {
        std::printf("SKIP: tst_smoke on Wayland needs weston: %s\n", qPrintable(error));
        return false;
    }
    qputenv("XDG_RUNTIME_DIR", weston.runtimeFolder().toLocal8Bit());
    qputenv("WAYLAND_DISPLAY", weston.socketName().toLatin1());
    qputenv("QT_QPA_PLATFORM", "wayland");
    qunsetenv("DISPLAY");
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    test::XvfbServer xvfb;
    test::WestonServer weston;
    const bool wayland = qEnvironmentVariable("QM_SMOKE_DISPLAY") == QStringLiteral("wayland");
    if (!(wayland ? startWeston(weston) : startXvfb(xvfb)))
        return 77;
    // The headless compositor has no keyboard: Qt's Wayland text-input context, which reads the
    // seat's keyboard, would fail on the test's own key events; the compose context needs none.
    if (wayland)
        qputenv("QT_IM_MODULE", "compose");
    else
        qunsetenv("QT_IM_MODULE");

    app::prepareJapaneseText();
    QApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    app::useJapaneseFonts();
    tst_smoke test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_smoke.moc"
