#include "htmlwriter.h"

#include "app/store/viewertype.h"
#include "platform/objects/objectimage.h"
#include "platform/rtf/rtf.h"
#include "platform/text/cp932.h"

#include <QBuffer>
#include <QImage>
#include <QRegularExpression>
#include <QTextDocument>
#include <QUrl>

namespace qm::exchange::html {

using store::Viewer;

namespace {

QString dataUrl(const QString &mimeType, const QByteArray &bytes)
{
    return QStringLiteral("data:%1;base64,%2").arg(escape(mimeType), QString::fromLatin1(bytes.toBase64()));
}

QString pictureUrl(const QVariant &resource)
{
    QImage image;
    if (resource.canConvert<QImage>())
        image = resource.value<QImage>();
    if (image.isNull() && resource.typeId() == QMetaType::QByteArray)
        image.loadFromData(resource.toByteArray());
    if (image.isNull())
        return {};
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return dataUrl(QStringLiteral("image/png"), png);
}

// An HTML document shown in a sandboxed frame: no scripts, no forms, no navigation of the page.
QString frame(const QString &document)
{
    return QStringLiteral("<iframe sandbox=\"\" class=\"page\" srcdoc=\"%1\"></iframe>").arg(escape(document));
}

bool isSafeLink(const QString &address)
{
    const QString scheme = QUrl(address.trimmed()).scheme().toLower();
    return scheme == QLatin1String("http") || scheme == QLatin1String("https") || scheme == QLatin1String("mailto");
}

QString objectBody(const QByteArray &bytes)
{
    const std::optional<objects::StoredObject> object = objects::image::fromBytes(bytes);
    if (!object)
        return QStringLiteral("<p class=\"object\">読めないオブジェクト (%1 バイト)</p>").arg(bytes.size());
    if (object->isLink())
        return QStringLiteral("<p class=\"object\">リンクされたファイル: %1</p>").arg(escape(object->linkPath));
    QString out;
    if (object->mimeType.startsWith(QLatin1String("image/")) && !QImage::fromData(object->data).isNull())
        out = QStringLiteral("<img alt=\"%1\" src=\"%2\">").arg(escape(object->name), dataUrl(object->mimeType, object->data));
    return out + QStringLiteral("<p class=\"object\">埋め込みファイル: %1 (%2, %3 バイト)</p>")
                     .arg(escape(object->name), escape(object->mimeType))
                     .arg(object->data.size());
}

QString body(const store::Entry &e)
{
    const std::optional<Viewer> viewer = store::viewerFromCode(e.Viewer);
    if (viewer == Viewer::Ole)
        return objectBody(e.Document);
    const QString text = text::cp932::decode(e.Document);
    switch (viewer.value_or(Viewer::Text)) {
    case Viewer::RichText:
        return frame(richTextToHtml(text));
    case Viewer::Html:
        return frame(text);
    case Viewer::Url:
        if (isSafeLink(text))
            return QStringLiteral("<p><a href=\"%1\">%1</a></p>").arg(escape(text.trimmed()));
        return QStringLiteral("<p>%1</p>").arg(escape(text));
    default:
        return QStringLiteral("<pre>%1</pre>").arg(escape(text));
    }
}

} // namespace

QString escape(QStringView text)
{
    QString out;
    out.reserve(text.size() + text.size() / 8);
    for (const QChar c : text) {
        switch (c.unicode()) {
        case u'&': out += QLatin1String("&amp;"); break;
        case u'<': out += QLatin1String("&lt;"); break;
        case u'>': out += QLatin1String("&gt;"); break;
        case u'"': out += QLatin1String("&quot;"); break;
        case u'\'': out += QLatin1String("&#39;"); break;
        case 0: out += QChar(0xFFFD); break;
        default: out += c;
        }
    }
    return out;
}

QString richTextToHtml(QStringView rtf)
{
    QTextDocument document;
    rtf::setRtf(document, rtf);
    QString out = document.toHtml();
    // The reader keeps pictures as resources of the document; the page gets them inline.
    static const QRegularExpression img(QStringLiteral("<img src=\"([^\"]*)\""));
    QString inlined;
    qsizetype last = 0;
    for (QRegularExpressionMatchIterator it = img.globalMatch(out); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        const QString name = m.captured(1);
        const QString url = pictureUrl(document.resource(QTextDocument::ImageResource, QUrl(name)));
        inlined += QStringView(out).mid(last, m.capturedStart(1) - last);
        inlined += url;
        last = m.capturedEnd(1);
    }
    inlined += QStringView(out).mid(last);
    return inlined;
}

QByteArray pageStart(const QString &title)
{
    return QStringLiteral("<!DOCTYPE html>\n<html lang=\"ja\">\n<head>\n<meta charset=\"utf-8\">\n"
                          "<title>%1</title>\n<style>\n"
                          "body { font-family: sans-serif; margin: 1em 2em; }\n"
                          "article { border-top: 1px solid #ccc; padding: 0.5em 0; }\n"
                          ".keywords span { background: #eef; margin-right: 0.5em; padding: 0 0.3em; }\n"
                          ".date { color: #666; font-size: smaller; }\n"
                          "pre { white-space: pre-wrap; }\n"
                          "iframe.page { width: 100%; height: 24em; border: 1px solid #ddd; }\n"
                          "img { max-width: 100%; }\n"
                          "</style>\n</head>\n<body>\n")
        .arg(escape(title))
        .toUtf8();
}

QByteArray dictionaryHeading(const QString &name)
{
    return QStringLiteral("<h1>%1</h1>\n").arg(escape(name)).toUtf8();
}

QByteArray entry(const store::Entry &e, const QStringList &keywords)
{
    QString out = QStringLiteral("<article>\n<h2>%1</h2>\n<p class=\"keywords\">").arg(escape(e.Heading));
    for (const QString &k : keywords)
        out += QStringLiteral("<span>%1</span>").arg(escape(k));
    out += QStringLiteral("</p>\n");
    out += body(e);
    if (e.RenewalDate.isValid())
        out += QStringLiteral("\n<p class=\"date\">更新日時: %1</p>").arg(e.RenewalDate.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
    out += QStringLiteral("\n</article>\n");
    return out.toUtf8();
}

QByteArray pageEnd()
{
    return QByteArrayLiteral("</body>\n</html>\n");
}

} // namespace qm::exchange::html
