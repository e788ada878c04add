#include "setgenerator.h"

#include "words.h"

#include "app/common/storemessages.h"
#include "app/store/sets/databasemodule.h"
#include "app/store/dictionary/dictionary.h"
#include "platform/desktop/scriptedprompter.h"
#include "platform/rtf/rtf.h"

#include <QDir>
#include <QFileInfo>

namespace qm::bench {
namespace {

constexpr int VocabularyWords = 20000;
constexpr int VocabularyStems = 400;

// Renewal dates fall between these, spread over the years a dictionary grows.
const QDate FirstDate(2004, 4, 1);
constexpr int DateSpanDays = 20 * 365;

QDateTime renewalDate(Prng &rng)
{
    const QDate day = FirstDate.addDays(rng.below(DateSpanDays));
    const QTime time(rng.between(0, 23), rng.between(0, 59), rng.between(0, 59));
    return QDateTime(day, time, Qt::UTC); // UTC: the same text in every time zone
}

QString heading(Prng &rng, const QStringList &keywords)
{
    if (keywords.size() > 1 && rng.perMille(300))
        return keywords[0] + QStringLiteral("・") + keywords[1];
    return keywords.value(0, QStringLiteral("見出し"));
}

} // namespace

QString GeneratorOptions::problem() const
{
    if (folder.isEmpty())
        return QStringLiteral("no output folder");
    if (dictionaries < 1 || dictionaries > store::MaxDictionariesPerSet)
        return QStringLiteral("a set holds 1 to %1 dictionaries").arg(store::MaxDictionariesPerSet);
    if (entries < 1)
        return QStringLiteral("at least one entry per dictionary");
    if (keywordsPerEntry < 1)
        return QStringLiteral("at least one keyword per entry");
    if (qint64(entries) * keywordsPerEntry > qint64(INT_MAX))
        return QStringLiteral("too many keyword rows for one dictionary");
    if (bodyBytes < 16)
        return QStringLiteral("bodies of at least 16 bytes");
    if (batchEntries < 1)
        return QStringLiteral("batches of at least one entry");
    return {};
}

QString GeneratorOptions::signature() const
{
    // The batch size changes only the speed of writing, not what is written. The version goes
    // up whenever the same options start to give other files, so no stale cache is reused.
    return QStringLiteral("v%1-d%2-e%3-k%4-s%5-b%6-%7")
        .arg(GeneratorVersion)
        .arg(dictionaries)
        .arg(entries)
        .arg(keywordsPerEntry)
        .arg(seed)
        .arg(bodyBytes)
        .arg(bodies.toString().remove(u'=').replace(u',', u'_'));
}

SetGenerator::SetGenerator(GeneratorOptions options)
    : m_options(std::move(options))
{
}

QString SetGenerator::dictionaryFileName(int index)
{
    return QStringLiteral("Dict%1.dic").arg(index, 2, 10, QLatin1Char('0'));
}

QString SetGenerator::dictionaryPath(int index) const
{
    return QDir(m_options.folder).absoluteFilePath(dictionaryFileName(index));
}

void SetGenerator::run()
{
    if (const QString p = m_options.problem(); !p.isEmpty())
        throw GeneratorError(p);
    if (!QDir().mkpath(m_options.folder))
        throw GeneratorError(QStringLiteral("cannot create the folder %1").arg(m_options.folder));
    if (QFileInfo::exists(QDir(m_options.folder).filePath(QStringLiteral("DicSets.ini"))))
        throw GeneratorError(QStringLiteral("%1 already holds a dictionary set").arg(m_options.folder));
    const Vocabulary vocabulary(m_options.seed, VocabularyWords, VocabularyStems);
    for (int i = 0; i < m_options.dictionaries; ++i)
        generateDictionary(i, vocabulary);
    writeSetFile();
}

void SetGenerator::generateDictionary(int index, const Vocabulary &vocabulary)
{
    const QString path = dictionaryPath(index);
    try {
        store::Dictionary::CreateDictionary(path, QStringLiteral("合成辞書 %1").arg(index + 1),
                                            QStringLiteral("qm-gendict"),
                                            QStringLiteral("seed %1").arg(m_options.seed), {false, false, false});
        // As the program does: the store keeps the text of each rich-text body for body searches.
        store::Dictionary dictionary(path, {false, {}, &rtf::rtfToPlainText});
        // Generated files are thrown away when a run breaks off, so the writer trades crash
        // safety for speed; the cache keeps the random index inserts off the disk.
        dictionary.database().exec("PRAGMA synchronous=OFF; PRAGMA journal_mode=MEMORY; "
                                   "PRAGMA cache_size=-262144;");
        Prng rng(Prng::derive(m_options.seed, quint64(index) + 1));
        KeywordFactory keywords(rng, vocabulary);
        BodyFactory bodies(rng, m_options.bodyBytes);
        std::vector<store::Dictionary::NewEntry> batch;
        for (qint64 done = 0; done < m_options.entries;) {
            batch.clear();
            for (; done < m_options.entries && int(batch.size()) < m_options.batchEntries; ++done) {
                store::Dictionary::NewEntry e;
                e.keywords = keywords.keywords(m_options.keywordsPerEntry);
                e.entry.Viewer = m_options.bodies.draw(rng);
                e.entry.Heading = heading(rng, e.keywords);
                e.entry.Document = bodies.make(e.entry.Viewer, e.entry.Heading, e.keywords);
                e.entry.RenewalDate = renewalDate(rng);
                batch.push_back(std::move(e));
            }
            dictionary.addEntries(batch);
            if (m_progress)
                m_progress({index, m_options.dictionaries, done, m_options.entries});
        }
        dictionary.setProperty(QStringLiteral("IndexRecordCount"),
                               qint64(m_options.entries) * m_options.keywordsPerEntry);
        dictionary.setProperty(QStringLiteral("DocumentRecordCount"), m_options.entries);
    } catch (const sqlite::Error &e) {
        throw GeneratorError(QStringLiteral("%1: %2").arg(path, e.message()));
    }
}

void SetGenerator::writeSetFile()
{
    desktop::ScriptedPrompter prompter;
    store::DatabaseModule module(qm::app::storeHost(prompter), QDir(m_options.folder).absolutePath());
    store::DictionarySet set(QStringLiteral("合成辞書セット %1").arg(m_options.signature()));
    for (int i = 0; i < m_options.dictionaries; ++i)
        set.append(dictionaryPath(i));
    module.sets().add(set);
    module.sets().choose(0);
    if (!module.SaveDictionarySets())
        throw GeneratorError(prompter.texts().join(u'\n'));
}

} // namespace qm::bench
