#pragma once

#include "exchangeerror.h"
#include "textbody.h"

#include "app/store/dictionary/dictionaryinfo.h"
#include "app/store/dictionary/entry.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <array>
#include <optional>

namespace qm::store {
class Dictionary;
class DictionaryStorage;
}

// The dictionary's own exchange format: JSON Lines, UTF-8, one JSON object per line, "\n" after
// every line. A header line describes a dictionary; the entry lines after it belong to it. A file
// holds one dictionary, or several (a whole set, or result rows from several dictionaries), each
// starting with its header. Keys are written in a fixed order, so the same dictionary always
// gives the same bytes. docs/dictionary-format.md describes it for other programs.
namespace qm::exchange::jsonl {

inline constexpr char FormatName[] = "quillmere-dictionary";
inline constexpr int FormatVersion = 1;

// What the header line carries: the name and the editable properties. The line holds an empty
// author or comment as one space, as the dictionary file stores it.
using DictionaryDescription = store::DictionaryDescription;

DictionaryDescription describe(store::DictionaryStorage &dictionary);
// Makes a new dictionary file with these properties (see Dictionary::CreateDictionary).
void createDictionary(const QString &path, const DictionaryDescription &description);

// One entry as the format carries it.
struct Record {
    store::Entry entry;
    QStringList keywords;
    // A plain-text body that CP932 cannot hold, stored in the fallback type instead.
    bool textConverted = false;
};

// The lines, each with its "\n". `plainText` is the visible text of a rich-text body, written
// beside its RTF for readers without an RTF reader; it is never read back.
QByteArray headerLine(const DictionaryDescription &description);
QByteArray entryLine(const store::Entry &entry, const QStringList &keywords);

// Limits a line read is checked against.
struct Limits {
    qint64 maxBodyBytes = store::MaxBodyBytes;
    // What a plain-text body that CP932 cannot hold is stored as.
    TextFallback textFallback = TextFallback::RichText;
    // The heading and keywords of an entry together, in UTF-8: as much as a row of a word list
    // may hold.
    qint64 maxFieldBytes = 16 * 1024 * 1024;
};

// A line read back. Throws ExchangeError (line 0; the caller names the line) with the reason a
// line is refused: not UTF-8, not a JSON object, a missing or mistyped field, an unknown type,
// a date that does not parse, base64 that does not decode, a body that CP932 cannot hold or
// that is larger than the limit, a keyword with U+0000 or a reserved character, an object
// the container refuses.
struct Line {
    bool isHeader = false;
    DictionaryDescription header;
    Record record;
};
Line parseLine(const QByteArray &line, const Limits &limits);

// The longest line an entry within the limits can take: a stored byte or a byte of the heading
// and keywords is written as at most six (a control character as \u00XX), with room for the
// keys and numbers. A longer line is refused without being read.
qint64 maxLineBytes(const Limits &limits);

// Characters a keyword may not hold: they would break a keyword pattern, and U+0000.
bool isReservedKeywordChar(QChar c);
// The reason a keyword is refused; nullopt when it can be stored.
std::optional<Reason> keywordProblem(const QString &keyword);

} // namespace qm::exchange::jsonl
