#pragma once

#include <QStringList>

#include <optional>

namespace qm::app {

// What a start of the windows is asked to do once they are up: nothing, look a word up in the
// keyword box (`brindlet WORD`, `brindlet --search WORD`) or open the new-entry window
// (`brindlet --new-entry`).
struct StartRequest {
    enum class Kind { Nothing, Search, NewEntry };
    Kind kind = Kind::Nothing;
    // Search: the word as the keyword box takes it.
    QString word;

    static StartRequest search(const QString &word) { return {Kind::Search, word}; }
    static StartRequest newEntry() { return {Kind::NewEntry, {}}; }
    bool isEmpty() const { return kind == Kind::Nothing; }
    bool operator==(const StartRequest &) const = default;

    // The command line handed to the program already running, in the form every start reads:
    // nothing, `--search WORD` or `--new-entry`.
    QStringList arguments() const;
};

// The word the keyword box would search for `typed`: trimmed, without the characters the box
// refuses when typed; nothing when none is left.
std::optional<QString> searchWordOf(const QString &typed);

} // namespace qm::app
