#pragma once

#include <QString>

namespace qm::desktop {

// The folder where the program keeps its files (the set file, the default dictionary, help
// pages, temporary pages). It is the folder of the running executable when that folder can be
// written (a portable install, the build tree), otherwise the per-user data folder.
class ProgramFolder final
{
public:
    static QString path();
    // The path of a file directly inside the program folder.
    static QString filePath(const QString &name);

    // Points the service at another folder (tests use a temporary one); empty restores the
    // default.
    static void setPath(const QString &folder);

    // The folder of a file on disk under the same rule (used for the control library's folder).
    static QString writableFolderOr(const QString &preferred);

private:
    ProgramFolder() = delete;
};

} // namespace qm::desktop
