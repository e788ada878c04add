#include "tests/app/main/fixture.h"

#include "app/common/storemessages.h"
#include "app/main/entrywindows.h"
#include "app/cli/lookupcommand.h"
#include "app/main/mdimain.h"
#include "app/main/startcommand.h"
#include "app/search/frmsearchindexlist.h"
#include "app/store/sets/slot.h"
#include "platform/objects/objectimage.h"

#include "tests/common/stocksqlite.h"
#include "tests/common/testfiles.h"

#include <QApplication>
#include <QComboBox>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QProcess>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

using namespace qm;
using qm::test::NewEntry;

namespace {

// The rows of the modal result list as "keyword|heading|dictionary" once the text is typed (or
// pasted) into the keyword box and Return pressed.
QStringList listedRows(app::mdiMain &window, const QString &typed, bool pasted = false)
{
    QStringList rows;
    bool shown = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &poll, [&] {
        auto *list = qobject_cast<app::frmSearchIndexList *>(QApplication::activeModalWidget());
        if (!list)
            return;
        poll.stop();
        shown = true;
        for (int i = 0; i < list->ListIndex->topLevelItemCount(); ++i) {
            const QTreeWidgetItem *item = list->ListIndex->topLevelItem(i);
            rows.append(item->text(0) + QLatin1Char('|') + item->text(1) + QLatin1Char('|') + item->text(2));
        }
        list->reject();
    });
    poll.start(20);
    QLineEdit *box = window.cboKeyWord->lineEdit();
    box->clear();
    if (pasted)
        box->setText(typed);
    for (QChar c : pasted ? QString() : typed)
        QTest::sendKeyEvent(QTest::KeyAction::Click, box, Qt::Key_unknown, c, Qt::NoModifier);
    QTest::keyClick(box, Qt::Key_Return);
    // The lookup runs on the search worker: it is over once its list is closed or its message told.
    if (!QTest::qWaitFor([&window] { return !window.isLookingUp(); }, 10000))
        rows.append(QStringLiteral("(lookup not over)"));
    if (!shown)
        rows.append(QStringLiteral("(no list shown)"));
    return rows;
}

struct Run {
    int status = -1;
    QString out;
    QString err;
};

} // namespace

// `brindlet --lookup` against the keyword box of the main window, on one program folder that
// holds a copy of the program, with no display.
class tst_lookupcommand final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void lookupListsWhatTheKeywordBoxLists_data();
    void lookupListsWhatTheKeywordBoxLists();
    void classesReadAsPastedIntoTheBox_data();
    void classesReadAsPastedIntoTheBox();
    void bodiesAreWrittenAsText();
    void exitStatusAndOptions();
    void lookupWritesNothingIntoTheFolder();
    void commandLinesHandedToTheProgram();
    void aWriteCutShortIsRolledBackFirst();
    void aFailingMemberIsNamedWithItsCause_data();
    void aFailingMemberIsNamedWithItsCause();
    void cleanupTestCase();

private:
    Run lookup(const QStringList &arguments, const QString &folder = {}) const;
    QList<QJsonObject> jsonRows(const QStringList &arguments) const;
    // A copy of the program in `folder` whose one set holds A.dic, with the entry "kept" of
    // this body; the dictionary's path, or nothing when that failed.
    QString oneDictionaryFolder(const QTemporaryDir &folder, const QByteArray &body) const;

    std::unique_ptr<test::ProgramFixture> m_fx;
    std::unique_ptr<store::DatabaseModule> m_db;
    std::unique_ptr<store::Settings> m_settings;
    std::unique_ptr<app::mdiMain> m_window;
};

