#include "tests/app/main/fixture.h"

#include "app/common/storemessages.h"
#include "app/common/listprocedures.h"
#include "app/entry/editormembers.h"
#include "app/entry/frmnewdata.h"
#include "app/store/sets/databasemodule.h"
#include "controls/registry.h"
#include "platform/desktop/twips.h"
#include "platform/objects/filechooser.h"
#include "platform/objects/objectcontainer.h"
#include "platform/rtf/rtf.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QTest>

#include <sqlite3.h>

#include <memory>

#include <unistd.h>

using namespace qm;
using app::frmNewData;
using desktop::Prompter;
using desktop::Twips;

namespace {

// Types text the way an input method delivers it: one committed string.
void commitText(QWidget *widget, const QString &text)
{
    QInputMethodEvent event;
    event.setCommitString(text);
    QApplication::sendEvent(widget, &event);
}

void pressEnter(QWidget *widget)
{
    QTest::keyClick(widget, Qt::Key_Return);
}

void addKeywords(frmNewData &w, const QStringList &keywords)
{
    for (const QString &k : keywords) {
        commitText(w.txtIndex, k);
        pressEnter(w.txtIndex);
    }
}

// Writes a file and returns its path.
QString writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

bool registered(const char *className)
{
    return corvane::Registry::contains(QString::fromLatin1(className));
}

} // namespace

class tst_frmNewData : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void checksInOrder();
    void registersAndIsFoundAtOnce();
    void keywordEntryRules();
    void japaneseKeywordsStoredAsTyped();
    void deletingKeywordsAndEditMenu();
    void bodyCharactersOutsideCp932();
    void plainTextOutsideCp932AsRichText();
    void failedWriteKeepsInputAndLeavesNothing();
    void emptyDictionarySet();
    void droppedFiles();
    void unreadableDroppedFiles();
    void placeholderEditorReadsEmptyAndRefuses();
    void discardAndCloseQuestions();
    void splitterAndLayout();
    void placementAndSplitterAreStored();
    void bodyEditorKeepsTheTabKey();
    void objectPopupMenu();
    void richTextFontSurvivesClearing();

private:
    std::unique_ptr<frmNewData> makeWindow();
    QString m_dicPath;
    std::unique_ptr<test::ProgramFixture> m_fixture;
    std::unique_ptr<store::DatabaseModule> m_database;
    std::unique_ptr<store::Settings> m_settings;
};

void tst_frmNewData::init()
{
    m_fixture = std::make_unique<test::ProgramFixture>();
    m_dicPath = m_fixture->dictionary(QStringLiteral("First.dic"), QStringLiteral("一つ目"), {});
    const QString second = m_fixture->dictionary(QStringLiteral("Second.dic"), QStringLiteral("二つ目"), {});
    m_fixture->writeSet({m_dicPath, second});
    m_database = std::make_unique<store::DatabaseModule>(qm::app::storeHost(m_fixture->prompter), m_fixture->dir.path());
    m_database->LoadDictionarySets();
    m_database->OpenDictionarySet();
    m_settings = std::make_unique<store::Settings>();
    m_fixture->prompter.clear();
}

void tst_frmNewData::cleanup()
{
    m_database.reset();
    m_settings.reset();
    m_fixture.reset();
}

std::unique_ptr<frmNewData> tst_frmNewData::makeWindow()
{
    auto w = std::make_unique<frmNewData>(*m_database, *m_settings, m_fixture->prompter);
    w->show();
    return w;
}

void tst_frmNewData::checksInOrder()
{
    auto w = makeWindow();
    auto &prompter = m_fixture->prompter;
    QCOMPARE(w->cboDictionary->count(), 2);
    QCOMPARE(w->cboDictionary->itemText(0), QStringLiteral("① 一つ目"));
    QCOMPARE(w->cboDictionary->itemText(1), QStringLiteral("② 二つ目"));
    QCOMPARE(w->cboViewer->currentText(), QStringLiteral("ﾃｷｽﾄ"));

    // Keywords are checked first, even when heading and body are missing too.
    QVERIFY(!w->RegisterEntry());
    QCOMPARE(prompter.texts(), QStringList{QStringLiteral("キーワードがありません")});
    addKeywords(*w, {QStringLiteral("k")});
    prompter.clear();
    QVERIFY(!w->RegisterEntry());
    QCOMPARE(prompter.texts(), QStringList{QStringLiteral("見出しがありません")});
    w->txtHeading->setText(QStringLiteral("h"));
    prompter.clear();
    QVERIFY(!w->RegisterEntry());
    QCOMPARE(prompter.texts(), QStringList{QStringLiteral("本文がありません")});

    // An object entry with nothing in the container has no body either.
    app::SelectItemByData(*w->cboViewer, 5);
    QVERIFY(w->oleOLEContainer->isVisible());
    prompter.clear();
    QVERIFY(!w->RegisterEntry());
    QCOMPARE(prompter.texts(), QStringList{QStringLiteral("本文がありません")});
    QCOMPARE(m_database->dictionary(0)->documentRowCount(), 0);
}

