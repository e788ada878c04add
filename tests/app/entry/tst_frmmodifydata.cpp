#include "tests/app/main/fixture.h"

#include "app/common/storemessages.h"
#include "app/common/oleprocedures.h"
#include "app/entry/frmmodifydata.h"
#include "app/entry/frmnewdata.h"
#include "app/main/entrywindows.h"
#include "app/main/maincommands.h"
#include "app/main/mdimain.h"
#include "app/viewers/viewerwindow.h"
#include "controls/dialogs/commondialogs.h"
#include "platform/desktop/printservice.h"
#include "platform/objects/objectcontainer.h"
#include "platform/rtf/rtf.h"

#include <QAction>
#include <QComboBox>
#include <QFont>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMdiArea>
#include <QMenu>
#include <QScopeGuard>
#include <QTest>

#include "tests/common/pdftotext.h"

#include <sqlite3.h>

#include <memory>

using namespace qm;
using app::frmModifyData;
using app::frmNewData;
using desktop::Prompter;
using test::visible;

namespace {

void typeKeyword(app::EntryEditorWindow &w, const QString &keyword)
{
    QInputMethodEvent event;
    event.setCommitString(keyword);
    QApplication::sendEvent(w.txtIndex, &event);
    QTest::keyClick(w.txtIndex, Qt::Key_Return);
}

void selectKeyword(app::EntryEditorWindow &w, const QString &keyword)
{
    w.lstIndex->clearSelection();
    w.lstIndex->findItems(keyword, Qt::MatchExactly).constFirst()->setSelected(true);
}

// Fails the statements the trigger names inside the dictionary's connection, as a full disk or
// an I/O error would; the file's own schema is untouched.
void failWrites(store::Dictionary &d, const char *trigger)
{
    d.database().exec(trigger);
}

} // namespace

// The modification window, driven through the main window as the user reaches it: a viewer is
// open, Ctrl+R loads its entry.
class tst_frmModifyData : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void loadsTheEntryOfTheActiveViewer();
    void everyTextBodyLoadsAndIsKeptAsStored_data();
    void everyTextBodyLoadsAndIsKeptAsStored();
    void keywordWritesLiveInTheSession();
    void typeChangeIsStoredAndReopensTheViewer();
    void plainTextOutsideCp932AsRichText();
    void deleteRemovesEntryAndKeywords();
    void engineErrorsKeepTheWindowAndTheEdit();
    void copyCarriesEditedTextAndStoredObject();
    void moveLeavesOnlyWhenRegistered();
    void entryHeldByAnotherProgram();
    void fontsOfTheOptionsReachEveryEdit();
    void bodyPrintsAsWritten();
    void typeListShownWholeInANarrowWindow();

private:
    frmModifyData *modify(qint16 slot, qint32 number);
    store::Dictionary &dic(int slot) { return *m_database->dictionary(slot); }

    std::unique_ptr<test::ProgramFixture> m_fx;
    std::unique_ptr<store::DatabaseModule> m_database;
    std::unique_ptr<store::Settings> m_settings;
    std::unique_ptr<app::mdiMain> m_main;
    qint32 m_text = 0;
    qint32 m_object = 0;
};

