#pragma once

#include "platform/sqlite/error.h"

#include <QList>
#include <QString>

#include <optional>
#include <stdexcept>
#include <utility>
#include <vector>

namespace qm::exchange {

// Why a line, a row or a whole file is refused, or why an import or export stopped: a kind and
// the values its words need. The program turns it into words in one place; the exchange code
// itself holds no prose.
struct Reason {
    enum class Kind {
        // Reading a file. `limit`: the longest line in bytes.
        LineTooLong,
        LastLineCut,
        EmptyFile,
        NotUtf8,
        // `value`: the 1-based character where the first unreadable byte is; `byte`: that byte.
        UndecodableUtf8,
        UndecodableCp932,
        QuoteNotClosed,
        // The dictionary's own format. `value`: the 1-based character near which the JSON breaks.
        NotJsonObject,
        TooManyJsonValues, // `limit`
        NotThisFormat,
        FirstLineNotHeader,
        UnreadableVersion, // `text`: the version the file names; `limit`: the version read
        MissingField,      // `part`, `text`: the field's name
        BadBase64,         // `part`, `text`: the field's name
        UnknownObjectKind, // `text`
        ObjectNotRestorable,
        MissingDate,
        UnreadableDate,    // `text`
        BadEntryNumber,    // `text`
        UnknownType,       // `text`
        KeywordNotText,
        EmptyKeyword,
        // An entry. `value`: the size in bytes; `limit`: the largest allowed.
        BodyTooLarge,
        FieldsTooLarge,
        BodyNotCp932, // `characters`
        KeywordWithNul, // `text`: the keyword without its NUL characters
        ReservedKeywordChar, // `text`: the keyword; `character`
        // A word list's row. `value`: the column that has a value; `limit`: the columns described.
        ExtraColumn,
        NoDelimiter, // `character`: the delimiter
        NoKeywordOrHeading,
        // The whole import or export. `detail`: the system's words; `cause`: the store's failure.
        ImportCancelled,
        ExportCancelled,
        OutputNotWritable,    // `detail`
        DictionaryUnreadable, // `cause`
        DictionaryNotWritable, // `cause`
        BatchNotWritable, // `value` and `limit`: the first and the last line of the batch; `cause`
        TemporaryNotCreated, // `detail`
        TemporaryNotWritten, // `detail`
        DictionaryClosed,
    };
    // Which part of an entry line a field belongs to.
    enum class Part { Header, Entry, Body, Object };

    Kind kind = Kind::EmptyFile;
    Part part = Part::Entry;
    qint64 value = 0;
    qint64 limit = 0;
    int byte = 0;
    QChar character;
    QString text;
    QString detail;
    QList<char32_t> characters;
    std::optional<sqlite::Error> cause;
};

// A line of a file (1-based; 0 when no line is to blame: a file that cannot be opened, a
// cancel) and why it is refused.
struct LineProblem {
    qint64 line = 0;
    Reason reason;
};

// Why an import or export stopped. An import that checks every line first carries all the lines
// it refuses: line() and reason() are those of the first, listed() the first of them.
class ExchangeError final : public std::runtime_error
{
public:
    ExchangeError(qint64 line, Reason reason);

    qint64 line() const { return m_line; }
    const Reason &reason() const { return m_reason; }
    // How many lines were refused (1 for a single problem).
    qint64 count() const { return m_count; }
    // The first lines refused, when there are several; empty for a single problem.
    const std::vector<LineProblem> &listed() const { return m_listed; }

private:
    friend class ProblemList;

    qint64 m_line;
    Reason m_reason;
    qint64 m_count = 1;
    std::vector<LineProblem> m_listed;
};

// A reason of only a kind, of a kind and the system's words, or of a kind and the store's failure.
Reason reasonOf(Reason::Kind kind);
Reason reasonOf(Reason::Kind kind, const QString &detail);
Reason reasonOf(Reason::Kind kind, const sqlite::Error &cause);
// A reason about a size or a position (`value`) and its limit.
Reason measuredReason(Reason::Kind kind, qint64 value, qint64 limit);

// The lines an import refuses, gathered in one pass over the file so that the user learns of
// all of them at once.
class ProblemList final
{
public:
    // How many lines the message names; the rest are counted.
    static constexpr int Listed = 20;

    void add(qint64 line, const Reason &reason);
    void add(const ExchangeError &e);
    bool isEmpty() const { return m_count == 0; }
    // Throws the lines refused as one ExchangeError; nothing when there are none.
    void throwIfAny() const;

    // The next line or row of a reader whose next() throws where the file cannot be read on:
    // that refusal is added, and the reading ends.
    template<typename Reader, typename Item>
    bool readNext(Reader &reader, Item &item)
    {
        try {
            return reader.next(item);
        } catch (const ExchangeError &e) {
            add(e);
            return false;
        }
    }

private:
    qint64 m_count = 0;
    std::vector<LineProblem> m_listed;
};

} // namespace qm::exchange