void tst_frmNewData::registersAndIsFoundAtOnce()
{
    auto w = makeWindow();
    w->cboDictionary->setCurrentIndex(1);
    addKeywords(*w, {QStringLiteral("abc"), QStringLiteral("りんご")});
    w->txtHeading->setText(QStringLiteral("見出し"));
    w->TextBox->setProperty("Text", QStringLiteral("本文です\r\n二行目"));
    w->mnuEditRegister->trigger();
    QVERIFY(m_fixture->prompter.texts().isEmpty());

    // Empty and ready for the next entry of the same dictionary and type.
    QCOMPARE(w->lstIndex->count(), 0);
    QVERIFY(w->txtHeading->text().isEmpty());
    QVERIFY(w->TextBox->property("Text").toString().isEmpty());
    QVERIFY(!w->IsEdited());
    QCOMPARE(w->cboDictionary->currentIndex(), 1);
    QCOMPARE(w->selectedViewer(), std::optional(store::Viewer::Text));

    QList<QPair<int, store::KeywordMatch>> found;
    m_database->search(store::SearchRequest::keyword(QStringLiteral("りんご*"), 100),
                       [&](const store::SlotMatch &m) { found.append({m.slot.index, m.match}); });
    QCOMPARE(found.size(), 1);
    QCOMPARE(found[0].first, 1);
    QCOMPARE(found[0].second.Heading, QStringLiteral("見出し"));
    const std::optional<store::Entry> entry = m_database->dictionary(1)->document(found[0].second.DocumentNumber);
    QVERIFY(entry);
    QCOMPARE(entry->Viewer, quint8(1));
    QCOMPARE(entry->Document, text::cp932::encode(QStringLiteral("本文です\r\n二行目")).bytes);
    QCOMPARE(m_database->dictionary(1)->keywords(entry->DocumentNumber),
             (QStringList{QStringLiteral("abc"), QStringLiteral("りんご")}));
}

void tst_frmNewData::keywordEntryRules()
{
    auto w = makeWindow();
    auto &prompter = m_fixture->prompter;

    // Enter in an empty box adds nothing.
    pressEnter(w->txtIndex);
    QCOMPARE(w->lstIndex->count(), 0);
    QVERIFY(!w->IsEdited());

    // A keyword that differs only in letter case is already there; the text stays to be fixed.
    QTest::keyClicks(w->txtIndex, QStringLiteral("abc"));
    pressEnter(w->txtIndex);
    QVERIFY(w->IsEdited());
    QTest::keyClicks(w->txtIndex, QStringLiteral("ABC"));
    pressEnter(w->txtIndex);
    QCOMPARE(prompter.texts(), QStringList{QStringLiteral("すでに登録されています")});
    QCOMPARE(w->lstIndex->count(), 1);
    QCOMPARE(w->txtIndex->text(), QStringLiteral("ABC"));
    w->txtIndex->clear();

    // The reserved characters never get in: not typed, not committed by an input method, not
    // pasted. Blanks are kept as typed.
    QTest::keyClicks(w->txtIndex, QStringLiteral("a[b]c\" "));
    QCOMPARE(w->txtIndex->text(), QStringLiteral("abc "));
    w->txtIndex->clear();
    commitText(w->txtIndex, QStringLiteral("「x[y]\"z」"));
    QCOMPARE(w->txtIndex->text(), QStringLiteral("「xyz」"));
    w->txtIndex->clear();
    w->txtIndex->insert(QStringLiteral("p\"q"));
    QCOMPARE(w->txtIndex->text(), QStringLiteral("pq"));
}

