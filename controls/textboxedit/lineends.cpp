#include "controls/textboxedit/lineends.h"

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

QString withLineEnds(QStringView text, QStringView lineEnd)
{
    QString out = text.toString();
    if (lineEnd != u"\n")
        out.replace(QLatin1Char('\n'), lineEnd.toString());
    return out;
}

} // namespace corvane
