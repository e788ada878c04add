#pragma once

#include "prng.h"

#include <QString>
#include <QStringList>

namespace qm::bench {

// The scripts keywords are written in. Japanese users mix all of them in one dictionary.
enum class WordKind { Hiragana, Katakana, HalfWidthKatakana, Kanji, Latin };
constexpr int WordKindCount = 5;

// Makes single words of one script from syllable tables. Common syllables and characters come
// first in the tables and are drawn more often, so words share their first characters the way
// real ones do.
class WordMaker final
{
public:
    static QString make(Prng &rng, WordKind kind);
    // A word of the kind with one to `maxSyllables` more syllables, to follow a stem.
    static QString tail(Prng &rng, WordKind kind, int maxSyllables);

    // The three kana tables, in the same order: entry i of each is one syllable.
    static const QStringList &hiraganaSyllables();
    static const QStringList &katakanaSyllables();
    static const QStringList &halfWidthSyllables();
    static const QString &kanjiCharacters();

private:
    static QString kana(Prng &rng, const QStringList &table, int syllables, const QString &longMark);
    static QString kanji(Prng &rng, int characters);
    static QString latin(Prng &rng, int syllables);
    static QString latinCase(Prng &rng, QString word);
};

// Words every dictionary of a set draws from, so the same keyword turns up in several
// dictionaries, and stems that many keywords start with. Made from the set's seed alone.
class Vocabulary final
{
public:
    Vocabulary(quint64 seed, int words, int stems);

    const QString &word(Prng &rng) const { return m_words.at(rng.skewedBelow(quint32(m_words.size()))); }
    struct Stem {
        QString text;
        WordKind kind;
    };
    const Stem &stem(Prng &rng) const { return m_stems.at(rng.skewedBelow(quint32(m_stems.size()))); }
    const QStringList &words() const { return m_words; }

private:
    QStringList m_words;
    std::vector<Stem> m_stems;
};

// The keywords of one entry: a mix of shared words, stem-and-tail words and fresh words of
// every script.
class KeywordFactory final
{
public:
    KeywordFactory(Prng &rng, const Vocabulary &vocabulary);

    QString keyword();
    QStringList keywords(int count);

private:
    WordKind randomKind();

    Prng &m_rng;
    const Vocabulary &m_vocabulary;
};

} // namespace qm::bench