void tst_frmNewData::japaneseKeywordsStoredAsTyped()
{
    auto w = makeWindow();
    // Half-width and full-width forms are different keywords in the list (letter case only is
    // ignored there) and each is stored exactly as typed.
    const QStringList keywords{QStringLiteral("日本語"), QStringLiteral("ｶﾀｶﾅ"), QStringLiteral("カタカナ"),
                               QStringLiteral("ＡＢＣ"), QStringLiteral(" 前後に空白 ")};
    addKeywords(*w, keywords);
    QCOMPARE(w->lstIndex->count(), keywords.size());
    w->txtHeading->setText(QStringLiteral("日本語の見出し"));
    w->TextBox->setProperty("Text", QStringLiteral("本文"));
    QVERIFY(w->RegisterEntry());
    QList<qint32> numbers;
    m_database->search(store::SearchRequest::keyword(QStringLiteral("日本語"), 10),
                       [&](const store::SlotMatch &m) { numbers.append(m.match.DocumentNumber); });
    QCOMPARE(numbers.size(), 1);
    QCOMPARE(m_database->dictionary(0)->keywords(numbers[0]), keywords);
}

void tst_frmNewData::deletingKeywordsAndEditMenu()
{
    auto w = makeWindow();
    w->mnuEdit->popup(QPoint(0, 0));
    QVERIFY(!w->mnuEditKeyWordDelete->isEnabled());
    QVERIFY(!w->mnuEditAllSelect->isEnabled());
    w->mnuEdit->hide();

    addKeywords(*w, {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c"), QStringLiteral("d"),
                     QStringLiteral("e")});
    w->mnuEdit->popup(QPoint(0, 0));
    QVERIFY(w->mnuEditAllSelect->isEnabled());
    QVERIFY(!w->mnuEditKeyWordDelete->isEnabled());
    w->mnuEdit->hide();

    // Three scattered rows, Delete: all three go.
    for (int row : {0, 2, 4})
        w->lstIndex->item(row)->setSelected(true);
    w->lstIndex->setFocus();
    QTest::keyClick(w->lstIndex, Qt::Key_Delete);
    QCOMPARE(w->lstIndex->count(), 2);
    QCOMPARE(w->lstIndex->item(0)->text(), QStringLiteral("b"));
    QCOMPARE(w->lstIndex->item(1)->text(), QStringLiteral("d"));

    w->mnuEditAllSelect->trigger();
    QCOMPARE(w->lstIndex->selectedItems().size(), 2);
    w->mnuEdit->popup(QPoint(0, 0));
    QVERIFY(w->mnuEditKeyWordDelete->isEnabled());
    w->mnuEdit->hide();
    w->mnuEditKeyWordDelete->trigger();
    QCOMPARE(w->lstIndex->count(), 0);
}

void tst_frmNewData::bodyCharactersOutsideCp932()
{
    auto w = makeWindow();
    auto &prompter = m_fixture->prompter;
    addKeywords(*w, {QStringLiteral("k")});
    w->txtHeading->setText(QStringLiteral("絵文字 😀 は見出しに置ける"));

    // Plain text, when the offer of rich text is declined: refused before writing, naming the
    // characters, and nothing is lost.
    const QString body = QStringLiteral("丸😀と①と\u00e9と\u20ac");
    w->TextBox->setProperty("Text", body);
    prompter.queueAnswer(Prompter::Answer::No);
    QVERIFY(!w->RegisterEntry());
    QCOMPARE(prompter.messages().size(), 1);
    QVERIFY2(prompter.texts().constFirst().contains(QStringLiteral("😀")), qPrintable(prompter.texts().constFirst()));
    QVERIFY(prompter.texts().constFirst().contains(QStringLiteral("\u00e9")));
    QVERIFY(!prompter.texts().constFirst().contains(QStringLiteral("①")));
    QCOMPARE(w->TextBox->property("Text").toString(), body);
    QCOMPARE(w->lstIndex->count(), 1);
    QCOMPARE(m_database->dictionary(0)->documentRowCount(), 0);

    if (!registered("Corvane.TextBoxHTML"))
        QSKIP("Corvane.TextBoxHTML is not registered in the control library yet");
    // HTML keeps them as character references.
    prompter.clear();
    app::SelectItemByData(*w->cboViewer, 4);
    w->HTMLBox->setProperty("Text", QStringLiteral("<p>😀</p>"));
    QVERIFY(w->RegisterEntry());
    QVERIFY(prompter.texts().isEmpty());
    qint32 number = 0;
    m_database->search(store::SearchRequest::keyword(QStringLiteral("k"), 10),
                       [&](const store::SlotMatch &m) { number = m.match.DocumentNumber; });
    const QByteArray stored = m_database->dictionary(0)->document(number)->Document;
    QCOMPARE(stored, QByteArray("<p>&#128512;</p>"));
    QVERIFY(!stored.contains('?'));
}

