#pragma once

#include "corvane_export.h"

#include "platform/desktop/filechooser.h"
#include "platform/desktop/printservice.h"

#include <functional>

namespace corvane {

// The common dialogs the library's controls show: open, save, colour and print. A host (or a
// test) may install its own; the library does not take ownership, and an installed object
// must outlive its use. nullptr restores the desktop's dialogs.
class CORVANE_EXPORT CommonDialogs final
{
public:
    static qm::desktop::FileChooser &fileChooser();
    static qm::desktop::ColorChooser &colorChooser();
    // Runs `use` with the installed print service, or else with the desktop's print dialog
    // and a printer made for this one job.
    static void withPrintService(const std::function<void(qm::desktop::PrintService &)> &use);

    static void setFileChooser(qm::desktop::FileChooser *chooser);
    static void setColorChooser(qm::desktop::ColorChooser *chooser);
    static void setPrintService(qm::desktop::PrintService *service);

    CommonDialogs() = delete;
};

} // namespace corvane
