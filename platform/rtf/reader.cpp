#include "rtf.h"

#include "codepage.h"
#include "hiddentext.h"
#include "keywords.h"
#include "picture.h"
#include "readersink.h"
#include "tables.h"
#include "tokenizer.h"

#include "platform/text/cp932.h"

#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <vector>

namespace qm::rtf {
namespace {

// Limits that keep hostile input cheap. Deeper groups are still counted (so text after them
// is found), they just share the deepest kept state.
constexpr std::size_t MaxGroupDepth = 256;
constexpr int MaxFallbackSkip = 16;
constexpr int MaxHalfPoints = 3276; // 1638 pt
constexpr int MaxOffsetTwips = 32767;
constexpr char16_t Replacement = 0xFFFD;

// A high surrogate from \uN waits for its low half across what writers put between the two
// \u words: a change of \uc and group boundaries. Anything else ends the wait.
bool keepsHighSurrogate(const Tokenizer::Token &token)
{
    using Kind = Tokenizer::Kind;
    if (token.kind == Kind::GroupOpen || token.kind == Kind::GroupClose)
        return true;
    return token.kind == Kind::Word && (token.word == "u" || token.word == "uc");
}

// Ignored: the copy of a text for readers without Unicode, in front of its \ud.
enum class Destination : std::uint8_t { Text, Footnote, FontTable, ColorTable, Picture, Ignored };

// Optional destinations (\*) that are read all the same: they hold document text.
bool readsOptional(Kw kw)
{
    return kw == Kw::TransparentDestination || kw == Kw::Footnote || kw == Kw::Upr || kw == Kw::Ud;
}

struct State {
    CharState chars;
    Qt::Alignment alignment; // empty: not given (\pard)
    int fallbackSkip = 1;    // \ucN
    int dbchFont = -1;       // \dbch\afN: the font of double-byte text
    bool assocDbch = false;  // an \af now names the double-byte font
    bool upr = false;        // the group is an \upr: its groups are ignored unless they are \ud
    Destination destination = Destination::Text;
};

// A piece of a footnote's text in one set of attributes; a piece without text is a paragraph mark.
struct NotePiece {
    QString text;
    CharState chars;
};
using Note = std::vector<NotePiece>;

QString noteMark(std::size_t number)
{
    return QStringLiteral("[%1]").arg(number);
}

class Reader final {
public:
    Reader(ReaderSink &sink, DocumentTables &tables, QStringView input, bool rawBytes)
        : m_sink(sink)
        , m_tables(tables)
        , m_tokens(input, rawBytes)
    {
        m_stack.reserve(64);
        m_stack.emplace_back();
    }

    void run();

private:
    State &top() { return m_stack.back(); }

    void dispatch(const Tokenizer::Token &token);
    bool consumeFallback(const Tokenizer::Token &token);
    void skipToken(const Tokenizer::Token &token);
    void openGroup();
    void closeGroup();
    void onWord(const Tokenizer::Token &token);
    void onSymbol(char16_t symbol);
    void onByte(std::uint8_t byte);
    void onUnicode(int value);
    void onText(QStringView text);
    bool onCharacterWord(Kw kw, const Tokenizer::Token &token);
    bool onParagraphWord(Kw kw);
    bool onTableWord(Kw kw);
    bool onPictureWord(Kw kw, const Tokenizer::Token &token);
    void startFootnote();

    void emitChar(char32_t c);
    void appendText(QStringView text);
    void appendRunText(QStringView text);
    void appendNoteText(QStringView text);
    void flushPending();
    void flushBytes();
    void flushSurrogate();
    void flushRun();
    void ensureBlock();
    void paragraphBreak();
    void endParagraph();
    void applyParagraph();
    void finish();
    void appendNotes();
    void appendNote(std::size_t index);

    void endFontEntry();
    void finishPicture();

    CodePage fontCodePage(int font) const;
    CodePage byteCodePage(std::uint8_t byte);

    ReaderSink &m_sink;
    DocumentTables &m_tables;
    Tokenizer m_tokens;
    std::vector<State> m_stack;
    int m_overflowDepth = 0;  // groups opened beyond MaxGroupDepth
    int m_skipDepth = 0;      // > 0 while inside a skipped destination
    bool m_starPending = false;
    bool m_done = false;
    int m_fallbackLeft = 0;   // characters still to skip after \uN
    char16_t m_highSurrogate = 0;
    ByteDecoder m_bytes;

