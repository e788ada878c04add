// Every interactive control of every window has a name a screen reader can say, and the
// windows can be worked from the keyboard alone.

#include "fixture.h"
#include "tests/controls/webenginetestmain.h"

#include "app/common/storemessages.h"
#include "app/admin/frmabout.h"
#include "app/admin/frmdictionaryproperty.h"
#include "app/admin/frmdictionarysets.h"
#include "app/admin/frmdictionarysetslist.h"
#include "app/admin/frmmakenewdictionary.h"
#include "app/admin/frmoption.h"
#include "app/admin/frmsetupdictionary.h"
#include "app/entry/frmmodifydata.h"
#include "app/entry/frmnewdata.h"
#include "app/main/adminwindows.h"
#include "app/main/entrywindows.h"
#include "app/main/searchwindows.h"
#include "app/main/maincommands.h"
#include "app/main/mdimain.h"
#include "app/search/frmdatagrid.h"
#include "app/search/frmsearchdialog.h"
#include "app/search/frmsearchindexlist.h"
#include "app/viewers/viewerwindow.h"
#include "controls/dialogs/frmattributechangedialog.h"
#include "controls/dialogs/frmfinddialog.h"
#include "platform/objects/filechooser.h"
#include "platform/objects/insertobjectdialog.h"
#include "platform/objects/pastespecialdialog.h"
#include "platform/desktop/accessiblename.h"
#include "platform/rtf/rtf.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QMainWindow>
#include <QMap>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QSet>
#include <QTest>
#include <QTimer>
#include <QToolButton>

using namespace qm;
using app::mdiMain;

namespace {

using Check = std::function<void(QWidget *)>;

// Runs `check` on the next modal window once it is up, then closes it.
// Looks for the modal window for up to four seconds (a lookup shows its list once the search
// worker is done).
void onModal(Check check, bool *seen, int tries = 400)
{
    QTimer::singleShot(tries < 400 ? 10 : 0, qApp, [check, seen, tries] {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal) {
            if (tries > 0)
                onModal(check, seen, tries - 1);
            return;
        }
        *seen = true;
        check(modal);
        if (modal == QApplication::activeModalWidget() && modal->isVisible())
            modal->close();
    });
}

bool isControl(QAccessible::Role role)
{
    switch (role) {
    case QAccessible::PushButton:
    case QAccessible::CheckBox:
    case QAccessible::RadioButton:
    case QAccessible::ComboBox:
    case QAccessible::List:
    case QAccessible::Table:
    case QAccessible::Tree:
    case QAccessible::EditableText:
    case QAccessible::SpinBox:
    case QAccessible::ButtonMenu:
    case QAccessible::ButtonDropDown:
        return true;
    default:
        return false;
    }
}

QString describe(QObject *object)
{
    if (!object)
        return QStringLiteral("?");
    if (!object->objectName().isEmpty())
        return object->objectName();
    const QObject *parent = object->parent();
    return QStringLiteral("%1 in %2").arg(QString::fromLatin1(object->metaObject()->className()),
                                         parent ? parent->objectName() : QString());
}

// The controls under `node` that a screen reader would announce without a name. The rows of
// lists and the content of web pages are not the program's controls.
void collectUnnamed(QAccessibleInterface *node, QStringList &out, int depth = 0)
{
    if (!node || depth > 40 || node->state().invisible)
        return;
    QObject *object = node->object();
    if (object && object->inherits("QWebEngineView"))
        return;
    const QAccessible::Role role = node->role();
    if (isControl(role) && node->text(QAccessible::Name).trimmed().isEmpty())
        out.append(describe(object));
    if (role == QAccessible::List || role == QAccessible::Table || role == QAccessible::Tree)
        return;
    for (int i = 0; i < node->childCount(); ++i)
        collectUnnamed(node->child(i), out, depth + 1);
}

// The letter after the single "&" of a caption, or a null character.
QChar accessKey(const QString &caption)
{
    for (qsizetype i = 0; i + 1 < caption.size(); ++i) {
        if (caption.at(i) != QLatin1Char('&'))
            continue;
        if (caption.at(i + 1) != QLatin1Char('&'))
            return caption.at(i + 1).toUpper();
        ++i;
    }
    return {};
}

