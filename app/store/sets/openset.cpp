#include "app/store/sets/openset.h"

#include "app/store/dictionary/workingcopy.h"
#include "app/store/server/serverdictionary.h"
#include "app/store/sets/distribution.h"
#include "app/store/dictionary/storeerror.h"

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
            files.append({file, isServerLocation(file) ? QByteArray() : fileIdentity(file)});
    return files;
}

// What is under a member's name is looked at before the engine opens it: a folder, a pipe or a
// link that leads back to itself would otherwise be reported as a file that is missing or
// cannot be read, and reading a pipe can wait for ever. Empty when it is a file (or nothing, which the open reports).
std::optional<Error> notAFile(const QString &path)
{
    const QFileInfo info(path);
    struct stat st {};
    if (info.isDir())
        return Error(Error::Kind::MemberIsFolder, path);
    if (info.exists() && !info.isFile())
        return Error(Error::Kind::MemberNotFile, path);
    if (::stat(QFile::encodeName(path).constData(), &st) != 0 && errno == ELOOP)
        return Error(Error::Kind::MemberLinkLoop, path);
    return std::nullopt;
}

} // namespace

OpenSet::OpenSet(FailureReport report)
    : m_report(std::move(report))
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
    m_members = set->fileNames();
    std::vector<sqlite::Error> failures;
    QList<DamagedDictionary> damaged;
    QSet<QString> folders;
    for (int i = 0; i < m_count; ++i) {
        const QString &path = set->fileName(i);
        // Working copies of compactions that were killed would take up the disk for good.
        const QString folder = QFileInfo(path).absolutePath();
        if (!m_readOnly && !isServerLocation(path) && !folders.contains(folder)) {
            folders.insert(folder);
            removeStaleCompactionCopies(folder);
        }
        // The slot stays empty and the others open; lookups pass over it.
        const OpenFailure failure = openSlot(i, path);
        if (!failure.report)
            continue;
        if (!m_reported.contains(path)) {
            if (failure.damaged && m_damaged)
                damaged.append({path, failure.cause, i});
            else
                failures.push_back(*failure.report);
        }
        m_reported.insert(path);
    }
    tell(failures);
    // Last: the handler may open the set again.
    for (const DamagedDictionary &d : damaged)
        m_damaged(d);
}

MemberOptions OpenSet::memberOptions() const
{
    const std::chrono::seconds timeout = m_serverTimeout ? m_serverTimeout() : std::chrono::seconds(5);
    return {m_readOnly, m_progress, m_richText, timeout, m_passwords->asking(m_ask), m_openServer};
}

std::unique_ptr<DictionaryStorage> OpenSet::openReadOnly(const QString &location) const
{
    MemberOptions options = memberOptions();
    options.readOnly = true;
    options.progress = {};
    try {
        return openMember(location, options);
    } catch (const sqlite::Error &) {
        if (isServerLocation(location))
            m_passwords->forget(shownServerLocation(location));
        throw;
    }
}

