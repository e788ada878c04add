#include "japanesetext.h"

#include <QApplication>
#include <QFont>
#include <QLocale>
#include <QStringList>

namespace qm::app {
namespace {

// Japanese fonts of Linux distributions, best first.
QStringList gothicFamilies()
{
    return {QStringLiteral("Noto Sans CJK JP"), QStringLiteral("IPAPGothic"), QStringLiteral("IPAexGothic"),
            QStringLiteral("IPAGothic"), QStringLiteral("VL PGothic"), QStringLiteral("TakaoPGothic")};
}

QStringList fixedGothicFamilies()
{
    return QStringList{QStringLiteral("Noto Sans Mono CJK JP"), QStringLiteral("IPAGothic"),
                       QStringLiteral("VL Gothic"), QStringLiteral("TakaoGothic")}
        + gothicFamilies();
}

QStringList minchoFamilies()
{
    return {QStringLiteral("Noto Serif CJK JP"), QStringLiteral("IPAPMincho"), QStringLiteral("IPAexMincho"),
            QStringLiteral("IPAMincho"), QStringLiteral("TakaoPMincho")};
}

QStringList fixedMinchoFamilies()
{
    return QStringList{QStringLiteral("IPAMincho"), QStringLiteral("TakaoMincho")} + minchoFamilies();
}

void substitute(const QStringList &names, const QStringList &families)
{
    for (const QString &name : names)
        QFont::insertSubstitutions(name, families);
}

} // namespace

void prepareJapaneseText()
{
    // The font matcher picks fallback fonts for the language it is told; left to the locale, a
    // non-Japanese one may give Chinese glyph forms.
    qputenv("FC_LANG", "ja");
}

void useJapaneseFonts()
{
    substitute({QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("MS PGothic")}, gothicFamilies());
    substitute({QStringLiteral("ＭＳ ゴシック"), QStringLiteral("MS Gothic")}, fixedGothicFamilies());
    substitute({QStringLiteral("ＭＳ Ｐ明朝"), QStringLiteral("MS PMincho")}, minchoFamilies());
    substitute({QStringLiteral("ＭＳ 明朝"), QStringLiteral("MS Mincho")}, fixedMinchoFamilies());

    // The desktop's font keeps Latin text; kanji and kana come from the first Japanese font.
    QFont font = QApplication::font();
    font.setFamilies(QStringList{font.family()} + gothicFamilies());
    QApplication::setFont(font);
    QLocale::setDefault(QLocale(QLocale::Japanese, QLocale::Japan));
}

} // namespace qm::app
