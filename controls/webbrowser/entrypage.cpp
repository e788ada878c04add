#include "controls/webbrowser/entrypage.h"

#include <QWebEngineProfile>
#include <QWebEngineSettings>

namespace corvane {
namespace {

NavigationPolicy::Origin originOf(QWebEnginePage::NavigationType type)
{
    switch (type) {
    case QWebEnginePage::NavigationTypeTyped:
    case QWebEnginePage::NavigationTypeBackForward:
    case QWebEnginePage::NavigationTypeReload:
        return NavigationPolicy::Origin::Host;
    case QWebEnginePage::NavigationTypeLinkClicked:
        return NavigationPolicy::Origin::Link;
    case QWebEnginePage::NavigationTypeFormSubmitted:
    case QWebEnginePage::NavigationTypeOther:
    case QWebEnginePage::NavigationTypeRedirect:
        break;
    }
    return NavigationPolicy::Origin::Page;
}

} // namespace

EntryPage::EntryPage(QWebEngineProfile *profile, WebSurface::Navigation navigation, QObject *parent)
    : QWebEnginePage(profile, parent)
    , m_navigation(std::move(navigation))
{
}

EntryPage::~EntryPage() = default;

void EntryPage::secure(QWebEngineProfile &profile)
{
    profile.setHttpCacheType(QWebEngineProfile::MemoryHttpCache);
    profile.setPersistentCookiesPolicy(QWebEngineProfile::NoPersistentCookies);
    QWebEngineSettings *s = profile.settings();
    s->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, false);
    s->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, false);
    s->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, false);
    s->setAttribute(QWebEngineSettings::JavascriptCanAccessClipboard, false);
    s->setAttribute(QWebEngineSettings::JavascriptCanPaste, false);
    s->setAttribute(QWebEngineSettings::AllowWindowActivationFromJavaScript, false);
    s->setAttribute(QWebEngineSettings::AllowRunningInsecureContent, false);
    s->setAttribute(QWebEngineSettings::AllowGeolocationOnInsecureOrigins, false);
    s->setAttribute(QWebEngineSettings::PluginsEnabled, false);
    s->setAttribute(QWebEngineSettings::FullScreenSupportEnabled, false);
    s->setAttribute(QWebEngineSettings::ScreenCaptureEnabled, false);
    s->setAttribute(QWebEngineSettings::HyperlinkAuditingEnabled, false);
    s->setAttribute(QWebEngineSettings::NavigateOnDropEnabled, false);
    s->setUnknownUrlSchemePolicy(QWebEngineSettings::DisallowUnknownUrlSchemes);
}

bool EntryPage::acceptNavigationRequest(const QUrl &url, NavigationType type, bool isMainFrame)
{
    Q_UNUSED(isMainFrame);
    return m_navigation(url, originOf(type), this->url());
}

QWebEnginePage *EntryPage::createWindow(WebWindowType type)
{
    Q_UNUSED(type);
    return nullptr;
}

} // namespace corvane
