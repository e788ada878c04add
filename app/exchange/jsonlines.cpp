#include "jsonlines.h"

#include "exchangeerror.h"

#include "app/store/dictionary/dictionary.h"
#include "app/store/dictionary/viewertype.h"
#include "platform/objects/objectimage.h"
#include "platform/rtf/rtf.h"
#include "platform/text/cp932.h"

#include <QStringDecoder>

#include <cctype>
#include <functional>
#include <vector>

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

using Kind = Reason::Kind;
using Part = Reason::Part;

[[noreturn]] void refuse(const Reason &reason)
{
    throw ExchangeError(0, reason);
}

[[noreturn]] void refuse(Kind kind)
{
    refuse(reasonOf(kind));
}

// A reason that names a value: a field, a date, a number as the file wrote it.
Reason naming(Kind kind, const QString &text, Part part = Part::Entry)
{
    Reason r = reasonOf(kind);
    r.text = text;
    r.part = part;
    return r;
}

Reason tooLarge(qint64 bytes, qint64 limit)
{
    return measuredReason(Kind::BodyTooLarge, bytes, limit);
}

// One JSON value of a line, read in place: a string or a number stays a view of the line's
// bytes until it is asked for, so the line is never copied and a large body is decoded once,
// in pieces, straight into the bytes that are stored.
struct JsonValue {
    enum class Type { Null, Bool, Number, String, Array, Object };
    Type type = Type::Null;
    bool boolean = false;
    QByteArrayView raw;               // a string's bytes between its quotes, escapes and all; a number's text
    std::vector<JsonValue> items;     // an array's elements, an object's values
    std::vector<QByteArrayView> keys; // an object's keys, raw as strings are

    // The member with this name (the last one, as with any JSON reader); nullptr when none.
    const JsonValue *member(const char *name) const;
    double toDouble() const { return QByteArray::fromRawData(raw.data(), raw.size()).toDouble(); }
};

int hexValue(char c)
{
    return c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10;
}

// The UTF-16 unit of the escape at raw[i] ("\n", "\u00e9" ...), moving i past it. The reader
// has checked its form.
char16_t unescape(QByteArrayView raw, qsizetype &i)
{
    const char c = raw[i + 1];
    i += 2;
    switch (c) {
    case 'b': return u'\b';
    case 'f': return u'\f';
    case 'n': return u'\n';
    case 'r': return u'\r';
    case 't': return u'\t';
    case 'u': {
        int unit = 0;
        for (int k = 0; k < 4; ++k)
            unit = unit * 16 + hexValue(raw[i + k]);
        i += 4;
        return char16_t(unit);
    }
    default: return char16_t(c); // '"', '\\', '/'
    }
}

constexpr qsizetype PieceUnits = 64 * 1024;

// The text of a string's bytes, handed on in pieces of about PieceUnits UTF-16 units that never
// part a surrogate pair, so that a large body is never held whole as UTF-16.
void decodePieces(QByteArrayView raw, const std::function<void(QStringView)> &sink)
{
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString piece;
    qsizetype i = 0;
    while (i < raw.size()) {
        qsizetype end = i;
        while (end < raw.size() && raw[end] != '\\' && end - i < PieceUnits)
            ++end;
        // The continuation bytes of a character stay with it.
        while (end < raw.size() && (uchar(raw[end]) & 0xc0) == 0x80)
            ++end;
        if (end > i) {
            const qsizetype at = piece.size();
            piece.resize(at + (end - i));
            const QChar *stop = utf8.appendToBuffer(piece.data() + at, raw.sliced(i, end - i));
            piece.resize(stop - piece.constData());
        }
        i = end;
        if (i < raw.size() && raw[i] == '\\')
            piece.append(QChar(unescape(raw, i)));
        if (piece.size() >= PieceUnits && !piece.back().isHighSurrogate()) {
            sink(piece);
            piece.resize(0);
        }
    }
    if (!piece.isEmpty())
        sink(piece);
}

QString decodeString(QByteArrayView raw)
{
    if (raw.indexOf('\\') < 0)
        return QString::fromUtf8(raw);
    QString out;
    decodePieces(raw, [&out](QStringView piece) { out.append(piece); });
    return out;
}

