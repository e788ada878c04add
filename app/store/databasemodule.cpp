#include "databasemodule.h"

#include "platform/desktop/prompter.h"
#include "platform/sqlite/likepattern.h"
#include "platform/sqlite/transaction.h"
#include "platform/text/cp932.h"
#include "platform/text/textfile.h"

#include <QDir>
#include <QFileInfo>

#include <sqlite3.h>

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

void DatabaseModule::clearSets()
{
    DictionarySetList = {};
    DictionarySetCount = 0;
    OpenDictionarySetsIndex = -1;
}

bool DatabaseModule::writeSetFile(const QString &text)
{
    const text::WriteResult r = text::writeFileAtomically(setFilePath(), encodeSetFile(text));
    if (!r.ok)
        m_prompter.inform(QStringLiteral("辞書セットファイル %1 を保存できませんでした。\n%2")
                              .arg(QDir::toNativeSeparators(setFilePath()), r.error));
    return r.ok;
}

void DatabaseModule::CreateDefaultDictionarySets()
{
    writeSetFile(defaultDictionarySetsText(userDictionaryPath()));
    if (FileExists(userDictionaryPath()))
        return;
    try {
        Dictionary::CreateDictionary(userDictionaryPath(), QStringLiteral("ユーザー辞書"), {}, {},
                                     {false, false, false});
    } catch (const sqlite::Error &e) {
        m_prompter.inform(QStringLiteral("辞書 %1 を作成できませんでした。\n%2")
                              .arg(QDir::toNativeSeparators(userDictionaryPath()), e.message()));
    }
}

// Reads the set file into the table; false when it could not be read at all.
bool DatabaseModule::readSetFile()
{
    clearSets();
    const std::optional<QString> text = text::readTextFile(setFilePath());
    if (!text)
        return false;
    const DictionarySetTable t = parseDictionarySets(*text);
    DictionarySetList = t.DictionarySetList;
    DictionarySetCount = t.DictionarySetCount;
    OpenDictionarySetsIndex = t.OpenDictionarySetsIndex;
    // A file that names no current set (or -1, saved after a set failed to open) keeps its
    // sets: the first one becomes current.
    if (OpenDictionarySetsIndex == -1 && DictionarySetCount > 0)
        OpenDictionarySetsIndex = 0;
    return true;
}

void DatabaseModule::LoadDictionarySets()
{
    clearSets();
    if (!FileExists(setFilePath()))
        CreateDefaultDictionarySets();
    if (!QFileInfo(m_programFolder + QStringLiteral("/manual")).isDir() && m_manualMissing)
        m_manualMissing();
    if (readSetFile() && OpenDictionarySetsIndex != -1)
        return;
    // No set listed: start again from the default file.
    CreateDefaultDictionarySets();
    if (readSetFile() && OpenDictionarySetsIndex != -1)
        return;
    // The folder cannot be written: go on with the default set in memory.
    clearSets();
    DictionarySetCount = 1;
    DictionarySetList[0].SetName = QStringLiteral("ユーザー辞書セット");
    DictionarySetList[0].FileCount = 1;
    DictionarySetList[0].FileNames[0] = userDictionaryPath();
    OpenDictionarySetsIndex = 0;
}

bool DatabaseModule::SaveDictionarySets()
{
    DictionarySetTable t;
    t.DictionarySetList = DictionarySetList;
    t.DictionarySetCount = qint16(qBound(0, int(DictionarySetCount), MaxDictionarySets));
    t.OpenDictionarySetsIndex = OpenDictionarySetsIndex;
    return writeSetFile(formatDictionarySets(t));
}

void DatabaseModule::AddDictionaryToSet(const QString &path)
{
    if (OpenDictionarySetsIndex < 0 || OpenDictionarySetsIndex >= MaxDictionarySets)
        return;
    DictionarySet &set = DictionarySetList[OpenDictionarySetsIndex];
    if (set.FileCount >= MaxDictionariesPerSet) {
        m_prompter.inform(QStringLiteral("登録できる辞書は") + QString::number(MaxDictionariesPerSet)
                          + QStringLiteral("個までです"));
        return;
    }
    for (int i = 0; i < set.FileCount; ++i) {
        if (set.FileNames[i].compare(path, Qt::CaseInsensitive) == 0) {
            m_prompter.inform(path + QStringLiteral(" はすでに登録されています"));
            return;
        }
    }
    set.FileNames[set.FileCount++] = path;
}

void DatabaseModule::OpenDictionarySet()
{
    ++m_openGeneration;
    if (OpenDictionarySetsIndex == -1)
        return;
    if (OpenDictionarySetsIndex < 0 || OpenDictionarySetsIndex >= MaxDictionarySets) {
        OpenDictionarySetsIndex = -1;
        return;
    }
    const DictionarySet &set = DictionarySetList[OpenDictionarySetsIndex];
    DictionaryCount = set.FileCount;
    for (int i = 0; i < DictionaryCount; ++i) {
        try {
            DictionaryDatabases[i] = std::make_unique<Dictionary>(set.FileNames[i]);
        } catch (const sqlite::Error &e) {
            if (e.kind() == sqlite::Error::Kind::FolderMissing) {
                m_prompter.inform(set.FileNames[i] + QStringLiteral("が見つかりません"));
                continue;
            }
            CloseDictionarySet();
            OpenDictionarySetsIndex = -1;
            return;
        }
    }
}

void DatabaseModule::CloseDictionarySet()
{
    ++m_openGeneration;
    if (OpenDictionarySetsIndex == -1)
        return;
    for (int i = 0; i < MaxDictionariesPerSet; ++i) {
        std::unique_ptr<Dictionary> dictionary = std::move(DictionaryDatabases[i]);
        if (!dictionary)
            continue;
        try {
            sqlite::Transaction tx(dictionary->database());
            const qint64 indexRows = dictionary->indexRowCount();
            const qint64 documentRows = dictionary->documentRowCount();
            dictionary->setProperty(QStringLiteral("IndexRecordCount"), qint64(qMin<qint64>(indexRows, INT_MAX)));
            dictionary->setProperty(QStringLiteral("DocumentRecordCount"), qint64(qMin<qint64>(documentRows, INT_MAX)));
            tx.commit();
        } catch (const sqlite::Error &) {
            // A read-only or damaged file keeps its old counts; closing goes on.
        }
    }
}

Dictionary *DatabaseModule::dictionary(int slot) const
{
    if (slot < 0 || slot >= MaxDictionariesPerSet)
        return nullptr;
    return DictionaryDatabases[slot].get();
}

DatabaseModule::SearchOutcome DatabaseModule::searchKeyword(
    const QString &pattern, int limit, const std::function<void(int, const KeywordMatch &)> &sink)
{
    const std::optional<sqlite::LikePattern> compiled = sqlite::LikePattern::compile(pattern);
    if (!compiled)
        throw sqlite::Error(sqlite::Error::Kind::BadPattern, SQLITE_ERROR,
                            QStringLiteral("malformed pattern: %1").arg(pattern));
    SearchOutcome outcome;
    for (int slot = 0; slot < DictionaryCount && outcome.count < limit; ++slot) {
        Dictionary *d = dictionary(slot);
        if (!d)
            throw sqlite::Error(sqlite::Error::Kind::General, SQLITE_MISUSE,
                                QStringLiteral("dictionary slot %1 is not open").arg(slot));
        outcome.count += d->searchKeyword(*compiled, limit - outcome.count,
                                          [&](const KeywordMatch &m) { sink(slot, m); });
    }
    outcome.limitReached = outcome.count >= limit;
    return outcome;
}

} // namespace qm::store
