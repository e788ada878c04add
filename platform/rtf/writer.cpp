#include "rtf.h"

#include "charformat.h"
#include "hiddentext.h"
#include "textescape.h"
#include "tokenizer.h"

#include <QBuffer>
#include <QColor>
#include <QFont>
#include <QHash>
#include <QImage>
#include <QPixmap>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QUrl>

#include <algorithm>
#include <cmath>
#include <optional>
#include <vector>

namespace qm::rtf {
namespace {

constexpr qreal TwipsPerPixel = 15.0;
constexpr int HexLineLength = 128;
constexpr qreal FallbackPointSize = 12.0;

// The character attributes the writer carries. Fonts and colours get their table index only
// when text is written in them, so the tables list exactly what the body uses.
struct Attrs {
    QString family;
    int halfPoints = -1; // -1: nothing written yet
    std::optional<QRgb> color; // none: the automatic colour
    int offsetTwips = 0;
    QTextCharFormat::VerticalAlignment verticalAlignment = QTextCharFormat::AlignNormal;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strike = false;
    bool caps = false; // shown in capitals, stored in its own case

    bool operator==(const Attrs &) const = default;
};

QString familyOf(const QTextCharFormat &format)
{
    const QStringList families = format.fontFamilies().toStringList();
    return families.isEmpty() ? QString() : families.first();
}

class Writer final {
public:
    explicit Writer(const QTextDocument &document);

    QByteArray write(int from, int to);

private:
    void writeBlock(const QTextBlock &block, int from, int to);
    void writeFragment(const QTextFragment &fragment, int start, int end);
    void writeParagraphStart(const QTextBlockFormat &format);
    void writeRun(const Attrs &attrs, QStringView text);
    void writeAttrs(const Attrs &next);
    void writeOffset(int twips);
    void writeText(QStringView text);
    void holdHidden(const Attrs &attrs, const QString &text);
    void writeHeldHidden();
    void writeImage(const QTextImageFormat &format);
    void word(const char *w);
    void word(const char *w, int parameter);

    const Attrs &attrsOf(const QTextFragment &fragment);
    Attrs computeAttrs(const QTextCharFormat &format);
    int fontIndex(const QString &family);
    int colorIndex(const QColor &color);
    QByteArray header() const;

