#include "searchfixture.h"

#include "app/search/frmsearchdialog.h"
#include "app/search/frmsearchindexlist.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QTest>
#include <QTreeWidget>

using namespace qm;
using app::frmSearchDialog;
using app::frmSearchIndexList;
using Object = frmSearchDialog::RowObject;

namespace {

// Closes whatever modal windows a failed check left open.
auto closeModalsAtEnd()
{
    return qScopeGuard([] {
        while (QWidget *modal = QApplication::activeModalWidget()) {
            if (auto *dialog = qobject_cast<QDialog *>(modal))
                dialog->reject();
            else
                modal->close();
            QCoreApplication::processEvents();
        }
    });
}

QStringList items(QComboBox *box)
{
    QStringList out;
    for (int i = 0; i < box->count(); ++i)
        out.append(box->itemText(i));
    return out;
}

QStringList keywordColumn(frmSearchIndexList &list)
{
    QStringList out;
    for (int i = 0; i < list.ListIndex->topLevelItemCount(); ++i)
        out.append(list.ListIndex->topLevelItem(i)->text(0));
    return out;
}

} // namespace

class tst_searchdialog final : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void rowsStartAfreshWithTheirItems();
    void aConditionFillsTheListAndTheChoiceComesBack();
    void aTypeRowAlone();
    void refusedConditionsSearchNothing();
    void notFoundKeepsTheRows();
    void theListStopsAtTheLimit();
    void escStopsTheRunningSearch();

private:
    void setRow(int row, Object object, int condition, const QString &text);
    // Waits until the search the dialog started is over: its message told, or its result list
    // shown and closed.
    void waitForSearch() { QVERIFY(QTest::qWaitFor([this] { return !m_dialog->isSearching(); }, 10000)); }
    // Shows the dialog, runs `fill` on it, clicks the search button and runs `inList` on the
    // result list; returns what ReturnSelectData returned.
    bool search(const std::function<void()> &fill, const std::function<void(frmSearchIndexList &)> &inList,
                int *slot = nullptr, qint32 *number = nullptr);

    std::unique_ptr<test::SearchFixture> m_fx;
    std::unique_ptr<frmSearchIndexList> m_list;
    std::unique_ptr<frmSearchDialog> m_dialog;
};

void tst_searchdialog::init()
{
    m_fx = std::make_unique<test::SearchFixture>();
    const QString a = m_fx->dictionary(QStringLiteral("a.dic"), QStringLiteral("一"),
                                       {{QStringLiteral("plain"), 1, {QStringLiteral("abcdef"), QStringLiteral("xyz")}},
                                        {QStringLiteral("second"), 4, {QStringLiteral("abc2")}},
                                        {QStringLiteral("object"), 5, {QStringLiteral("abcole")}, QByteArray("abc")}});
    const QString b = m_fx->dictionary(QStringLiteral("b.dic"), QStringLiteral("二"),
                                       {{QStringLiteral("other"), 1, {QStringLiteral("ABCZ")}}});
    m_fx->open({a, b});
    m_list = std::make_unique<frmSearchIndexList>(*m_fx->database, m_fx->settings);
    m_dialog = std::make_unique<frmSearchDialog>(*m_fx->database, *m_list, m_fx->prompter);
}

void tst_searchdialog::cleanup()
{
    m_dialog.reset();
    m_list.reset();
    m_fx.reset();
}

void tst_searchdialog::setRow(int row, Object object, int condition, const QString &text)
{
    m_dialog->cboObject[std::size_t(row)]->setCurrentIndex(int(object));
    m_dialog->cboCondition[std::size_t(row)]->setCurrentIndex(condition);
    m_dialog->cboSearchText[std::size_t(row)]->setEditText(text);
}

bool tst_searchdialog::search(const std::function<void()> &fill,
                              const std::function<void(frmSearchIndexList &)> &inList, int *slot, qint32 *number)
{
    test::whenModal(QStringLiteral("frmSearchDialog"), [&](QWidget *) {
        auto guard = closeModalsAtEnd();
        fill();
        test::whenModal(QStringLiteral("frmSearchIndexList"), [&](QWidget *) {
            auto inner = closeModalsAtEnd();
            inList(*m_list);
        });
        m_dialog->cmdFind->click();
        waitForSearch();
    });
    int s = -1;
    qint32 n = 0;
    const bool chosen = m_dialog->ReturnSelectData(s, n);
    if (slot)
        *slot = s;
    if (number)
        *number = n;
    return chosen;
}