Run tst_lookupcommand::lookup(const QStringList &arguments, const QString &folder) const
{
    const QString dir = folder.isEmpty() ? m_fx->dir.path() : folder;
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
        env.remove(QString::fromLatin1(name));
    process.setProcessEnvironment(env);
    process.start(dir + QStringLiteral("/brindlet"), arguments);
    Run run;
    if (!process.waitForFinished(60000))
        return run;
    run.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

QList<QJsonObject> tst_lookupcommand::jsonRows(const QStringList &arguments) const
{
    const Run run = lookup(QStringList{QStringLiteral("--lookup")} + arguments + QStringList{QStringLiteral("--json")});
    QList<QJsonObject> rows;
    for (const QString &line : run.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        QJsonParseError error{};
        const QJsonDocument doc = QJsonDocument::fromJson(line.toUtf8(), &error);
        if (error.error != QJsonParseError::NoError || !doc.isObject())
            qWarning("not a JSON object: %s", qPrintable(line));
        rows.append(doc.object());
    }
    return rows;
}

QString tst_lookupcommand::oneDictionaryFolder(const QTemporaryDir &folder, const QByteArray &body) const
{
    if (!qm::test::copyProgram(QStringLiteral(QM_BIN_DIR), folder.path()))
        return {};
    const QString a = folder.filePath(QStringLiteral("A.dic"));
    store::Dictionary::CreateDictionary(a, QStringLiteral("辞書"), {}, {}, {false, false, false});
    store::Entry kept;
    kept.Viewer = 1;
    kept.Heading = QStringLiteral("kept");
    kept.Document = body;
    store::Dictionary(a).addEntry(kept, {QStringLiteral("kept")});
    store::DatabaseModule m(qm::app::storeHost(m_fx->prompter), folder.path());
    m.sets().add(store::DictionarySet(QStringLiteral("一"), {a}));
    m.sets().choose(0);
    return m.SaveDictionarySets() ? a : QString();
}

void tst_lookupcommand::initTestCase()
{
    m_fx = std::make_unique<test::ProgramFixture>();
    QVERIFY(qm::test::copyProgram(QStringLiteral(QM_BIN_DIR), m_fx->dir.path()));
    const QByteArray rtf("{\\rtf1\\ansi\\ansicpg932\\deff0{\\fonttbl{\\f0 Arial;}}\\f0 Red {\\b fruit}\\par second line}");
    const QByteArray object = objects::image::toBytes(objects::embedData(QStringLiteral("report.pdf"),
                                                                         QStringLiteral("application/pdf"), "%PDF"));
    const QString fruit = m_fx->dictionary(
        QStringLiteral("fruit.dic"), QStringLiteral("果物"),
        {{QStringLiteral("Apple"), 1, text::cp932::encode(QStringLiteral("赤い\r\n果物")).bytes,
          {QStringLiteral("apple"), QStringLiteral("リンゴ")}},
         {QStringLiteral("Applet"), 2, rtf, {QStringLiteral("applet")}},
         {QStringLiteral("Ample"), 5, object, {QStringLiteral("ample"), QStringLiteral("[ample]")}}});
    const QString more = m_fx->dictionary(QStringLiteral("more.dic"), QStringLiteral("雑多"),
                                          {{QStringLiteral("App"), 3, QByteArray("https://example.org/"), {QStringLiteral("app")}},
                                           {QStringLiteral("Grape"), 1, {}, {QStringLiteral("grape"), QStringLiteral("ぶどう")}}});
    m_fx->writeSet({fruit, more});
    // A second set, named for --set: only the second dictionary.
    {
        store::DatabaseModule m(qm::app::storeHost(m_fx->prompter), m_fx->dir.path());
        m.LoadDictionarySets();
        m.sets().add(store::DictionarySet(QStringLiteral("別"), {more}));
        QVERIFY(m.SaveDictionarySets());
    }
    m_db = std::make_unique<store::DatabaseModule>(qm::app::storeHost(m_fx->prompter), m_fx->dir.path());
    m_settings = std::make_unique<store::Settings>();
    m_window = std::make_unique<app::mdiMain>(*m_db, *m_settings, m_fx->prompter);
    app::installEntryWindows(*m_window, *m_db, *m_settings, m_fx->prompter);
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
}

void tst_lookupcommand::cleanupTestCase()
{
    m_window.reset();
    m_db.reset();
    m_fx.reset();
}

void tst_lookupcommand::lookupListsWhatTheKeywordBoxLists_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("rows");
    QTest::newRow("exact") << QStringLiteral("applet") << 1;
    QTest::newRow("prefix over two dictionaries") << QStringLiteral("app") << 3;
    QTest::newRow("one character") << QStringLiteral("a?ple") << 3;
    QTest::newRow("any run") << QStringLiteral("*pl") << 4;
    QTest::newRow("width and case folded") << QStringLiteral("ＡＰＰＬＥ") << 2;
    QTest::newRow("kana folded") << QStringLiteral("りんご") << 1;
    QTest::newRow("refused characters left out") << QStringLiteral("am\"ple") << 1;
}

