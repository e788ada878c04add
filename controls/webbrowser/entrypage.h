#pragma once

#include <QWebEnginePage>

namespace corvane {

// The page of the embedded browser, set up for untrusted entry pages: it follows
// NavigationPolicy, opens no new windows, and its profile keeps nothing on disk.
class EntryPage final : public QWebEnginePage
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(EntryPage)

public:
    EntryPage(QWebEngineProfile *profile, QObject *parent);
    ~EntryPage() override;

    // Locks down the settings of a profile made for the library's browsers.
    static void secure(QWebEngineProfile &profile);

protected:
    bool acceptNavigationRequest(const QUrl &url, NavigationType type, bool isMainFrame) override;
    QWebEnginePage *createWindow(WebWindowType type) override;
};

} // namespace corvane
