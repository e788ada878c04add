#include "adminfixture.h"

#include "app/common/storemessages.h"
#include "app/admin/frmdictionarysets.h"
#include "app/admin/frmdictionarysetslist.h"
#include "app/store/sets/databasemodule.h"

#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include <memory>

using namespace qm;
using app::frmDictionarySets;
using app::frmDictionarySetsList;

class tst_setslist final : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void closesTheSetWhileShownAndOpensTheSelectedOne();
    void everyWayOfClosingOpensTheSelection();
    void addingThroughTheEditor();
    void addingIsRefusedAtTwentySets();
    void editingShowsTheNewNameAtOnce();
    void deletingTheOnlySetLeavesNothingToOpen();
    void deletingSelectsTheSetBefore();
    void movingTheOpenSetKeepsItOpen();
    void everyChangeIsOnDiskAtOnce();
    void theListTakesTheFocusBackFromTheEditor();

private:
    // Sets "A", "B", "C", each of one dictionary of its own; `open` is current and open.
    void makeSets(int open);
    frmDictionarySetsList &list();
    QStringList names() const;
    QString openPath() const;
    // The set names as the set file on disk holds them.
    QStringList namesOnDisk() const;

    test::Dictionaries m_files;
    desktop::ScriptedPrompter m_prompter;
    test::QueuedFileChooser m_chooser;
    std::unique_ptr<store::DatabaseModule> m_db;
    std::unique_ptr<frmDictionarySetsList> m_list;
};

void tst_setslist::init()
{
    m_list.reset();
    m_prompter = {};
    m_chooser = {};
    m_db = std::make_unique<store::DatabaseModule>(qm::app::storeHost(m_prompter), m_files.dir.path());
    // The lists of earlier tests wrote their sets.
    QFile::remove(m_db->setFilePath());
}