OpenSet::OpenFailure OpenSet::openSlot(int slot, const QString &path)
{
    const bool server = isServerLocation(path);
    if (!server)
        if (std::optional<Error> failure = notAFile(path))
            return {*failure, std::nullopt, false};
    try {
        m_slots[slot] = openMember(path, memberOptions());
    } catch (const sqlite::Error &e) {
        // A password typed for a server that failed is asked again next time: it may be wrong.
        if (server)
            m_passwords->forget(shownServerLocation(path));
        return {openFailure(path, e), e, !server && isDamageError(e) && QFileInfo(path).isFile()};
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
    m_damaged({d->path(), error, slot});
    return true;
}

sqlite::Error OpenSet::openFailure(const QString &path, const sqlite::Error &e)
{
    // A server's reason is the cause; its location is shown without a password.
    if (isServerLocation(path))
        return Error(Error::Kind::MemberNotOpened, shownServerLocation(path), e.code()).withCause(e);
    const bool missing = e.kind() == sqlite::Error::Kind::FolderMissing || !QFileInfo::exists(path);
    if (missing)
        return Error(Error::Kind::FileMissing, path);
    return Error(Error::Kind::MemberNotOpened, path, e.code()).withCause(e);
}

void OpenSet::tell(const std::vector<sqlite::Error> &failures) const
{
    if (!failures.empty() && m_report)
        m_report(failures);
}

void OpenSet::close()
{
    releaseOthers();
    m_generation = ++m_lastGeneration;
    m_members.clear();
    // Every open slot is closed, even when no set is current any more.
    for (std::unique_ptr<DictionaryStorage> &slot : m_slots) {
        const std::unique_ptr<DictionaryStorage> dictionary = std::move(slot);
        if (!dictionary)
            continue;
        // An edit never finished is not stored.
        dictionary->rollbackEditSession();
        if (dictionary->isReadOnly() || m_foundDamaged.contains(dictionary->location()))
            continue;
        try {
            dictionary->recordCounts();
        } catch (const sqlite::Error &) {
            // A damaged file keeps its old counts; closing goes on.
        }
    }
}

void OpenSet::releaseWhile(const QString &path, const std::function<void()> &replace)
{
    releaseOthers();
    std::vector<std::pair<int, QString>> released;
    for (int i = 0; i < m_count; ++i) {
        // Only files are put in place of others; a server dictionary stays open.
        const Dictionary *file = dictionary(i);
        if (file && !file->inEditSession() && isSameFile(file->path(), path)) {
            released.emplace_back(i, file->path());
            m_slots[std::size_t(i)].reset();
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
        std::vector<sqlite::Error> failures;
        for (const auto &[i, file] : released) {
            try {
                m_slots[i] = std::make_unique<Dictionary>(file, Dictionary::Options{false, m_progress, m_richText});
            } catch (const sqlite::Error &e) {
                failures.push_back(openFailure(file, e));
            }
        }
        tell(failures);
    });
    replaceFile();
}

bool OpenSet::reopenSlot(int slot, const QString &path)
{
    if (slot < 0 || slot >= m_count || (m_slots[slot] && m_slots[slot]->inEditSession()))
        return false;
    releaseOthers();
    // Slot numbers taken before may name another file's entries now.
    m_generation = ++m_lastGeneration;
    m_openedFiles.clear();
    m_slots[slot].reset();
    const OpenFailure failure = openSlot(slot, path);
    if (failure.report) {
        tell({*failure.report});
        return false;
    }
    // Should the file fail again later, that is told again.
    m_reported.remove(path);
    m_foundDamaged.remove(path);
    return true;
}

DictionaryStorage *OpenSet::storage(int slot) const
{
    if (slot < 0 || slot >= MaxDictionariesPerSet)
        return nullptr;
    return m_slots[std::size_t(slot)].get();
}

Dictionary *OpenSet::dictionary(int slot) const
{
    return dynamic_cast<Dictionary *>(storage(slot));
}

SearchResults OpenSet::search(const SearchRequest &request, const RowHandler &onRow)
{
    std::vector<DictionaryStorage *> members;
    for (int slot = 0; slot < m_count; ++slot)
        members.push_back(storage(slot));
    return searchSlots(members, request, onRow);
}

SetFiles OpenSet::files() const
{
    MemberOptions options = memberOptions();
    options.password = m_passwords->remembered();
    SetFiles files{m_generation, {}, m_richText, readOnlyOpener(std::move(options))};
    for (int slot = 0; slot < m_count; ++slot) {
        const DictionaryStorage *open = m_slots[std::size_t(slot)].get();
        const QString member = slot < m_members.size() ? m_members[slot] : QString();
        files.files.append(open ? open->location() : isServerLocation(member) ? member : QString());
    }
    return files;
}

} // namespace qm::store
