#include "adminfixture.h"

#include "app/admin/frmdictionaryproperty.h"
#include "app/admin/frmmakenewdictionary.h"
#include "app/store/care/compaction.h"
#include "app/store/dictionary/dictionary.h"
#include "app/store/dictionary/dictionaryinfo.h"
#include "tests/common/stocksqlite.h"
#include "tests/common/testfiles.h"

#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QLocale>
#include <QPlainTextEdit>
#include <QProgressDialog>
#include <QPushButton>

#include <csignal>
#include <sys/resource.h>

using namespace qm;
using app::frmDictionaryProperty;
using app::frmMakeNewDictionary;
using test::stockSqlite;

namespace {

QString storedProperty(const QString &path, const QString &name)
{
    return stockSqlite(path, QStringLiteral("SELECT '[' || Value || ']' FROM Properties WHERE Name = '%1'").arg(name));
}

} // namespace

class tst_dictionarydialogs final : public QObject
{
    Q_OBJECT

private slots:
    void init() { m_prompter.clear(); }
    void createdLocksShowReadOnlyAndStay();
    void failedCreationLeavesNoDictionary_data();
    void failedCreationLeavesNoDictionary();
    void propertiesHoldTheDictionaryAndStoreOnlyOnOk();
    void compactionKeepsTheBackupAndReloads();
    void failedCompactionKeepsTheOriginalInUse();
    void compactionShowsItsProgress();
    void compactionRefusalsAreWorded();

private:
    test::Dictionaries m_files;
    desktop::ScriptedPrompter m_prompter;
};

void tst_dictionarydialogs::createdLocksShowReadOnlyAndStay()
{
    const QString path = m_files.path(QStringLiteral("locked.dic"));
    frmMakeNewDictionary make(m_prompter, {});
    make.txtFileName->setText(path);
    make.show();
    QVERIFY(make.txtFileName->isReadOnly());
    QVERIFY(!make.cmdOK->isEnabled());
    test::typeInto(make.txtDicName, QStringLiteral("固定辞書"));
    QVERIFY(make.cmdOK->isEnabled());
    make.chkLock[0]->setChecked(true);
    make.cmdOK->click();
    QCOMPARE(make.result(), int(QDialog::Accepted));
    QVERIFY(m_prompter.texts().isEmpty());
    // The empty author and comment are stored as one space each.
    QCOMPARE(storedProperty(path, QStringLiteral("Author")), QStringLiteral("[ ]"));
    QCOMPARE(storedProperty(path, QStringLiteral("Comment")), QStringLiteral("[ ]"));

    frmDictionaryProperty properties(m_prompter, {});
    QVERIFY(properties.SetDicFileName(path));
    QCOMPARE(properties.txtDicName->text(), QStringLiteral("固定辞書"));
    QVERIFY(properties.txtDicName->isReadOnly());
    QVERIFY(!properties.txtAuthor->isReadOnly());
    QCOMPARE(properties.txtAuthor->text(), QString());
    QCOMPARE(properties.txtComment->toPlainText(), QString());

    // Even a name put into the read-only box is not stored, and the lock stays.
    properties.txtDicName->setText(QStringLiteral("解除"));
    properties.txtAuthor->setText(QStringLiteral("作者"));
    properties.cmdOK->click();
    QCOMPARE(storedProperty(path, QStringLiteral("DictionaryName")), QStringLiteral("[固定辞書]"));
    QCOMPARE(storedProperty(path, QStringLiteral("DictionaryNameLock")), QStringLiteral("[1]"));
    QCOMPARE(storedProperty(path, QStringLiteral("Author")), QStringLiteral("[作者]"));
}

void tst_dictionarydialogs::failedCreationLeavesNoDictionary_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("reason");
    QTest::addColumn<bool>("diskFull");
    QTest::newRow("file appeared meanwhile") << "taken.dic" << "すでにあります" << false;
    QTest::newRow("folder vanished") << "gone/new.dic" << "フォルダーが見つかりません" << false;
    QTest::newRow("disk full") << "full.dic" << "" << true;
}