    const QTextDocument &m_document;
    QString m_defaultFamily;
    int m_defaultHalfPoints = 24;
    QByteArray m_body;
    bool m_afterWord = false;
    Attrs m_current;
    QString m_hidden; // hidden text not written yet, see holdHidden()
    Attrs m_hiddenAttrs;
    QHash<int, Attrs> m_attrsByFormat; // by QTextFormatCollection index
    QHash<QString, int> m_fontIndex;
    std::vector<QString> m_fonts;
    QHash<QRgb, int> m_colorIndex;
    std::vector<QColor> m_colors;
};

Writer::Writer(const QTextDocument &document)
    : m_document(document)
{
    const QFont font = document.defaultFont();
    m_defaultFamily = font.family();
    const qreal size = font.pointSizeF() > 0 ? font.pointSizeF() : FallbackPointSize;
    m_defaultHalfPoints = int(std::lround(size * 2));
    fontIndex(m_defaultFamily); // \deff0
    m_current.family = m_defaultFamily;
}

QByteArray Writer::write(int from, int to)
{
    m_body.reserve(qMax(0, to - from) * 3 + 256);
    for (QTextBlock block = m_document.findBlock(from); block.isValid() && block.position() <= to;
         block = block.next())
        writeBlock(block, from, to);
    QByteArray out = header();
    out.append(m_body);
    out.append("}\r\n");
    return out;
}

// Every paragraph ends with \par, also the last one (readers drop a final paragraph mark), so
// an empty last paragraph survives.
void Writer::writeBlock(const QTextBlock &block, int from, int to)
{
    writeParagraphStart(block.blockFormat());
    bool wroteText = false;
    for (auto it = block.begin(); !it.atEnd(); ++it) {
        const QTextFragment fragment = it.fragment();
        const int start = qMax(fragment.position(), from);
        const int end = qMin(fragment.position() + fragment.length(), to);
        if (start < end) {
            writeFragment(fragment, start, end);
            wroteText = true;
        }
    }
    writeHeldHidden();
    // The paragraph mark carries the size of an empty line.
    if (!wroteText)
        writeAttrs(computeAttrs(block.charFormat()));
    word("par");
    m_body.append("\r\n", 2);
    m_afterWord = false;
}

// The characters start..end of the fragment: text, pictures or hidden text.
void Writer::writeFragment(const QTextFragment &fragment, int start, int end)
{
    const QTextCharFormat format = fragment.charFormat();
    if (isHiddenText(format)) {
        holdHidden(attrsOf(fragment), hiddenText(format).repeated(end - start));
        return;
    }
    writeHeldHidden();
    if (format.isImageFormat()) {
        for (int i = start; i < end; ++i)
            writeImage(format.toImageFormat());
        return;
    }
    writeRun(attrsOf(fragment), QStringView(fragment.text()).sliced(start - fragment.position(), end - start));
}

void Writer::writeParagraphStart(const QTextBlockFormat &format)
{
    word("pard");
    if (!format.hasProperty(QTextFormat::BlockAlignment))
        return;
    const Qt::Alignment a = format.alignment() & Qt::AlignHorizontal_Mask;
    if (a & Qt::AlignJustify)
        word("qj");
    else if (a & Qt::AlignHCenter)
        word("qc");
    else if (a & (Qt::AlignRight | Qt::AlignTrailing))
        word("qr");
    else
        word("ql");
}

// A run whose characters all carry nothing (control characters) leaves no trace, not even
// its attributes.
void Writer::writeRun(const Attrs &attrs, QStringView text)
{
    const auto writable = [](QChar c) { return !Tokenizer::isIgnored(c.unicode()); };
    if (std::none_of(text.begin(), text.end(), writable))
        return;
    writeAttrs(attrs);
    writeText(text);
}

void Writer::writeAttrs(const Attrs &next)
{
    Attrs &c = m_current;
    if (next.family != c.family)
        word("f", fontIndex(next.family));
    if (next.halfPoints != c.halfPoints)
        word("fs", next.halfPoints);
    if (next.bold != c.bold)
        word(next.bold ? "b" : "b0");
    if (next.italic != c.italic)
        word(next.italic ? "i" : "i0");
    if (next.underline != c.underline)
        word(next.underline ? "ul" : "ulnone");
    if (next.strike != c.strike)
        word(next.strike ? "strike" : "strike0");
    if (next.caps != c.caps)
        word(next.caps ? "caps" : "caps0");
    if (next.color != c.color)
        word("cf", next.color ? colorIndex(QColor::fromRgb(*next.color)) : 0);
    if (next.verticalAlignment != c.verticalAlignment) {
        word(next.verticalAlignment == QTextCharFormat::AlignSuperScript ? "super"
             : next.verticalAlignment == QTextCharFormat::AlignSubScript ? "sub"
                                                                         : "nosupersub");
    }
    if (next.offsetTwips != c.offsetTwips)
        writeOffset(next.offsetTwips);
    c = next;
}

// \up/\dn count half points (10 twips); an offset between them is also written exactly.
void Writer::writeOffset(int twips)
{
    if (twips == 0) {
        word("up", 0);
        return;
    }
    const int halfPoints = qMax(1, int(std::lround(std::abs(twips) / 10.0)));
    word(twips > 0 ? "up" : "dn", halfPoints);
    if (twips % 10 != 0)
        word("qmoffset", twips);
}

void Writer::writeText(QStringView text)
{
    appendEscapedText(m_body, text, m_afterWord);
}

// Hidden text is held until something else comes: hidden text next to hidden text in equal
// attributes reads back as one run, so it is written as one.
void Writer::holdHidden(const Attrs &attrs, const QString &text)
{
    if (!m_hidden.isEmpty() && !(attrs == m_hiddenAttrs))
        writeHeldHidden();
    m_hiddenAttrs = attrs;
    m_hidden.append(text);
}

// Hidden text goes in a group of its own, so \v ends with it; its paragraph marks as \par.
void Writer::writeHeldHidden()
{
    if (m_hidden.isEmpty())
        return;
    writeAttrs(m_hiddenAttrs);
    m_body.append('{');
    word("v");
    const QList<QStringView> paragraphs = QStringView(m_hidden).split(QChar::ParagraphSeparator);
    for (qsizetype i = 0; i < paragraphs.size(); ++i) {
        if (i > 0)
            word("par");
        writeText(paragraphs[i]);
    }
    m_body.append('}');
    m_afterWord = false;
    m_hidden.clear();
}

void Writer::writeImage(const QTextImageFormat &format)
{
    const QVariant resource = m_document.resource(QTextDocument::ImageResource, QUrl(format.name()));
    QImage image;
    if (resource.userType() == QMetaType::QImage)
        image = resource.value<QImage>();
    else if (resource.userType() == QMetaType::QPixmap)
        image = resource.value<QPixmap>().toImage();
    else if (resource.userType() == QMetaType::QByteArray)
        image = QImage::fromData(resource.toByteArray());
    if (image.isNull())
        return;
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "PNG"))
        return;

    // Qt keeps the aspect ratio when only one side is given.
    qreal w = image.width(), h = image.height();
    const bool hasW = format.hasProperty(QTextFormat::ImageWidth);
    const bool hasH = format.hasProperty(QTextFormat::ImageHeight);
    if (hasW)
        w = format.width();
    if (hasH)
        h = format.height();
    if (hasW && !hasH && image.width() > 0)
        h = w * image.height() / image.width();
    if (hasH && !hasW && image.height() > 0)
        w = h * image.width() / image.height();

