#include "controls/webnavigate/desktoplink.h"

#include "controls/messages.h"
#include "controls/services.h"

#include <QFile>
#include <QFileInfo>
#include <QMimeDatabase>

#include <algorithm>

namespace corvane {
namespace {

// Types a desktop opens with a viewer or an editor, never by running them.
bool isDocumentType(const QMimeType &type, bool textAllowed)
{
    static const QStringList families{QStringLiteral("image/"), QStringLiteral("audio/"),
                                      QStringLiteral("video/"),
                                      QStringLiteral("application/vnd.oasis.opendocument."),
                                      QStringLiteral("application/vnd.openxmlformats-officedocument.")};
    static const QStringList binary{QStringLiteral("application/pdf"), QStringLiteral("application/epub+zip"),
                                    QStringLiteral("application/msword"), QStringLiteral("application/vnd.ms-excel"),
                                    QStringLiteral("application/vnd.ms-powerpoint")};
    static const QStringList text{QStringLiteral("text/plain"), QStringLiteral("text/html"),
                                  QStringLiteral("application/xhtml+xml"), QStringLiteral("text/csv"),
                                  QStringLiteral("text/markdown"), QStringLiteral("application/rtf"),
                                  QStringLiteral("text/rtf")};
    const QString name = type.name();
    if (type.inherits(QStringLiteral("application/x-executable")))
        return false;
    if (binary.contains(name) || (textAllowed && text.contains(name)))
        return true;
    return std::any_of(families.cbegin(), families.cend(),
                       [&name](const QString &family) { return name.startsWith(family); });
}

// A desktop launcher is read from its first line that is neither blank nor a comment.
bool opensAsLauncher(const QByteArray &head)
{
    for (const QByteArray &line : head.split('\n')) {
        const QByteArray significant = line.trimmed();
        if (!significant.isEmpty() && !significant.startsWith('#'))
            return significant == "[Desktop Entry]";
    }
    return false;
}

// Programs and launchers, recognised by their first bytes whatever the file is called.
bool looksLikeProgram(const QByteArray &head, const QMimeType &byContent)
{
    static const QStringList programs{
        QStringLiteral("application/x-executable"), QStringLiteral("application/x-sharedlib"),
        QStringLiteral("application/x-shellscript"), QStringLiteral("application/x-desktop"),
        QStringLiteral("application/x-ms-dos-executable"), QStringLiteral("application/x-msdownload")};
    if (head.startsWith("#!") || head.startsWith("\x7f" "ELF") || head.startsWith("MZ"))
        return true;
    if (opensAsLauncher(head))
        return true;
    return std::any_of(programs.cbegin(), programs.cend(),
                       [&byContent](const QString &program) { return byContent.inherits(program); });
}

bool isOpenableLocal(const QFileInfo &file)
{
    if (file.isDir())
        return true;
    if (!file.isFile()) // devices, pipes, sockets
        return false;
    QMimeDatabase types;
    const QMimeType byName = types.mimeTypeForFile(file, QMimeDatabase::MatchExtension);
    if (!isDocumentType(byName, true))
        return false;
    QFile contents(file.filePath());
    if (!contents.open(QIODevice::ReadOnly))
        return false;
    const QByteArray head = contents.read(4096);
    const QMimeType byContent = types.mimeTypeForData(head);
    if (looksLikeProgram(head, byContent))
        return false;
    // A file anyone may execute passes only when its contents prove it a binary document (a PDF
    // or a picture on a memory card whose file system marks every file executable).
    const QFile::Permissions execute = QFile::ExeOwner | QFile::ExeGroup | QFile::ExeOther;
    return !(file.permissions() & execute) || isDocumentType(byContent, false);
}

std::optional<QUrl> localTarget(QUrl url)
{
    if (url.host().compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0)
        url.setHost(QString());
    if (!url.host().isEmpty()) // a file of another machine
        return std::nullopt;
    const QString real = QFileInfo(url.toLocalFile()).canonicalFilePath();
    if (real.isEmpty() || !isOpenableLocal(QFileInfo(real)))
        return std::nullopt;
    return QUrl::fromLocalFile(real);
}

} // namespace

std::optional<QUrl> DesktopLink::target(const QString &address)
{
    const QString typed = address.trimmed();
    if (typed.isEmpty())
        return std::nullopt;
    const QUrl url = QUrl::fromUserInput(typed);
    if (!url.isValid())
        return std::nullopt;
    const QString scheme = url.scheme().toLower();
    if (scheme == QLatin1String("http") || scheme == QLatin1String("https"))
        return url.host().isEmpty() ? std::nullopt : std::optional<QUrl>(url);
    if (scheme == QLatin1String("mailto"))
        return url.path().isEmpty() ? std::nullopt : std::optional<QUrl>(url);
    if (scheme == QLatin1String("file"))
        return localTarget(url);
    return std::nullopt;
}

bool DesktopLink::open(const QString &address)
{
    const std::optional<QUrl> url = target(address);
    return url && Services::navigator().open(*url);
}

bool DesktopLink::openOrTell(const QString &address)
{
    if (open(address))
        return true;
    Services::prompter().inform(texts::connectionError(), texts::title(), qm::desktop::Prompter::Icon::None);
    return false;
}

} // namespace corvane
