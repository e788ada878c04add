#pragma once

#include <QString>

#include <functional>

namespace qm::desktop {
class Navigator;
}

namespace qm::app {

// Opens a page with the system's web browser: given the local path of "ShowHelp.htm".
using HelpNavigate = std::function<void(const QString &path)>;

// The text of "ShowHelp.htm" for a topic ("DicSets.htm#MakeDic"): six lines ended by CR LF
// whose script sends the browser to the topic in the "manual" folder. The address is a fully
// encoded file URL, so it holds forward slashes only and nothing that could end the script's
// string.
QString HelpRedirectPage(const QString &programFolder, const QString &topic);

// Writes "ShowHelp.htm" into the program folder and opens it. Every failure is silent: a missing
// page shows as the browser's own error page.
void ShowHelp(const QString &topic, const HelpNavigate &navigate);
void ShowHelp(const QString &topic, desktop::Navigator &navigator);

} // namespace qm::app
