#include "app/store/sets/databasemodule.h"

#include "app/store/dictionary/storeerror.h"

#include "platform/text/cp932.h"
#include "platform/text/textfile.h"

#include <QDir>
#include <QFileInfo>

#include <utility>

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

} // namespace

DatabaseModule::DatabaseModule(SetHost host, QString programFolder)
    : m_host(std::move(host))
    , m_programFolder(QDir::cleanPath(std::move(programFolder)))
    , m_open(m_host.report)
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
        tell(Error(Error::Kind::SetFileNotSaved, setFilePath()).withSystemError(r.errorCode));
    return r.ok;
}

bool DatabaseModule::createDefaultFiles()
{
    // The dictionary comes first: a start killed in between then leaves a dictionary no set
    // names yet, which the next start uses, rather than a set naming a dictionary not there.
    const std::optional<sqlite::Error> notCreated = createUserDictionary();
    const text::WriteResult written =
        text::writeFileAtomically(setFilePath(), encodeSetFile(defaultDictionarySetsText(m_host.defaultSetName, userDictionaryPath())));
    if (!notCreated && written.ok)
        return true;
    Error failure(Error::Kind::DefaultFilesNotCreated, m_programFolder);
    if (notCreated)
        failure.withCause(*notCreated);
    else
        failure.withSystemError(written.errorCode);
    // One message says it all: the dictionary that could not be made is not reported again
    // when the set is opened.
    m_open.markReported(userDictionaryPath());
    tell(failure);
    return false;
}

std::optional<sqlite::Error> DatabaseModule::createUserDictionary()
{
    if (FileExists(userDictionaryPath()))
        return std::nullopt;
    try {
        Dictionary::CreateDictionary(userDictionaryPath(), m_host.userDictionaryName, {}, {},
                                     {false, false, false});
    } catch (const sqlite::Error &e) {
        return e;
    }
    return std::nullopt;
}

void DatabaseModule::tell(const sqlite::Error &failure) const
{
    if (m_host.report)
        m_host.report({failure});
}

void DatabaseModule::CreateDefaultDictionarySets()
{
    createDefaultFiles();
}

void DatabaseModule::useDefaultSetInMemory()
{
    m_sets.clear();
    m_sets.add(DictionarySet(m_host.defaultSetName, {userDictionaryPath()}));
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
    if (contents.problem) {
        // The user's file is kept as it is: writing the default over it would lose the sets.
        tell(Error(Error::Kind::SetFileNotLoaded, setFilePath()).withCause(*contents.problem));
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
    tell(Error(Error::Kind::SetFileCopyFailed, setFilePath()));
    return false;
}

bool DatabaseModule::AddDictionaryToSet(const QString &path)
{
    const DictionarySet *set = m_sets.currentSet();
    if (!set)
        return false;
    if (set->isFull()) {
        tell(Error(Error::Kind::SetFull).withNumber(MaxDictionariesPerSet));
        return false;
    }
    if (const QString member = set->registeredAs(path); !member.isEmpty()) {
        // The member it matches is named: it may differ from the path in letter case.
        tell(Error(Error::Kind::AlreadyRegistered, member));
        return false;
    }
    return m_sets.addToCurrent(path);
}

} // namespace qm::store
