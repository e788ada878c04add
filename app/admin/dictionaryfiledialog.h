#pragma once

#include "platform/desktop/filechooser.h"

namespace qm::app {

// The file dialog of the dictionary set editor. Its open dialog also takes the name of a file
// that does not exist yet, so that the user can name a new dictionary, which the editor then
// offers to create.
class DictionaryFileDialog final : public desktop::FileChooser
{
public:
    std::optional<QString> openFile(const Request &request) override;
    std::optional<QString> saveFile(const Request &request) override;
};

} // namespace qm::app
