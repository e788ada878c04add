#pragma once

#include "controls/webbrowser/websurface.h"

#include <QWebEnginePage>

namespace corvane {

// The page of the embedded browser, set up for untrusted entry pages: every navigation is put
// to the browser's navigation rule, it opens no new windows, and its profile keeps nothing on
// disk.
class EntryPage final : public QWebEnginePage
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(EntryPage)

public:
    EntryPage(QWebEngineProfile *profile, WebSurface::Navigation navigation, QObject *parent);
    ~EntryPage() override;

    // Locks down the settings of a profile made for the library's browsers.
    static void secure(QWebEngineProfile &profile);

protected:
    bool acceptNavigationRequest(const QUrl &url, NavigationType type, bool isMainFrame) override;
    QWebEnginePage *createWindow(WebWindowType type) override;

private:
    WebSurface::Navigation m_navigation;
};

} // namespace corvane
