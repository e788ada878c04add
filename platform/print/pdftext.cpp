#include "platform/print/pdftext.h"

#include <QFile>
#include <QGlyphRun>
#include <QPrinter>
#include <QRegularExpression>
#include <QSaveFile>
#include <QSet>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>

#include <optional>

namespace qm::print {
namespace {

// Code points a font may draw with the glyph of another character, and that Qt then names
// for it: control characters (a tab shares the space's glyph) and the CJK radicals, which
// come before every ideograph.
bool isSharedStandIn(char32_t c)
{
    return (c > 0 && c < 0x20) || (c >= 0x2E80 && c <= 0x2FDF);
}

// The hex string tokens of a CMap with the brackets and keywords between them.
QList<QByteArray> cmapTokens(const QByteArray &cmap)
{
    static const QRegularExpression token(QStringLiteral(R"(<[0-9A-Fa-f\s]*>|\[|\]|[A-Za-z]+)"));
    QList<QByteArray> tokens;
    const QString text = QString::fromLatin1(cmap);
    for (auto it = token.globalMatch(text); it.hasNext();)
        tokens.append(it.next().captured().toLatin1());
    return tokens;
}

bool isHex(const QByteArray &token)
{
    return token.startsWith('<');
}

QByteArray hexDigits(const QByteArray &token)
{
    QByteArray digits = token.mid(1, token.size() - 2);
    digits.replace(' ', "").replace('\n', "").replace('\r', "").replace('\t', "");
    return digits;
}

uint hexNumber(const QByteArray &token)
{
    return hexDigits(token).toUInt(nullptr, 16);
}

// A destination: UTF-16 code units, big-endian.
QString hexText(const QByteArray &token)
{
    const QByteArray bytes = QByteArray::fromHex(hexDigits(token));
    QString text;
    for (qsizetype i = 0; i + 1 < bytes.size(); i += 2)
        text.append(QChar(char16_t((uchar(bytes[i]) << 8) | uchar(bytes[i + 1]))));
    return text;
}

QByteArray textHex(const QString &text)
{
    QByteArray hex;
    for (const QChar c : text)
        hex += QByteArray::number(c.unicode(), 16).rightJustified(4, '0').toUpper();
    return '<' + hex + '>';
}

QString shifted(QString text, uint by)
{
    if (!text.isEmpty())
        text.back() = QChar(char16_t(text.back().unicode() + by));
    return text;
}

// Reads "<lo> <hi> <dst>" or "<lo> <hi> [<dst> ...]" from position i; false when malformed.
bool readRange(const QList<QByteArray> &t, qsizetype &i, QMap<uint, QString> &map)
{
    if (i + 2 >= t.size() || !isHex(t[i]) || !isHex(t[i + 1]))
        return false;
    const uint lo = hexNumber(t[i]);
    const uint hi = hexNumber(t[i + 1]);
    if (hi < lo || hi - lo > 0xFFFF)
        return false;
    i += 2;
    if (isHex(t[i])) {
        const QString first = hexText(t[i++]);
        for (uint g = lo; g <= hi; ++g)
            map.insert(g, shifted(first, g - lo));
        return true;
    }
    if (t[i] != "[")
        return false;
    ++i;
    for (uint g = lo; i < t.size() && t[i] != "]"; ++g, ++i) {
        if (!isHex(t[i]) || g > hi)
            return false;
        map.insert(g, hexText(t[i]));
    }
    ++i;
    return true;
}

QByteArray ToUnicodeHead = "/CIDInit /ProcSet findresource begin\n12 dict begin\nbegincmap\n"
                           "/CIDSystemInfo << /Registry (Adobe) /Ordering (UCS) /Supplement 0 >> def\n"
                           "/CMapName /Adobe-Identity-UCS def\n/CMapType 2 def\n"
                           "1 begincodespacerange\n<0000> <FFFF>\nendcodespacerange\n";
QByteArray ToUnicodeTail = "endcmap\nCMapName currentdict /CMap defineresource pop\nend\nend\n";

} // namespace

QMap<uint, QString> parseToUnicode(const QByteArray &cmap)
{
    const QList<QByteArray> t = cmapTokens(cmap);
    QMap<uint, QString> map;
    enum class Section { None, Char, Range } section = Section::None;
    for (qsizetype i = 0; i < t.size();) {
        if (t[i] == "beginbfchar" || t[i] == "beginbfrange") {
            section = t[i] == "beginbfchar" ? Section::Char : Section::Range;
            ++i;
        } else if (t[i] == "endbfchar" || t[i] == "endbfrange") {
            section = Section::None;
            ++i;
        } else if (section == Section::Char) {
            if (i + 1 >= t.size() || !isHex(t[i]) || !isHex(t[i + 1]))
                return {};
            map.insert(hexNumber(t[i]), hexText(t[i + 1]));
            i += 2;
        } else if (section == Section::Range) {
            if (!readRange(t, i, map))
                return {};
        } else {
            ++i;
        }
    }
    return map;
}

QByteArray writeToUnicode(const QMap<uint, QString> &map)
{
    QByteArray cmap = ToUnicodeHead;
    const QList<uint> glyphs = map.keys();
    // A CMap block holds at most 100 entries.
    for (qsizetype from = 0; from < glyphs.size(); from += 100) {
        const qsizetype count = qMin<qsizetype>(100, glyphs.size() - from);
        cmap += QByteArray::number(count) + " beginbfchar\n";
        for (qsizetype i = from; i < from + count; ++i)
            cmap += textHex(QString(QChar(char16_t(glyphs[i])))) + ' ' + textHex(map.value(glyphs[i])) + '\n';
        cmap += "endbfchar\n";
    }
    return cmap + ToUnicodeTail;
}

GlyphText::GlyphText(const QString &printedText, const QList<QRawFont> &fonts)
    : m_fonts(fonts)
{
    const QList<uint> printed = printedText.toUcs4();
    m_printed = QSet<uint>(printed.cbegin(), printed.cend());
}

QString GlyphText::textFor(const QString &text) const
{
    const QList<uint> points = text.toUcs4();
    if (points.size() != 1 || !isSharedStandIn(points[0]))
        return text;
    const char32_t shared = sharedWith(points[0]);
    return shared ? QString::fromUcs4(&shared, 1) : text;
}

const QList<quint32> &GlyphText::glyphTable(qsizetype font) const
{
    auto it = m_tables.find(font);
    if (it != m_tables.end())
        return *it;
    // One glyph per code unit: the surrogates stand as U+0000, which no glyph names.
    QList<QChar> bmp(0x10000);
    for (char32_t c = 0; c < 0x10000; ++c)
        bmp[qsizetype(c)] = c >= 0xD800 && c <= 0xDFFF ? QChar() : QChar(char16_t(c));
    QList<quint32> glyphs(0x10000, 0);
    int count = int(glyphs.size());
    if (!m_fonts[font].glyphIndexesForChars(bmp.constData(), int(bmp.size()), glyphs.data(), &count) || count != 0x10000)
        glyphs.fill(0);
    return *m_tables.insert(font, glyphs);
}

char32_t GlyphText::sharedWith(char32_t codePoint) const
{
    if (codePoint >= 0x10000)
        return 0;
    for (qsizetype font = 0; font < m_fonts.size(); ++font) {
        const QList<quint32> &glyphs = glyphTable(font);
        const quint32 glyph = glyphs[qsizetype(codePoint)];
        if (glyph == 0)
            continue;
        // A printed character first: two ideographs may share a glyph, and the text says which.
        for (const uint c : m_printed)
            if (c < 0x10000 && !isSharedStandIn(c) && glyphs[qsizetype(c)] == glyph)
                return c;
        for (char32_t c = 0x20; c < 0x10000; ++c)
            if (!isSharedStandIn(c) && glyphs[qsizetype(c)] == glyph)
                return c;
    }
    return 0;
}

QList<QRawFont> fontsOf(const QTextDocument &document)
{
    QList<QRawFont> fonts;
    QSet<QString> faces;
    const auto add = [&](const QRawFont &font) {
        const QString face = font.familyName() + QLatin1Char('/') + font.styleName();
        if (font.isValid() && !faces.contains(face)) {
            faces.insert(face);
            fonts.append(font);
        }
    };
    document.size(); // lays the whole document out
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        if (const QTextLayout *layout = block.layout())
            for (const QGlyphRun &run : layout->glyphRuns())
                add(run.rawFont());
    }
    add(QRawFont::fromFont(document.defaultFont(), QFontDatabase::Japanese));
    return fonts;
}

