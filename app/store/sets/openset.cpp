#include "app/store/sets/openset.h"

#include "app/store/care/compaction.h"
#include "app/store/sets/distribution.h"
#include "app/store/dictionary/messages.h"
#include "app/store/care/salvage.h"

#include "platform/desktop/prompter.h"
#include "platform/sqlite/heartbeat.h"
#include "platform/sqlite/likepattern.h"
#include "platform/sqlite/transaction.h"

#include <QDir>
#include <QFileInfo>
#include <QScopeGuard>

#include <cerrno>
#include <climits>
#include <optional>
#include <utility>
#include <vector>

#include <sqlite3.h>
#include <sys/stat.h>

namespace qm::store {
namespace {

// Which file a path names on disk (device and inode), empty when there is none: a file
// replaced under the same name is another file.
QByteArray fileIdentity(const QString &path)
{
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return {};
    return QByteArray::number(quint64(st.st_dev)) + ':' + QByteArray::number(quint64(st.st_ino));
}

QList<QPair<QString, QByteArray>> filesOf(const DictionarySet *set)
{
    QList<QPair<QString, QByteArray>> files;
    if (set)
        for (const QString &file : set->fileNames())
            files.append({file, fileIdentity(file)});
    return files;
}

// What is under a member's name is looked at before the engine opens it: a folder, a pipe or a
// link that leads back to itself would otherwise be reported as a file that is missing or
// cannot be read, and reading a pipe can wait for ever. Empty when it is a file (or nothing, which the open reports).
QString notAFileText(const QString &path)
{
    const QFileInfo info(path);
    QString reason;
    struct stat st {};
    if (info.isDir())
        reason = QStringLiteral("ファイルではなくフォルダーです");
    else if (info.exists() && !info.isFile())
        reason = QStringLiteral("通常のファイルではありません");
    else if (::stat(QFile::encodeName(path).constData(), &st) != 0 && errno == ELOOP)
        reason = QStringLiteral("リンクがそれ自身を指しているため、ファイルにたどり着けません");
    if (reason.isEmpty())
        return reason;
    return QStringLiteral("辞書 %1 を開けませんでした（%2）").arg(QDir::toNativeSeparators(path), reason);
}

} // namespace

OpenSet::OpenSet(desktop::Prompter &prompter)
    : m_prompter(prompter)
{
}

OpenSet::~OpenSet() = default;

void OpenSet::startGeneration(const DictionarySet *set)
{
    // Reopening the set opened last, with every slot on the same file, keeps its generation:
    // rows taken from it still name the same entries.
    const QList<QPair<QString, QByteArray>> files = filesOf(set);
    if (files.isEmpty() || files != m_openedFiles) {
        m_generation = ++m_lastGeneration;
        m_openedFiles = files;
        m_openedGeneration = m_generation;
    } else {
        m_generation = m_openedGeneration;
    }
}

void OpenSet::open(const DictionarySet *set)
{
    startGeneration(set);
    if (!set)
        return;
    m_count = set->count();
    QStringList failures;
    QList<DamagedDictionary> damaged;
    QSet<QString> folders;
    for (int i = 0; i < m_count; ++i) {
        const QString &path = set->fileName(i);
        // Working copies of compactions that were killed would take up the disk for good.
        const QString folder = QFileInfo(path).absolutePath();
        if (!m_readOnly && !folders.contains(folder)) {
            folders.insert(folder);
            removeStaleCompactionCopies(folder);
        }
        // The slot stays empty and the others open; lookups pass over it.
        const OpenFailure failure = openSlot(i, path);
        if (failure.text.isEmpty())
            continue;
        if (!m_reported.contains(path)) {
            if (failure.damaged && m_damaged)
                damaged.append({path, failure.reason, i});
            else
                failures.append(failure.text);
        }
        m_reported.insert(path);
    }
    if (!failures.isEmpty())
        m_prompter.inform(failures.join(QLatin1Char('\n')), {}, desktop::Prompter::Icon::Warning);
    // Last: the handler may open the set again.
    for (const DamagedDictionary &d : damaged)
        m_damaged(d);
}

OpenSet::OpenFailure OpenSet::openSlot(int slot, const QString &path)
{
    if (QString failure = notAFileText(path); !failure.isEmpty())
        return {failure, {}, false};
    try {
        m_slots[slot] = std::make_unique<Dictionary>(path, Dictionary::Options{m_readOnly, m_progress, m_richText});
    } catch (const sqlite::Error &e) {
        return {openFailureText(path, e), describeFailure(e), isDamageError(e) && QFileInfo(path).isFile()};
    }
    return {};
}

bool OpenSet::offerRecovery(int slot, const sqlite::Error &error)
{
    const Dictionary *d = dictionary(slot);
    if (!d || !isDamageError(error))
        return false;
    // Writing into a damaged file can spread the damage, and a salvage wants it as it was found.
    m_foundDamaged.insert(d->path());
    if (!m_damaged)
        return false;
    m_damaged({d->path(), describeFailure(error), slot});
    return true;
}

QString OpenSet::openFailureText(const QString &path, const sqlite::Error &e) const
{
    const QString native = QDir::toNativeSeparators(path);
    const bool missing = e.kind() == sqlite::Error::Kind::FolderMissing || !QFileInfo::exists(path);
    if (missing)
        return native + QStringLiteral("が見つかりません");
    return QStringLiteral("辞書 %1 を開けませんでした（%2）").arg(native, describeFailure(e));
}

void OpenSet::close()
{
    m_generation = ++m_lastGeneration;
    // Every open slot is closed, even when no set is current any more.
    for (std::unique_ptr<Dictionary> &slot : m_slots) {
        const std::unique_ptr<Dictionary> dictionary = std::move(slot);
        if (!dictionary)
            continue;
        // An edit never finished is not stored.
        dictionary->rollbackEditSession();
        if (dictionary->isReadOnly() || m_foundDamaged.contains(dictionary->path()))
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

void OpenSet::releaseWhile(const QString &path, const std::function<void()> &replace)
{
    std::vector<std::pair<int, QString>> released;
    for (int i = 0; i < m_count; ++i) {
        std::unique_ptr<Dictionary> &slot = m_slots[i];
        if (slot && !slot->inEditSession() && isSameFile(slot->path(), path)) {
            released.emplace_back(i, slot->path());
            slot.reset();
        }
    }
    // Once replaced, the file under the name is another one, damaged or not.
    const auto replaceFile = [&] {
        replace();
        for (auto it = m_foundDamaged.begin(); it != m_foundDamaged.end();)
            it = isSameFile(*it, path) ? m_foundDamaged.erase(it) : std::next(it);
    };
    if (released.empty()) {
        replaceFile();
        return;
    }
    // Slot numbers taken before name other objects now.
    m_generation = ++m_lastGeneration;
    m_openedFiles.clear();
    const auto reopen = qScopeGuard([&] {
        QStringList failures;
        for (const auto &[i, file] : released) {
            try {
                m_slots[i] = std::make_unique<Dictionary>(file, Dictionary::Options{false, m_progress, m_richText});
            } catch (const sqlite::Error &e) {
                failures.append(openFailureText(file, e));
            }
        }
        if (!failures.isEmpty())
            m_prompter.inform(failures.join(QLatin1Char('\n')), {}, desktop::Prompter::Icon::Warning);
    });
    replaceFile();
}

bool OpenSet::reopenSlot(int slot, const QString &path)
{
    if (slot < 0 || slot >= m_count || (m_slots[slot] && m_slots[slot]->inEditSession()))
        return false;
    // Slot numbers taken before may name another file's entries now.
    m_generation = ++m_lastGeneration;
    m_openedFiles.clear();
    m_slots[slot].reset();
    const OpenFailure failure = openSlot(slot, path);
    if (!failure.text.isEmpty()) {
        m_prompter.inform(failure.text, {}, desktop::Prompter::Icon::Warning);
        return false;
    }
    // Should the file fail again later, that is told again.
    m_reported.remove(path);
    m_foundDamaged.remove(path);
    return true;
}

Dictionary *OpenSet::dictionary(int slot) const
{
    if (slot < 0 || slot >= MaxDictionariesPerSet)
        return nullptr;
    return m_slots[slot].get();
}

sqlite::LikePattern compileKeywordPattern(const QString &pattern)
{
    sqlite::LikePattern::Problem problem{};
    std::optional<sqlite::LikePattern> compiled =
        sqlite::LikePattern::compile(pattern, sqlite::LikePattern::StrayBracket::Refuse, &problem);
    if (!compiled)
        throw sqlite::Error(sqlite::Error::Kind::BadPattern, SQLITE_ERROR, describePatternProblem(problem));
    return std::move(*compiled);
}

OpenSet::SearchOutcome OpenSet::searchKeyword(const QString &pattern, int limit, const Sink &sink)
{
    m_failedSlot = -1;
    const sqlite::LikePattern compiled = compileKeywordPattern(pattern);
    return searchEachSlot(
        limit,
        [&compiled](Dictionary &d, int rest, const std::function<void(const KeywordMatch &)> &found) {
            return d.searchKeyword(compiled, rest, found);
        },
        sink);
}

OpenSet::SearchOutcome OpenSet::searchCondition(const SearchCondition &condition, int limit, const Sink &sink)
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

template <typename Run>
SearchResults OpenSet::collect(const Run &run)
{
    SearchResults results;
    try {
        const SearchOutcome outcome = run([&results](int slot, const KeywordMatch &m) { results.rows.push_back({slot, m}); });
        results.limitReached = outcome.limitReached;
        results.cancelled = outcome.cancelled;
    } catch (const sqlite::Error &e) {
        results.failure = e;
    }
    return results;
}

SearchResults OpenSet::findKeyword(const QString &pattern, int limit)
{
    return collect([&](const Sink &sink) { return searchKeyword(pattern, limit, sink); });
}

SearchResults OpenSet::findCondition(const SearchCondition &condition, int limit)
{
    return collect([&](const Sink &sink) { return searchCondition(condition, limit, sink); });
}

OpenSet::SearchOutcome OpenSet::searchEachSlot(int limit, const Search &search, const Sink &sink)
{
    SearchOutcome outcome;
    std::optional<sqlite::Heartbeat> heartbeat;
    m_cancelRequested = false;
    if (m_busy.handler)
        heartbeat.emplace(m_busy.handler, m_busy.delay, m_busy.interval, [this] { return m_cancelRequested; });
    m_searching = true;
    m_found = 0;
    const auto done = qScopeGuard([this] {
        m_searching = false;
        m_cancelRequested = false;
    });
    std::optional<sqlite::Error> failure;
    for (int slot = 0; slot < m_count && outcome.count < limit; ++slot) {
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
                    m_found = ++outcome.count;
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
