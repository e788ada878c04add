#include "frmsearchindexlist.h"

#include "app/common/helpmenu.h"
#include "app/common/windowsettings.h"
#include "app/icons/viewericons.h"
#include "app/store/sets/databasemodule.h"
#include "app/store/search/headinglist.h"
#include "app/common/storemessages.h"
#include "app/store/settings.h"
#include "app/store/sets/slot.h"
#include "platform/desktop/accessiblename.h"
#include "platform/desktop/twips.h"
#include "platform/desktop/windowstate.h"

#include <QCloseEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QStyle>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <vector>

namespace qm::app {
namespace {

using desktop::Twips;
namespace keys = store::keys::SearchIndexList;

enum Column { KeywordColumn = 0, HeadingColumn = 1, DictionaryColumn = 2 };

// A plain widget that reports its size changes, so the children can follow the resize rule.
class ClientArea final : public QWidget
{
public:
    explicit ClientArea(std::function<void(const QSize &)> onResize, QWidget *parent)
        : QWidget(parent)
        , m_onResize(std::move(onResize))
    {
    }

protected:
    void resizeEvent(QResizeEvent *event) override
    {
        QWidget::resizeEvent(event);
        m_onResize(size());
    }

private:
    std::function<void(const QSize &)> m_onResize;
};

} // namespace

frmSearchIndexList::frmSearchIndexList(store::DatabaseModule &database, store::Settings &settings,
                                       QWidget *parent)
    : QDialog(parent)
    , m_database(database)
    , m_settings(settings)
{
    setObjectName(QStringLiteral("frmSearchIndexList"));
    setWindowTitle(QStringLiteral("Quillmere - 検索結果"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setWindowFlag(Qt::WindowMinMaxButtonsHint, true);
    buildControls();
    buildMenu();
    restoreSettings();
    new desktop::PlaceKeeper(*this);
}

frmSearchIndexList::~frmSearchIndexList() = default;

void frmSearchIndexList::buildControls()
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    m_client = new ClientArea([this](const QSize &s) { layoutClient(s); }, this);
    layout->addWidget(m_client);

    txtSearchIndex = new QLineEdit(m_client);
    txtSearchIndex->setObjectName(QStringLiteral("txtSearchIndex"));
    txtSearchIndex->setReadOnly(true);
    txtSearchIndex->setFocusPolicy(Qt::ClickFocus);
    txtSearchIndex->setAccessibleName(QStringLiteral("検索したキーワード"));

    cmdSqueeze = new QPushButton(QStringLiteral("絞り込み(&S)"), m_client);
    cmdSqueeze->setObjectName(QStringLiteral("cmdSqueeze"));
    cmdSqueeze->setAutoDefault(false);
    connect(cmdSqueeze, &QPushButton::clicked, this, &frmSearchIndexList::squeeze);

    ListIndex = new QTreeWidget(m_client);
    ListIndex->setObjectName(QStringLiteral("ListIndex"));
    ListIndex->setAccessibleName(QStringLiteral("検索結果"));
    ListIndex->setRootIsDecorated(false);
    ListIndex->setUniformRowHeights(true);
    ListIndex->setAllColumnsShowFocus(true);
    ListIndex->setSelectionMode(QAbstractItemView::SingleSelection);
    ListIndex->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ListIndex->setHeaderLabels({QStringLiteral("ｷｰﾜｰﾄﾞ"), QStringLiteral("見出し"), QStringLiteral("辞書")});
    ListIndex->header()->setStretchLastSection(false);
    ListIndex->header()->setSectionsClickable(false);
    ListIndex->installEventFilter(this);
    connect(ListIndex, &QTreeWidget::itemDoubleClicked, this, &frmSearchIndexList::chooseSelected);
    connect(ListIndex, &QTreeWidget::itemClicked, this, &frmSearchIndexList::updateCount);

    lblNumberOfCases = new QLabel(QStringLiteral("0/0件"), m_client);
    lblNumberOfCases->setObjectName(QStringLiteral("lblNumberOfCases"));
    lblMaxFlag = new QLabel(m_client);
    lblMaxFlag->setObjectName(QStringLiteral("lblMaxFlag"));
    lblMaxFlag->setText(QStringLiteral("最大件数") + QString::number(RowLimit) + QStringLiteral("件を越えています"));
    lblMaxFlag->setStyleSheet(QStringLiteral("color: #b00020;"));
    lblMaxFlag->hide();
    lblStopped = new QLabel(QStringLiteral("検索を中止しました"), m_client);
    lblStopped->setObjectName(QStringLiteral("lblStopped"));
    lblStopped->setStyleSheet(lblMaxFlag->styleSheet());
    lblStopped->hide();
    lblChanged = new QLabel(QStringLiteral("他で変更あり。検索し直してください"), m_client);
    lblChanged->setObjectName(QStringLiteral("lblChanged"));
    lblChanged->setToolTip(QStringLiteral("ほかのプログラムが辞書を変更しました。もう一度検索すると今の内容を表示します。"));
    lblChanged->setStyleSheet(lblMaxFlag->styleSheet());
    lblChanged->hide();

    txtSearchIndex->setGeometry(Twips::toPixels(120, 120, 4215, 270));
    cmdSqueeze->setGeometry(Twips::toPixels(4440, 120, 1095, 300));
    ListIndex->setGeometry(Twips::toPixels(120, 480, 4215, 2655));
    lblNumberOfCases->move(Twips::toPixels(360), Twips::toPixels(3240));
    lblMaxFlag->move(Twips::toPixels(1680), Twips::toPixels(3240));
    lblNumberOfCases->adjustSize();
    lblMaxFlag->adjustSize();
    lblStopped->move(lblMaxFlag->pos());
    lblStopped->adjustSize();
    lblChanged->adjustSize();
    placeChangedLabel();
    m_client->setMinimumSize(minimumClientSize());
}

QSize frmSearchIndexList::minimumClientSize() const
{
    // The list shows its three columns, each as wide as its caption, and two rows; the other
    // controls keep the margins of the resize rule around it.
    const QHeaderView *header = ListIndex->header();
    int columns = 0;
    for (int i = 0; i < header->count(); ++i)
        columns += header->sectionSizeHint(i);
    const int rowMargin = 2 * style()->pixelMetric(QStyle::PM_FocusFrameVMargin, nullptr, ListIndex) + 4;
    const int row = qMax(ListIndex->fontMetrics().height(), ListIndex->iconSize().height()) + rowMargin;
    const int frame = 2 * ListIndex->frameWidth();
    // More than two rows bring the vertical scroll bar, which must not hide the last column.
    const int scrollBar = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, ListIndex);
    return {Twips::toPixels(240) + frame + columns + scrollBar,
            Twips::toPixels(840) + frame + header->sizeHint().height() + 2 * row};
}

void frmSearchIndexList::buildMenu()
{
    addHelpMenu(this, QStringLiteral("mnuHelp"), [this] {
        if (m_showHelp)
            m_showHelp(QStringLiteral("Searching.htm#Result"));
    });
}

void frmSearchIndexList::restoreSettings()
{
    ListIndex->setColumnWidth(KeywordColumn, Twips::toPixels(m_settings.value(keys::KeyWordWidth)));
    ListIndex->setColumnWidth(HeadingColumn, Twips::toPixels(m_settings.value(keys::HeadingWidth)));
    ListIndex->setColumnWidth(DictionaryColumn, Twips::toPixels(m_settings.value(keys::DictionaryWidth)));
    restoreWindow(*this, m_settings, keys::Placement);
}

void frmSearchIndexList::layoutClient(const QSize &client)
{
    // Each control follows the window; a size that would turn negative is left as it was.
    const int w = client.width();
    const int h = client.height();
    auto apply = [](int value, auto &&set) {
        if (value >= 0)
            set(value);
    };
    apply(w - Twips::toPixels(1440), [&](int v) { txtSearchIndex->resize(v, txtSearchIndex->height()); });
    apply(w - Twips::toPixels(1200), [&](int v) { cmdSqueeze->move(v, cmdSqueeze->y()); });
    apply(h - Twips::toPixels(840), [&](int v) { ListIndex->resize(ListIndex->width(), v); });
    apply(w - Twips::toPixels(240), [&](int v) { ListIndex->resize(v, ListIndex->height()); });
    apply(h - Twips::toPixels(240), [&](int v) { lblNumberOfCases->move(lblNumberOfCases->x(), v); });
    apply(h - Twips::toPixels(240), [&](int v) { lblMaxFlag->move(lblMaxFlag->x(), v); });
    lblStopped->move(lblMaxFlag->pos());
    placeChangedLabel();
}

void frmSearchIndexList::placeChangedLabel()
{
    // In the flags' place, or beside the one shown.
    const QLabel *flag = lblMaxFlag->isVisibleTo(this) ? lblMaxFlag : lblStopped->isVisibleTo(this) ? lblStopped : nullptr;
    lblChanged->move(lblMaxFlag->x() + (flag ? flag->width() + Twips::toPixels(120) : 0), lblMaxFlag->y());
}

void frmSearchIndexList::dictionaryChangedElsewhere(int slot)
{
    if (!hasRows())
        return;
    for (int i = 0; i < ListIndex->topLevelItemCount(); ++i)
        if (ListIndex->topLevelItem(i)->data(DictionaryColumn, Qt::UserRole).toInt() == slot) {
            placeChangedLabel();
            lblChanged->show();
            return;
        }
}

void frmSearchIndexList::ClearList()
{
    ListIndex->setSortingEnabled(false);
    ListIndex->clear();
    lblMaxFlag->hide();
    lblStopped->hide();
    lblChanged->hide();
    cmdSqueeze->setEnabled(true);
    m_labels.clear();
    m_generation = m_database.openGeneration();
    updateCount();
}

QString frmSearchIndexList::dictionaryLabel(store::Slot slot)
{
    auto it = m_labels.constFind(slot.index);
    if (it != m_labels.constEnd())
        return *it;
    store::DictionaryStorage *d = m_database.storage(slot.index);
    const QString label = store::dictionaryLabel(slot, d ? d->displayName() : QString(), {});
    m_labels.insert(slot.index, label);
    return label;
}

QString frmSearchIndexList::failureText(const store::SearchFailure &failure)
{
    QString text = QStringLiteral("検索できませんでした。\n");
    // A member that did not open (a server that cannot be reached) is named by its location.
    if (failure.slot >= 0)
        text += QStringLiteral("辞書 ")
                + (m_database.storage(failure.slot) || failure.path.isEmpty()
                       ? dictionaryLabel(failure.slot)
                       : store::dictionaryLabel(failure.slot, failure.path, {}))
                + QStringLiteral(": ");
    return text + app::describeFailure(failure.error);
}

void frmSearchIndexList::beginResults(const QString &searched)
{
    ClearList();
    txtSearchIndex->setText(searched);
}

void frmSearchIndexList::addRows(const std::vector<store::SlotMatch> &rows)
{
    for (const store::SlotMatch &row : rows)
        AddList(row);
}

void frmSearchIndexList::endResults(const store::SearchResults &summary)
{
    fitDictionaryColumn();
    if (summary.limitReached)
        lblMaxFlag->show();
    else if (summary.cancelled)
        lblStopped->show();
    updateCount();
}

void frmSearchIndexList::showResults(const QString &searched, const std::vector<store::SlotMatch> &rows,
                                     const store::SearchResults &summary)
{
    beginResults(searched);
    addRows(rows);
    endResults(summary);
}

void frmSearchIndexList::AddList(const store::SlotMatch &row)
{
    auto *item = new QTreeWidgetItem(ListIndex);
    item->setText(KeywordColumn, row.match.Index);
    item->setText(HeadingColumn, row.match.Heading);
    item->setText(DictionaryColumn, dictionaryLabel(row.slot));
    // The slot goes with the row: the label is only shown, a dictionary name may begin with a mark.
    item->setData(DictionaryColumn, Qt::UserRole, int(row.slot.index));
    item->setIcon(KeywordColumn, viewerIcon(row.match.Viewer));
    item->setData(KeywordColumn, Qt::UserRole, row.match.DocumentNumber);
}

void frmSearchIndexList::fitDictionaryColumn()
{
    // The slot mark and dictionary name are shown whole, however the list is shown.
    const int dictionaryWidth = static_cast<QAbstractItemView *>(ListIndex)->sizeHintForColumn(DictionaryColumn);
    ListIndex->setColumnWidth(DictionaryColumn, std::max(ListIndex->columnWidth(DictionaryColumn), dictionaryWidth));
}

bool frmSearchIndexList::hasRows() const
{
    return ListIndex->topLevelItemCount() > 0 && m_generation == m_database.openGeneration();
}

QList<std::pair<int, qint32>> frmSearchIndexList::rowEntries() const
{
    QList<std::pair<int, qint32>> rows;
    if (!hasRows())
        return rows;
    for (int i = 0; i < ListIndex->topLevelItemCount(); ++i) {
        const QTreeWidgetItem *item = ListIndex->topLevelItem(i);
        rows.append({item->data(DictionaryColumn, Qt::UserRole).toInt(), item->data(KeywordColumn, Qt::UserRole).toInt()});
    }
    return rows;
}

bool frmSearchIndexList::ReturnSelectData(store::Slot &slot, qint32 &lngDocNumber)
{
    m_chosenNumber = 0;
    // Rows of a set that has since been closed would open the wrong entries.
    if (m_generation != m_database.openGeneration())
        ClearList();
    fitDictionaryColumn();
    exec();
    if (m_chosenNumber == 0)
        return false;
    slot = m_chosenSlot;
    lngDocNumber = m_chosenNumber;
    return true;
}

void frmSearchIndexList::updateCount()
{
    const int count = ListIndex->topLevelItemCount();
    if (count == 0) {
        lblNumberOfCases->setText(QStringLiteral("0件"));
    } else {
        const int position = ListIndex->indexOfTopLevelItem(ListIndex->currentItem()) + 1;
        lblNumberOfCases->setText(QString::number(position) + QLatin1Char('/') + QString::number(count)
                                  + QStringLiteral("件"));
    }
    lblNumberOfCases->adjustSize();
}

void frmSearchIndexList::chooseSelected()
{
    if (ListIndex->topLevelItemCount() == 0)
        return;
    updateCount();
    const QTreeWidgetItem *item = ListIndex->currentItem();
    if (!item)
        return;
    m_chosenSlot = store::Slot(item->data(DictionaryColumn, Qt::UserRole).toInt());
    m_chosenNumber = m_chosenSlot.isValid() ? item->data(KeywordColumn, Qt::UserRole).toInt() : 0;
    finish(Accepted);
}

void frmSearchIndexList::reject()
{
    m_chosenNumber = 0;
    finish(Rejected);
}

void frmSearchIndexList::finish(int result)
{
    m_finishing = true;
    done(result);
    m_finishing = false;
}

void frmSearchIndexList::sortByHeading()
{
    // Sorted once, in the order the heading grid and the lookups list headings; rows with equal
    // headings keep their order. The list does not re-sort when headings are blanked.
    std::vector<std::pair<std::u32string, QTreeWidgetItem *>> rows;
    while (ListIndex->topLevelItemCount() > 0) {
        QTreeWidgetItem *item = ListIndex->takeTopLevelItem(0);
        rows.emplace_back(store::headingOrderKey(item->text(HeadingColumn)), item);
    }
    std::stable_sort(rows.begin(), rows.end(), [](const auto &a, const auto &b) { return a.first < b.first; });
    for (const auto &row : rows)
        ListIndex->addTopLevelItem(row.second);
}

void frmSearchIndexList::squeeze()
{
    sortByHeading();
    QString remembered;
    for (int i = 0; i < ListIndex->topLevelItemCount(); ++i) {
        QTreeWidgetItem *item = ListIndex->topLevelItem(i);
        if (item->text(HeadingColumn) == remembered)
            item->setText(HeadingColumn, QString());
        else
            remembered = item->text(HeadingColumn);
    }
    cmdSqueeze->setEnabled(false);
}

void frmSearchIndexList::selectFirstRow()
{
    if (ListIndex->topLevelItemCount() > 0) {
        QTreeWidgetItem *first = ListIndex->topLevelItem(0);
        ListIndex->setCurrentItem(first);
        ListIndex->scrollToItem(first);
    }
}

void frmSearchIndexList::onActivated()
{
    ListIndex->setFocus();
    updateCount();
}

bool frmSearchIndexList::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == ListIndex && event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            chooseSelected();
            return true;
        }
        if (key->key() == Qt::Key_Escape) {
            reject();
            return true;
        }
    } else if (watched == ListIndex && event->type() == QEvent::KeyRelease) {
        updateCount();
    }
    return QDialog::eventFilter(watched, event);
}

void frmSearchIndexList::changeEvent(QEvent *event)
{
    QDialog::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        onActivated();
}

void frmSearchIndexList::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    // Only a showing by a lookup or a command starts at the first row; coming back from another
    // window (the help browser, another program) keeps the row the user was on.
    selectFirstRow();
    onActivated();
}

void frmSearchIndexList::closeEvent(QCloseEvent *event)
{
    if (m_unloading || m_finishing) {
        event->accept();
        return;
    }
    // The close box only hides the list, like Escape; the rows stay for the next showing.
    event->ignore();
    reject();
}

void frmSearchIndexList::Unload()
{
    saveWindow(*this, m_settings, keys::Placement);
    setWindowState(Qt::WindowNoState);
    m_settings.setValue(keys::KeyWordWidth, float(Twips::fromPixels(ListIndex->columnWidth(KeywordColumn))));
    m_settings.setValue(keys::HeadingWidth, float(Twips::fromPixels(ListIndex->columnWidth(HeadingColumn))));
    m_settings.setValue(keys::DictionaryWidth, float(Twips::fromPixels(ListIndex->columnWidth(DictionaryColumn))));
    m_unloading = true;
    close();
}

} // namespace qm::app
