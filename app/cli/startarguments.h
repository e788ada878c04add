#pragma once

#include <QStringList>

#include <optional>

namespace qm::app {

// The word of a command line that names one word (`brindlet WORD` or `brindlet --search WORD`),
// to be looked up; nothing for an empty command line, an option or more than one word.
// `arguments` leave out the program's name.
std::optional<QString> lookupWordOf(const QStringList &arguments);
// True for `brindlet --new-entry`, which opens the new-entry window.
bool asksForNewEntry(const QStringList &arguments);
// True when the command line asks the program to do something once it runs.
bool hasStartCommand(const QStringList &arguments);

} // namespace qm::app
