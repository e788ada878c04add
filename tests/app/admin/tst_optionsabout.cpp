#include "adminfixture.h"

#include "app/admin/frmabout.h"
#include "app/admin/frmoption.h"
#include "app/store/care/autobackup.h"
#include "controls/fontlist.h"
#include "tests/common/testfiles.h"

#include <QComboBox>
#include <QDir>
#include <QFontDatabase>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QCheckBox>
#include <QRadioButton>
#include <QSpinBox>
#include <QSettings>
#include <QStandardPaths>

#include <memory>

using namespace qm;
using corvane::FontListCache;
using app::frmAbout;
using app::frmOption;

class tst_optionsabout final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void fontsComeFromTheEditorsCache();
    void showsTheStoredOptionsAndTheSizeList();
    void okStoresAndCancelStoresNothing();
    void aSizeThatIsNoNumberIsRefused();
    void backupOptionsAreCheckedAndStored();
    void versionDialog();

private:
    frmOption &options();
    static QSettings stored() { return QSettings(QStringLiteral("Quillmere"), QStringLiteral("Quillmere")); }

    QTemporaryDir m_folder;
    desktop::ScriptedPrompter m_prompter;
    std::unique_ptr<store::Settings> m_settings;
    store::SharedOptions m_shared;
    std::unique_ptr<frmOption> m_dialog;
};

void tst_optionsabout::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
}

void tst_optionsabout::init()
{
    m_dialog.reset();
    m_prompter = {};
    stored().clear();
    m_settings = std::make_unique<store::Settings>();
    m_shared = m_settings->readSharedOptions();
    QFile::remove(m_folder.filePath(QStringLiteral("Font.ini")));
}

frmOption &tst_optionsabout::options()
{
    m_dialog = std::make_unique<frmOption>(*m_settings, m_shared, m_prompter, m_folder.path());
    m_dialog->show();
    return *m_dialog;
}

// The dialog lists the desktop's fonts through the cache the rich-text editor keeps in the same
// file (its format is tested with the editor's library).
void tst_optionsabout::fontsComeFromTheEditorsCache()
{
    const QString file = m_folder.filePath(FontListCache::fileName());
    QVERIFY(test::writeFile(file, "1\r\nStale\r\n"));
    const QStringList families = QFontDatabase::families();
    frmOption &d = options();
    QCOMPARE(test::readFile(file), FontListCache::contents(families));
    QCOMPARE(d.cboFontName[2]->count(), int(FontListCache::load(m_folder.path(), families).size()));
}

void tst_optionsabout::showsTheStoredOptionsAndTheSizeList()
{
    m_settings->setFontName(store::EditorKind::RichText, QStringLiteral("入っていない書体"));
    m_settings->setFontSize(store::EditorKind::Html, 10.5F);
    m_settings->setHtmlMode(1);
    frmOption &d = options();
    QCOMPARE(d.windowTitle(), QStringLiteral("Quillmere - ｵﾌﾟｼｮﾝ設定"));
    QCOMPARE(d.cboFontName[0]->currentText(), QStringLiteral("ＭＳ Ｐゴシック"));
    QCOMPARE(d.cboFontName[1]->currentText(), QStringLiteral("入っていない書体"));
    QCOMPARE(d.cboFontSize[0]->currentText(), QStringLiteral("10"));
    QCOMPARE(d.cboFontSize[2]->currentText(), QStringLiteral("10.5"));
    QVERIFY(d.optBrowserMDI->isChecked() && !d.optBrowserDefault->isChecked());
    for (QComboBox *sizes : d.cboFontSize) {
        QStringList rows;
        for (int i = 0; i < sizes->count(); ++i)
            rows.append(sizes->itemText(i));
        QCOMPARE(rows.join(QLatin1Char(' ')), QStringLiteral("5 6 7 8 9 10 11 12 13 14 15 16 18 20 22 24 26 28 30 32"));
    }
    QCOMPARE(d.findChild<QComboBox *>(QStringLiteral("cboFontSize(1)")), d.cboFontSize[1]);
    // Each row's caption, access key included, ends before its font list begins.
    for (std::size_t i = 0; i < d.rowLabels.size(); ++i)
        QVERIFY2(d.rowLabels[i]->x() + d.rowLabels[i]->sizeHint().width() <= d.cboFontName[i]->x(), qPrintable(d.rowLabels[i]->text()));
}

