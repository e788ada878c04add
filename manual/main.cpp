// manual-install [folder]: writes the help pages into "<folder>/manual", by default the program
// folder. The program starts it when the help folder is missing.

#include "manualinstaller.h"

#include "platform/desktop/programfolder.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Quillmere"));
    QCoreApplication::setApplicationName(QStringLiteral("Quillmere"));

    const QStringList arguments = QCoreApplication::arguments();
    const QString folder = arguments.size() > 1 ? arguments.at(1) : qm::desktop::ProgramFolder::path();
    const QStringList failed = qm::manual::ManualInstaller::install(folder);
    if (failed.isEmpty())
        return 0;
    std::fprintf(stderr, "manual-install: could not write %s into %s\n",
                 qPrintable(failed.join(QStringLiteral(", "))), qPrintable(folder + QStringLiteral("/manual")));
    return 1;
}
