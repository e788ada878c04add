#pragma once

#include "jsonlines.h"

#include "app/store/progress.h"

#include <QList>

#include <optional>
#include <vector>

class QIODevice;

namespace qm::store {
class Dictionary;
}

// Word lists as spreadsheets save them: CSV or TSV, UTF-8 (with or without a byte order mark)
// or CP932, fields quoted with '"' when they hold the separator, quotes (doubled) or line
// breaks, lines ending in CR LF or LF. Each row becomes a plain-text entry.
namespace qm::exchange::wordlist {

enum class Column { Keyword, Heading, Body, Date, Skip };
enum class Encoding { Auto, Utf8, Cp932 };
enum class Duplicates { Add, Skip };

struct Options {
    QChar delimiter = u',';
    // What each column holds; columns beyond the list are skipped.
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
Encoding detectEncoding(QIODevice &in);

// A row as it would be stored, and the line of the file it starts on.
struct Row {
    qint64 line = 0;
    jsonl::Record record;
};

// The first `count` rows as they would be stored (after the header row; duplicates are not
// looked up). Throws ExchangeError for a row that could not be stored. Leaves the device where
// it was.
std::vector<Row> preview(QIODevice &in, const Options &options, int count);

// The most fields any of the first `count` rows has (the header row included), for choosing
// what each column holds. Leaves the device where it was.
int columnCount(QIODevice &in, const Options &options, int count);

// Adds every row to the dictionary, all-or-nothing as importJsonLines() does; returns the number
// of entries added (rows skipped as duplicates are not counted).
qint64 importWordList(QIODevice &in, store::Dictionary &dictionary, const Options &options);

} // namespace qm::exchange::wordlist
