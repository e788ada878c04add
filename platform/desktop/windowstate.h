#pragma once

#include <QObject>
#include <QPoint>
#include <QRect>
#include <QtCore/qnamespace.h>

#include <optional>

class QWidget;

namespace qm::desktop {

// Window states as the settings store and the windows keep them: 0 normal, 1 minimized,
// 2 maximized.
qint16 windowStateCode(Qt::WindowStates state);
Qt::WindowStates windowStatesOf(qint16 code);

// A top-level window's place as the settings keep it, in pixels: the top-left corner of its
// frame (title bar and border included) and the size of its client area, taken from the normal
// rectangle when the window is maximized. Placing by the frame and sizing by the client area is
// what move() and resize() do, so a window put back with restorePlacement opens exactly where
// it was closed, whatever decoration the window manager draws.
QRect normalPlacement(const QWidget &window);
void restorePlacement(QWidget &window, const QRect &placement);

// Keeps a window that is hidden and shown again (a dialog kept between uses) where it was. Shown
// again, a window would otherwise get its last client position as its frame position from the
// X window manager, and move down and right by its decoration at each showing. Owned by the
// window.
class PlaceKeeper final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PlaceKeeper)

public:
    explicit PlaceKeeper(QWidget &window);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget &m_window;
    std::optional<QPoint> m_place; // the frame's corner when the window was last hidden
};

} // namespace qm::desktop
