#pragma once

#include "corvane_export.h"

#include <QString>
#include <QUrl>

#include <optional>

namespace corvane {

// What the library hands to the desktop (the user's web browser, or the program the desktop
// associates with a file). Addresses come from dictionary entries, and a dictionary may have
// been made by someone else, so only what a user expects to open gets through:
// - web pages and mail: http and https addresses with a host, mailto addresses;
// - on this computer: folders, and regular files that are documents by their name (pages,
//   text, pictures, sound, video, PDF, office documents), that nobody may execute, and whose
//   first bytes are not a program or a desktop launcher whatever the name says.
// Programs, scripts, ".desktop" launchers, devices, missing files and every other scheme
// (javascript:, data:, file URLs of other machines, ...) are refused.
class CORVANE_EXPORT DesktopLink final
{
public:
    // The address as the desktop gets it (a local file by its real path), or nullopt when it is
    // refused. A path or an address without a scheme is read as a user would type it.
    static std::optional<QUrl> target(const QString &address);

    // Hands the address to the desktop; false when it is refused or the desktop fails.
    static bool open(const QString &address);
    // The same, telling the user with the connection message when it fails.
    static bool openOrTell(const QString &address);

    DesktopLink() = delete;
};

} // namespace corvane
