#pragma once

#include "navigator.h"

namespace qm::desktop {

// Opens addresses with the desktop's default handlers.
class DesktopNavigator final : public Navigator
{
public:
    bool open(const QUrl &url) override;
};

} // namespace qm::desktop
