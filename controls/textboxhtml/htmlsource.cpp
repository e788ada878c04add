#include "controls/textboxhtml/htmlsource.h"

#include "platform/text/cp932.h"

#include <QRegularExpression>
#include <QStringList>

namespace corvane::htmlsource {
namespace {

const QLatin1String openTag("<title>");
const QLatin1String closeTag("</title>");

// The names browsers know for Shift_JIS, and the code page's own.
bool namesShiftJis(const QString &charset)
{
    static const QStringList names{QStringLiteral("shift_jis"), QStringLiteral("shift-jis"),
                                   QStringLiteral("sjis"), QStringLiteral("x-sjis"),
                                   QStringLiteral("csshiftjis"), QStringLiteral("ms_kanji"),
                                   QStringLiteral("ms932"), QStringLiteral("windows-31j"),
                                   QStringLiteral("cp932")};
    return names.contains(charset.toLower());
}

} // namespace

std::optional<QString> title(QStringView source)
{
    const qsizetype open = source.indexOf(openTag, 0, Qt::CaseInsensitive);
    if (open < 0)
        return QString();
    const qsizetype start = open + openTag.size();
    const qsizetype close = source.indexOf(closeTag, start, Qt::CaseInsensitive);
    if (close < 0)
        return std::nullopt;
    return source.sliced(start, close - start).toString();
}

QString declaredCharset(QStringView source)
{
    static const QRegularExpression meta(
        QStringLiteral(R"(<meta\b[^>]*?\bcharset\s*=\s*["']?\s*([^\s"';>/]+))"),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = meta.match(source);
    return match.hasMatch() ? match.captured(1) : QString();
}

QByteArray previewBytes(QStringView source)
{
    const QString declared = declaredCharset(source);
    if (declared.isEmpty() || namesShiftJis(declared)) {
        qm::text::cp932::EncodeResult cp932 = qm::text::cp932::encode(source);
        if (cp932.ok())
            return std::move(cp932.bytes);
    }
    return QByteArray("\xEF\xBB\xBF") + source.toUtf8();
}

} // namespace corvane::htmlsource
