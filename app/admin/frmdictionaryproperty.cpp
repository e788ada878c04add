#include "frmdictionaryproperty.h"

#include "app/common/waitcursor.h"
#include "app/store/care/compaction.h"
#include "app/store/dictionary/dictionary.h"
#include "app/store/server/servercare.h"
#include "app/store/server/serverdictionary.h"
#include "platform/desktop/progresswindow.h"
#include "platform/desktop/prompter.h"
#include "platform/postgres/connection.h"
#include "platform/postgres/error.h"
#include "platform/postgres/location.h"
#include "platform/rtf/rtf.h"
#include "platform/sqlite/error.h"

#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QScopedValueRollback>

namespace qm::app {

using admin::place;
using desktop::Prompter;

frmDictionaryProperty::frmDictionaryProperty(Prompter &prompter, HelpHandler help, QWidget *parent)
    : QDialog(parent)
    , m_prompter(prompter)
    , m_help(std::move(help))
{
    setObjectName(QStringLiteral("frmDictionaryProperty"));
    setWindowTitle(QStringLiteral("Quillmere - 辞書情報"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    m_client = admin::fixedClient(this, 5535, 3075);
    buildControls(m_client);
    buildButtons(m_client);
    admin::addHelpMenu(this, QStringLiteral("mnuHelp"), [this] {
        if (m_help)
            m_help(QStringLiteral("DicSets.htm#DicProperty"));
    });
}

frmDictionaryProperty::~frmDictionaryProperty()
{
    if (m_serverCompaction)
        m_serverCompaction->wait();
}

void frmDictionaryProperty::buildControls(QWidget *client)
{
    txtFileName = place(new QLineEdit(client), QStringLiteral("txtFileName"), 1080, 120, 4335, 270);
    admin::setLocked(txtFileName, true);
    // The path can be selected and copied, but Tab and the opening focus go to the name.
    txtFileName->setFocusPolicy(Qt::ClickFocus);
    txtDicName = place(new QLineEdit(client), QStringLiteral("txtDicName"), 1080, 480, 4335, 270);
    txtAuthor = place(new QLineEdit(client), QStringLiteral("txtAuthor"), 1080, 840, 4335, 270);
    txtComment = place(admin::commentBox(client), QStringLiteral("txtComment"), 1080, 1200, 4335, 1215);
    admin::label(client, QStringLiteral("lblFileName"), QStringLiteral("ﾌｧｲﾙ名"), txtFileName, 120, 150, 915);
    admin::label(client, QStringLiteral("lblDicName"), QStringLiteral("辞書名(&N)"), txtDicName, 120, 510, 915);
    admin::label(client, QStringLiteral("lblAuthor"), QStringLiteral("作成者(&A)"), txtAuthor, 120, 870, 915);
    admin::label(client, QStringLiteral("lblComment"), QStringLiteral("ｺﾒﾝﾄ(&C)"), txtComment, 120, 1230, 915);
}

void frmDictionaryProperty::buildButtons(QWidget *client)
{
    cmdCompactDictionary = place(new QPushButton(QStringLiteral("辞書の最適化(&O)"), client),
                                 QStringLiteral("cmdCompactDictionary"), 120, 2580, 1695, 375);
    cmdCompactDictionary->setAutoDefault(false);
    cmdOK = place(new QPushButton(QStringLiteral("ＯＫ"), client), QStringLiteral("cmdOK"), 2880, 2580, 1215, 375);
    cmdOK->setDefault(true);
    cmdCancel = place(new QPushButton(QStringLiteral("キャンセル"), client), QStringLiteral("cmdCancel"), 4200,
                      2580, 1215, 375);
    cmdCancel->setAutoDefault(false);
    updateButtons();
    connect(txtDicName, &QLineEdit::textChanged, this, &frmDictionaryProperty::updateButtons);
    connect(cmdCompactDictionary, &QPushButton::clicked, this, &frmDictionaryProperty::compactDictionary);
    connect(cmdOK, &QPushButton::clicked, this, &frmDictionaryProperty::storeDescription);
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
}

bool frmDictionaryProperty::SetDicFileName(const QString &strFileName)
{
    txtFileName->setText(strFileName);
    txtFileName->setCursorPosition(0);
    if (!openDictionary(strFileName))
        return false;
    try {
        showDescription(m_dictionary->description());
    } catch (const sqlite::Error &e) {
        m_dictionary.reset();
        updateButtons();
        m_prompter.inform(QStringLiteral("辞書 %1 の情報を読めませんでした（%2）")
                              .arg(QDir::toNativeSeparators(strFileName), admin::failureReason(e)),
                          {}, Prompter::Icon::Warning);
        return false;
    }
    return true;
}

bool frmDictionaryProperty::openDictionary(const QString &path)
{
    try {
        // A dictionary whose search keys were made by another version gets them anew.
        desktop::ProgressWindow refolding(QStringLiteral("辞書の検索用データを更新しています..."), false);
        if (store::isServerLocation(path)) {
            store::ServerOptions options;
            options.richText = &rtf::rtfToPlainText;
            // Kept for the compaction's own connection while the window is open, in memory only.
            options.password = [this, typed = m_typedPassword](const QString &location) {
                *typed = m_prompter.askPassword(
                    QStringLiteral("サーバーの辞書に接続するパスワードを入力してください。\n%1").arg(location));
                return *typed;
            };
            m_dictionary = store::openServerDictionary(path, options);
        } else {
            store::Dictionary::Options options;
            options.progress = [&refolding](qint64 done, qint64 total) { return refolding.update(done, total); };
            options.richText = &rtf::rtfToPlainText;
            m_dictionary = std::make_unique<store::Dictionary>(path, options);
        }
    } catch (const sqlite::Error &e) {
        m_dictionary.reset();
        m_prompter.inform(QStringLiteral("辞書 %1 を開けませんでした（%2）")
                              .arg(QDir::toNativeSeparators(path), admin::failureReason(e)),
                          {}, Prompter::Icon::Warning);
    }
    updateButtons();
    return m_dictionary != nullptr;
}

void frmDictionaryProperty::showDescription(const store::DictionaryDescription &description)
{
    txtDicName->setText(description.name);
    txtAuthor->setText(description.author);
    txtComment->setPlainText(description.comment);
    admin::setLocked(txtDicName, description.locks[0]);
    admin::setLocked(txtAuthor, description.locks[1]);
    admin::setLocked(txtComment, description.locks[2]);
}

void frmDictionaryProperty::updateButtons()
{
    cmdOK->setEnabled(m_dictionary && !txtDicName->text().isEmpty());
    cmdCompactDictionary->setEnabled(m_dictionary != nullptr);
}

void frmDictionaryProperty::storeDescription()
{
    if (!m_dictionary)
        return;
    try {
        m_dictionary->setDescription({txtDicName->text(), txtAuthor->text(), txtComment->toPlainText(), {}});
    } catch (const sqlite::Error &e) {
        m_prompter.inform(QStringLiteral("辞書の情報を保存できませんでした\n%1").arg(admin::failureReason(e)), {},
                          Prompter::Icon::Warning);
        return;
    }
    accept();
}

void frmDictionaryProperty::compactDictionary()
{
    const QString path = txtFileName->text();
    if (store::isServerLocation(path)) {
        compactServerDictionary(path);
        return;
    }
    // The file is compacted closed; the store keeps it under its name until the new one is whole.
    m_dictionary.reset();
    store::CompactionSizes sizes;
    const std::optional<sqlite::Error> failure = runCompaction(path, sizes);
    if (!failure) {
        // The boxes show what the compacted file holds; changes not stored are gone.
        if (SetDicFileName(path))
            reportCompactionDone(path, sizes);
        return;
    }
    if (failure->kind() != sqlite::Error::Kind::Cancelled)
        reportCompactionFailure(path, admin::failureReason(*failure));
    // What the user typed stays in the boxes; the dictionary is held open again.
    openDictionary(path);
}

std::optional<sqlite::Error> frmDictionaryProperty::runCompaction(const QString &path, store::CompactionSizes &sizes)
{
    // The progress window lets events through; the dialog takes none of them meanwhile.
    const QScopedValueRollback compacting(m_compacting, true);
    m_client->setEnabled(false);
    const auto enableAgain = qScopeGuard([this] { m_client->setEnabled(true); });
    try {
        WaitCursor busy;
        desktop::ProgressWindow progress(QStringLiteral("辞書を最適化しています..."), true);
        sizes = store::CompactDictionary(path, [&progress](qint64 done, qint64 total) { return progress.update(done, total); },
                                         &rtf::rtfToPlainText);
    } catch (const sqlite::Error &e) {
        return e;
    }
    return std::nullopt;
}

void frmDictionaryProperty::reportCompactionDone(const QString &path, const store::CompactionSizes &sizes)
{
    const QLocale locale(QLocale::Japanese, QLocale::Japan);
    m_prompter.inform(QStringLiteral("辞書 %1 の最適化が終わりました。\n最適化前: %2 バイト\n最適化後: %3 バイト\n"
                                     "最適化前の辞書は %4 として残してあります")
                          .arg(QDir::toNativeSeparators(path), locale.toString(sizes.before), locale.toString(sizes.after),
                               QDir::toNativeSeparators(sizes.backup)),
                      {}, Prompter::Icon::Information);
}

void frmDictionaryProperty::reportCompactionFailure(const QString &path, const QString &reason)
{
    QString text = QStringLiteral("辞書 %1 を最適化できませんでした\n%2").arg(QDir::toNativeSeparators(path), reason);
    if (QFileInfo::exists(path))
        text += QStringLiteral("\n元の辞書はそのまま使えます");
    m_prompter.inform(text, {}, Prompter::Icon::Warning);
}

namespace {

// "「name」(サーバー host)" for messages; the location without its password when it cannot be read.
QString serverName(const QString &location)
{
    try {
        const pg::Location parsed = pg::parseLocation(location);
        return QStringLiteral("「%1」(サーバー %2)").arg(parsed.dictionary, pg::connectionHost(parsed.connection));
    } catch (const pg::Error &) {
        return store::shownServerLocation(location);
    }
}

} // namespace

void frmDictionaryProperty::compactServerDictionary(const QString &location)
{
    if (m_serverCompaction)
        return;
    m_compacting = true;
    m_client->setEnabled(false);
    setCursor(Qt::BusyCursor);
    m_serverOutcome.clear();
    m_serverFailed = false;
    const QString shown = serverName(location);
    store::ServerOptions options;
    options.password = [typed = m_typedPassword](const QString &) { return *typed; };
    m_serverCompaction.reset(QThread::create([this, location, shown, options] {
        try {
            const store::ServerCompaction sizes = store::compactServerDictionary(location, options);
            const QLocale locale(QLocale::Japanese, QLocale::Japan);
            // The server does not give the room back to the disk: it reuses it for later rows.
            m_serverOutcome = QStringLiteral("サーバーの辞書 %1 の最適化が終わりました。\n"
                                             "削除や更新で空いた場所を再び使えるようにし、検索のための統計を新しくしました。\n"
                                             "辞書の大きさ: %2 バイト")
                                  .arg(shown, locale.toString(sizes.bytesAfter));
        } catch (const sqlite::Error &e) {
            m_serverFailed = true;
            m_serverOutcome = QStringLiteral("サーバーの辞書 %1 を最適化できませんでした\n%2\n辞書はそのまま使えます")
                                  .arg(shown, admin::failureReason(e));
        }
    }));
    connect(m_serverCompaction.get(), &QThread::finished, this, &frmDictionaryProperty::serverCompactionFinished);
    m_serverCompaction->start();
}

void frmDictionaryProperty::serverCompactionFinished()
{
    if (!m_serverCompaction)
        return;
    m_serverCompaction->wait();
    m_serverCompaction.reset();
    m_compacting = false;
    m_client->setEnabled(true);
    unsetCursor();
    m_prompter.inform(m_serverOutcome, {}, m_serverFailed ? Prompter::Icon::Warning : Prompter::Icon::Information);
}

void frmDictionaryProperty::done(int result)
{
    if (m_compacting)
        return;
    m_dictionary.reset();
    QDialog::done(result);
}

} // namespace qm::app
