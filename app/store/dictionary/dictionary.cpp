#include "app/store/dictionary/dictionary.h"

#include "app/store/care/backup.h"

namespace qm::store {

Dictionary::Dictionary(const QString &path)
    : Dictionary(path, Options{})
{
}

Dictionary::Dictionary(const QString &path, const Options &options)
    : m_file(path, options)
    , m_entries(m_file)
    , m_searcher(m_file)
{
}

Dictionary::~Dictionary() = default;

void Dictionary::CreateDictionary(const QString &fileName, const QString &dictionaryName, const QString &author,
                                  const QString &comment, const std::array<bool, 3> &locks)
{
    DictionaryFile::create(fileName, {dictionaryName, author, comment, locks});
}

void Dictionary::CreateDictionary(const QString &fileName, const DictionaryDescription &description)
{
    DictionaryFile::create(fileName, description);
}

bool Dictionary::IsDictionaryFile(const QString &fileName)
{
    return DictionaryFile::isDictionaryFile(fileName);
}

QString Dictionary::backUp(const QString &root, const GenerationPolicy &policy, const QDateTime &now,
                           const Progress &progress)
{
    return BackupDictionary(m_file.path(), root, policy, now, progress);
}

namespace {

// While a scope holds the file's shared lock, its pages are read through a memory map rather
// than a system call each: no writer can change the file meanwhile, and the map is given up
// with the lock.
class MappedReads final
{
public:
    explicit MappedReads(DictionaryFile &file)
        : m_file(file)
    {
        m_file.database().exec("PRAGMA mmap_size=1073741824");
    }
    ~MappedReads()
    {
        try {
            m_file.database().exec("PRAGMA mmap_size=0");
        } catch (const sqlite::Error &) {
            // The next statement reads through the map until it goes; nothing is lost.
        }
    }
    MappedReads(const MappedReads &) = delete;
    MappedReads &operator=(const MappedReads &) = delete;

private:
    DictionaryFile &m_file;
};

class FileReadScope final : public DictionaryStorage::ReadScope
{
public:
    explicit FileReadScope(DictionaryFile &file)
        : m_mapped(file)
        , m_read(file)
    {
    }

private:
    // Declared first: the map goes after the transaction ends.
    MappedReads m_mapped;
    ReadTransaction m_read;
};

} // namespace

std::unique_ptr<DictionaryStorage::ReadScope> Dictionary::holdReads()
{
    // Once, before the transaction: inside it the file is not followed any more.
    m_file.followReplacement();
    return std::make_unique<FileReadScope>(m_file);
}

} // namespace qm::store
