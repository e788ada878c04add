#include "frmdictionarysets.h"

#include "dictionaryinfopanel.h"
#include "frmdictionaryproperty.h"
#include "frmmakenewdictionary.h"

#include "app/store/sets/databasemodule.h"
#include "app/store/sets/memberopener.h"
#include "app/store/sets/slot.h"
#include "platform/desktop/prompter.h"

#include <QDir>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

namespace qm::app {
namespace {

using admin::place;
using desktop::Prompter;

QString listItemText(int slot, const QString &path)
{
    return store::dictionaryLabel(slot, store::shownMember(path));
}

QString serverLocationRefusal(store::ServerLocationProblem problem, const QString &typed)
{
    using Problem = store::ServerLocationProblem;
    switch (problem) {
    case Problem::NotServer:
        return QStringLiteral("「%1」はサーバーの辞書の場所として読めません。\n"
                              "postgresql://サーバー/データベース?dictionary=辞書名 の形で入力してください")
            .arg(typed);
    case Problem::NoDictionary:
        return QStringLiteral("「%1」には辞書名 (dictionary=辞書名) がありません").arg(typed);
    case Problem::HasPassword:
        // The text typed is not repeated: it holds the password.
        return QStringLiteral("サーバーの辞書の場所にはパスワードを書けません（辞書セットのファイルにそのまま残ります）。\n"
                              "パスワードは ~/.pgpass に書いてください");
    case Problem::None: break;
    }
    return {};
}

} // namespace

frmDictionarySets::frmDictionarySets(store::DatabaseModule &database, Prompter &prompter, HelpHandler help,
                                     QWidget *parent)
    : QDialog(parent)
    , m_database(database)
    , m_prompter(prompter)
    , m_help(std::move(help))
{
    setObjectName(QStringLiteral("frmDictionarySets"));
    setWindowTitle(QStringLiteral("Quillmere - 辞書セットの編集"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    QWidget *client = admin::fixedClient(this, 7215, 5295);
    buildControls(client);
    buildListButtons(client);
    buildButtons(client);
    buildServerRow(client);
    admin::addHelpMenu(this, QStringLiteral("mnuMenu"), [this] { showHelp(); });
    load();
}

frmDictionarySets::~frmDictionarySets() = default;

void frmDictionarySets::buildControls(QWidget *client)
{
    txtDicSetsName = place(new QLineEdit(client), QStringLiteral("txtDicSetsName"), 1920, 120, 5175, 270);
    admin::label(client, QStringLiteral("lblDicSetsName"), QStringLiteral("辞書セット名(&S)"), txtDicSetsName, 120,
                 150, 1755);
    lstDicName = place(new QListWidget(client), QStringLiteral("lstDicName"), 120, 480, 5415, 2175);
    lstDicName->setSelectionMode(QAbstractItemView::SingleSelection);
    lstDicName->setAccessibleName(QStringLiteral("辞書"));
    Frame = place(new DictionaryInfoPanel(client), QStringLiteral("Frame"), 120, 2760, 5415, 1935);
    connect(txtDicSetsName, &QLineEdit::textChanged, this, [this](const QString &name) { m_set.setName(name); });
    connect(lstDicName, &QListWidget::currentRowChanged, this, &frmDictionarySets::showSelected);
    connect(Frame->cmdProperty, &QPushButton::clicked, this, &frmDictionarySets::showProperty);
}

void frmDictionarySets::buildListButtons(QWidget *client)
{
    auto button = [client](const QString &name, const QString &caption, double top) {
        auto *b = place(new QPushButton(caption, client), name, 5640, top, 1455, 375);
        b->setAutoDefault(false);
        return b;
    };
    cmdAdd = button(QStringLiteral("cmdAdd"), QStringLiteral("辞書の追加(&A)"), 480);
    cmdDelete = button(QStringLiteral("cmdDelete"), QStringLiteral("辞書の削除(&E)"), 930);
    cmdUp = button(QStringLiteral("cmdUp"), QStringLiteral("↑(&U)"), 1500);
    cmdDown = button(QStringLiteral("cmdDown"), QStringLiteral("↓(&D)"), 1950);
    connect(cmdAdd, &QPushButton::clicked, this, &frmDictionarySets::addDictionary);
    connect(cmdDelete, &QPushButton::clicked, this, &frmDictionarySets::removeDictionary);
    connect(cmdUp, &QPushButton::clicked, this, [this] { moveSelected(-1); });
    connect(cmdDown, &QPushButton::clicked, this, [this] { moveSelected(+1); });
}

void frmDictionarySets::buildButtons(QWidget *client)
{
    cmdOK = place(new QPushButton(QStringLiteral("Ｏ　Ｋ"), client), QStringLiteral("cmdOK"), 5640, 3840, 1455, 375);
    cmdOK->setDefault(true);
    cmdCancel = place(new QPushButton(QStringLiteral("ｷｬﾝｾﾙ"), client), QStringLiteral("cmdCancel"), 5640, 4320,
                      1455, 375);
    cmdCancel->setAutoDefault(false);
    connect(cmdOK, &QPushButton::clicked, this, &frmDictionarySets::acceptSet);
    // Cancel, Escape and the close box close the editor without writing anything back.
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
}

void frmDictionarySets::buildServerRow(QWidget *client)
{
    txtServerLocation = place(new QLineEdit(client), QStringLiteral("txtServerLocation"), 1920, 4830, 3615, 300);
    txtServerLocation->setPlaceholderText(QStringLiteral("postgresql://サーバー/データベース?dictionary=辞書名"));
    admin::label(client, QStringLiteral("lblServerLocation"), QStringLiteral("サーバーの辞書(&V)"), txtServerLocation,
                 120, 4860, 1755);
    cmdAddServer = place(new QPushButton(QStringLiteral("追加(&R)"), client), QStringLiteral("cmdAddServer"),
                         5640, 4800, 1455, 375);
    cmdAddServer->setAutoDefault(false);
    connect(cmdAddServer, &QPushButton::clicked, this, &frmDictionarySets::addServerDictionary);
}

void frmDictionarySets::load()
{
    m_index = m_database.OpenDictionarySetsIndex();
    m_set = m_database.sets().at(m_index);
    txtDicSetsName->setText(m_set.name());
    refreshList(-1);
}

void frmDictionarySets::refreshList(int selected)
{
    {
        const QSignalBlocker quiet(lstDicName);
        lstDicName->clear();
        for (int slot = 0; slot < m_set.count(); ++slot)
            lstDicName->addItem(listItemText(slot, m_set.fileName(slot)));
        if (m_set.count() > 0)
            lstDicName->setCurrentRow(selected < 0 ? 0 : qMin(selected, m_set.count() - 1));
    }
    showSelected();
}

void frmDictionarySets::showSelected()
{
    // With nothing selected the panel keeps what it showed last.
    const int row = lstDicName->currentRow();
    const bool server = row >= 0 && store::isServerLocation(m_set.fileName(row));
    // The properties window works on a file or a server dictionary alike.
    Frame->cmdProperty->setEnabled(row >= 0);
    if (server)
        showServerDictionary(m_set.fileName(row));
    else if (row >= 0)
        Frame->showDictionary(m_set.fileName(row));
}

void frmDictionarySets::showServerDictionary(const QString &location)
{
    try {
        Frame->showStorage(*m_database.openSet().openReadOnly(location));
    } catch (const sqlite::Error &e) {
        Frame->showServerFailure(store::shownMember(location), e);
    }
}

bool frmDictionarySets::refuseWhenFull()
{
    if (!m_set.isFull())
        return false;
    m_prompter.inform(QStringLiteral("登録できる辞書は") + QString::number(store::MaxDictionariesPerSet)
                      + QStringLiteral("個までです"), {}, desktop::Prompter::Icon::Warning);
    return true;
}

void frmDictionarySets::addServerDictionary()
{
    if (refuseWhenFull())
        return;
    const QString location = txtServerLocation->text().trimmed();
    if (!isServerLocationUsable(location) || !storable(location) || isRegistered(location))
        return;
    m_set.append(location);
    txtServerLocation->clear();
    refreshList(m_set.count() - 1);
}

bool frmDictionarySets::isServerLocationUsable(const QString &location)
{
    const store::ServerLocationProblem problem = store::serverLocationProblem(location);
    if (problem == store::ServerLocationProblem::None)
        return true;
    m_prompter.inform(serverLocationRefusal(problem, location), {}, desktop::Prompter::Icon::Warning);
    if (problem == store::ServerLocationProblem::HasPassword)
        txtServerLocation->clear();
    txtServerLocation->setFocus();
    return false;
}

void frmDictionarySets::addDictionary()
{
    if (refuseWhenFull())
        return;
    // A path already in the set is refused before anything is offered or created.
    const std::optional<QString> path = chooseFile();
    if (!path || !storable(*path) || isRegistered(*path) || (!store::FileExists(*path) && !createMissing(*path))
        || isNotDictionary(*path))
        return;
    m_set.append(*path);
    refreshList(m_set.count() - 1);
}

std::optional<QString> frmDictionarySets::chooseFile()
{
    desktop::FileChooser::Request request;
    request.title = QStringLiteral("一覧に追加するファイルを指定してください");
    request.filter = QStringLiteral("辞書ファイル (*.dic)");
    std::optional<QString> path = m_chooser->openFile(request);
    if (path)
        path = QDir::cleanPath(*path);
    return path && !path->isEmpty() ? path : std::nullopt;
}

bool frmDictionarySets::createMissing(const QString &path)
{
    if (!m_prompter.confirm(QStringLiteral("指定された辞書がありませんが，新しく作りますか")))
        return false;
    frmMakeNewDictionary dialog(m_prompter, m_help, this);
    dialog.txtFileName->setText(path);
    dialog.exec();
    return store::FileExists(path);
}

bool frmDictionarySets::storable(const QString &path)
{
    // The set file keeps each path between double quotes and trims it when it is read back, so
    // such a path would name another file at the next start.
    if (!path.contains(QLatin1Char('"')) && path == path.trimmed())
        return true;
    m_prompter.inform(path + QStringLiteral(" は名前に「\"」か前後の空白を含むため、辞書セットに登録できません"), {},
                      desktop::Prompter::Icon::Warning);
    return false;
}

bool frmDictionarySets::isRegistered(const QString &path)
{
    // The member is named as registered: it may differ from the chosen path in letter case.
    const QString member = m_set.registeredAs(path);
    if (member.isEmpty())
        return false;
    m_prompter.inform(member + QStringLiteral(" はすでに登録されています"), {}, desktop::Prompter::Icon::Warning);
    return true;
}

bool frmDictionarySets::isNotDictionary(const QString &path)
{
    if (!store::Dictionary::IsDictionaryFile(path)) {
        m_prompter.inform(path + QStringLiteral(" は辞書ファイルではありません"), {}, desktop::Prompter::Icon::Warning);
        return true;
    }
    return false;
}

void frmDictionarySets::removeDictionary()
{
    if (lstDicName->count() == 0) {
        m_prompter.inform(QStringLiteral("１つも登録されていません"));
        return;
    }
    const int row = lstDicName->currentRow();
    if (row < 0) {
        m_prompter.inform(QStringLiteral("一覧から削除するファイルを指定してください"));
        return;
    }
    if (!m_prompter.confirm(lstDicName->item(row)->text() + QStringLiteral(" を一覧から削除してもよろしいですか")))
        return;
    m_set.removeAt(row);
    refreshList(row - 1);
}

void frmDictionarySets::moveSelected(int offset)
{
    const int row = lstDicName->currentRow();
    const int target = row + offset;
    if (row < 0 || target < 0 || target >= m_set.count())
        return;
    m_set.swap(row, target);
    refreshList(target);
}

void frmDictionarySets::showProperty()
{
    const int row = lstDicName->currentRow();
    if (row < 0)
        return;
    frmDictionaryProperty dialog(m_prompter, m_help, this);
    if (dialog.SetDicFileName(m_set.fileName(row)))
        dialog.exec();
    // A changed name shows at once.
    showSelected();
}

void frmDictionarySets::showHelp()
{
    if (m_help)
        m_help(Frame->txtDicName->text().isEmpty() ? QStringLiteral("DicSets.htm#AddNewDicSets")
                                                   : QStringLiteral("DicSets.htm#EditDicSets"));
}

void frmDictionarySets::acceptSet()
{
    if (m_set.name().isEmpty()) {
        if (!m_prompter.confirm(QStringLiteral("辞書セット名がないので，この設定は削除されますがよろしいですか"),
                                Prompter::Answer::No))
            return;
    } else if (m_set.count() == 0) {
        if (!m_prompter.confirm(
                QStringLiteral("登録された辞書が１つもないので，この設定は削除されますがよろしいですか"),
                Prompter::Answer::No))
            return;
        m_set.setName({});
    }
    writeBack();
    QDialog::accept();
}

void frmDictionarySets::writeBack()
{
    m_database.sets().replace(m_index, m_set);
}

} // namespace qm::app
