// The export and import windows as the main window's File menu shows them, checked through the
// store: what the dialogs write and read must be what the exchange code stores.

#include "tests/common/searchrows.h"
#include "tests/app/admin/adminfixture.h"
#include "tests/app/main/fixture.h"

#include "app/common/storemessages.h"
#include "app/admin/frmexport.h"
#include "app/admin/frmimport.h"
#include "app/admin/wordlistpanel.h"
#include "app/exchange/jsonlines.h"
#include "app/store/dictionary/viewertype.h"
#include "app/main/exchangewindows.h"
#include "app/main/maincommands.h"
#include "app/main/mdimain.h"
#include "app/search/frmsearchindexlist.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QTest>

#include <memory>

using namespace qm;
using app::frmExport;
using app::frmImport;

namespace {

QStringList headingsOf(const QString &path)
{
    store::Dictionary d(path);
    QStringList out;
    for (qint32 n = 1; n <= 2000; ++n)
        if (const std::optional<store::Entry> e = d.document(n))
            out.append(e->Heading);
    return out;
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

void choose(QComboBox *combo, const QString &text)
{
    const int index = combo->findText(text, Qt::MatchStartsWith);
    QVERIFY2(index >= 0, qPrintable(text));
    combo->setCurrentIndex(index);
}

} // namespace

class tst_exchangewindows final : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void exportSetAndImportIntoNewDictionary();
    void exportResultRowsAsHtml();
    void exportThroughLinkToDictionaryIsRefused();
    void wordListWithColumnMapping();
    void wordListEncodingGuessIsShown();
    void unencodableBodiesAsChosenType();
    void newDictionaryThroughALinkLoopIsRefused();
    void failedImportLeavesDictionaryUnchanged_data();
    void failedImportLeavesDictionaryUnchanged();

private:
    void trigger(const char *item) { m_window->commands()->action(QString::fromLatin1(item))->trigger(); }
    QString lastMessage() const { return m_fx->prompter.texts().value(m_fx->prompter.texts().size() - 1); }

    std::unique_ptr<test::ProgramFixture> m_fx;
    std::unique_ptr<store::DatabaseModule> m_db;
    std::unique_ptr<store::Settings> m_settings;
    std::unique_ptr<app::mdiMain> m_window;
    desktop::ScriptedFileChooser m_files;
    QString m_a;
};

void tst_exchangewindows::init()
{
    m_fx = std::make_unique<test::ProgramFixture>();
    m_a = m_fx->dictionary(QStringLiteral("a.dic"), QStringLiteral("A"),
                           {{QStringLiteral("one"), 1, {}, {QStringLiteral("k1")}},
                            {QStringLiteral("two"), 1, {}, {QStringLiteral("k2")}}});
    const QString b = m_fx->dictionary(QStringLiteral("b.dic"), QStringLiteral("B"),
                                       {{QStringLiteral("三"), 1, {}, {QStringLiteral("k3")}}});
    m_fx->writeSet({m_a, b});
    m_db = std::make_unique<store::DatabaseModule>(qm::app::storeHost(m_fx->prompter), m_fx->dir.path());
    m_settings = std::make_unique<store::Settings>();
    m_window = std::make_unique<app::mdiMain>(*m_db, *m_settings, m_fx->prompter);
    m_files = {};
    app::installExchangeWindows(*m_window, *m_db, m_fx->prompter, m_files);
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
}

void tst_exchangewindows::cleanup()
{
    m_window.reset();
    m_settings.reset();
    m_db.reset();
    m_fx.reset();
}

