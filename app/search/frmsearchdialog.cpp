#include "frmsearchdialog.h"

#include "frmsearchindexlist.h"

#include "app/common/helpmenu.h"
#include "app/store/sets/databasemodule.h"
#include "app/store/dictionary/viewertype.h"
#include "platform/desktop/accessiblename.h"
#include "platform/desktop/prompter.h"
#include "platform/desktop/twips.h"
#include "platform/desktop/windowstate.h"

#include <QComboBox>
#include <QGuiApplication>
#include <QLabel>
#include <QShowEvent>
#include <QStyle>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace qm::app {
namespace {

using desktop::Twips;

// Shown while the search runs.
// The items of cboCondition(i) by the row's object.
const QStringList &matchItems()
{
    static const QStringList items{QStringLiteral("前方一致"), QStringLiteral("後方一致"), QStringLiteral("含む")};
    return items;
}

struct TypeItem {
    QString name;
    store::Viewer viewer;
};
const std::array<TypeItem, 5> &typeItems()
{
    static const std::array<TypeItem, 5> items{{{QStringLiteral("ﾃｷｽﾄ"), store::Viewer::Text},
                                                {QStringLiteral("ﾘｯﾁﾃｷｽﾄ"), store::Viewer::RichText},
                                                {QStringLiteral("HTML"), store::Viewer::Html},
                                                {QStringLiteral("URL"), store::Viewer::Url},
                                                {QStringLiteral("OLE"), store::Viewer::Ole}}};
    return items;
}

// The text field of a row takes the window background colour while it can be typed in, and the
// button face while the row is a type row.
void setFieldColour(QComboBox *field, QPalette::ColorRole role)
{
    QPalette palette = field->palette();
    const QColor colour = field->style()->standardPalette().color(QPalette::Active, role);
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        palette.setColor(group, QPalette::Base, colour);
    field->setPalette(palette);
}

} // namespace