const JsonValue *JsonValue::member(const char *name) const
{
    for (size_t i = keys.size(); i-- > 0;) {
        const QByteArrayView key = keys[i];
        if (key.indexOf('\\') < 0 ? key == QByteArrayView(name) : decodeString(key) == QLatin1StringView(name))
            return &items[i];
    }
    return nullptr;
}

// Reads the one JSON value of a line, checking it whole before anything is taken from it.
// Nesting is bounded, so no line can exhaust the stack.
class JsonReader final
{
public:
    explicit JsonReader(QByteArrayView text) : m_text(text) {}

    JsonValue read()
    {
        JsonValue v = value(0);
        skipSpace();
        if (m_pos != m_text.size())
            fail();
        return v;
    }

private:
    static constexpr int MaxDepth = 32;
    // Far more than an entry has, and few enough that the values of one line never take much
    // memory (a line of "[0,0,0,..." has one value every two bytes).
    static constexpr qint64 MaxValues = 1 << 20;
    using Type = JsonValue::Type;

    [[noreturn]] void fail() const
    {
        refuse(measuredReason(Kind::NotJsonObject, m_pos + 1, 0));
    }

    char at(qsizetype i) const { return i < m_text.size() ? m_text[i] : '\0'; }

    char peek() const
    {
        if (m_pos >= m_text.size())
            fail();
        return m_text[m_pos];
    }

    void expect(char c)
    {
        if (peek() != c)
            fail();
        ++m_pos;
    }

    void skipSpace()
    {
        while (m_pos < m_text.size() && QByteArrayView(" \t\r\n").indexOf(m_text[m_pos]) >= 0)
            ++m_pos;
    }

    JsonValue value(int depth)
    {
        skipSpace();
        JsonValue v;
        switch (peek()) {
        case '{': container(v, Type::Object, '}', depth); break;
        case '[': container(v, Type::Array, ']', depth); break;
        case '"':
            v.type = Type::String;
            v.raw = string();
            break;
        case 't':
            word("true");
            v.type = Type::Bool;
            v.boolean = true;
            break;
        case 'f':
            word("false");
            v.type = Type::Bool;
            break;
        case 'n': word("null"); break;
        default:
            v.type = Type::Number;
            v.raw = number();
        }
        return v;
    }

    void container(JsonValue &v, Type type, char close, int depth)
    {
        if (depth >= MaxDepth)
            fail();
        v.type = type;
        ++m_pos;
        skipSpace();
        if (peek() == close) {
            ++m_pos;
            return;
        }
        for (;;) {
            if (type == Type::Object) {
                skipSpace();
                if (peek() != '"')
                    fail();
                v.keys.push_back(string());
                skipSpace();
                expect(':');
            }
            if (++m_values > MaxValues)
                refuse(measuredReason(Kind::TooManyJsonValues, 0, MaxValues));
            v.items.push_back(value(depth + 1));
            skipSpace();
            if (peek() != ',')
                break;
            ++m_pos;
        }
        expect(close);
    }

    // The bytes between the quotes. Every escape must be one JSON knows, and no control
    // character may stand unescaped.
    QByteArrayView string()
    {
        const qsizetype start = ++m_pos;
        for (char c = peek(); c != '"'; c = peek()) {
            if (uchar(c) < 0x20)
                fail();
            if (c == '\\') {
                const char e = at(++m_pos);
                if (e == 'u') {
                    for (int k = 1; k <= 4; ++k)
                        if (!std::isxdigit(uchar(at(m_pos + k))))
                            fail();
                    m_pos += 4;
                } else if (e == '\0' || QByteArrayView("\"\\/bfnrt").indexOf(e) < 0) {
                    fail();
                }
            }
            ++m_pos;
        }
        return m_text.sliced(start, m_pos++ - start);
    }

    qsizetype digits()
    {
        const qsizetype start = m_pos;
        while (std::isdigit(uchar(at(m_pos))))
            ++m_pos;
        return m_pos - start;
    }

