#include "controls/webnavigate/webnavigate.h"

#include "controls/webnavigate/desktoplink.h"

#include <QToolButton>

namespace corvane {
namespace {

const QSize pictureSize(63, 22);

} // namespace

WebNavigate::WebNavigate(QWidget *parent)
    : Control(parent)
    , m_reDisplay(new QToolButton(this))
{
    m_reDisplay->setObjectName(QStringLiteral("ReDisplay"));
    m_reDisplay->setAccessibleName(QStringLiteral("再表示"));
    m_reDisplay->setIcon(QIcon(QStringLiteral(":/corvane/ReDisplay.svg")));
    m_reDisplay->setIconSize(pictureSize);
    m_reDisplay->setAutoRaise(true);
    m_reDisplay->setGeometry(QRect(QPoint(0, 0), pictureSize));
    connect(m_reDisplay, &QToolButton::clicked, this, &WebNavigate::reDisplay);
}

WebNavigate::~WebNavigate() = default;

QSize WebNavigate::sizeHint() const
{
    return pictureSize;
}

void WebNavigate::Navigate(const QString &strURL)
{
    m_lastAddress = strURL;
    m_hasAddress = true;
    open(strURL);
}

// Shows the last address handed to Navigate again; nothing before the first one.
void WebNavigate::reDisplay()
{
    if (m_hasAddress)
        open(m_lastAddress);
}

// Only what DesktopLink lets through reaches the desktop; the rest fails like an address the
// desktop could not open.
void WebNavigate::open(const QString &address)
{
    DesktopLink::openOrTell(address);
}

} // namespace corvane
