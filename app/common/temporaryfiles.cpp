#include "temporaryfiles.h"

#include <QDir>
#include <QRegularExpression>

namespace qm::app {

QString temporaryFilePath(const QString &programFolder, qint16 slot, qint32 number, const QString &extension)
{
    return QDir(programFolder).filePath(QStringLiteral("Temp%1_%2%3").arg(number).arg(slot).arg(extension));
}

QString newEntryObjectFileName()
{
    return QStringLiteral("Temp_new.ole");
}

bool isTemporaryFileName(const QString &fileName)
{
    static const QRegularExpression viewerFile(QStringLiteral("\\ATemp-?[0-9]+_[0-9]+\\.(htm|ole)\\z"));
    return fileName == newEntryObjectFileName() || viewerFile.match(fileName).hasMatch();
}

} // namespace qm::app