void tst_frmModifyData::init()
{
    m_fx = std::make_unique<test::ProgramFixture>();
    objects::ObjectContainer source;
    const QString sheet = m_fx->path(QStringLiteral("sheet.csv"));
    QFile f(sheet);
    QVERIFY(f.open(QIODevice::WriteOnly) && f.write("a,b\n1,2\n") == 8);
    f.close();
    QVERIFY(source.createEmbedFromFile(sheet));
    const QByteArray image = app::SaveOleObject(source, m_fx->path(QStringLiteral("made.ole")));
    const QString first = m_fx->dictionary(
        QStringLiteral("A.dic"), QStringLiteral("辞書A"),
        {{QStringLiteral("本文の見出し"), 1, text::cp932::encode(QStringLiteral("元の本文")).bytes,
          {QStringLiteral("りんご"), QStringLiteral("apple")}},
         {QStringLiteral("表"), 5, image, {QStringLiteral("表計算")}}});
    const QString second = m_fx->dictionary(QStringLiteral("B.dic"), QStringLiteral("辞書B"), {});
    m_fx->writeSet({first, second});
    m_database = std::make_unique<store::DatabaseModule>(qm::app::storeHost(m_fx->prompter), m_fx->dir.path());
    m_settings = std::make_unique<store::Settings>();
    m_main = std::make_unique<app::mdiMain>(*m_database, *m_settings, m_fx->prompter);
    app::installEntryWindows(*m_main, *m_database, *m_settings, m_fx->prompter);
    m_main->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_main.get()));
    m_text = 1;
    m_object = 2;
    m_fx->prompter.clear();
}

void tst_frmModifyData::cleanup()
{
    for (QWidget *w : QApplication::topLevelWidgets())
        if (auto *f = qobject_cast<frmNewData *>(w)) {
            m_fx->prompter.queueAnswer(Prompter::Answer::No);
            f->close();
        }
    m_main.reset();
    m_database.reset();
    m_settings.reset();
    m_fx.reset();
}

// The body editor prints the edited text, its kanji readable from the PDF.
void tst_frmModifyData::bodyPrintsAsWritten()
{
    if (!test::havePdfToText())
        QSKIP("pdftotext is not installed");
    frmModifyData *w = modify(0, m_text);
    QVERIFY(w);
    w->TextBox->setProperty("Text", QStringLiteral("赤い大きな本と黒い犬"));
    desktop::ScriptedPrintService printer(m_fx->path(QStringLiteral("body.pdf")));
    corvane::CommonDialogs::setPrintService(&printer);
    const auto uninstall = qScopeGuard([] { corvane::CommonDialogs::setPrintService(nullptr); });
    QAction *print = w->TextBox->findChild<QAction *>(QStringLiteral("btnPrint"));
    QVERIFY(print);
    print->trigger();
    QCOMPARE(test::pdfTextWithoutSpace(m_fx->path(QStringLiteral("body.pdf"))), QStringLiteral("赤い大きな本と黒い犬"));
}

// At 700 pixels the type's list keeps its whole width inside the window, clear of its caption.
void tst_frmModifyData::typeListShownWholeInANarrowWindow()
{
    frmModifyData *w = modify(0, m_text);
    QVERIFY(w);
    QWidget *frame = w->parentWidget() ? w->parentWidget() : w;
    frame->resize(700, frame->height());
    QTRY_COMPARE(w->width() <= 700, true);
    QApplication::processEvents();
    const QRect list = w->cboViewer->geometry();
    QVERIFY2(list.width() >= w->cboViewer->sizeHint().width(), qPrintable(QString::number(list.width())));
    QVERIFY2(list.right() < w->cboViewer->parentWidget()->width(), qPrintable(QStringLiteral("%1 of %2").arg(list.right()).arg(w->cboViewer->parentWidget()->width())));
    QVERIFY(w->lblClassification->geometry().right() < list.left());
    QVERIFY(w->lblDictionary->geometry().right() < w->lblClassification->geometry().left());
}

// Opens the entry in a viewer and gives the main window's Modify command.
frmModifyData *tst_frmModifyData::modify(qint16 slot, qint32 number)
{
    m_main->ShowDocument(slot, number);
    m_main->commands()->refreshEditMenu();
    QAction *command = m_main->commands()->action(QStringLiteral("mnuEditModify"));
    if (!command->isEnabled())
        return nullptr;
    command->trigger();
    return visible<frmModifyData>("frmModifyData");
}

