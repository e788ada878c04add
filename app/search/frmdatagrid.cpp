#include "frmdatagrid.h"

#include "clientarea.h"
#include "headinggridmodel.h"

#include "app/common/helpmenu.h"
#include "app/common/windowsettings.h"
#include "app/store/sets/databasemodule.h"
#include "app/store/settings.h"
#include "app/store/sets/slot.h"
#include "platform/desktop/accessiblename.h"
#include "platform/desktop/twips.h"
#include "platform/desktop/windowstate.h"

#include <QComboBox>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>

namespace qm::app {
namespace {

using desktop::Twips;
namespace keys = store::keys::DataGrid;
using Order = store::HeadingList::Order;

int modifierState(Qt::KeyboardModifiers modifiers)
{
    return (modifiers & Qt::ShiftModifier ? 1 : 0) + (modifiers & Qt::ControlModifier ? 2 : 0)
           + (modifiers & Qt::AltModifier ? 4 : 0);
}

} // namespace

frmDataGrid::frmDataGrid(store::DatabaseModule &database, store::Settings &settings, QWidget *parent)
    : QDialog(parent)
    , m_database(database)
    , m_settings(settings)
{
    setObjectName(QStringLiteral("frmDataGrid"));
    setWindowTitle(QStringLiteral("Quillmere - 見出し一覧"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setWindowFlag(Qt::WindowMinMaxButtonsHint, true);
    buildControls();
    buildMenu();
}

frmDataGrid::~frmDataGrid() = default;

void frmDataGrid::buildControls()
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_client = new ClientArea([this](const QSize &s) { layoutClient(s); }, this);
    layout->addWidget(m_client);

    Label1 = new QLabel(QStringLiteral("辞書名(&N)"), m_client);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->move(Twips::toPixels(120), Twips::toPixels(160));
    Label1->resize(Twips::toPixels(855), Label1->sizeHint().height());

    cboDictionary = new QComboBox(m_client);
    cboDictionary->setObjectName(QStringLiteral("cboDictionary"));
    cboDictionary->setGeometry(Twips::toPixels(960), Twips::toPixels(120), Twips::toPixels(1815),
                               cboDictionary->sizeHint().height());
    Label1->setBuddy(cboDictionary);
    desktop::nameBuddy(Label1);
    connect(cboDictionary, &QComboBox::activated, this, &frmDataGrid::dictionaryChanged);

    cmdClose = new QPushButton(QStringLiteral("閉じる(&C)"), m_client);
    cmdClose->setObjectName(QStringLiteral("cmdClose"));
    cmdClose->setAutoDefault(false);
    cmdClose->setGeometry(Twips::toPixels(3000, 120, 975, 300));
    connect(cmdClose, &QPushButton::clicked, this, &frmDataGrid::reject);

    m_model = new HeadingGridModel(m_database, this);
    // Told once the view has finished the scroll that asked for the rows.
    connect(m_model, &HeadingGridModel::readFailed, this, [this](const QString &reason) {
        // A damaged file is offered for repair, which replaces it: the list of its rows goes.
        if (m_model->failure() && m_database.offerRecovery(cboDictionary->currentIndex(), *m_model->failure())) {
            reject();
            return;
        }
        if (m_inform)
            m_inform(QStringLiteral("辞書「%1」の見出しを最後まで読めませんでした。\n%2").arg(cboDictionary->currentText(), reason));
    }, Qt::QueuedConnection);
    grdDataGrid = new QTableView(m_client);
    grdDataGrid->setObjectName(QStringLiteral("grdDataGrid"));
    grdDataGrid->setAccessibleName(QStringLiteral("見出し一覧"));
    // Tab moves on to the window's other controls; the arrow keys move between the cells.
    grdDataGrid->setTabKeyNavigation(false);
    grdDataGrid->setModel(m_model);
    // The rows come from the search worker after the columns were set: the type column grows
    // to show each type whole.
    connect(m_model, &QAbstractItemModel::rowsInserted, this, [this] {
        const int typeWidth = static_cast<QAbstractItemView *>(grdDataGrid)->sizeHintForColumn(HeadingGridModel::TypeColumn);
        if (typeWidth > grdDataGrid->columnWidth(HeadingGridModel::TypeColumn))
            grdDataGrid->setColumnWidth(HeadingGridModel::TypeColumn, typeWidth);
    });
    grdDataGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grdDataGrid->setSelectionBehavior(QAbstractItemView::SelectRows);
    grdDataGrid->setSelectionMode(QAbstractItemView::SingleSelection);
    grdDataGrid->setWordWrap(false);
    grdDataGrid->verticalHeader()->setDefaultSectionSize(grdDataGrid->fontMetrics().height() + 6);
    grdDataGrid->horizontalHeader()->setSectionsClickable(true);
    grdDataGrid->horizontalHeader()->setHighlightSections(false);
    grdDataGrid->move(Twips::toPixels(120), Twips::toPixels(600));
    grdDataGrid->viewport()->installEventFilter(this);
    grdDataGrid->horizontalHeader()->viewport()->installEventFilter(this);
    grdDataGrid->installEventFilter(this);
    connect(grdDataGrid->horizontalHeader(), &QHeaderView::sectionClicked, this, &frmDataGrid::sortByColumn);
    connect(grdDataGrid, &QTableView::doubleClicked, this, [this](const QModelIndex &index) { chooseRow(index.row()); });
    refreshColumns();
    m_client->setMinimumSize(Twips::toPixels(4200), Twips::toPixels(1800));
    resize(Twips::toPixels(8000), Twips::toPixels(6000));
}

void frmDataGrid::buildMenu()
{
    addHelpMenu(this, QStringLiteral("mnuHelp"), [this] {
        if (m_showHelp)
            m_showHelp(QStringLiteral("Searching.htm#HeadingGrid"));
    });
}

void frmDataGrid::layoutClient(const QSize &client)
{
    // Each control follows the window; a size that would turn negative is left as it was.
    const auto apply = [](int value, auto &&set) {
        if (value >= 0)
            set(value);
    };
    const int w = client.width();
    const int h = client.height();
    apply(w - Twips::toPixels(2160), [&](int v) { cboDictionary->resize(v, cboDictionary->height()); });
    apply(w - Twips::toPixels(1080), [&](int v) { cmdClose->move(v, cmdClose->y()); });
    apply(h - Twips::toPixels(720), [&](int v) { grdDataGrid->resize(grdDataGrid->width(), v); });
    apply(w - Twips::toPixels(240), [&](int v) { grdDataGrid->resize(v, grdDataGrid->height()); });
}

void frmDataGrid::load()
{
    m_loaded = true;
    m_generation = m_database.openGeneration();
    cboDictionary->clear();
    m_model->clear();
    if (m_database.OpenDictionarySetsIndex() < 0)
        return;
    for (int slot = 0; slot < m_database.DictionaryCount(); ++slot) {
        // A dictionary that did not open keeps its place, so the item's index stays its slot.
        store::DictionaryStorage *d = m_database.storage(slot);
        cboDictionary->addItem(store::dictionaryLabel(slot, d ? d->displayName() : QString()));
    }
    if (cboDictionary->count() > 0) {
        cboDictionary->setCurrentIndex(0);
        dictionaryChanged();
    }
    restorePlacement();
    refreshColumns();
}

void frmDataGrid::restorePlacement()
{
    restoreWindow(*this, m_settings, keys::Placement);
}

void frmDataGrid::saveSettings()
{
    saveWindow(*this, m_settings, keys::Placement);
    m_settings.setValue(keys::Columns0, float(Twips::fromPixels(grdDataGrid->columnWidth(HeadingGridModel::HeadingColumn))));
    m_settings.setValue(keys::Columns1, float(Twips::fromPixels(grdDataGrid->columnWidth(HeadingGridModel::TypeColumn))));
    m_settings.setValue(keys::Columns2, float(Twips::fromPixels(grdDataGrid->columnWidth(HeadingGridModel::DateColumn))));
}

void frmDataGrid::unload()
{
    saveSettings();
    setWindowState(Qt::WindowNoState);
    m_model->clear();
    m_loaded = false;
}

void frmDataGrid::dictionaryChanged()
{
    // Another dictionary starts unsorted.
    grdDataGrid->horizontalHeader()->setSortIndicatorShown(false);
    m_order = int(Order::Entry);
    m_descending = false;
    m_model->show(cboDictionary->currentIndex(), Order::Entry, false);
    refreshColumns();
}

void frmDataGrid::sortByColumn(int column)
{
    static constexpr Order orders[] = {Order::Heading, Order::Viewer, Order::RenewalDate};
    if (column < 0 || column >= int(std::size(orders)) || cboDictionary->currentIndex() < 0)
        return;
    // Ctrl alone sorts downwards; any other state (Shift+Ctrl included) upwards.
    const bool descending = m_modifierState == 2;
    m_order = int(orders[column]);
    m_descending = descending;
    m_model->show(cboDictionary->currentIndex(), orders[column], descending);
    QHeaderView *header = grdDataGrid->horizontalHeader();
    header->setSortIndicatorShown(true);
    header->setSortIndicator(column, descending ? Qt::DescendingOrder : Qt::AscendingOrder);
    refreshColumns();
}

void frmDataGrid::dictionaryChangedElsewhere(int slot)
{
    if (!m_loaded || m_generation != m_database.openGeneration() || slot != cboDictionary->currentIndex())
        return;
    const QModelIndex current = grdDataGrid->currentIndex();
    m_model->show(slot, Order(m_order), m_descending);
    // The rows come again batch by batch; the row chosen before is chosen again if it is read.
    if (current.isValid() && current.row() < m_model->rowCount())
        grdDataGrid->setCurrentIndex(m_model->index(current.row(), current.column()));
}

void frmDataGrid::refreshColumns()
{
    // The saved widths replace whatever the user dragged, until the window is closed.
    grdDataGrid->setColumnHidden(HeadingGridModel::NumberColumn, true);
    grdDataGrid->setColumnWidth(HeadingGridModel::HeadingColumn, Twips::toPixels(m_settings.value(keys::Columns0)));
    // The type is a short word the column always shows whole.
    const int typeWidth = std::max({Twips::toPixels(m_settings.value(keys::Columns1)),
                                    static_cast<QAbstractItemView *>(grdDataGrid)->sizeHintForColumn(HeadingGridModel::TypeColumn),
                                    grdDataGrid->horizontalHeader()->sectionSizeHint(HeadingGridModel::TypeColumn)});
    grdDataGrid->setColumnWidth(HeadingGridModel::TypeColumn, typeWidth);
    grdDataGrid->setColumnWidth(HeadingGridModel::DateColumn, Twips::toPixels(m_settings.value(keys::Columns2)));
}

void frmDataGrid::chooseRow(int row)
{
    const qint32 number = m_model->documentNumber(row);
    if (number == 0)
        return;
    m_chosenSlot = cboDictionary->currentIndex();
    m_chosenNumber = number;
    // Hidden, not closed: the next showing keeps the dictionary and the order. The placement
    // is saved now, as nothing else may close the grid before the program ends.
    saveSettings();
    done(Accepted);
}

bool frmDataGrid::ReturnSelectData(int &slot, qint32 &number)
{
    // A list taken from a set that has since been closed would name the wrong dictionaries.
    if (!m_loaded || m_generation != m_database.openGeneration())
        load();
    m_chosenNumber = 0;
    exec();
    if (m_chosenNumber == 0)
        return false;
    slot = m_chosenSlot;
    number = m_chosenNumber;
    return true;
}

void frmDataGrid::reject()
{
    m_chosenNumber = 0;
    if (m_loaded)
        unload();
    QDialog::reject();
}

bool frmDataGrid::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
        if (watched == grdDataGrid->viewport() || watched == grdDataGrid->horizontalHeader()->viewport())
            m_modifierState = modifierState(static_cast<QMouseEvent *>(event)->modifiers());
        break;
    case QEvent::KeyPress:
        if (watched == grdDataGrid) {
            const int key = static_cast<QKeyEvent *>(event)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter) {
                if (grdDataGrid->currentIndex().isValid())
                    chooseRow(grdDataGrid->currentIndex().row());
                return true;
            }
        }
        break;
    default: break;
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace qm::app
