#include "app/common/storemessages.h"
#include "app/store/sets/databasemodule.h"
#include "app/store/sets/dictionaryset.h"
#include "app/store/sets/distribution.h"

#include "platform/desktop/scriptedprompter.h"
#include "platform/sqlite/statement.h"
#include "platform/text/textfile.h"
#include "tests/common/searchrows.h"
#include "tests/common/stocksqlite.h"
#include "tests/common/testfiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <sqlite3.h>

#include <atomic>
#include <memory>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

using namespace qm::store;
using qm::desktop::ScriptedPrompter;

namespace {

using qm::test::readFile;

void writeBytes(const QString &path, const QByteArray &bytes)
{
    QVERIFY(qm::test::writeFile(path, bytes));
}

} // namespace

class tst_databasemodule final : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void firstStartWritesDefaults();
    void laterStartsKeepTheSets();
    void readOnlyUseWritesNothing();
    void savedMinusOneKeepsTheSets();
    void setFileIsReplacedAtomically();
    void pathsOutsideCp932SurviveSaving();
    void openSkipsMissingFolders();
    void openFailureIsReportedOnce();
    void unusableSetFilesAreKept();
    void setFileEncodingIsNeverGuessed();
    void closeStoresTrueCounts();
    void addDictionaryToSet();
    void searchAcrossSlotsRespectsTheLimit();
    void reopeningTheSameFilesKeepsTheGeneration();
    void aDamagedDictionaryDoesNotHideTheOthers();
    void theProgramLetsGoOfAFileItReplaces();
    void theSearchWorkerFollowsTheOpenSet();
    void aCancelledSearchKeepsTheRowsFoundSoFar_data();
    void aCancelledSearchKeepsTheRowsFoundSoFar();

private:
    QString createDictionary(const QString &name, const QStringList &keywords = {});
    // `count` plain-text entries "key<n>" whose bodies hold "本文<n>".
    QString createLargeDictionary(const QString &name, int count);
    void useSet(const QStringList &files);

    QTemporaryDir m_dir;
    ScriptedPrompter m_prompter;
    std::unique_ptr<DatabaseModule> m_db;
};

void tst_databasemodule::init()
{
    m_dir.~QTemporaryDir();
    new (&m_dir) QTemporaryDir;
    QVERIFY(m_dir.isValid());
    m_prompter.clear();
    m_db = std::make_unique<DatabaseModule>(qm::app::storeHost(m_prompter), m_dir.path());
}

QString tst_databasemodule::createDictionary(const QString &name, const QStringList &keywords)
{
    const QString path = m_dir.filePath(name);
    Dictionary::CreateDictionary(path, name, {}, {}, {});
    Dictionary d(path);
    for (const QString &k : keywords) {
        Entry e;
        e.Viewer = 1;
        e.Heading = QStringLiteral("見出し ") + k;
        d.addEntry(e, {k});
    }
    return path;
}

QString tst_databasemodule::createLargeDictionary(const QString &name, int count)
{
    const QString path = m_dir.filePath(name);
    Dictionary::CreateDictionary(path, name, {}, {}, {});
    std::vector<Dictionary::NewEntry> entries;
    for (int i = 0; i < count; ++i) {
        Entry e;
        e.Viewer = 1;
        e.Heading = QStringLiteral("見出し%1").arg(i);
        e.Document = "body " + QByteArray::number(i) + QByteArray(200, 'x');
        entries.push_back({e, {QStringLiteral("key%1").arg(i)}});
    }
    Dictionary(path).addEntries(entries);
    return path;
}

void tst_databasemodule::useSet(const QStringList &files)
{
    m_db->sets().clear();
    m_db->sets().add(DictionarySet({}, files));
    m_db->sets().choose(0);
}

