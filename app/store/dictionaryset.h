#pragma once

#include <QString>

#include <array>

namespace qm::store {

constexpr int MaxDictionarySets = 20;
constexpr int MaxDictionariesPerSet = 10;

// One dictionary set: a name and up to ten dictionary files in slot order.
struct DictionarySet {
    QString SetName;
    qint16 FileCount = 0;
    std::array<QString, MaxDictionariesPerSet> FileNames;

    bool operator==(const DictionarySet &other) const;
};

// The set table as the set file holds it.
struct DictionarySetTable {
    std::array<DictionarySet, MaxDictionarySets> DictionarySetList;
    qint16 DictionarySetCount = 0;
    qint16 OpenDictionarySetsIndex = -1;
    bool hasIndexLine = false; // whether the file named a current set at all
};

// The text left of the first "=", trimmed; a line without "=" unchanged.
QString GetLineKey(const QString &line);
// The text right of the first "=", with double quotes turned into spaces, trimmed; a line
// without "=" unchanged.
QString GetLineValue(const QString &line);

// True when the path names a file that can be opened for reading.
bool FileExists(const QString &path);

// Reads the set file's text. Sets beyond twenty, dictionaries beyond ten in a set and
// dictionary lines before the first set are skipped.
DictionarySetTable parseDictionarySets(const QString &text);
// What is wrong with a set file's text, in words for the user; empty when every line is one
// the reader understands and the file lists at least one set within the limits. A file with
// a problem would lose sets or dictionaries when it is written back.
QString checkDictionarySets(const QString &text);

// The set file as read from disk.
struct SetFileContents {
    bool missing = false;     // no file, or nothing but white space in it
    QString problem;          // why the file cannot be used; empty when it can
    DictionarySetTable table; // when it can be used
};
// Reads the set file: a file starting with a UTF-8 byte order mark is UTF-8, every other one
// CP932. Nothing is guessed: bytes that do not decode make the file unusable.
SetFileContents readDictionarySetsFile(const QString &path);

// The set file's text for a table, lines ended by CR LF, one empty line after every set.
QString formatDictionarySets(const DictionarySetTable &table);
// The set file's text for the default set.
QString defaultDictionarySetsText(const QString &userDictionaryPath);

} // namespace qm::store
