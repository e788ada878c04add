#include "controls/dialogs/textmatch.h"

#include "platform/text/fold.h"

#include <QString>

#include <algorithm>
#include <vector>

namespace corvane {
namespace {

char32_t codePointAt(QStringView text, qsizetype i)
{
    const QChar c = text[i];
    if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
        return QChar::surrogateToUcs4(c, text[i + 1]);
    return c.unicode();
}

qsizetype unitsOf(char32_t codePoint)
{
    return QChar::requiresSurrogates(codePoint) ? 2 : 1;
}

// A mark that belongs to the character before it. The half-width voiced sound marks are
// letters of their own in Unicode, but fold to combining marks that join the kana before them.
bool joinsPrevious(char32_t codePoint)
{
    switch (QChar::category(codePoint)) {
    case QChar::Mark_NonSpacing:
    case QChar::Mark_SpacingCombining:
    case QChar::Mark_Enclosing: return true;
    default: return codePoint == 0xFF9E || codePoint == 0xFF9F;
    }
}

// The end of the character starting at `at`: its code point and the marks that follow it.
qsizetype characterEnd(QStringView text, qsizetype at)
{
    qsizetype end = at + unitsOf(codePointAt(text, at));
    while (end < text.size() && joinsPrevious(codePointAt(text, end)))
        end += unitsOf(codePointAt(text, end));
    return end;
}

QString foldCharacter(QStringView character)
{
    if (character.size() == 1 && character[0].unicode() < 0x80)
        return QString(character[0].toLower());
    return qm::text::fold(character);
}

// The folded form of a text from a start position on, folded a piece at a time so that a
// search that finds its match early does not fold the rest. For every index of the folded
// text that lies between two original characters it knows the original position.
class FoldedText final
{
public:
    FoldedText(QStringView text, qsizetype from)
        : m_text(text)
        , m_next(std::clamp<qsizetype>(from, 0, text.size()))
        , m_original{m_next}
    {
    }

    void foldMore(qsizetype characters)
    {
        for (; characters > 0 && !atEnd(); --characters)
            foldNext();
    }

    bool atEnd() const { return m_next >= m_text.size(); }
    const QString &folded() const { return m_folded; }

    // The original position at a folded index, or -1 inside one character's folded form.
    qsizetype originalAt(qsizetype foldedIndex) const { return m_original[size_t(foldedIndex)]; }

private:
    void foldNext()
    {
        const qsizetype end = characterEnd(m_text, m_next);
        const QString folded = foldCharacter(m_text.sliced(m_next, end - m_next));
        m_folded += folded;
        m_next = end;
        if (folded.isEmpty()) { // nothing to match: the boundary moves past the character
            m_original.back() = end;
            return;
        }
        m_original.insert(m_original.end(), size_t(folded.size() - 1), -1);
        m_original.push_back(end);
    }

    QStringView m_text;
    qsizetype m_next;
    QString m_folded;
    std::vector<qsizetype> m_original; // one more entry than m_folded has units
};

std::optional<TextSpan> matchAt(const FoldedText &text, qsizetype at, qsizetype keyLength)
{
    const qsizetype start = text.originalAt(at);
    const qsizetype end = text.originalAt(at + keyLength);
    if (start < 0 || end < 0)
        return std::nullopt;
    return TextSpan{start, end - start};
}

std::optional<TextSpan> findFolded(QStringView text, QStringView needle, qsizetype from)
{
    const QString key = qm::text::fold(needle);
    if (key.isEmpty())
        return std::nullopt;
    FoldedText folded(text, from);
    qsizetype searchFrom = 0;
    qsizetype piece = 256;
    do {
        folded.foldMore(piece);
        for (qsizetype at = folded.folded().indexOf(key, searchFrom); at >= 0;
             at = folded.folded().indexOf(key, at + 1)) {
            if (const std::optional<TextSpan> span = matchAt(folded, at, key.size()))
                return span;
        }
        searchFrom = std::max<qsizetype>(0, folded.folded().size() - key.size() + 1);
        piece *= 2;
    } while (!folded.atEnd());
    return std::nullopt;
}

} // namespace

std::optional<TextSpan> findText(QStringView text, QStringView needle, qsizetype from,
                                 bool matchCase)
{
    if (needle.isEmpty() || from > text.size())
        return std::nullopt;
    if (!matchCase)
        return findFolded(text, needle, std::max<qsizetype>(0, from));
    const qsizetype at = text.indexOf(needle, std::max<qsizetype>(0, from));
    if (at < 0)
        return std::nullopt;
    return TextSpan{at, needle.size()};
}

bool matchesWhole(QStringView text, QStringView needle, bool matchCase)
{
    if (matchCase)
        return !needle.isEmpty() && text == needle;
    const std::optional<TextSpan> span = findText(text, needle, 0, false);
    return span && span->start == 0 && span->length == text.size();
}

} // namespace corvane