void tst_databasemodule::firstStartWritesDefaults()
{
    bool manualMissing = false;
    m_db->setManualFolderMissingHandler([&] { manualMissing = true; });
    const QString user = m_dir.filePath(QStringLiteral("User.dic"));
    // The set file is only written once the dictionary it names is there.
    bool dictionaryBeforeSetFile = false;
    qm::text::setWriteFaultHook([&](const QString &, qm::text::WriteStep) {
        dictionaryBeforeSetFile = Dictionary::IsDictionaryFile(user);
        return 0;
    });
    m_db->LoadDictionarySets();
    qm::text::setWriteFaultHook({});
    QVERIFY(dictionaryBeforeSetFile);
    QVERIFY(manualMissing);
    QByteArray expected("Quillmere\r\n\r\nOpenDictionarySetsIndex = 0\r\n\r\nDictionarySets = \"");
    expected += QByteArray("\x83\x86\x81\x5B\x83\x55\x81\x5B\x8E\xAB\x8F\x91\x83\x5A\x83\x62\x83\x67"); // ユーザー辞書セット
    expected += "\"\r\nDictionary = \"" + user.toUtf8() + "\"\r\n";
    QCOMPARE(readFile(m_db->setFilePath()), expected);
    QVERIFY(Dictionary::IsDictionaryFile(user));
    QCOMPARE(Dictionary(user).property(QStringLiteral("DictionaryName")).toString(), QStringLiteral("ユーザー辞書"));

    m_db->OpenDictionarySet();
    QCOMPARE(m_db->OpenDictionarySetsIndex(), 0);
    QCOMPARE(m_db->DictionaryCount(), 1);
    QVERIFY(m_db->dictionary(0));
    QVERIFY(m_prompter.messages().isEmpty());
}

void tst_databasemodule::laterStartsKeepTheSets()
{
    const QString a = createDictionary(QStringLiteral("a.dic"));
    useSet({a});
    m_db->sets().rename(0, QStringLiteral("mine"));
    QVERIFY(m_db->SaveDictionarySets());
    const QByteArray saved = readFile(m_db->setFilePath());

    DatabaseModule again(qm::app::storeHost(m_prompter), m_dir.path());
    again.LoadDictionarySets();
    QCOMPARE(again.DictionarySetCount(), 1);
    QCOMPARE(again.DictionarySetList()[0].name(), QStringLiteral("mine"));
    QCOMPARE(again.DictionarySetList()[0].fileName(0), a);
    QVERIFY(!QFile::exists(m_dir.filePath(QStringLiteral("User.dic"))));
    QVERIFY(again.SaveDictionarySets());
    QCOMPARE(readFile(m_db->setFilePath()), saved);
}

void tst_databasemodule::readOnlyUseWritesNothing()
{
    const QDir dir(m_dir.path());
    const auto files = [&dir] { return dir.entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name); };
    // No set file: the default set in memory, and nothing made for it.
    m_db->setReadOnly(true);
    m_db->LoadDictionarySets();
    m_db->OpenDictionarySet();
    QCOMPARE(m_db->DictionarySetCount(), 1);
    QVERIFY(!m_db->dictionary(0));
    QCOMPARE(m_prompter.messages().size(), 1);
    QCOMPARE(files(), QStringList());

    // A set: its dictionary opens read-only, and closing leaves every file as it was, a
    // compaction's left-over working copy included.
    const QString a = createDictionary(QStringLiteral("a.dic"), {QStringLiteral("x")});
    useSet({a});
    QVERIFY(m_db->SaveDictionarySets());
    writeBytes(m_dir.filePath(QStringLiteral("$Temp$-a.dic-999999999.tmp")), "copy");
    const QStringList before = files();
    const QByteArray bytes = readFile(a);
    DatabaseModule reader(qm::app::storeHost(m_prompter), m_dir.path());
    reader.setReadOnly(true);
    reader.LoadDictionarySets();
    reader.OpenDictionarySet();
    QVERIFY(reader.dictionary(0) && reader.dictionary(0)->isReadOnly());
    QCOMPARE(qm::test::findKeyword(reader, QStringLiteral("x*"), 10).summary.count, 1);
    reader.CloseDictionarySet();
    QCOMPARE(files(), before);
    QCOMPARE(readFile(a), bytes);
}