// Accepted, the offer stores the plain text as rich text, every character kept.
void tst_frmNewData::plainTextOutsideCp932AsRichText()
{
    auto w = makeWindow();
    auto &prompter = m_fixture->prompter;
    addKeywords(*w, {QStringLiteral("k")});
    w->findChild<QLineEdit *>(QStringLiteral("txtHeading"))->setText(QStringLiteral("見出し"));
    const QString body = QStringLiteral("Tōkyō 😀\n二行目");
    w->findChild<QWidget *>(QStringLiteral("TextBox"))->setProperty("Text", body);
    prompter.queueAnswer(Prompter::Answer::Yes);
    QVERIFY(w->RegisterEntry());
    QCOMPARE(prompter.messages().size(), 1);
    QCOMPARE(prompter.messages().constFirst().buttons, Prompter::Buttons::YesNo);
    QVERIFY2(prompter.texts().constFirst().contains(QStringLiteral("リッチテキストとして保存しますか")),
             qPrintable(prompter.texts().constFirst()));
    const store::Entry stored = *m_database->dictionary(0)->document(1);
    QCOMPARE(stored.Viewer, store::viewerCode(store::Viewer::RichText));
    QCOMPARE(rtf::rtfToPlainText(QString::fromLatin1(stored.Document)), body);
}

void tst_frmNewData::failedWriteKeepsInputAndLeavesNothing()
{
    auto w = makeWindow();
    addKeywords(*w, {QStringLiteral("一"), QStringLiteral("二")});
    w->txtHeading->setText(QStringLiteral("書けない"));
    w->TextBox->setProperty("Text", QStringLiteral("本文"));

    // Another program holds the write lock of the file for longer than the engine waits.
    sqlite3 *other = nullptr;
    QCOMPARE(sqlite3_open(QFile::encodeName(m_dicPath).constData(), &other), SQLITE_OK);
    QCOMPARE(sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
    w->mnuEditRegister->trigger();
    sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(other);

    const QStringList texts = m_fixture->prompter.texts();
    QCOMPARE(texts.size(), 1);
    QVERIFY2(texts.constFirst().startsWith(QStringLiteral("登録できませんでした。\n")), qPrintable(texts.constFirst()));
    QCOMPARE(w->lstIndex->count(), 2);
    QCOMPARE(w->txtHeading->text(), QStringLiteral("書けない"));
    QCOMPARE(w->TextBox->property("Text").toString(), QStringLiteral("本文"));
    QCOMPARE(m_database->dictionary(0)->documentRowCount(), 0);
    QCOMPARE(m_database->dictionary(0)->indexRowCount(), 0);

    // Once the file is free again the same input registers.
    m_fixture->prompter.clear();
    QVERIFY(w->RegisterEntry());
    QCOMPARE(m_database->dictionary(0)->indexRowCount(), 2);
}

void tst_frmNewData::emptyDictionarySet()
{
    // A set that names no dictionary file.
    m_database.reset();
    m_fixture->writeSet({});
    m_database = std::make_unique<store::DatabaseModule>(qm::app::storeHost(m_fixture->prompter), m_fixture->dir.path());
    m_database->LoadDictionarySets();
    m_database->OpenDictionarySet();
    m_fixture->prompter.clear();
    auto w = makeWindow();
    QCOMPARE(w->cboDictionary->count(), 0);
    addKeywords(*w, {QStringLiteral("k")});
    w->txtHeading->setText(QStringLiteral("h"));
    w->TextBox->setProperty("Text", QStringLiteral("b"));
    QVERIFY(!w->RegisterEntry());
    QCOMPARE(m_fixture->prompter.texts().size(), 1);
    QVERIFY(m_fixture->prompter.texts().constFirst().startsWith(QStringLiteral("辞書が開かれていない")));
    QCOMPARE(w->lstIndex->count(), 1);
}

void tst_frmNewData::droppedFiles()
{
    auto w = makeWindow();
    const QString notes = writeFile(m_fixture->path(QStringLiteral("Notes.TXT")),
                                    text::cp932::encode(QStringLiteral("メモの本文")).bytes);
    app::SelectItemByData(*w->cboViewer, 3);

    // Dropped through the label, as from the desktop.
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(notes)});
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(w->lblDocument, &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(w->lblDocument, &drop);
    QVERIFY2(m_fixture->prompter.texts().isEmpty(), qPrintable(m_fixture->prompter.texts().join(u'|')));
    QCOMPARE(w->selectedViewer(), std::optional(store::Viewer::Text));
    QVERIFY(w->TextBox->isVisible());
    QCOMPARE(w->txtHeading->text(), QStringLiteral("Notes"));
    QCOMPARE(w->TextBox->property("Text").toString(), QStringLiteral("メモの本文"));
    QVERIFY(w->IsEdited());

    // Another extension changes nothing; the editor of the selected type stays shown.
    w->lstIndex->addItem(QStringLiteral("kept"));
    w->LoadDroppedFile(writeFile(m_fixture->path(QStringLiteral("picture.png")), "png"));
    w->LoadDroppedFile(writeFile(m_fixture->path(QStringLiteral("noextension")), "x"));
    QCOMPARE(w->selectedViewer(), std::optional(store::Viewer::Text));
    QVERIFY(w->TextBox->isVisible());
    QCOMPARE(w->txtHeading->text(), QStringLiteral("Notes"));
    QCOMPARE(w->lstIndex->count(), 1);
    QVERIFY(m_fixture->prompter.texts().isEmpty());

    if (!registered("Corvane.TextBoxHTML"))
        QSKIP("Corvane.TextBoxHTML is not registered in the control library yet");
    w->LoadDroppedFile(writeFile(m_fixture->path(QStringLiteral("page.html")),
                                 "<html><head><TITLE>The Title</TITLE></head><body>x</body></html>"));
    QCOMPARE(w->selectedViewer(), std::optional(store::Viewer::Html));
    QVERIFY(w->HTMLBox->isVisible());
    QCOMPARE(w->txtHeading->text(), QStringLiteral("The Title"));
    QCOMPARE(w->lstIndex->count(), 1);
    // A title never closed is none: the file's name is the heading.
    w->LoadDroppedFile(writeFile(m_fixture->path(QStringLiteral("unclosed.html")), "<html><title>never closed"));
    QCOMPARE(w->txtHeading->text(), QStringLiteral("unclosed"));
}