void tst_exchangewindows::exportSetAndImportIntoNewDictionary()
{
    // Export: the whole set; the file is named without a suffix and gets the format's.
    m_files.queueFile(m_fx->path(QStringLiteral("set")));
    bool rowsEnabled = true;
    test::onModal<frmExport>([&rowsEnabled](frmExport *d) {
        rowsEnabled = d->optRows->isEnabled();
        d->findChild<QAction *>(QStringLiteral("mnuHelp"))->trigger();
        d->optSet->setChecked(true);
        d->cboFormat->setCurrentIndex(0);
        d->cmdOK->click();
    });
    trigger("mnuFileExport");
    QVERIFY(!rowsEnabled); // no search yet
    QVERIFY(!m_fx->navigator.opened().isEmpty());
    // Help goes through a page that forwards to the topic.
    QFile forward(m_fx->navigator.opened().last().toLocalFile());
    QVERIFY(forward.open(QIODevice::ReadOnly));
    QVERIFY(forward.readAll().contains("Exchange.htm#Export"));
    const QString exported = m_fx->path(QStringLiteral("set.jsonl"));
    QVERIFY(QFileInfo::exists(exported));
    QVERIFY2(lastMessage().startsWith(QStringLiteral("3 件の項目を")), qPrintable(lastMessage()));

    // Import into a new dictionary file, which is made but not added to the set.
    const QString made = m_fx->path(QStringLiteral("new.dic"));
    m_files.queueFile(exported);
    m_files.queueFile(made);
    bool noteShown = false;
    test::onModal<frmImport>([&noteShown](frmImport *d) {
        QCOMPARE(d->wordList, nullptr);
        choose(d->cboTarget, QStringLiteral("新しい辞書ファイル"));
        noteShown = d->lblNewFileNote->isVisible();
        d->cmdOK->click();
    });
    trigger("mnuFileImport");
    QVERIFY(noteShown);
    QCOMPARE(headingsOf(made), (QStringList{QStringLiteral("one"), QStringLiteral("two"), QStringLiteral("三")}));
    QVERIFY(lastMessage().contains(QStringLiteral("辞書セットに加えていません")));
    QCOMPARE(m_db->DictionaryCount(), 2);
    // The new dictionary took the name the first header gave.
    store::Dictionary d(made);
    QCOMPARE(exchange::jsonl::describe(d).name, QStringLiteral("A"));
}

void tst_exchangewindows::exportResultRowsAsHtml()
{
    const test::Found found = test::findKeyword(*m_db, QStringLiteral("k2"), 100);
    m_window->searchIndexList()->showResults(QStringLiteral("k2"), found.rows, found.summary);
    // A file name of another kind gets the format's suffix: the dictionary is not written over.
    m_files.queueFile(m_a);
    test::onModal<frmExport>([](frmExport *d) {
        QVERIFY(d->optRows->isEnabled());
        d->optRows->setChecked(true);
        d->cboFormat->setCurrentIndex(1);
        d->cmdOK->click();
    });
    trigger("mnuFileExport");
    QCOMPARE(headingsOf(m_a), (QStringList{QStringLiteral("one"), QStringLiteral("two")}));
    QFile page(m_a + QStringLiteral(".html"));
    QVERIFY(page.open(QIODevice::ReadOnly));
    const QByteArray html = page.readAll();
    QVERIFY(html.contains("two"));
    QVERIFY(!html.contains(">one<"));
    QVERIFY2(lastMessage().startsWith(QStringLiteral("1 件の項目を")), qPrintable(lastMessage()));
}

// The file chooser asked only about the link's name; the dictionary behind it is kept.
void tst_exchangewindows::exportThroughLinkToDictionaryIsRefused()
{
    const QString link = m_fx->path(QStringLiteral("out.jsonl"));
    QVERIFY(QFile::link(m_a, link));
    QFile dictionary(m_a);
    QVERIFY(dictionary.open(QIODevice::ReadOnly));
    const QByteArray before = dictionary.readAll();
    dictionary.close();
    m_files.queueFile(link);
    test::onModal<frmExport>([](frmExport *d) {
        d->optSet->setChecked(true);
        d->cmdOK->click();
        d->reject();
    });
    trigger("mnuFileExport");
    QVERIFY2(lastMessage().contains(QStringLiteral("a.dic へのリンク）は辞書セットの辞書です")), qPrintable(lastMessage()));
    QVERIFY(dictionary.open(QIODevice::ReadOnly));
    QCOMPARE(dictionary.readAll(), before);
}