void tst_frmModifyData::loadsTheEntryOfTheActiveViewer()
{
    frmModifyData *w = modify(0, m_text);
    QVERIFY(w);
    QCOMPARE(w->windowTitle(), QStringLiteral("Quillmere - データ修正"));
    QCOMPARE(w->lblDictionary->text(), QStringLiteral("① 辞書A"));
    // The type box is wide enough for its longest type and its drop-down button.
    for (int i = 0; i < w->cboViewer->count(); ++i)
        QVERIFY2(w->cboViewer->width() >= w->cboViewer->sizeHint().width()
                     && w->cboViewer->fontMetrics().horizontalAdvance(w->cboViewer->itemText(i)) < w->cboViewer->width(),
                 qPrintable(w->cboViewer->itemText(i)));
    QCOMPARE(w->txtHeading->text(), QStringLiteral("本文の見出し"));
    QCOMPARE(w->lstIndex->count(), 2);
    QCOMPARE(w->selectedViewer(), std::optional(store::Viewer::Text));
    QCOMPARE(w->TextBox->property("Text").toString(), QStringLiteral("元の本文"));
    QVERIFY(!w->IsEdited());
    QVERIFY(m_main->IsEditorOpen());
    // The body label's accelerator leads to the control inside the editor that takes the focus.
    const QWidget *buddy = w->lblDocument->buddy();
    QVERIFY(buddy && w->TextBox->isAncestorOf(buddy) && buddy->focusPolicy() != Qt::NoFocus);
    m_main->commands()->refreshEditMenu();
    QVERIFY(!m_main->commands()->action(QStringLiteral("mnuEditModify"))->isEnabled());

    // The type item of the current type is the one disabled.
    Q_EMIT w->mnuEdit->aboutToShow();
    QVERIFY(!w->mnuEditChangeText->isEnabled());
    QVERIFY(w->mnuEditChangeRichText->isEnabled() && w->mnuEditChangeOLE->isEnabled());

    // Closing an unedited entry asks nothing and puts a new viewer in place of the active one.
    const QString oldTag = m_main->activeViewer()->Tag;
    w->mnuFileClose->trigger();
    QVERIFY(m_fx->prompter.texts().isEmpty());
    QVERIFY(!w->isVisible());
    QCOMPARE(m_main->viewers().size(), 1);
    QVERIFY(m_main->activeViewer()->Tag != oldTag);
    QVERIFY(!m_main->IsEditorOpen());

    // Number 0 and numbers without a row.
    QVERIFY(!m_main->windows.modifyEntry(0, 0));
    QVERIFY(m_fx->prompter.texts().isEmpty());
    QVERIFY(!m_main->windows.modifyEntry(0, 99));
    QCOMPARE(m_fx->prompter.texts(), QStringList{QStringLiteral("このデータは削除されました")});
    QVERIFY(!w->isVisible());

    // Without any viewer open, finishing still shows the entry.
    m_main->mdiArea()->closeAllSubWindows();
    QVERIFY(m_main->windows.modifyEntry(0, m_text));
    w->mnuFileClose->trigger();
    QCOMPARE(m_main->viewers().size(), 1);
}

// Each kind of text body reaches its editor as stored and unedited, and an update keeps it: text
// that looks like RTF stays text outside the rich-text editor.
void tst_frmModifyData::everyTextBodyLoadsAndIsKeptAsStored_data()
{
    QTest::addColumn<int>("viewer");
    QTest::addColumn<QString>("body");
    QTest::addColumn<QString>("shown");
    const QString rtfLike = QStringLiteral("{\\rtf1 {\\b 太字} でない}");
    const QString page = QStringLiteral("<html><title>題</title>{\\rtf1 x}</html>");
    QTest::newRow("text") << 1 << rtfLike << rtfLike;
    QTest::newRow("rich") << 2 << QStringLiteral("{\\rtf1\\ansi {\\b bold} plain}") << QStringLiteral("bold plain");
    QTest::newRow("url") << 3 << QStringLiteral("http://example.org/{\\rtf}") << QStringLiteral("http://example.org/{\\rtf}");
    QTest::newRow("html") << 4 << page << page;
}

