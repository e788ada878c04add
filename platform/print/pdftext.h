#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QMap>
#include <QRawFont>
#include <QSet>
#include <QString>

class QFont;
class QPrinter;
class QTextDocument;

namespace qm::print {

// A PDF names, for every glyph it shows, the text a reader extracts for it. Qt's PDF writer
// takes the lowest code point the font maps to the glyph, and the CJK fonts draw an ideograph
// and its radical (赤 and U+2F9A) or a space and a tab with one glyph, so printed kanji came
// back as radicals. These helpers rewrite those names with the characters that were printed.

// The glyph-to-text map of one ToUnicode stream; empty when the stream does not parse.
QMap<uint, QString> parseToUnicode(const QByteArray &cmap);
QByteArray writeToUnicode(const QMap<uint, QString> &map);

// Chooses the text of glyphs shared between characters: a control character or a radical is
// replaced by the character the same font draws with the same glyph, one of the printed
// text when it holds one.
class GlyphText final
{
public:
    GlyphText(const QString &printedText, const QList<QRawFont> &fonts);

    // The text for a glyph whose lowest code point is `text`; `text` itself when it is right.
    QString textFor(const QString &text) const;

private:
    char32_t sharedWith(char32_t codePoint) const;
    // The glyph of every BMP code point in a font, made when first needed.
    const QList<quint32> &glyphTable(qsizetype font) const;

    QSet<uint> m_printed;
    QList<QRawFont> m_fonts;
    mutable QHash<qsizetype, QList<quint32>> m_tables;
};

// Every font the document's layout draws with, fallback fonts included, one per face.
QList<QRawFont> fontsOf(const QTextDocument &document);
// The same for a text drawn in one font.
QList<QRawFont> fontsOf(const QString &text, const QFont &font);

// Rewrites the ToUnicode maps of a PDF file by an incremental update (the original objects
// stay; new ones and a new cross-reference section are appended). False when the file could not
// be read, parsed or written; a file without such maps is left as it is.
bool repairPdfText(const QString &path, const GlyphText &glyphText);

// After printing: repairs the PDF file the printer wrote, if it wrote one. False only when a
// PDF file was written and could not be repaired.
bool repairPrintedText(const QPrinter &printer, const QString &printedText, const QList<QRawFont> &fonts);

} // namespace qm::print
