#include "words.h"

namespace qm::bench {
namespace {

QStringList table(const char *utf8)
{
    return QString::fromUtf8(utf8).split(u' ', Qt::SkipEmptyParts);
}

// Roughly by how often a syllable starts a Japanese word; "ん" is last so that it can be left
// out of first positions.
constexpr char Hiragana[] =
    "か し こ た き さ と は せ ま な き け に あ い う え お く す そ ち つ て の ひ ふ へ ほ "
    "み む め も や ゆ よ ら り る れ ろ わ ね ぬ が ぎ ぐ げ ご ざ じ ず ぜ ぞ だ で ど "
    "ば び ぶ べ ぼ ぱ ぴ ぷ ぺ ぽ きょ しゃ しょ ちゅ りょ ん";
constexpr char Katakana[] =
    "カ シ コ タ キ サ ト ハ セ マ ナ キ ケ ニ ア イ ウ エ オ ク ス ソ チ ツ テ ノ ヒ フ ヘ ホ "
    "ミ ム メ モ ヤ ユ ヨ ラ リ ル レ ロ ワ ネ ヌ ガ ギ グ ゲ ゴ ザ ジ ズ ゼ ゾ ダ デ ド "
    "バ ビ ブ ベ ボ パ ピ プ ペ ポ キョ シャ ショ チュ リョ ン";
constexpr char HalfWidth[] =
    "ｶ ｼ ｺ ﾀ ｷ ｻ ﾄ ﾊ ｾ ﾏ ﾅ ｷ ｹ ﾆ ｱ ｲ ｳ ｴ ｵ ｸ ｽ ｿ ﾁ ﾂ ﾃ ﾉ ﾋ ﾌ ﾍ ﾎ "
    "ﾐ ﾑ ﾒ ﾓ ﾔ ﾕ ﾖ ﾗ ﾘ ﾙ ﾚ ﾛ ﾜ ﾈ ﾇ ｶﾞ ｷﾞ ｸﾞ ｹﾞ ｺﾞ ｻﾞ ｼﾞ ｽﾞ ｾﾞ ｿﾞ ﾀﾞ ﾃﾞ ﾄﾞ "
    "ﾊﾞ ﾋﾞ ﾌﾞ ﾍﾞ ﾎﾞ ﾊﾟ ﾋﾟ ﾌﾟ ﾍﾟ ﾎﾟ ｷｮ ｼｬ ｼｮ ﾁｭ ﾘｮ ﾝ";
// Common kanji, the most frequent first.
constexpr char Kanji[] =
    "日本人大学生国語文字時間会社電話名前新聞天気手紙自動車辞書漢字研究情報技術経済政治歴史"
    "地理音楽美術映画写真料理旅行病院医者薬品物化数英言葉意味説明問題解決方法結果目的由関係"
    "世界市場工銀郵便水道交通信計算機器械設製開発管運営組織度法律規則教育校先試験練習山川海"
    "空花草木森林石鉄金銅光色赤青白黒春夏秋冬朝昼夜東西南北上下左右内外前後高低長短";

constexpr char Consonants[] = "bcdfghklmnprstvwz";
constexpr char Vowels[] = "aeiou";
constexpr const char *Codas[] = {"", "", "", "n", "r", "s", "t", "x", "l"};

} // namespace

const QStringList &WordMaker::hiraganaSyllables()
{
    static const QStringList t = table(Hiragana);
    return t;
}

const QStringList &WordMaker::katakanaSyllables()
{
    static const QStringList t = table(Katakana);
    return t;
}

const QStringList &WordMaker::halfWidthSyllables()
{
    static const QStringList t = table(HalfWidth);
    return t;
}

const QString &WordMaker::kanjiCharacters()
{
    static const QString t = QString::fromUtf8(Kanji);
    return t;
}

QString WordMaker::kana(Prng &rng, const QStringList &syllables, int count, const QString &longMark)
{
    QString out;
    for (int i = 0; i < count; ++i) {
        // "ん" (last in the table) never starts a word.
        const quint32 bound = quint32(syllables.size() - (out.isEmpty() ? 1 : 0));
        out += syllables.at(rng.skewedBelow(bound));
        if (!longMark.isEmpty() && rng.perMille(150))
            out += longMark;
    }
    return out;
}

QString WordMaker::kanji(Prng &rng, int count)
{
    const QString &chars = kanjiCharacters();
    QString out;
    for (int i = 0; i < count; ++i)
        out += chars.at(rng.skewedBelow(quint32(chars.size())));
    return out;
}

QString WordMaker::latin(Prng &rng, int syllables)
{
    QString out;
    for (int i = 0; i < syllables; ++i) {
        out += QLatin1Char(Consonants[rng.skewedBelow(sizeof Consonants - 1)]);
        out += QLatin1Char(Vowels[rng.below(sizeof Vowels - 1)]);
    }
    out += QLatin1String(Codas[rng.below(std::size(Codas))]);
    if (rng.perMille(40))
        out += QString::number(rng.between(1, 99));
    return out;
}

QString WordMaker::latinCase(Prng &rng, QString word)
{
    const int style = int(rng.below(100));
    if (style < 40)
        return word;
    if (style < 75)
        return word.left(1).toUpper() + word.mid(1);
    if (style < 85)
        return word.toUpper();
    const qsizetype cut = word.size() / 2; // camelCase
    return word.left(cut) + word.mid(cut, 1).toUpper() + word.mid(cut + 1);
}

QString WordMaker::make(Prng &rng, WordKind kind)
{
    switch (kind) {
    case WordKind::Hiragana: return kana(rng, hiraganaSyllables(), rng.between(2, 5), {});
    case WordKind::Katakana:
        return kana(rng, katakanaSyllables(), rng.between(2, 6), QStringLiteral("ー"));
    case WordKind::HalfWidthKatakana:
        return kana(rng, halfWidthSyllables(), rng.between(2, 5), QStringLiteral("ｰ"));
    case WordKind::Kanji: return kanji(rng, rng.between(2, 4));
    case WordKind::Latin: return latinCase(rng, latin(rng, rng.between(1, 4)));
    }
    return {};
}

QString WordMaker::tail(Prng &rng, WordKind kind, int maxSyllables)
{
    const int n = rng.between(1, maxSyllables);
    switch (kind) {
    case WordKind::Hiragana: return kana(rng, hiraganaSyllables(), n, {});
    case WordKind::Katakana: return kana(rng, katakanaSyllables(), n, QStringLiteral("ー"));
    case WordKind::HalfWidthKatakana: return kana(rng, halfWidthSyllables(), n, QStringLiteral("ｰ"));
    case WordKind::Kanji: return kanji(rng, n);
    case WordKind::Latin: return latin(rng, n);
    }
    return {};
}

Vocabulary::Vocabulary(quint64 seed, int words, int stems)
{
    Prng rng(Prng::derive(seed, 0x766f6361)); // its own stream, the same for every dictionary
    m_words.reserve(words);
    for (int i = 0; i < words; ++i)
        m_words.append(WordMaker::make(rng, WordKind(rng.below(WordKindCount))));
    m_stems.reserve(std::size_t(stems));
    for (int i = 0; i < stems; ++i) {
        const auto kind = WordKind(rng.below(WordKindCount));
        m_stems.push_back({WordMaker::tail(rng, kind, 2), kind});
    }
}

KeywordFactory::KeywordFactory(Prng &rng, const Vocabulary &vocabulary)
    : m_rng(rng)
    , m_vocabulary(vocabulary)
{
}

WordKind KeywordFactory::randomKind()
{
    // Per mille: hiragana, katakana, half-width katakana, kanji, Latin.
    static constexpr int weights[WordKindCount] = {220, 220, 100, 230, 230};
    int r = int(m_rng.below(1000));
    for (int k = 0; k < WordKindCount; ++k) {
        if (r < weights[k])
            return WordKind(k);
        r -= weights[k];
    }
    return WordKind::Latin;
}

QString KeywordFactory::keyword()
{
    const int r = int(m_rng.below(100));
    if (r < 25)
        return m_vocabulary.word(m_rng);
    if (r < 45) {
        const Vocabulary::Stem &s = m_vocabulary.stem(m_rng);
        return s.text + WordMaker::tail(m_rng, s.kind, 3);
    }
    return WordMaker::make(m_rng, randomKind());
}

QStringList KeywordFactory::keywords(int count)
{
    QStringList out;
    out.reserve(count);
    for (int i = 0; i < count; ++i)
        out.append(keyword());
    return out;
}

} // namespace qm::bench
