#include "frmrecover.h"

#include "adminparts.h"

#include "app/common/storemessages.h"
#include "app/common/waitcursor.h"
#include "app/store/sets/databasemodule.h"
#include "app/store/dictionary/dictionary.h"
#include "app/store/sets/distribution.h"
#include "app/store/care/salvage.h"
#include "app/store/care/writetarget.h"
#include "platform/desktop/filechooser.h"
#include "platform/desktop/progresswindow.h"
#include "platform/desktop/prompter.h"

#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace qm::app {

namespace {

using desktop::Prompter;

QString shown(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

// The entries saved incomplete, the first few by number and heading.
QString incompleteText(const store::SalvageReport &report)
{
    if (report.incomplete.empty())
        return {};
    constexpr std::size_t Named = 10;
    QString text = QStringLiteral("一部を読めなかった項目: %1 件（キーワード「%2」で探せます）\n")
                       .arg(report.entriesIncomplete)
                       .arg(app::incompleteMark());
    for (std::size_t i = 0; i < std::min(Named, report.incomplete.size()); ++i)
        text += QStringLiteral("　%1: %2\n").arg(report.incomplete[i].number).arg(report.incomplete[i].heading);
    if (report.incomplete.size() > Named)
        text += QStringLiteral("　ほか %1 件\n").arg(report.incomplete.size() - Named);
    return text;
}

QString generationText(const store::Generation &g)
{
    return QStringLiteral("%1 の世代（%2 件の項目）")
        .arg(g.time.toString(QStringLiteral("yyyy/MM/dd HH:mm:ss")))
        .arg(g.entries);
}

} // namespace

frmRecover::frmRecover(const store::DamagedDictionary &damaged, const Services &services, QWidget *parent)
    : QDialog(parent)
    , m_damaged(damaged)
    , m_services(services)
{
    setObjectName(QStringLiteral("frmRecover"));
    setWindowTitle(QStringLiteral("Quillmere - 辞書の修復"));
    buildControls();
    admin::addHelpMenu(this, QStringLiteral("mnuHelp"), [this] {
        if (m_services.help)
            m_services.help(QStringLiteral("Backup.htm#Recovery"));
    });
    findGoodGeneration();
    connect(cmdRestore, &QPushButton::clicked, this, &frmRecover::restore);
    connect(cmdSalvage, &QPushButton::clicked, this, &frmRecover::salvage);
    connect(cmdClose, &QPushButton::clicked, this, &frmRecover::reject);
}

QString frmRecover::salvageName(const QString &damaged)
{
    const QFileInfo info(damaged);
    const QDir dir = info.absoluteDir();
    const QString base = info.completeBaseName() + QStringLiteral("-救出");
    QString name = dir.filePath(base + QStringLiteral(".dic"));
    // A salvage made before keeps its name.
    for (int n = 2; QFileInfo::exists(name); ++n)
        name = dir.filePath(QStringLiteral("%1%2.dic").arg(base).arg(n));
    return name;
}

void frmRecover::buildControls()
{
    auto *layout = new QVBoxLayout(this);
    lblMessage = new QLabel(QStringLiteral("辞書 %1 は壊れているため使えません。\n理由: %2")
                                .arg(shown(m_damaged.path), m_damaged.failure ? app::describeFailure(*m_damaged.failure) : QString()),
                            this);
    lblMessage->setObjectName(QStringLiteral("lblMessage"));
    lblMessage->setWordWrap(true);
    lblMessage->setTextInteractionFlags(Qt::TextSelectableByMouse);
    lblBackup = new QLabel(this);
    lblBackup->setObjectName(QStringLiteral("lblBackup"));
    lblBackup->setWordWrap(true);
    auto *hint = new QLabel(QStringLiteral("「読める部分を救出」は、壊れた辞書から読み出せる項目を新しい辞書ファイルに"
                                           "写します。壊れた辞書のファイルは変更しません。"),
                            this);
    hint->setObjectName(QStringLiteral("lblSalvageHint"));
    hint->setWordWrap(true);
    cmdRestore = new QPushButton(QStringLiteral("ﾊﾞｯｸｱｯﾌﾟから復元(&R)"), this);
    cmdRestore->setObjectName(QStringLiteral("cmdRestore"));
    cmdSalvage = new QPushButton(QStringLiteral("読める部分を救出(&S)..."), this);
    cmdSalvage->setObjectName(QStringLiteral("cmdSalvage"));
    cmdClose = new QPushButton(QStringLiteral("閉じる"), this);
    cmdClose->setObjectName(QStringLiteral("cmdClose"));
    cmdClose->setDefault(true);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(cmdRestore);
    buttons->addWidget(cmdSalvage);
    buttons->addStretch();
    buttons->addWidget(cmdClose);
    layout->addWidget(lblMessage);
    layout->addWidget(lblBackup);
    layout->addWidget(hint);
    layout->addLayout(buttons);
    setMinimumWidth(desktop::Twips::toPixels(7200));
    // The dialog keeps the size its texts need: nothing in it grows.
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void frmRecover::findGoodGeneration()
{
    {
        WaitCursor busy;
        const QString folder = store::backupFolderFor(m_services.backups.root, m_damaged.path);
        for (const store::Generation &g : store::listGenerations(folder)) {
            if (store::Dictionary::IsDictionaryFile(g.path)) {
                m_generation = g;
                break;
            }
        }
    }
    if (m_generation) {
        lblBackup->setText(QStringLiteral("「ﾊﾞｯｸｱｯﾌﾟから復元」は、%1に戻します。壊れたファイルはﾊﾞｯｸｱｯﾌﾟの"
                                          "フォルダーに残します。")
                               .arg(generationText(*m_generation)));
        cmdRestore->setDefault(true);
        return;
    }
    lblBackup->setText(QStringLiteral("この辞書には、戻せるﾊﾞｯｸｱｯﾌﾟがありません。"));
    cmdRestore->setEnabled(false);
}

int frmRecover::memberSlot() const
{
    const store::DictionarySet *set = m_services.database.sets().currentSet();
    const int slot = m_damaged.slot;
    if (!set || slot < 0 || slot >= set->count() || !store::isSameFile(set->fileName(slot), m_damaged.path))
        return -1;
    return slot;
}

void frmRecover::restore()
{
    if (!m_generation)
        return;
    store::DatabaseModule &database = m_services.database;
    try {
        WaitCursor busy;
        store::RestoreInProgram(database, m_generation->path, m_damaged.path, m_services.backups);
    } catch (const sqlite::Error &e) {
        m_services.prompter.inform(QStringLiteral("ﾊﾞｯｸｱｯﾌﾟから復元できませんでした。\n%1").arg(admin::failureReason(e)),
                                   {}, Prompter::Icon::Warning);
        return;
    }
    if (const int slot = memberSlot(); slot >= 0)
        database.reopenSlot(slot, m_damaged.path);
    m_services.prompter.inform(QStringLiteral("辞書 %1 を%2から復元しました。")
                                   .arg(shown(m_damaged.path), generationText(*m_generation)));
    accept();
}

void frmRecover::salvage()
{
    const std::optional<QString> chosen = m_services.files.saveFile(
        {QStringLiteral("救出した辞書の保存先"), QStringLiteral("辞書ファイル (*.dic)"), salvageName(m_damaged.path)});
    if (!chosen || chosen->isEmpty())
        return;
    // The store refuses a name that leads to a dictionary, a set's member, the damaged file, a
    // device or a folder; another file is replaced (the file dialog has asked).
    const QString target = QFileInfo(*chosen).absoluteFilePath();
    const std::optional<store::SalvageReport> report = runSalvage(target);
    if (!report)
        return;
    m_services.prompter.inform(
        QStringLiteral("%1 件の項目を救出しました。読めなかった項目: %2 件\n%3"
                       "キーワード: %4 件を救出、読めなかったもの %5 件\n\n救出した辞書: %6")
            // One pass: a heading in the list may hold "%1" itself.
            .arg(QString::number(report->entriesSaved), QString::number(report->entriesLost), incompleteText(*report),
                 QString::number(report->keywordsSaved), QString::number(report->keywordsLost), shown(target)));
    offerReplacement(target);
    accept();
}

std::optional<store::SalvageReport> frmRecover::runSalvage(const QString &target)
{
    setEnabled(false);
    try {
        desktop::ProgressWindow progress(QStringLiteral("辞書の読める部分を救出しています..."), true);
        const store::SalvageReport report = store::SalvageDictionary(
            m_damaged.path, target, [&progress](qint64 done, qint64 total) { return progress.update(done, total); },
            store::setMembersOf(m_services.database.sets().table()), app::incompleteMark());
        setEnabled(true);
        return report;
    } catch (const sqlite::Error &e) {
        setEnabled(true);
        if (e.kind() == sqlite::Error::Kind::Cancelled)
            m_services.prompter.inform(QStringLiteral("救出を中止しました。新しいファイルは作成していません。"));
        else
            m_services.prompter.inform(QStringLiteral("救出できませんでした。\n%1").arg(admin::failureReason(e)), {},
                                       Prompter::Icon::Warning);
        return std::nullopt;
    }
}

void frmRecover::offerReplacement(const QString &salvaged)
{
    const int slot = memberSlot();
    if (slot < 0)
        return;
    if (!m_services.prompter.confirm(QStringLiteral("救出した辞書を、壊れた辞書の代わりに辞書セットに入れますか？\n"
                                                    "（壊れた辞書のファイルはそのまま残ります）")))
        return;
    store::DatabaseModule &database = m_services.database;
    store::SetList &sets = database.sets();
    QStringList files = sets.currentSet()->fileNames();
    files[slot] = salvaged;
    sets.replace(sets.current(), store::DictionarySet(sets.currentSet()->name(), files));
    database.CommitDictionarySets();
    database.reopenSlot(slot, salvaged);
}

} // namespace qm::app
