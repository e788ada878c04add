#pragma once

#include "picture.h"
#include "tables.h"

#include <QString>
#include <QTextCharFormat>

class QTextCursor;

// The one RTF reader (reader.cpp) turns tokens into runs of text, paragraph marks and pictures,
// and hands them to a sink: a document that takes them with their formats, or a collector of
// the visible text that needs no document at all.
namespace qm::rtf {

// Character attributes as RTF sets them; equal states give equal QTextCharFormats.
struct CharState {
    int font = -1;          // font number; -1 is the document's default font
    int halfPoints = 0;     // 0: not given
    int color = 0;          // colour table index; 0 is the automatic colour
    int offsetTwips = 0;
    QTextCharFormat::VerticalAlignment verticalAlignment = QTextCharFormat::AlignNormal;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strike = false;
    bool caps = false;
    bool hidden = false;

    bool operator==(const CharState &) const = default;
};

// The font and colour tables of the RTF being read, as far as they are read.
struct DocumentTables {
    FontTable fonts;
    ColorTable colors;
    int defaultFont = 0;
};

class ReaderSink {
public:
    virtual ~ReaderSink() = default;

    // True when the reading starts in an empty paragraph, whose format is then the reader's.
    virtual bool begin() = 0;
    virtual void end() = 0;
    // A run of text in one set of attributes; it holds no paragraph marks.
    virtual void insertText(const QString &text, const CharState &chars) = 0;
    // A run of hidden text; a paragraph mark inside it is U+2029.
    virtual void insertHidden(const QString &text, const CharState &chars) = 0;
    virtual void insertBlock() = 0;
    // The format of the paragraph being ended, when it is the reader's own.
    virtual void formatParagraph(Qt::Alignment alignment, const CharState &mark) = 0;
    virtual void insertPicture(const PictureBuilder::Result &picture) = 0;
    // True when nothing follows the place the reading goes to.
    virtual bool atEnd() const = 0;
    // The font or colour table changed: formats made from them are stale.
    virtual void tablesChanged() {}
};

// Reads the RTF into the sink; `tables` are filled as the RTF defines them.
void readInto(ReaderSink &sink, DocumentTables &tables, QStringView input, bool rawBytes);

// Puts what is read into a document at a cursor, replacing its selection, as one undo step.
class DocumentSink final : public ReaderSink {
public:
    DocumentSink(QTextCursor &cursor, const DocumentTables &tables);

    bool begin() override;
    void end() override;
    void insertText(const QString &text, const CharState &chars) override;
    void insertHidden(const QString &text, const CharState &chars) override;
    void insertBlock() override;
    void formatParagraph(Qt::Alignment alignment, const CharState &mark) override;
    void insertPicture(const PictureBuilder::Result &picture) override;
    bool atEnd() const override;
    void tablesChanged() override { m_cachedFormatValid = false; }

private:
    QTextCharFormat formatFor(const CharState &state);

    QTextCursor &m_cursor;
    const DocumentTables &m_tables;
    bool m_hiddenLaidOut = false;
    bool m_cachedFormatValid = false;
    CharState m_cachedState;
    QTextCharFormat m_cachedFormat;
};

// Collects the text a document read from the same RTF would show, as visibleText() gives it:
// hidden text left out, paragraphs and line breaks as "\n", a picture as U+FFFC.
class TextSink final : public ReaderSink {
public:
    bool begin() override { return true; }
    void end() override {}
    void insertText(const QString &text, const CharState &chars) override;
    void insertHidden(const QString &, const CharState &) override {}
    void insertBlock() override { m_text.append(u'\n'); }
    void formatParagraph(Qt::Alignment, const CharState &) override {}
    void insertPicture(const PictureBuilder::Result &picture) override;
    bool atEnd() const override { return true; }

    QString take() { return std::move(m_text); }

private:
    QString m_text;
};

} // namespace qm::rtf