void tst_exchangewindows::wordListWithColumnMapping()
{
    const QString csv = m_fx->path(QStringLiteral("words.csv"));
    writeFile(csv, QStringLiteral("見出し,キー,本文\nりんご,apple;林檎,\"赤い,果物\"\nみかん,orange,黄色\n").toUtf8());
    m_files.queueFile(csv);
    QStringList previewRow;
    int previewRows = -1;
    test::onModal<frmImport>([&](frmImport *d) {
        app::WordListPanel *w = d->wordList;
        QVERIFY(w);
        QCOMPARE(w->cboSeparator->currentText(), QStringLiteral("コンマ (,)"));
        QCOMPARE(w->cboColumns.size(), 3);
        w->chkHeader->setChecked(true);
        choose(w->cboColumns[0], QStringLiteral("見出し"));
        choose(w->cboColumns[1], QStringLiteral("キーワード"));
        test::typeInto(w->txtKeywordSeparator, QStringLiteral(";"));
        previewRows = w->grdPreview->rowCount();
        for (int c = 0; c < 4; ++c)
            previewRow.append(w->grdPreview->item(0, c)->text());
        choose(d->cboTarget, QStringLiteral("①A"));
        d->cmdOK->click();
    });
    trigger("mnuFileImport");
    QCOMPARE(previewRows, 2);
    QCOMPARE(previewRow, (QStringList{QStringLiteral("2"), QStringLiteral("apple、林檎"), QStringLiteral("りんご"),
                                      QStringLiteral("赤い,果物")}));
    QVERIFY2(lastMessage().startsWith(QStringLiteral("2 件の項目を辞書 ①A に追加しました")), qPrintable(lastMessage()));
    // The open set sees the new entries at once.
    const test::Found found = test::findKeyword(*m_db, QStringLiteral("林檎"), 10);
    QCOMPARE(found.rows.size(), size_t(1));
    QCOMPARE(found.rows[0].match.Heading, QStringLiteral("りんご"));
    QCOMPARE(headingsOf(m_a).size(), 4);
}

void tst_exchangewindows::wordListEncodingGuessIsShown()
{
    const QString tsv = m_fx->path(QStringLiteral("sjis.tsv"));
    writeFile(tsv, "a\tb\tc\n" + text::cp932::encode(QStringLiteral("ねこ\t猫\t動物\n")).bytes
                       + QByteArray("x\ty\tz\n").repeated(30) + "late\trow\twith\tfour\n");
    QFile file(tsv);
    QVERIFY(file.open(QIODevice::ReadOnly));
    app::WordListPanel panel(file, QStringLiteral("tsv"));
    QCOMPARE(panel.cboEncoding->currentText(), QStringLiteral("自動 (2 行目が UTF-8 ではないので CP932 と判定)"));
    QCOMPARE(panel.cboSeparator->currentText(), QStringLiteral("タブ"));
    QCOMPARE(panel.grdPreview->item(1, 2)->text(), QStringLiteral("猫"));
    // A column that only a late row has gets its choice too.
    QCOMPARE(panel.cboColumns.size(), 4);
    // Read as UTF-8 the bytes do not give the text: the preview marks the row and says why.
    panel.cboEncoding->setCurrentIndex(panel.cboEncoding->findText(QStringLiteral("UTF-8")));
    QCOMPARE(panel.grdPreview->rowCount(), 20);
    QVERIFY(panel.grdPreview->item(0, 3)->background().style() == Qt::NoBrush);
    QVERIFY(panel.grdPreview->item(1, 3)->background().style() != Qt::NoBrush);
    QVERIFY2(panel.previewProblem().startsWith(QStringLiteral("2 行目: 1 文字目に UTF-8 として読めないバイト")),
             qPrintable(panel.previewProblem()));
}

