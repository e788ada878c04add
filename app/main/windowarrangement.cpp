#include "windowarrangement.h"

#include <QEvent>
#include <QFontMetrics>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>

namespace qm::app {
namespace {

// Moves a window that is being shown off the main window's corner.
class CascadeOnShow final : public QObject
{
public:
    CascadeOnShow(QWidget &window, QWidget &main)
        : QObject(&window)
        , m_main(&main)
    {
        window.installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Show && m_main && watched->isWidgetType())
            cascade(*static_cast<QWidget *>(watched));
        return false;
    }

private:
    void cascade(QWidget &window) const
    {
        if (window.isMaximized() || window.isFullScreen())
            return;
        // About a title bar's height.
        const int step = QFontMetrics(m_main->font()).height() * 2;
        if ((window.pos() - m_main->pos()).manhattanLength() < step)
            window.move(m_main->pos() + QPoint(step, step));
    }

    QPointer<QWidget> m_main;
};

QList<QMdiSubWindow *> openWindows(QMdiArea &area)
{
    QList<QMdiSubWindow *> out;
    for (QMdiSubWindow *sub : area.subWindowList())
        if (!sub->isMinimized() && !sub->isHidden())
            out.append(sub);
    return out;
}

// Gives each open window one of `count` equal bands of the area, across or down.
void tile(QMdiArea &area, bool oneAboveTheOther)
{
    const QList<QMdiSubWindow *> windows = openWindows(area);
    if (windows.isEmpty())
        return;
    const QRect space = area.viewport()->rect();
    const int count = int(windows.size());
    for (int i = 0; i < count; ++i) {
        QMdiSubWindow *sub = windows[i];
        sub->showNormal();
        if (oneAboveTheOther) {
            const int top = space.height() * i / count;
            sub->setGeometry(0, top, space.width(), space.height() * (i + 1) / count - top);
        } else {
            const int left = space.width() * i / count;
            sub->setGeometry(left, 0, space.width() * (i + 1) / count - left, space.height());
        }
    }
}

} // namespace

void tileOneAboveTheOther(QMdiArea &area)
{
    tile(area, true);
}

void tileSideBySide(QMdiArea &area)
{
    tile(area, false);
}

void arrangeIcons(QMdiArea &area)
{
    const QRect space = area.viewport()->rect();
    int x = 0;
    int y = space.height();
    for (QMdiSubWindow *sub : area.subWindowList()) {
        if (!sub->isMinimized())
            continue;
        const QSize size = sub->size();
        if (x > 0 && x + size.width() > space.width()) {
            x = 0;
            y -= size.height();
        }
        sub->move(x, y - size.height());
        x += size.width();
    }
}

void openCascadedOver(QWidget &window, QWidget &main)
{
    new CascadeOnShow(window, main); // owned by the window
}

} // namespace qm::app
