#include "windowstate.h"

#include <QEvent>
#include <QWidget>

namespace qm::desktop {

qint16 windowStateCode(Qt::WindowStates state)
{
    if (state & Qt::WindowMinimized)
        return 1;
    if (state & Qt::WindowMaximized)
        return 2;
    return 0;
}

Qt::WindowStates windowStatesOf(qint16 code)
{
    switch (code) {
    case 1: return Qt::WindowMinimized;
    case 2: return Qt::WindowMaximized;
    default: return Qt::WindowNoState;
    }
}

QRect normalPlacement(const QWidget &window)
{
    const QRect normal = window.normalGeometry();
    const QRect client = normal.isValid() ? normal : window.geometry();
    // The decoration's size above and left of the client area, as the window manager drew it.
    const QPoint decoration = window.geometry().topLeft() - window.frameGeometry().topLeft();
    return {client.topLeft() - decoration, client.size()};
}

void restorePlacement(QWidget &window, const QRect &placement)
{
    window.move(placement.topLeft());
    window.resize(placement.size());
}

PlaceKeeper::PlaceKeeper(QWidget &window)
    : QObject(&window)
    , m_window(window)
{
    window.installEventFilter(this);
}

bool PlaceKeeper::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == &m_window && !event->spontaneous()) {
        // The show event comes before the window is mapped: the frame's corner is given again
        // while the window manager can still take it.
        if (event->type() == QEvent::Hide)
            m_place = m_window.frameGeometry().topLeft();
        else if (event->type() == QEvent::Show && m_place && !m_window.isMaximized())
            m_window.move(*m_place);
    }
    return QObject::eventFilter(watched, event);
}

} // namespace qm::desktop
