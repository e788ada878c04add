#pragma once

#include "corvane_export.h"

#include "platform/desktop/navigator.h"
#include "platform/desktop/prompter.h"

namespace corvane {

// The desktop services the library's controls use: message boxes and handing an address to
// the user's web browser. A host (or a test) may install its own; the library does not take
// ownership, and the installed object must outlive its use. nullptr restores the default:
// a message box over the active window titled "Corvane", and the desktop's URL handlers.
class CORVANE_EXPORT Services final
{
public:
    static qm::desktop::Prompter &prompter();
    static qm::desktop::Navigator &navigator();

    static void setPrompter(qm::desktop::Prompter *prompter);
    static void setNavigator(qm::desktop::Navigator *navigator);

    Services() = delete;
};

} // namespace corvane
