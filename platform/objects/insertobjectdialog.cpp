#include "insertobjectdialog.h"

#include "filechooser.h"

#include "platform/desktop/accessiblename.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace qm::objects {

InsertObjectDialog::InsertObjectDialog(FileChooser &chooser, QWidget *parent)
    : QDialog(parent)
    , m_chooser(chooser)
    , m_file(new QLineEdit(this))
    , m_link(new QCheckBox(QStringLiteral("ファイルにリンクする(&L)"), this))
{
    setObjectName(QStringLiteral("dlgInsertObject"));
    setWindowTitle(QStringLiteral("オブジェクトの挿入"));
    m_file->setObjectName(QStringLiteral("txtFile"));
    m_link->setObjectName(QStringLiteral("chkLink"));

    auto *browse = new QPushButton(QStringLiteral("参照(&B)..."), this);
    browse->setObjectName(QStringLiteral("cmdBrowse"));
    auto *buttons = new QDialogButtonBox(this);
    m_ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    m_ok->setObjectName(QStringLiteral("cmdOK"));
    QPushButton *cancel = buttons->addButton(QStringLiteral("キャンセル"), QDialogButtonBox::RejectRole);
    cancel->setObjectName(QStringLiteral("cmdCancel"));

    auto *fileRow = new QHBoxLayout;
    fileRow->addWidget(m_file, 1);
    fileRow->addWidget(browse);
    auto *layout = new QVBoxLayout(this);
    auto *fileLabel = new QLabel(QStringLiteral("挿入するファイル(&F):"), this);
    fileLabel->setBuddy(m_file);
    desktop::nameBuddy(fileLabel);
    layout->addWidget(fileLabel);
    layout->addLayout(fileRow);
    layout->addWidget(m_link);
    layout->addWidget(new QLabel(QStringLiteral("リンクすると、ファイルの場所だけを記録します。"), this));
    layout->addWidget(buttons);

    connect(browse, &QPushButton::clicked, this, &InsertObjectDialog::browse);
    connect(m_file, &QLineEdit::textChanged, this, &InsertObjectDialog::updateOk);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    updateOk();
}

InsertObjectDialog::~InsertObjectDialog() = default;

InsertObjectDialog::Choice InsertObjectDialog::choice() const
{
    return {m_file->text().trimmed(), m_link->isChecked()};
}

void InsertObjectDialog::browse()
{
    if (const auto path = m_chooser.chooseExistingFile(this, QStringLiteral("ファイルの選択")))
        m_file->setText(*path);
}

void InsertObjectDialog::updateOk()
{
    m_ok->setEnabled(QFileInfo(m_file->text().trimmed()).isFile());
}

} // namespace qm::objects
