#include "frmexport.h"

#include "adminparts.h"

#include "app/common/exchangemessages.h"
#include "app/exchange/exchangeerror.h"
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
#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace qm::app {

namespace {

struct FormatRow {
    exchange::ExportFormat format;
    const char *caption;
    const char *suffix;
    const char *filter;
};

const FormatRow Formats[] = {
    {exchange::ExportFormat::JsonLines, "辞書の交換形式 (.jsonl)", "jsonl", "辞書の交換形式 (*.jsonl)"},
    {exchange::ExportFormat::Html, "HTML ページ (.html)", "html", "HTML ページ (*.html *.htm)"},
};

template <typename W>
W *named(W *widget, const char *name)
{
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

} // namespace

frmExport::frmExport(store::DatabaseModule &database, QList<exchange::EntryRef> rows, ExchangeServices services,
                     QWidget *parent)
    : QDialog(parent)
    , m_database(database)
    , m_rows(std::move(rows))
    , m_services(std::move(services))
{
    setObjectName(QStringLiteral("frmExport"));
    setWindowTitle(QStringLiteral("ｴｸｽﾎﾟｰﾄ"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    buildControls();
    admin::addHelpMenu(this, QStringLiteral("mnuHelp"), [this] {
        if (m_services.help)
            m_services.help(QStringLiteral("Exchange.htm#Export"));
    });
}

void frmExport::buildControls()
{
    auto *what = new QGroupBox(QStringLiteral("書き出す項目"), this);
    optDictionary = named(new QRadioButton(QStringLiteral("辞書(&D):"), what), "optDictionary");
    cboDictionary = named(new QComboBox(what), "cboDictionary");
    fillDictionaries(cboDictionary, m_database, false);
    optSet = named(new QRadioButton(QStringLiteral("辞書セット全体(&A)"), what), "optSet");
    const QString rowsCaption = m_rows.isEmpty() ? QStringLiteral("検索結果の行(&R)")
                                                 : QStringLiteral("検索結果の %1 行(&R)").arg(m_rows.size());
    optRows = named(new QRadioButton(rowsCaption, what), "optRows");
    optRows->setEnabled(!m_rows.isEmpty());
    optDictionary->setEnabled(cboDictionary->count() > 0);
    optSet->setEnabled(cboDictionary->count() > 0);
    (cboDictionary->count() > 0 ? optDictionary : optRows)->setChecked(true);
    connect(optDictionary, &QRadioButton::toggled, cboDictionary, &QWidget::setEnabled);
    cboDictionary->setEnabled(optDictionary->isChecked());
    auto *whatLayout = new QFormLayout(what);
    whatLayout->addRow(optDictionary, cboDictionary);
    whatLayout->addRow(optSet);
    whatLayout->addRow(optRows);

    cboFormat = named(new QComboBox(this), "cboFormat");
    for (const FormatRow &row : Formats)
        cboFormat->addItem(QString::fromUtf8(row.caption));
    auto *formatLayout = new QFormLayout;
    formatLayout->addRow(QStringLiteral("形式(&F):"), cboFormat);

    auto *buttons = new QDialogButtonBox(this);
    cmdOK = named(buttons->addButton(QStringLiteral("書き出し(&E)..."), QDialogButtonBox::AcceptRole), "cmdOK");
    cmdCancel = named(buttons->addButton(QStringLiteral("ｷｬﾝｾﾙ"), QDialogButtonBox::RejectRole), "cmdCancel");
    cmdOK->setDefault(true);
    cmdOK->setEnabled(optDictionary->isEnabled() || optRows->isEnabled());
    connect(cmdOK, &QPushButton::clicked, this, &frmExport::exportChosen);
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(what);
    layout->addLayout(formatLayout);
    layout->addWidget(buttons);
    setMinimumWidth(380);
}

QString frmExport::suggestedName() const
{
    if (optDictionary->isChecked())
        return cboDictionary->currentText().mid(1);
    return optSet->isChecked() ? QStringLiteral("辞書セット") : QStringLiteral("検索結果");
}

void frmExport::exportChosen()
{
    const FormatRow &format = Formats[qMax(0, cboFormat->currentIndex())];
    const std::optional<QString> chosen = m_services.files.saveFile(
        {QStringLiteral("ｴｸｽﾎﾟｰﾄ"), QString::fromUtf8(format.filter),
         suggestedName() + QLatin1Char('.') + QLatin1String(format.suffix)});
    if (!chosen || chosen->isEmpty())
        return;
    QStringList suffixes{QLatin1String(format.suffix)};
    if (format.format == exchange::ExportFormat::Html)
        suffixes.append(QStringLiteral("htm"));
    const QString path = withSuffix(*chosen, suffixes);
    if (const std::optional<qint64> written = write(path)) {
        m_services.prompter.inform(
            QStringLiteral("%1 件の項目を %2 に書き出しました。").arg(*written).arg(QDir::toNativeSeparators(path)));
        accept();
    }
}

std::optional<qint64> frmExport::write(const QString &path)
{
    const QString label = QStringLiteral("%1 に書き出しています...").arg(QFileInfo(path).fileName());
    exchange::ExportOptions options;
    options.format = Formats[qMax(0, cboFormat->currentIndex())].format;
    options.labels = htmlLabels();
    qint64 written = 0;
    QString failure;
    store::TargetFile out(store::resolveWriteTarget(path, {{}, store::setMembersOf(m_database.sets().table())}), &app::errorText);
    if (!out.target().isWritable())
        failure = app::describeTargetRefusal(out.target());
    else if (!out.open(QIODevice::WriteOnly))
        failure = QStringLiteral("%1 に書き込めません: %2").arg(QDir::toNativeSeparators(path), out.errorString());
    else {
        const store::Progress shown = m_services.progress ? m_services.progress(label) : progressWindow(label, true);
        options.progress = [shown, &written](qint64 done, qint64 total) {
            written = done;
            return shown(done, total);
        };
        failure = writeTo(out, options);
    }
    if (failure.isEmpty())
        return written;
    // The reasons end without a full stop, as the terminal prints them; the window's sentences have one.
    if (!failure.endsWith(u'。'))
        failure += u'。';
    m_services.prompter.inform(failure + QStringLiteral("\nファイルは書き出していません。"), {},
                               desktop::Prompter::Icon::Warning);
    return std::nullopt;
}

QString frmExport::writeTo(store::TargetFile &out, const exchange::ExportOptions &options)
{
    try {
        writeChosen(out, options);
        if (!out.commit())
            return QStringLiteral("%1 に書き込めません: %2").arg(QDir::toNativeSeparators(out.target().named), out.errorString());
    } catch (const exchange::ExchangeError &e) {
        return exchangeMessage(e);
    } catch (const sqlite::Error &e) {
        return app::describeFailure(e);
    }
    return {};
}

void frmExport::writeChosen(QIODevice &out, const exchange::ExportOptions &options)
{
    if (optRows->isChecked()) {
        exchange::exportRows(m_database, m_rows, out, options);
    } else if (optSet->isChecked()) {
        exchange::exportSet(m_database, out, options);
    } else {
        store::DictionaryStorage *dictionary = m_database.storage(cboDictionary->currentData().toInt());
        if (!dictionary)
            throw exchange::ExchangeError(0, exchange::reasonOf(exchange::Reason::Kind::DictionaryClosed));
        exchange::exportDictionary(*dictionary, out, options);
    }
}

} // namespace qm::app