// The placeholder a window shows where the library could not make an editor holds no body and
// takes none.
void tst_frmNewData::placeholderEditorReadsEmptyAndRefuses()
{
    QLabel placeholder(QStringLiteral("shown"));
    for (QWidget *w : {static_cast<QWidget *>(&placeholder), static_cast<QWidget *>(nullptr)}) {
        app::editor::setBody(w, QStringLiteral("body"));
        app::editor::clear(w);
        QCOMPARE(app::editor::body(w), QString());
        QCOMPARE(app::editor::text(w), QString());
        QVERIFY(!app::editor::isEdited(w));
        QVERIFY(!app::editor::title(w));
        QCOMPARE(app::editor::loadFile(w, QStringLiteral("/nonexistent")), QStringLiteral("この種類の本文を編集する部品がありません。"));
    }
    QCOMPARE(placeholder.text(), QStringLiteral("shown"));
}

void tst_frmNewData::unreadableDroppedFiles()
{
    auto w = makeWindow();
    w->txtHeading->setText(QStringLiteral("before"));
    w->TextBox->setProperty("Text", QStringLiteral("body"));
    app::SelectItemByData(*w->cboViewer, 2);
    const auto unchanged = [&] {
        QCOMPARE(w->selectedViewer(), std::optional(store::Viewer::RichText));
        QCOMPARE(w->txtHeading->text(), QStringLiteral("before"));
        QCOMPARE(w->TextBox->property("Text").toString(), QStringLiteral("body"));
    };

    w->LoadDroppedFile(m_fixture->path(QStringLiteral("vanished.txt")));
    QCOMPARE(m_fixture->prompter.texts().size(), 1);
    QVERIFY(m_fixture->prompter.texts().constFirst().contains(QStringLiteral("vanished.txt")));
    unchanged();

    // Larger than any body the program stores (a sparse file, so the test stays small).
    QFile big(m_fixture->path(QStringLiteral("big.txt")));
    QVERIFY(big.open(QIODevice::WriteOnly));
    QVERIFY(big.resize(store::MaxBodyBytes + 1));
    big.close();
    m_fixture->prompter.clear();
    w->LoadDroppedFile(big.fileName());
    QCOMPARE(m_fixture->prompter.texts().size(), 1);
    unchanged();

    // A folder named like a text file.
    QVERIFY(QDir(m_fixture->dir.path()).mkdir(QStringLiteral("folder.txt")));
    m_fixture->prompter.clear();
    w->LoadDroppedFile(m_fixture->path(QStringLiteral("folder.txt")));
    QCOMPARE(m_fixture->prompter.texts().size(), 1);
    unchanged();

    if (geteuid() == 0)
        QSKIP("running as root: a file without read permission can still be read");
    const QString locked = writeFile(m_fixture->path(QStringLiteral("locked.txt")), "secret");
    QFile::setPermissions(locked, QFileDevice::WriteOwner);
    m_fixture->prompter.clear();
    w->LoadDroppedFile(locked);
    QCOMPARE(m_fixture->prompter.texts().size(), 1);
    unchanged();
}