// The menus of the bar and their items, where two share an access key or, with everyKey, an item
// has neither an access key nor a shortcut of its own.
QStringList menuKeyFaults(QMenuBar *bar, bool everyKey)
{
    QStringList faults;
    QSet<QChar> menuKeys;
    for (QAction *top : bar->actions()) {
        const QChar key = accessKey(top->text());
        if (key.isNull() || menuKeys.contains(key))
            faults.append(top->text());
        menuKeys.insert(key);
        QSet<QChar> itemKeys;
        for (QAction *item : top->menu() ? top->menu()->actions() : QList<QAction *>()) {
            const QChar itemKey = accessKey(item->text());
            const bool unreachable = everyKey && itemKey.isNull() && item->shortcut().isEmpty() && !item->isSeparator();
            if (unreachable || (!itemKey.isNull() && itemKeys.contains(itemKey)))
                faults.append(top->text() + QStringLiteral(" / ") + item->text());
            itemKeys.insert(itemKey);
        }
    }
    return faults;
}

bool inWebPage(const QWidget *w);
bool inOtherChildWindow(const QWidget *w);

// The controls of the window itself, as a user sees them.
template<typename T>
QList<T *> shownControls(QWidget *window)
{
    QList<T *> shown;
    for (T *w : window->findChildren<T *>())
        if (w->window() == window && w->isVisibleTo(window) && !inWebPage(w) && !inOtherChildWindow(w))
            shown.append(w);
    return shown;
}

// Controls a screen reader names wrongly: a labelled control by anything but one of its labels'
// captions (with or without the letter of the access key; a name may add to the caption), a
// drop-down list by the item it shows.
QStringList misnamed(QWidget *window)
{
    QHash<QWidget *, QStringList> captions;
    for (QLabel *label : shownControls<QLabel>(window))
        if (label->buddy())
            captions[label->buddy()] << desktop::withoutAccessKey(label->text())
                                     << QString(label->text()).remove(QLatin1Char('&'));
    QStringList faults;
    for (auto it = captions.cbegin(); it != captions.cend(); ++it) {
        const QString name = QAccessible::queryAccessibleInterface(it.key())->text(QAccessible::Name);
        const auto matches = [&name](const QString &caption) { return name.startsWith(caption); };
        if (std::none_of(it.value().cbegin(), it.value().cend(), matches))
            faults.append(QStringLiteral("%1 reads \"%2\", its label \"%3\"").arg(describe(it.key()), name, it.value().first()));
    }
    for (QComboBox *combo : shownControls<QComboBox>(window)) {
        QAccessibleInterface *node = QAccessible::queryAccessibleInterface(combo);
        if (!combo->currentText().isEmpty() && node->text(QAccessible::Name) == node->text(QAccessible::Value))
            faults.append(QStringLiteral("%1 is named by its value \"%2\"").arg(describe(combo), combo->currentText()));
    }
    return faults;
}

// The captions of the window that lead to a control by Alt and a letter, where two share a letter
// or a labelled control or a button has none. A button that is the default or closes the window
// is reached by Enter or Escape, and a row of like boxes sharing a caption by Tab from its fields.
QStringList accessKeyFaults(QWidget *window)
{
    QStringList captions;
    QStringList missing;
    for (QLabel *label : shownControls<QLabel>(window))
        if (label->buddy() && (label->buddy()->focusPolicy() & Qt::TabFocus))
            captions.append(label->text());
    const QStringList closing{QStringLiteral("キャンセル"), QStringLiteral("ｷｬﾝｾﾙ"), QStringLiteral("閉じる")};
    for (QAbstractButton *button : shownControls<QAbstractButton>(window)) {
        auto *push = qobject_cast<QPushButton *>(button);
        const bool byEnterOrEscape = push && (push->isDefault() || closing.contains(button->text()));
        if (!qobject_cast<QToolButton *>(button) && !button->text().isEmpty() && !byEnterOrEscape)
            captions.append(button->text());
    }
    if (auto *main = qobject_cast<QMainWindow *>(window); main && main->menuWidget())
        for (QAction *top : main->menuBar()->actions())
            captions.append(top->text());
    QStringList faults;
    QHash<QChar, QString> byKey;
    for (const QString &caption : captions) {
        const QChar key = accessKey(caption);
        if (key.isNull()) {
            if (captions.count(caption) == 1)
                faults.append(caption + QStringLiteral(" has no access key"));
        } else if (byKey.contains(key))
            faults.append(caption + QStringLiteral(" shares its key with ") + byKey.value(key));
        byKey.insert(key, caption);
    }
    return faults;
}

