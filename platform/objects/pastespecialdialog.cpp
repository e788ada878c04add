#include "pastespecialdialog.h"

#include "platform/desktop/accessiblename.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace qm::objects {

PasteSpecialDialog::PasteSpecialDialog(QList<PasteFormat> formats, QWidget *parent)
    : QDialog(parent)
    , m_formats(std::move(formats))
    , m_list(new QListWidget(this))
    , m_paste(new QRadioButton(QStringLiteral("貼り付け(&P)"), this))
    , m_pasteLink(new QRadioButton(QStringLiteral("リンク貼り付け(&L)"), this))
{
    setObjectName(QStringLiteral("dlgPasteSpecial"));
    setWindowTitle(QStringLiteral("形式を選択して貼り付け"));
    m_list->setObjectName(QStringLiteral("lstFormats"));
    m_paste->setObjectName(QStringLiteral("optPaste"));
    m_pasteLink->setObjectName(QStringLiteral("optPasteLink"));
    for (const PasteFormat &format : std::as_const(m_formats))
        m_list->addItem(format.label);
    m_paste->setChecked(true);

    auto *buttons = new QDialogButtonBox(this);
    m_ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    m_ok->setObjectName(QStringLiteral("cmdOK"));
    QPushButton *cancel = buttons->addButton(QStringLiteral("キャンセル"), QDialogButtonBox::RejectRole);
    cancel->setObjectName(QStringLiteral("cmdCancel"));

    auto *options = new QHBoxLayout;
    options->addWidget(m_paste);
    options->addWidget(m_pasteLink);
    auto *layout = new QVBoxLayout(this);
    auto *listLabel = new QLabel(QStringLiteral("貼り付ける形式(&F):"), this);
    listLabel->setBuddy(m_list);
    desktop::nameBuddy(listLabel);
    layout->addWidget(listLabel);
    layout->addWidget(m_list, 1);
    layout->addLayout(options);
    layout->addWidget(buttons);

    connect(m_list, &QListWidget::currentRowChanged, this, &PasteSpecialDialog::updateControls);
    connect(m_list, &QListWidget::itemDoubleClicked, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    if (!m_formats.isEmpty())
        m_list->setCurrentRow(0);
    updateControls();
}

PasteSpecialDialog::~PasteSpecialDialog() = default;

std::optional<PasteSpecialDialog::Choice> PasteSpecialDialog::choice() const
{
    const int row = m_list->currentRow();
    if (row < 0 || row >= m_formats.size())
        return std::nullopt;
    const PasteFormat &format = m_formats.at(row);
    return Choice{format, format.canLink && m_pasteLink->isChecked()};
}

void PasteSpecialDialog::updateControls()
{
    const int row = m_list->currentRow();
    const bool valid = row >= 0 && row < m_formats.size();
    m_ok->setEnabled(valid);
    const bool canLink = valid && m_formats.at(row).canLink;
    m_pasteLink->setEnabled(canLink);
    if (!canLink)
        m_paste->setChecked(true);
}

} // namespace qm::objects
