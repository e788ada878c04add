#pragma once

#include <QString>

#include <functional>

namespace qm::store {
struct SharedOptions;
}

namespace qm::app {

// What every viewer window needs from the program around it.
struct ViewerContext {
    store::SharedOptions &options;               // fonts; the viewer window state is stored here
    QString programFolder;                       // where temporary pages and objects are written
    std::function<void(const QString &)> setStatusText; // the first panel of the status bar
    std::function<void()> focusKeywordBox;       // give the keyboard focus to the keyword box
};

// "Temp" + number + "_" + slot + extension in the program folder: entries of two dictionaries
// with the same number get files of their own; the "Temp" prefix lets the clean-up at exit
// find every one of them.
QString temporaryFilePath(const QString &programFolder, qint16 slot, qint32 number, const QString &extension);

} // namespace qm::app
