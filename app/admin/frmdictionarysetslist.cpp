#include "frmdictionarysetslist.h"

#include "frmdictionarysets.h"

#include "app/store/sets/databasemodule.h"
#include "platform/desktop/prompter.h"

#include <QLabel>
#include <QListWidget>
#include <QPushButton>

#include <utility>

namespace qm::app {
namespace {

using admin::place;

void select(QListWidget *list, int row)
{
    list->setCurrentRow(row);
    if (row < 0)
        list->clearSelection();
}

} // namespace

frmDictionarySetsList::frmDictionarySetsList(store::DatabaseModule &database, desktop::Prompter &prompter,
                                             HelpHandler help, QWidget *parent)
    : QDialog(parent)
    , m_database(database)
    , m_prompter(prompter)
    , m_help(std::move(help))
{
    setObjectName(QStringLiteral("frmDictionarySetsList"));
    setWindowTitle(QStringLiteral("Quillmere - 辞書セット一覧"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    QWidget *client = admin::fixedClient(this, 4590, 3270);
    buildControls(client);
    admin::addHelpMenu(this, QStringLiteral("mnuHelp"), [this] {
        if (m_help)
            m_help(QStringLiteral("DicSets.htm"));
    });
    load();
}

frmDictionarySetsList::~frmDictionarySetsList() = default;

void frmDictionarySetsList::buildControls(QWidget *client)
{
    lstDicSets = place(new QListWidget(client), QStringLiteral("lstDicSets"), 120, 360, 2895, 2790);
    lstDicSets->setSelectionMode(QAbstractItemView::SingleSelection);
    Label1 = admin::label(client, QStringLiteral("Label1"), QStringLiteral("辞書セット名(&S)"), lstDicSets, 120, 120,
                          2895);
    auto button = [client](const QString &name, const QString &caption, double top) {
        auto *b = place(new QPushButton(caption, client), name, 3135, top, 1335, 375);
        b->setAutoDefault(false);
        return b;
    };
    cmdOpen = button(QStringLiteral("cmdOpen"), QStringLiteral("開く(&O)"), 360);
    cmdOpen->setDefault(true);
    cmdAdd = button(QStringLiteral("cmdAdd"), QStringLiteral("追加(&A)"), 960);
    cmdEdit = button(QStringLiteral("cmdEdit"), QStringLiteral("編集(&E)"), 1410);
    cmdDelete = button(QStringLiteral("cmdDelete"), QStringLiteral("削除(&R)"), 1860);
    cmdUp = button(QStringLiteral("cmdUp"), QStringLiteral("↑(&U)"), 2325);
    cmdDown = button(QStringLiteral("cmdDown"), QStringLiteral("↓(&D)"), 2775);
    connect(cmdOpen, &QPushButton::clicked, this, &QDialog::accept);
    connect(lstDicSets, &QListWidget::itemDoubleClicked, this, &QDialog::accept);
    connect(cmdAdd, &QPushButton::clicked, this, &frmDictionarySetsList::addSet);
    connect(cmdEdit, &QPushButton::clicked, this, &frmDictionarySetsList::editSet);
    connect(cmdDelete, &QPushButton::clicked, this, &frmDictionarySetsList::deleteSet);
    connect(cmdUp, &QPushButton::clicked, this, [this] { moveSelected(-1); });
    connect(cmdDown, &QPushButton::clicked, this, [this] { moveSelected(+1); });
}

void frmDictionarySetsList::load()
{
    RefreshSetList();
    select(lstDicSets, m_database.OpenDictionarySetsIndex());
    // No dictionary is open from here until the list closes, so the editor and the dictionary
    // dialogs never work on an open file.
    m_database.CloseDictionarySet();
}

int frmDictionarySetsList::selectedRow() const
{
    const QListWidgetItem *item = lstDicSets->currentItem();
    return item && item->isSelected() ? lstDicSets->row(item) : -1;
}

void frmDictionarySetsList::RefreshSetList()
{
    const int remembered = selectedRow();
    lstDicSets->clear();
    const int count = m_database.DictionarySetCount();
    for (int i = 0; i < count; ++i)
        lstDicSets->addItem(m_database.sets().at(i).name());
    for (QPushButton *b : {cmdOpen, cmdEdit, cmdDelete})
        b->setEnabled(count > 0);
    if (count == 0)
        return;
    select(lstDicSets, remembered < 0 ? 0 : qMin(remembered, count - 1));
}

void frmDictionarySetsList::DeleteDictionarySet(int index)
{
    if (!m_database.sets().remove(index))
        return;
    const int selected = selectedRow();
    select(lstDicSets, selected > 0 ? selected - 1 : -1);
    commit();
}

void frmDictionarySetsList::commit()
{
    RefreshSetList();
    // The file names the selected set as current, so a run that ends before the list closes
    // starts with it; the list sets the index anew before each use in any case.
    m_database.sets().choose(selectedRow());
    m_database.CommitDictionarySets();
}

void frmDictionarySetsList::addSet()
{
    // The editor fills in the blank set; a set left without a name is dropped again.
    const int index = m_database.sets().add(store::DictionarySet());
    if (index < 0) {
        m_prompter.inform(QStringLiteral("登録できる辞書セット数は") + QString::number(store::MaxDictionarySets)
                          + QStringLiteral("つまでです"), {}, desktop::Prompter::Icon::Warning);
        return;
    }
    m_database.sets().choose(index);
    lstDicSets->addItem(QStringLiteral(" "));
    select(lstDicSets, index);
    showEditor();
    dropIfNameless(index);
    commit();
}

void frmDictionarySetsList::editSet()
{
    const int index = selectedRow();
    if (index < 0 || !m_database.sets().choose(index))
        return;
    showEditor();
    dropIfNameless(index);
    // A changed name shows at once.
    commit();
}

void frmDictionarySetsList::deleteSet()
{
    const int index = selectedRow();
    if (index >= 0)
        DeleteDictionarySet(index);
}

void frmDictionarySetsList::moveSelected(int offset)
{
    const int row = selectedRow();
    const int target = row + offset;
    if (!m_database.sets().move(row, target))
        return;
    select(lstDicSets, target);
    commit();
}

void frmDictionarySetsList::showEditor()
{
    frmDictionarySets editor(m_database, m_prompter, m_help, this);
    if (m_chooser)
        editor.setFileChooser(*m_chooser);
    editor.exec();
    // The list takes the focus back whichever way the editor closed.
    activateWindow();
    lstDicSets->setFocus();
}

void frmDictionarySetsList::dropIfNameless(int index)
{
    // The editor empties the name of a set it was told to delete; a cancelled new set has none.
    if (m_database.sets().at(index).name().isEmpty())
        DeleteDictionarySet(index);
}

void frmDictionarySetsList::done(int result)
{
    if (!m_closed) {
        m_closed = true;
        m_database.sets().choose(selectedRow());
        m_database.OpenDictionarySet();
        m_database.CommitDictionarySets();
    }
    QDialog::done(result);
}

} // namespace qm::app
