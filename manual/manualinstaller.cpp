#include "manualinstaller.h"

#include "platform/text/textfile.h"

#include <QDir>
#include <QFile>

namespace qm::manual {
namespace {

const QString ResourceFolder = QStringLiteral(":/manual");

QByteArray resourceBytes(const QString &name)
{
    QFile page(ResourceFolder + QLatin1Char('/') + name);
    return page.open(QIODevice::ReadOnly) ? page.readAll() : QByteArray();
}

} // namespace

QStringList ManualInstaller::pageNames()
{
    return QDir(ResourceFolder).entryList(QDir::Files, QDir::Name);
}

QStringList ManualInstaller::install(const QString &programFolder)
{
    const QString target = programFolder + QLatin1Char('/') + folderName();
    const QStringList names = pageNames();
    if (!QDir().mkpath(target))
        return names;
    QStringList failed;
    for (const QString &name : names) {
        const QByteArray bytes = resourceBytes(name);
        if (bytes.isEmpty() || !text::writeFileAtomically(target + QLatin1Char('/') + name, bytes).ok)
            failed << name;
    }
    return failed;
}

} // namespace qm::manual
