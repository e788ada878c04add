// Feeds arbitrary bytes to the dictionary set file reader, as a file on disk (CP932, or UTF-8
// after a byte order mark) and as text, and checks that a file the reader accepts is written
// back to text that reads as the same table.
#include "app/store/sets/dictionaryset.h"

#include "platform/text/cp932.h"

#include <QFile>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

using namespace qm::store;

namespace {

[[noreturn]] void fail(const char *what, const QString &text)
{
    std::fprintf(stderr, "%s\n--- text\n%s\n", what, qPrintable(text));
    std::abort();
}

bool sameTable(const DictionarySetTable &a, const DictionarySetTable &b)
{
    if (a.DictionarySetCount != b.DictionarySetCount || a.OpenDictionarySetsIndex != b.OpenDictionarySetsIndex)
        return false;
    for (int i = 0; i < a.DictionarySetCount; ++i)
        if (!(a.DictionarySetList[i] == b.DictionarySetList[i]))
            return false;
    return true;
}

void checkText(const QString &text)
{
    const DictionarySetTable table = parseDictionarySets(text);
    if (table.DictionarySetCount < 0 || table.DictionarySetCount > MaxDictionarySets)
        fail("set count out of range", text);
    for (int i = 0; i < table.DictionarySetCount; ++i)
        if (table.DictionarySetList[i].count() < 0 || table.DictionarySetList[i].count() > MaxDictionariesPerSet)
            fail("file count out of range", text);
    if (checkDictionarySets(text))
        return;
    // A file without problems loses nothing when it is written back.
    const QString written = formatDictionarySets(table);
    if (checkDictionarySets(written))
        fail("the written file has a problem", written);
    if (!sameTable(parseDictionarySets(written), table))
        fail("the written file reads as another table", written);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static QTemporaryDir dir;
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const QString path = dir.filePath(QStringLiteral("DicSets.ini"));
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
            std::abort();
    }
    const SetFileContents contents = readDictionarySetsFile(path);
    if (!contents.missing && !contents.problem) {
        const QString text = bytes.startsWith("\xEF\xBB\xBF") ? QString::fromUtf8(bytes.sliced(3))
                                                              : qm::text::cp932::decode(bytes);
        if (!sameTable(contents.table, parseDictionarySets(text)))
            fail("the file reads as another table than its text", text);
    }
    checkText(qm::text::cp932::decode(bytes));
    checkText(QString::fromUtf8(bytes));
    return 0;
}