void tst_searchdialog::rowsStartAfreshWithTheirItems()
{
    bool checked = false;
    test::whenModal(QStringLiteral("frmSearchDialog"), [&](QWidget *) {
        auto guard = closeModalsAtEnd();
        for (int i = 0; i < frmSearchDialog::RowCount; ++i) {
            QCOMPARE(m_dialog->cboObject[std::size_t(i)]->currentText(), QStringLiteral("ｷｰﾜｰﾄﾞ"));
            QCOMPARE(items(m_dialog->cboCondition[std::size_t(i)]),
                     (QStringList{QStringLiteral("前方一致"), QStringLiteral("後方一致"), QStringLiteral("含む")}));
            QVERIFY(m_dialog->cboSearchText[std::size_t(i)]->currentText().isEmpty());
        }
        QCOMPARE(items(m_dialog->cboObject[0]), (QStringList{QStringLiteral("ｷｰﾜｰﾄﾞ"), QStringLiteral("見出し"),
                                                            QStringLiteral("本文"), QStringLiteral("種類")}));
        QComboBox *text = m_dialog->cboSearchText[1];
        text->setEditText(QStringLiteral("typed"));
        m_dialog->cboObject[1]->setCurrentIndex(int(Object::Body));
        QCOMPARE(items(m_dialog->cboCondition[1]), QStringList{QStringLiteral("含む")});
        // A type row: the five types with their codes, the text greyed out but kept.
        m_dialog->cboObject[1]->setCurrentIndex(int(Object::Type));
        QComboBox *types = m_dialog->cboCondition[1];
        QCOMPARE(items(types), (QStringList{QStringLiteral("ﾃｷｽﾄ"), QStringLiteral("ﾘｯﾁﾃｷｽﾄ"), QStringLiteral("HTML"),
                                            QStringLiteral("URL"), QStringLiteral("OLE")}));
        QCOMPARE(types->currentIndex(), 0);
        for (int i = 0; i < 5; ++i)
            QCOMPARE(types->itemData(i).toInt(), (QList<int>{1, 2, 4, 3, 5}).at(i));
        QVERIFY(!text->isEnabled());
        QCOMPARE(text->currentText(), QStringLiteral("typed"));
        QCOMPARE(text->palette().color(QPalette::Base), text->style()->standardPalette().color(QPalette::Button));
        m_dialog->cboObject[1]->setCurrentIndex(int(Object::Heading));
        QVERIFY(text->isEnabled());
        QCOMPARE(text->palette().color(QPalette::Base), text->style()->standardPalette().color(QPalette::Base));
        checked = true;
        m_dialog->cmdClose->click();
    });
    int slot = -1;
    qint32 number = 0;
    QVERIFY(!m_dialog->ReturnSelectData(slot, number));
    QVERIFY(checked);
    QCOMPARE(slot, -1);

    // The next showing starts again.
    test::whenModal(QStringLiteral("frmSearchDialog"), [&](QWidget *) {
        auto guard = closeModalsAtEnd();
        QCOMPARE(m_dialog->cboObject[1]->currentIndex(), 0);
        QVERIFY(m_dialog->cboSearchText[1]->currentText().isEmpty());
        QVERIFY(m_dialog->cboSearchText[1]->isEnabled());
        m_dialog->reject();
    });
    QVERIFY(!m_dialog->ReturnSelectData(slot, number));
}

void tst_searchdialog::aConditionFillsTheListAndTheChoiceComesBack()
{
    QString shown;
    QStringList listed;
    int slot = -1;
    qint32 number = 0;
    const bool chosen = search([&] { setRow(0, Object::Keyword, 0, QStringLiteral("abc")); },
                               [&](frmSearchIndexList &list) {
                                   shown = list.txtSearchIndex->text();
                                   listed = keywordColumn(list);
                                   QVERIFY(!list.lblMaxFlag->isVisible());
                                   // The second row: "abcdef" of the first dictionary's first entry.
                                   list.ListIndex->setCurrentItem(list.ListIndex->topLevelItem(1));
                                   QTest::keyClick(list.ListIndex, Qt::Key_Return);
                               },
                               &slot, &number);
    QCOMPARE(shown, QStringLiteral("((Viewer=1 OR Viewer=3 OR Viewer=4) AND (Index LIKE \"abc*\")) OR "
                                   "(Viewer=2 AND (Index LIKE \"abc*\")) OR (Viewer=5 AND (Index LIKE \"abc*\"))"));
    QCOMPARE(listed, (QStringList{QStringLiteral("abc2"), QStringLiteral("abcdef"), QStringLiteral("abcole"),
                                  QStringLiteral("ABCZ")}));
    QVERIFY(chosen);
    QCOMPARE(slot, 0);
    QCOMPARE(number, 1);
    QVERIFY(!m_dialog->isVisible());
    // The text searched is offered again in its row's list, once per search.
    QCOMPARE(items(m_dialog->cboSearchText[0]), QStringList{QStringLiteral("abc")});
    search([&] { setRow(0, Object::Keyword, 0, QStringLiteral("abc")); },
           [&](frmSearchIndexList &list) { QTest::keyClick(list.ListIndex, Qt::Key_Escape); });
    QCOMPARE(items(m_dialog->cboSearchText[0]), (QStringList{QStringLiteral("abc"), QStringLiteral("abc")}));
}

