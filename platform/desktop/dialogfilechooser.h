#pragma once

#include "filechooser.h"

class QFileDialog;

namespace qm::desktop {

// Shows the dialog's file list with Japanese dates and its date and type columns wide enough for
// them.
void fitForJapanese(QFileDialog &dialog);

// The desktop's own file and colour dialogs, over the active window.
class DialogFileChooser final : public FileChooser, public ColorChooser
{
public:
    std::optional<QString> openFile(const Request &request) override;
    std::optional<QString> saveFile(const Request &request) override;
    std::optional<quint32> chooseColor(quint32 initial, const QString &title) override;
};

} // namespace qm::desktop