void tst_frmModifyData::everyTextBodyLoadsAndIsKeptAsStored()
{
    QFETCH(int, viewer);
    QFETCH(QString, body);
    QFETCH(QString, shown);
    store::Entry entry;
    entry.Viewer = quint8(viewer);
    entry.Heading = QStringLiteral("本文の種類");
    entry.Document = text::cp932::encode(body).bytes;
    entry.RenewalDate = QDateTime(QDate(2001, 2, 3), QTime(4, 5));
    const qint32 number = dic(0).addEntry(entry, {QStringLiteral("種類")});
    QVERIFY(m_main->windows.modifyEntry(0, number));
    auto *w = visible<frmModifyData>("frmModifyData");
    QVERIFY(w);
    QCOMPARE(w->selectedViewer(), store::viewerFromCode(viewer));
    QCOMPARE(w->bodyEditor(*w->selectedViewer())->property("Text").toString(), shown);
    QVERIFY(!w->IsEdited());

    w->mnuFileRenew->trigger();
    QVERIFY2(m_fx->prompter.texts().isEmpty(), qPrintable(m_fx->prompter.texts().join(u'|')));
    const QByteArray stored = dic(0).document(number)->Document;
    if (viewer == 2)
        QCOMPARE(rtf::rtfToPlainText(QString::fromLatin1(stored)), rtf::rtfToPlainText(body));
    else
        QCOMPARE(stored, entry.Document);
}

void tst_frmModifyData::keywordWritesLiveInTheSession()
{
    frmModifyData *w = modify(0, m_text);
    QVERIFY(w);
    typeKeyword(*w, QStringLiteral("林檎"));
    QVERIFY(w->IsEdited());
    // Written at once, inside the edit: the main window's lookups already see it.
    QCOMPARE(dic(0).keywords(m_text).size(), 3);

    m_fx->prompter.queueAnswer(Prompter::Answer::Yes);
    w->mnuFileNullify->trigger();
    QCOMPARE(m_fx->prompter.messages().last().text, QStringLiteral("編集データを破棄してもよろしいですか"));
    QCOMPARE(m_fx->prompter.messages().last().defaultAnswer, Prompter::Answer::No);
    QVERIFY(!w->isVisible());
    QCOMPARE(dic(0).keywords(m_text), (QStringList{QStringLiteral("りんご"), QStringLiteral("apple")}));

    // Deleting a keyword, then closing without saving, keeps it.
    w = modify(0, m_text);
    selectKeyword(*w, QStringLiteral("apple"));
    QTest::keyClick(w->lstIndex, Qt::Key_Delete);
    QCOMPARE(w->lstIndex->count(), 1);
    QCOMPARE(dic(0).keywords(m_text), QStringList{QStringLiteral("りんご")});
    m_fx->prompter.clear();
    m_fx->prompter.queueAnswer(Prompter::Answer::No);
    w->close();
    QCOMPARE(m_fx->prompter.texts(), QStringList{QStringLiteral("編集データを保存しますか")});
    QVERIFY(!w->isVisible());
    QCOMPARE(dic(0).keywords(m_text), (QStringList{QStringLiteral("りんご"), QStringLiteral("apple")}));

    // Cancel keeps the window and the pending change; Yes stores it.
    w = modify(0, m_text);
    selectKeyword(*w, QStringLiteral("apple"));
    w->mnuEditKeyWordDelete->trigger();
    m_fx->prompter.queueAnswer(Prompter::Answer::Cancel);
    w->close();
    QVERIFY(w->isVisible());
    m_fx->prompter.queueAnswer(Prompter::Answer::Yes);
    w->close();
    QVERIFY(!w->isVisible());
    QCOMPARE(dic(0).keywords(m_text), QStringList{QStringLiteral("りんご")});
}

