#include "frmmakenewdictionary.h"

#include "app/store/dictionary/dictionary.h"
#include "platform/desktop/prompter.h"
#include "platform/sqlite/error.h"

#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

namespace qm::app {

using admin::place;

frmMakeNewDictionary::frmMakeNewDictionary(desktop::Prompter &prompter, HelpHandler help, QWidget *parent)
    : QDialog(parent)
    , m_prompter(prompter)
    , m_help(std::move(help))
{
    setObjectName(QStringLiteral("frmMakeNewDictionary"));
    setWindowTitle(QStringLiteral("Quillmere - 辞書作成"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    QWidget *client = admin::fixedClient(this, 5535, 3075);
    buildControls(client);
    buildButtons(client);
    admin::addHelpMenu(this, QStringLiteral("mnuHelp"), [this] {
        if (m_help)
            m_help(QStringLiteral("DicSets.htm#MakeDic"));
    });
}

frmMakeNewDictionary::~frmMakeNewDictionary() = default;

void frmMakeNewDictionary::buildControls(QWidget *client)
{
    txtFileName = place(new QLineEdit(client), QStringLiteral("txtFileName"), 1080, 120, 4335, 270);
    admin::setLocked(txtFileName, true);
    txtFileName->setFocusPolicy(Qt::ClickFocus);
    txtDicName = place(new QLineEdit(client), QStringLiteral("txtDicName"), 1080, 480, 3375, 270);
    txtAuthor = place(new QLineEdit(client), QStringLiteral("txtAuthor"), 1080, 840, 3375, 270);
    txtComment = place(admin::commentBox(client), QStringLiteral("txtComment"), 1080, 1200, 3375, 1215);
    admin::label(client, QStringLiteral("Label2"), QStringLiteral("ﾌｧｲﾙ名"), txtFileName, 120, 150, 915);
    admin::label(client, QStringLiteral("Label1"), QStringLiteral("辞書名(&N)"), txtDicName, 120, 510, 915);
    admin::label(client, QStringLiteral("Label3"), QStringLiteral("作成者(&A)"), txtAuthor, 120, 870, 915);
    admin::label(client, QStringLiteral("Label4"), QStringLiteral("ｺﾒﾝﾄ(&C)"), txtComment, 120, 1230, 915);
    // Each box locks the field on its row; a screen reader says which.
    const QStringList lockedFields = {QStringLiteral("辞書名"), QStringLiteral("作成者"), QStringLiteral("ｺﾒﾝﾄ")};
    for (int i = 0; i < 3; ++i) {
        chkLock[std::size_t(i)] = place(new QCheckBox(QStringLiteral("ﾛｯｸ"), client),
                                        QStringLiteral("chkLock(%1)").arg(i), 4560, 480 + 360 * i, 855, 270);
        chkLock[std::size_t(i)]->setAccessibleName(lockedFields.at(i) + QStringLiteral("のﾛｯｸ"));
    }
}

void frmMakeNewDictionary::buildButtons(QWidget *client)
{
    cmdOK = place(new QPushButton(QStringLiteral("ＯＫ"), client), QStringLiteral("cmdOK"), 2880, 2580, 1215, 375);
    cmdOK->setDefault(true);
    cmdOK->setEnabled(false);
    cmdCancel = place(new QPushButton(QStringLiteral("キャンセル"), client), QStringLiteral("cmdCancel"), 4200,
                      2580, 1215, 375);
    cmdCancel->setAutoDefault(false);
    connect(txtDicName, &QLineEdit::textChanged, this,
            [this](const QString &name) { cmdOK->setEnabled(!name.isEmpty()); });
    connect(cmdOK, &QPushButton::clicked, this, &frmMakeNewDictionary::createDictionary);
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
}

void frmMakeNewDictionary::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    txtDicName->setFocus();
}

void frmMakeNewDictionary::createDictionary()
{
    const std::array<bool, 3> locks = {chkLock[0]->isChecked(), chkLock[1]->isChecked(), chkLock[2]->isChecked()};
    try {
        store::Dictionary::CreateDictionary(txtFileName->text(), txtDicName->text(), txtAuthor->text(),
                                            txtComment->toPlainText(), locks);
    } catch (const sqlite::Error &e) {
        // The store removes a file it left half-made; a file that is there now was there before.
        const QString reason = QFileInfo::exists(txtFileName->text())
                                   ? QStringLiteral("同じ名前のファイルかフォルダーがすでにあります")
                                   : admin::failureReason(e);
        m_prompter.inform(creationFailure(reason), {}, desktop::Prompter::Icon::Warning);
        return;
    }
    accept();
}

QString frmMakeNewDictionary::creationFailure(const QString &reason) const
{
    return QStringLiteral("辞書 %1 を作成できませんでした\n%2").arg(QDir::toNativeSeparators(txtFileName->text()),
                                                                    reason);
}

} // namespace qm::app
