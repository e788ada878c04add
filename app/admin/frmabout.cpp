#include "frmabout.h"

#include "app/icons/viewericons.h"

#include <QFrame>
#include <QLabel>
#include <QPushButton>

#include <utility>

#ifndef QM_PROGRAM_VERSION
#error "QM_PROGRAM_VERSION comes from the project's version in the top CMakeLists.txt"
#endif

namespace qm::app {

using admin::place;

QString programVersion()
{
    return QStringLiteral(QM_PROGRAM_VERSION);
}

QString versionCaption(const QString &version)
{
    const QStringList parts = version.split(QLatin1Char('.'));
    auto part = [&parts](int i) { return i < parts.size() ? parts.at(i).toUInt() : 0U; };
    const unsigned revision = parts.size() >= 4 ? part(3) : part(2);
    return QStringLiteral("ﾊﾞｰｼﾞｮﾝ %1.%2.%3").arg(part(0)).arg(part(1)).arg(revision);
}

frmAbout::frmAbout(HelpHandler help, QWidget *parent)
    : QDialog(parent)
    , m_help(std::move(help))
{
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("Quillmere - ﾊﾞｰｼﾞｮﾝ情報"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    QWidget *client = admin::fixedClient(this, 5295, 2535);

    Picture1 = place(new QLabel(client), QStringLiteral("Picture1"), 240, 240, 540, 540);
    Picture1->setPixmap(programIcon().pixmap(Picture1->size()));
    Picture1->setAlignment(Qt::AlignCenter);
    lblTitle = place(new QLabel(QStringLiteral("Quillmere"), client), QStringLiteral("lblTitle"), 1020, 180, 4035, 480);
    QFont title(QStringLiteral("ＭＳ Ｐ明朝"));
    title.setPointSize(18);
    title.setBold(true);
    lblTitle->setFont(title);
    lblVersion = place(new QLabel(versionCaption(programVersion()), client), QStringLiteral("lblVersion"), 1020, 720,
                       4035, 255);
    for (std::size_t i = 0; i < Line1.size(); ++i) {
        Line1[i] = place(new QFrame(client), QStringLiteral("Line1"), 120, i == 0 ? 1080 : 1800, 5055, 30);
        Line1[i]->setFrameStyle(QFrame::HLine | QFrame::Sunken);
    }
    lblDescription = place(new QLabel(QStringLiteral("キーワードで引く、あなただけの辞書を作り、調べるためのプログラムです。"),
                                      client),
                           QStringLiteral("lblDescription"), 240, 1200, 4935, 510);
    lblDescription->setWordWrap(true);

    cmdMail = place(new QPushButton(QStringLiteral("連絡先(&M)"), client), QStringLiteral("cmdMail"), 2640, 2040, 1215, 375);
    cmdMail->setAutoDefault(false);
    cmdOK = place(new QPushButton(QStringLiteral("OK"), client), QStringLiteral("cmdOK"), 3960, 2040, 1215, 375);
    cmdOK->setDefault(true);
    connect(cmdOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(cmdMail, &QPushButton::clicked, this, &frmAbout::showContact);
}

frmAbout::~frmAbout() = default;

void frmAbout::showContact()
{
    // The dialog goes first, so the page does not open behind a modal window.
    accept();
    if (m_help)
        m_help(QStringLiteral("Introduction.htm#Mail"));
}

} // namespace qm::app