// Inside a child window that is not the active one (Ctrl+Tab and the Window menu reach those),
// or the frame of a child window.
bool inOtherChildWindow(const QWidget *w)
{
    if (qobject_cast<const QMdiSubWindow *>(w))
        return true;
    for (const QWidget *p = w->parentWidget(); p; p = p->parentWidget())
        if (const auto *sub = qobject_cast<const QMdiSubWindow *>(p))
            return sub->mdiArea() && sub->mdiArea()->activeSubWindow() != sub;
    return false;
}

bool inWebPage(const QWidget *w)
{
    for (const QObject *o = w; o; o = o->parent())
        if (o->inherits("QWebEngineView"))
            return true;
    return false;
}

// A group of radio buttons is one tab stop: Tab enters it, the arrow keys move within it.
QWidget *tabStopOf(QWidget *w)
{
    auto *radio = qobject_cast<QRadioButton *>(w);
    return radio && radio->autoExclusive() ? radio->parentWidget() : w;
}

// The controls of the window a user can reach with Tab.
QList<QWidget *> tabStops(QWidget *window)
{
    QList<QWidget *> stops;
    for (QWidget *w : window->findChildren<QWidget *>()) {
        if (w->window() == window && w->isVisibleTo(window) && w->isEnabled() && !w->focusProxy()
            && (w->focusPolicy() & Qt::TabFocus) && !inWebPage(w) && !inOtherChildWindow(w))
            stops.append(w);
    }
    return stops;
}

// Presses Tab (Ctrl+Tab where a text editor keeps Tab) round the window from the control that
// has the focus; returns the tab stops never reached, or the control that kept the focus.
QStringList unreachedByTab(QWidget *window)
{
    const QList<QWidget *> stops = tabStops(window);
    QSet<QWidget *> reached;
    if (stops.size() < 2)
        return {};
    if (!stops.contains(QApplication::focusWidget()))
        stops.first()->setFocus(Qt::TabFocusReason);
    for (int press = 0; press < 2 * stops.size() + 4; ++press) {
        QWidget *focus = QApplication::focusWidget();
        if (!focus || focus->window() != window)
            return {QStringLiteral("focus left the window for ") + (focus ? describe(focus) + QStringLiteral(" of ") + focus->window()->objectName() : QStringLiteral("none")) + QString::number(press)};
        reached.insert(tabStopOf(focus));
        QTest::keyClick(focus, Qt::Key_Tab);
        if (QApplication::focusWidget() == focus)
            QTest::keyClick(focus, Qt::Key_Tab, Qt::ControlModifier);
        if (QApplication::focusWidget() == focus)
            return {QStringLiteral("Tab stays in ") + describe(focus)};
    }
    QStringList unreached;
    for (QWidget *w : stops)
        if (!reached.contains(tabStopOf(w)))
            unreached.append(describe(w));
    return unreached;
}

} // namespace

class tst_accessibility final : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void everyWindow_data();
    void everyWindow();
    void f6LeadsBetweenTheKeywordBoxAndTheViewer();
    void setEditorsAndDictionaryDialogs();
    void menusHaveDistinctAccessKeys();

