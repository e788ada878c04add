#include "frmbackupentries.h"

#include "backupparts.h"
#include "exchangeparts.h"

#include "app/common/exchangemessages.h"
#include "app/common/listprocedures.h"
#include "app/common/storemessages.h"
#include "app/common/waitcursor.h"
#include "app/exchange/exchangeerror.h"
#include "app/exchange/takeout.h"
#include "app/store/sets/databasemodule.h"
#include "app/store/care/generationview.h"
#include "platform/desktop/prompter.h"
#include "platform/sqlite/error.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace qm::app {

namespace {

constexpr int NumberRole = Qt::UserRole;

} // namespace

frmBackupEntries::frmBackupEntries(store::GenerationView &view, const QString &caption,
                                   store::DatabaseModule &database, desktop::Prompter &prompter, QWidget *parent)
    : QDialog(parent)
    , m_view(view)
    , m_database(database)
    , m_prompter(prompter)
{
    setObjectName(QStringLiteral("frmBackupEntries"));
    setWindowTitle(QStringLiteral("Quillmere - バックアップの内容"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setModal(true);
    buildControls();
    lblGeneration->setText(caption);
    fillEntries();
    resize(760, 520);
}

void frmBackupEntries::buildControls()
{
    lblGeneration = named(new QLabel(this), "lblGeneration");
    txtFind = named(new QLineEdit(this), "txtFind");
    txtFind->setAccessibleName(QStringLiteral("探すキーワード"));
    txtFind->setPlaceholderText(QStringLiteral("空のときはすべての項目"));
    cmdFind = named(new QPushButton(QStringLiteral("検索(&S)"), this), "cmdFind");
    cmdFind->setAutoDefault(false);
    lblCount = named(new QLabel(this), "lblCount");
    const auto find = [this] { fillEntries(txtFind->text().trimmed()); };
    connect(cmdFind, &QPushButton::clicked, this, find);
    connect(txtFind, &QLineEdit::returnPressed, this, find);
    lstEntries = named(new QTreeWidget(this), "lstEntries");
    lstEntries->setHeaderLabels({QStringLiteral("見出し"), QStringLiteral("種類"), QStringLiteral("更新日時")});
    lstEntries->setRootIsDecorated(false);
    lstEntries->setUniformRowHeights(true);
    lstEntries->setSelectionMode(QAbstractItemView::ExtendedSelection);
    lstEntries->setAccessibleName(QStringLiteral("項目"));
    lstEntries->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    lstEntries->header()->setStretchLastSection(false);
    connect(lstEntries, &QTreeWidget::currentItemChanged, this, &frmBackupEntries::showChosen);

    auto *details = new QWidget(this);
    lstKeywords = named(new QListWidget(details), "lstKeywords");
    lstKeywords->setAccessibleName(QStringLiteral("ｷｰﾜｰﾄﾞ"));
    txtText = named(new QPlainTextEdit(details), "txtText");
    txtText->setReadOnly(true);
    txtText->setAccessibleName(QStringLiteral("本文"));
    auto *detailsLayout = new QVBoxLayout(details);
    detailsLayout->setContentsMargins(0, 0, 0, 0);
    detailsLayout->addWidget(new QLabel(QStringLiteral("ｷｰﾜｰﾄﾞ:"), details));
    detailsLayout->addWidget(lstKeywords, 1);
    detailsLayout->addWidget(new QLabel(QStringLiteral("本文:"), details));
    detailsLayout->addWidget(txtText, 3);

    auto *splitter = named(new QSplitter(this), "splEntries");
    splitter->addWidget(lstEntries);
    splitter->addWidget(details);
    splitter->setStretchFactor(0, 3);
    splitter->setStretchFactor(1, 2);
    splitter->setChildrenCollapsible(false);

    cboDictionary = named(new QComboBox(this), "cboDictionary");
    fillDictionaries(cboDictionary, m_database, true);
    cmdTakeOut = named(new QPushButton(QStringLiteral("取り出す(&T)"), this), "cmdTakeOut");
    cmdTakeOut->setEnabled(cboDictionary->count() > 0);
    cmdClose = named(new QPushButton(QStringLiteral("閉じる"), this), "cmdClose");
    // Enter in the keyword box searches; no button of the window takes it as its own.
    cmdTakeOut->setAutoDefault(false);
    cmdClose->setAutoDefault(false);
    connect(cmdTakeOut, &QPushButton::clicked, this, &frmBackupEntries::takeOut);
    connect(cmdClose, &QPushButton::clicked, this, &QDialog::accept);

    auto *target = new QLabel(QStringLiteral("取り出し先(&D):"), this);
    target->setBuddy(cboDictionary);
    auto *bottom = new QHBoxLayout;
    bottom->addWidget(target);
    bottom->addWidget(cboDictionary, 1);
    bottom->addWidget(cmdTakeOut);
    bottom->addSpacing(24);
    bottom->addWidget(cmdClose);
    auto *findLabel = new QLabel(QStringLiteral("ｷｰﾜｰﾄﾞ(&K):"), this);
    findLabel->setBuddy(txtFind);
    auto *top = new QHBoxLayout;
    top->addWidget(findLabel);
    top->addWidget(txtFind, 1);
    top->addWidget(cmdFind);
    top->addWidget(lblCount);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(lblGeneration);
    layout->addLayout(top);
    layout->addWidget(splitter, 1);
    layout->addLayout(bottom);
}

void frmBackupEntries::fillEntries(const QString &text)
{
    bool more = false;
    std::vector<store::HeadingRow> rows;
    try {
        const WaitCursor wait;
        rows = text.isEmpty() ? m_view.headings(MaxListed, &more) : m_view.find(text, MaxFound, &more);
    } catch (const sqlite::Error &e) {
        m_prompter.inform(e.kind() == sqlite::Error::Kind::BadPattern
                              ? app::errorText(e)
                              : QStringLiteral("バックアップの項目を読めません。\n%1").arg(app::errorText(e)),
                          {}, desktop::Prompter::Icon::Warning);
        txtFind->setFocus();
        return;
    }
    lstEntries->clear();
    for (const store::HeadingRow &row : rows) {
        auto *item = new QTreeWidgetItem(lstEntries);
        item->setText(0, row.Heading);
        item->setText(1, ViewerListLabel(row.Viewer));
        item->setText(2, row.RenewalDate.isValid() ? formatGenerationTime(row.RenewalDate) : QString());
        item->setData(0, NumberRole, row.DocumentNumber);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(0, Qt::Unchecked);
    }
    lblCount->setText(more ? QStringLiteral("先頭の %1 件を表示しています").arg(rows.size())
                           : QStringLiteral("%1 件").arg(rows.size()));
    lstEntries->resizeColumnToContents(1);
    lstEntries->resizeColumnToContents(2);
    if (lstEntries->topLevelItemCount() > 0)
        lstEntries->setCurrentItem(lstEntries->topLevelItem(0));
}

void frmBackupEntries::showChosen()
{
    lstKeywords->clear();
    txtText->clear();
    const QTreeWidgetItem *item = lstEntries->currentItem();
    if (!item)
        return;
    try {
        const auto details = m_view.details(item->data(0, NumberRole).toInt());
        if (!details)
            return;
        lstKeywords->addItems(details->keywords);
        txtText->setPlainText(entryPlainText(details->entry));
    } catch (const sqlite::Error &e) {
        txtText->setPlainText(QStringLiteral("この項目を読めません: %1").arg(app::errorText(e)));
    }
}

QList<qint32> frmBackupEntries::chosenNumbers() const
{
    QList<qint32> checked;
    QList<qint32> selected;
    for (int i = 0; i < lstEntries->topLevelItemCount(); ++i) {
        const QTreeWidgetItem *item = lstEntries->topLevelItem(i);
        const qint32 number = item->data(0, NumberRole).toInt();
        if (item->checkState(0) == Qt::Checked)
            checked.append(number);
        if (item->isSelected())
            selected.append(number);
    }
    return checked.isEmpty() ? selected : checked;
}

void frmBackupEntries::takeOut()
{
    const QList<qint32> numbers = chosenNumbers();
    if (numbers.isEmpty()) {
        m_prompter.inform(QStringLiteral("取り出す項目をチェックするか選択してください。"));
        return;
    }
    store::DictionaryStorage *target = m_database.storage(cboDictionary->currentData().toInt());
    if (!target) {
        m_prompter.inform(QStringLiteral("取り出し先の辞書が開かれていません。"), {}, desktop::Prompter::Icon::Warning);
        return;
    }
    QString failure;
    qint64 added = 0;
    {
        const WaitCursor wait;
        try {
            added = exchange::takeOutEntries(m_view.dictionary(), numbers, *target);
        } catch (const exchange::ExchangeError &e) {
            failure = exchangeMessage(e);
        }
    }
    if (!failure.isEmpty()) {
        m_prompter.inform(failure + QStringLiteral("\n取り出し先の辞書は元のままです。"), {},
                          desktop::Prompter::Icon::Warning);
        return;
    }
    m_prompter.inform(QStringLiteral("%1 件の項目を %2 に取り出しました。").arg(added).arg(cboDictionary->currentText()));
}

} // namespace qm::app
