#pragma once

#include "app/store/dictionary/storeerror.h"

#include <QString>
#include <QStringList>

#include <array>
#include <optional>

namespace qm::store {

constexpr int MaxDictionarySets = 20;
constexpr int MaxDictionariesPerSet = 10;

// One dictionary set: a name and up to ten dictionary files in slot order, no file twice
// (letter case ignored, as the files are compared that way when they are registered).
class DictionarySet final
{
public:
    DictionarySet() = default;
    // The files beyond ten and those already named are left out.
    explicit DictionarySet(QString name, const QStringList &files = {});

    const QString &name() const { return m_name; }
    int count() const { return m_count; }
    bool isFull() const { return m_count >= MaxDictionariesPerSet; }
    // The file in a used slot; an empty string for any other slot.
    const QString &fileName(int slot) const;
    QStringList fileNames() const;
    // Whether the path is registered already; letter case is ignored.
    bool contains(const QString &path) const { return !registeredAs(path).isEmpty(); }
    // The registered file the path matches ignoring letter case, or an empty string.
    QString registeredAs(const QString &path) const;

    void setName(const QString &name) { m_name = name; }
    // Appends a file; false (and nothing changes) when the set is full or holds it already.
    bool append(const QString &path);
    // Removes the file in the slot; the files after it move up one slot.
    void removeAt(int slot);
    // Exchanges the files of two used slots.
    void swap(int first, int second);

    bool operator==(const DictionarySet &other) const;

private:
    bool isUsed(int slot) const { return slot >= 0 && slot < m_count; }

    QString m_name;
    qint16 m_count = 0;
    std::array<QString, MaxDictionariesPerSet> m_files;
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
// What is wrong with a set file's text (with the line to blame); none when every line is one
// the reader understands and the file lists at least one set within the limits. A file with
// a problem would lose sets or dictionaries when it is written back.
std::optional<Error> checkDictionarySets(const QString &text);

// The set file as read from disk.
struct SetFileContents {
    bool missing = false;     // no file, or nothing but white space in it
    std::optional<Error> problem; // why the file cannot be used; none when it can
    DictionarySetTable table; // when it can be used
};
// Reads the set file: a file starting with a UTF-8 byte order mark is UTF-8, every other one
// CP932. Nothing is guessed: bytes that do not decode make the file unusable.
SetFileContents readDictionarySetsFile(const QString &path);

// The set file's text for a table, lines ended by CR LF, one empty line after every set.
QString formatDictionarySets(const DictionarySetTable &table);
// The set file's text for the default set: `setName` holding the user dictionary.
QString defaultDictionarySetsText(const QString &setName, const QString &userDictionaryPath);

} // namespace qm::store
