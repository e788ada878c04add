#include "frmimport.h"

#include "adminparts.h"
#include "wordlistpanel.h"

#include "app/common/exchangemessages.h"
#include "app/exchange/exchangeerror.h"
#include "app/exchange/importer.h"
#include "app/store/sets/databasemodule.h"
#include "app/store/dictionary/dictionary.h"
#include "app/common/storemessages.h"
#include "app/store/care/writetarget.h"
#include "platform/desktop/filechooser.h"
#include "platform/desktop/prompter.h"
#include "platform/sqlite/error.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QFormLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include <optional>

namespace qm::app {

namespace {

constexpr int NewFile = -1;

QString shown(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

void removeDictionaryFile(const QString &path)
{
    QFile::remove(path);
    QFile::remove(path + QStringLiteral("-journal"));
}

} // namespace

bool frmImport::isWordList(const QString &path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    return suffix == QLatin1String("csv") || suffix == QLatin1String("tsv") || suffix == QLatin1String("txt");
}

frmImport::frmImport(store::DatabaseModule &database, QString path, ExchangeServices services, QWidget *parent)
    : QDialog(parent)
    , m_database(database)
    , m_path(std::move(path))
    , m_services(std::move(services))
    , m_file(m_path)
{
    setObjectName(QStringLiteral("frmImport"));
    setWindowTitle(isWordList(m_path) ? QStringLiteral("単語一覧のｲﾝﾎﾟｰﾄ") : QStringLiteral("ｲﾝﾎﾟｰﾄ"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    // A file that cannot be read leaves the panel without rows; the import then names the problem.
    m_file.open(QIODevice::ReadOnly);
    buildControls();
    admin::addHelpMenu(this, QStringLiteral("mnuHelp"), [this] {
        if (m_services.help)
            m_services.help(wordList ? QStringLiteral("Exchange.htm#WordList") : QStringLiteral("Exchange.htm#Import"));
    });
}

void frmImport::buildControls()
{
    lblFile = new QLabel(shown(m_path), this);
    lblFile->setObjectName(QStringLiteral("lblFile"));
    lblFile->setTextInteractionFlags(Qt::TextSelectableByMouse);
    cboTarget = new QComboBox(this);
    cboTarget->setObjectName(QStringLiteral("cboTarget"));
    fillDictionaries(cboTarget, m_database, true);
    cboTarget->addItem(QStringLiteral("新しい辞書ファイル..."), NewFile);
    lblNewFileNote = new QLabel(
        QStringLiteral("新しい辞書ファイルを作って取り込みます。\n作った辞書は辞書セットに加えません。\n"
                       "使うときは辞書セットの設定で加えてください。"),
        this);
    lblNewFileNote->setObjectName(QStringLiteral("lblNewFileNote"));
    const auto showNote = [this] { lblNewFileNote->setVisible(cboTarget->currentData().toInt() == NewFile); };
    connect(cboTarget, &QComboBox::currentIndexChanged, this, showNote);
    showNote();
    cboUnencodable = new QComboBox(this);
    cboUnencodable->setObjectName(QStringLiteral("cboUnencodable"));
    cboUnencodable->addItem(QStringLiteral("リッチテキスト"), int(exchange::TextFallback::RichText));
    cboUnencodable->addItem(QStringLiteral("HTML"), int(exchange::TextFallback::Html));

    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("ファイル:"), lblFile);
    form->addRow(QStringLiteral("取り込み先(&T):"), cboTarget);
    form->addRow(QString(), lblNewFileNote);
    form->addRow(QStringLiteral("CP932 で表せない文字がある本文の保存形式(&U):"), cboUnencodable);

    auto *buttons = new QDialogButtonBox(this);
    cmdOK = buttons->addButton(QStringLiteral("取り込み(&I)"), QDialogButtonBox::AcceptRole);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdCancel = buttons->addButton(QStringLiteral("ｷｬﾝｾﾙ"), QDialogButtonBox::RejectRole);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    cmdOK->setDefault(true);
    connect(cmdOK, &QPushButton::clicked, this, &frmImport::importChosen);
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);

    auto *layout = new QVBoxLayout(this);
    // The dialog grows when the note about a new file is shown.
    layout->setSizeConstraint(QLayout::SetMinimumSize);
    layout->addLayout(form);
    if (isWordList(m_path)) {
        wordList = new WordListPanel(m_file, QFileInfo(m_path).suffix(), this);
        layout->addWidget(wordList, 1);
        resize(720, 600);
    }
    layout->addWidget(buttons);
    cboTarget->setFocus();
}

void frmImport::importChosen()
{
    if (!m_file.isOpen()) {
        reportFailure(QStringLiteral("%1 を読めません: %2").arg(shown(m_path), m_file.errorString()));
        return;
    }
    const int slot = cboTarget->currentData().toInt();
    exchange::ImportTally tally;
    if (slot != NewFile) {
        store::DictionaryStorage *dictionary = m_database.storage(slot);
        if (!dictionary || !run(*dictionary, tally))
            return;
        m_services.prompter.inform(importReport(tally, QStringLiteral("辞書 %1 ").arg(cboTarget->currentText())));
        accept();
        return;
    }
    const QString created = makeNewDictionary();
    if (created.isEmpty())
        return;
    bool ok = false;
    try {
        store::Dictionary dictionary(created, {false, {}, m_database.richTextReader()});
        ok = run(dictionary, tally);
    } catch (const sqlite::Error &e) {
        reportFailure(app::describeFailure(e));
    }
    if (!ok) {
        // The file did not exist before: an empty dictionary is not what the user asked for.
        removeDictionaryFile(created);
        return;
    }
    m_services.prompter.inform(importReport(tally, QStringLiteral("新しい辞書ファイル %1 ").arg(shown(created)))
                               + QStringLiteral("\nこの辞書は辞書セットに加えていません。使うときは辞書セットの設定で加えてください。"));
    accept();
}

QString frmImport::makeNewDictionary()
{
    const std::optional<QString> chosen = m_services.files.saveFile(
        {QStringLiteral("新しい辞書ファイル"), QStringLiteral("辞書ファイル (*.dic)"),
         QFileInfo(m_path).completeBaseName() + QStringLiteral(".dic")});
    if (!chosen || chosen->isEmpty())
        return {};
    const QString named = withSuffix(*chosen, {QStringLiteral("dic")});
    if (QFileInfo::exists(named)) {
        m_services.prompter.inform(QStringLiteral("%1 はすでにあります。別の名前を指定してください。").arg(shown(named)), {},
                                   desktop::Prompter::Icon::Warning);
        return {};
    }
    // The new dictionary is made at the real file behind a link, never where links go round.
    const store::ResolvedTarget target = store::resolveWriteTarget(named, {{m_path}, {}});
    if (!target.isWritable()) {
        reportFailure(app::describeTargetRefusal(target));
        return {};
    }
    const QString path = target.path;
    try {
        exchange::jsonl::DictionaryDescription description{QFileInfo(path).completeBaseName()};
        if (!wordList)
            description = exchange::readJsonHeader(m_file);
        exchange::jsonl::createDictionary(path, description);
        return path;
    } catch (const exchange::ExchangeError &e) {
        reportFailure(exchangeMessage(e));
    } catch (const sqlite::Error &e) {
        reportFailure(app::describeFailure(e));
    }
    removeDictionaryFile(path);
    return {};
}

exchange::TextFallback frmImport::textFallback() const
{
    return exchange::TextFallback(cboUnencodable->currentData().toInt());
}

exchange::ImportTally frmImport::importInto(store::DictionaryStorage &dictionary, const store::Progress &progress)
{
    m_file.seek(0);
    exchange::ImportTally tally;
    if (wordList) {
        exchange::wordlist::Options options = wordList->options();
        options.progress = progress;
        options.limits.textFallback = textFallback();
        exchange::wordlist::importWordList(m_file, dictionary, options, &tally);
        return tally;
    }
    exchange::JsonImportOptions options;
    options.progress = progress;
    options.limits.textFallback = textFallback();
    exchange::importJsonLines(m_file, dictionary, options, &tally);
    return tally;
}

bool frmImport::run(store::DictionaryStorage &dictionary, exchange::ImportTally &tally)
{
    const QString label = QStringLiteral("%1 を取り込んでいます...").arg(QFileInfo(m_path).fileName());
    const store::Progress progress = m_services.progress ? m_services.progress(label) : progressWindow(label, false);
    try {
        tally = importInto(dictionary, progress);
        return true;
    } catch (const exchange::ExchangeError &e) {
        reportFailure(exchangeMessage(e));
    } catch (const sqlite::Error &e) {
        reportFailure(app::describeFailure(e));
    }
    return false;
}

void frmImport::reportFailure(const QString &reason)
{
    m_services.prompter.inform(QStringLiteral("%1\n辞書は変更していません。").arg(reason), {}, desktop::Prompter::Icon::Warning);
}

} // namespace qm::app