    QByteArrayView number()
    {
        const qsizetype start = m_pos;
        if (at(m_pos) == '-')
            ++m_pos;
        if (at(m_pos) == '0')
            ++m_pos;
        else if (digits() == 0)
            fail();
        if (at(m_pos) == '.') {
            ++m_pos;
            if (digits() == 0)
                fail();
        }
        if (at(m_pos) == 'e' || at(m_pos) == 'E') {
            ++m_pos;
            if (at(m_pos) == '+' || at(m_pos) == '-')
                ++m_pos;
            if (digits() == 0)
                fail();
        }
        return m_text.sliced(start, m_pos - start);
    }

    void word(QByteArrayView w)
    {
        if (!m_text.sliced(m_pos).startsWith(w))
            fail();
        m_pos += w.size();
    }

    QByteArrayView m_text;
    qsizetype m_pos = 0;
    qint64 m_values = 0;
};

const JsonValue &field(const JsonValue &object, const char *name, JsonValue::Type type, Part where)
{
    const JsonValue *value = object.member(name);
    if (!value || value->type != type)
        refuse(naming(Kind::MissingField, QLatin1StringView(name), where));
    return *value;
}

QString textField(const JsonValue &object, const char *name, Part where)
{
    return decodeString(field(object, name, JsonValue::Type::String, where).raw);
}

// Base64 of at most `limit` bytes: a longer text is refused before it is decoded.
QByteArray base64Field(const JsonValue &object, const char *name, Part where, qint64 limit)
{
    const QByteArrayView raw = field(object, name, JsonValue::Type::String, where).raw;
    const qint64 padding = raw.endsWith("==") ? 2 : raw.endsWith('=') ? 1 : 0;
    if (raw.size() / 4 * 3 - padding > limit)
        refuse(tooLarge(raw.size() / 4 * 3 - padding, limit));
    const QByteArray text = raw.indexOf('\\') < 0 ? QByteArray::fromRawData(raw.data(), raw.size())
                                                  : decodeString(raw).toLatin1();
    const QByteArray::FromBase64Result decoded =
        QByteArray::fromBase64Encoding(text, QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded)
        refuse(naming(Kind::BadBase64, QLatin1StringView(name), where));
    return *decoded;
}

QString numberText(const JsonValue &value)
{
    return value.type == JsonValue::Type::Number ? QString::fromLatin1(value.raw) : QString();
}

// The line holds "no author" (or comment) as the file does, as one space.
QString lineText(const QString &text)
{
    return text.isEmpty() ? QStringLiteral(" ") : text;
}

QString storedText(const QString &line)
{
    return line == QLatin1String(" ") ? QString() : line;
}

DictionaryDescription parseHeader(const JsonValue &object)
{
    const Part where = Part::Header;
    const JsonValue *format = object.member("format");
    if (!format || format->type != JsonValue::Type::String || decodeString(format->raw) != QLatin1StringView(FormatName))
        refuse(Kind::NotThisFormat);
    const JsonValue *version = object.member("version");
    if (!version || version->type != JsonValue::Type::Number || version->toDouble() != FormatVersion) {
        Reason r = naming(Kind::UnreadableVersion, version ? numberText(*version) : QString());
        r.limit = FormatVersion;
        refuse(r);
    }
    DictionaryDescription d;
    d.name = textField(object, "name", where);
    const JsonValue &props = field(object, "properties", JsonValue::Type::Object, where);
    d.author = storedText(textField(props, "author", where));
    d.comment = storedText(textField(props, "comment", where));
    d.locks[0] = field(props, "nameLock", JsonValue::Type::Bool, where).boolean;
    d.locks[1] = field(props, "authorLock", JsonValue::Type::Bool, where).boolean;
    d.locks[2] = field(props, "commentLock", JsonValue::Type::Bool, where).boolean;
    return d;
}

// A text body as stored: CP932, or for an HTML body CP932 with references for the characters it
// cannot hold. The bytes are counted before they are made, so a body over the limit is refused
// with no memory spent on it; the text is decoded and encoded piece by piece.
struct EncodedText {
    QByteArray bytes;
    QList<char32_t> unencodable; // each once, in order of appearance
};

