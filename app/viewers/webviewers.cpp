#include "webviewers.h"

#include "corvanehost.h"

#include "platform/text/cp932.h"
#include "platform/text/textfile.h"

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

QString WebViewer::addressOf(const QByteArray &body)
{
    const QString text = text::cp932::decode(body);
    if (m_kind == Kind::Url)
        return text;
    // The page goes to a file of its own; characters the file's code page cannot hold are
    // kept as character references.
    const QString path = temporaryFilePath(context().programFolder, slot(), number(), QStringLiteral(".htm"));
    text::writeFileAtomically(path, text::cp932::encodeHtml(text));
    return QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded);
}

void WebViewer::showBody(const QByteArray &body)
{
    m_address = addressOf(body);
    CorvaneHost::Navigate(m_control, m_address);
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
