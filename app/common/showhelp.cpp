#include "showhelp.h"

#include "platform/desktop/navigator.h"
#include "platform/desktop/programfolder.h"
#include "platform/text/textfile.h"

#include <QFile>
#include <QStringList>
#include <QUrl>

namespace qm::app {
namespace {

const QString HelpPageName = QStringLiteral("ShowHelp.htm");
const QString HelpFolderName = QStringLiteral("manual");

QString topicAddress(const QString &programFolder, const QString &topic)
{
    const qsizetype hash = topic.indexOf(QLatin1Char('#'));
    const QString page = hash < 0 ? topic : topic.left(hash);
    QUrl url = QUrl::fromLocalFile(programFolder + QLatin1Char('/') + HelpFolderName + QLatin1Char('/') + page);
    if (hash >= 0)
        url.setFragment(topic.mid(hash + 1));
    return url.toString(QUrl::FullyEncoded);
}

} // namespace

QString HelpRedirectPage(const QString &programFolder, const QString &topic)
{
    const QString quote = QStringLiteral("\"");
    QString redirect = QStringLiteral("location.href=") + quote + topicAddress(programFolder, topic) + quote + QLatin1Char(';');
    redirect.replace(QLatin1Char('\\'), QLatin1Char('/'));
    const QStringList lines{
        QStringLiteral("<Html>"),
        QStringLiteral("<Head><Title>ShowHelp</Title></Head>"),
        QStringLiteral("<Script Language=") + quote + QStringLiteral("JavaScript") + quote + QLatin1Char('>'),
        redirect,
        QStringLiteral("</Script>"),
        QStringLiteral("</Html>"),
    };
    return lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n");
}

void ShowHelp(const QString &topic, const HelpNavigate &navigate)
{
    const QString folder = desktop::ProgramFolder::path();
    const QString page = folder + QLatin1Char('/') + HelpPageName;
    // An old page must not lead to the previous topic when the new one cannot be written.
    QFile::remove(page);
    text::writeCp932File(page, HelpRedirectPage(folder, topic));
    if (navigate)
        navigate(page);
}

void ShowHelp(const QString &topic, desktop::Navigator &navigator)
{
    ShowHelp(topic, [&navigator](const QString &path) { navigator.open(QUrl::fromLocalFile(path)); });
}

} // namespace qm::app
