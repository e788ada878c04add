#include "app/cli/displaycheck.h"

#include <xcb/xcb.h>

namespace qm::app {
namespace {

bool xDisplayOpens(const QByteArray &name)
{
    xcb_connection_t *connection = xcb_connect(name.isEmpty() ? nullptr : name.constData(), nullptr);
    const bool opened = xcb_connection_has_error(connection) == 0;
    xcb_disconnect(connection);
    return opened;
}

QString noDisplayText()
{
    return QStringLiteral(
        "brindlet: 画面（ディスプレイ）が見つからないため、ウィンドウを開けません。\n"
        "  デスクトップのセッションの中で起動してください。画面のない環境では xvfb-run brindlet で、\n"
        "  Wayland のセッションでは QT_QPA_PLATFORM=wayland brindlet で起動できます。\n"
        "  --lookup、--export、--import、--backup、--help は画面がなくても使えます。\n"
        "brindlet: no display was found, so no window can be opened.\n"
        "  Start it in a desktop session, under xvfb-run (xvfb-run brindlet), or in a Wayland session\n"
        "  with QT_QPA_PLATFORM=wayland.\n");
}

} // namespace

std::optional<QString> displayProblem()
{
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    const QByteArray x = qgetenv("DISPLAY");
    // A platform named outright is the user's choice; only the X one is tried here.
    if (!platform.isEmpty() && !platform.startsWith("xcb"))
        return std::nullopt;
    if (platform.isEmpty() && !qgetenv("WAYLAND_DISPLAY").isEmpty())
        return std::nullopt;
    if (x.isEmpty() || !xDisplayOpens(x))
        return noDisplayText();
    return std::nullopt;
}

} // namespace qm::app
