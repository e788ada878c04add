#include "windowarrangement.h"

#include <QMdiArea>
#include <QMdiSubWindow>

namespace qm::app {
namespace {

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

} // namespace qm::app