frmSearchDialog::frmSearchDialog(store::DatabaseModule &database, frmSearchIndexList &results,
                                 desktop::Prompter &prompter, QWidget *parent)
    : QDialog(parent)
    , m_database(database)
    , m_results(results)
    , m_prompter(prompter)
{
    setObjectName(QStringLiteral("frmSearchDialog"));
    setWindowTitle(QStringLiteral("Quillmere - 条件検索"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    buildControls();
    buildMenu();
    resetRows();
    new desktop::PlaceKeeper(*this);
}

frmSearchDialog::~frmSearchDialog() = default;

void frmSearchDialog::buildControls()
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto *client = new QWidget(this);
    layout->addWidget(client);

    for (int i = 0; i < RowCount; ++i) {
        const int top = 120 + 480 * i;
        QComboBox *object = cboObject[std::size_t(i)] = new QComboBox(client);
        object->setObjectName(QStringLiteral("cboObject%1").arg(i));
        object->addItems({QStringLiteral("ｷｰﾜｰﾄﾞ"), QStringLiteral("見出し"), QStringLiteral("本文"), QStringLiteral("種類")});
        object->setGeometry(Twips::toPixels(120), Twips::toPixels(top), Twips::toPixels(975), object->sizeHint().height());

        QComboBox *condition = cboCondition[std::size_t(i)] = new QComboBox(client);
        condition->setObjectName(QStringLiteral("cboCondition%1").arg(i));
        condition->setGeometry(Twips::toPixels(1200), Twips::toPixels(top), Twips::toPixels(1095), object->height());

        QComboBox *text = cboSearchText[std::size_t(i)] = new QComboBox(client);
        text->setObjectName(QStringLiteral("cboSearchText%1").arg(i));
        text->setEditable(true);
        // The list only offers texts used before; it never completes or adds what is typed.
        text->setInsertPolicy(QComboBox::NoInsert);
        text->setCompleter(nullptr);
        text->setGeometry(Twips::toPixels(2400), Twips::toPixels(top), Twips::toPixels(4095), object->height());

        nameRow(i);
        connect(object, &QComboBox::currentIndexChanged, this, [this, i] { fillConditions(i); });
    }

    cmdFind = new QPushButton(QStringLiteral("検 索(&F)"), client);
    cmdFind->setObjectName(QStringLiteral("cmdFind"));
    cmdFind->setDefault(true);
    cmdFind->setGeometry(Twips::toPixels(4080, 2520, 1095, 375));
    connect(cmdFind, &QPushButton::clicked, this, &frmSearchDialog::find);

    cmdClose = new QPushButton(QStringLiteral("閉じる(&C)"), client);
    cmdClose->setObjectName(QStringLiteral("cmdClose"));
    cmdClose->setAutoDefault(false);
    cmdClose->setGeometry(Twips::toPixels(5280, 2520, 1095, 375));
    connect(cmdClose, &QPushButton::clicked, this, &frmSearchDialog::reject);

    client->setFixedSize(Twips::toPixels(6615), Twips::toPixels(3015));
}

// The rows have no captions on screen; a screen reader says what each box of which row holds.
void frmSearchDialog::nameRow(int row)
{
    const auto at = std::size_t(row);
    const QString number = QString::number(row + 1);
    desktop::setAccessibleName(cboObject[at], QStringLiteral("条件 %1 の対象").arg(number));
    desktop::setAccessibleName(cboCondition[at], QStringLiteral("条件 %1 の一致方法").arg(number));
    desktop::setAccessibleName(cboSearchText[at], QStringLiteral("条件 %1 の検索文字列").arg(number));
}

void frmSearchDialog::buildMenu()
{
    addHelpMenu(this, QStringLiteral("mnuHelp"), [this] {
        if (m_showHelp)
            m_showHelp(QStringLiteral("Searching.htm#Condition"));
    });
    layout()->setSizeConstraint(QLayout::SetFixedSize);
}

void frmSearchDialog::fillConditions(int row)
{
    QComboBox *condition = cboCondition[std::size_t(row)];
    QComboBox *text = cboSearchText[std::size_t(row)];
    const auto object = RowObject(cboObject[std::size_t(row)]->currentIndex());
    condition->clear();
    // A type row keeps its text, greyed out and left out of the search.
    text->setEnabled(object != RowObject::Type);
    setFieldColour(text, object == RowObject::Type ? QPalette::Button : QPalette::Base);
    switch (object) {
    case RowObject::Keyword:
    case RowObject::Heading: condition->addItems(matchItems()); break;
    case RowObject::Body: condition->addItem(matchItems().last()); break;
    case RowObject::Type:
        for (const TypeItem &t : typeItems())
            condition->addItem(t.name, int(store::viewerCode(t.viewer)));
        break;
    }
    condition->setCurrentIndex(0);
}

void frmSearchDialog::resetRows()
{
    // Each showing starts afresh; the lists of texts used before stay.
    for (int i = 0; i < RowCount; ++i) {
        cboSearchText[std::size_t(i)]->setEditText(QString());
        cboObject[std::size_t(i)]->setCurrentIndex(0);
        fillConditions(i);
    }
}

void frmSearchDialog::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    // Only a showing resets the rows: coming back from a message keeps them as they were.
    if (!event->spontaneous())
        resetRows();
}

std::optional<store::SearchCondition> frmSearchDialog::BuildSearchCondition()
{
    store::SearchCondition condition;
    bool bodySearched = false;
    for (int i = 0; i < RowCount; ++i) {
        const auto object = RowObject(cboObject[std::size_t(i)]->currentIndex());
        const QString text = cboSearchText[std::size_t(i)]->currentText();
        if (object == RowObject::Type) {
            if (condition.viewer) {
                m_prompter.inform(QStringLiteral("２つ以上の種類が設定されています。\n"
                                                 "条件は「ＡＮＤ」で行うので２つ以上設定できません"));
                return std::nullopt;
            }
            condition.viewer = quint8(cboCondition[std::size_t(i)]->currentData().toInt());
            continue;
        }
        if (text.isEmpty())
            continue;
        store::SearchTerm term;
        term.text = text;
        switch (object) {
        case RowObject::Keyword: term.field = store::SearchField::Keyword; break;
        case RowObject::Heading: term.field = store::SearchField::Heading; break;
        case RowObject::Body:
            term.field = store::SearchField::Body;
            bodySearched = true;
            break;
        case RowObject::Type: break;
        }
        const int match = cboCondition[std::size_t(i)]->currentIndex();
        term.mode = object == RowObject::Body || match == 2 ? store::MatchMode::Contains
                    : match == 1                            ? store::MatchMode::Suffix
                                                            : store::MatchMode::Prefix;
        condition.terms.push_back(term);
    }
    if (condition.viewer == store::viewerCode(store::Viewer::Ole) && bodySearched) {
        m_prompter.inform(QStringLiteral("種類でOLEを選択していると本文の検索はできません"));
        return std::nullopt;
    }
    if (condition.text().isEmpty())
        return std::nullopt;
    return condition;
}