    CodePage m_documentCodePage = CodePage::Cp1252;
    FontTable &m_fonts = m_tables.fonts;
    ColorTable &m_colors = m_tables.colors;
    PictureBuilder m_picture;
    qint64 m_pictureBytesLeft = MaxDecodedPictureBytes;

    QString m_run;
    CharState m_runState;
    bool m_pendingParagraph = false;
    bool m_ownsBlock = false;
    bool m_insertedAnything = false;
    std::vector<Note> m_notes;
};

void Reader::run()
{
    // The first paragraph's format is ours only when we start in an empty paragraph.
    m_ownsBlock = m_sink.begin();
    while (!m_done) {
        const Tokenizer::Token token = m_tokens.next();
        if (token.kind == Tokenizer::Kind::End)
            break;
        dispatch(token);
    }
    finish();
    m_sink.end();
}

void Reader::dispatch(const Tokenizer::Token &token)
{
    using Kind = Tokenizer::Kind;
    if (m_skipDepth > 0) {
        skipToken(token);
        return;
    }
    if (m_fallbackLeft > 0 && consumeFallback(token))
        return;
    if (token.kind != Kind::Byte)
        flushBytes();
    if (!keepsHighSurrogate(token))
        flushSurrogate();
    if (token.kind != Kind::Word)
        m_starPending = false;
    switch (token.kind) {
    case Kind::GroupOpen:
        openGroup();
        break;
    case Kind::GroupClose:
        closeGroup();
        break;
    case Kind::Word:
        onWord(token);
        break;
    case Kind::Symbol:
        onSymbol(token.symbol);
        break;
    case Kind::Byte:
        onByte(token.byte);
        break;
    case Kind::Text:
        onText(token.text);
        break;
    case Kind::End:
        break;
    }
}

// Inside a skipped destination only the group structure and \bin data matter.
void Reader::skipToken(const Tokenizer::Token &token)
{
    using Kind = Tokenizer::Kind;
    if (token.kind == Kind::GroupOpen) {
        ++m_skipDepth;
    } else if (token.kind == Kind::GroupClose) {
        if (--m_skipDepth == 0)
            closeGroup();
    } else if (token.kind == Kind::Word && token.word == "bin" && token.hasParam) {
        m_tokens.takeBinary(token.param);
    }
}

// Skips the fallback characters that follow \uN. True when the token was used up.
bool Reader::consumeFallback(const Tokenizer::Token &token)
{
    using Kind = Tokenizer::Kind;
    switch (token.kind) {
    case Kind::GroupOpen:
    case Kind::GroupClose:
    case Kind::End:
        m_fallbackLeft = 0;
        return false;
    case Kind::Text: {
        const qsizetype skip = qMin(qsizetype(m_fallbackLeft), token.text.size());
        m_fallbackLeft -= int(skip);
        if (skip < token.text.size()) {
            flushPending();
            onText(token.text.sliced(skip));
        }
        return true;
    }
    case Kind::Word:
        if (token.word == "bin" && token.hasParam)
            m_tokens.takeBinary(token.param);
        --m_fallbackLeft;
        return true;
    case Kind::Symbol:
    case Kind::Byte:
        --m_fallbackLeft;
        return true;
    }
    return false;
}

void Reader::openGroup()
{
    if (m_stack.size() > MaxGroupDepth) {
        ++m_overflowDepth;
        return;
    }
    State child = top();
    if (child.upr) {
        child.upr = false;
        child.destination = Destination::Ignored;
    }
    // Groups inside a picture hold its properties, never its data.
    if (child.destination == Destination::Picture) {
        m_stack.push_back(child);
        m_skipDepth = 1;
        return;
    }
    m_stack.push_back(child);
}

void Reader::closeGroup()
{
    m_starPending = false;
    m_fallbackLeft = 0;
    if (m_overflowDepth > 0) {
        --m_overflowDepth;
        return;
    }
    if (m_stack.size() <= 1)
        return; // an unbalanced "}" outside every group
    const State closed = m_stack.back();
    m_stack.pop_back();
    // An entry ends with ";" or with the group it began in, not with a group nested in it.
    if (m_fonts.entryOpen() && m_stack.size() + 1 == m_fonts.entryDepth()) {
        flushBytes();
        m_fonts.end();
        m_sink.tablesChanged();
    }
    if (closed.destination == Destination::Picture && top().destination != Destination::Picture)
        finishPicture();
    // The document ends with its outermost group; anything after it is not RTF.
    if (m_stack.size() == 1)
        m_done = true;
}

void Reader::onWord(const Tokenizer::Token &token)
{
    const Kw kw = lookupKeyword(token.word);
    if (m_starPending) {
        m_starPending = false;
        // An optional destination is skipped unless it is one that holds document text.
        if (!readsOptional(kw)) {
            m_skipDepth = 1;
            return;
        }
    }
    State &s = top();
    const int p = token.param;
    switch (kw) {
    case Kw::AnsiCpg:
        m_documentCodePage = codePageFromNumber(p, CodePage::Cp1252);
        return;
    case Kw::Ansi:
        m_documentCodePage = CodePage::Cp1252;
        return;
    case Kw::Deff:
        m_tables.defaultFont = p;
        m_sink.tablesChanged();
        return;
    case Kw::Uc:
        if (token.hasParam && p >= 0 && p <= MaxFallbackSkip)
            s.fallbackSkip = p;
        return;
    case Kw::U:
        if (token.hasParam)
            onUnicode(p);
        return;
    case Kw::SkipDestination:
        m_skipDepth = 1;
        return;
    case Kw::Footnote:
        startFootnote();
        return;
    case Kw::Upr:
        s.upr = true;
        return;
    case Kw::Ud:
        // The text of the \upr this \ud is in.
        if (s.destination == Destination::Ignored && m_stack.size() >= 2)
            s.destination = m_stack[m_stack.size() - 2].destination;
        return;
    case Kw::FontTable:
        s.destination = Destination::FontTable;
        return;
    case Kw::ColorTable:
        s.destination = Destination::ColorTable;
        m_colors.discardEntry();
        return;
    case Kw::Bin:
        if (token.hasParam) {
            const QStringView data = m_tokens.takeBinary(p);
            if (s.destination == Destination::Picture)
                m_picture.appendBinary(data);
        }
        return;
    case Kw::Character:
        emitChar(keywordCharacter(token.word));
        return;
    default:
        break;
    }
    if (onCharacterWord(kw, token) || onParagraphWord(kw) || onTableWord(kw))
        return;
    onPictureWord(kw, token);
}

bool Reader::onCharacterWord(Kw kw, const Tokenizer::Token &token)
{
    State &s = top();
    CharState &c = s.chars;
    const int p = token.param;
    const bool on = !token.hasParam || p != 0;
    switch (kw) {
    case Kw::F:
        if (s.destination == Destination::FontTable)
            m_fonts.begin(p, m_documentCodePage, m_stack.size());
        else
            c.font = p;
        break;
    case Kw::FCharset:
        if (s.destination == Destination::FontTable)
            m_fonts.setCodePage(codePageFromCharset(p, m_documentCodePage));
        break;
    case Kw::Cpg:
        if (s.destination == Destination::FontTable)
            m_fonts.setCodePage(codePageFromNumber(p, m_fonts.entryCodePage()));
        break;
    case Kw::Red:
        if (s.destination == Destination::ColorTable)
            m_colors.setRed(p);
        break;
    case Kw::Green:
        if (s.destination == Destination::ColorTable)
            m_colors.setGreen(p);
        break;
    case Kw::Blue:
        if (s.destination == Destination::ColorTable)
            m_colors.setBlue(p);
        break;
    case Kw::Af:
        if (s.assocDbch)
            s.dbchFont = p;
        break;
    case Kw::Dbch:
    case Kw::Loch:
    case Kw::Hich:
        s.assocDbch = kw == Kw::Dbch;
        break;
    case Kw::Fs:
        if (!token.hasParam)
            c.halfPoints = 24;
        else if (p > 0)
            c.halfPoints = qMin(p, MaxHalfPoints);
        break;
    case Kw::B:
        c.bold = on;
        break;
    case Kw::I:
        c.italic = on;
        break;
    case Kw::Ul:
        c.underline = on;
        break;
    case Kw::UlNone:
        c.underline = false;
        break;
    case Kw::Strike:
        c.strike = on;
        break;
    case Kw::Caps:
        c.caps = on;
        break;
    case Kw::V:
        c.hidden = on;
        break;
    case Kw::Cf:
        c.color = qMax(0, p);
        break;
    case Kw::Up:
    case Kw::Dn: {
        const long long halfPoints = token.hasParam ? p : 6;
        const long long twips = qBound(-(long long)MaxOffsetTwips, halfPoints * 10, (long long)MaxOffsetTwips);
        c.offsetTwips = int(kw == Kw::Up ? twips : -twips);
        break;
    }
    case Kw::Offset:
        c.offsetTwips = qBound(-MaxOffsetTwips, p, MaxOffsetTwips);
        break;
    case Kw::Sub:
        c.verticalAlignment = QTextCharFormat::AlignSubScript;
        break;
    case Kw::Super:
        c.verticalAlignment = QTextCharFormat::AlignSuperScript;
        break;
    case Kw::NoSuperSub:
        c.verticalAlignment = QTextCharFormat::AlignNormal;
        break;
    case Kw::Plain:
        c = CharState();
        s.dbchFont = -1;
        break;
    default:
        return false;
    }
    return true;
}

bool Reader::onParagraphWord(Kw kw)
{
    State &s = top();
    switch (kw) {
    case Kw::Pard:
        s.alignment = {};
        break;
    case Kw::Ql:
        s.alignment = Qt::AlignLeft;
        break;
    case Kw::Qr:
        s.alignment = Qt::AlignRight;
        break;
    case Kw::Qc:
        s.alignment = Qt::AlignHCenter;
        break;
    case Kw::Qj:
        s.alignment = Qt::AlignJustify;
        break;
    case Kw::Par:
        paragraphBreak();
        break;
    case Kw::Line:
        emitChar(QChar::LineSeparator);
        break;
    case Kw::Tab:
        emitChar(u'\t');
        break;
    default:
        return false;
    }
    return true;
}

// Tables are read as text: cells separated by tabs, rows as paragraphs.
bool Reader::onTableWord(Kw kw)
{
    if (kw == Kw::Cell) {
        emitChar(u'\t');
        return true;
    }
    if (kw == Kw::Row) {
        paragraphBreak();
        return true;
    }
    return false;
}

bool Reader::onPictureWord(Kw kw, const Tokenizer::Token &token)
{
    State &s = top();
    if (kw == Kw::Pict) {
        s.destination = Destination::Picture;
        m_picture = PictureBuilder();
        return true;
    }
    return s.destination == Destination::Picture && m_picture.apply(kw, token.param);
}

// A footnote leaves its number in the text; its own text is kept for the end (appendNotes()).
void Reader::startFootnote()
{
    State &s = top();
    if (s.destination == Destination::Footnote)
        return; // a note inside a note goes on as the same note
    if (s.destination != Destination::Text) {
        m_skipDepth = 1;
        return;
    }
    m_notes.emplace_back();
    appendRunText(noteMark(m_notes.size()));
    s.destination = Destination::Footnote;
}

void Reader::onSymbol(char16_t symbol)
{
    switch (symbol) {
    case u'*':
        m_starPending = true;
        break;
    case u'\\':
    case u'{':
    case u'}':
        emitChar(symbol);
        break;
    case u'~':
        emitChar(0x00A0);
        break;
    case u'-':
        emitChar(0x00AD);
        break;
    case u'_':
        emitChar(0x2011);
        break;
    case u'\n':
        paragraphBreak();
        break;
    case u'\t':
        emitChar(u'\t');
        break;
    default:
        break; // \: \| and the like carry nothing we show
    }
}

void Reader::onByte(std::uint8_t byte)
{
    const Destination d = top().destination;
    if (d != Destination::Text && d != Destination::Footnote && d != Destination::FontTable) {
        flushPending();
        return;
    }
    const ByteDecoder::Output out = m_bytes.feed(byte, byteCodePage(byte));
    for (int i = 0; i < out.count; ++i)
        emitChar(out.chars[i]);
    m_fallbackLeft = 0;
}

void Reader::onUnicode(int value)
{
    if (value < -32768 || value > 0x10FFFF)
        return; // out of range: ignored, its fallback text stays
    m_fallbackLeft = top().fallbackSkip;
    const char32_t c = value < 0 ? char32_t(value + 0x10000) : char32_t(value);
    if (c < 0x10000 && QChar::isHighSurrogate(c)) {
        if (m_highSurrogate)
            emitChar(Replacement);
        m_highSurrogate = char16_t(c);
        return;
    }
    if (c < 0x10000 && QChar::isLowSurrogate(c)) {
        if (!m_highSurrogate) {
            emitChar(Replacement);
            return;
        }
        const char32_t full = QChar::surrogateToUcs4(m_highSurrogate, char16_t(c));
        m_highSurrogate = 0;
        emitChar(full);
        return;
    }
    if (m_highSurrogate) {
        m_highSurrogate = 0;
        emitChar(Replacement);
    }
    if (c != 0)
        emitChar(c);
}

void Reader::onText(QStringView text)
{
    switch (top().destination) {
    case Destination::Text:
    case Destination::Footnote:
        appendText(text);
        break;
    case Destination::FontTable:
        for (QChar c : text) {
            if (c == u';')
                endFontEntry();
            else
                emitChar(c.unicode());
        }
        break;
    case Destination::ColorTable:
        for (QChar c : text) {
            if (c == u';') {
                m_colors.endEntry();
                m_sink.tablesChanged();
            }
        }
        break;
    case Destination::Picture:
        m_picture.appendHex(text);
        break;
    case Destination::Ignored:
        break;
    }
}

// A character from an escape, a decoded byte or \uN, into the current destination.
void Reader::emitChar(char32_t c)
{
    if (c < 0x10000 && Tokenizer::isIgnored(char16_t(c)))
        return;
    const Destination d = top().destination;
    if (d == Destination::FontTable) {
        m_fonts.appendToName(QChar::fromUcs4(c));
        return;
    }
    if (d == Destination::Text || d == Destination::Footnote)
        appendText(QChar::fromUcs4(c));
}

void Reader::appendText(QStringView text)
{
    if (top().destination == Destination::Footnote)
        appendNoteText(text);
    else
        appendRunText(text);
}

void Reader::appendRunText(QStringView text)
{
    if (text.isEmpty())
        return;
    ensureBlock();
    const CharState &state = top().chars;
    if (!m_run.isEmpty() && !(state == m_runState))
        flushRun();
    if (m_run.isEmpty())
        m_runState = state;
    m_run.append(text);
}

// The space or tab that separates a note's number from its text is the note's own one.
void Reader::appendNoteText(QStringView text)
{
    Note &note = m_notes.back();
    if (note.empty()) {
        while (!text.isEmpty() && (text.front() == u' ' || text.front() == u'\t'))
            text = text.sliced(1);
        if (text.isEmpty())
            return;
    }
    const CharState &chars = top().chars;
    if (note.empty() || note.back().text.isEmpty() || !(note.back().chars == chars))
        note.push_back({QString(), chars});
    note.back().text.append(text);
}

// A lead byte or a high surrogate that found no partner becomes U+FFFD.
void Reader::flushPending()
{
    flushBytes();
    flushSurrogate();
}

void Reader::flushBytes()
{
    if (m_bytes.pending())
        emitChar(m_bytes.flush());
}

void Reader::flushSurrogate()
{
    if (m_highSurrogate) {
        m_highSurrogate = 0;
        emitChar(Replacement);
    }
}

void Reader::flushRun()
{
    if (m_run.isEmpty())
        return;
    if (m_runState.hidden)
        m_sink.insertHidden(m_run, m_runState);
    else
        m_sink.insertText(m_run, m_runState);
    m_run.truncate(0);
    m_insertedAnything = true;
}

// A paragraph mark is held back until something follows it, so that the final \par of a
// document does not add an empty paragraph.
void Reader::ensureBlock()
{
    if (!m_pendingParagraph)
        return;
    m_pendingParagraph = false;
    m_sink.insertBlock();
    m_ownsBlock = true;
}

void Reader::paragraphBreak()
{
    const State &s = top();
    if (s.destination != Destination::Text && s.destination != Destination::Footnote)
        return;
    // A hidden paragraph mark joins its paragraph to the next, as it is not there.
    if (s.chars.hidden)
        appendText(QStringView(u"\u2029"));
    else if (s.destination == Destination::Footnote)
        m_notes.back().push_back({QString(), s.chars});
    else
        endParagraph();
}

void Reader::endParagraph()
{
    ensureBlock();
    flushRun();
    applyParagraph();
    m_pendingParagraph = true;
    m_insertedAnything = true;
}

void Reader::applyParagraph()
{
    if (!m_ownsBlock)
        return;
    m_sink.formatParagraph(top().alignment, top().chars);
}

void Reader::finish()
{
    flushPending();
    flushRun();
    if (m_insertedAnything && !m_pendingParagraph)
        applyParagraph();
    if (!m_notes.empty())
        appendNotes();
}

// The footnotes follow the text after an empty line, each as "[n] text" in paragraphs of its
// own, so a document read from a file or pasted loses none of their words.
void Reader::appendNotes()
{
    m_pendingParagraph = true; // the last paragraph of the text ends here
    m_stack.push_back(State());
    endParagraph();
    for (std::size_t i = 0; i < m_notes.size(); ++i)
        appendNote(i);
    // Inserted into a text, what followed the cursor starts a paragraph of its own.
    if (!m_sink.atEnd())
        ensureBlock();
    m_stack.pop_back();
}

void Reader::appendNote(std::size_t index)
{
    State &s = top();
    s.chars = CharState();
    appendRunText(noteMark(index + 1).append(u' '));
    for (const NotePiece &piece : m_notes[index]) {
        s.chars = piece.chars;
        if (piece.text.isEmpty())
            endParagraph();
        else
            appendRunText(piece.text);
    }
    endParagraph();
}

void Reader::endFontEntry()
{
    flushBytes();
    m_fonts.end();
    m_sink.tablesChanged();
}

void Reader::finishPicture()
{
    if (top().destination != Destination::Text) {
        m_picture = PictureBuilder(); // the notes keep their words, not their pictures
        return;
    }
    const PictureBuilder::Result picture = m_picture.finish(m_pictureBytesLeft);
    if (picture.image.isNull())
        return; // metafiles and bitmaps we cannot draw are left out, the text goes on
    ensureBlock();
    flushRun();
    m_sink.insertPicture(picture);
    m_insertedAnything = true;
}

CodePage Reader::fontCodePage(int font) const
{
    const FontEntry *entry = m_fonts.find(font < 0 ? m_tables.defaultFont : font);
    return entry ? entry->codePage : m_documentCodePage;
}

CodePage Reader::byteCodePage(std::uint8_t byte)
{
    const State &s = top();
    if (s.destination == Destination::FontTable)
        return m_fonts.entryOpen() ? m_fonts.entryCodePage() : m_documentCodePage;
    const CodePage own = fontCodePage(s.chars.font);
    // Double-byte text may be set in an associated Japanese font (\dbch\afN) while \f names a
    // Latin one; its lead bytes then belong to that font.
    if (own != CodePage::Cp932 && s.assocDbch && s.dbchFont >= 0
        && fontCodePage(s.dbchFont) == CodePage::Cp932 && qm::text::cp932::isLeadByte(byte))
        return CodePage::Cp932;
    return own;
}

void read(QTextCursor &cursor, QStringView input, bool rawBytes)
{
    if (cursor.isNull())
        return;
    DocumentTables tables;
    DocumentSink sink(cursor, tables);
    readInto(sink, tables, input, rawBytes);
}

char16_t unit(QChar c)
{
    return c.unicode();
}

char16_t unit(char c)
{
    return char16_t(static_cast<unsigned char>(c));
}

template<typename View>
bool startsWithRtf(View text)
{
    qsizetype i = 0;
    while (i < text.size() && QChar::isSpace(unit(text[i])))
        ++i;
    const char16_t head[] = u"{\\rtf";
    for (int k = 0; k < 5; ++k, ++i) {
        if (i >= text.size() || unit(text[i]) != head[k])
            return false;
    }
    return true;
}

} // namespace

void readInto(ReaderSink &sink, DocumentTables &tables, QStringView input, bool rawBytes)
{
    Reader(sink, tables, input, rawBytes).run();
}

bool looksLikeRtf(QStringView text)
{
    return startsWithRtf(text);
}

bool looksLikeRtf(QByteArrayView bytes)
{
    return startsWithRtf(bytes);
}

void insertRtf(QTextCursor &cursor, QStringView rtf)
{
    read(cursor, rtf, false);
}

void insertRtfBytes(QTextCursor &cursor, QByteArrayView rtf)
{
    read(cursor, QString::fromLatin1(rtf), true);
}

void setRtf(QTextDocument &document, QStringView rtf)
{
    document.clear();
    QTextCursor cursor(&document);
    insertRtf(cursor, rtf);
}

void setRtfBytes(QTextDocument &document, QByteArrayView rtf)
{
    document.clear();
    QTextCursor cursor(&document);
    insertRtfBytes(cursor, rtf);
}

// The text is collected as it is read: no document is built to be thrown away.
QString rtfToPlainText(QStringView rtf)
{
    DocumentTables tables;
    TextSink sink;
    readInto(sink, tables, rtf, false);
    return sink.take();
}

QString visibleText(const QTextDocument &document)
{
    QString text;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        if (block != document.begin())
            text.append(u'\n');
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            if (!isHiddenText(it.fragment().charFormat()))
                text.append(it.fragment().text());
        }
    }
    text.replace(QChar::LineSeparator, u'\n');
    return text;
}

} // namespace qm::rtf
