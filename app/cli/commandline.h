#pragma once

#include "app/cli/lookupcommand.h"

#include <QStringList>

namespace qm::app {

// A command line read once, before any application object, into what the program is asked to
// do. Every form the program knows is read here; anything else is a usage error.
struct CommandLine {
    enum class Mode {
        // Start the windows, or hand `startArguments` to the program already running.
        Program,
        Help,
        Lookup,
        // `--export` or `--import`, in `exchangeArguments`.
        Exchange,
        Backup,
        // `--clipboard --search` with nothing to look up in the clipboard.
        EmptyClipboard,
        BadUsage,
    };
    Mode mode = Mode::Program;
    // Program: nothing, `--search WORD` (also for a plain word) or `--new-entry`.
    QStringList startArguments;
    LookupRequest lookup;
    // `--export DICTIONARY OUT` or `--import IN DICTIONARY [word-list options]`.
    QStringList exchangeArguments;
    // `-platform` and `-display`, for the windows' application object.
    QString platform;
    QString display;
    // BadUsage: what is wrong, in Japanese, naming the option.
    QString problem;
};

// Reads a command line without the program's name.
CommandLine parseCommandLine(const QStringList &arguments);

// The command line of the process, without the program's name.
QStringList commandLineOf(int argc, char *argv[]);

// Says `text` on the terminal and, when there is a display, in a message box (making the windows'
// application object when there is none yet); gives the exit status 1.
int tellUser(int &argc, char *argv[], const QString &text);

// Runs a command that needs no windows and gives its exit status; nothing for Program.
std::optional<int> runWithoutWindows(int &argc, char *argv[], const CommandLine &line);

} // namespace qm::app
