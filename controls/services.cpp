#include "controls/services.h"

#include "controls/messages.h"

#include "platform/desktop/desktopnavigator.h"
#include "platform/desktop/messageboxprompter.h"

#include <QApplication>

namespace corvane {
namespace {

// A message box over whichever window is active when the message is shown.
class ActiveWindowPrompter final : public qm::desktop::Prompter
{
public:
    Answer ask(const Message &message) override
    {
        qm::desktop::MessageBoxPrompter box(QApplication::activeWindow(), texts::title());
        return box.ask(message);
    }
};

qm::desktop::Prompter *&installedPrompter()
{
    static qm::desktop::Prompter *prompter = nullptr;
    return prompter;
}

qm::desktop::Navigator *&installedNavigator()
{
    static qm::desktop::Navigator *navigator = nullptr;
    return navigator;
}

} // namespace

qm::desktop::Prompter &Services::prompter()
{
    static ActiveWindowPrompter fallback;
    qm::desktop::Prompter *installed = installedPrompter();
    return installed ? *installed : fallback;
}

qm::desktop::Navigator &Services::navigator()
{
    static qm::desktop::DesktopNavigator fallback;
    qm::desktop::Navigator *installed = installedNavigator();
    return installed ? *installed : fallback;
}

void Services::setPrompter(qm::desktop::Prompter *prompter)
{
    installedPrompter() = prompter;
}

void Services::setNavigator(qm::desktop::Navigator *navigator)
{
    installedNavigator() = navigator;
}

} // namespace corvane