void tst_lookupcommand::lookupListsWhatTheKeywordBoxLists()
{
    QFETCH(QString, typed);
    QFETCH(int, rows);
    const QStringList listed = listedRows(*m_window, typed);
    QStringList printed;
    for (const QJsonObject &row : jsonRows({typed}))
        printed.append(row.value(QStringLiteral("keyword")).toString() + QLatin1Char('|')
                       + row.value(QStringLiteral("heading")).toString() + QLatin1Char('|')
                       + store::dictionaryLabel(row.value(QStringLiteral("slot")).toInt(),
                                                row.value(QStringLiteral("dictionary")).toString(), {}));
    QCOMPARE(printed, listed);
    QCOMPARE(printed.size(), rows);
}

void tst_lookupcommand::classesReadAsPastedIntoTheBox_data()
{
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<int>("rows"); // -1: the pattern cannot be read
    QTest::newRow("unclosed") << QStringLiteral("[") << -1;
    QTest::newRow("unclosed thrice") << QStringLiteral("[[[") << -1;
    QTest::newRow("empty") << QStringLiteral("[]") << -1;
    QTest::newRow("reversed range") << QStringLiteral("[z-a]") << -1;
    QTest::newRow("class") << QStringLiteral("[ag]p") << 3;
    QTest::newRow("negated class") << QStringLiteral("[!a]") << 4;
    QTest::newRow("bracket as text") << QStringLiteral("[[]a") << 1;
}

// The terminal reads a pattern as the keyword box reads one pasted into it: a class lists what
// it matches, and a class the box refuses is bad usage.
void tst_lookupcommand::classesReadAsPastedIntoTheBox()
{
    QFETCH(QString, pattern);
    QFETCH(int, rows);
    m_fx->prompter.clear();
    const qsizetype listed = listedRows(*m_window, pattern, true).size();
    const Run run = lookup({QStringLiteral("--lookup"), pattern, QStringLiteral("--json")});
    const bool refused = rows < 0;
    QCOMPARE(m_fx->prompter.texts().contains(QStringLiteral("クエリーの書式にエラーが発生しました")), refused);
    QCOMPARE(run.status, refused ? 2 : 0);
    QVERIFY2(!refused || run.err.contains(pattern), qPrintable(run.err));
    QCOMPARE(run.out.count(QLatin1Char('\n')), qMax(rows, 0));
    QCOMPARE(listed, refused ? 1 : rows); // refused: "(no list shown)"
}

void tst_lookupcommand::bodiesAreWrittenAsText()
{
    QList<QJsonObject> rows = jsonRows({QStringLiteral("ap")});
    QCOMPARE(rows.size(), 3);
    QCOMPARE(rows.at(0).value(QStringLiteral("body")).toString(), QStringLiteral("赤い\n果物"));
    QCOMPARE(rows.at(0).value(QStringLiteral("type")).toString(), QStringLiteral("text"));
    QCOMPARE(rows.at(1).value(QStringLiteral("body")).toString(), QStringLiteral("Red fruit\nsecond line"));
    QCOMPARE(rows.at(1).value(QStringLiteral("type")).toString(), QStringLiteral("richtext"));
    QCOMPARE(rows.at(2).value(QStringLiteral("body")).toString(), QStringLiteral("https://example.org/"));
    QCOMPARE(rows.at(2).value(QStringLiteral("dictionary")).toString(), QStringLiteral("雑多"));
    rows = jsonRows({QStringLiteral("ample")});
    QCOMPARE(rows.size(), 1);
    QCOMPARE(rows.at(0).value(QStringLiteral("body")).toString(), QStringLiteral("[埋め込みファイル] report.pdf"));

    // The plain form: keyword, heading and dictionary on one line, the body indented under it.
    const Run run = lookup({QStringLiteral("--lookup"), QStringLiteral("りんご")});
    QCOMPARE(run.status, 0);
    QCOMPARE(run.out, QStringLiteral("リンゴ\tApple\t① 果物\n    赤い\n    果物\n\n"));
}

