#pragma once

#include "bodies.h"

#include <QString>

#include <functional>
#include <stdexcept>

namespace qm::bench {

class Vocabulary;

// Goes up whenever the same options start to give other files: other rows, or a property the
// store has begun to record in every dictionary (4: the folding version, without which a file
// has all its keys recomputed when it is opened for writing; 5: the search tables and the
// texts of rich-text bodies, which a file without them gains when it is opened for writing;
// 6: the body index).
constexpr int GeneratorVersion = 6;

struct GeneratorOptions {
    QString folder;              // gets "DicSets.ini" and the dictionaries
    int dictionaries = 10;       // 1 to 10, one set
    int entries = 1000;          // per dictionary
    int keywordsPerEntry = 20;
    quint64 seed = 1;
    BodyMix bodies;
    int bodyBytes = 600;         // average body size
    int batchEntries = 2000;     // entries per transaction

    // Why the options cannot be used, or empty.
    QString problem() const;
    // The parameters that decide the files' content, for naming a cache folder.
    QString signature() const;
};

struct GeneratorProgress {
    int dictionary = 0;          // 0-based
    int dictionaries = 0;
    qint64 entriesDone = 0;      // in this dictionary
    qint64 entriesPerDictionary = 0;
};

class GeneratorError final : public std::runtime_error
{
public:
    explicit GeneratorError(const QString &message)
        : std::runtime_error(message.toStdString())
    {
    }
};

// Writes a whole synthetic dictionary set into a folder through the store: the dictionaries
// first, then "DicSets.ini" naming them as the one current set. The set file is written last,
// so a folder without it is an interrupted run. The same options give the same rows.
class SetGenerator final
{
public:
    explicit SetGenerator(GeneratorOptions options);

    void setProgressHandler(std::function<void(const GeneratorProgress &)> handler)
    {
        m_progress = std::move(handler);
    }

    // Throws GeneratorError; refuses a folder that already holds a set or one of the files.
    void run();

    static QString dictionaryFileName(int index);
    QString dictionaryPath(int index) const;

private:
    void generateDictionary(int index, const Vocabulary &vocabulary);
    void writeSetFile();

    GeneratorOptions m_options;
    std::function<void(const GeneratorProgress &)> m_progress;
};

} // namespace qm::bench