private:
    // How the walk reaches a window: `show` returns a window it has shown (null when it could
    // not); `open` starts a modal one, checked once it is up.
    struct Stop {
        std::function<QWidget *(tst_accessibility &)> show;
        std::function<void(tst_accessibility &)> open;
    };
    static const QMap<QString, Stop> &walk();

    void verifyWindow(QWidget *window, const QString &label = {});
    void verifyModal(const std::function<void()> &open, const QString &label, const Check &more = {});
    QAction *item(const char *name) { return m_window->commands()->action(QString::fromLatin1(name)); }
    app::frmNewData *newEntryWindow();
    // A window of its own the walk shows, kept until the test ends.
    QWidget *own(std::unique_ptr<QWidget> window);

    std::unique_ptr<test::ProgramFixture> m_fx;
    std::unique_ptr<store::DatabaseModule> m_db;
    std::unique_ptr<store::Settings> m_settings;
    std::unique_ptr<mdiMain> m_window;
    std::unique_ptr<QWidget> m_own;
    objects::ScriptedFileChooser m_chooser;
    QStringList m_unnamed;
    QStringList m_unreached;
    QStringList m_misnamed;
    QStringList m_keyFaults;
};

// An entry window as the user meets it after choosing the type: the body's editor has the focus.
// (The rich-text editor's font boxes are reached from it by Shift+Tab, not by Tab.)
QWidget *withBodyFocused(app::EntryEditorWindow &form)
{
    if (const std::optional<store::Viewer> viewer = form.selectedViewer())
        form.bodyEditor(*viewer)->setFocus();
    return &form;
}

const QMap<QString, tst_accessibility::Stop> &tst_accessibility::walk()
{
    static const QMap<QString, Stop> stops = [] {
        QMap<QString, Stop> s;
        s.insert(QStringLiteral("mdiMain"), {[](tst_accessibility &t) -> QWidget * { return t.m_window.get(); }, {}});
        for (int number = 1; number <= 4; ++number) {
            s.insert(QStringLiteral("viewer %1").arg(number), {[number](tst_accessibility &t) -> QWidget * {
                         t.m_window->ShowDocument(0, number);
                         return t.m_window->activeViewer();
                     }, {}});
            s.insert(QStringLiteral("frmModifyData %1").arg(number), {[number](tst_accessibility &t) -> QWidget * {
                         t.m_window->ShowDocument(0, number);
                         if (!t.m_window->windows.modifyEntry(0, number))
                             return nullptr;
                         return withBodyFocused(*t.m_window->findChild<app::frmModifyData *>());
                     }, {}});
        }
        for (int row = 0; row < 5; ++row)
            s.insert(QStringLiteral("frmNewData %1").arg(row), {[row](tst_accessibility &t) -> QWidget * {
                         app::frmNewData *form = t.newEntryWindow();
                         if (!form || row >= form->cboViewer->count())
                             return nullptr;
                         form->cboViewer->setCurrentIndex(row);
                         return withBodyFocused(*form);
                     }, {}});
        s.insert(QStringLiteral("frmSearchIndexList"), {{}, [](tst_accessibility &t) { t.m_window->lookUpKeyword(QStringLiteral("b")); }});
        for (const char *name : {"mnuFindSearchFind", "mnuFindHeadingList", "mnuToolOption", "mnuHelpAbout",
                                 "mnuToolSetupDictionary", "mnuFileDicSets"})
            s.insert(QString::fromLatin1(name), {{}, [name](tst_accessibility &t) { t.item(name)->trigger(); }});
        // The rich-text editor's own dialogs.
        for (const char *button : {"btnFind", "btnReplace", "btnAttribute"})
            s.insert(QString::fromLatin1(button), {[button](tst_accessibility &t) -> QWidget * {
                         app::frmNewData *form = t.newEntryWindow();
                         form->cboViewer->setCurrentIndex(1);
                         auto *action = form->RTFBox->findChild<QAction *>(QString::fromLatin1(button));
                         if (!action)
                             return nullptr;
                         action->trigger();
                         return qstrcmp(button, "btnAttribute") == 0 ? static_cast<QWidget *>(corvane::frmAttributeChangeDialog::loaded())
                                                                    : static_cast<QWidget *>(corvane::frmFindDialog::loaded());
                     }, {}});
        s.insert(QStringLiteral("frmMakeNewDictionary"), {[](tst_accessibility &t) {
                     return t.own(std::make_unique<app::frmMakeNewDictionary>(t.m_fx->prompter, app::HelpHandler{}, t.m_window.get()));
                 }, {}});
        s.insert(QStringLiteral("InsertObjectDialog"), {[](tst_accessibility &t) {
                     return t.own(std::make_unique<objects::InsertObjectDialog>(t.m_chooser));
                 }, {}});
        s.insert(QStringLiteral("PasteSpecialDialog"), {[](tst_accessibility &t) {
                     return t.own(std::make_unique<objects::PasteSpecialDialog>(QList<objects::PasteFormat>{
                         {objects::PasteFormat::Source::Text, QStringLiteral("テキスト"), QStringLiteral("text/plain"), true}}));
                 }, {}});
        return s;
    }();
    return stops;
}

