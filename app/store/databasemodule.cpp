#include "databasemodule.h"

#include "compaction.h"
#include "distribution.h"
#include "messages.h"

#include "platform/desktop/prompter.h"
#include "platform/sqlite/heartbeat.h"
#include "platform/sqlite/likepattern.h"
#include "platform/sqlite/transaction.h"
#include "platform/text/cp932.h"
#include "platform/text/textfile.h"

#include <QDir>
#include <QFileInfo>
#include <QScopeGuard>

#include <optional>
#include <utility>
#include <vector>

#include <sqlite3.h>
#include <sys/stat.h>

namespace qm::store {
namespace {

// The set file is CP932. A name or path with a character CP932 cannot hold (a folder name in
// another script, say) would be lost that way, so such a file is written as UTF-8 with a byte
// order mark instead; the reader tells the two apart.
QByteArray encodeSetFile(const QString &text)
{
    text::cp932::EncodeResult encoded = text::cp932::encode(text);
    if (encoded.ok())
        return encoded.bytes;
    return QByteArray("\xEF\xBB\xBF") + text.toUtf8();
}

bool sameTable(const DictionarySetTable &a, const DictionarySetTable &b)
{
    return a.DictionarySetCount == b.DictionarySetCount && a.OpenDictionarySetsIndex == b.OpenDictionarySetsIndex
        && a.DictionarySetList == b.DictionarySetList;
}

// Which file a path names on disk (device and inode), empty when there is none: a file
// replaced under the same name is another file.
QByteArray fileIdentity(const QString &path)
{
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return {};
    return QByteArray::number(quint64(st.st_dev)) + ':' + QByteArray::number(quint64(st.st_ino));
}

// What is under a member's name is looked at before the engine opens it: a folder or a pipe
// would otherwise be reported as a file that is missing or cannot be read, and reading a pipe
// can wait for ever. Empty when it is a file (or nothing, which the open reports).
QString notAFileText(const QString &path)
{
    const QFileInfo info(path);
    QString reason;
    if (info.isDir())
        reason = QStringLiteral("ファイルではなくフォルダーです");
    else if (info.exists() && !info.isFile())
        reason = QStringLiteral("通常のファイルではありません");
    if (reason.isEmpty())
        return reason;
    return QStringLiteral("辞書 %1 を開けませんでした（%2）").arg(QDir::toNativeSeparators(path), reason);
}

} // namespace

DatabaseModule::DatabaseModule(desktop::Prompter &prompter, QString programFolder)
    : m_prompter(prompter)
    , m_programFolder(QDir::cleanPath(std::move(programFolder)))
{
}

DatabaseModule::~DatabaseModule() = default;

QString DatabaseModule::setFilePath() const
{
    return m_programFolder + QStringLiteral("/DicSets.ini");
}

QString DatabaseModule::userDictionaryPath() const
{
    return m_programFolder + QStringLiteral("/User.dic");
}

bool DatabaseModule::writeSetFile(const QString &text)
{
    const text::WriteResult r = text::writeFileAtomically(setFilePath(), encodeSetFile(text));
    if (!r.ok)
        m_prompter.inform(QStringLiteral("辞書セットファイル %1 を保存できませんでした。\n%2")
                              .arg(QDir::toNativeSeparators(setFilePath()), describeWriteFailure(r.errorCode)), {}, desktop::Prompter::Icon::Critical);
    return r.ok;
}

bool DatabaseModule::createDefaultFiles()
{
    const text::WriteResult written =
        text::writeFileAtomically(setFilePath(), encodeSetFile(defaultDictionarySetsText(userDictionaryPath())));
    QString failure = written.ok ? QString() : describeWriteFailure(written.errorCode);
    if (failure.isEmpty())
        failure = createUserDictionary();
    if (failure.isEmpty())
        return true;
    // One message says it all: the dictionary that could not be made is not reported again
    // when the set is opened.
    m_reported.insert(userDictionaryPath());
    m_prompter.inform(QStringLiteral("フォルダー %1 に辞書セットファイルと辞書を作成できませんでした。\n%2\n\n"
                                     "既定の辞書セットで起動しますが、辞書は開けません。")
                          .arg(QDir::toNativeSeparators(m_programFolder), failure), {}, desktop::Prompter::Icon::Critical);
    return false;
}

QString DatabaseModule::createUserDictionary()
{
    if (FileExists(userDictionaryPath()))
        return {};
    try {
        Dictionary::CreateDictionary(userDictionaryPath(), QStringLiteral("ユーザー辞書"), {}, {},
                                     {false, false, false});
    } catch (const sqlite::Error &e) {
        return describeFailure(e);
    }
    return {};
}

void DatabaseModule::CreateDefaultDictionarySets()
{
    createDefaultFiles();
}

void DatabaseModule::useDefaultSetInMemory()
{
    m_sets.clear();
    m_sets.add(DictionarySet(QStringLiteral("ユーザー辞書セット"), {userDictionaryPath()}));
    m_sets.choose(0);
    m_setsAtLoad = m_sets.table();
    rememberWrittenTable();
}

void DatabaseModule::rememberWrittenTable()
{
    m_written = m_sets.table();
}

void DatabaseModule::LoadDictionarySets()
{
    m_sets.clear();
    m_setFileKept = false;
    SetFileContents contents = readDictionarySetsFile(setFilePath());
    if (contents.missing && m_readOnly) {
        useDefaultSetInMemory();
        return;
    }
    if (contents.missing) {
        m_setFileKept = !createDefaultFiles();
        contents = readDictionarySetsFile(setFilePath());
    }
    if (!QFileInfo(m_programFolder + QStringLiteral("/manual")).isDir() && m_manualMissing)
        m_manualMissing();
    if (m_setFileKept || contents.missing) {
        useDefaultSetInMemory();
        return;
    }
    if (!contents.problem.isEmpty()) {
        // The user's file is kept as it is: writing the default over it would lose the sets.
        m_prompter.inform(QStringLiteral("辞書セットファイル %1 を読み込めませんでした。\n%2\n\n"
                                         "このファイルは変更せずに残し、既定の辞書セットで起動します。")
                              .arg(QDir::toNativeSeparators(setFilePath()), contents.problem), {}, desktop::Prompter::Icon::Warning);
        m_setFileKept = true;
        // The default set needs its dictionary; a failure is reported when the set opens.
        if (!m_readOnly)
            createUserDictionary();
        useDefaultSetInMemory();
        return;
    }
    // No current set, -1 (saved after a set failed to open) or a number beyond the listed
    // sets: the first set becomes current.
    m_sets.assign(contents.table);
    rememberWrittenTable();
}

bool DatabaseModule::SaveDictionarySets()
{
    const DictionarySetTable table = m_sets.table();
    if (m_setFileKept) {
        // The file that could not be read stays untouched unless the sets were changed; then
        // a copy of it is kept beside the new one.
        if (table.DictionarySetList == m_setsAtLoad.DictionarySetList
            && table.DictionarySetCount == m_setsAtLoad.DictionarySetCount)
            return true;
        if (!keepCopyOfSetFile())
            return false;
    }
    if (!writeSetFile(formatDictionarySets(table)))
        return false;
    m_setFileKept = false;
    rememberWrittenTable();
    return true;
}

bool DatabaseModule::CommitDictionarySets()
{
    if (sameTable(m_sets.table(), m_written))
        return true;
    return SaveDictionarySets();
}

bool DatabaseModule::keepCopyOfSetFile()
{
    if (!QFileInfo::exists(setFilePath()))
        return true;
    for (int n = 1; n < 100; ++n) {
        const QString copy = setFilePath() + (n == 1 ? QStringLiteral(".bak") : QStringLiteral(".bak%1").arg(n));
        if (QFileInfo::exists(copy))
            continue;
        if (QFile::copy(setFilePath(), copy))
            return true;
        break;
    }
    m_prompter.inform(QStringLiteral("辞書セットファイル %1 の控えを作成できないため、辞書セットを保存しませんでした。")
                          .arg(QDir::toNativeSeparators(setFilePath())), {}, desktop::Prompter::Icon::Critical);
    return false;
}

bool DatabaseModule::AddDictionaryToSet(const QString &path)
{
    const DictionarySet *set = m_sets.currentSet();
    if (!set)
        return false;
    if (set->isFull()) {
        m_prompter.inform(QStringLiteral("登録できる辞書は") + QString::number(MaxDictionariesPerSet)
                          + QStringLiteral("個までです"), {}, desktop::Prompter::Icon::Warning);
        return false;
    }
    if (const QString member = set->registeredAs(path); !member.isEmpty()) {
        // The member it matches is named: it may differ from the path in letter case.
        m_prompter.inform(member + QStringLiteral(" はすでに登録されています"), {}, desktop::Prompter::Icon::Warning);
        return false;
    }
    return m_sets.addToCurrent(path);
}

QList<QPair<QString, QByteArray>> DatabaseModule::slotFiles() const
{
    QList<QPair<QString, QByteArray>> files;
    if (const DictionarySet *set = m_sets.currentSet())
        for (const QString &file : set->fileNames())
            files.append({file, fileIdentity(file)});
    return files;
}

void DatabaseModule::OpenDictionarySet()
{
    // Reopening the set opened last, with every slot on the same file, keeps its generation:
    // rows taken from it still name the same entries.
    const QList<QPair<QString, QByteArray>> files = slotFiles();
    if (files.isEmpty() || files != m_openedFiles) {
        m_openGeneration = ++m_lastGeneration;
        m_openedFiles = files;
        m_openedGeneration = m_openGeneration;
    } else {
        m_openGeneration = m_openedGeneration;
    }
    const DictionarySet *set = m_sets.currentSet();
    if (!set)
        return;
    m_dictionaryCount = set->count();
    QStringList failures;
    QSet<QString> folders;
    for (int i = 0; i < m_dictionaryCount; ++i) {
        const QString &path = set->fileName(i);
        // Working copies of compactions that were killed would take up the disk for good.
        const QString folder = QFileInfo(path).absolutePath();
        if (!m_readOnly && !folders.contains(folder)) {
            folders.insert(folder);
            removeStaleCompactionCopies(folder);
        }
        QString failure = notAFileText(path);
        if (failure.isEmpty()) {
            try {
                m_databases[i] = std::make_unique<Dictionary>(path, Dictionary::Options{m_readOnly, m_progress});
            } catch (const sqlite::Error &e) {
                failure = openFailureText(path, e);
            }
        }
        // The slot stays empty and the others open; lookups pass over it.
        if (!failure.isEmpty() && !m_reported.contains(path))
            failures.append(failure);
        if (!failure.isEmpty())
            m_reported.insert(path);
    }
    if (!failures.isEmpty())
        m_prompter.inform(failures.join(QLatin1Char('\n')), {}, desktop::Prompter::Icon::Warning);
}

QString DatabaseModule::openFailureText(const QString &path, const sqlite::Error &e) const
{
    const QString native = QDir::toNativeSeparators(path);
    const bool missing = e.kind() == sqlite::Error::Kind::FolderMissing || !QFileInfo::exists(path);
    if (missing)
        return native + QStringLiteral("が見つかりません");
    return QStringLiteral("辞書 %1 を開けませんでした（%2）").arg(native, describeFailure(e));
}

void DatabaseModule::CloseDictionarySet()
{
    m_openGeneration = ++m_lastGeneration;
    // Every open slot is closed, even when no set is current any more.
    for (int i = 0; i < MaxDictionariesPerSet; ++i) {
        std::unique_ptr<Dictionary> dictionary = std::move(m_databases[i]);
        if (!dictionary)
            continue;
        // An edit never finished is not stored.
        dictionary->rollbackEditSession();
        if (dictionary->isReadOnly())
            continue;
        try {
            sqlite::Transaction tx(dictionary->database());
            const qint64 indexRows = dictionary->indexRowCount();
            const qint64 documentRows = dictionary->documentRowCount();
            dictionary->setProperty(QStringLiteral("IndexRecordCount"), qint64(qMin<qint64>(indexRows, INT_MAX)));
            dictionary->setProperty(QStringLiteral("DocumentRecordCount"), qint64(qMin<qint64>(documentRows, INT_MAX)));
            tx.commit();
        } catch (const sqlite::Error &) {
            // A damaged file keeps its old counts; closing goes on.
        }
    }
}

void DatabaseModule::releaseWhile(const QString &path, const std::function<void()> &replace)
{
    std::vector<std::pair<int, QString>> released;
    for (int i = 0; i < m_dictionaryCount; ++i) {
        std::unique_ptr<Dictionary> &slot = m_databases[i];
        if (slot && !slot->inEditSession() && isSameFile(slot->path(), path)) {
            released.emplace_back(i, slot->path());
            slot.reset();
        }
    }
    if (released.empty()) {
        replace();
        return;
    }
    // Slot numbers taken before name other objects now.
    m_openGeneration = ++m_lastGeneration;
    m_openedFiles.clear();
    const auto reopen = qScopeGuard([&] {
        QStringList failures;
        for (const auto &[i, file] : released) {
            try {
                m_databases[i] = std::make_unique<Dictionary>(file, Dictionary::Options{false, m_progress});
            } catch (const sqlite::Error &e) {
                failures.append(openFailureText(file, e));
            }
        }
        if (!failures.isEmpty())
            m_prompter.inform(failures.join(QLatin1Char('\n')), {}, desktop::Prompter::Icon::Warning);
    });
    replace();
}

Dictionary *DatabaseModule::dictionary(int slot) const
{
    if (slot < 0 || slot >= MaxDictionariesPerSet)
        return nullptr;
    return m_databases[slot].get();
}

DatabaseModule::SearchOutcome DatabaseModule::searchKeyword(
    const QString &pattern, int limit, const std::function<void(int, const KeywordMatch &)> &sink)
{
    m_failedSlot = -1;
    const std::optional<sqlite::LikePattern> compiled = sqlite::LikePattern::compile(pattern);
    if (!compiled)
        throw sqlite::Error(sqlite::Error::Kind::BadPattern, SQLITE_ERROR,
                            QStringLiteral("malformed pattern: %1").arg(pattern));
    return searchEachSlot(
        limit,
        [&compiled](Dictionary &d, int rest, const std::function<void(const KeywordMatch &)> &found) {
            return d.searchKeyword(*compiled, rest, found);
        },
        sink);
}

DatabaseModule::SearchOutcome DatabaseModule::searchCondition(
    const SearchCondition &condition, int limit, const std::function<void(int, const KeywordMatch &)> &sink)
{
    m_failedSlot = -1;
    if (condition.isEmpty())
        return {};
    return searchEachSlot(
        limit,
        [&condition](Dictionary &d, int rest, const std::function<void(const KeywordMatch &)> &found) {
            return d.searchCondition(condition, rest, found);
        },
        sink);
}

DatabaseModule::SearchOutcome DatabaseModule::searchEachSlot(
    int limit, const Search &search, const std::function<void(int, const KeywordMatch &)> &sink)
{
    SearchOutcome outcome;
    std::optional<sqlite::Heartbeat> heartbeat;
    m_cancelRequested = false;
    if (m_busy.handler)
        heartbeat.emplace(m_busy.handler, m_busy.delay, m_busy.interval, [this] { return m_cancelRequested; });
    m_searching = true;
    const auto done = qScopeGuard([this] {
        m_searching = false;
        m_cancelRequested = false;
    });
    std::optional<sqlite::Error> failure;
    for (int slot = 0; slot < m_dictionaryCount && outcome.count < limit; ++slot) {
        // A dictionary that could not be opened was reported then; it has no rows to find.
        Dictionary *d = dictionary(slot);
        if (!d)
            continue;
        if (heartbeat)
            heartbeat->watch(d->database());
        try {
            // Counted as handed over: an interrupted search returns no count of its own.
            if (!m_cancelRequested)
                search(*d, limit - outcome.count, [&](const KeywordMatch &m) {
                    ++outcome.count;
                    sink(slot, m);
                });
        } catch (const sqlite::Error &e) {
            // An interrupted statement fails; the rows handed over before it stay the result.
            if (!m_cancelRequested && !failure) {
                // The other dictionaries are still searched; the first failure is reported after.
                m_failedSlot = slot;
                failure = e;
            }
        }
        if (m_cancelRequested) {
            outcome.cancelled = true;
            break;
        }
    }
    if (failure)
        throw *failure;
    outcome.limitReached = outcome.count >= limit;
    return outcome;
}

} // namespace qm::store