void tst_frmNewData::discardAndCloseQuestions()
{
    auto &prompter = m_fixture->prompter;
    auto w = makeWindow();
    // Nothing edited: discarding and closing ask nothing.
    w->mnuEditNullify->trigger();
    QVERIFY(prompter.messages().isEmpty());

    w->txtHeading->setText(QStringLiteral("見出しだけ"));
    prompter.queueAnswer(Prompter::Answer::No);
    w->mnuEditNullify->trigger();
    QCOMPARE(prompter.messages().size(), 1);
    QCOMPARE(prompter.messages()[0].text, QStringLiteral("編集データを破棄してもよろしいですか"));
    QCOMPARE(prompter.messages()[0].defaultAnswer, Prompter::Answer::Yes);
    QCOMPARE(w->txtHeading->text(), QStringLiteral("見出しだけ"));

    // Close, Yes: the registration fails for want of keywords and the window stays.
    prompter.clear();
    prompter.queueAnswer(Prompter::Answer::Yes);
    w->mnuFileClose->trigger();
    QCOMPARE(prompter.texts(), (QStringList{QStringLiteral("編集データを保存しますか"), QStringLiteral("キーワードがありません")}));
    QCOMPARE(prompter.messages()[0].buttons, Prompter::Buttons::YesNoCancel);
    QCOMPARE(prompter.messages()[0].defaultAnswer, Prompter::Answer::Yes);
    QVERIFY(w->isVisible());

    // With keywords and a heading but no body: the message is the entry window's, whichever
    // window is active while one box gives way to the next.
    addKeywords(*w, {QStringLiteral("k")});
    prompter.clear();
    prompter.queueAnswer(Prompter::Answer::Yes);
    QVERIFY(!w->close());
    QCOMPARE(prompter.texts(), (QStringList{QStringLiteral("編集データを保存しますか"), QStringLiteral("本文がありません")}));
    for (const Prompter::Message &m : prompter.messages())
        QCOMPARE(m.owner, w.get());
    QCOMPARE(prompter.messages()[1].icon, Prompter::Icon::Warning);
    QVERIFY(w->isVisible());

    prompter.clear();
    prompter.queueAnswer(Prompter::Answer::Cancel);
    QVERIFY(!w->close());
    QVERIFY(w->isVisible());

    prompter.clear();
    prompter.queueAnswer(Prompter::Answer::No);
    QVERIFY(w->close());
    QVERIFY(!w->isVisible());
    QCOMPARE(m_database->dictionary(0)->documentRowCount(), 0);

    // A window with an edited body and Yes registers on its way out.
    auto second = makeWindow();
    addKeywords(*second, {QStringLiteral("k")});
    second->txtHeading->setText(QStringLiteral("h"));
    second->TextBox->setProperty("Text", QStringLiteral("b"));
    prompter.clear();
    prompter.queueAnswer(Prompter::Answer::Yes);
    QVERIFY(second->close());
    QCOMPARE(m_database->dictionary(0)->documentRowCount(), 1);
}

