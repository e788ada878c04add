#pragma once

#include <QString>
#include <QStringList>

#include <optional>

class QTextStream;

namespace qm::app {

// The commands that run in the terminal and end without a window: `--help` and
// `--lookup PATTERN [--set NAME] [--limit N] [--json]`. Every other command line (none, a word,
// `--search WORD`, `--new-entry`) starts the program or goes to the one running.

// Exit statuses of the terminal commands.
enum class ExitStatus { Found = 0, NothingFound = 1, BadUsage = 2 };

struct LookupRequest {
    // As it is typed into the keyword box; the lookup adds the same "*" the box adds.
    QString pattern;
    // Empty: the current set.
    QString setName;
    int limit = 0;
    bool json = false;
};

// The `--help` text, which the manual page repeats.
QString helpText();

// Looks the pattern up in a set of the program folder as the keyword box does, opening its
// dictionaries only for reading and writing nothing into the folder, so that it can run beside
// the program. Rows go to `out`, messages to `err`.
ExitStatus runLookup(const LookupRequest &request, const QString &programFolder, QTextStream &out, QTextStream &err);

// Why a pattern cannot be looked up, in Japanese; nothing when it can.
std::optional<QString> lookupPatternProblem(const QString &pattern);

// Runs the lookup with a core application only (no display needed) and gives its exit status.
int runLookupCommand(int &argc, char *argv[], const LookupRequest &request);

} // namespace qm::app
