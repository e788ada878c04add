#include "webviewers.h"

#include "app/common/corvanehost.h"

#include "controls/webbrowser/webbrowser.h"
#include "platform/desktop/prompter.h"
#include "platform/text/cp932.h"
#include "platform/text/textfile.h"

#include <QDir>
#include <QLabel>
#include <QUrl>

namespace qm::app {

WebViewer::WebViewer(ViewerContext &context, Kind kind, Shown shown, QWidget *parent)
    : ViewerWindow(context, parent)
    , m_kind(kind)
    , m_shown(shown)
{
    const bool embedded = shown == Shown::Embedded;
    const QString className = embedded ? QStringLiteral("Corvane.WebBrowser") : QStringLiteral("Corvane.WebNavigate");
    const QString name = embedded ? QStringLiteral("WebBrowser") : QStringLiteral("WebNavigate");
    QString error;
    m_control = CorvaneHost::create(className, name, this, &error);
    if (!m_control) {
        // The window still opens; it says why it cannot show the page.
        auto *message = new QLabel(error, this);
        message->setObjectName(name);
        message->setWordWrap(true);
        m_control = message;
    }
    if (!embedded)
        m_control->adjustSize();
    setBodyControl(m_control);
}

WebViewer::~WebViewer() = default;

std::optional<QString> WebViewer::addressOf(const QByteArray &body)
{
    const QString text = text::cp932::decode(body);
    if (m_kind == Kind::Url)
        return text;
    const QString path = temporaryFilePath(context().programFolder, slot(), number(), QStringLiteral(".htm"));
    if (!writePage(path, text))
        return std::nullopt;
    return QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded);
}

bool WebViewer::writePage(const QString &path, const QString &page)
{
    // Written as the HTML editor's preview writes it, so the browser reads the text as it was
    // decoded from the entry.
    const text::WriteResult written = text::writeBrowserPage(path, page);
    if (written.ok)
        return true;
    // Showing the address anyway could show an older page, even one of another entry.
    context().prompter.inform(QStringLiteral("ページを表示するための一時ファイルを書き込めませんでした。\n")
                              + QDir::toNativeSeparators(path) + QLatin1Char('\n') + written.error,
                              {}, desktop::Prompter::Icon::Warning);
    return false;
}

bool WebViewer::printPage(QPrinter &printer)
{
    auto *browser = qobject_cast<corvane::WebBrowser *>(m_control);
    return browser && browser->printPage(printer);
}

void WebViewer::showBody(const QByteArray &body)
{
    const std::optional<QString> address = addressOf(body);
    if (!address)
        return;
    m_address = *address;
    const QString refusal = CorvaneHost::Navigate(m_control, m_address);
    if (!refusal.isEmpty())
        context().prompter.inform(refusal, {}, desktop::Prompter::Icon::Warning);
}

mdiURL::mdiURL(ViewerContext &context, QWidget *parent)
    : WebViewer(context, Kind::Url, Shown::External, parent)
{
    setObjectName(QStringLiteral("mdiURL"));
}
mdiURL::~mdiURL() = default;

mdiURLMDI::mdiURLMDI(ViewerContext &context, QWidget *parent)
    : WebViewer(context, Kind::Url, Shown::Embedded, parent)
{
    setObjectName(QStringLiteral("mdiURLMDI"));
}
mdiURLMDI::~mdiURLMDI() = default;

mdiHTML::mdiHTML(ViewerContext &context, QWidget *parent)
    : WebViewer(context, Kind::Html, Shown::External, parent)
{
    setObjectName(QStringLiteral("mdiHTML"));
}
mdiHTML::~mdiHTML() = default;

mdiHTMLMDI::mdiHTMLMDI(ViewerContext &context, QWidget *parent)
    : WebViewer(context, Kind::Html, Shown::Embedded, parent)
{
    setObjectName(QStringLiteral("mdiHTMLMDI"));
}
mdiHTMLMDI::~mdiHTMLMDI() = default;

void mdiHTMLMDI::activated()
{
    WebViewer::activated();
    if (context().focusKeywordBox)
        context().focusKeywordBox();
}

} // namespace qm::app
