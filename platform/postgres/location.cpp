#include "platform/postgres/location.h"

#include "platform/postgres/error.h"

#include <QRegularExpression>
#include <QStringList>

namespace qm::pg {
namespace {

const QString DictionaryKey = QStringLiteral("dictionary");

QString percentDecoded(QStringView text)
{
    return QString::fromUtf8(QByteArray::fromPercentEncoding(text.toUtf8()));
}

Location splitUri(const QString &text)
{
    Location out;
    const qsizetype query = text.indexOf(QLatin1Char('?'));
    if (query < 0) {
        out.connection = text;
        return out;
    }
    QStringList kept;
    for (const QString &setting : text.mid(query + 1).split(QLatin1Char('&'), Qt::SkipEmptyParts)) {
        const qsizetype eq = setting.indexOf(QLatin1Char('='));
        if (eq > 0 && percentDecoded(QStringView(setting).left(eq)) == DictionaryKey)
            out.dictionary = percentDecoded(QStringView(setting).mid(eq + 1));
        else
            kept.append(setting);
    }
    out.connection = text.left(query);
    if (!kept.isEmpty())
        out.connection += QLatin1Char('?') + kept.join(QLatin1Char('&'));
    return out;
}

// One "key = value" of a keyword string, as libpq reads it: a value is a run without spaces or
// a single-quoted text, a backslash taking the next character as it is.
struct Setting {
    QString key;
    QString value;
    qsizetype from = 0;
    qsizetype to = 0;
};

class KeywordReader final
{
public:
    explicit KeywordReader(const QString &text)
        : m_text(text)
    {
    }

    std::vector<Setting> settings()
    {
        std::vector<Setting> out;
        for (skipSpaces(); m_pos < m_text.size(); skipSpaces())
            out.push_back(setting());
        return out;
    }

private:
    Setting setting()
    {
        Setting s;
        s.from = m_pos;
        while (m_pos < m_text.size() && m_text[m_pos] != QLatin1Char('=') && !m_text[m_pos].isSpace())
            s.key += m_text[m_pos++];
        skipSpaces();
        if (s.key.isEmpty() || m_pos >= m_text.size() || m_text[m_pos] != QLatin1Char('='))
            throw Error(Error::Kind::BadLocation, QStringLiteral("missing \"=\" after \"%1\"").arg(s.key));
        ++m_pos;
        skipSpaces();
        s.value = value();
        s.to = m_pos;
        return s;
    }

    QString value()
    {
        QString v;
        const bool quoted = m_pos < m_text.size() && m_text[m_pos] == QLatin1Char('\'');
        if (quoted)
            ++m_pos;
        for (; m_pos < m_text.size(); ++m_pos) {
            const QChar c = m_text[m_pos];
            if (quoted ? c == QLatin1Char('\'') : c.isSpace())
                break;
            if (c == QLatin1Char('\\') && m_pos + 1 < m_text.size())
                ++m_pos;
            v += m_text[m_pos];
        }
        if (quoted) {
            if (m_pos >= m_text.size())
                throw Error(Error::Kind::BadLocation, QStringLiteral("unterminated quoted value"));
            ++m_pos;
        }
        return v;
    }

    void skipSpaces()
    {
        while (m_pos < m_text.size() && m_text[m_pos].isSpace())
            ++m_pos;
    }

    const QString &m_text;
    qsizetype m_pos = 0;
};

Location splitKeywords(const QString &text)
{
    Location out;
    out.connection = text;
    const std::vector<Setting> settings = KeywordReader(text).settings();
    for (auto s = settings.rbegin(); s != settings.rend(); ++s) {
        if (s->key != DictionaryKey)
            continue;
        if (out.dictionary.isNull())
            out.dictionary = s->value;
        out.connection.remove(s->from, s->to - s->from);
    }
    out.connection = out.connection.simplified();
    return out;
}

} // namespace

bool isConnectionUri(const QString &text)
{
    return text.startsWith(QLatin1String("postgresql://")) || text.startsWith(QLatin1String("postgres://"));
}

Location parseLocation(const QString &text)
{
    const QString trimmed = text.trimmed();
    return isConnectionUri(trimmed) ? splitUri(trimmed) : splitKeywords(trimmed);
}

QString redactPassword(const QString &text)
{
    static const QRegularExpression userInfo(QStringLiteral(R"(^(\s*postgres(?:ql)?://[^@/?]*?:)[^@/?]*@)"));
    static const QRegularExpression setting(
        QStringLiteral(R"(((?:^|[\s?&])password\s*=\s*)('(?:[^'\\]|\\.)*'?|[^&\s]*))"));
    QString out = text;
    out.replace(userInfo, QStringLiteral("\\1***@"));
    out.replace(setting, QStringLiteral("\\1***"));
    return out;
}

} // namespace qm::pg
