#pragma once

#include "importer.h"
#include "jsonlines.h"

#include "app/store/progress.h"

#include <QList>

#include <optional>
#include <vector>

class QIODevice;

namespace qm::store {
class DictionaryStorage;
}

// Word lists as spreadsheets save them: CSV or TSV, UTF-8 (with or without a byte order mark)
// or CP932, fields quoted with '"' when they hold the separator, quotes (doubled) or line
// breaks, lines ending in CR LF, LF or CR. Each row becomes a plain-text entry (or, when CP932
// cannot hold its body, an entry of the fallback type). Bytes the encoding cannot read, and
// values in columns no column choice covers, refuse the row.
namespace qm::exchange::wordlist {

enum class Column { Keyword, Heading, Body, Date, Skip };
enum class Encoding { Auto, Utf8, Cp932 };
enum class Duplicates { Add, Skip };

struct Options {
    QChar delimiter = u',';
    // What each column holds; a row with a value beyond the list is refused.
    QList<Column> columns{Column::Keyword, Column::Heading, Column::Body};
    // Splits a keyword cell into several keywords; empty: one keyword per cell.
    QString keywordSeparator;
    // The first row names the columns and is skipped.
    bool headerRow = false;
    Encoding encoding = Encoding::Auto;
    // What becomes of a row whose heading the dictionary has already (or an earlier row had).
    Duplicates duplicates = Duplicates::Add;
    // A longer row (quoted line breaks included) is refused without being read whole.
    qint64 maxRowBytes = 16 * 1024 * 1024;
    jsonl::Limits limits;
    // Called with the bytes read and the file's size; false stops the import.
    store::Progress progress;
};

// "keyword", "heading", "body", "date", "skip"; nullopt for anything else.
std::optional<Column> columnFromName(QStringView name);
// A comma-separated list of column names; nullopt when one is unknown.
std::optional<QList<Column>> columnsFromText(QStringView text);

// The encoding of the file: a UTF-8 byte order mark means UTF-8; otherwise valid UTF-8 bytes
// mean UTF-8, anything else CP932. Reads the file and leaves the device where it was.
struct EncodingGuess {
    Encoding encoding = Encoding::Utf8;
    // For CP932: the 1-based line whose bytes are no UTF-8.
    qint64 brokenLine = 0;
};
EncodingGuess guessEncoding(QIODevice &in);
Encoding detectEncoding(QIODevice &in);

// A row as it would be stored, and the line of the file it starts on; or, when it cannot be
// stored, the reason and the line to blame.
struct Row {
    qint64 line = 0;
    jsonl::Record record;
    std::optional<Reason> problem; // none for a row that can be stored
};

// The first `count` rows as they would be stored (after the header row; duplicates are not
// looked up), rows that cannot be stored among them with their problem. Throws ExchangeError
// when the file cannot be read on (a quote that never closes, a line too long). Leaves the
// device where it was.
std::vector<Row> preview(QIODevice &in, const Options &options, int count);

// The most fields any of the first `count` rows has (the header row included), for choosing
// what each column holds. Leaves the device where it was.
int columnCount(QIODevice &in, const Options &options, int count);

// Adds every row to the dictionary, all-or-nothing as importJsonLines() does; returns the number
// of entries added (rows skipped as duplicates are not counted). A body CP932 cannot hold is
// stored as `options.limits.textFallback`. `tally`, when given, receives the counts.
qint64 importWordList(QIODevice &in, store::DictionaryStorage &dictionary, const Options &options, ImportTally *tally = nullptr);

} // namespace qm::exchange::wordlist
