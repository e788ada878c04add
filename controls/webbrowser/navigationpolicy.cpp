#include "controls/webbrowser/navigationpolicy.h"

namespace corvane {
namespace {

bool isWeb(const QUrl &url)
{
    const QString scheme = url.scheme().toLower();
    return scheme == QLatin1String("http") || scheme == QLatin1String("https");
}

} // namespace

bool NavigationPolicy::isShownScheme(const QUrl &url)
{
    const QString scheme = url.scheme().toLower();
    return isWeb(url) || scheme == QLatin1String("file") || scheme == QLatin1String("about");
}

NavigationPolicy::Decision NavigationPolicy::decide(const QUrl &target, Origin origin,
                                                    const QUrl &currentPage)
{
    if (!target.isValid() || !isShownScheme(target))
        return Decision::Refuse;
    if (origin == Origin::Host)
        return Decision::Show;
    if (target.isLocalFile() && isWeb(currentPage))
        return Decision::Refuse;
    if (origin == Origin::Link && isWeb(target) && currentPage.isLocalFile())
        return Decision::OpenOutside;
    return Decision::Show;
}

} // namespace corvane
