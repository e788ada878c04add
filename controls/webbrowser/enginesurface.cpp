// The engine library: the embedded browser's view, page and profile. Loaded by WebBrowser with
// the first browser a program makes.
#include "controls/webbrowser/entrypage.h"
#include "controls/webbrowser/websurface.h"

#include <QCoreApplication>
#include <QPrinter>
#include <QQuickWindow>
#include <QWebEngineProfile>
#include <QWebEngineView>

#include <memory>

// The engine's own set-up of the OpenGL context its threads share. Qt runs it when the engine
// is loaded before the application object; a program that loads it later calls it itself.
namespace QtWebEngineCore {
Q_DECL_IMPORT void initialize();
}

namespace corvane {
namespace {

QWebEnginePage::WebAction webActionOf(WebSurface::Action action)
{
    switch (action) {
    case WebSurface::Action::Back:
        return QWebEnginePage::Back;
    case WebSurface::Action::Forward:
        return QWebEnginePage::Forward;
    case WebSurface::Action::Stop:
        return QWebEnginePage::Stop;
    case WebSurface::Action::Reload:
        break;
    }
    return QWebEnginePage::Reload;
}

// Pages are drawn on the processor, by Chromium and by the view alike: a window keeps its native
// surface when its first page appears, and the shared context the engine insists on is made
// only with the first page, not at the program's start. Entry pages are documents: they lose
// nothing by it.
void prepareEngine()
{
    static bool prepared = false;
    if (prepared)
        return;
    prepared = true;
    QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
    QtWebEngineCore::initialize();
    const QByteArray flags = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
    if (!flags.contains("--disable-gpu"))
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", QByteArray(flags + " --disable-gpu").trimmed());
}

class EngineSurface final : public WebSurface
{
public:
    EngineSurface(QWidget *parent, Navigation navigation)
        : m_profile(std::make_unique<QWebEngineProfile>()) // no storage name: off the record
        , m_view(new QWebEngineView(parent))
    {
        EntryPage::secure(*m_profile);
        m_view->setObjectName(QStringLiteral("brwWebBrowser"));
        m_view->setPage(new EntryPage(m_profile.get(), std::move(navigation), m_view));
    }

    // The page, a child of the view, has to go before the profile it was made with.
    ~EngineSurface() override { delete m_view; }

    QWidget *view() const override { return m_view; }

    void load(const QUrl &url) override { m_view->load(url); }

    void trigger(Action action) override { m_view->triggerPageAction(webActionOf(action)); }

    // Into a named PDF file the page is laid out for print by the engine (its text stays
    // text); anything else goes to the printer.
    void print(QPrinter &printer, QObject *context, Printed printed) override
    {
        if (printer.outputFormat() == QPrinter::PdfFormat && !printer.outputFileName().isEmpty()) {
            QObject::connect(m_view->page(), &QWebEnginePage::pdfPrintingFinished, context,
                             [printed](const QString &, bool ok) { printed(ok); });
            m_view->page()->printToPdf(printer.outputFileName(), printer.pageLayout());
        } else {
            QObject::connect(m_view, &QWebEngineView::printFinished, context,
                             [printed](bool ok) { printed(ok); });
            m_view->print(&printer);
        }
    }

private:
    std::unique_ptr<QWebEngineProfile> m_profile;
    QWebEngineView *m_view;
};

} // namespace
} // namespace corvane

extern "C" Q_DECL_EXPORT corvane::WebSurface *corvaneMakeWebSurface(QWidget *parent,
                                                                   corvane::WebSurface::Navigation navigation)
{
    corvane::prepareEngine();
    return new corvane::EngineSurface(parent, std::move(navigation));
}
