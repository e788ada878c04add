#include "controls/webbrowser/webbrowser.h"

#include "controls/corvanemodule.h"
#include "controls/webbrowser/entrypage.h"
#include "controls/libraryfolder.h"
#include "controls/messages.h"
#include "controls/webbrowser/navigationpolicy.h"
#include "controls/services.h"

#include <QAction>
#include <QEventLoop>
#include <QPrinter>
#include <QTimer>
#include <QPointer>
#include <QResizeEvent>
#include <QToolBar>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineView>

namespace corvane {
namespace {

struct ToolButton {
    const char *key; // also the name of its picture
    const char16_t *toolTip;
    QWebEnginePage::WebAction action;
};

constexpr ToolButton toolButtons[] = {
    {"Back", u"戻る", QWebEnginePage::Back},
    {"Forward", u"進む", QWebEnginePage::Forward},
    {"Stop", u"中止", QWebEnginePage::Stop},
    {"Refresh", u"更新", QWebEnginePage::Reload},
};

} // namespace

WebBrowser::WebBrowser(QWidget *parent)
    : Control(parent)
    , m_profile(new QWebEngineProfile(this)) // no storage name: off the record
    , m_toolBar(new QToolBar(this))
    , m_view(new QWebEngineView(this))
{
    EntryPage::secure(*m_profile);
    m_toolBar->setObjectName(QStringLiteral("tbToolBar"));
    m_toolBar->setMovable(false);
    m_toolBar->setFloatable(false);
    addToolButtons();
    m_view->setObjectName(QStringLiteral("brwWebBrowser"));
    m_view->setPage(new EntryPage(m_profile, m_view));
    layOut();
    resetStartPage();
}

// The page has to go before the profile it was made with.
WebBrowser::~WebBrowser()
{
    delete m_view;
}

QString WebBrowser::startPagePath()
{
    return LibraryFolder::filePath(QStringLiteral("Default.htm"));
}

void WebBrowser::addToolButtons()
{
    for (const ToolButton &b : toolButtons) {
        const QString key = QString::fromLatin1(b.key);
        QAction *action = m_toolBar->addAction(
            QIcon(QStringLiteral(":/corvane/%1.svg").arg(key)), QString::fromUtf16(b.toolTip));
        action->setObjectName(key);
        action->setToolTip(QString::fromUtf16(b.toolTip));
        const QWebEnginePage::WebAction webAction = b.action;
        connect(action, &QAction::triggered, m_view,
                [this, webAction] { m_view->triggerPageAction(webAction); });
    }
}

void WebBrowser::initProperties()
{
    resetStartPage();
}

// Writes the start page empty and shows it. A folder that cannot be written leaves the browser
// on a blank page; the user is told once per browser.
void WebBrowser::resetStartPage()
{
    const Result written = CorvaneModule::WriteTextFile(startPagePath(), QString());
    m_startPageWritten = written.ok();
    if (!written && !m_startPageFailureShown) {
        m_startPageFailureShown = true;
        Services::prompter().inform(written.error, texts::title());
    }
    ShowDefault();
}

void WebBrowser::ShowDefault()
{
    m_view->load(m_startPageWritten ? QUrl::fromLocalFile(startPagePath())
                                    : QUrl(QStringLiteral("about:blank")));
}

Result WebBrowser::Navigate(const QString &strURL)
{
    const QUrl url = QUrl::fromUserInput(strURL);
    if (!url.isValid() || !NavigationPolicy::isShownScheme(url)) {
        return Result::failure(
            QStringLiteral("\"%1\" はこのブラウザでは表示できないアドレスです。").arg(strURL));
    }
    m_view->load(url);
    return Result::success();
}

void WebBrowser::resizeEvent(QResizeEvent *event)
{
    Control::resizeEvent(event);
    layOut();
}

// The bar over the full width; the browser below it, keeping its last height when the control
// is no taller than the bar.
void WebBrowser::layOut()
{
    const int barHeight = m_toolBar->sizeHint().height();
    m_toolBar->setGeometry(0, 0, width(), barHeight);
    const int browserHeight = height() - barHeight;
    m_view->setGeometry(0, barHeight, width(), browserHeight > 0 ? browserHeight : m_view->height());
}

bool WebBrowser::printPage(QPrinter &printer)
{
    // The browser prints in the background; the print command ends when the page is printed.
    // The browser prints one page at a time: a second command while it prints is refused.
    if (m_printing)
        return false;
    m_printing = true;
    // The window may be closed while the page prints; nothing of it is touched after that.
    const QPointer<WebBrowser> self(this);
    QEventLoop loop;
    bool printed = false;
    const auto finish = [&](bool ok) {
        printed = ok;
        loop.quit();
    };
    // A page the browser never finishes, or a window closed meanwhile, ends the wait unprinted.
    QTimer::singleShot(120000, &loop, [&] { finish(false); });
    connect(m_view, &QObject::destroyed, &loop, [&] { finish(false); });
    if (printer.outputFormat() == QPrinter::PdfFormat && !printer.outputFileName().isEmpty()) {
        connect(m_view->page(), &QWebEnginePage::pdfPrintingFinished, &loop,
                [&](const QString &, bool ok) { finish(ok); });
        m_view->page()->printToPdf(printer.outputFileName(), printer.pageLayout());
    } else {
        connect(m_view, &QWebEngineView::printFinished, &loop, finish);
        m_view->print(&printer);
    }
    loop.exec();
    if (self)
        m_printing = false;
    return printed;
}

} // namespace corvane
