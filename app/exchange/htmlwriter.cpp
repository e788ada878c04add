#include "htmlwriter.h"

#include "app/store/viewertype.h"
#include "platform/objects/objectimage.h"
#include "platform/rtf/rtf.h"
#include "platform/text/cp932.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QImage>
#include <QRegularExpression>
#include <QTextDocument>
#include <QUrl>

namespace qm::exchange::html {

using store::Viewer;

namespace {

// The page's one script: it puts the body of a box into a sandboxed frame (a copy of the
// template) when the box comes near the window or is clicked.
constexpr char PageScript[] =
    "(function () {\n"
    "  var template = document.getElementById('frame');\n"
    "  function show(box) {\n"
    "    if (!box.hasAttribute('data-page')) return;\n"
    "    var frame = template.content.firstElementChild.cloneNode(false);\n"
    "    frame.srcdoc = box.getAttribute('data-page');\n"
    "    box.removeAttribute('data-page');\n"
    "    box.replaceChildren(frame);\n"
    "  }\n"
    "  var boxes = document.querySelectorAll('div.body[data-page]');\n"
    "  if ('IntersectionObserver' in window) {\n"
    "    var seen = new IntersectionObserver(function (entries) {\n"
    "      entries.forEach(function (e) { if (e.isIntersecting) { seen.unobserve(e.target); show(e.target); } });\n"
    "    }, { rootMargin: '400px' });\n"
    "    boxes.forEach(function (box) { seen.observe(box); });\n"
    "  }\n"
    "  document.addEventListener('click', function (e) {\n"
    "    var box = e.target.closest ? e.target.closest('div.body') : null;\n"
    "    if (box) show(box);\n"
    "  });\n"
    "})();\n";

// Nothing but what the page holds: inline styles, data: pictures and the page's own script.
QString contentSecurityPolicy()
{
    const QByteArray hash = QCryptographicHash::hash(QByteArray(PageScript), QCryptographicHash::Sha256).toBase64();
    return QStringLiteral("default-src 'none'; img-src data:; style-src 'unsafe-inline'; script-src 'sha256-%1'; "
                          "form-action 'none'; base-uri 'none'")
        .arg(QString::fromLatin1(hash));
}

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

// An HTML document kept escaped in an attribute of its box; the page's script puts it into a
// sandboxed frame (no scripts, forms or navigation of the page) only when the box comes into view
// or is clicked, so a page of thousands of bodies opens at once.
QString frame(const QString &document)
{
    return QStringLiteral("<div class=\"body\" data-page=\"%1\"><button type=\"button\">本文を表示</button></div>")
        .arg(escape(withoutRemoteLoads(document)));
}

bool isSafeLink(const QString &address)
{
    const QString scheme = QUrl(address.trimmed()).scheme().toLower();
    return scheme == QLatin1String("http") || scheme == QLatin1String("https") || scheme == QLatin1String("mailto");
}

// Attributes whose value the browser fetches (or that hold markup that could fetch).
bool isLoadingAttribute(QStringView tag, QStringView name)
{
    static const QStringList names{
        QStringLiteral("src"),      QStringLiteral("srcset"),     QStringLiteral("imagesrcset"),
        QStringLiteral("poster"),   QStringLiteral("background"), QStringLiteral("lowsrc"),
        QStringLiteral("dynsrc"),   QStringLiteral("data"),       QStringLiteral("codebase"),
        QStringLiteral("archive"),  QStringLiteral("manifest"),   QStringLiteral("ping"),
        QStringLiteral("longdesc"), QStringLiteral("action"),     QStringLiteral("formaction"),
        QStringLiteral("srcdoc"),   QStringLiteral("xlink:href"),
    };
    if (name == QLatin1String("href"))
        return tag != QLatin1String("a") && tag != QLatin1String("area");
    return names.contains(name);
}

// A value the page may keep: inline data, never an address.
// A list of candidates (srcset) may mix inline data with addresses, so it never counts.
bool isInlineData(QStringView value, QStringView name)
{
    static const QRegularExpression data(QStringLiteral("^\\s*data:"), QRegularExpression::CaseInsensitiveOption);
    return name != QLatin1String("srcdoc") && name != QLatin1String("ping") && !name.endsWith(QLatin1String("srcset"))
        && data.match(value).hasMatch();
}

// Style text with every url() that is not inline data, and every @import, taken out.
QString withoutRemoteStyles(QStringView css)
{
    static const QRegularExpression url(QStringLiteral("url\\s*\\(([^)]*)\\)|@import"),
                                        QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression inlineData(QStringLiteral("^(\\s|\"|'|&quot;|&#39;|&#34;)*data:"),
                                               QRegularExpression::CaseInsensitiveOption);
    QString out;
    qsizetype last = 0;
    for (QRegularExpressionMatchIterator it = url.globalMatch(css); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        out += css.mid(last, m.capturedStart() - last);
        const bool keep = m.capturedLength(1) > 0 && inlineData.match(m.capturedView(1)).hasMatch();
        out += keep ? m.capturedView() : QStringView(u"none");
        last = m.capturedEnd();
    }
    return out + css.mid(last);
}

QString unquoted(QStringView value)
{
    if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\''))
        return value.mid(1, value.size() - 2).toString();
    return value.toString();
}

// One start tag with the attributes that would fetch something left out; an image that loses
// its address is followed by a note saying so.
QString offlineTag(QStringView tag, QStringView attributes)
{
    static const QRegularExpression attribute(
        QStringLiteral("([^\\s\"'>/=]+)(?:\\s*=\\s*(\"[^\"]*\"|'[^']*'|[^\\s\"'>]+))?"));
    const QString name = tag.toString().toLower();
    QString kept;
    QString note;
    for (QRegularExpressionMatchIterator it = attribute.globalMatch(attributes); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        const QString attributeName = m.captured(1).toLower();
        const QString value = unquoted(m.capturedView(2));
        if (isLoadingAttribute(name, attributeName) && !isInlineData(value, attributeName)) {
            if ((name == QLatin1String("img") || name == QLatin1String("image")) && note.isEmpty())
                note = QStringLiteral("<span class=\"dropped\">［外部の画像を省きました: %1］</span>").arg(escape(value));
            continue;
        }
        if (attributeName == QLatin1String("style") && m.capturedLength(2) > 0)
            kept += QStringLiteral(" style=\"%1\"").arg(withoutRemoteStyles(value).replace(u'"', QStringLiteral("&quot;")));
        else
            kept += QLatin1Char(' ') + m.captured(0);
    }
    return QStringLiteral("<%1%2>%3").arg(tag, kept, note);
}

bool isDroppedTag(QStringView tag, QStringView attributes)
{
    static const QRegularExpression httpEquiv(QStringLiteral("http-equiv"), QRegularExpression::CaseInsensitiveOption);
    return tag.compare(QLatin1String("link"), Qt::CaseInsensitive) == 0
        || tag.compare(QLatin1String("base"), Qt::CaseInsensitive) == 0
        || (tag.compare(QLatin1String("meta"), Qt::CaseInsensitive) == 0 && httpEquiv.match(attributes).hasMatch());
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
        out = QStringLiteral("<img loading=\"lazy\" alt=\"%1\" src=\"%2\">").arg(escape(object->name), dataUrl(object->mimeType, object->data));
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

QString withoutRemoteLoads(QStringView document)
{
    // Start tags (quoted values may hold ">"), and the text of style elements.
    static const QRegularExpression piece(
        QStringLiteral("(<style\\b[^>]*>)(.*?)(</style)|<([A-Za-z][^\\s/>]*)((?:[^>\"']|\"[^\"]*\"|'[^']*')*)>"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
    QString out;
    qsizetype last = 0;
    for (QRegularExpressionMatchIterator it = piece.globalMatch(document); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        out += document.mid(last, m.capturedStart() - last);
        if (m.capturedLength(1) > 0)
            out += m.captured(1) + withoutRemoteStyles(m.capturedView(2)) + m.captured(3);
        else if (!isDroppedTag(m.capturedView(4), m.capturedView(5)))
            out += offlineTag(m.capturedView(4), m.capturedView(5));
        last = m.capturedEnd();
    }
    return out + document.mid(last);
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
                          "<meta http-equiv=\"Content-Security-Policy\" content=\"%2\">\n"
                          "<title>%1</title>\n<style>\n"
                          "body { font-family: sans-serif; margin: 1em 2em; }\n"
                          "article { border-top: 1px solid #ccc; padding: 0.5em 0; }\n"
                          ".keywords span { background: #eef; margin-right: 0.5em; padding: 0 0.3em; }\n"
                          ".date { color: #666; font-size: smaller; }\n"
                          "pre { white-space: pre-wrap; }\n"
                          "div.body { height: 24em; border: 1px solid #ddd; }\n"
                          "iframe.page { width: 100%; height: 100%; border: 0; }\n"
                          ".dropped { color: #a00; }\n"
                          "img { max-width: 100%; }\n"
                          "</style>\n</head>\n<body>\n")
        .arg(escape(title), contentSecurityPolicy())
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
    return QStringLiteral("<template id=\"frame\"><iframe sandbox=\"\" class=\"page\"></iframe></template>\n"
                          "<script id=\"bodies\">%1</script>\n</body>\n</html>\n")
        .arg(QLatin1String(PageScript))
        .toUtf8();
}

} // namespace qm::exchange::html
