#pragma once

#include <QString>

#include <optional>

namespace qm::app {

// Why the windows could not reach a display, in Japanese and English with the ways to start the
// program; nothing when there is one (or a platform chosen that needs none). Asked before the
// windows' application object, which would otherwise abort with a message about reinstalling.
std::optional<QString> displayProblem();

} // namespace qm::app
