#pragma once

#include "app/store/dictionary/dictionary.h"
#include "app/store/search/headinglist.h"

#include <QStringList>

#include <memory>
#include <optional>
#include <vector>

namespace qm::store {

// A backup generation opened to look at its entries. It is only read: nothing is written to the
// file or beside it, so the backup folder stays exactly as it was. A generation in the engine's
// write-ahead-log mode (which even a reader would leave side files for) is refused.
class GenerationView final
{
public:
    // Throws sqlite::Error with the reason in Japanese when the file is missing or no dictionary.
    explicit GenerationView(const QString &path);
    ~GenerationView();
    GenerationView(const GenerationView &) = delete;
    GenerationView &operator=(const GenerationView &) = delete;

    Dictionary &dictionary() { return *m_dictionary; }

    // The entries by number, at most `limit`; `more` tells whether there were more.
    std::vector<HeadingRow> headings(int limit, bool *more = nullptr);

    // The entries with a keyword that starts as `text` does (the wildcards of the keyword box
    // allowed), in keyword order, each once, at most `limit`. Throws sqlite::Error
    // (Kind::BadPattern) for a text that cannot be read as a pattern.
    std::vector<HeadingRow> find(const QString &text, int limit, bool *more = nullptr);

    // One entry with its keywords; nullopt when there is no such entry.
    struct Details {
        Entry entry;
        QStringList keywords;
    };
    std::optional<Details> details(qint32 number);

private:
    std::unique_ptr<Dictionary> m_dictionary;
};

} // namespace qm::store