EncodedText encodedText(QByteArrayView raw, Viewer viewer, qint64 limit)
{
    const bool html = viewer == Viewer::Html;
    // Without references no character takes more bytes in CP932 than in the file (an escape
    // takes more still), so a string that fits the limit is not counted first.
    qint64 size = raw.size();
    if (html || size > limit) {
        size = 0;
        decodePieces(raw, [&](QStringView piece) {
            size += html ? text::cp932::encodedHtmlSize(piece) : text::cp932::encodedSize(piece);
        });
    }
    if (size > limit)
        refuse(tooLarge(size, limit));
    EncodedText out;
    out.bytes.reserve(size);
    decodePieces(raw, [&](QStringView piece) {
        if (html) {
            out.bytes.append(text::cp932::encodeHtml(piece));
            return;
        }
        const text::cp932::EncodeResult encoded = text::cp932::encode(piece);
        out.bytes.append(encoded.bytes);
        for (const char32_t c : encoded.unencodable)
            if (!out.unencodable.contains(c))
                out.unencodable.append(c);
    });
    return out;
}

QByteArray storableText(QByteArrayView raw, Viewer viewer, qint64 limit)
{
    EncodedText encoded = encodedText(raw, viewer, limit);
    if (!encoded.unencodable.isEmpty()) {
        Reason r = reasonOf(Kind::BodyNotCp932);
        r.characters = encoded.unencodable;
        refuse(r);
    }
    return std::move(encoded.bytes);
}

QByteArray objectImage(const JsonValue &object, qint64 limit)
{
    const Part where = Part::Object;
    objects::StoredObject stored;
    const QString kind = textField(object, "kind", where);
    stored.name = textField(object, "name", where);
    stored.mimeType = textField(object, "mimeType", where);
    if (kind == QLatin1String("embedded")) {
        stored.data = base64Field(object, "data", where, limit);
    } else if (kind == QLatin1String("linked")) {
        stored.kind = objects::StoredObject::Kind::Linked;
        stored.linkPath = textField(object, "path", where);
    } else {
        refuse(naming(Kind::UnknownObjectKind, kind));
    }
    // The container judges the object by reading its image back; the data is only bytes, so
    // the image it reads is made without them.
    objects::StoredObject probe = stored;
    probe.data.clear();
    if (!objects::image::fromBytes(objects::image::toBytes(probe)))
        refuse(Kind::ObjectNotRestorable);
    return objects::image::toBytes(stored);
}

QByteArray parseBody(const JsonValue &body, Viewer viewer, qint64 limit)
{
    const Part where = Part::Body;
    // Bytes are what the dictionary held, readable or not: they go back unchanged.
    if (body.member("bytes"))
        return base64Field(body, "bytes", where, limit);
    switch (viewer) {
    case Viewer::Ole: return objectImage(field(body, "object", JsonValue::Type::Object, where), limit);
    case Viewer::RichText: return storableText(field(body, "rtf", JsonValue::Type::String, where).raw, viewer, limit);
    default: return storableText(field(body, "text", JsonValue::Type::String, where).raw, viewer, limit);
    }
}

QDateTime parseDate(const JsonValue *value)
{
    if (value && value->type == JsonValue::Type::Null)
        return {};
    if (!value || value->type != JsonValue::Type::String)
        refuse(Kind::MissingDate);
    const QString text = decodeString(value->raw);
    QDateTime date = QDateTime::fromString(text, DateFormat);
    if (!date.isValid())
        date = QDateTime::fromString(text, Qt::ISODateWithMs).toLocalTime();
    if (!date.isValid())
        refuse(naming(Kind::UnreadableDate, text));
    return date;
}

// A plain-text body: CP932 when it holds every character, otherwise the conversion that keeps
// them all. Only then is the text held whole.
void storeTextBody(Record &r, QByteArrayView raw, const Limits &limits)
{
    EncodedText encoded = encodedText(raw, Viewer::Text, limits.maxBodyBytes);
    if (encoded.unencodable.isEmpty()) {
        r.entry.Document = std::move(encoded.bytes);
        return;
    }
    encoded = {};
    r.textConverted = storePlainText(r.entry, decodeString(raw), limits.textFallback);
}

qint64 utf8Size(QStringView text)
{
    qint64 size = 0;
    for (const QChar c : text)
        size += c.unicode() < 0x80 ? 1 : c.unicode() < 0x800 ? 2 : c.isSurrogate() ? 2 : 3;
    return size;
}