void tst_frmModifyData::typeChangeIsStoredAndReopensTheViewer()
{
    frmModifyData *w = modify(0, m_text);
    QVERIFY(w);
    m_fx->prompter.queueAnswer(Prompter::Answer::No);
    w->mnuEditChangeRichText->trigger();
    QCOMPARE(w->selectedViewer(), std::optional(store::Viewer::Text));
    QCOMPARE(m_fx->prompter.messages().last().text, QStringLiteral("種類を変更すると，本文が消去されますがよろしいですか"));

    m_fx->prompter.queueAnswer(Prompter::Answer::Yes);
    w->mnuEditChangeRichText->trigger();
    QCOMPARE(w->selectedViewer(), std::optional(store::Viewer::RichText));
    QVERIFY(w->RTFBox->isVisible());
    QVERIFY(w->TextBox->property("Text").toString().isEmpty());
    // Nothing reaches the dictionary before the update; an empty body is refused by it.
    QCOMPARE(dic(0).document(m_text)->Viewer, quint8(1));
    m_fx->prompter.clear();
    w->mnuFileRenew->trigger();
    QCOMPARE(m_fx->prompter.texts(), QStringList{QStringLiteral("本文がありません")});
    QVERIFY(w->isVisible());

    w->RTFBox->setProperty("Text", QStringLiteral("新しい本文"));
    w->txtHeading->setText(QStringLiteral("新しい見出し"));
    m_fx->prompter.queueAnswer(Prompter::Answer::Yes);
    w->close();
    QVERIFY(!w->isVisible());
    const std::optional<store::Entry> stored = dic(0).document(m_text);
    QCOMPARE(stored->Viewer, quint8(2));
    QCOMPARE(stored->Heading, QStringLiteral("新しい見出し"));
    QVERIFY(stored->Document.startsWith("{\\rtf"));
    QVERIFY(stored->RenewalDate.date() == QDate::currentDate());
    QCOMPARE(m_main->viewers().size(), 1);
    QCOMPARE(m_main->activeViewer()->objectName(), QStringLiteral("mdiRichTextBox"));
}

// A plain-text body that CP932 cannot hold is offered as rich text: declined, nothing is
// written; accepted, the entry becomes rich text with every character.
void tst_frmModifyData::plainTextOutsideCp932AsRichText()
{
    frmModifyData *w = modify(0, m_text);
    QVERIFY(w);
    const QString body = QStringLiteral("café 😀");
    w->findChild<QWidget *>(QStringLiteral("TextBox"))->setProperty("Text", body);
    m_fx->prompter.queueAnswer(Prompter::Answer::No);
    w->mnuFileRenew->trigger();
    QVERIFY2(m_fx->prompter.texts().last().contains(QStringLiteral("リッチテキストとして保存しますか")),
             qPrintable(m_fx->prompter.texts().join(u'|')));
    QCOMPARE(dic(0).document(m_text)->Viewer, quint8(1));
    QCOMPARE(w->findChild<QWidget *>(QStringLiteral("TextBox"))->property("Text").toString(), body);

    m_fx->prompter.queueAnswer(Prompter::Answer::Yes);
    w->mnuFileRenew->trigger();
    const std::optional<store::Entry> stored = dic(0).document(m_text);
    QCOMPARE(stored->Viewer, quint8(2));
    QCOMPARE(rtf::rtfToPlainText(QString::fromLatin1(stored->Document)), body);
}

void tst_frmModifyData::deleteRemovesEntryAndKeywords()
{
    frmModifyData *w = modify(0, m_text);
    QVERIFY(w);
    m_fx->prompter.queueAnswer(Prompter::Answer::No);
    w->mnuFileDelete->trigger();
    QVERIFY(w->isVisible());
    QCOMPARE(m_fx->prompter.messages().last().defaultAnswer, Prompter::Answer::Yes);
    m_fx->prompter.queueAnswer(Prompter::Answer::Yes);
    w->mnuFileDelete->trigger();
    QVERIFY(!w->isVisible());
    QVERIFY(!dic(0).document(m_text));
    QVERIFY(dic(0).keywords(m_text).isEmpty());
    QCOMPARE(dic(0).indexRowCount(), 1);
    // The viewer of the deleted entry stays; modifying it again says what happened.
    QCOMPARE(m_main->viewers().size(), 1);
    m_fx->prompter.clear();
    m_main->commands()->action(QStringLiteral("mnuEditModify"))->trigger();
    QCOMPARE(m_fx->prompter.texts(), QStringList{QStringLiteral("このデータは削除されました")});
    QVERIFY(!w->isVisible());
}

