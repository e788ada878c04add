#include "viewerwindow.h"

#include "app/store/settings.h"
#include "platform/desktop/accessiblename.h"
#include "platform/desktop/datetext.h"
#include "platform/desktop/twips.h"
#include "platform/desktop/windowstate.h"

#include <QLabel>
#include <QMdiSubWindow>

namespace qm::app {

ViewerWindow::ViewerWindow(ViewerContext &context, QWidget *parent)
    : QWidget(parent)
    , m_context(context)
    , m_label(new QLabel(this))
{
    setAttribute(Qt::WA_DeleteOnClose);
    m_label->setObjectName(QStringLiteral("Label1"));
    m_label->setTextFormat(Qt::PlainText);
    m_label->hide();
    resize(sizeHint());
}

QSize ViewerWindow::sizeHint() const
{
    return {desktop::Twips::toPixels(6000), desktop::Twips::toPixels(4000)};
}

ViewerWindow::~ViewerWindow() = default;

void ViewerWindow::setBodyControl(QWidget *body)
{
    m_body = body;
    if (body->accessibleName().isEmpty())
        desktop::setAccessibleName(body, QStringLiteral("本文"));
    layoutBody();
}

void ViewerWindow::SetDocument(qint16 intDicIndex, qint32 lngDocNumber, const QString &strHeading,
                               const QByteArray &strDocument, const QDateTime &dtmDate)
{
    m_slot = intDicIndex;
    m_number = lngDocNumber;
    m_date = dtmDate;
    setWindowTitle(strHeading);
    m_label->setText(strHeading);
    showBody(strDocument);
}

void ViewerWindow::GetDocument(qint16 &intDicIndex, qint32 &lngDocNumber) const
{
    intDicIndex = m_slot;
    lngDocNumber = m_number;
}

QFont ViewerWindow::editorFont(store::EditorKind kind) const
{
    QFont font(m_context.options.EditorFontNames[int(kind)]);
    font.setPointSizeF(m_context.options.EditorFontSizes[int(kind)]);
    return font;
}

void ViewerWindow::activated()
{
    if (m_context.setStatusText)
        m_context.setStatusText(QStringLiteral("更新日 ") + desktop::dateText(m_date.date()));
}

bool ViewerWindow::isMaximizedChild() const
{
    const auto *sub = qobject_cast<const QMdiSubWindow *>(parentWidget());
    return sub ? sub->isMaximized() : isMaximized();
}

void ViewerWindow::windowStateChanged(Qt::WindowStates state)
{
    m_context.options.ViewerWindowState = quint8(desktop::windowStateCode(state));
    layoutBody();
}

void ViewerWindow::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    layoutBody();
}

void ViewerWindow::layoutBody()
{
    const bool maximized = isMaximizedChild();
    const int offset = maximized ? desktop::Twips::toPixels(240) : 0;
    m_label->setVisible(maximized);
    m_label->setGeometry(0, 0, width(), desktop::Twips::toPixels(240));
    if (!m_body)
        return;
    if (bodyFillsWindow())
        m_body->setGeometry(0, offset, width(), qMax(0, height() - offset));
    else
        m_body->move(0, offset);
}

} // namespace qm::app