void tst_setslist::makeSets(int open)
{
    const QStringList names = {QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")};
    for (const QString &name : names)
        m_db->sets().add(store::DictionarySet(name, {m_files.make(name + QStringLiteral(".dic"), name)}));
    m_db->sets().choose(open);
    m_db->OpenDictionarySet();
    QVERIFY(m_db->dictionary(0));
}

frmDictionarySetsList &tst_setslist::list()
{
    m_list = std::make_unique<frmDictionarySetsList>(*m_db, m_prompter, nullptr);
    m_list->setFileChooser(&m_chooser);
    m_list->show();
    return *m_list;
}

QStringList tst_setslist::names() const
{
    QStringList out;
    for (int i = 0; i < m_list->lstDicSets->count(); ++i)
        out.append(m_list->lstDicSets->item(i)->text());
    return out;
}

QStringList tst_setslist::namesOnDisk() const
{
    const store::SetFileContents read = store::readDictionarySetsFile(m_db->setFilePath());
    QStringList out;
    for (int i = 0; i < read.table.DictionarySetCount; ++i)
        out.append(read.table.DictionarySetList[std::size_t(i)].name());
    return out;
}

QString tst_setslist::openPath() const
{
    store::Dictionary *d = m_db->dictionary(0);
    return d ? d->path() : QString();
}

void tst_setslist::closesTheSetWhileShownAndOpensTheSelectedOne()
{
    makeSets(1);
    frmDictionarySetsList &l = list();
    QCOMPARE(names(), (QStringList{QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")}));
    QCOMPARE(l.lstDicSets->currentRow(), 1);
    QVERIFY2(!m_db->dictionary(0), "no dictionary is open while the list is shown");
    l.lstDicSets->setCurrentRow(2);
    l.cmdOpen->click();
    QVERIFY(!l.isVisible());
    QCOMPARE(m_db->OpenDictionarySetsIndex(), 2);
    QCOMPARE(openPath(), m_files.path(QStringLiteral("C.dic")));
}

void tst_setslist::everyWayOfClosingOpensTheSelection()
{
    makeSets(0);
    // The close box.
    list().lstDicSets->setCurrentRow(1);
    m_list->close();
    QCOMPARE(m_db->OpenDictionarySetsIndex(), 1);
    QCOMPARE(openPath(), m_files.path(QStringLiteral("B.dic")));
    // Escape.
    list().lstDicSets->setCurrentRow(2);
    QTest::keyClick(m_list->lstDicSets, Qt::Key_Escape);
    QCOMPARE(openPath(), m_files.path(QStringLiteral("C.dic")));
    // A double-click on an item.
    QListWidget *sets = list().lstDicSets;
    const QRect first = sets->visualItemRect(sets->item(0));
    QTest::mouseClick(sets->viewport(), Qt::LeftButton, {}, first.center());
    QTest::mouseDClick(sets->viewport(), Qt::LeftButton, {}, first.center());
    QVERIFY(!m_list->isVisible());
    QCOMPARE(openPath(), m_files.path(QStringLiteral("A.dic")));
}

void tst_setslist::addingThroughTheEditor()
{
    makeSets(0);
    frmDictionarySetsList &l = list();
    // Cancelled: the list and the count as before, the previously last set selected.
    test::onModal<frmDictionarySets>([](frmDictionarySets *editor) { editor->cmdCancel->click(); });
    l.cmdAdd->click();
    QCOMPARE(names().size(), 3);
    QCOMPARE(m_db->DictionarySetCount(), 3);
    QCOMPARE(l.lstDicSets->currentRow(), 2);

    // Accepted with a name and a dictionary: a fourth set, selected.
    const QString extra = m_files.make(QStringLiteral("D.dic"), QStringLiteral("D"));
    m_chooser.answers.enqueue(extra);
    test::onModal<frmDictionarySets>([](frmDictionarySets *editor) {
        test::typeInto(editor->txtDicSetsName, QStringLiteral("新しいセット"));
        editor->cmdAdd->click();
        editor->cmdOK->click();
    });
    l.cmdAdd->click();
    QCOMPARE(names().last(), QStringLiteral("新しいセット"));
    QCOMPARE(m_db->DictionarySetList()[3].fileName(0), extra);
    QCOMPARE(l.lstDicSets->currentRow(), 3);
    l.cmdOpen->click();
    QCOMPARE(openPath(), extra);
}

void tst_setslist::addingIsRefusedAtTwentySets()
{
    for (int i = 0; i < store::MaxDictionarySets; ++i)
        m_db->sets().add(store::DictionarySet(QString::number(i)));
    frmDictionarySetsList &l = list();
    bool editorShown = false;
    QTimer::singleShot(0, &l, [&editorShown] {
        if (QWidget *modal = QApplication::activeModalWidget()) {
            editorShown = true;
            modal->close();
        }
    });
    l.cmdAdd->click();
    // Without an editor the check runs here, not in a later test.
    QCoreApplication::processEvents();
    QVERIFY(!editorShown);
    QCOMPARE(m_prompter.texts(), QStringList{QStringLiteral("登録できる辞書セット数は20つまでです")});
    QCOMPARE(m_db->DictionarySetCount(), store::MaxDictionarySets);
}

void tst_setslist::editingShowsTheNewNameAtOnce()
{
    makeSets(0);
    frmDictionarySetsList &l = list();
    l.lstDicSets->setCurrentRow(1);
    test::onModal<frmDictionarySets>([](frmDictionarySets *editor) {
        QCOMPARE(editor->txtDicSetsName->text(), QStringLiteral("B"));
        editor->txtDicSetsName->clear();
        test::typeInto(editor->txtDicSetsName, QStringLiteral("仕事"));
        editor->cmdOK->click();
    });
    l.cmdEdit->click();
    QCOMPARE(names(), (QStringList{QStringLiteral("A"), QStringLiteral("仕事"), QStringLiteral("C")}));
    QCOMPARE(l.lstDicSets->currentRow(), 1);

    // An editor that empties the name deletes the set once it has said so.
    m_prompter.queueAnswer(desktop::Prompter::Answer::Yes);
    test::onModal<frmDictionarySets>([](frmDictionarySets *editor) {
        editor->txtDicSetsName->clear();
        editor->cmdOK->click();
    });
    l.cmdEdit->click();
    QCOMPARE(names(), (QStringList{QStringLiteral("A"), QStringLiteral("C")}));
}

void tst_setslist::deletingTheOnlySetLeavesNothingToOpen()
{
    m_db->sets().add(store::DictionarySet(QStringLiteral("唯一"),
                                          {m_files.make(QStringLiteral("only.dic"), QStringLiteral("only"))}));
    m_db->sets().choose(0);
    m_db->OpenDictionarySet();
    frmDictionarySetsList &l = list();
    l.cmdDelete->click();
    QCOMPARE(l.lstDicSets->count(), 0);
    QVERIFY(!l.cmdOpen->isEnabled() && !l.cmdEdit->isEnabled() && !l.cmdDelete->isEnabled());
    QVERIFY(l.cmdAdd->isEnabled());
    QVERIFY(m_prompter.texts().isEmpty());
    l.close();
    QCOMPARE(m_db->DictionarySetCount(), 0);
    QCOMPARE(m_db->OpenDictionarySetsIndex(), -1);
    QVERIFY(!m_db->dictionary(0));
    // The dictionary files of a deleted set stay.
    QVERIFY(QFile::exists(m_files.path(QStringLiteral("only.dic"))));
    QVERIFY(m_db->DictionarySetList()[0] == store::DictionarySet{});
}

void tst_setslist::deletingSelectsTheSetBefore()
{
    makeSets(0);
    frmDictionarySetsList &l = list();
    l.lstDicSets->setCurrentRow(2);
    l.cmdDelete->click();
    QCOMPARE(names(), (QStringList{QStringLiteral("A"), QStringLiteral("B")}));
    QCOMPARE(l.lstDicSets->currentRow(), 1);
    // Deleting the first selects the new first one.
    l.lstDicSets->setCurrentRow(0);
    l.cmdDelete->click();
    QCOMPARE(names(), QStringList{QStringLiteral("B")});
    QCOMPARE(l.lstDicSets->currentRow(), 0);
    QCOMPARE(m_db->DictionarySetList()[0].fileName(0), m_files.path(QStringLiteral("B.dic")));
    QVERIFY(m_db->DictionarySetList()[1].name().isEmpty());
}

void tst_setslist::movingTheOpenSetKeepsItOpen()
{
    makeSets(0);
    frmDictionarySetsList &l = list();
    l.cmdUp->click(); // the first goes nowhere
    QCOMPARE(names().first(), QStringLiteral("A"));
    l.cmdDown->click();
    l.cmdDown->click();
    QCOMPARE(names(), (QStringList{QStringLiteral("B"), QStringLiteral("C"), QStringLiteral("A")}));
    QCOMPARE(l.lstDicSets->currentRow(), 2);
    l.cmdDown->click(); // the last goes nowhere
    QCOMPARE(names().last(), QStringLiteral("A"));
    l.cmdUp->click();
    QCOMPARE(names(), (QStringList{QStringLiteral("B"), QStringLiteral("A"), QStringLiteral("C")}));
    l.cmdOpen->click();
    QCOMPARE(m_db->OpenDictionarySetsIndex(), 1);
    QCOMPARE(openPath(), m_files.path(QStringLiteral("A.dic")));
    QCOMPARE(m_db->DictionarySetList()[1].name(), QStringLiteral("A"));
}

void tst_setslist::everyChangeIsOnDiskAtOnce()
{
    makeSets(0);
    frmDictionarySetsList &l = list();
    QVERIFY(namesOnDisk().isEmpty());
    // Right after the editor's OK, before the list closes: a kill now would lose nothing.
    l.lstDicSets->setCurrentRow(1);
    test::onModal<frmDictionarySets>([](frmDictionarySets *editor) {
        editor->txtDicSetsName->setText(QStringLiteral("仕事"));
        editor->cmdOK->click();
    });
    l.cmdEdit->click();
    QCOMPARE(namesOnDisk(), (QStringList{QStringLiteral("A"), QStringLiteral("仕事"), QStringLiteral("C")}));
    l.cmdDown->click();
    QCOMPARE(namesOnDisk(), (QStringList{QStringLiteral("A"), QStringLiteral("C"), QStringLiteral("仕事")}));
    l.cmdDelete->click();
    QCOMPARE(namesOnDisk(), (QStringList{QStringLiteral("A"), QStringLiteral("C")}));
    // Closing writes the set that is then current.
    l.lstDicSets->setCurrentRow(1);
    l.cmdOpen->click();
    QCOMPARE(store::readDictionarySetsFile(m_db->setFilePath()).table.OpenDictionarySetsIndex, qint16(1));
}

void tst_setslist::theListTakesTheFocusBackFromTheEditor()
{
    makeSets(0);
    frmDictionarySetsList &l = list();
    l.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&l));
    test::onModal<frmDictionarySets>([](frmDictionarySets *editor) {
        QVERIFY(QTest::qWaitForWindowActive(editor));
        editor->txtDicSetsName->setText(QStringLiteral("捨てる名前"));
        editor->cmdCancel->click();
    });
    l.cmdEdit->click();
    QTRY_COMPARE(QApplication::activeWindow(), &l);
    QTRY_COMPARE(QApplication::focusWidget(), l.lstDicSets);
    QCOMPARE(names(), (QStringList{QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")}));
}

QTEST_MAIN(tst_setslist)
#include "tst_setslist.moc"
