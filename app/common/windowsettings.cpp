#include "windowsettings.h"

#include "app/store/settings.h"
#include "platform/desktop/twips.h"
#include "platform/desktop/windowstate.h"

#include <QGuiApplication>
#include <QLayout>
#include <QScreen>
#include <QWidget>

namespace qm::app {

using desktop::Twips;

void restoreWindow(QWidget &window, const store::Settings &settings, const store::PlacementKeys &keys)
{
    // The layout sets the smallest usable size first.
    if (QLayout *layout = window.layout())
        layout->activate();
    const QSize size = QSize(Twips::toPixels(settings.value(keys.width)), Twips::toPixels(settings.value(keys.height)))
                           .expandedTo(window.minimumSizeHint());
    window.resize(size);
    if (keys.left && keys.top) {
        const QRect placement(QPoint(Twips::toPixels(settings.value(*keys.left)), Twips::toPixels(settings.value(*keys.top))),
                              size);
        const QScreen *primary = QGuiApplication::primaryScreen();
        // The frame, not the client area, goes to the corner: the title bar stays on the screen.
        if (!QGuiApplication::screenAt(placement.center()) && primary)
            window.move(primary->availableGeometry().topLeft());
        else
            desktop::restorePlacement(window, placement);
    }
    window.setWindowState(desktop::windowStatesOf(settings.value(keys.state)));
}

void saveWindow(const QWidget &window, store::Settings &settings, const store::PlacementKeys &keys)
{
    // Taken before any change of state: a hidden window keeps its maximized size until shown.
    const QRect normal = desktop::normalPlacement(window);
    settings.setValue(keys.state, desktop::windowStateCode(window.windowState()));
    if (keys.left && keys.top) {
        settings.setValue(*keys.left, float(Twips::fromPixels(normal.x())));
        settings.setValue(*keys.top, float(Twips::fromPixels(normal.y())));
    }
    settings.setValue(keys.width, float(Twips::fromPixels(normal.width())));
    settings.setValue(keys.height, float(Twips::fromPixels(normal.height())));
}

} // namespace qm::app