void tst_searchdialog::aTypeRowAlone()
{
    QString shown;
    QStringList listed;
    // A text left in a type row is neither searched nor remembered; Enter in a text field
    // searches.
    test::whenModal(QStringLiteral("frmSearchDialog"), [&](QWidget *) {
        auto guard = closeModalsAtEnd();
        m_dialog->cboSearchText[2]->setEditText(QStringLiteral("ignored"));
        setRow(2, Object::Type, 0, QStringLiteral("ignored"));
        test::whenModal(QStringLiteral("frmSearchIndexList"), [&](QWidget *) {
            auto inner = closeModalsAtEnd();
            shown = m_list->txtSearchIndex->text();
            listed = keywordColumn(*m_list);
            QTest::keyClick(m_list->ListIndex, Qt::Key_Escape);
        });
        QTest::keyClick(m_dialog->cboSearchText[0]->lineEdit(), Qt::Key_Return);
        waitForSearch();
    });
    int slot = -1;
    qint32 number = 0;
    QVERIFY(!m_dialog->ReturnSelectData(slot, number));
    QCOMPARE(shown, QStringLiteral("Viewer=1"));
    // Every text entry, once per keyword, in slot order.
    QCOMPARE(listed, (QStringList{QStringLiteral("abcdef"), QStringLiteral("xyz"), QStringLiteral("ABCZ")}));
    QCOMPARE(m_dialog->cboSearchText[2]->count(), 0);
}

void tst_searchdialog::refusedConditionsSearchNothing()
{
    m_list->txtSearchIndex->setText(QStringLiteral("before"));
    test::whenModal(QStringLiteral("frmSearchDialog"), [&](QWidget *) {
        auto guard = closeModalsAtEnd();
        // Nothing at all: the button says what is missing and leads to the first text field.
        m_dialog->cmdClose->setFocus();
        m_dialog->cmdFind->click();
        QCOMPARE(m_fx->prompter.texts(), QStringList{QStringLiteral("検索する文字列を入力するか、種類を選択してください")});
        const QWidget *focus = m_dialog->focusWidget();
        QVERIFY(focus == m_dialog->cboSearchText[0] || focus == m_dialog->cboSearchText[0]->lineEdit());
        m_fx->prompter.clear();

        setRow(0, Object::Type, 0, {});
        setRow(3, Object::Type, 2, {});
        m_dialog->cmdFind->click();
        QCOMPARE(m_fx->prompter.texts(),
                 QStringList{QStringLiteral("２つ以上の種類が設定されています。\n条件は「ＡＮＤ」で行うので２つ以上設定できません")});
        QVERIFY(m_dialog->isVisible());
        QCOMPARE(m_dialog->cboObject[3]->currentIndex(), int(Object::Type));

        m_fx->prompter.clear();
        setRow(3, Object::Body, 0, QStringLiteral("本文"));
        setRow(0, Object::Type, 4, {});
        QCOMPARE(m_dialog->cboCondition[0]->currentText(), QStringLiteral("OLE"));
        m_dialog->cmdFind->click();
        QCOMPARE(m_fx->prompter.texts(), QStringList{QStringLiteral("種類でOLEを選択していると本文の検索はできません")});
        QVERIFY(m_dialog->isVisible());
        QCOMPARE(m_dialog->cboSearchText[3]->currentText(), QStringLiteral("本文"));
        // Nothing was remembered either.
        QCOMPARE(m_dialog->cboSearchText[3]->count(), 0);
        m_dialog->reject();
    });
    int slot = -1;
    qint32 number = 0;
    QVERIFY(!m_dialog->ReturnSelectData(slot, number));
    QCOMPARE(m_list->txtSearchIndex->text(), QStringLiteral("before"));
}

