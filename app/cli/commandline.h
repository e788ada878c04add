#pragma once

#include "app/cli/exchangecommand.h"
#include "app/cli/lookupcommand.h"
#include "app/cli/startarguments.h"

#include <QStringList>

class QTextStream;

namespace qm::app {

// A command line read once, before any application object, into what the program is asked to
// do, as the typed request the mode takes. Every form the program knows is read here, by one
// parser; anything else is a usage error.
struct CommandLine {
    enum class Mode {
        // Start the windows, or hand `start` to the program already running.
        Program,
        Help,
        Lookup,
        // `--export` or `--import`, in `exchange`.
        Exchange,
        Backup,
        // `--clipboard --search` with nothing to look up in the clipboard.
        EmptyClipboard,
        BadUsage,
    };
    Mode mode = Mode::Program;
    StartRequest start;
    LookupRequest lookup;
    ExchangeRequest exchange;
    // `-platform` and `-display`, for the windows' application object.
    QString platform;
    QString display;
    // BadUsage: what is wrong, in Japanese, naming the option, and the usage shown after it:
    // where to find the help, or (for the values of an export or import) the usage of the two.
    QString problem;
    enum class Usage { Help, Exchange };
    Usage usage = Usage::Help;
};

// Reads a command line without the program's name.
CommandLine parseCommandLine(const QStringList &arguments);

// The start request of a command line a later start handed over (StartRequest::arguments());
// nothing for anything else.
StartRequest handedStartRequest(const QStringList &arguments);

// Says what is wrong with a BadUsage line on `err` and gives the exit status for it.
int reportBadUsage(const CommandLine &line, QTextStream &err);

// The command line of the process, without the program's name.
QStringList commandLineOf(int argc, char *argv[]);

// Says `text` on the terminal and, when there is a display, in a message box (making the windows'
// application object when there is none yet); gives the exit status 1.
int tellUser(int &argc, char *argv[], const QString &text);

// Runs a command that needs no windows and gives its exit status; nothing for Program.
std::optional<int> runWithoutWindows(int &argc, char *argv[], const CommandLine &line);

} // namespace qm::app