void tst_optionsabout::okStoresAndCancelStoresNothing()
{
    m_settings->setHtmlMode(1);
    m_settings->sync();
    m_shared = m_settings->readSharedOptions();

    // Cancel after changes: nothing stored, nothing shared.
    frmOption &first = options();
    first.cboFontName[0]->setEditText(QStringLiteral("Sans"));
    first.cboFontSize[1]->setEditText(QStringLiteral("14"));
    first.optBrowserDefault->setChecked(true);
    first.cmdCancel->click();
    QVERIFY(!first.isVisible());
    QSettings before = stored();
    QVERIFY(!before.contains(QStringLiteral("Text/FontName")));
    QVERIFY(!before.contains(QStringLiteral("RichText/FontSize")));
    QCOMPARE(before.value(QStringLiteral("MainWindow/HTMLMode")).toString(), QStringLiteral("1"));
    QCOMPARE(m_shared.BrowserInMdi, quint8(1));
    // A new showing shows the stored values, not the cancelled ones.
    QCOMPARE(options().cboFontName[0]->currentText(), QStringLiteral("ＭＳ Ｐゴシック"));

    // OK with the default browser stores "0", and the fonts as typed.
    m_dialog->cboFontName[0]->setEditText(QStringLiteral("Sans"));
    m_dialog->cboFontSize[1]->setEditText(QStringLiteral("14"));
    m_dialog->cboFontSize[2]->setEditText(QStringLiteral("１２")); // typed with the input method
    m_dialog->optBrowserDefault->setChecked(true);
    m_dialog->cmdOK->click();
    QVERIFY(!m_dialog->isVisible());
    QSettings after = stored();
    QCOMPARE(after.value(QStringLiteral("MainWindow/HTMLMode")).toString(), QStringLiteral("0"));
    QCOMPARE(after.value(QStringLiteral("Text/FontName")).toString(), QStringLiteral("Sans"));
    QCOMPARE(after.value(QStringLiteral("RichText/FontSize")).toString(), QStringLiteral("14"));
    QCOMPARE(after.value(QStringLiteral("HTML/FontSize")).toString(), QStringLiteral("12"));
    QCOMPARE(m_shared.BrowserInMdi, quint8(0));
    QCOMPARE(m_shared.EditorFontNames[0], QStringLiteral("Sans"));
    QCOMPARE(m_shared.EditorFontSizes[1], 14.0F);
}

void tst_optionsabout::aSizeThatIsNoNumberIsRefused()
{
    frmOption &d = options();
    d.cboFontName[0]->setEditText(QStringLiteral("Sans"));
    d.optBrowserMDI->setChecked(true);
    for (const QString &bad : {QStringLiteral("大"), QStringLiteral("12pt"), QStringLiteral(""), QStringLiteral("0"),
                               QStringLiteral("nan")}) {
        m_prompter.clear();
        d.cboFontSize[1]->setEditText(bad);
        d.cmdOK->click();
        QVERIFY2(d.isVisible(), qPrintable(bad));
        QCOMPARE(m_prompter.texts().size(), 1);
        QVERIFY2(m_prompter.texts().at(0).contains(QStringLiteral("ﾘｯﾁﾃｷｽﾄのフォントサイズとして使えません")),
                 qPrintable(m_prompter.texts().at(0)));
        QVERIFY(d.cboFontSize[1]->hasFocus() || !d.isActiveWindow());
    }
    QVERIFY2(stored().allKeys().isEmpty(), qPrintable(stored().allKeys().join(QLatin1Char(' '))));
    QCOMPARE(m_shared.EditorFontNames[0], QStringLiteral("ＭＳ Ｐゴシック"));

    // A size too large for an editor is brought down to the largest, shown before it is stored.
    m_prompter.clear();
    d.cboFontSize[1]->setEditText(QStringLiteral("920"));
    d.cmdOK->click();
    QVERIFY(d.isVisible());
    QCOMPARE(m_prompter.texts().size(), 1);
    QVERIFY2(m_prompter.texts().at(0).contains(QStringLiteral("大きすぎます")), qPrintable(m_prompter.texts().at(0)));
    QCOMPARE(d.cboFontSize[1]->currentText(), QStringLiteral("72"));
    QVERIFY(stored().allKeys().isEmpty());
    d.cmdOK->click();
    QCOMPARE(stored().value(QStringLiteral("RichText/FontSize")).toString(), QStringLiteral("72"));
}

