#include "frmbackups.h"

#include "adminparts.h"
#include "backupparts.h"
#include "frmbackupentries.h"

#include "app/common/exchangemessages.h"
#include "app/common/storemessages.h"
#include "app/exchange/serverbackup.h"
#include "app/common/waitcursor.h"
#include "app/common/windowsettings.h"
#include "app/store/care/backup.h"
#include "app/store/sets/databasemodule.h"
#include "app/store/dictionary/dictionaryinfo.h"
#include "app/store/care/generationview.h"
#include "app/store/settings.h"
#include "platform/desktop/prompter.h"
#include "platform/postgres/connection.h"
#include "platform/postgres/error.h"
#include "platform/postgres/location.h"
#include "platform/sqlite/error.h"

#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSplitter>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace qm::app {

namespace {

// The dictionary's name and the server's host of a server member; empty when it cannot be read.
std::pair<QString, QString> serverParts(const QString &location)
{
    try {
        const pg::Location parsed = pg::parseLocation(location);
        return {parsed.dictionary, pg::connectionHost(parsed.connection)};
    } catch (const pg::Error &) {
        return {};
    }
}

QString fileLabel(const store::BackedUpFile &file)
{
    if (file.isServer) {
        const auto [dictionary, host] = serverParts(file.path);
        return QStringLiteral("「%1」(サーバー %2) - %3").arg(dictionary, host, file.setName);
    }
    const QString fileName = QFileInfo(file.path).fileName();
    if (file.isSetFile)
        return QStringLiteral("辞書セットのファイル (%1)").arg(fileName);
    if (!QFileInfo(file.path).isFile())
        return QStringLiteral("%1 (見つかりません) - %2").arg(fileName, file.setName);
    QString name;
    try {
        name = store::summarizeDictionary(file.path).name;
    } catch (const sqlite::Error &) {
        name = QFileInfo(file.path).completeBaseName();
    }
    return QStringLiteral("%1 (%2) - %3").arg(name, fileName, file.setName);
}

QString currentLine(const store::BackedUpFile &file)
{
    // A server is not asked while the list is shown: that could wait for a timeout.
    if (file.isServer) {
        const auto [dictionary, host] = serverParts(file.path);
        return QStringLiteral("サーバー %1 の辞書「%2」").arg(host, dictionary);
    }
    const QFileInfo info(file.path);
    if (!info.isFile())
        return QStringLiteral("現在のファイルは見つかりません: %1").arg(QDir::toNativeSeparators(file.path));
    QString line = QStringLiteral("現在のファイル: %1").arg(formatFileSize(info.size()));
    if (!file.isSetFile) {
        const std::optional<qint64> entries = store::countEntries(file.path);
        line += entries ? QStringLiteral("、%1 件").arg(*entries) : QStringLiteral("、件数を読めません");
    }
    return line;
}

bool isOpenInSet(store::DatabaseModule &database, const QString &path)
{
    if (store::isServerLocation(path)) {
        for (int slot = 0; slot < store::MaxDictionariesPerSet; ++slot)
            if (const store::DictionaryStorage *d = database.storage(slot); d && d->location() == path)
                return true;
        return false;
    }
    const QString target = QFileInfo(path).absoluteFilePath();
    for (int slot = 0; slot < store::MaxDictionariesPerSet; ++slot)
        if (const store::DictionaryStorage *d = database.storage(slot))
            if (QFileInfo(d->location()).absoluteFilePath() == target)
                return true;
    return false;
}

} // namespace