void tst_frmModifyData::engineErrorsKeepTheWindowAndTheEdit()
{
    frmModifyData *w = modify(0, m_text);
    QVERIFY(w);
    failWrites(dic(0), "CREATE TEMP TRIGGER failKeyword BEFORE INSERT ON main.\"Index\" "
                       "WHEN NEW.\"Index\" = 'boom' BEGIN SELECT RAISE(ABORT, 'disk I/O error'); END");
    typeKeyword(*w, QStringLiteral("ok"));
    typeKeyword(*w, QStringLiteral("boom"));
    QVERIFY(m_fx->prompter.texts().last().startsWith(QStringLiteral("キーワードを追加できませんでした。")));
    QVERIFY(w->isVisible());
    QCOMPARE(w->lstIndex->count(), 3);
    // The edit's writes were rolled back...
    QCOMPARE(dic(0).keywords(m_text).size(), 2);

    // ...and an update stores what the window shows, once the engine lets it.
    w->txtHeading->setText(QStringLiteral("直した見出し"));
    failWrites(dic(0), "CREATE TEMP TRIGGER failUpdate BEFORE UPDATE ON main.Document "
                       "BEGIN SELECT RAISE(ABORT, 'disk I/O error'); END");
    m_fx->prompter.clear();
    w->mnuFileRenew->trigger();
    QVERIFY(m_fx->prompter.texts().constFirst().startsWith(QStringLiteral("データを更新できませんでした。")));
    QVERIFY(w->isVisible());
    QCOMPARE(dic(0).document(m_text)->Heading, QStringLiteral("本文の見出し"));
    QCOMPARE(dic(0).keywords(m_text).size(), 2);

    dic(0).database().exec("DROP TRIGGER temp.failUpdate");
    w->mnuFileRenew->trigger();
    QVERIFY(!w->isVisible());
    QCOMPARE(dic(0).document(m_text)->Heading, QStringLiteral("直した見出し"));
    QCOMPARE(dic(0).keywords(m_text), (QStringList{QStringLiteral("りんご"), QStringLiteral("apple"), QStringLiteral("ok")}));
}