void tst_frmNewData::splitterAndLayout()
{
    auto w = makeWindow();
    w->resize(Twips::toPixels(9000), Twips::toPixels(6000));
    QCoreApplication::processEvents();
    const int outer = w->frameGeometry().width();
    QWidget *splitter = w->imgSplitter;
    const QPoint middle(splitter->width() / 2, splitter->height() / 2);

    QTest::mousePress(splitter, Qt::LeftButton, {}, middle);
    QVERIFY(w->SplitterDragging);
    QVERIFY(w->picSplitter->isVisible());
    // Far left: the grey bar stops 1920 twips from the edge, and only the bar moves.
    QTest::mouseMove(splitter, QPoint(-splitter->x(), middle.y()));
    QCOMPARE(w->picSplitter->x(), Twips::toPixels(1920));
    QCOMPARE(splitter->x(), Twips::toPixels(2000));
    // Far right: 1920 twips from the window's outer right edge.
    QTest::mouseMove(splitter, QPoint(outer, middle.y()));
    QCOMPARE(w->picSplitter->x(), Twips::toPixels(Twips::fromPixels(outer) - 1920));
    QTest::mouseRelease(splitter, Qt::LeftButton, {}, QPoint(outer, middle.y()));
    QVERIFY(!w->SplitterDragging);
    QVERIFY(!w->picSplitter->isVisible());
    QCOMPARE(splitter->x(), w->picSplitter->x());
    QCOMPARE(w->lstIndex->width(), Twips::toPixels(w->splitterLeft() - 120));
    QCOMPARE(w->txtIndex->width(), w->lstIndex->width());

    // Back to a roomy body: the margins of the design.
    QTest::mousePress(splitter, Qt::LeftButton, {}, middle);
    QTest::mouseMove(splitter, QPoint(Twips::toPixels(3000) - splitter->x(), middle.y()));
    QTest::mouseRelease(splitter, Qt::LeftButton, {}, QPoint(Twips::toPixels(3000) - splitter->x(), middle.y()));
    QCOMPARE(w->splitterLeft(), 3000.0);
    const QWidget *client = w->centralWidget();
    QCOMPARE(w->txtHeading->x(), Twips::toPixels(3120));
    QCOMPARE(w->TextBox->geometry(), Twips::toPixels(3120, 1320, Twips::fromPixels(client->width()) - 3240,
                                                     Twips::fromPixels(client->height()) - 1440));
    // The dictionary's box starts right of its caption and ends where the design ends it.
    QVERIFY(w->lblDic->x() + w->lblDic->sizeHint().width() < w->cboDictionary->x());
    const int dictionaryRight = w->cboDictionary->x() + w->cboDictionary->width();
    QVERIFY(qAbs(dictionaryRight - Twips::toPixels(Twips::fromPixels(client->width()) - 2160)) <= 2);
    QVERIFY(qAbs(w->cboViewer->x() - dictionaryRight - Twips::toPixels(240 + 720)) <= 2);

    // Too narrow for the body: it keeps its place and size, the top row still follows.
    const QRect body = w->TextBox->geometry();
    const QRect heading = w->txtHeading->geometry();
    w->resize(Twips::toPixels(3000 + 300 + 700), w->height());
    QCoreApplication::processEvents();
    QCOMPARE(w->TextBox->geometry(), body);
    QCOMPARE(w->txtHeading->geometry(), heading);
    QVERIFY(qAbs(w->cboDictionary->x() + w->cboDictionary->width()
                 - Twips::toPixels(Twips::fromPixels(client->width()) - 2160)) <= 2);
}

void tst_frmNewData::placementAndSplitterAreStored()
{
    {
        auto w = makeWindow();
        QWidget *splitter = w->imgSplitter;
        const QPoint middle(splitter->width() / 2, splitter->height() / 2);
        QTest::mousePress(splitter, Qt::LeftButton, {}, middle);
        const QPoint to(Twips::toPixels(2700) - splitter->x(), middle.y());
        QTest::mouseMove(splitter, to);
        QTest::mouseRelease(splitter, Qt::LeftButton, {}, to);
        w->showMaximized();
        QCoreApplication::processEvents();
        QVERIFY(w->close());
    }
    QSettings stored = test::ProgramFixture::storedSettings();
    QCOMPARE(stored.value(QStringLiteral("EditWindow/WindowState")).toString(), QStringLiteral("2"));
    QCOMPARE(stored.value(QStringLiteral("EditWindow/Separator")).toString(), QStringLiteral("2700"));
    // The normal rectangle, not the maximised one.
    QCOMPARE(Twips::toPixels(stored.value(QStringLiteral("EditWindow/FormWidth")).toDouble()), Twips::toPixels(8000));

    auto again = makeWindow();
    QVERIFY(again->isMaximized());
    QCOMPARE(again->imgSplitter->x(), Twips::toPixels(2700));
    QCOMPARE(again->lstIndex->width(), Twips::toPixels(2580));
}

void tst_frmNewData::bodyEditorKeepsTheTabKey()
{
    auto w = makeWindow();
    QApplication::setActiveWindow(w.get());
    QVERIFY(QTest::qWaitForWindowActive(w.get()));
    const auto tabbable = [&](QWidget *c) { return bool(c->focusPolicy() & Qt::TabFocus); };
    QVERIFY(tabbable(w->txtIndex) && tabbable(w->cboDictionary));

    QWidget *inner = w->TextBox->findChild<QWidget *>(QStringLiteral("TextBox"));
    QVERIFY(inner);
    inner->setFocus();
    for (QWidget *c : {static_cast<QWidget *>(w->txtIndex), static_cast<QWidget *>(w->lstIndex),
                       static_cast<QWidget *>(w->cboViewer), static_cast<QWidget *>(w->txtHeading),
                       static_cast<QWidget *>(w->cboDictionary)})
        QVERIFY2(!tabbable(c), qPrintable(c->objectName()));
    w->txtHeading->setFocus();
    QVERIFY(tabbable(w->txtIndex) && tabbable(w->cboDictionary) && tabbable(w->cboViewer));
}

