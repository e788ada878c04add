// Feeds arbitrary bytes to the dictionary opener as a database file: the soundness check, then
// opening it read-only and read-write and reading it by keyword and by entry number. Refusing
// the file (sqlite::Error) is fine; anything else is not.
#include "app/store/dictionary/dictionary.h"

#include "platform/sqlite/error.h"
#include "platform/sqlite/likepattern.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdlib>

using qm::sqlite::LikePattern;
using qm::store::Dictionary;

namespace {

void writeFile(const QString &path, const std::uint8_t *data, std::size_t size)
{
    for (const char *side : {"-journal", "-wal", "-shm"})
        QFile::remove(path + QLatin1String(side));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)
        || file.write(reinterpret_cast<const char *>(data), qint64(size)) != qint64(size))
        std::abort();
}

void readAround(Dictionary &d)
{
    static const char16_t *const patterns[] = {u"*", u"a*", u"き*", u"*ord*", u"*きーわ*", u"?#*", u"[a-z]*"};
    std::vector<qint32> numbers{1, 2};
    for (const char16_t *text : patterns) {
        const std::optional<LikePattern> p = LikePattern::compile(QStringView(text));
        try {
            d.searchKeyword(*p, 20, [&](const qm::store::KeywordMatch &m) { numbers.push_back(m.DocumentNumber); });
        } catch (const qm::sqlite::Error &) {
        }
    }
    for (qint32 n : numbers) {
        try {
            if (const std::optional<qm::store::Entry> e = d.document(n))
                d.keywords(e->DocumentNumber);
        } catch (const qm::sqlite::Error &) {
        }
    }
    try {
        d.indexRowCount();
        d.documentRowCount();
    } catch (const qm::sqlite::Error &) {
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("fuzz.dic"));

    writeFile(path, data, size);
    Dictionary::IsDictionaryFile(path);
    try {
        Dictionary::Options options;
        options.readOnly = true;
        Dictionary d(path, options);
        readAround(d);
    } catch (const qm::sqlite::Error &) {
    }

    writeFile(path, data, size);
    try {
        Dictionary d(path);
        readAround(d);
    } catch (const qm::sqlite::Error &) {
    }
    return 0;
}