void tst_lookupcommand::exitStatusAndOptions()
{
    const QString lookupOption = QStringLiteral("--lookup");
    const Run none = lookup({lookupOption, QStringLiteral("zzz")});
    QCOMPARE(none.status, 1);
    QVERIFY(none.out.isEmpty());

    QCOMPARE(jsonRows({QStringLiteral("a"), QStringLiteral("--limit"), QStringLiteral("2")}).size(), 2);
    const QList<QJsonObject> other = jsonRows({QStringLiteral("*"), QStringLiteral("--set"), QStringLiteral("別")});
    QCOMPARE(other.size(), 3);
    QCOMPARE(other.at(0).value(QStringLiteral("dictionary")).toString(), QStringLiteral("雑多"));

    const QList<QStringList> badUsage{
        {lookupOption},
        {lookupOption, QStringLiteral("a"), QStringLiteral("--limit"), QStringLiteral("none")},
        {lookupOption, QStringLiteral("a"), QStringLiteral("--limit")},
        {lookupOption, QStringLiteral("a"), QStringLiteral("--colour")},
        {lookupOption, QStringLiteral("a"), QStringLiteral("--set"), QStringLiteral("ない")},
        {QStringLiteral("--search")},
    };
    for (const QStringList &arguments : badUsage) {
        const Run run = lookup(arguments);
        QVERIFY2(run.status == 2, qPrintable(arguments.join(QLatin1Char(' '))));
        QVERIFY2(!run.err.isEmpty() && run.out.isEmpty(), qPrintable(run.err));
    }

    const Run help = lookup({QStringLiteral("--help")});
    QCOMPARE(help.status, 0);
    QVERIFY(help.out.contains(QStringLiteral("--lookup")));
}

void tst_lookupcommand::lookupWritesNothingIntoTheFolder()
{
    // A folder the program never ran in: the lookup finds no set, and makes none.
    QTemporaryDir empty;
    QVERIFY(qm::test::copyProgram(QStringLiteral(QM_BIN_DIR), empty.path()));
    const Run run = lookup({QStringLiteral("--lookup"), QStringLiteral("a")}, empty.path());
    QCOMPARE(run.status, 2);
    QVERIFY(run.err.contains(QStringLiteral("User.dic")));
    QCOMPARE(QDir(empty.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden).size(), 4);
}

void tst_lookupcommand::commandLinesHandedToTheProgram()
{
    // --search looks the word up in the keyword box, as a plain word does.
    QString pattern;
    QTimer poll;
    connect(&poll, &QTimer::timeout, &poll, [&] {
        if (auto *list = qobject_cast<app::frmSearchIndexList *>(QApplication::activeModalWidget())) {
            pattern = list->txtSearchIndex->text();
            list->reject();
        }
    });
    poll.start(20);
    app::runCommandLine(*m_window, *m_db, app::StartRequest::search(QStringLiteral("grape")));
    QTRY_COMPARE(pattern, QStringLiteral("grape*"));
    poll.stop();

    // --new-entry opens the new-entry window.
    app::runCommandLine(*m_window, *m_db, app::StartRequest::newEntry());
    QWidget *form = nullptr;
    QTRY_VERIFY((form = [] {
        for (QWidget *w : QApplication::topLevelWidgets())
            if (w->objectName() == QLatin1String("frmNewData") && w->isVisible())
                return w;
        return static_cast<QWidget *>(nullptr);
    }()));
    form->close();
}