void frmSearchDialog::RunConditionSearch(const store::SearchCondition &condition)
{
    m_results.beginResults(condition.text());
    m_searching = true;
    m_searchGeneration = m_database.openGeneration();
    setCursor(Qt::BusyCursor);
    frmSearchIndexList *list = &m_results;
    m_database.searchWorker().search(
        m_database.openFiles(), store::SearchRequest::condition(condition, frmSearchIndexList::RowLimit), this,
        [list](const std::vector<store::SlotMatch> &rows) { list->addRows(rows); },
        [this, ticket = ++m_searchTicket](const store::SearchResults &results) {
            // The end of a search another one from here took the place of is not this search's.
            if (ticket == m_searchTicket)
                searchEnded(results);
        });
}

void frmSearchDialog::searchEnded(const store::SearchResults &results)
{
    m_searching = false;
    unsetCursor();
    // Dropped (the set closed under it): nothing of it is shown.
    if (results.abandoned || m_searchGeneration != m_database.openGeneration())
        return;
    m_results.endResults(results);
    // The rows the other dictionaries gave are still listed after a failure.
    if (const std::optional<store::SearchFailure> &failure = results.failure) {
        // A damaged dictionary gets the offer to recover it instead of the message; the rows
        // would name entries of a set that the recovery opens again.
        if (m_database.offerRecovery(failure->slot, failure->error))
            return;
        m_prompter.inform(m_results.failureText(*failure));
    }
    if (!m_results.hasRows()) {
        if (!results.failure)
            m_prompter.inform(results.cancelled ? QStringLiteral("検索を中止しました") : QStringLiteral("見つかりません"));
        return;
    }
    // The dialog goes away while the user chooses; its own showing ends with that choice.
    hide();
    m_chosenNumber = 0;
    store::Slot slot;
    qint32 number = 0;
    if (m_results.ReturnSelectData(slot, number)) {
        m_chosenSlot = slot;
        m_chosenNumber = number;
    }
}

bool frmSearchDialog::hasSomethingToSearch() const
{
    for (int i = 0; i < RowCount; ++i) {
        const auto object = RowObject(cboObject[std::size_t(i)]->currentIndex());
        if (object == RowObject::Type || !cboSearchText[std::size_t(i)]->currentText().isEmpty())
            return true;
    }
    return false;
}

void frmSearchDialog::find()
{
    // A click with every row empty would otherwise do nothing at all.
    if (!hasSomethingToSearch()) {
        m_prompter.inform(QStringLiteral("検索する文字列を入力するか、種類を選択してください"));
        cboSearchText[0]->setFocus();
        return;
    }
    const std::optional<store::SearchCondition> condition = BuildSearchCondition();
    if (!condition)
        return;
    RunConditionSearch(*condition);
    rememberTexts();
}

void frmSearchDialog::rememberTexts()
{
    // Every text searched is offered again, even one the list already has.
    for (QComboBox *text : cboSearchText) {
        const QString typed = text->currentText();
        if (text->isEnabled() && !typed.isEmpty()) {
            text->addItem(typed);
            text->setEditText(typed);
        }
    }
}

bool frmSearchDialog::ReturnSelectData(int &slot, qint32 &number)
{
    m_chosenNumber = 0;
    exec();
    if (m_chosenNumber == 0)
        return false;
    slot = m_chosenSlot.index;
    number = m_chosenNumber;
    return true;
}

void frmSearchDialog::reject()
{
    // Esc (or the close box) stops a running search, which then shows the rows it found; the
    // dialog goes with the next.
    if (m_searching) {
        m_database.searchWorker().stop();
        return;
    }
    m_chosenNumber = 0;
    QDialog::reject();
}

} // namespace qm::app