QList<QRawFont> fontsOf(const QString &text, const QFont &font)
{
    QTextDocument document;
    document.setDefaultFont(font);
    document.setPlainText(text);
    return fontsOf(document);
}

namespace {

struct PdfObject {
    qint64 offset = 0;
    QByteArray dictionary;
    QByteArray stream;
};

std::optional<qint64> lastStartXref(const QByteArray &pdf)
{
    const qsizetype at = pdf.lastIndexOf("startxref");
    if (at < 0)
        return std::nullopt;
    bool ok = false;
    const qint64 offset = pdf.mid(at + 9, 24).trimmed().split('\n').value(0).trimmed().toLongLong(&ok);
    return ok ? std::optional<qint64>(offset) : std::nullopt;
}

// Object number -> offset, from the classic cross-reference table at `xref`.
std::optional<QMap<int, qint64>> readXref(const QByteArray &pdf, qint64 xref)
{
    if (!pdf.mid(xref, 4).startsWith("xref"))
        return std::nullopt;
    QMap<int, qint64> offsets;
    qsizetype p = pdf.indexOf('\n', xref) + 1;
    while (p > 0 && p < pdf.size() && !pdf.mid(p, 7).startsWith("trailer")) {
        const qsizetype end = pdf.indexOf('\n', p);
        const QList<QByteArray> head = pdf.mid(p, end - p).simplified().split(' ');
        if (end < 0 || head.size() != 2)
            return std::nullopt;
        const int first = head[0].toInt();
        const int count = head[1].toInt();
        p = end + 1;
        for (int i = 0; i < count; ++i, p += 20) {
            const QByteArray entry = pdf.mid(p, 20);
            if (entry.size() < 18)
                return std::nullopt;
            if (entry[17] == 'n')
                offsets.insert(first + i, entry.left(10).toLongLong());
        }
    }
    return offsets;
}

std::optional<PdfObject> readStreamObject(const QByteArray &pdf, qint64 offset)
{
    static const QRegularExpression length(QStringLiteral(R"(/Length\s+(\d+)(\s+\d+\s+R)?)"));
    const qsizetype streamAt = pdf.indexOf("stream", offset);
    if (streamAt < 0)
        return std::nullopt;
    PdfObject object;
    object.offset = offset;
    object.dictionary = pdf.mid(offset, streamAt - offset);
    const QRegularExpressionMatch m = length.match(QString::fromLatin1(object.dictionary));
    // Indirect lengths and compressed maps are not Qt's way; such a file is left alone.
    if (!m.hasMatch() || m.capturedLength(2) > 0 || object.dictionary.contains("/Filter"))
        return std::nullopt;
    qsizetype data = streamAt + 6;
    if (pdf.mid(data, 2) == "\r\n")
        data += 2;
    else if (pdf.mid(data, 1) == "\n")
        data += 1;
    object.stream = pdf.mid(data, m.captured(1).toLongLong());
    return object;
}

QSet<int> toUnicodeObjects(const QByteArray &pdf)
{
    static const QRegularExpression ref(QStringLiteral(R"(/ToUnicode\s+(\d+)\s+0\s+R)"));
    QSet<int> numbers;
    for (auto it = ref.globalMatch(QString::fromLatin1(pdf)); it.hasNext();)
        numbers.insert(it.next().captured(1).toInt());
    return numbers;
}

// The trailer's dictionary with /Prev naming the previous cross-reference section.
std::optional<QByteArray> nextTrailer(const QByteArray &pdf, qint64 previousXref)
{
    const qsizetype at = pdf.lastIndexOf("trailer");
    const qsizetype open = pdf.indexOf("<<", at);
    const qsizetype close = pdf.lastIndexOf(">>", pdf.lastIndexOf("startxref"));
    if (at < 0 || open < 0 || close < open)
        return std::nullopt;
    static const QRegularExpression prev(QStringLiteral(R"(/Prev\s+\d+)"));
    QString body = QString::fromLatin1(pdf.mid(open + 2, close - open - 2));
    body.remove(prev);
    return "<<" + body.toLatin1() + "/Prev " + QByteArray::number(previousXref) + "\n>>";
}

QByteArray repairedMap(const QByteArray &cmap, const GlyphText &glyphText)
{
    QMap<uint, QString> map = parseToUnicode(cmap);
    bool changed = false;
    for (auto it = map.begin(); it != map.end(); ++it) {
        const QString text = glyphText.textFor(it.value());
        changed = changed || text != it.value();
        it.value() = text;
    }
    return changed ? writeToUnicode(map) : QByteArray();
}

} // namespace