Record parseEntry(const JsonValue &object, const Limits &limits)
{
    const Part where = Part::Entry;
    Record r;
    const JsonValue &number = field(object, "number", JsonValue::Type::Number, where);
    const double n = number.toDouble();
    if (n < 1 || n > std::numeric_limits<qint32>::max() || n != double(qint64(n)))
        refuse(naming(Kind::BadEntryNumber, numberText(number)));
    r.entry.DocumentNumber = qint32(n);
    const JsonValue &typeValue = field(object, "type", JsonValue::Type::Number, where);
    const double type = typeValue.toDouble();
    const bool whole = type >= 0 && type <= 255 && type == double(int(type));
    const std::optional<Viewer> viewer = whole ? store::viewerFromCode(int(type)) : std::nullopt;
    if (!viewer)
        refuse(naming(Kind::UnknownType, numberText(typeValue)));
    r.entry.Viewer = store::viewerCode(*viewer);
    r.entry.Heading = textField(object, "heading", where);
    qint64 fieldBytes = utf8Size(r.entry.Heading);
    for (const JsonValue &k : field(object, "keywords", JsonValue::Type::Array, where).items) {
        if (k.type != JsonValue::Type::String)
            refuse(Kind::KeywordNotText);
        const QString keyword = decodeString(k.raw);
        // The editor never stores an empty keyword and a word list never makes one.
        if (keyword.isEmpty())
            refuse(Kind::EmptyKeyword);
        if (const std::optional<Reason> problem = keywordProblem(keyword))
            refuse(*problem);
        fieldBytes += utf8Size(keyword);
        r.keywords.append(keyword);
    }
    if (fieldBytes > limits.maxFieldBytes)
        refuse(measuredReason(Kind::FieldsTooLarge, fieldBytes, limits.maxFieldBytes));
    r.entry.RenewalDate = parseDate(object.member("date"));
    const JsonValue &body = field(object, "body", JsonValue::Type::Object, where);
    if (*viewer == Viewer::Text && !body.member("bytes"))
        storeTextBody(r, field(body, "text", JsonValue::Type::String, Part::Body).raw, limits);
    else
        r.entry.Document = parseBody(body, *viewer, limits.maxBodyBytes);
    if (r.entry.Document.size() > limits.maxBodyBytes)
        refuse(tooLarge(r.entry.Document.size(), limits.maxBodyBytes));
    return r;
}

} // namespace

bool isReservedKeywordChar(QChar c)
{
    return c == u'[' || c == u']' || c == u'"' || c == QChar(u'\0');
}

std::optional<Reason> keywordProblem(const QString &keyword)
{
    if (keyword.contains(QChar(u'\0')))
        return naming(Kind::KeywordWithNul, QString(keyword).remove(QChar(u'\0')));
    for (const QChar c : keyword) {
        if (isReservedKeywordChar(c)) {
            Reason r = naming(Kind::ReservedKeywordChar, keyword);
            r.character = c;
            return r;
        }
    }
    return std::nullopt;
}

DictionaryDescription describe(store::DictionaryStorage &dictionary)
{
    return dictionary.description();
}

void createDictionary(const QString &path, const DictionaryDescription &d)
{
    store::Dictionary::CreateDictionary(path, d);
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
    appendString(out, lineText(d.author));
    out.append(',');
    appendKey(out, "comment");
    appendString(out, lineText(d.comment));
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

qint64 maxLineBytes(const Limits &limits)
{
    return (limits.maxBodyBytes + limits.maxFieldBytes) * 6 + 64 * 1024;
}

Line parseLine(const QByteArray &line, const Limits &limits)
{
    if (line.size() > maxLineBytes(limits))
        refuse(measuredReason(Kind::LineTooLong, 0, maxLineBytes(limits)));
    if (!line.isValidUtf8())
        refuse(Kind::NotUtf8);
    const JsonValue object = JsonReader(line).read();
    if (object.type != JsonValue::Type::Object)
        refuse(measuredReason(Kind::NotJsonObject, 1, 0));
    Line out;
    if (object.member("format")) {
        out.isHeader = true;
        out.header = parseHeader(object);
    } else {
        out.record = parseEntry(object, limits);
    }
    return out;
}

} // namespace qm::exchange::jsonl