    m_body.append('{');
    word("pict");
    word("pngblip");
    word("picw", image.width());
    word("pich", image.height());
    // A goal of 0 reads as "none" (the picture's own size), so a picture scaled below one
    // twip keeps the smallest size there is instead.
    word("picwgoal", qMax(1, int(std::lround(w * TwipsPerPixel))));
    word("pichgoal", qMax(1, int(std::lround(h * TwipsPerPixel))));
    const QByteArray hex = png.toHex();
    for (qsizetype i = 0; i < hex.size(); i += HexLineLength) {
        m_body.append("\r\n", 2);
        m_body.append(hex.constData() + i, qMin<qsizetype>(HexLineLength, hex.size() - i));
    }
    m_body.append('}');
    m_afterWord = false;
}

void Writer::word(const char *w)
{
    appendControlWord(m_body, w);
    m_afterWord = true;
}

void Writer::word(const char *w, int parameter)
{
    appendControlWord(m_body, w, parameter);
    m_afterWord = true;
}

const Attrs &Writer::attrsOf(const QTextFragment &fragment)
{
    const int index = fragment.charFormatIndex();
    auto it = m_attrsByFormat.find(index);
    if (it == m_attrsByFormat.end())
        it = m_attrsByFormat.insert(index, computeAttrs(fragment.charFormat()));
    return *it;
}

Attrs Writer::computeAttrs(const QTextCharFormat &format)
{
    Attrs a;
    const QString family = familyOf(format);
    a.family = family.isEmpty() ? m_defaultFamily : family;
    const qreal size = format.fontPointSize();
    a.halfPoints = size > 0 ? qMax(1, int(std::lround(size * 2))) : m_defaultHalfPoints;
    a.bold = format.fontWeight() >= QFont::DemiBold;
    a.italic = format.fontItalic();
    a.underline = format.underlineStyle() != QTextCharFormat::NoUnderline
                  && format.underlineStyle() != QTextCharFormat::SpellCheckUnderline;
    a.strike = format.fontStrikeOut();
    a.caps = format.fontCapitalization() == QFont::AllUppercase;
    if (format.hasProperty(QTextFormat::ForegroundBrush)) {
        const QBrush brush = format.foreground();
        if (brush.style() != Qt::NoBrush)
            a.color = brush.color().rgb() | 0xFF000000u;
    }
    const auto v = format.verticalAlignment();
    if (v == QTextCharFormat::AlignSuperScript || v == QTextCharFormat::AlignSubScript)
        a.verticalAlignment = v;
    a.offsetTwips = characterOffset(format);
    return a;
}

int Writer::fontIndex(const QString &family)
{
    const auto it = m_fontIndex.constFind(family);
    if (it != m_fontIndex.cend())
        return *it;
    const int index = int(m_fonts.size());
    m_fonts.push_back(family);
    m_fontIndex.insert(family, index);
    return index;
}

// Index 0 of the colour table is the automatic colour, so the first real colour is 1.
int Writer::colorIndex(const QColor &color)
{
    const QRgb rgb = color.rgb() | 0xFF000000u;
    const auto it = m_colorIndex.constFind(rgb);
    if (it != m_colorIndex.cend())
        return *it;
    m_colors.push_back(QColor::fromRgb(rgb));
    const int index = int(m_colors.size());
    m_colorIndex.insert(rgb, index);
    return index;
}

QByteArray Writer::header() const
{
    QByteArray h("{\\rtf1\\ansi\\ansicpg932\\deff0\\deflang1041{\\fonttbl");
    for (std::size_t i = 0; i < m_fonts.size(); ++i) {
        h.append('{');
        appendControlWord(h, "f", int(i));
        h.append("\\fnil\\fcharset128 ");
        bool afterWord = false;
        QString name = m_fonts[i];
        name.remove(u';'); // ";" ends an entry and cannot be escaped
        appendEscapedText(h, name, afterWord);
        h.append(";}");
    }
    h.append("}\r\n{\\colortbl ;");
    for (const QColor &c : m_colors) {
        appendControlWord(h, "red", c.red());
        appendControlWord(h, "green", c.green());
        appendControlWord(h, "blue", c.blue());
        h.append(';');
    }
    h.append("}\r\n\\uc1");
    return h;
}

} // namespace

QString toRtf(const QTextDocument &document)
{
    return QString::fromLatin1(toRtfBytes(document));
}

QByteArray toRtfBytes(const QTextDocument &document)
{
    return Writer(document).write(0, qMax(0, document.characterCount() - 1));
}

QString selectionToRtf(const QTextCursor &cursor)
{
    const QTextDocument *document = cursor.document();
    if (!document)
        return {};
    if (!cursor.hasSelection())
        return toRtf(*document);
    return QString::fromLatin1(Writer(*document).write(cursor.selectionStart(), cursor.selectionEnd()));
}

QString plainTextToRtf(QStringView text, const QFont &font)
{
    QTextDocument document;
    document.setDefaultFont(font);
    QTextCursor(&document).insertText(text.toString());
    return toRtf(document);
}

QString escapeText(QStringView text)
{
    QByteArray out;
    bool afterWord = false;
    appendEscapedText(out, text, afterWord);
    return QString::fromLatin1(out);
}

} // namespace qm::rtf
