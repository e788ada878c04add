#pragma once

#include "controls/webbrowser/navigationpolicy.h"

#include <QUrl>

#include <functional>

class QObject;
class QPrinter;
class QWidget;

namespace corvane {

// The part of the embedded browser that needs the web engine. It lives in a library of its own,
// loaded with the first browser, so a program that shows no page never loads the engine.
// Only this header is shared between the two libraries.
class WebSurface
{
public:
    enum class Action { Back, Forward, Stop, Reload };

    // Asked for every navigation; true shows the target.
    using Navigation = std::function<bool(const QUrl &target, NavigationPolicy::Origin origin,
                                          const QUrl &currentPage)>;
    using Printed = std::function<void(bool ok)>;

    WebSurface() = default;
    WebSurface(const WebSurface &) = delete;
    WebSurface &operator=(const WebSurface &) = delete;
    // Destroys the view and then the profile the view's page was made with.
    virtual ~WebSurface() = default;

    // The browser's widget, a child of the parent it was made for.
    virtual QWidget *view() const = 0;
    virtual void load(const QUrl &url) = 0;
    virtual void trigger(Action action) = 0;
    // Starts printing the page; printed is called, in the context's thread, when it ends.
    virtual void print(QPrinter &printer, QObject *context, Printed printed) = 0;
};

// The entry point of the engine library: makes a browser view under parent.
using MakeWebSurface = WebSurface *(*)(QWidget *parent, WebSurface::Navigation navigation);
inline constexpr char makeWebSurfaceSymbol[] = "corvaneMakeWebSurface";

} // namespace corvane
