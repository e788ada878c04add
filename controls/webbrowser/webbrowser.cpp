#include "controls/webbrowser/webbrowser.h"

#include "controls/corvanemodule.h"
#include "controls/libraryfolder.h"
#include "controls/messages.h"
#include "controls/webbrowser/navigationpolicy.h"
#include "controls/webbrowser/websurface.h"
#include "controls/services.h"

#include <QAction>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QLibrary>
#include <QTimer>
#include <QPointer>
#include <QResizeEvent>
#include <QToolBar>

#include <dlfcn.h>

namespace corvane {
namespace {

struct ToolButton {
    const char *key; // also the name of its picture
    const char16_t *toolTip;
    WebSurface::Action action;
};

constexpr ToolButton toolButtons[] = {
    {"Back", u"戻る", WebSurface::Action::Back},
    {"Forward", u"進む", WebSurface::Action::Forward},
    {"Stop", u"中止", WebSurface::Action::Stop},
    {"Refresh", u"更新", WebSurface::Action::Reload},
};

// The engine library sits beside this library, in the build tree and in an install alike.
QString engineLibraryPath()
{
    Dl_info info{};
    if (dladdr(reinterpret_cast<void *>(&engineLibraryPath), &info) == 0 || !info.dli_fname)
        return {};
    const QDir folder = QFileInfo(QString::fromLocal8Bit(info.dli_fname)).absoluteDir();
    return folder.filePath(QStringLiteral("libcorvane_web.so"));
}

struct Engine {
    MakeWebSurface make = nullptr;
    QString failure;
};

// Loads the engine once; it stays loaded for the rest of the run (the web engine cannot be
// unloaded).
const Engine &engine()
{
    static const Engine loaded = [] {
        Engine e;
        QLibrary library(engineLibraryPath());
        if (library.load())
            e.make = reinterpret_cast<MakeWebSurface>(library.resolve(makeWebSurfaceSymbol));
        if (!e.make) {
            e.failure = QStringLiteral("ページを表示する部品を読み込めませんでした。\n%1")
                            .arg(library.errorString());
        }
        return e;
    }();
    return loaded;
}

// The host's navigations are shown; a web link followed from a local page goes to the user's
// own browser, and the user is told when that cannot be opened.
bool allowNavigation(const QUrl &target, NavigationPolicy::Origin origin, const QUrl &currentPage)
{
    switch (NavigationPolicy::decide(target, origin, currentPage)) {
    case NavigationPolicy::Decision::Show:
        return true;
    case NavigationPolicy::Decision::Refuse:
        return false;
    case NavigationPolicy::Decision::OpenOutside:
        if (!Services::navigator().open(target))
            Services::prompter().inform(texts::connectionError(), texts::title(), qm::desktop::Prompter::Icon::None);
        return false;
    }
    return false;
}

} // namespace

WebBrowser::WebBrowser(QWidget *parent)
    : Control(parent)
    , m_toolBar(new QToolBar(this))
{
    m_toolBar->setObjectName(QStringLiteral("tbToolBar"));
    m_toolBar->setMovable(false);
    m_toolBar->setFloatable(false);
    makeSurface();
    addToolButtons();
    layOut();
    resetStartPage();
}

// The view goes while this control is whole: its page before the profile it was made with.
WebBrowser::~WebBrowser()
{
    m_surface.reset();
}

void WebBrowser::makeSurface()
{
    const Engine &e = engine();
    if (!e.make) {
        failCreation(e.failure);
        return;
    }
    m_surface.reset(e.make(this, &allowNavigation));
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
        const WebSurface::Action webAction = b.action;
        if (m_surface) {
            connect(action, &QAction::triggered, m_surface->view(),
                    [this, webAction] { m_surface->trigger(webAction); });
        }
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
    if (m_surface) {
        m_surface->load(m_startPageWritten ? QUrl::fromLocalFile(startPagePath())
                                            : QUrl(QStringLiteral("about:blank")));
    }
}

Result WebBrowser::Navigate(const QString &strURL)
{
    const QUrl url = QUrl::fromUserInput(strURL);
    if (!url.isValid() || !NavigationPolicy::isShownScheme(url)) {
        return Result::failure(
            QStringLiteral("\"%1\" はこのブラウザでは表示できないアドレスです。").arg(strURL));
    }
    if (!m_surface)
        return Result::failure(creationError());
    m_surface->load(url);
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
    if (!m_surface)
        return;
    QWidget *view = m_surface->view();
    const int browserHeight = height() - barHeight;
    view->setGeometry(0, barHeight, width(), browserHeight > 0 ? browserHeight : view->height());
}

bool WebBrowser::printPage(QPrinter &printer)
{
    // The browser prints in the background; the print command ends when the page is printed.
    // The browser prints one page at a time: a second command while it prints is refused.
    if (m_printing || !m_surface)
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
    connect(m_surface->view(), &QObject::destroyed, &loop, [&] { finish(false); });
    m_surface->print(printer, &loop, finish);
    loop.exec();
    if (self)
        m_printing = false;
    return printed;
}

} // namespace corvane