void tst_accessibility::init()
{
    m_fx = std::make_unique<test::ProgramFixture>();
    const QString rtf = rtf::plainTextToRtf(QStringLiteral("リッチな本文"), QFont());
    m_fx->writeSet({m_fx->dictionary(QStringLiteral("a.dic"), QStringLiteral("A"),
                                     {{QStringLiteral("text"), 1, {}, {QStringLiteral("a1")}},
                                      {QStringLiteral("rich"), 2, rtf.toLatin1(), {QStringLiteral("a2")}},
                                      {QStringLiteral("url"), 3, "https://example.org/", {QStringLiteral("a3")}},
                                      {QStringLiteral("html"), 4, "<p>page</p>", {QStringLiteral("a4")}},
                                      {QStringLiteral("same"), 1, {}, {QStringLiteral("b")}},
                                      {QStringLiteral("same2"), 1, {}, {QStringLiteral("b")}}})});
    m_db = std::make_unique<store::DatabaseModule>(qm::app::storeHost(m_fx->prompter), m_fx->dir.path());
    m_settings = std::make_unique<store::Settings>();
    m_window = std::make_unique<mdiMain>(*m_db, *m_settings, m_fx->prompter);
    app::installAdminWindows(*m_window, *m_db, *m_settings, m_fx->prompter);
    app::installSearchWindows(*m_window, *m_db, *m_settings, m_fx->prompter);
    app::installEntryWindows(*m_window, *m_db, *m_settings, m_fx->prompter);
    m_window->show();
    QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
    m_unnamed.clear();
    m_unreached.clear();
    m_misnamed.clear();
    m_keyFaults.clear();
}

void tst_accessibility::cleanup()
{
    m_own.reset();
    for (QWidget *w : QApplication::topLevelWidgets())
        if (w != m_window.get() && w->isVisible())
            w->close();
    if (m_window)
        m_window->close();
    m_window.reset();
    m_settings.reset();
    m_db.reset();
    m_fx.reset();
    QVERIFY2(m_unnamed.isEmpty(), qPrintable(QStringLiteral("controls without a name:\n  ") + m_unnamed.join(QStringLiteral("\n  "))));
    QVERIFY2(m_unreached.isEmpty(), qPrintable(QStringLiteral("controls Tab does not reach:\n  ") + m_unreached.join(QStringLiteral("\n  "))));
    QVERIFY2(m_misnamed.isEmpty(), qPrintable(QStringLiteral("controls named wrongly:\n  ") + m_misnamed.join(QStringLiteral("\n  "))));
    QVERIFY2(m_keyFaults.isEmpty(), qPrintable(QStringLiteral("access keys:\n  ") + m_keyFaults.join(QStringLiteral("\n  "))));
}

app::frmNewData *tst_accessibility::newEntryWindow()
{
    item("mnuEditNew")->trigger();
    return m_window->findChild<app::frmNewData *>();
}

QWidget *tst_accessibility::own(std::unique_ptr<QWidget> window)
{
    m_own = std::move(window);
    m_own->show();
    return m_own.get();
}

