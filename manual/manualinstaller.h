#pragma once

#include <QString>
#include <QStringList>

namespace qm::manual {

// Writes the help pages that the program carries into "<folder>/manual".
class ManualInstaller final
{
public:
    // The name of the help folder inside the program folder.
    static QString folderName() { return QStringLiteral("manual"); }
    // The file names of every page (and style sheet) carried.
    static QStringList pageNames();
    // Creates the folder if needed and writes every page, replacing older copies. Returns the
    // names that could not be written; empty when all were.
    static QStringList install(const QString &programFolder);

private:
    ManualInstaller() = delete;
};

} // namespace qm::manual