void tst_dictionarydialogs::failedCreationLeavesNoDictionary()
{
    QFETCH(QString, file);
    QFETCH(QString, reason);
    QFETCH(bool, diskFull);
    const QString path = m_files.path(file);
    frmMakeNewDictionary make(m_prompter, {});
    make.txtFileName->setText(path);
    make.txtDicName->setText(QStringLiteral("新しい辞書"));
    make.show();
    if (file.startsWith(QLatin1String("taken")))
        QVERIFY(test::writeFile(path, "someone else's file"));

    rlimit old{};
    QCOMPARE(getrlimit(RLIMIT_FSIZE, &old), 0);
    if (diskFull) {
        // A file size limit fails the writes the way a full disk does, even for root.
        signal(SIGXFSZ, SIG_IGN);
        rlimit small = old;
        small.rlim_cur = 2048;
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
    }
    make.cmdOK->click();
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &old), 0);

    QVERIFY(make.isVisible());
    QCOMPARE(m_prompter.texts().size(), 1);
    const QString message = m_prompter.texts().constFirst();
    QVERIFY2(message.contains(QDir::toNativeSeparators(path)) && message.contains(QStringLiteral("作成できませんでした"))
                 && message.contains(reason),
             qPrintable(message));
    QVERIFY(!store::Dictionary::IsDictionaryFile(path));
    QVERIFY(!QFile::exists(path + QStringLiteral("-journal")));
    if (file.startsWith(QLatin1String("taken")))
        QCOMPARE(test::readFile(path), QByteArray("someone else's file"));
    else
        QVERIFY(!QFile::exists(path));
}

void tst_dictionarydialogs::propertiesHoldTheDictionaryAndStoreOnlyOnOk()
{
    const QString path = m_files.make(QStringLiteral("held.dic"), QStringLiteral("辞書"));
    {
        frmDictionaryProperty properties(m_prompter, {});
        QVERIFY(properties.SetDicFileName(path));
        properties.show();
        QVERIFY(properties.holdsDictionary());
        QVERIFY(properties.cmdOK->isEnabled());
        properties.txtDicName->clear();
        QVERIFY(!properties.cmdOK->isEnabled());
        properties.txtDicName->setText(QStringLiteral("変えた名前"));
        properties.txtComment->setPlainText(QStringLiteral("一行目\n二行目"));
        properties.cmdCancel->click();
        QVERIFY(!properties.holdsDictionary());
        QCOMPARE(storedProperty(path, QStringLiteral("DictionaryName")), QStringLiteral("[辞書]"));
    }
    frmDictionaryProperty properties(m_prompter, {});
    QVERIFY(properties.SetDicFileName(path));
    properties.txtComment->setPlainText(QStringLiteral("説明"));
    properties.cmdOK->click();
    QVERIFY(!properties.holdsDictionary());
    QCOMPARE(storedProperty(path, QStringLiteral("Comment")), QStringLiteral("[説明]"));
    // A box emptied again is stored as one space.
    QVERIFY(properties.SetDicFileName(path));
    properties.txtComment->clear();
    properties.cmdOK->click();
    QCOMPARE(storedProperty(path, QStringLiteral("Comment")), QStringLiteral("[ ]"));

    // A file that is gone is reported, and the dialog holds nothing.
    QVERIFY(!properties.SetDicFileName(m_files.path(QStringLiteral("missing.dic"))));
    QVERIFY(!properties.holdsDictionary());
    QVERIFY(!properties.cmdOK->isEnabled());
    QVERIFY(m_prompter.texts().constLast().contains(QStringLiteral("missing.dic")));
}

void tst_dictionarydialogs::compactionKeepsTheBackupAndReloads()
{
    const QString path = m_files.make(QStringLiteral("Big.dic"), QStringLiteral("大きな辞書"), 500);
    {
        store::Dictionary d(path);
        d.setDescription({QStringLiteral("大きな辞書"), QStringLiteral("作者"), {}, {}});
    }
    const QString backup = m_files.path(QStringLiteral("Big.bak"));
    const QByteArray original = test::readFile(path);
    // A working copy left over from an earlier attempt is overwritten.
    QVERIFY(test::writeFile(store::compactionTempPath(path), "left over"));

    frmDictionaryProperty properties(m_prompter, {});
    QVERIFY(properties.SetDicFileName(path));
    properties.show();
    properties.txtAuthor->setText(QStringLiteral("保存していない作者"));
    properties.cmdCompactDictionary->click();

    // The end is told with the sizes before and after.
    QCOMPARE(m_prompter.texts().size(), 1);
    const QLocale japanese(QLocale::Japanese, QLocale::Japan);
    const QString done = m_prompter.texts().constFirst();
    QVERIFY2(done.contains(QStringLiteral("最適化が終わりました")) && done.contains(japanese.toString(qint64(original.size())))
                 && done.contains(japanese.toString(QFileInfo(path).size())),
             qPrintable(done));
    m_prompter.clear();
    QVERIFY(properties.isVisible());
    QVERIFY(properties.holdsDictionary());
    QCOMPARE(properties.txtAuthor->text(), QStringLiteral("作者"));
    QCOMPARE(test::readFile(backup), original);
    QVERIFY2(done.contains(QDir::toNativeSeparators(backup)), qPrintable(done));
    QVERIFY(!QFile::exists(store::compactionTempPath(path)));
    QCOMPARE(stockSqlite(path, QStringLiteral("SELECT count(*) FROM Document")), QStringLiteral("500"));
    QCOMPARE(stockSqlite(path, QStringLiteral("PRAGMA integrity_check")), QStringLiteral("ok"));

    // The second compaction replaces the first backup.
    const QByteArray compacted = test::readFile(path);
    QVERIFY(compacted != original);
    properties.cmdCompactDictionary->click();
    QCOMPARE(m_prompter.texts().size(), 1);
    QCOMPARE(test::readFile(backup), compacted);
    QVERIFY(properties.holdsDictionary());
}

