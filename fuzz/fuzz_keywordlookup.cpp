// Differential check of the keyword lookup. The first line of the input is a pattern, every
// further line an entry whose keywords are separated by tabs. The keywords go into a fresh
// dictionary; the store's lookup (key index or trigram index) must return exactly the rows
// the matcher finds when it tests every keyword, in keyword order, for an unlimited and a
// small row limit.
#include "app/store/dictionary/dictionary.h"

#include "platform/sqlite/error.h"
#include "platform/sqlite/likepattern.h"
#include "platform/text/fold.h"

#include <QFile>
#include <QStringList>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <tuple>

using qm::sqlite::LikePattern;
using qm::store::Dictionary;

namespace {

constexpr int MaxEntries = 12;
constexpr int MaxKeywords = 4;

struct Row {
    QByteArray key; // the folded keyword as UTF-8: the store orders by its bytes
    qint32 number;
    QByteArray keyword;
    qint64 order; // insertion order, as the row number breaks ties
    bool operator<(const Row &o) const
    {
        return std::tie(key, number, keyword, order) < std::tie(o.key, o.number, o.keyword, o.order);
    }
};

QString describe(const QStringList &rows)
{
    return rows.join(QLatin1Char(' '));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size > 2048)
        return 0;
    const QString input = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    QStringList lines = input.split(QLatin1Char('\n'));
    const std::optional<LikePattern> pattern = LikePattern::compile(lines.takeFirst());
    if (!pattern || lines.isEmpty())
        return 0;

    static QTemporaryDir dir;
    static int serial = 0;
    const QString path = dir.filePath(QStringLiteral("lookup%1.dic").arg(++serial));
    std::vector<Row> expected;
    QStringList found;
    try {
        Dictionary::CreateDictionary(path, QStringLiteral("fuzz"), QString(), QString(), {false, false, false});
        Dictionary d(path);
        qint64 order = 0;
        for (qsizetype i = 0; i < lines.size() && i < MaxEntries; ++i) {
            QStringList keywords = lines[i].split(QLatin1Char('\t'), Qt::SkipEmptyParts);
            if (keywords.size() > MaxKeywords)
                keywords.resize(MaxKeywords);
            qm::store::Entry entry;
            entry.Viewer = 1;
            entry.Heading = keywords.value(0, QStringLiteral("entry"));
            entry.Document = QByteArray("body");
            const qint32 number = d.addEntry(entry, keywords);
            for (const QString &k : std::as_const(keywords)) {
                const QString folded = qm::text::fold(k);
                if (pattern->matchesFolded(folded))
                    expected.push_back({folded.toUtf8(), number, k.toUtf8(), order});
                ++order;
            }
        }
        std::sort(expected.begin(), expected.end());

        const int limits[] = {1000, 2};
        for (int limit : limits) {
            QStringList want;
            for (std::size_t i = 0; i < expected.size() && int(i) < limit; ++i)
                want << QString::fromUtf8(expected[i].keyword) + u'/' + QString::number(expected[i].number);
            QStringList got;
            d.searchKeyword(*pattern, limit, [&](const qm::store::KeywordMatch &m) {
                got << m.Index + u'/' + QString::number(m.DocumentNumber);
            });
            if (got != want) {
                std::fprintf(stderr, "lookup and full scan differ (limit %d)\n--- pattern\n%s\n--- lookup\n%s\n--- scan\n%s\n",
                             limit, qPrintable(pattern->source()), qPrintable(describe(got)), qPrintable(describe(want)));
                std::abort();
            }
        }
    } catch (const qm::sqlite::Error &e) {
        // A keyword the store refuses (e.g. one it cannot hold) ends the input.
        (void)e;
    }
    QFile::remove(path);
    return 0;
}
