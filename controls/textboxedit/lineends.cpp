#include "controls/textboxedit/lineends.h"

#include <algorithm>

namespace corvane {

QString lineEndOf(QStringView text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == QLatin1Char('\n'))
            return QStringLiteral("\n");
        if (text[i] == QLatin1Char('\r'))
            return text.sliced(i).startsWith(u"\r\n") ? QStringLiteral("\r\n") : QStringLiteral("\r");
    }
    return QStringLiteral("\r\n");
}

// The text is rewritten in its own buffer, from the end, so that a large body is not held
// twice while its line ends change.
QString withLineEnds(QString text, QStringView lineEnd)
{
    if (lineEnd == u"\n")
        return text;
    const qsizetype breaks = text.count(QLatin1Char('\n'));
    if (breaks == 0 || lineEnd.isEmpty())
        return breaks == 0 ? text : text.remove(QLatin1Char('\n'));
    qsizetype from = text.size();
    qsizetype to = from + breaks * (lineEnd.size() - 1);
    text.resize(to);
    QChar *data = text.data();
    while (from > 0) {
        const QChar c = data[--from];
        if (c != QLatin1Char('\n')) {
            data[--to] = c;
            continue;
        }
        to -= lineEnd.size();
        std::copy(lineEnd.begin(), lineEnd.end(), data + to);
    }
    return text;
}

} // namespace corvane