void tst_frmNewData::objectPopupMenu()
{
    auto w = makeWindow();
    objects::ScriptedFileChooser chooser;
    w->setFileChooser(chooser);
    app::SelectItemByData(*w->cboViewer, 5);
    QCOMPARE(w->mnuOLEInsertObject->text(), QStringLiteral("ｵﾌﾞｼﾞｪｸﾄの挿入(I)"));

    // The empty panel says what a double-click does.
    QCOMPARE(w->oleOLEContainer->displayText(), QStringLiteral("ダブルクリックでオブジェクトを挿入します"));
    Q_EMIT w->oleOLEContainer->doubleClicked(w->oleOLEContainer->mapToGlobal(QPoint(5, 5)));
    QVERIFY(w->mnuOLE->isVisible());
    QVERIFY(!w->mnuOLEDelete->isEnabled());
    w->mnuOLE->hide();

    // A cancelled file choice changes nothing.
    w->mnuOLECreateEmbed->trigger();
    QVERIFY(!w->IsEdited());
    const QString file = writeFile(m_fixture->path(QStringLiteral("sheet.csv")), "a,b\n1,2\n");
    chooser.queueAnswer(file);
    w->mnuOLECreateEmbed->trigger();
    QVERIFY(w->IsEdited());
    QCOMPARE(w->oleOLEContainer->objectType(), objects::ObjectContainer::ObjectType::Embedded);

    Q_EMIT w->oleOLEContainer->doubleClicked(w->oleOLEContainer->mapToGlobal(QPoint(5, 5)));
    QVERIFY(w->mnuOLEDelete->isEnabled());
    w->mnuOLE->hide();

    // Registered with its image, then the container is empty again.
    addKeywords(*w, {QStringLiteral("表")});
    w->txtHeading->setText(QStringLiteral("表計算"));
    QVERIFY(w->RegisterEntry());
    QVERIFY(QFile::exists(m_fixture->path(QStringLiteral("Temp_new.ole"))));

    // Deleting asks, No first.
    m_fixture->prompter.clear();
    m_fixture->prompter.queueAnswer(Prompter::Answer::No);
    w->mnuOLEDelete->trigger();
    QCOMPARE(m_fixture->prompter.messages()[0].text, QStringLiteral("ｵﾌﾞｼﾞｪｸﾄを削除してもよろしいですか"));
    QCOMPARE(m_fixture->prompter.messages()[0].defaultAnswer, Prompter::Answer::No);
    QCOMPARE(w->oleOLEContainer->objectType(), objects::ObjectContainer::ObjectType::Embedded);
    m_fixture->prompter.queueAnswer(Prompter::Answer::Yes);
    w->mnuOLEDelete->trigger();
    QCOMPARE(w->oleOLEContainer->objectType(), objects::ObjectContainer::ObjectType::None);
}

void tst_frmNewData::richTextFontSurvivesClearing()
{
    m_settings->setFontName(store::EditorKind::RichText, QStringLiteral("Noto Serif CJK JP"));
    m_settings->setFontSize(store::EditorKind::RichText, 16);
    auto w = makeWindow();
    const auto checkFont = [&w] {
        QCOMPARE(w->RTFBox->property("SelFontName").toString(), QStringLiteral("Noto Serif CJK JP"));
        QCOMPARE(w->RTFBox->property("SelFontSize").toFloat(), 16.0f);
    };
    checkFont();
    QVERIFY(!w->IsEdited());

    // After a registration the window is cleared for the next entry, in the same font.
    app::SelectItemByData(*w->cboViewer, 2);
    addKeywords(*w, {QStringLiteral("k")});
    w->txtHeading->setText(QStringLiteral("h"));
    w->RTFBox->setProperty("Text", QStringLiteral("本文"));
    w->mnuEditRegister->trigger();
    QCOMPARE(m_database->dictionary(0)->documentRowCount(), 1);
    QCOMPARE(w->lstIndex->count(), 0);
    checkFont();
}

QTEST_MAIN(tst_frmNewData)
#include "tst_frmnewdata.moc"