void tst_frmModifyData::copyCarriesEditedTextAndStoredObject()
{
    frmModifyData *w = modify(0, m_text);
    QVERIFY(w);
    typeKeyword(*w, QStringLiteral("追加"));
    w->TextBox->setProperty("Text", QStringLiteral("直した本文"));
    m_fx->prompter.queueAnswer(Prompter::Answer::Yes);
    w->mnuEditCopyDic->trigger();
    QCOMPARE(m_fx->prompter.messages().last().text,
             QStringLiteral("データをコピーして新規登録モードに移行します。\n登録する辞書を選んで登録を行ってください"));
    QVERIFY(!w->isVisible());
    frmNewData *form = visible<frmNewData>("frmNewData");
    QVERIFY(form);
    QCOMPARE(form->lstIndex->count(), 3);
    QCOMPARE(form->txtHeading->text(), QStringLiteral("本文の見出し"));
    QCOMPARE(form->TextBox->property("Text").toString(), QStringLiteral("直した本文"));
    // The source is untouched by a copy.
    QCOMPARE(dic(0).keywords(m_text).size(), 2);
    form->cboDictionary->setCurrentIndex(1);
    QVERIFY(form->RegisterEntry());
    QCOMPARE(dic(1).documentRowCount(), 1);
    QCOMPARE(dic(0).documentRowCount(), 2);
    m_fx->prompter.queueAnswer(Prompter::Answer::No);
    form->close();

    // An object entry hands over the object as stored.
    w = modify(0, m_object);
    QVERIFY(w);
    QCOMPARE(w->oleOLEContainer->objectType(), objects::ObjectContainer::ObjectType::Embedded);
    QVERIFY(QFile::exists(frmModifyData::objectFilePath(0, m_object)));
    // Even when an update of an edited object failed after writing the temporary file.
    const QString other = m_fx->path(QStringLiteral("other.txt"));
    QFile o(other);
    QVERIFY(o.open(QIODevice::WriteOnly) && o.write("other") == 5);
    o.close();
    QVERIFY(w->oleOLEContainer->createEmbedFromFile(other));
    failWrites(dic(0), "CREATE TEMP TRIGGER failUpdate BEFORE UPDATE ON main.Document "
                       "BEGIN SELECT RAISE(ABORT, 'disk I/O error'); END");
    w->mnuFileRenew->trigger();
    QVERIFY(w->isVisible());
    m_fx->prompter.queueAnswer(Prompter::Answer::Yes);
    w->mnuEditCopyDic->trigger();
    form = visible<frmNewData>("frmNewData");
    QVERIFY(form);
    QCOMPARE(form->selectedViewer(), std::optional(store::Viewer::Ole));
    QCOMPARE(form->oleOLEContainer->objectType(), objects::ObjectContainer::ObjectType::Embedded);
    form->cboDictionary->setCurrentIndex(1);
    QVERIFY(form->RegisterEntry());
    QCOMPARE(dic(1).document(2)->Document, dic(0).document(m_object)->Document);
}

void tst_frmModifyData::moveLeavesOnlyWhenRegistered()
{
    // Abandoned: the entry stays, unchanged, with its keywords.
    frmModifyData *w = modify(0, m_text);
    QVERIFY(w);
    typeKeyword(*w, QStringLiteral("追加"));
    m_fx->prompter.queueAnswer(Prompter::Answer::Yes);
    w->mnuEditMoveDic->trigger();
    QCOMPARE(m_fx->prompter.messages().last().text,
             QStringLiteral("データを移動するため新規登録モードに移行します。\n登録する辞書を選んで登録を行ってください"));
    frmNewData *form = visible<frmNewData>("frmNewData");
    QVERIFY(form);
    QCOMPARE(form->lstIndex->count(), 3);
    m_fx->prompter.clear();
    m_fx->prompter.queueAnswer(Prompter::Answer::No);
    form->close();
    QCOMPARE(m_fx->prompter.texts().last(), QStringLiteral("データの移動を取り消しました。データは元の辞書に残っています。"));
    QCOMPARE(dic(0).keywords(m_text), (QStringList{QStringLiteral("りんご"), QStringLiteral("apple")}));
    QCOMPARE(dic(0).document(m_text)->Heading, QStringLiteral("本文の見出し"));
    QCOMPARE(dic(1).documentRowCount(), 0);

    // Registered: it is in the target only. Later registrations in the window move nothing more.
    w = modify(0, m_text);
    m_fx->prompter.queueAnswer(Prompter::Answer::Yes);
    w->mnuEditMoveDic->trigger();
    form = visible<frmNewData>("frmNewData");
    QVERIFY(form);
    // Into its own dictionary it is refused: nothing changes, and the window keeps the input.
    m_fx->prompter.clear();
    form->cboDictionary->setCurrentIndex(0);
    QVERIFY(!form->RegisterEntry());
    QCOMPARE(m_fx->prompter.messages().size(), 1);
    QCOMPARE(m_fx->prompter.messages().at(0).text,
             QStringLiteral("このデータは選ばれた辞書にすでにあります。\n移動先には別の辞書を選んでください。"));
    QCOMPARE(m_fx->prompter.messages().at(0).icon, Prompter::Icon::Warning);
    QCOMPARE(dic(0).documentRowCount(), 2);
    QCOMPARE(dic(0).keywords(m_text), (QStringList{QStringLiteral("りんご"), QStringLiteral("apple")}));
    QCOMPARE(form->lstIndex->count(), 2);
    form->cboDictionary->setCurrentIndex(1);
    QVERIFY(form->RegisterEntry());
    QVERIFY(!dic(0).document(m_text));
    QCOMPARE(dic(0).indexRowCount(), 1);
    QCOMPARE(dic(1).documentRowCount(), 1);
    QCOMPARE(dic(1).keywords(1), (QStringList{QStringLiteral("りんご"), QStringLiteral("apple")}));
    QCOMPARE(text::cp932::decode(dic(1).document(1)->Document), QStringLiteral("元の本文"));
    m_fx->prompter.clear();
    m_fx->prompter.queueAnswer(Prompter::Answer::No);
    form->close();
    QVERIFY(!m_fx->prompter.texts().join(QLatin1Char(' ')).contains(QStringLiteral("取り消し")));
    QCOMPARE(dic(0).documentRowCount(), 1);
}