void tst_dictionarydialogs::failedCompactionKeepsTheOriginalInUse()
{
    const QString path = m_files.make(QStringLiteral("Kept.dic"), QStringLiteral("残る辞書"), 50);
    const QByteArray original = test::readFile(path);
    frmDictionaryProperty properties(m_prompter, {});
    QVERIFY(properties.SetDicFileName(path));
    properties.show();
    properties.txtComment->setPlainText(QStringLiteral("入力中"));
    // A file size limit fails the copy the way a full disk does, even for root.
    rlimit old{};
    QCOMPARE(getrlimit(RLIMIT_FSIZE, &old), 0);
    signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = rlim_t(original.size() / 4);
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
    properties.cmdCompactDictionary->click();
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &old), 0);

    QCOMPARE(m_prompter.texts().size(), 1);
    const QString message = m_prompter.texts().constFirst();
    QVERIFY2(message.contains(QStringLiteral("最適化できませんでした")) && message.contains(QStringLiteral("Kept.dic")),
             qPrintable(message));
    QVERIFY(properties.isVisible());
    QVERIFY(properties.holdsDictionary());
    QCOMPARE(properties.txtComment->toPlainText(), QStringLiteral("入力中"));
    QCOMPARE(test::readFile(path), original);
    QVERIFY(!QFile::exists(store::compactionTempPath(path)));
    // The reopened dictionary takes what was typed.
    properties.cmdOK->click();
    QCOMPARE(storedProperty(path, QStringLiteral("Comment")), QStringLiteral("[入力中]"));
}

void tst_dictionarydialogs::compactionShowsItsProgress()
{
    const QString path = m_files.make(QStringLiteral("Large.dic"), QStringLiteral("大きな辞書"), 20000);
    frmDictionaryProperty properties(m_prompter, {});
    QVERIFY(properties.SetDicFileName(path));
    properties.show();
    QStringList seen;
    QTimer watch;
    connect(&watch, &QTimer::timeout, this, [&seen] {
        for (QWidget *w : QApplication::topLevelWidgets())
            if (auto *dialog = qobject_cast<QProgressDialog *>(w); dialog && dialog->objectName() == QLatin1String("dlgProgress"))
                seen.append(dialog->labelText());
    });
    watch.start(0);
    properties.cmdCompactDictionary->click();
    watch.stop();
    QCOMPARE(m_prompter.texts().size(), 1);
    QVERIFY(!seen.isEmpty());
    QCOMPARE(seen.constFirst(), QStringLiteral("辞書を最適化しています..."));
}

void tst_dictionarydialogs::compactionRefusalsAreWorded()
{
    const QString path = m_files.make(QStringLiteral("Held.dic"), QStringLiteral("使用中の辞書"), 20);
    frmDictionaryProperty properties(m_prompter, {});
    QVERIFY(properties.SetDicFileName(path));
    properties.show();
    properties.txtComment->setPlainText(QStringLiteral("入力中"));
    // Each refusal is one message; the dialog keeps the dictionary and what was typed.
    const auto refusal = [&]() -> QString {
        properties.cmdCompactDictionary->click();
        const QStringList texts = m_prompter.texts();
        m_prompter.clear();
        const bool kept = properties.holdsDictionary() && properties.txtComment->toPlainText() == QStringLiteral("入力中")
                          && !QFile::exists(m_files.path(QStringLiteral("Held.bak")));
        return kept && texts.size() == 1 ? texts.constFirst() : QStringLiteral("<not kept> ") + texts.join(QLatin1Char('|'));
    };
    {
        // Held open elsewhere, as by another program.
        store::Dictionary elsewhere(path);
        const QString message = refusal();
        QVERIFY2(message.contains(QDir::toNativeSeparators(path)) && message.contains(QStringLiteral("ほかのプログラムが使用中です"))
                     && !message.startsWith(QLatin1Char('<')),
                 qPrintable(message));
    }
    QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
    const QString message = refusal();
    QVERIFY2(message.contains(QStringLiteral("読み取り専用")) && !message.startsWith(QLatin1Char('<')), qPrintable(message));
    QCOMPARE(QFileInfo(path).permissions() & (QFile::WriteOwner | QFile::WriteGroup | QFile::WriteOther), 0);
}

QTEST_MAIN(tst_dictionarydialogs)
#include "tst_dictionarydialogs.moc"