// A program killed in the middle of a write leaves its journal beside the dictionary; the
// terminal commands roll it back as the window does, instead of failing on it.
void tst_lookupcommand::aWriteCutShortIsRolledBackFirst()
{
    QTemporaryDir folder;
    const QString a = oneDictionaryFolder(folder, "kept");
    QVERIFY(!a.isEmpty());
    const QList<QStringList> commands{{QStringLiteral("--lookup"), QStringLiteral("*")},
                                      {QStringLiteral("--export"), a, folder.filePath(QStringLiteral("out.jsonl"))},
                                      {QStringLiteral("--backup")}};
    for (const QStringList &command : commands) {
        QProcess child;
        child.start(QCoreApplication::applicationDirPath() + QStringLiteral("/qm-write-child"),
                    {QStringLiteral("cut"), folder.path()});
        QVERIFY(child.waitForReadyRead(30000)); // it writes a line once the journal is ready
        child.kill();
        QVERIFY(child.waitForFinished());
        QVERIFY(QFileInfo::exists(a + QStringLiteral("-journal")));
        const Run run = lookup(command, folder.path());
        QVERIFY2(run.status == 0, qPrintable(QString::number(run.status) + run.err + run.out));
        QVERIFY(!QFileInfo::exists(a + QStringLiteral("-journal")));
        if (command.first() == QLatin1String("--lookup"))
            QCOMPARE(run.out, QStringLiteral("kept\tkept\t① 辞書\n    kept\n\n"));
    }
}

void tst_lookupcommand::aFailingMemberIsNamedWithItsCause_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("cause");
    QTest::newRow("keyword index damaged") << QStringLiteral("SELECT rootpage FROM sqlite_schema WHERE name = 'Index_Index'")
                                           << QStringLiteral("が壊れているため、キーワードを読めませんでした");
    QTest::newRow("body damaged") << QStringLiteral("SELECT min(pageno) FROM dbstat WHERE name = 'Document' AND pagetype = 'overflow'")
                                  << QStringLiteral("が壊れているため、項目「kept」の本文を読めませんでした");
    // The entries' page read back empty: the keyword and its heading are still found.
    QTest::newRow("entries lost") << QStringLiteral("SELECT rootpage FROM sqlite_schema WHERE name = 'Document'")
                                  << QStringLiteral("が壊れているため、項目「kept」の本文を読めませんでした");
    QTest::newRow("link to itself") << QString() << QStringLiteral("リンクがそれ自身を指している");
}

void tst_lookupcommand::aFailingMemberIsNamedWithItsCause()
{
    QFETCH(QString, fault);
    QFETCH(QString, cause);
    QTemporaryDir folder;
    const QString a = oneDictionaryFolder(folder, QByteArray(20000, 'x'));
    QVERIFY(!a.isEmpty());
    if (fault.isEmpty()) {
        QVERIFY(QFile::remove(a) && QFile::link(a, a));
    } else if (qstrcmp(QTest::currentDataTag(), "entries lost") == 0) {
        // An empty leaf of the entry table.
        const qint64 page = test::stockSqlite(a, fault).toLongLong();
        QFile file(a);
        QVERIFY(file.open(QIODevice::ReadWrite) && file.seek((page - 1) * 4096));
        QCOMPARE(file.write(QByteArray("\x0d\0\0\0\0\x10\0\0", 8) + QByteArray(4088, '\0')), 4096);
    } else {
        QVERIFY(test::damagePage(a, fault));
    }
    const Run run = lookup({QStringLiteral("--lookup"), QStringLiteral("kept")}, folder.path());
    QVERIFY2(run.err.contains(QStringLiteral("辞書 ") + a) && run.err.contains(cause), qPrintable(run.err));
}

QTEST_MAIN(tst_lookupcommand)
#include "tst_lookupcommand.moc"