void tst_databasemodule::savedMinusOneKeepsTheSets()
{
    writeBytes(m_db->setFilePath(), "Quillmere\r\n\r\nOpenDictionarySetsIndex = -1\r\n\r\n"
                                    "DictionarySets = \"one\"\r\nDictionary = \"/x/one.dic\"\r\n\r\n"
                                    "DictionarySets = \"two\"\r\n\r\n");
    m_db->LoadDictionarySets();
    QCOMPARE(m_db->DictionarySetCount(), 2);
    QCOMPARE(m_db->OpenDictionarySetsIndex(), 0);
    QCOMPARE(m_db->DictionarySetList()[1].name(), QStringLiteral("two"));

    // A current set beyond the listed ones: the first becomes current.
    writeBytes(m_db->setFilePath(), "Quillmere\r\n\r\nOpenDictionarySetsIndex = 7\r\n\r\n"
                                    "DictionarySets = \"one\"\r\nDictionarySets = \"two\"\r\n");
    m_db->LoadDictionarySets();
    QCOMPARE(m_db->DictionarySetCount(), 2);
    QCOMPARE(m_db->OpenDictionarySetsIndex(), 0);
    QVERIFY(m_prompter.messages().isEmpty());
}

void tst_databasemodule::setFileIsReplacedAtomically()
{
    m_db->LoadDictionarySets();
    const QByteArray before = readFile(m_db->setFilePath());
    for (int i = 0; i < 9; ++i)
        m_db->AddDictionaryToSet(QStringLiteral("/a/rather/long/path/to/dictionary%1.dic").arg(i));

    // A file size limit makes the write fail the way a full disk does, even for root.
    rlimit old{};
    QCOMPARE(getrlimit(RLIMIT_FSIZE, &old), 0);
    signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = rlim_t(before.size() + 10);
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool saved = m_db->SaveDictionarySets();
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &old), 0);

    QVERIFY(!saved);
    QCOMPARE(readFile(m_db->setFilePath()), before);
    QCOMPARE(m_prompter.messages().size(), 1);
    QVERIFY(m_prompter.texts().at(0).startsWith(QStringLiteral("辞書セットファイル")));
    QVERIFY(m_db->SaveDictionarySets());
    QVERIFY(readFile(m_db->setFilePath()).size() > before.size());
}

void tst_databasemodule::pathsOutsideCp932SurviveSaving()
{
    useSet({QStringLiteral("/data/한국어/😀.dic")});
    QVERIFY(m_db->SaveDictionarySets());
    DatabaseModule again(qm::app::storeHost(m_prompter), m_dir.path());
    again.LoadDictionarySets();
    QCOMPARE(again.DictionarySetList()[0].fileName(0), QStringLiteral("/data/한국어/😀.dic"));
}

void tst_databasemodule::openSkipsMissingFolders()
{
    const QString a = createDictionary(QStringLiteral("a.dic"));
    const QString b = createDictionary(QStringLiteral("b.dic"));
    const QString gone = m_dir.filePath(QStringLiteral("no-folder/c.dic"));
    const QString d = createDictionary(QStringLiteral("d.dic"));
    useSet({a, b, gone, d});
    m_db->OpenDictionarySet();
    QCOMPARE(m_prompter.texts(), QStringList{gone + QStringLiteral("が見つかりません")});
    QCOMPARE(m_prompter.messages().at(0).title, QStringLiteral("Quillmere"));
    QCOMPARE(m_db->DictionaryCount(), 4);
    QVERIFY(m_db->dictionary(0) && m_db->dictionary(1) && m_db->dictionary(3));
    QVERIFY(!m_db->dictionary(2));
    QCOMPARE(m_db->OpenDictionarySetsIndex(), 0);

    useSet({});
    m_prompter.clear();
    m_db->OpenDictionarySet();
    QCOMPARE(m_db->DictionaryCount(), 0);
    QVERIFY(m_prompter.messages().isEmpty());
}