frmBackups::frmBackups(store::DatabaseModule &database, store::Settings &settings, desktop::Prompter &prompter,
                       QWidget *parent)
    : QDialog(parent)
    , m_database(database)
    , m_settings(settings)
    , m_prompter(prompter)
    , m_options(store::readBackupOptions(settings))
{
    setObjectName(QStringLiteral("frmBackups"));
    setWindowTitle(QStringLiteral("Quillmere - バックアップと復元"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setModal(true);
    buildControls();
    admin::addHelpMenu(this, QStringLiteral("mnuHelp"), [this] {
        if (m_help)
            m_help(QStringLiteral("Backup.htm#Restore"));
    });
    fillFiles();
    restoreWindow(*this, m_settings, store::keys::BackupWindow::Placement);
}

frmBackups::~frmBackups()
{
    if (m_backup)
        m_backup->wait();
}

void frmBackups::buildControls()
{
    lstFiles = named(new QListWidget(this), "lstFiles");
    lstFiles->setAccessibleName(QStringLiteral("バックアップするファイル"));
    connect(lstFiles, &QListWidget::currentRowChanged, this, &frmBackups::showGenerations);

    auto *right = new QWidget(this);
    lblCurrent = named(new QLabel(right), "lblCurrent");
    lstGenerations = named(new QTreeWidget(right), "lstGenerations");
    lstGenerations->setHeaderLabels({QStringLiteral("日時"), QStringLiteral("サイズ"), QStringLiteral("件数")});
    lstGenerations->setRootIsDecorated(false);
    lstGenerations->setUniformRowHeights(true);
    lstGenerations->setAccessibleName(QStringLiteral("バックアップの世代"));
    lstGenerations->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    lstGenerations->header()->setStretchLastSection(false);
    connect(lstGenerations, &QTreeWidget::currentItemChanged, this, &frmBackups::updateButtons);
    lblNoBackup = named(new QLabel(QStringLiteral("このファイルはまだバックアップされていません。"), right), "lblNoBackup");

    cmdBackupNow = named(new QPushButton(QStringLiteral("今すぐﾊﾞｯｸｱｯﾌﾟ(&B)"), right), "cmdBackupNow");
    cmdRestore = named(new QPushButton(QStringLiteral("復元(&R)..."), right), "cmdRestore");
    cmdOpen = named(new QPushButton(QStringLiteral("開く(&O)..."), right), "cmdOpen");
    cmdClose = named(new QPushButton(QStringLiteral("閉じる"), this), "cmdClose");
    // Enter closes the window: a restore or a backup is only started on purpose.
    for (QPushButton *button : {cmdBackupNow, cmdRestore, cmdOpen})
        button->setAutoDefault(false);
    cmdClose->setDefault(true);
    connect(cmdBackupNow, &QPushButton::clicked, this, &frmBackups::backUpNow);
    connect(cmdRestore, &QPushButton::clicked, this, &frmBackups::restoreChosen);
    connect(cmdOpen, &QPushButton::clicked, this, &frmBackups::openChosen);
    connect(cmdClose, &QPushButton::clicked, this, &QDialog::accept);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(cmdBackupNow);
    buttons->addWidget(cmdRestore);
    buttons->addWidget(cmdOpen);
    buttons->addStretch();
    auto *rightLayout = new QVBoxLayout(right);
    rightLayout->setContentsMargins(0, 0, 0, 0);
    rightLayout->addWidget(lblCurrent);
    rightLayout->addWidget(lstGenerations, 1);
    rightLayout->addWidget(lblNoBackup);
    rightLayout->addLayout(buttons);

    auto *splitter = named(new QSplitter(this), "splFiles");
    splitter->addWidget(lstFiles);
    splitter->addWidget(right);
    splitter->setStretchFactor(1, 1);
    splitter->setChildrenCollapsible(false);
    auto *bottom = new QHBoxLayout;
    bottom->addStretch();
    bottom->addWidget(cmdClose);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(splitter, 1);
    layout->addLayout(bottom);
    setMinimumSize(560, 320);
}

void frmBackups::fillFiles()
{
    m_files = store::backedUpFiles(m_database.setFilePath());
    const QSignalBlocker quiet(lstFiles);
    lstFiles->clear();
    for (const store::BackedUpFile &file : m_files) {
        auto *item = new QListWidgetItem(fileLabel(file), lstFiles);
        item->setToolTip(QDir::toNativeSeparators(file.path));
    }
    lstFiles->setCurrentRow(m_files.size() > 1 ? 1 : 0);
    showGenerations();
}

const store::BackedUpFile *frmBackups::chosenFile() const
{
    const int row = lstFiles->currentRow();
    return row >= 0 && row < m_files.size() ? &m_files[row] : nullptr;
}

store::Generation frmBackups::chosenGeneration() const
{
    const int row = lstGenerations->indexOfTopLevelItem(lstGenerations->currentItem());
    return row >= 0 && row < m_generations.size() ? m_generations[row] : store::Generation{};
}

void frmBackups::showGenerations()
{
    lstGenerations->clear();
    m_generations.clear();
    const store::BackedUpFile *file = chosenFile();
    if (file) {
        m_generations = store::listGenerations(file->backupFolder(m_options.root));
        lblCurrent->setText(currentLine(*file));
        // A server's whole location is long: the tip holds it.
        lblCurrent->setToolTip(file->isServer ? store::shownServerLocation(file->path) : QString());
    }
    for (const store::Generation &g : m_generations) {
        auto *item = new QTreeWidgetItem(lstGenerations);
        item->setText(0, g.beforeRestore ? QStringLiteral("%1 (復元前の内容)").arg(formatGenerationTime(g.time))
                                         : formatGenerationTime(g.time));
        item->setText(1, formatFileSize(g.size));
        item->setText(2, file->isSetFile ? QString() : QStringLiteral("%1 件").arg(g.entries));
        item->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
        item->setTextAlignment(2, Qt::AlignRight | Qt::AlignVCenter);
    }
    if (lstGenerations->topLevelItemCount() > 0)
        lstGenerations->setCurrentItem(lstGenerations->topLevelItem(0));
    lblNoBackup->setVisible(file && m_generations.isEmpty());
    lstGenerations->resizeColumnToContents(1);
    lstGenerations->resizeColumnToContents(2);
    updateButtons();
}

void frmBackups::updateButtons()
{
    const store::BackedUpFile *file = chosenFile();
    const bool generation = !chosenGeneration().path.isEmpty();
    // While a backup runs, the window only shows: nothing else may start and it does not close.
    const bool idle = !backingUp();
    cmdBackupNow->setEnabled(idle && file && (file->isServer || QFileInfo(file->path).isFile()));
    cmdRestore->setEnabled(idle && generation);
    // A server dictionary's generation is an export, not a dictionary file to look into.
    cmdOpen->setEnabled(idle && generation && !file->isSetFile && !file->isServer);
    lstFiles->setEnabled(idle);
    cmdClose->setEnabled(idle);
}

void frmBackups::backUpNow()
{
    const store::BackedUpFile *file = chosenFile();
    if (!file || backingUp())
        return;
    m_backupFailure.clear();
    m_backup.reset(QThread::create([this, file = *file, options = m_options,
                                    passwords = m_database.openSet().rememberedPasswords()] {
        store::lowerBackupThreadPriority();
        try {
            if (file.isServer)
                exchange::backUpServerDictionary(file.path, options, false, passwords);
            else if (file.isSetFile)
                store::BackupPlainFile(file.path, options.root, options.policy, QDateTime::currentDateTime(),
                                       &store::setFileProblem);
            else
                store::BackupDictionary(file.path, options.root, options.policy);
        } catch (const sqlite::Error &e) {
            m_backupFailure = admin::failureReason(e) + QStringLiteral("\nバックアップは作成していません。");
            if (const QString remedy = app::describeBackupRemedy(store::backupRemedy(e)); !remedy.isEmpty())
                m_backupFailure += QLatin1Char('\n') + remedy;
        }
    }));
    connect(m_backup.get(), &QThread::finished, this, &frmBackups::backupFinished);
    setCursor(Qt::BusyCursor);
    m_backup->start();
    updateButtons();
}

void frmBackups::backupFinished()
{
    if (!m_backup)
        return;
    m_backup->wait();
    m_backup.reset();
    unsetCursor();
    showGenerations();
    if (!m_backupFailure.isEmpty())
        warn(m_backupFailure);
}

void frmBackups::restoreChosen()
{
    const store::BackedUpFile *chosen = chosenFile();
    const store::Generation generation = chosenGeneration();
    if (!chosen || generation.path.isEmpty())
        return;
    const store::BackedUpFile file = *chosen;
    if (file.isServer) {
        restoreServer(file, generation);
        return;
    }
    const QString what = file.isSetFile ? QStringLiteral("辞書セットのファイル %1") : QStringLiteral("辞書 %1");
    const QString named = what.arg(QDir::toNativeSeparators(file.path));
    const QString when = formatGenerationTime(generation.time);
    if (!m_prompter.confirm(QStringLiteral("%1 を %2 のバックアップの内容に戻しますか?\n"
                                           "今の内容はバックアップとして残します。")
                                .arg(named, when),
                            desktop::Prompter::Answer::No))
        return;
    const QString failure = restore(file, generation);
    showGenerations();
    if (!failure.isEmpty()) {
        warn(failure + QStringLiteral("\n%1 は元のままです。").arg(named));
        return;
    }
    const QString kept = m_generations.isEmpty() ? QString() : formatGenerationTime(m_generations.first().time);
    m_prompter.inform(QStringLiteral("%1 を %2 のバックアップの内容に戻しました。\n"
                                     "戻す前の内容は %3 のバックアップとして残してあります。"
                                     "それを復元すると元に戻せます。")
                          .arg(named, when, kept));
}

QString frmBackups::restore(const store::BackedUpFile &file, const store::Generation &generation)
{
    if (file.isSetFile)
        return restoreSetFile(generation);
    const bool open = isOpenInSet(m_database, file.path);
    try {
        const WaitCursor wait;
        store::RestoreInProgram(m_database, generation.path, file.path, m_options);
    } catch (const sqlite::Error &e) {
        return admin::failureReason(e);
    }
    m_changedOpenSet = m_changedOpenSet || open;
    return {};
}

QString frmBackups::restoreSetFile(const store::Generation &generation)
{
    try {
        const WaitCursor wait;
        store::RestoreSetFile(generation.path, m_database.setFilePath(), m_options);
    } catch (const sqlite::Error &e) {
        return admin::failureReason(e);
    }
    // The sets are read again from the restored file, and the set it names as current is opened.
    m_database.CloseDictionarySet();
    m_database.LoadDictionarySets();
    m_database.OpenDictionarySet();
    m_changedOpenSet = true;
    fillFiles();
    lstFiles->setCurrentRow(0);
    return {};
}

void frmBackups::restoreServer(const store::BackedUpFile &file, const store::Generation &generation)
{
    const QString dictionary = serverParts(file.path).first;
    const QString when = formatGenerationTime(generation.time);
    desktop::Prompter::Message question;
    question.text = QStringLiteral("サーバーの辞書「%1」の %2 のバックアップを復元します。\n\n"
                                   "[はい] サーバーの辞書をこの内容に戻します（今の内容はバックアップとして残します）\n"
                                   "[いいえ] 新しい辞書ファイルとして復元します（サーバーの辞書はそのままです）")
                        .arg(dictionary, when);
    question.buttons = desktop::Prompter::Buttons::YesNoCancel;
    question.defaultAnswer = desktop::Prompter::Answer::Cancel;
    question.icon = desktop::Prompter::Icon::Question;
    question.owner = this;
    const desktop::Prompter::Answer answer = m_prompter.ask(question);
    if (answer == desktop::Prompter::Answer::Cancel)
        return;
    const bool intoServer = answer == desktop::Prompter::Answer::Yes;
    QString failure;
    exchange::RestoredFile made;
    try {
        const WaitCursor wait;
        if (intoServer)
            exchange::restoreServerGeneration(generation.path, file.path, m_options,
                                              m_database.openSet().rememberedPasswords());
        else
            made = exchange::restoreGenerationToFile(generation.path, newFileFor(dictionary));
    } catch (const sqlite::Error &e) {
        failure = admin::failureReason(e);
    } catch (const exchange::ExchangeError &e) {
        failure = app::exchangeMessage(e);
    }
    showGenerations();
    if (!failure.isEmpty()) {
        warn(failure + (intoServer ? QStringLiteral("\nサーバーの辞書「%1」は元のままです。").arg(dictionary) : QString()));
        return;
    }
    if (intoServer) {
        m_changedOpenSet = m_changedOpenSet || isOpenInSet(m_database, file.path);
        m_prompter.inform(QStringLiteral("サーバーの辞書「%1」を %2 のバックアップの内容に戻しました。\n"
                                         "戻す前の内容はバックアップとして残してあります。それを復元すると元に戻せます。")
                              .arg(dictionary, when));
        return;
    }
    m_prompter.inform(QStringLiteral("サーバーの辞書「%1」の %2 のバックアップを、新しい辞書ファイル %3 に復元しました（%4 件）。\n"
                                     "辞書セットに加えると引けます。")
                          .arg(dictionary, when, QDir::toNativeSeparators(made.path))
                          .arg(made.entries));
}

QString frmBackups::newFileFor(const QString &dictionary) const
{
    // Beside the set file, named as the dictionary (without what a file name cannot hold).
    QString name = dictionary.left(64);
    for (QChar &c : name)
        if (c == QLatin1Char('/') || c == QLatin1Char('\\') || c.category() == QChar::Other_Control)
            c = QLatin1Char('_');
    if (name.isEmpty() || name.startsWith(QLatin1Char('.')))
        name.prepend(QStringLiteral("server"));
    return QFileInfo(m_database.setFilePath()).dir().filePath(name + QStringLiteral(".dic"));
}

void frmBackups::openChosen()
{
    const store::BackedUpFile *file = chosenFile();
    const store::Generation generation = chosenGeneration();
    if (!file || file->isSetFile || generation.path.isEmpty())
        return;
    std::unique_ptr<store::GenerationView> view;
    try {
        const WaitCursor wait;
        view = std::make_unique<store::GenerationView>(generation.path);
    } catch (const sqlite::Error &e) {
        warn(QStringLiteral("%1 のバックアップを開けません。\n%2")
                 .arg(formatGenerationTime(generation.time), admin::failureReason(e)));
        return;
    }
    const QString caption = QStringLiteral("%1 - %2 のバックアップ")
                                .arg(QFileInfo(file->path).fileName(), formatGenerationTime(generation.time));
    frmBackupEntries entries(*view, caption, m_database, m_prompter, this);
    entries.exec();
    showGenerations();
}

void frmBackups::warn(const QString &text)
{
    m_prompter.inform(text, {}, desktop::Prompter::Icon::Warning);
}

void frmBackups::done(int result)
{
    if (backingUp())
        return;
    saveWindow(*this, m_settings, store::keys::BackupWindow::Placement);
    QDialog::done(result);
}

} // namespace qm::app
