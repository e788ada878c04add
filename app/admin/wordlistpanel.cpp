#include "wordlistpanel.h"

#include "app/common/exchangemessages.h"
#include "app/exchange/exchangeerror.h"
#include "platform/desktop/datetext.h"
#include "app/store/dictionary/viewertype.h"
#include "platform/text/cp932.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QIODevice>
#include <QLabel>
#include <QLineEdit>
#include <QScrollArea>
#include <QTableWidget>
#include <QVBoxLayout>

#include <limits>

namespace qm::app {

namespace {

using exchange::wordlist::Column;
using exchange::wordlist::Encoding;

const std::pair<Column, const char *> Columns[] = {
    {Column::Keyword, "キーワード"}, {Column::Heading, "見出し"}, {Column::Body, "本文"},
    {Column::Date, "更新日"},        {Column::Skip, "無視"},
};

// What a column holds at first: keyword, heading, body, and nothing after them.
Column defaultColumn(int index)
{
    static const Column first[] = {Column::Keyword, Column::Heading, Column::Body};
    return index < 3 ? first[index] : Column::Skip;
}

QComboBox *columnCombo(int index, Column column, QWidget *parent)
{
    auto *combo = new QComboBox(parent);
    combo->setObjectName(QStringLiteral("cboColumn%1").arg(index));
    for (const auto &[value, caption] : Columns)
        combo->addItem(QString::fromUtf8(caption), int(value));
    combo->setCurrentIndex(combo->findData(int(column)));
    return combo;
}

QString encodingName(Encoding encoding)
{
    return encoding == Encoding::Cp932 ? QStringLiteral("CP932") : QStringLiteral("UTF-8");
}

// "自動 (UTF-8 と判定)", or for CP932 the line that is no UTF-8.
QString guessText(const exchange::wordlist::EncodingGuess &guess)
{
    if (guess.encoding != Encoding::Cp932)
        return QStringLiteral("自動 (%1 と判定)").arg(encodingName(guess.encoding));
    return QStringLiteral("自動 (%1 行目が UTF-8 ではないので CP932 と判定)").arg(guess.brokenLine);
}

const QColor ProblemBackground(255, 220, 220);

// The body as the preview shows it: a body stored in another type as its visible text.
QString bodyText(const store::Entry &entry)
{
    if (!entry.VisibleText.isNull())
        return entry.VisibleText;
    if (entry.Viewer == store::viewerCode(store::Viewer::Html))
        return QStringLiteral("<HTML> ") + text::cp932::decode(entry.Document);
    return text::cp932::decode(entry.Document);
}

} // namespace

WordListPanel::WordListPanel(QIODevice &file, const QString &suffix, QWidget *parent)
    : QWidget(parent)
    , m_file(file)
{
    setObjectName(QStringLiteral("WordListPanel"));
    buildControls(suffix);
    rebuildColumns();
}

void WordListPanel::buildControls(const QString &suffix)
{
    cboEncoding = new QComboBox(this);
    cboEncoding->setObjectName(QStringLiteral("cboEncoding"));
    cboEncoding->addItem(guessText(exchange::wordlist::guessEncoding(m_file)), int(Encoding::Auto));
    cboEncoding->addItem(QStringLiteral("UTF-8"), int(Encoding::Utf8));
    cboEncoding->addItem(QStringLiteral("CP932"), int(Encoding::Cp932));

    cboSeparator = new QComboBox(this);
    cboSeparator->setObjectName(QStringLiteral("cboSeparator"));
    cboSeparator->addItem(QStringLiteral("コンマ (,)"), QChar(u','));
    cboSeparator->addItem(QStringLiteral("タブ"), QChar(u'\t'));
    cboSeparator->setCurrentIndex(suffix.compare(QLatin1String("csv"), Qt::CaseInsensitive) == 0 ? 0 : 1);

    chkHeader = new QCheckBox(QStringLiteral("1 行目は列の名前なので読み飛ばす(&H)"), this);
    chkHeader->setObjectName(QStringLiteral("chkHeader"));
    txtKeywordSeparator = new QLineEdit(this);
    txtKeywordSeparator->setObjectName(QStringLiteral("txtKeywordSeparator"));
    txtKeywordSeparator->setPlaceholderText(QStringLiteral("なし (1 つのセルが 1 つのキーワード)"));
    cboDuplicates = new QComboBox(this);
    cboDuplicates->setObjectName(QStringLiteral("cboDuplicates"));
    cboDuplicates->addItem(QStringLiteral("追加"), int(exchange::wordlist::Duplicates::Add));
    cboDuplicates->addItem(QStringLiteral("読み飛ばす"), int(exchange::wordlist::Duplicates::Skip));

    auto *reading = new QGroupBox(QStringLiteral("単語一覧の読み方"), this);
    auto *form = new QFormLayout(reading);
    form->addRow(QStringLiteral("文字コード(&C):"), cboEncoding);
    form->addRow(QStringLiteral("区切り文字(&S):"), cboSeparator);
    form->addRow(QString(), chkHeader);
    form->addRow(QStringLiteral("キーワードの区切り(&K):"), txtKeywordSeparator);
    form->addRow(QStringLiteral("同じ見出しがあるとき(&D):"), cboDuplicates);

    auto *columns = new QGroupBox(QStringLiteral("各列の内容"), this);
    m_columnBox = new QWidget;
    m_columnGrid = new QGridLayout(m_columnBox);
    auto *scroll = new QScrollArea(columns);
    scroll->setWidget(m_columnBox);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    // One row of column choices and the scroll bar below it fit without a vertical scroll bar.
    scroll->setMinimumHeight(96);
    (new QVBoxLayout(columns))->addWidget(scroll);

    grdPreview = new QTableWidget(0, 5, this);
    grdPreview->setObjectName(QStringLiteral("grdPreview"));
    grdPreview->setHorizontalHeaderLabels(
        {QStringLiteral("行"), QStringLiteral("キーワード"), QStringLiteral("見出し"), QStringLiteral("本文"), QStringLiteral("更新日")});
    grdPreview->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grdPreview->verticalHeader()->hide();
    grdPreview->horizontalHeader()->setStretchLastSection(true);
    // Several rows of the preview show at once, not one and a half.
    grdPreview->setMinimumHeight(grdPreview->horizontalHeader()->sizeHint().height()
                                 + 6 * grdPreview->verticalHeader()->defaultSectionSize() + 2 * grdPreview->frameWidth());
    lblPreviewProblem = new QLabel(this);
    lblPreviewProblem->setObjectName(QStringLiteral("lblPreviewProblem"));
    lblPreviewProblem->setWordWrap(true);
    lblPreviewProblem->setStyleSheet(QStringLiteral("color: #b00000"));

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(reading);
    layout->addWidget(columns);
    layout->addWidget(new QLabel(QStringLiteral("取り込まれる内容 (先頭の %1 行):").arg(PreviewRows), this));
    layout->addWidget(grdPreview, 1);
    layout->addWidget(lblPreviewProblem);

    connect(cboEncoding, &QComboBox::currentIndexChanged, this, &WordListPanel::rebuildColumns);
    connect(cboSeparator, &QComboBox::currentIndexChanged, this, &WordListPanel::rebuildColumns);
    connect(chkHeader, &QCheckBox::toggled, this, &WordListPanel::refreshPreview);
    connect(txtKeywordSeparator, &QLineEdit::textChanged, this, &WordListPanel::refreshPreview);
}

// The number of columns depends on the encoding and separator; the choices made for the columns
// that remain are kept.
void WordListPanel::rebuildColumns()
{
    QList<Column> chosen;
    for (QComboBox *combo : std::as_const(cboColumns))
        chosen.append(Column(combo->currentData().toInt()));
    qDeleteAll(cboColumns);
    cboColumns.clear();
    while (QLayoutItem *item = m_columnGrid->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    int count = 0;
    try {
        // Every row counts: a value in a column that has no choice would refuse the import.
        count = exchange::wordlist::columnCount(m_file, options(), std::numeric_limits<int>::max());
    } catch (const exchange::ExchangeError &) {
        count = 0; // the preview names the problem
    }
    for (int i = 0; i < count; ++i) {
        auto *label = new QLabel(QStringLiteral("%1 列目").arg(i + 1), m_columnBox);
        QComboBox *combo = columnCombo(i, i < chosen.size() ? chosen[i] : defaultColumn(i), m_columnBox);
        label->setBuddy(combo);
        m_columnGrid->addWidget(label, 0, i);
        m_columnGrid->addWidget(combo, 1, i);
        cboColumns.append(combo);
        connect(combo, &QComboBox::currentIndexChanged, this, &WordListPanel::refreshPreview);
    }
    refreshPreview();
}

exchange::wordlist::Options WordListPanel::options() const
{
    exchange::wordlist::Options o;
    o.delimiter = cboSeparator->currentData().toChar();
    o.encoding = Encoding(cboEncoding->currentData().toInt());
    o.headerRow = chkHeader->isChecked();
    o.keywordSeparator = txtKeywordSeparator->text();
    o.duplicates = exchange::wordlist::Duplicates(cboDuplicates->currentData().toInt());
    if (!cboColumns.isEmpty()) {
        o.columns.clear();
        for (QComboBox *combo : cboColumns)
            o.columns.append(Column(combo->currentData().toInt()));
    }
    return o;
}

QString WordListPanel::previewProblem() const
{
    return lblPreviewProblem->text();
}

void WordListPanel::refreshPreview()
{
    lblPreviewProblem->clear();
    try {
        const std::vector<exchange::wordlist::Row> rows = exchange::wordlist::preview(m_file, options(), PreviewRows);
        showRows(rows);
        QStringList problems;
        for (const exchange::wordlist::Row &row : rows)
            if (row.problem)
                problems.append(exchangeLineMessage(row.line, *row.problem));
        lblPreviewProblem->setText(problems.join(u'\n'));
    } catch (const exchange::ExchangeError &e) {
        showRows({});
        lblPreviewProblem->setText(exchangeMessage(e));
    }
}

void WordListPanel::showRows(const std::vector<exchange::wordlist::Row> &rows)
{
    grdPreview->setRowCount(int(rows.size()));
    for (int r = 0; r < int(rows.size()); ++r) {
        const exchange::wordlist::Row &row = rows[size_t(r)];
        const bool refused = row.problem.has_value();
        const QString problem = refused ? exchangeReason(*row.problem) : QString();
        const store::Entry &entry = row.record.entry;
        // A row that cannot be stored shows why, in the place of its body, marked.
        const QStringList cells{QString::number(row.line), row.record.keywords.join(u'、'), entry.Heading,
                                refused ? problem : bodyText(entry), desktop::dateTimeText(entry.RenewalDate)};
        for (int c = 0; c < cells.size(); ++c) {
            auto *item = new QTableWidgetItem(cells[c]);
            if (refused) {
                item->setBackground(ProblemBackground);
                item->setToolTip(problem);
            }
            grdPreview->setItem(r, c, item);
        }
    }
    grdPreview->resizeColumnsToContents();
}

} // namespace qm::app
