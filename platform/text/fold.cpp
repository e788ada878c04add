#include "fold.h"

#include <QList>

namespace qm::text {
namespace {

bool isAscii(QStringView text)
{
    for (QChar c : text)
        if (c.unicode() >= 0x80)
            return false;
    return true;
}

void katakanaToHiragana(QString &s)
{
    for (QChar &c : s) {
        const char16_t u = c.unicode();
        // ァ..ヶ and the iteration marks ヽヾ have hiragana twins 0x60 below.
        if ((u >= 0x30A1 && u <= 0x30F6) || u == 0x30FD || u == 0x30FE)
            c = QChar(char16_t(u - 0x60));
    }
}

} // namespace

QString fold(QStringView text)
{
    if (isAscii(text))
        return text.toString().toLower();
    QString s = text.toString().normalized(QString::NormalizationForm_KC).toCaseFolded();
    katakanaToHiragana(s);
    return s;
}

QString foldVersion()
{
    // Raise the first number whenever fold() changes what it returns for any text.
    return QStringLiteral("1/unicode-%1").arg(int(QChar::currentUnicodeVersion()));
}

QString foldChar(char32_t codePoint)
{
    const char32_t cp[1] = {codePoint};
    return fold(QString::fromUcs4(cp, 1));
}

std::u32string codePoints(QStringView text)
{
    std::u32string out;
    codePoints(text, out);
    return out;
}

void codePoints(QStringView text, std::u32string &out)
{
    // As QStringView::toUcs4() reads it (half a surrogate pair is U+FFFD), without its list.
    out.clear();
    out.reserve(std::size_t(text.size()));
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i].unicode();
        if (QChar::isHighSurrogate(unit) && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            out.push_back(QChar::surrogateToUcs4(unit, text[++i].unicode()));
        else
            out.push_back(QChar::isSurrogate(unit) ? char32_t(QChar::ReplacementCharacter) : char32_t(unit));
    }
}

} // namespace qm::text
