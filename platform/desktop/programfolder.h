#pragma once

#include <QString>

namespace qm::desktop {

// The folder where the program keeps its files (the set file, the default dictionary, help
// pages, temporary pages). It is the folder of the running executable when that folder can be
// written and is not part of an installed prefix (a portable copy, the build tree), otherwise
// the per-user data folder.
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

    // Whether a folder is part of an installed prefix (bin/, lib/quillmere/ beside a
    // share/quillmere/ folder). An install never keeps the user's files beside its programs,
    // even where it could (root can write /usr/bin).
    static bool isInstalled(const QString &folder);

private:
    ProgramFolder() = delete;
};

} // namespace qm::desktop
