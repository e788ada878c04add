#include "jsonlines.h"

#include "exchangeerror.h"

#include "app/store/dictionary.h"
#include "app/store/viewertype.h"
#include "platform/objects/objectimage.h"
#include "platform/rtf/rtf.h"
#include "platform/text/cp932.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringDecoder>

namespace qm::exchange::jsonl {

using store::Entry;
using store::Viewer;

namespace {

const QString DateFormat = QStringLiteral("yyyy-MM-dd'T'HH:mm:ss");

// JSON text of a string: UTF-8, with quotes, backslashes and control characters escaped.
void appendString(QByteArray &out, QStringView text)
{
    static constexpr char Hex[] = "0123456789abcdef";
    out.append('"');
    for (const char c : text.toUtf8()) {
        const auto byte = static_cast<unsigned char>(c);
        switch (c) {
        case '"': out.append("\\\""); break;
        case '\\': out.append("\\\\"); break;
        case '\n': out.append("\\n"); break;
        case '\r': out.append("\\r"); break;
        case '\t': out.append("\\t"); break;
        default:
            if (byte < 0x20) {
                out.append("\\u00");
                out.append(Hex[byte >> 4]);
                out.append(Hex[byte & 0xf]);
            } else {
                out.append(c);
            }
        }
    }
    out.append('"');
}

void appendKey(QByteArray &out, const char *key)
{
    out.append('"').append(key).append("\":");
}

void appendBool(QByteArray &out, bool value)
{
    out.append(value ? "true" : "false");
}

// CP932 text that decodes and encodes back to the very same bytes; nullopt when it would not
// (an invalid byte), so such a body travels as bytes and nothing is lost.
std::optional<QString> losslessText(const QByteArray &bytes)
{
    QString text = text::cp932::decode(bytes);
    const text::cp932::EncodeResult back = text::cp932::encode(text);
    if (!back.ok() || back.bytes != bytes)
        return std::nullopt;
    return text;
}

void appendBytes(QByteArray &out, const QByteArray &bytes)
{
    appendKey(out, "bytes");
    out.append('"').append(bytes.toBase64()).append('"');
}

void appendObject(QByteArray &out, const objects::StoredObject &object)
{
    out.append('{');
    appendKey(out, "kind");
    out.append(object.isLink() ? "\"linked\"" : "\"embedded\"");
    out.append(',');
    appendKey(out, "name");
    appendString(out, object.name);
    out.append(',');
    appendKey(out, "mimeType");
    appendString(out, object.mimeType);
    out.append(',');
    if (object.isLink()) {
        appendKey(out, "path");
        appendString(out, object.linkPath);
    } else {
        appendKey(out, "data");
        out.append('"').append(object.data.toBase64()).append('"');
    }
    out.append('}');
}

void appendBody(QByteArray &out, const Entry &entry)
{
    out.append('{');
    if (entry.Viewer == store::viewerCode(Viewer::Ole)) {
        const std::optional<objects::StoredObject> object = objects::image::fromBytes(entry.Document);
        if (object && objects::image::toBytes(*object) == entry.Document) {
            appendKey(out, "object");
            appendObject(out, *object);
        } else {
            appendBytes(out, entry.Document);
        }
    } else if (const std::optional<QString> text = losslessText(entry.Document)) {
        appendKey(out, entry.Viewer == store::viewerCode(Viewer::RichText) ? "rtf" : "text");
        appendString(out, *text);
        if (entry.Viewer == store::viewerCode(Viewer::RichText)) {
            out.append(',');
            appendKey(out, "plain");
            appendString(out, rtf::rtfToPlainText(*text));
        }
    } else {
        appendBytes(out, entry.Document);
    }
    out.append('}');
}

[[noreturn]] void refuse(const QString &reason)
{
    throw ExchangeError(0, reason);
}

QJsonValue field(const QJsonObject &object, const QString &name, QJsonValue::Type type, const QString &where)
{
    const QJsonValue value = object.value(name);
    if (value.type() != type)
        refuse(QStringLiteral("%1の \"%2\" がないか、型が違います").arg(where, name));
    return value;
}

QString textField(const QJsonObject &object, const QString &name, const QString &where)
{
    return field(object, name, QJsonValue::String, where).toString();
}

QByteArray base64Field(const QJsonObject &object, const QString &name, const QString &where)
{
    const QByteArray text = textField(object, name, where).toLatin1();
    const QByteArray::FromBase64Result decoded =
        QByteArray::fromBase64Encoding(text, QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded)
        refuse(QStringLiteral("%1の \"%2\" が base64 として読めません").arg(where, name));
    return *decoded;
}

DictionaryDescription parseHeader(const QJsonObject &object)
{
    const QString where = QStringLiteral("見出し行");
    if (object.value(QStringLiteral("format")).toString() != QLatin1String(FormatName))
        refuse(QStringLiteral("この形式のファイルではありません"));
    const QJsonValue version = object.value(QStringLiteral("version"));
    if (!version.isDouble() || version.toDouble() != FormatVersion)
        refuse(QStringLiteral("形式の版 %1 は読めません (読めるのは %2 です)")
                   .arg(version.toVariant().toString())
                   .arg(FormatVersion));
    DictionaryDescription d;
    d.name = textField(object, QStringLiteral("name"), where);
    const QJsonObject props = field(object, QStringLiteral("properties"), QJsonValue::Object, where).toObject();
    d.author = textField(props, QStringLiteral("author"), where);
    d.comment = textField(props, QStringLiteral("comment"), where);
    d.locks[0] = field(props, QStringLiteral("nameLock"), QJsonValue::Bool, where).toBool();
    d.locks[1] = field(props, QStringLiteral("authorLock"), QJsonValue::Bool, where).toBool();
    d.locks[2] = field(props, QStringLiteral("commentLock"), QJsonValue::Bool, where).toBool();
    return d;
}

QByteArray encodedText(const QString &text, Viewer viewer)
{
    if (viewer == Viewer::Html)
        return text::cp932::encodeHtml(text);
    text::cp932::EncodeResult encoded = text::cp932::encode(text);
    if (!encoded.ok())
        refuse(QStringLiteral("本文に CP932 で表せない文字があります: %1").arg(text::cp932::describe(encoded.unencodable)));
    return std::move(encoded.bytes);
}

QByteArray objectImage(const QJsonObject &object)
{
    const QString where = QStringLiteral("埋め込みオブジェクト");
    objects::StoredObject stored;
    const QString kind = textField(object, QStringLiteral("kind"), where);
    stored.name = textField(object, QStringLiteral("name"), where);
    stored.mimeType = textField(object, QStringLiteral("mimeType"), where);
    if (kind == QLatin1String("embedded")) {
        stored.data = base64Field(object, QStringLiteral("data"), where);
    } else if (kind == QLatin1String("linked")) {
        stored.kind = objects::StoredObject::Kind::Linked;
        stored.linkPath = textField(object, QStringLiteral("path"), where);
    } else {
        refuse(QStringLiteral("埋め込みオブジェクトの種類 \"%1\" は読めません").arg(kind));
    }
    // The container judges the object by reading its image back.
    QByteArray image = objects::image::toBytes(stored);
    if (!objects::image::fromBytes(image))
        refuse(QStringLiteral("埋め込みオブジェクトを復元できません (名前、種類、パスのいずれかが長すぎます)"));
    return image;
}

QByteArray parseBody(const QJsonObject &body, Viewer viewer)
{
    const QString where = QStringLiteral("本文");
    // Bytes are what the dictionary held, readable or not: they go back unchanged.
    if (body.contains(QStringLiteral("bytes")))
        return base64Field(body, QStringLiteral("bytes"), where);
    switch (viewer) {
    case Viewer::Ole:
        return objectImage(field(body, QStringLiteral("object"), QJsonValue::Object, where).toObject());
    case Viewer::RichText:
        return encodedText(textField(body, QStringLiteral("rtf"), where), viewer);
    default:
        return encodedText(textField(body, QStringLiteral("text"), where), viewer);
    }
}

QDateTime parseDate(const QJsonValue &value)
{
    if (value.isNull())
        return {};
    if (!value.isString())
        refuse(QStringLiteral("\"date\" がないか、型が違います"));
    const QString text = value.toString();
    QDateTime date = QDateTime::fromString(text, DateFormat);
    if (!date.isValid())
        date = QDateTime::fromString(text, Qt::ISODateWithMs).toLocalTime();
    if (!date.isValid())
        refuse(QStringLiteral("日付 \"%1\" が読めません").arg(text));
    return date;
}

// A number of the file as a person wrote it: whole numbers in full, never "2.14748e+09".
QString numberText(double n)
{
    return QString::number(n, 'g', QLocale::FloatingPointShortest);
}

Record parseEntry(const QJsonObject &object, const Limits &limits)
{
    const QString where = QStringLiteral("項目");
    Record r;
    const QJsonValue number = field(object, QStringLiteral("number"), QJsonValue::Double, where);
    const double n = number.toDouble();
    if (n < 1 || n > std::numeric_limits<qint32>::max() || n != double(qint64(n)))
        refuse(QStringLiteral("項目番号 %1 は使えません").arg(numberText(n)));
    r.entry.DocumentNumber = qint32(n);
    const double type = field(object, QStringLiteral("type"), QJsonValue::Double, where).toDouble();
    const std::optional<Viewer> viewer = type == double(int(type)) ? store::viewerFromCode(int(type)) : std::nullopt;
    if (!viewer)
        refuse(QStringLiteral("種類 %1 はありません (1 から 5 です)").arg(numberText(type)));
    r.entry.Viewer = store::viewerCode(*viewer);
    r.entry.Heading = textField(object, QStringLiteral("heading"), where);
    for (const QJsonValue &k : field(object, QStringLiteral("keywords"), QJsonValue::Array, where).toArray()) {
        if (!k.isString())
            refuse(QStringLiteral("キーワードが文字列ではありません"));
        const QString keyword = k.toString();
        if (const QString problem = keywordProblem(keyword); !problem.isNull())
            refuse(problem);
        r.keywords.append(keyword);
    }
    r.entry.RenewalDate = parseDate(object.value(QStringLiteral("date")));
    const QJsonObject body = field(object, QStringLiteral("body"), QJsonValue::Object, where).toObject();
    if (*viewer == Viewer::Text && !body.contains(QStringLiteral("bytes")))
        r.textConverted = storePlainText(r.entry, textField(body, QStringLiteral("text"), QStringLiteral("本文")), limits.textFallback);
    else
        r.entry.Document = parseBody(body, *viewer);
    if (r.entry.Document.size() > limits.maxBodyBytes)
        refuse(QStringLiteral("本文が大きすぎます (%1 バイト、上限は %2 バイトです)")
                   .arg(r.entry.Document.size())
                   .arg(limits.maxBodyBytes));
    return r;
}

} // namespace

bool isReservedKeywordChar(QChar c)
{
    return c == u'[' || c == u']' || c == u'"' || c == QChar(u'\0');
}

QString keywordProblem(const QString &keyword)
{
    if (keyword.contains(QChar(u'\0')))
        return QStringLiteral("キーワード \"%1\" に NUL 文字 (U+0000) があります").arg(QString(keyword).remove(QChar(u'\0')));
    for (const QChar c : keyword)
        if (isReservedKeywordChar(c))
            return QStringLiteral("キーワード \"%1\" にキーワードに使えない文字 \"%2\" があります").arg(keyword, c);
    return {};
}

DictionaryDescription describe(store::Dictionary &dictionary)
{
    DictionaryDescription d;
    d.name = dictionary.property(QStringLiteral("DictionaryName")).toString();
    d.author = dictionary.property(QStringLiteral("Author")).toString();
    d.comment = dictionary.property(QStringLiteral("Comment")).toString();
    d.locks[0] = dictionary.property(QStringLiteral("DictionaryNameLock")).toBool();
    d.locks[1] = dictionary.property(QStringLiteral("AuthorLock")).toBool();
    d.locks[2] = dictionary.property(QStringLiteral("CommentLock")).toBool();
    return d;
}

void createDictionary(const QString &path, const DictionaryDescription &d)
{
    store::Dictionary::CreateDictionary(path, d.name, d.author, d.comment, d.locks);
}

QByteArray headerLine(const DictionaryDescription &d)
{
    QByteArray out;
    out.append("{\"format\":\"").append(FormatName).append("\",\"version\":").append(QByteArray::number(FormatVersion));
    out.append(',');
    appendKey(out, "name");
    appendString(out, d.name);
    out.append(",\"properties\":{");
    appendKey(out, "author");
    appendString(out, d.author);
    out.append(',');
    appendKey(out, "comment");
    appendString(out, d.comment);
    out.append(",\"nameLock\":");
    appendBool(out, d.locks[0]);
    out.append(",\"authorLock\":");
    appendBool(out, d.locks[1]);
    out.append(",\"commentLock\":");
    appendBool(out, d.locks[2]);
    out.append("}}\n");
    return out;
}

QByteArray entryLine(const Entry &entry, const QStringList &keywords)
{
    QByteArray out;
    out.reserve(entry.Document.size() * 4 / 3 + 256);
    out.append("{\"number\":").append(QByteArray::number(entry.DocumentNumber));
    out.append(",\"type\":").append(QByteArray::number(entry.Viewer));
    out.append(',');
    appendKey(out, "heading");
    appendString(out, entry.Heading);
    out.append(",\"keywords\":[");
    for (qsizetype i = 0; i < keywords.size(); ++i) {
        if (i > 0)
            out.append(',');
        appendString(out, keywords[i]);
    }
    out.append("],\"date\":");
    if (entry.RenewalDate.isValid())
        appendString(out, entry.RenewalDate.toString(DateFormat));
    else
        out.append("null");
    out.append(",\"body\":");
    appendBody(out, entry);
    out.append("}\n");
    return out;
}

Line parseLine(const QByteArray &line, const Limits &limits)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString decoded = utf8.decode(line);
    if (utf8.hasError())
        refuse(QStringLiteral("UTF-8 として読めません"));
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(line, &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        refuse(QStringLiteral("JSON のオブジェクトとして読めません (%1 文字目付近)").arg(error.offset + 1));
    const QJsonObject object = doc.object();
    Line out;
    if (object.contains(QStringLiteral("format"))) {
        out.isHeader = true;
        out.header = parseHeader(object);
    } else {
        out.record = parseEntry(object, limits);
    }
    return out;
}

} // namespace qm::exchange::jsonl
