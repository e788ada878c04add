#pragma once

#include "app/common/temporaryfiles.h"

#include <QString>

#include <functional>

namespace qm::desktop {
class Prompter;
}
namespace qm::store {
struct SharedOptions;
}

namespace qm::app {

// What every viewer window needs from the program around it.
struct ViewerContext {
    store::SharedOptions &options;               // fonts; the viewer window state is stored here
    desktop::Prompter &prompter;                 // tells the user what a viewer cannot show
    QString programFolder;                       // where temporary pages and objects are written
    std::function<void(const QString &)> setStatusText; // the first panel of the status bar
    std::function<void()> focusKeywordBox;       // give the keyboard focus to the keyword box
};

} // namespace qm::app
