#include "corvanehost.h"

#include "controls/registry.h"
#include "controls/webbrowser/webbrowser.h"
#include "controls/webnavigate/webnavigate.h"

namespace qm::app {

QWidget *CorvaneHost::create(const QString &className, const QString &instanceName, QWidget *parent,
                             QString *error)
{
    const corvane::Registry::Creation made = corvane::Registry::createNew(className, instanceName, parent);
    if (error)
        *error = made.error;
    return made.control;
}

QString CorvaneHost::Navigate(QWidget *control, const QString &strURL)
{
    if (auto *browser = qobject_cast<corvane::WebBrowser *>(control))
        return browser->Navigate(strURL).error;
    // The external navigator reports its failures itself.
    if (auto *navigator = qobject_cast<corvane::WebNavigate *>(control))
        navigator->Navigate(strURL);
    return {};
}

void CorvaneHost::ShowDefault(QWidget *control)
{
    if (auto *browser = qobject_cast<corvane::WebBrowser *>(control))
        browser->ShowDefault();
}

} // namespace qm::app
