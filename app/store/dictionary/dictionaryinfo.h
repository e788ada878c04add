#pragma once

#include <QString>

#include <array>

namespace qm::store {

class Dictionary;

// The describing properties of a dictionary as the user edits them. An author or comment that is
// stored as a single space (the stored form of "none", in the file and in exchange files) reads
// as an empty text.
struct DictionaryDescription {
    QString name;
    QString author;
    QString comment;
    // Whether the name, the author and the comment are locked against change.
    std::array<bool, 3> locks{};
    bool operator==(const DictionaryDescription &) const = default;
};

// Read with DictionaryStorage::description(). Stored with setDescription(), in one transaction:
// an empty author or comment is stored as " ", a locked text keeps its stored value, and the
// lock flags themselves are never written. A failure leaves the file as it was.

// What a list of dictionary files shows of one of them: its name and the row counts stored when
// it was last closed.
struct DictionarySummary {
    QString name;
    qint32 keywordCount = 0;
    qint32 documentCount = 0;
};

// Opens the file only for reading, so nothing is written to it and its keys are not recomputed.
// Throws sqlite::Error when it is missing, is no dictionary or lacks a property.
DictionarySummary summarizeDictionary(const QString &path);

} // namespace qm::store