bool repairPdfText(const QString &path, const GlyphText &glyphText)
{
    QFile in(path);
    if (!in.open(QIODevice::ReadOnly))
        return false;
    const QByteArray pdf = in.readAll();
    in.close();
    const std::optional<qint64> xref = lastStartXref(pdf);
    const std::optional<QMap<int, qint64>> offsets = xref ? readXref(pdf, *xref) : std::nullopt;
    const std::optional<QByteArray> trailer = xref ? nextTrailer(pdf, *xref) : std::nullopt;
    if (!offsets || !trailer)
        return false;

    QByteArray update = pdf.endsWith('\n') ? QByteArray() : QByteArray("\n");
    QMap<int, qint64> written;
    for (const int number : toUnicodeObjects(pdf)) {
        const std::optional<PdfObject> object = offsets->contains(number)
                                                    ? readStreamObject(pdf, offsets->value(number))
                                                    : std::nullopt;
        const QByteArray cmap = object ? repairedMap(object->stream, glyphText) : QByteArray();
        if (cmap.isEmpty())
            continue;
        written.insert(number, pdf.size() + update.size());
        update += QByteArray::number(number) + " 0 obj\n<< /Length " + QByteArray::number(cmap.size())
                  + " >>\nstream\n" + cmap + "\nendstream\nendobj\n";
    }
    if (written.isEmpty())
        return true;
    const qint64 newXref = pdf.size() + update.size();
    update += "xref\n0 1\n0000000000 65535 f \n";
    for (auto it = written.cbegin(); it != written.cend(); ++it)
        update += QByteArray::number(it.key()) + " 1\n" + QByteArray::number(it.value()).rightJustified(10, '0')
                  + " 00000 n \n";
    update += "trailer\n" + *trailer + "\nstartxref\n" + QByteArray::number(newXref) + "\n%%EOF\n";

    QSaveFile out(path);
    return out.open(QIODevice::WriteOnly) && out.write(pdf) == pdf.size() && out.write(update) == update.size()
           && out.commit();
}

bool repairPrintedText(const QPrinter &printer, const QString &printedText, const QList<QRawFont> &fonts)
{
    if (printer.outputFormat() != QPrinter::PdfFormat || printer.outputFileName().isEmpty())
        return true;
    return repairPdfText(printer.outputFileName(), GlyphText(printedText, fonts));
}

} // namespace qm::print