void tst_exchangewindows::unencodableBodiesAsChosenType()
{
    const QString csv = m_fx->path(QStringLiteral("odd.csv"));
    writeFile(csv, QStringLiteral("k,Tōkyō,<café>\n").toUtf8());
    m_files.queueFile(csv);
    test::onModal<frmImport>([](frmImport *d) {
        choose(d->cboTarget, QStringLiteral("①A"));
        choose(d->cboUnencodable, QStringLiteral("HTML"));
        d->cmdOK->click();
    });
    trigger("mnuFileImport");
    QVERIFY2(lastMessage().contains(QStringLiteral("本文に CP932 で表せない文字があるため、そのうち 1 件は HTML として保存しました")),
             qPrintable(lastMessage()));
    store::Dictionary a(m_a);
    const store::Entry entry = *a.document(3);
    QCOMPARE(entry.Heading, QStringLiteral("Tōkyō"));
    QCOMPARE(entry.Viewer, store::viewerCode(store::Viewer::Html));
    QVERIFY(entry.Document.contains("&lt;caf&#233;&gt;"));
}

void tst_exchangewindows::newDictionaryThroughALinkLoopIsRefused()
{
    const QString file = m_fx->path(QStringLiteral("in.jsonl"));
    writeFile(file, exchange::jsonl::headerLine({QStringLiteral("X")}));
    const QString loop = m_fx->path(QStringLiteral("loop.dic"));
    QVERIFY(QFile::link(loop, loop));
    app::ExchangeServices services{m_fx->prompter, m_files, {}, {}};
    frmImport dialog(*m_db, file, services);
    m_files.queueFile(loop);
    choose(dialog.cboTarget, QStringLiteral("新しい辞書ファイル"));
    dialog.cmdOK->click();
    QVERIFY2(lastMessage().contains(QStringLiteral("循環")), qPrintable(lastMessage()));
    QVERIFY(QFileInfo(loop).isSymLink());
}

void tst_exchangewindows::failedImportLeavesDictionaryUnchanged_data()
{
    QTest::addColumn<QByteArray>("bad");
    QTest::addColumn<bool>("cancel");
    QTest::addColumn<QString>("expected");
    QTest::newRow("bad line") << QByteArray("{\"not\": \"an entry\"}\n") << false << QStringLiteral("302 行目");
    QTest::newRow("cancel") << QByteArray() << true << QStringLiteral("中止");
}

void tst_exchangewindows::failedImportLeavesDictionaryUnchanged()
{
    QFETCH(QByteArray, bad);
    QFETCH(bool, cancel);
    QFETCH(QString, expected);
    // Enough lines for the progress to be asked, then perhaps a line that cannot be read.
    QByteArray jsonl = exchange::jsonl::headerLine({QStringLiteral("X")});
    for (int i = 0; i < 300; ++i) {
        store::Entry e;
        e.DocumentNumber = i + 1;
        e.Viewer = 1;
        e.Heading = QStringLiteral("h%1").arg(i);
        e.RenewalDate = QDateTime(QDate(2020, 1, 1), QTime(0, 0));
        jsonl += exchange::jsonl::entryLine(e, {e.Heading});
    }
    jsonl += bad;
    const QString file = m_fx->path(QStringLiteral("in.jsonl"));
    writeFile(file, jsonl);

    app::ExchangeServices services{m_fx->prompter, m_files, {}, [cancel](const QString &) -> store::Progress {
                                       return [cancel](qint64, qint64) { return !cancel; };
                                   }};
    for (const bool intoNewFile : {false, true}) {
        frmImport dialog(*m_db, file, services);
        if (intoNewFile) {
            m_files.queueFile(m_fx->path(QStringLiteral("fresh.dic")));
            choose(dialog.cboTarget, QStringLiteral("新しい辞書ファイル"));
        }
        dialog.cmdOK->click();
        QVERIFY2(lastMessage().contains(expected), qPrintable(lastMessage()));
        QCOMPARE(lastMessage().count(QStringLiteral("変更")), 1);
        QVERIFY(lastMessage().contains(QStringLiteral("辞書は変更していません")));
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
    }
    QCOMPARE(headingsOf(m_a), (QStringList{QStringLiteral("one"), QStringLiteral("two")}));
    QCOMPARE(test::findKeyword(*m_db, QStringLiteral("h1"), 10).rows.size(), size_t(0));
    QVERIFY(!QFileInfo::exists(m_fx->path(QStringLiteral("fresh.dic"))));
}

QTEST_MAIN(tst_exchangewindows)
#include "tst_exchangewindows.moc"
