#pragma once

// Reading and writing whole files in tests, and a copy of the program to start.

#include <QByteArray>
#include <QFile>
#include <QString>

namespace qm::test {

inline QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// Copies the program, its control library with its web part and its help installer from `binFolder` into
// `folder`, which the copy then takes as its data folder.
inline bool copyProgram(const QString &binFolder, const QString &folder)
{
    for (const char *name : {"brindlet", "libcorvane.so", "libcorvane_web.so", "manual-install"}) {
        const QString target = folder + QLatin1Char('/') + QString::fromLatin1(name);
        if (!QFile::copy(binFolder + QLatin1Char('/') + QString::fromLatin1(name), target))
            return false;
        QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    return true;
}

} // namespace qm::test
