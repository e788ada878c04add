#include "controls/dialogs/commondialogs.h"

#include "platform/desktop/dialogfilechooser.h"

namespace corvane {
namespace {

qm::desktop::DialogFileChooser &desktopChoosers()
{
    static qm::desktop::DialogFileChooser choosers;
    return choosers;
}

qm::desktop::FileChooser *&installedFileChooser()
{
    static qm::desktop::FileChooser *chooser = nullptr;
    return chooser;
}

qm::desktop::ColorChooser *&installedColorChooser()
{
    static qm::desktop::ColorChooser *chooser = nullptr;
    return chooser;
}

qm::desktop::PrintService *&installedPrintService()
{
    static qm::desktop::PrintService *service = nullptr;
    return service;
}

} // namespace

qm::desktop::FileChooser &CommonDialogs::fileChooser()
{
    qm::desktop::FileChooser *installed = installedFileChooser();
    return installed ? *installed : desktopChoosers();
}

qm::desktop::ColorChooser &CommonDialogs::colorChooser()
{
    qm::desktop::ColorChooser *installed = installedColorChooser();
    return installed ? *installed : desktopChoosers();
}

// The desktop's printer is made per job rather than kept: a printer must not outlive the
// application object, which a library-wide one would.
void CommonDialogs::withPrintService(const std::function<void(qm::desktop::PrintService &)> &use)
{
    if (qm::desktop::PrintService *installed = installedPrintService()) {
        use(*installed);
        return;
    }
    qm::desktop::DialogPrintService desktop;
    use(desktop);
}

void CommonDialogs::setFileChooser(qm::desktop::FileChooser *chooser)
{
    installedFileChooser() = chooser;
}

void CommonDialogs::setColorChooser(qm::desktop::ColorChooser *chooser)
{
    installedColorChooser() = chooser;
}

void CommonDialogs::setPrintService(qm::desktop::PrintService *service)
{
    installedPrintService() = service;
}

} // namespace corvane
