#pragma once

#include "corvane_export.h"

#include <QUrl>

namespace corvane {

// Decides what the embedded browser does with a navigation. Entry pages are local files of
// untrusted origin (a distributed dictionary can hold any HTML), so:
// - only http, https, file and about addresses are shown; any other scheme is refused;
// - a page on the web may not lead into local files;
// - a web link the user follows from a local page opens in the user's own browser.
class CORVANE_EXPORT NavigationPolicy final
{
public:
    enum class Decision { Show, Refuse, OpenOutside };

    // Who asked for the navigation: the host or the user's history (Navigate, Back, Reload),
    // a link the user followed, or the page itself (script, form, redirect).
    enum class Origin { Host, Link, Page };

    static Decision decide(const QUrl &target, Origin origin, const QUrl &currentPage);
    static bool isShownScheme(const QUrl &url);

    NavigationPolicy() = delete;
};

} // namespace corvane