void tst_searchdialog::notFoundKeepsTheRows()
{
    test::whenModal(QStringLiteral("frmSearchDialog"), [&](QWidget *) {
        auto guard = closeModalsAtEnd();
        setRow(1, Object::Heading, 2, QStringLiteral("nothing like it"));
        m_dialog->cmdFind->click();
        waitForSearch();
        QCOMPARE(m_fx->prompter.texts(), QStringList{QStringLiteral("見つかりません")});
        QCOMPARE(m_fx->prompter.messages().last().buttons, desktop::Prompter::Buttons::Ok);
        QVERIFY(m_dialog->isVisible());
        QCOMPARE(m_dialog->cboObject[1]->currentIndex(), int(Object::Heading));
        QCOMPARE(m_dialog->cboCondition[1]->currentIndex(), 2);
        QCOMPARE(m_dialog->cboSearchText[1]->currentText(), QStringLiteral("nothing like it"));
        QCOMPARE(items(m_dialog->cboSearchText[1]), QStringList{QStringLiteral("nothing like it")});
        m_dialog->reject();
    });
    int slot = -1;
    qint32 number = 0;
    QVERIFY(!m_dialog->ReturnSelectData(slot, number));
}

void tst_searchdialog::theListStopsAtTheLimit()
{
    for (int rows : {1001, 1000}) {
        QList<test::NewEntry> entries;
        for (int i = 0; i < rows; ++i)
            entries.append({QStringLiteral("h%1").arg(i), 1, {QStringLiteral("many%1").arg(i)}});
        const QString big = m_fx->dictionary(QStringLiteral("big%1.dic").arg(rows), QStringLiteral("多"), entries);
        const QString small = m_fx->dictionary(QStringLiteral("small%1.dic").arg(rows), QStringLiteral("少"),
                                               {{QStringLiteral("x"), 1, {QStringLiteral("many more")}}});
        m_dialog.reset();
        m_list.reset();
        m_fx->database.reset();
        m_fx->open({big, small});
        m_list = std::make_unique<frmSearchIndexList>(*m_fx->database, m_fx->settings);
        m_dialog = std::make_unique<frmSearchDialog>(*m_fx->database, *m_list, m_fx->prompter);
        int listed = 0;
        bool flagged = false;
        QString last;
        search([&] { setRow(0, Object::Keyword, 0, QStringLiteral("MANY")); },
               [&](frmSearchIndexList &list) {
                   listed = list.ListIndex->topLevelItemCount();
                   flagged = list.lblMaxFlag->isVisibleTo(&list);
                   last = list.ListIndex->topLevelItem(listed - 1)->text(2);
                   QTest::keyClick(list.ListIndex, Qt::Key_Escape);
               });
        // Exactly 1000 in the first dictionary also ends the search there, with the label.
        QCOMPARE(listed, 1000);
        QVERIFY(flagged);
        QCOMPARE(last, QStringLiteral("①多"));
    }
}

// Esc in the dialog while its search runs stops the search, which lists the rows found so far.
void tst_searchdialog::escStopsTheRunningSearch()
{
    QList<test::NewEntry> entries;
    for (int i = 0; i < 300; ++i)
        entries.append({QStringLiteral("h%1").arg(i), 1, {QStringLiteral("many%1").arg(i)}});
    const QString big = m_fx->dictionary(QStringLiteral("big.dic"), QStringLiteral("多"), entries);
    m_dialog.reset();
    m_list.reset();
    m_fx->database.reset();
    m_fx->open({big});
    m_list = std::make_unique<frmSearchIndexList>(*m_fx->database, m_fx->settings);
    m_dialog = std::make_unique<frmSearchDialog>(*m_fx->database, *m_list, m_fx->prompter);
    m_fx->database->searchWorker().setRowPause(std::chrono::milliseconds(5));
    int listed = 0;
    bool stopped = false;
    test::whenModal(QStringLiteral("frmSearchDialog"), [&](QWidget *) {
        auto guard = closeModalsAtEnd();
        setRow(0, Object::Keyword, 0, QStringLiteral("many"));
        test::whenModal(QStringLiteral("frmSearchIndexList"), [&](QWidget *) {
            auto inner = closeModalsAtEnd();
            listed = m_list->ListIndex->topLevelItemCount();
            stopped = m_list->lblStopped->isVisible() && !m_list->lblMaxFlag->isVisible();
            QTest::keyClick(m_list->ListIndex, Qt::Key_Escape);
        });
        m_dialog->cmdFind->click();
        QTRY_VERIFY(m_list->ListIndex->topLevelItemCount() > 0);
        QTest::keyClick(m_dialog.get(), Qt::Key_Escape);
        waitForSearch();
    });
    int slot = -1;
    qint32 number = 0;
    QVERIFY(!m_dialog->ReturnSelectData(slot, number));
    QVERIFY(stopped);
    QVERIFY2(listed > 0 && listed < 300, qPrintable(QString::number(listed)));
    QVERIFY(m_fx->prompter.texts().isEmpty());
}

QTEST_MAIN(tst_searchdialog)
#include "tst_searchdialog.moc"
