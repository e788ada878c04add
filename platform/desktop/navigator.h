#pragma once

#include <QUrl>

namespace qm::desktop {

// Hands an address or a local file to the user's web browser (or the program the desktop
// associates with it).
class Navigator
{
public:
    virtual ~Navigator() = default;
    // False when the desktop could not open it.
    virtual bool open(const QUrl &url) = 0;
};

} // namespace qm::desktop
