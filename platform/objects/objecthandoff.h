#pragma once

#include "storedobject.h"

#include <QString>

#include <optional>

namespace qm::objects {

// Hands objects to other programs through files: an embedded object is written to a fresh
// temporary copy (removed when the program ends), a linked one is its own file.
class ObjectHandoff final
{
public:
    // The path of a file that holds the object; nullopt when a linked file is missing or the
    // copy could not be written.
    static std::optional<QString> fileFor(const StoredObject &object);

private:
    ObjectHandoff() = delete;
    static std::optional<QString> writeCopy(const StoredObject &object);
};

} // namespace qm::objects