void tst_databasemodule::openFailureIsReportedOnce()
{
    const QString a = createDictionary(QStringLiteral("a.dic"), {QStringLiteral("found")});
    const QString text = m_dir.filePath(QStringLiteral("text.dic"));
    writeBytes(text, "not a dictionary at all, only words");
    const QString plain = m_dir.filePath(QStringLiteral("plain.dic"));
    {
        qm::sqlite::Database db(plain, qm::sqlite::Database::OpenMode::Create);
        db.exec("CREATE TABLE t(x)");
    }
    const QString missing = m_dir.filePath(QStringLiteral("missing.dic"));
    // A folder and a pipe under a dictionary's name are named as what they are.
    const QString folder = m_dir.filePath(QStringLiteral("folder.dic"));
    QVERIFY(QDir().mkdir(folder));
    const QString pipe = m_dir.filePath(QStringLiteral("pipe.dic"));
    QCOMPARE(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    useSet({missing, text, a, plain, folder, pipe});
    m_db->OpenDictionarySet();
    // One message, a warning, names every file that did not open, with its reason.
    QCOMPARE(m_prompter.messages().size(), 1);
    QCOMPARE(m_prompter.messages().at(0).icon, qm::desktop::Prompter::Icon::Warning);
    const QStringList lines = m_prompter.texts().at(0).split(QLatin1Char('\n'));
    QCOMPARE(lines.size(), 5);
    QCOMPARE(lines[0], missing + QStringLiteral("が見つかりません"));
    QVERIFY2(lines[1].contains(text) && lines[1].contains(QStringLiteral("壊れている")), qPrintable(lines[1]));
    QVERIFY2(lines[2].contains(plain) && lines[2].contains(QStringLiteral("辞書ファイルではありません")), qPrintable(lines[2]));
    QCOMPARE(lines[3], QStringLiteral("辞書 %1 を開けませんでした（ファイルではなくフォルダーです）").arg(folder));
    QCOMPARE(lines[4], QStringLiteral("辞書 %1 を開けませんでした（通常のファイルではありません）").arg(pipe));
    QVERIFY(!FileExists(folder));
    {
        // With a writer at its other end, a pipe opens for reading at once; still no file.
        QFile writer(pipe);
        QVERIFY(writer.open(QIODevice::ReadWrite | QIODevice::Unbuffered));
        QVERIFY(!FileExists(pipe));
    }
    // The set stays open with what could be opened, and a lookup finds its rows.
    QCOMPARE(m_db->OpenDictionarySetsIndex(), 0);
    QVERIFY(!m_db->dictionary(0) && !m_db->dictionary(1) && m_db->dictionary(2) && !m_db->dictionary(3));
    QStringList rows;
    for (const SlotMatch &m : qm::test::findKeyword(*m_db, QStringLiteral("*"), 1000).rows)
        rows.append(QString::number(m.slot.index) + m.match.Index);
    QCOMPARE(rows, QStringList{QStringLiteral("2found")});
    // Opening the set again does not repeat the message.
    m_db->CloseDictionarySet();
    m_prompter.clear();
    m_db->OpenDictionarySet();
    QVERIFY(m_prompter.messages().isEmpty());
    m_db->CloseDictionarySet();
    // Nothing was written into the foreign database.
    qm::sqlite::Database db(plain);
    qm::sqlite::Statement st(db, "SELECT count(*) FROM sqlite_schema");
    QVERIFY(st.step());
    QCOMPARE(st.toInt(0), 1);
}

void tst_databasemodule::unusableSetFilesAreKept()
{
    const QByteArray utf16("\xFF\xFE" "Q\0u\0i\0l\0l\0m\0e\0r\0e\0\r\0\n\0", 24);
    const QByteArray misspelt("Quillmere\r\n\r\nOpenDictionarySetsIndex = 0\r\n\r\nDictionarySet = \"mine\"\r\n"
                              "Dictionary = \"/x/mine.dic\"\r\n");
    for (const QByteArray &bytes : {utf16, misspelt}) {
        init();
        writeBytes(m_db->setFilePath(), bytes);
        m_db->LoadDictionarySets();
        QCOMPARE(m_prompter.messages().size(), 1);
        QVERIFY(m_prompter.texts().at(0).contains(m_db->setFilePath()));
        QCOMPARE(m_db->DictionarySetList()[0].name(), QStringLiteral("ユーザー辞書セット"));
        // The default set runs with its dictionary, and without a second message.
        m_db->OpenDictionarySet();
        QVERIFY(m_db->dictionary(0));
        QCOMPARE(m_prompter.messages().size(), 1);
        m_db->CloseDictionarySet();
        // Saving an unchanged table leaves the file alone; a changed one keeps a copy first.
        QVERIFY(m_db->SaveDictionarySets());
        QCOMPARE(readFile(m_db->setFilePath()), bytes);
        m_db->sets().rename(0, QStringLiteral("changed"));
        QVERIFY(m_db->SaveDictionarySets());
        QCOMPARE(readFile(m_db->setFilePath() + QStringLiteral(".bak")), bytes);
    }
    // A folder in the file's place cannot be read; it is reported and left.
    init();
    QVERIFY(QDir(m_dir.path()).mkdir(QStringLiteral("DicSets.ini")));
    m_db->LoadDictionarySets();
    QCOMPARE(m_prompter.messages().size(), 1);
    QVERIFY(QFileInfo(m_db->setFilePath()).isDir());
    QCOMPARE(m_db->OpenDictionarySetsIndex(), 0);
}

void tst_databasemodule::setFileEncodingIsNeverGuessed()
{
    // "ﾃｨ" in CP932 is C3 A8, which is also valid UTF-8 ("è").
    writeBytes(m_db->setFilePath(), "Quillmere\r\n\r\nOpenDictionarySetsIndex = 0\r\n\r\n"
                                    "DictionarySets = \"\xC3\xA8\"\r\nDictionary = \"/x/\xC3\xA8.dic\"\r\n");
    m_db->LoadDictionarySets();
    QCOMPARE(m_db->DictionarySetList()[0].name(), QStringLiteral("ﾃｨ"));
    QVERIFY(m_db->SaveDictionarySets());
    DatabaseModule again(qm::app::storeHost(m_prompter), m_dir.path());
    again.LoadDictionarySets();
    QCOMPARE(again.DictionarySetList()[0].fileName(0), QStringLiteral("/x/ﾃｨ.dic"));
    QVERIFY(readFile(m_db->setFilePath()).contains("\"\xC3\xA8\""));
    QVERIFY(m_prompter.messages().isEmpty());
}

void tst_databasemodule::closeStoresTrueCounts()
{
    const QString a = createDictionary(QStringLiteral("a.dic"), {QStringLiteral("x"), QStringLiteral("y")});
    const QString b = createDictionary(QStringLiteral("b.dic"));
    {
        Dictionary d(b);
        Entry e;
        e.Viewer = 2;
        d.addEntry(e, {});
    }
    useSet({a, b});
    m_db->OpenDictionarySet();
    m_db->CloseDictionarySet();
    QVERIFY(!m_db->dictionary(0) && !m_db->dictionary(1));
    QCOMPARE(Dictionary(a).property(QStringLiteral("IndexRecordCount")), QVariant(2));
    QCOMPARE(Dictionary(a).property(QStringLiteral("DocumentRecordCount")), QVariant(2));
    QCOMPARE(Dictionary(b).property(QStringLiteral("IndexRecordCount")), QVariant(0));
    QCOMPARE(Dictionary(b).property(QStringLiteral("DocumentRecordCount")), QVariant(1));
}

void tst_databasemodule::addDictionaryToSet()
{
    useSet({QStringLiteral("/x/A.dic")});
    m_db->AddDictionaryToSet(QStringLiteral("/x/a.DIC"));
    // The message names the registered member, not the path that only differs in case.
    QCOMPARE(m_prompter.texts(), QStringList{QStringLiteral("/x/A.dic はすでに登録されています")});
    QCOMPARE(m_db->DictionarySetList()[0].count(), 1);
    m_prompter.clear();
    for (int i = 1; i < 10; ++i)
        m_db->AddDictionaryToSet(QStringLiteral("/x/%1.dic").arg(i));
    QVERIFY(m_prompter.messages().isEmpty());
    QCOMPARE(m_db->DictionarySetList()[0].count(), 10);
    m_db->AddDictionaryToSet(QStringLiteral("/x/11.dic"));
    QCOMPARE(m_prompter.texts(), QStringList{QStringLiteral("登録できる辞書は10個までです")});
    QCOMPARE(m_db->DictionarySetList()[0].count(), 10);
}

void tst_databasemodule::searchAcrossSlotsRespectsTheLimit()
{
    const QString a = createDictionary(QStringLiteral("a.dic"), {QStringLiteral("beta"), QStringLiteral("alpha"), QStringLiteral("same")});
    const QString b = createDictionary(QStringLiteral("b.dic"), {QStringLiteral("Same"), QStringLiteral("aardvark")});
    useSet({a, b});
    m_db->OpenDictionarySet();
    QStringList rows;
    auto sink = [&](const SlotMatch &m) { rows.append(QString::number(m.slot.index) + m.match.Index); };
    SearchResults r = m_db->search(SearchRequest::keyword(QStringLiteral("*"), 1000), sink);
    QCOMPARE(rows, (QStringList{QStringLiteral("0alpha"), QStringLiteral("0beta"), QStringLiteral("0same"),
                                QStringLiteral("1aardvark"), QStringLiteral("1Same")}));
    QVERIFY(!r.limitReached);
    rows.clear();
    r = m_db->search(SearchRequest::keyword(QStringLiteral("*"), 4), sink);
    QCOMPARE(r.count, 4);
    QVERIFY(r.limitReached);
    QCOMPARE(rows.last(), QStringLiteral("1aardvark"));
    rows.clear();
    r = m_db->search(SearchRequest::keyword(QStringLiteral("*"), 5), sink);
    QVERIFY(r.limitReached); // exactly the limit counts as reached
    rows.clear();
    r = m_db->search(SearchRequest::keyword(QStringLiteral("[abc"), 1000), sink);
    QVERIFY(r.failure && r.failure->isBadPattern());
    QCOMPARE(r.failure->slot, -1);
    QVERIFY(rows.isEmpty());
}

void tst_databasemodule::aDamagedDictionaryDoesNotHideTheOthers()
{
    const QString bad = createDictionary(QStringLiteral("bad.dic"), {QStringLiteral("boxk"), QStringLiteral("mixk")});
    const QString good = createDictionary(QStringLiteral("good.dic"), {QStringLiteral("taxk"), QStringLiteral("other")});
    QVERIFY(qm::test::damagePage(bad, QStringLiteral("SELECT rootpage FROM sqlite_schema WHERE name = 'Index_Index'")));
    useSet({bad, good, createDictionary(QStringLiteral("third.dic"), {QStringLiteral("fixk")})});
    m_db->OpenDictionarySet();
    QVERIFY(m_db->dictionary(0));
    QStringList rows;
    const SearchResults r = m_db->search(SearchRequest::keyword(QStringLiteral("*xk"), 1000), [&](const SlotMatch &m) {
        rows.append(QString::number(m.slot.index) + m.match.Index);
    });
    // The failure names the member it came from.
    QVERIFY(r.failure);
    QCOMPARE(r.failure->error.code() & 0xff, SQLITE_CORRUPT);
    QCOMPARE(r.failure->slot, 0);
    QCOMPARE(r.failure->path, bad);
    QCOMPARE(rows, (QStringList{QStringLiteral("1taxk"), QStringLiteral("2fixk")}));
}

void tst_databasemodule::theProgramLetsGoOfAFileItReplaces()
{
    const QString target = createDictionary(QStringLiteral("target.dic"), {QStringLiteral("old")});
    const QString received = createDictionary(QStringLiteral("received.dic"), {QStringLiteral("new")});
    useSet({target});
    m_db->OpenDictionarySet();
    const auto found = [&](const QString &pattern) {
        return qm::test::findKeyword(*m_db, pattern, 100).summary.count;
    };
    // Held by the set, the file is in use, even for this program.
    QVERIFY(!copyDictionaryFile(received, target).ok);
    m_db->dictionary(0)->beginEditSession();
    CopyOutcome copied;
    m_db->releaseWhile(target, [&] { copied = copyDictionaryFile(received, target); });
    QVERIFY(!copied.ok);
    QVERIFY(m_db->dictionary(0)->inEditSession());
    m_db->dictionary(0)->rollbackEditSession();

    const quint64 generation = m_db->openGeneration();
    m_db->releaseWhile(target, [&] { copied = copyDictionaryFile(received, target); });
    QVERIFY2(copied.ok, qPrintable(copied.reason ? qm::app::errorText(*copied.reason) : QString()));
    QVERIFY(m_db->openGeneration() != generation);
    QVERIFY(m_db->dictionary(0));
    QCOMPARE(found(QStringLiteral("new")), 1);
    QCOMPARE(found(QStringLiteral("old")), 0);
    QVERIFY(m_prompter.texts().isEmpty());
}

// The worker's own connections hold the files as the set does: it lets go of them whenever the
// set replaces one, and reads the file put in its place. A search started while another runs
// ends the first, which hands on nothing more.
void tst_databasemodule::theSearchWorkerFollowsTheOpenSet()
{
    QStringList many;
    for (int i = 0; i < 40; ++i)
        many.append(QStringLiteral("many%1").arg(i));
    const QString target = createDictionary(QStringLiteral("target.dic"), {QStringLiteral("old"), QStringLiteral("older")});
    const QString received = createDictionary(QStringLiteral("received.dic"), {QStringLiteral("new")});
    useSet({target, createDictionary(QStringLiteral("many.dic"), many)});
    m_db->OpenDictionarySet();
    SearchWorker &worker = m_db->searchWorker();
    QObject owner;
    struct Run {
        QStringList rows;
        std::optional<SearchResults> end;
    };
    const auto start = [&](const QString &pattern, Run &run) {
        worker.search(
            m_db->openFiles(), SearchRequest::keyword(pattern, 100), &owner,
            [&run](const SearchWorker::Rows &batch) {
                for (const SlotMatch &m : batch)
                    run.rows.append(QString::number(m.slot.index) + m.match.Index);
            },
            [&run](const SearchResults &r) { run.end = r; });
    };
    const auto ended = [](const Run &run) { return QTest::qWaitFor([&run] { return run.end.has_value(); }, 5000); };

    Run before;
    start(QStringLiteral("old*"), before);
    QVERIFY(ended(before));
    QCOMPARE(before.rows, (QStringList{QStringLiteral("0old"), QStringLiteral("0older")}));
    CopyOutcome copied;
    m_db->releaseWhile(target, [&] { copied = copyDictionaryFile(received, target); });
    QVERIFY(copied.ok);
    Run after;
    start(QStringLiteral("*e*"), after);
    QVERIFY(ended(after));
    QCOMPARE(after.rows, QStringList{QStringLiteral("0new")});

    worker.setRowPause(std::chrono::milliseconds(20));
    Run first;
    Run second;
    start(QStringLiteral("many*"), first);
    QTRY_VERIFY(!first.rows.isEmpty());
    worker.setRowPause({});
    start(QStringLiteral("many3*"), second);
    QVERIFY(ended(second));
    QVERIFY(ended(first));
    QVERIFY(first.end->abandoned);
    const qsizetype handed = first.rows.size();
    QVERIFY(handed < 40);
    QCOMPARE(second.rows.size(), 11);
    QVERIFY(!second.end->abandoned && !second.end->cancelled && second.end->count == 11);
    QTest::qWait(100);
    QCOMPARE(first.rows.size(), handed);
    QVERIFY(!worker.isRunning());

    // A search stopped while it still waits for the worker ends all the same, with no rows.
    worker.run(m_db->openFiles(), [](const SearchWorker::Opened &, const std::atomic_bool &) { QThread::msleep(100); });
    Run stopped;
    start(QStringLiteral("many*"), stopped);
    worker.stop();
    QVERIFY(ended(stopped));
    QVERIFY(stopped.end->cancelled && !stopped.end->abandoned);
    QVERIFY(stopped.rows.isEmpty());
    QVERIFY(!worker.isRunning());
}

void tst_databasemodule::reopeningTheSameFilesKeepsTheGeneration()
{
    const QString a = createDictionary(QStringLiteral("a.dic"));
    const QString b = createDictionary(QStringLiteral("b.dic"));
    useSet({a, b});
    m_db->OpenDictionarySet();
    const quint64 opened = m_db->openGeneration();
    m_db->CloseDictionarySet();
    QVERIFY(m_db->openGeneration() != opened);
    m_db->OpenDictionarySet();
    QCOMPARE(m_db->openGeneration(), opened);

    // Another order of the same files names other entries by slot.
    m_db->CloseDictionarySet();
    DictionarySet swappedSet = m_db->sets().at(0);
    swappedSet.swap(0, 1);
    m_db->sets().replace(0, swappedSet);
    m_db->OpenDictionarySet();
    const quint64 swapped = m_db->openGeneration();
    QVERIFY(swapped != opened);

    // A file replaced under the same name is another file.
    m_db->CloseDictionarySet();
    const QString replacement = createDictionary(QStringLiteral("a2.dic"));
    QVERIFY(QFile::remove(a));
    QVERIFY(QFile::rename(replacement, a));
    m_db->OpenDictionarySet();
    QVERIFY(m_db->openGeneration() != swapped);
}

QTEST_GUILESS_MAIN(tst_databasemodule)
#include "tst_databasemodule.moc"

void tst_databasemodule::aCancelledSearchKeepsTheRowsFoundSoFar_data()
{
    QTest::addColumn<bool>("condition");
    QTest::newRow("keyword pattern that reads every key") << false;
    QTest::newRow("body text condition") << true;
}

// The first slot's rows are found at once; the flag is set with the first row, as a stop button
// would be pressed while rows come: no further row is handed on and no further member searched.
void tst_databasemodule::aCancelledSearchKeepsTheRowsFoundSoFar()
{
    QFETCH(bool, condition);
    const QString small = createLargeDictionary(QStringLiteral("small.dic"), 2);
    const QString large = createLargeDictionary(QStringLiteral("large.dic"), 4000);
    useSet({small, large});
    m_db->OpenDictionarySet();
    QStringList rows;
    std::atomic_bool cancel{false};
    auto sink = [&](const SlotMatch &m) {
        rows.append(QString::number(m.slot.index) + m.match.Index);
        cancel = true;
    };
    SearchCondition byBody;
    byBody.terms.push_back({SearchField::Body, MatchMode::Contains, QStringLiteral("body")});
    // "?" leaves the trigram index nothing to go on: every key is read in order.
    const SearchRequest request = condition ? SearchRequest::condition(byBody, 1000)
                                            : SearchRequest::keyword(QStringLiteral("*e?*"), 1000);
    std::vector<DictionaryStorage *> members{m_db->storage(0), m_db->storage(1)};
    const SearchResults r = searchSlots(members, request, sink, &cancel);
    QVERIFY(r.cancelled);
    QVERIFY(!r.limitReached);
    QVERIFY(!r.failure);
    QCOMPARE(r.count, rows.size());
    QCOMPARE(rows, QStringList{QStringLiteral("0key0")});

    // A flag set before the search starts searches nothing; the next search runs whole.
    rows.clear();
    QVERIFY(searchSlots(members, request, sink, &cancel).cancelled);
    QVERIFY(rows.isEmpty());
    cancel = false;
    const SearchResults full =
        searchSlots(members, SearchRequest::keyword(QStringLiteral("key12*"), 1000), [](const SlotMatch &) {}, &cancel);
    QVERIFY(!full.cancelled);
    QCOMPARE(full.count, 111);
}