void tst_frmModifyData::entryHeldByAnotherProgram()
{
    // Another program in the middle of a write holds the dictionary.
    sqlite3 *other = nullptr;
    QCOMPARE(sqlite3_open(QFile::encodeName(dic(0).path()).constData(), &other), SQLITE_OK);
    const auto closeOther = qScopeGuard([other] { sqlite3_close(other); });
    QCOMPARE(sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
    QVERIFY(!modify(0, m_text));
    QCOMPARE(m_fx->prompter.messages().size(), 1);
    QCOMPARE(m_fx->prompter.messages().at(0).text,
             QStringLiteral("このデータはほかのプログラムが使用中のため修正できません。\nしばらくしてからやり直してください。"));
    QCOMPARE(m_fx->prompter.messages().at(0).icon, Prompter::Icon::Warning);

    // Once it is done, the entry can be modified.
    QCOMPARE(sqlite3_exec(other, "COMMIT", nullptr, nullptr, nullptr), SQLITE_OK);
    QVERIFY(modify(0, m_text));
}

void tst_frmModifyData::fontsOfTheOptionsReachEveryEdit()
{
    const auto fontSize = [](const QWidget *editor) { return editor->property("Font").value<QFont>().pointSizeF(); };
    frmModifyData *w = modify(0, m_text);
    QVERIFY(w);
    w->mnuFileClose->trigger();

    // The options change while the window is kept hidden; the next edit has the new fonts, the
    // rich-text ones as well, which the editor's Clear would otherwise put back.
    store::SharedOptions &options = m_main->options();
    options.EditorFontSizes = {21, 17, 13};
    options.EditorFontNames[1] = QStringLiteral("Noto Serif CJK JP");
    QVERIFY(m_main->windows.modifyEntry(0, m_text));
    QCOMPARE(fontSize(w->TextBox), 21.0);
    QCOMPARE(fontSize(w->HTMLBox), 13.0);
    QCOMPARE(w->RTFBox->property("SelFontSize").toFloat(), 17.0f);
    QCOMPARE(w->RTFBox->property("SelFontName").toString(), QStringLiteral("Noto Serif CJK JP"));
    QVERIFY(!w->IsEdited());

    // So after a change of type, which clears the editors.
    m_fx->prompter.queueAnswer(Prompter::Answer::Yes);
    w->mnuEditChangeRichText->trigger();
    QCOMPARE(w->RTFBox->property("SelFontSize").toFloat(), 17.0f);
    QCOMPARE(w->RTFBox->property("SelFontName").toString(), QStringLiteral("Noto Serif CJK JP"));
}

QTEST_MAIN(tst_frmModifyData)
#include "tst_frmmodifydata.moc"