void tst_optionsabout::backupOptionsAreCheckedAndStored()
{
    frmOption &d = options();
    QVERIFY(d.chkBackup->isChecked());
    QVERIFY(d.txtBackupFolder->text().isEmpty());
    QCOMPARE(d.spnDailyGenerations->value(), 7);
    QCOMPARE(d.spnWeeklyGenerations->value(), 4);

    // A folder no backup can be written into is refused before anything is stored.
    const QString file = m_folder.filePath(QStringLiteral("a-file"));
    QVERIFY(test::writeFile(file, "x"));
    for (const QString &bad : QStringList{file, file + QStringLiteral("/below"), QStringLiteral("relative/folder")}) {
        m_prompter.clear();
        d.txtBackupFolder->setText(bad);
        d.cmdOK->click();
        QVERIFY2(d.isVisible(), qPrintable(bad));
        QCOMPARE(m_prompter.texts().size(), 1);
        QVERIFY2(m_prompter.texts().at(0).contains(QStringLiteral("使えません")), qPrintable(m_prompter.texts().at(0)));
    }
    QVERIFY2(stored().allKeys().isEmpty(), qPrintable(stored().allKeys().join(QLatin1Char(' '))));

    // A missing folder is made; the backups then go there with the generations chosen.
    const QString folder = m_folder.filePath(QStringLiteral("new/backups"));
    d.txtBackupFolder->setText(folder);
    d.spnDailyGenerations->setValue(3);
    d.spnWeeklyGenerations->setValue(0);
    d.cmdOK->click();
    QVERIFY(!d.isVisible());
    QVERIFY(QFileInfo(folder).isDir());
    QCOMPARE(QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList());
    store::BackupOptions chosen = store::readBackupOptions(*m_settings);
    QVERIFY(chosen.enabled);
    QCOMPARE(chosen.root, folder);
    QCOMPARE(chosen.policy.daily, 3);
    QCOMPARE(chosen.policy.weekly, 0);

    // Switched off, the folder boxes are disabled and a bad folder no longer matters.
    frmOption &again = options();
    QCOMPARE(again.txtBackupFolder->text(), QDir::toNativeSeparators(folder));
    again.chkBackup->setChecked(false);
    QVERIFY(!again.txtBackupFolder->isEnabled());
    again.txtBackupFolder->setText(file);
    again.cmdOK->click();
    QVERIFY(!again.isVisible());
    QVERIFY(!store::readBackupOptions(*m_settings).enabled);
}

void tst_optionsabout::versionDialog()
{
    QCOMPARE(app::versionCaption(QStringLiteral("1.1.0.4")), QStringLiteral("ﾊﾞｰｼﾞｮﾝ 1.1.4"));
    QCOMPARE(app::versionCaption(QStringLiteral("02.010.3")), QStringLiteral("ﾊﾞｰｼﾞｮﾝ 2.10.3"));

    QStringList topics;
    frmAbout about([&topics](const QString &topic) { topics.append(topic); });
    about.show();
    QCOMPARE(about.windowTitle(), QStringLiteral("Quillmere - ﾊﾞｰｼﾞｮﾝ情報"));
    QCOMPARE(about.lblTitle->text(), QStringLiteral("Quillmere"));
    // The version the build sets, in one place.
    QCOMPARE(about.lblVersion->text(), QStringLiteral("ﾊﾞｰｼﾞｮﾝ " QM_EXPECTED_VERSION));
    QVERIFY(!about.lblDescription->text().isEmpty());
    QVERIFY(!about.Picture1->pixmap().isNull());
    QCOMPARE(about.findChildren<QFrame *>(QStringLiteral("Line1")).size(), 2);
    QCOMPARE(about.cmdMail->text(), QStringLiteral("連絡先(&M)"));
    about.cmdMail->click();
    QVERIFY(!about.isVisible());
    QCOMPARE(topics, QStringList{QStringLiteral("Introduction.htm#Mail")});
}

QTEST_MAIN(tst_optionsabout)
#include "tst_optionsabout.moc"
