#pragma once

#include "corvane_export.h"

#include <QString>

namespace corvane {

// The folder where the library keeps its files ("Default.htm", "TempHTML.htm", "Font.ini"):
// the folder of libcorvane.so when it can be written, otherwise the per-user data folder.
class CORVANE_EXPORT LibraryFolder final
{
public:
    static QString path();
    // The path of a file directly inside the library's folder.
    static QString filePath(const QString &name);
    // Points the library at another folder (tests use a temporary one); empty restores the
    // default.
    static void setPath(const QString &folder);

    LibraryFolder() = delete;
};

} // namespace corvane
