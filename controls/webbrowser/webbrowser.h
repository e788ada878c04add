#pragma once

#include "controls/control.h"
#include "corvane_export.h"
#include "controls/result.h"

#include <memory>

class QPrinter;
class QToolBar;

namespace corvane {

class WebSurface;

// An embedded browser (brwWebBrowser) under a navigation bar (tbToolBar: Back, Forward, Stop,
// Refresh). It starts on an empty start page, "Default.htm" in the library's folder.
// Pages are shown with the restrictions of EntryPage and NavigationPolicy. The web engine is
// loaded with the first browser, from the engine library beside this one; a browser made
// where that library cannot be loaded fails its creation with the reason.
class CORVANE_EXPORT WebBrowser final : public Control
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(WebBrowser)

public:
    explicit WebBrowser(QWidget *parent = nullptr);
    ~WebBrowser() override;

    // Shows the start page (without writing it again).
    Q_INVOKABLE void ShowDefault();
    // Shows the address: a web address, a file URL or a local path. An address that is not
    // one, or whose scheme the browser does not show, is refused with an error.
    Q_INVOKABLE corvane::Result Navigate(const QString &strURL);

    // A new instance writes and shows the start page again.
    void initProperties() override;

    static QString startPagePath();

    // Prints the page shown: into the PDF file the printer names as the browser lays a page out
    // for print (its text stays text), or on the printer. Returns when the page is printed;
    // false when it could not be.
    bool printPage(QPrinter &printer);

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void addToolButtons();
    void resetStartPage();
    void layOut();

    void makeSurface();

    QToolBar *m_toolBar;
    std::unique_ptr<WebSurface> m_surface;
    bool m_startPageWritten = false;
    bool m_startPageFailureShown = false;
    bool m_printing = false;
};

} // namespace corvane
