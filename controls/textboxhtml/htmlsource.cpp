#include "controls/textboxhtml/htmlsource.h"

namespace corvane::htmlsource {
namespace {

const QLatin1String openTag("<title>");
const QLatin1String closeTag("</title>");

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

} // namespace corvane::htmlsource
