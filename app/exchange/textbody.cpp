#include "textbody.h"

#include "app/store/dictionary/viewertype.h"
#include "platform/rtf/rtf.h"
#include "platform/text/cp932.h"

namespace qm::exchange {

namespace {

// The text split at its line ends (CR LF, LF or a lone CR).
QList<QStringView> paragraphsOf(QStringView text)
{
    QList<QStringView> out;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] != u'\r' && text[i] != u'\n')
            continue;
        out.append(text.sliced(start, i - start));
        if (text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')
            ++i;
        start = i + 1;
    }
    out.append(text.sliced(start));
    return out;
}

// One paragraph per line of the text, in the document's default font (no font named), so the
// body looks as the plain text would in the rich-text viewer.
QByteArray rtfOf(QStringView text)
{
    QByteArray out("{\\rtf1\\ansi\\ansicpg932\\deff0\\deflang1041{\\fonttbl{\\f0\\fnil\\fcharset128 ;}}\r\n\\uc1");
    for (const QStringView paragraph : paragraphsOf(text)) {
        out.append("\\pard ");
        out.append(rtf::escapeText(paragraph).toLatin1());
        out.append("\\par\r\n");
    }
    out.append("}\r\n");
    return out;
}

// False when the text holds a character that the RTF reader takes for no text, or for structure.
bool rtfCarries(QStringView text)
{
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if ((u < 0x20 && u != u'\t' && u != u'\r' && u != u'\n') || u == 0x7F || u == 0x2028 || u == 0x2029 || u == 0xFFFC)
            return false;
    }
    return true;
}

QByteArray htmlOf(QStringView text)
{
    const QString page = QStringLiteral("<html><body><pre style=\"white-space: pre-wrap\">") + text.toString().toHtmlEscaped()
                         + QStringLiteral("</pre></body></html>");
    return text::cp932::encodeHtml(page);
}

} // namespace

bool storePlainText(store::Entry &entry, QStringView text, TextFallback fallback)
{
    text::cp932::EncodeResult encoded = text::cp932::encode(text);
    entry.VisibleText = QString();
    if (encoded.ok()) {
        entry.Viewer = store::viewerCode(store::Viewer::Text);
        entry.Document = std::move(encoded.bytes);
        return false;
    }
    if (fallback == TextFallback::Html || !rtfCarries(text)) {
        entry.Viewer = store::viewerCode(store::Viewer::Html);
        entry.Document = htmlOf(text);
        return true;
    }
    entry.Viewer = store::viewerCode(store::Viewer::RichText);
    entry.Document = rtfOf(text);
    entry.VisibleText = rtf::rtfToPlainText(QString::fromLatin1(entry.Document));
    return true;
}

} // namespace qm::exchange