// Records each unnamed control of the window and, for a window, each control Tab does not reach
// from its first one, under the window's objectName; the test fails in cleanup with the whole
// list, so one run shows every fault of the window.
void tst_accessibility::verifyWindow(QWidget *window, const QString &label)
{
    QStringList unnamed;
    collectUnnamed(QAccessible::queryAccessibleInterface(window), unnamed);
    const QString title = label.isEmpty() ? window->objectName() : label;
    for (const QString &control : unnamed)
        m_unnamed.append(title + QStringLiteral(": ") + control);
    for (const QString &fault : misnamed(window))
        m_misnamed.append(title + QStringLiteral(": ") + fault);
    for (const QString &fault : accessKeyFaults(window))
        m_keyFaults.append(title + QStringLiteral(": ") + fault);
    if (window->isWindow()) {
        const QPointer<QWidget> alive(window);
        QApplication::setActiveWindow(window);
        const bool active = QTest::qWaitForWindowActive(window);
        QVERIFY2(alive, qPrintable(title + QStringLiteral(" went away when activated")));
        if (!active)
            m_unreached.append(title + QStringLiteral(": the window does not take the focus"));
        for (const QString &control : unreachedByTab(window))
            m_unreached.append(title + QStringLiteral(": ") + control);
    }
}

void tst_accessibility::verifyModal(const std::function<void()> &open, const QString &label, const Check &more)
{
    bool seen = false;
    onModal([this, label, more](QWidget *modal) {
        verifyWindow(modal, label);
        if (more)
            more(modal);
    }, &seen);
    open();
    // A lookup shows its list once the search worker is done.
    QTRY_VERIFY2(seen, qPrintable(label));
}

void tst_accessibility::everyWindow_data()
{
    QTest::addColumn<QString>("window");
    for (const QString &name : walk().keys())
        QTest::newRow(qPrintable(name)) << name;
}

// Every window a user meets, shown as the user reaches it.
void tst_accessibility::everyWindow()
{
    QFETCH(QString, window);
    const Stop &stop = walk()[window];
    if (stop.open) {
        verifyModal([this, &stop] { stop.open(*this); }, window);
        return;
    }
    QWidget *shown = stop.show(*this);
    QVERIFY2(shown && shown->isVisible(), qPrintable(window));
    verifyWindow(shown, window);
}

// An opened entry has the focus and Tab stays inside it; F6 leads out of it to the keyword box
// and back.
void tst_accessibility::f6LeadsBetweenTheKeywordBoxAndTheViewer()
{
    for (int number = 1; number <= 4; ++number)
        m_window->ShowDocument(0, number);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_F6);
    verifyWindow(m_window.get(), QStringLiteral("mdiMain with viewers"));
    QWidget *viewer = m_window->activeViewer();
    m_window->mdiArea()->activeSubWindow()->setFocus();
    QTRY_VERIFY(viewer->isAncestorOf(QApplication::focusWidget()));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_F6);
    QTRY_VERIFY(QApplication::focusWidget() == m_window->cboKeyWord || m_window->cboKeyWord->isAncestorOf(QApplication::focusWidget()));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_F6);
    QTRY_VERIFY(viewer->isAncestorOf(QApplication::focusWidget()));
}

void tst_accessibility::setEditorsAndDictionaryDialogs()
{
    // The set list opens the set editor, and the set editor the properties of a dictionary.
    verifyModal([this] { item("mnuFileDicSets")->trigger(); }, QStringLiteral("frmDictionarySetsList"),
                [this](QWidget *list) {
        verifyModal([list] { static_cast<app::frmDictionarySetsList *>(list)->cmdEdit->click(); },
                    QStringLiteral("frmDictionarySets"), [this](QWidget *editor) {
            auto *sets = static_cast<app::frmDictionarySets *>(editor);
            sets->lstDicName->setCurrentRow(0);
            verifyModal([sets] { sets->findChild<QPushButton *>(QStringLiteral("cmdProperty"))->click(); },
                        QStringLiteral("frmDictionaryProperty"));
        });
    });
}

void tst_accessibility::menusHaveDistinctAccessKeys()
{
    QCOMPARE(menuKeyFaults(m_window->menuBar(), true), QStringList());
    app::frmNewData *form = newEntryWindow();
    QVERIFY(form);
    // The new-entry window's keyword items keep their captions without keys.
    QCOMPARE(menuKeyFaults(form->menuBar(), false), QStringList());
}

CORVANE_WEBENGINE_TEST_MAIN(tst_accessibility)
#include "tst_accessibility.moc"
