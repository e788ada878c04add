#include "htmlwriter.h"

#include "app/store/dictionary/viewertype.h"
#include "platform/objects/objectimage.h"
#include "platform/rtf/rtf.h"
#include "platform/text/cp932.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QImage>
#include <QRegularExpression>
#include <QTextDocument>
#include <QUrl>

#include <algorithm>
#include <vector>

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
QString frame(const QString &document, const Labels &labels)
{
    return QStringLiteral("<div class=\"body\" data-page=\"%1\"><button type=\"button\">%2</button></div>")
        .arg(escape(withoutRemoteLoads(document, labels)), labels.showBody);
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

// Style text with every url() that is not inline data, and every @import, taken out. A url(
// the text ends in runs to the end, as the browser reads it (and as no match is tried twice).
QString withoutRemoteStyles(QStringView css)
{
    static const QRegularExpression url(QStringLiteral("url\\s*\\(([^)]*)(?:\\)|$)|@import"),
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

bool isSpace(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\f';
}

bool isAsciiLetter(QChar c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

// A start tag read as the browser reads it, in one pass (no backtracking, whatever the input).
struct Tag {
    struct Attribute {
        QString name; // lower case
        QStringView value;
        QStringView text; // as written, value and quotes included
        bool hasValue = false;
    };
    QString name; // lower case
    std::vector<Attribute> attributes;
    qsizetype end = -1; // just past its ">"; -1 when the document ends inside the tag
};

// Reads the rest of one attribute (its name starts at `i`); false when the document ends in it.
bool readAttribute(QStringView d, qsizetype &i, Tag &tag)
{
    const qsizetype start = i++;
    while (i < d.size() && !isSpace(d[i]) && d[i] != u'/' && d[i] != u'>' && d[i] != u'=')
        ++i;
    Tag::Attribute a{d.mid(start, i - start).toString().toLower(), {}, {}, false};
    qsizetype j = i;
    while (j < d.size() && isSpace(d[j]))
        ++j;
    if (j < d.size() && d[j] == u'=') {
        for (++j; j < d.size() && isSpace(d[j]);)
            ++j;
        if (j < d.size() && (d[j] == u'"' || d[j] == u'\'')) {
            const qsizetype close = d.indexOf(d[j], j + 1);
            if (close < 0)
                return false;
            a.value = d.mid(j + 1, close - j - 1);
            i = close + 1;
        } else {
            for (i = j; i < d.size() && !isSpace(d[i]) && d[i] != u'>';)
                ++i;
            a.value = d.mid(j, i - j);
        }
        a.hasValue = true;
    }
    a.text = d.mid(start, i - start);
    tag.attributes.push_back(std::move(a));
    return true;
}

// The start tag whose name begins at `at` (just after its "<").
Tag readTag(QStringView d, qsizetype at)
{
    Tag tag;
    qsizetype i = at;
    while (i < d.size() && !isSpace(d[i]) && d[i] != u'/' && d[i] != u'>')
        ++i;
    tag.name = d.mid(at, i - at).toString().toLower();
    while (i < d.size()) {
        if (d[i] == u'>') {
            tag.end = i + 1;
            break;
        }
        if (isSpace(d[i]) || d[i] == u'/')
            ++i;
        else if (!readAttribute(d, i, tag))
            break;
    }
    return tag;
}

// One start tag with the attributes that would fetch something left out; an image that loses
// its address is followed by a note saying so.
QString offlineTag(const Tag &tag, const Labels &labels)
{
    QString kept;
    QString note;
    for (const Tag::Attribute &a : tag.attributes) {
        if (isLoadingAttribute(tag.name, a.name) && !isInlineData(a.value, a.name)) {
            if ((tag.name == QLatin1String("img") || tag.name == QLatin1String("image")) && note.isEmpty())
                note = QStringLiteral("<span class=\"dropped\">") + labels.droppedImage.arg(escape(a.value)) + QStringLiteral("</span>");
            continue;
        }
        if (a.name == QLatin1String("style") && a.hasValue)
            kept += QStringLiteral(" style=\"%1\"").arg(withoutRemoteStyles(a.value).replace(u'"', QStringLiteral("&quot;")));
        else
            kept += QLatin1Char(' ') + a.text;
    }
    return QStringLiteral("<%1%2>%3").arg(tag.name, kept, note);
}

bool isDroppedTag(const Tag &tag)
{
    const auto httpEquiv = [](const Tag::Attribute &a) { return a.name == QLatin1String("http-equiv"); };
    return tag.name == QLatin1String("link") || tag.name == QLatin1String("base")
        || (tag.name == QLatin1String("meta") && std::any_of(tag.attributes.begin(), tag.attributes.end(), httpEquiv));
}

QString objectNote(const QString &text)
{
    return QStringLiteral("<p class=\"object\">") + text + QStringLiteral("</p>");
}

QString objectBody(const QByteArray &bytes, const Labels &labels)
{
    const std::optional<objects::StoredObject> object = objects::image::fromBytes(bytes);
    if (!object)
        return objectNote(labels.unreadableObject.arg(bytes.size()));
    if (object->isLink())
        return objectNote(labels.linkedFile.arg(escape(object->linkPath)));
    QString out;
    if (object->mimeType.startsWith(QLatin1String("image/")) && !QImage::fromData(object->data).isNull())
        out = QStringLiteral("<img loading=\"lazy\" alt=\"%1\" src=\"%2\">").arg(escape(object->name), dataUrl(object->mimeType, object->data));
    return out + objectNote(labels.embeddedFile.arg(escape(object->name), escape(object->mimeType),
                                                    QString::number(object->data.size())));
}

QString body(const store::Entry &e, const Labels &labels)
{
    const std::optional<Viewer> viewer = store::viewerFromCode(e.Viewer);
    if (viewer == Viewer::Ole)
        return objectBody(e.Document, labels);
    const QString text = text::cp932::decode(e.Document);
    switch (viewer.value_or(Viewer::Text)) {
    case Viewer::RichText:
        return frame(richTextToHtml(text), labels);
    case Viewer::Html:
        return frame(text, labels);
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

QString withoutRemoteLoads(QStringView d, const Labels &labels)
{
    QString out;
    out.reserve(d.size());
    qsizetype last = 0;
    for (qsizetype i = d.indexOf(u'<'); i >= 0 && i + 1 < d.size(); i = d.indexOf(u'<', i + 1)) {
        if (!isAsciiLetter(d[i + 1]))
            continue;
        const Tag tag = readTag(d, i + 1);
        out += d.mid(last, i - last);
        if (tag.end < 0)
            return out; // the browser drops a tag the document ends in
        if (!isDroppedTag(tag))
            out += offlineTag(tag, labels);
        last = tag.end;
        if (tag.name == QLatin1String("style")) {
            // The text of a style element is style sheet up to its end tag, or to the end.
            qsizetype close = d.indexOf(QLatin1String("</style"), last, Qt::CaseInsensitive);
            close = close < 0 ? d.size() : close;
            out += withoutRemoteStyles(d.mid(last, close - last));
            last = close;
        }
        i = last - 1;
    }
    return out + d.mid(last);
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

QByteArray entry(const store::Entry &e, const QStringList &keywords, const Labels &labels)
{
    QString out = QStringLiteral("<article>\n<h2>%1</h2>\n<p class=\"keywords\">").arg(escape(e.Heading));
    for (const QString &k : keywords)
        out += QStringLiteral("<span>%1</span>").arg(escape(k));
    out += QStringLiteral("</p>\n");
    out += body(e, labels);
    if (e.RenewalDate.isValid())
        out += QStringLiteral("\n<p class=\"date\">") + labels.updated.arg(e.RenewalDate.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")))
             + QStringLiteral("</p>");
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
