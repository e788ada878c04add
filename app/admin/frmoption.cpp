#include "frmoption.h"

#include "adminparts.h"

#include "app/store/care/autobackup.h"
#include "controls/fontlist.h"
#include "platform/desktop/accessiblename.h"
#include "platform/desktop/prompter.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTemporaryFile>

#include <cmath>

namespace qm::app {
namespace {

using admin::place;
using store::EditorKind;
using store::EditorKindCount;

EditorKind kindAt(int i)
{
    return static_cast<EditorKind>(i);
}

} // namespace

frmOption::frmOption(store::Settings &settings, store::SharedOptions &shared, desktop::Prompter &prompter,
                     const QString &fontFolder, QWidget *parent)
    : QDialog(parent)
    , m_settings(settings)
    , m_shared(shared)
    , m_prompter(prompter)
{
    setObjectName(QStringLiteral("frmOption"));
    setWindowTitle(QStringLiteral("Quillmere - ｵﾌﾟｼｮﾝ設定"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    buildControls(admin::fixedClient(this, 4815, 5655));
    load(fontFolder);
    loadBackup();
    spnServerTimeout->setValue(int(m_settings.serverTimeout().count()));
}

frmOption::~frmOption() = default;

QStringList frmOption::fontSizes()
{
    QStringList sizes;
    for (int size = 5; size <= 16; ++size)
        sizes.append(QString::number(size));
    for (int size = 18; size <= 32; size += 2)
        sizes.append(QString::number(size));
    return sizes;
}

std::optional<float> frmOption::parseFontSize(const QString &text)
{
    // Full-width digits typed with the input method count as digits.
    const QString plain = text.normalized(QString::NormalizationForm_KC).trimmed();
    bool ok = false;
    const float size = QLocale::c().toFloat(plain, &ok);
    if (!ok || !std::isfinite(size) || size < 1)
        return std::nullopt;
    return size;
}

void frmOption::buildControls(QWidget *client)
{
    const QStringList rowTitles = {QStringLiteral("ﾃｷｽﾄ"), QStringLiteral("ﾘｯﾁﾃｷｽﾄ"), QStringLiteral("HTML")};
    const QStringList rowCaptions = {QStringLiteral("ﾃｷｽﾄ(&T)"), QStringLiteral("ﾘｯﾁﾃｷｽﾄ(&E)"), QStringLiteral("HTML(&M)")};
    for (int i = 0; i < EditorKindCount; ++i) {
        const std::size_t at = std::size_t(i);
        cboFontName[at] = place(new QComboBox(client), QStringLiteral("cboFontName(%1)").arg(i), 1200, 420 + 480 * i,
                                2535, 330);
        cboFontName[at]->setEditable(true);
        cboFontName[at]->setInsertPolicy(QComboBox::NoInsert);
        cboFontSize[at] = place(new QComboBox(client), QStringLiteral("cboFontSize(%1)").arg(i), 3840, 420 + 480 * i,
                                855, 330);
        cboFontSize[at]->setEditable(true);
        cboFontSize[at]->setInsertPolicy(QComboBox::NoInsert);
        desktop::setAccessibleName(cboFontName[at], rowTitles.at(i) + QStringLiteral(" フォント"));
        desktop::setAccessibleName(cboFontSize[at], rowTitles.at(i) + QStringLiteral(" サイズ"));
        rowLabels[at] = admin::label(client, QStringLiteral("Label%1").arg(i + 1), rowCaptions.at(i), cboFontName[at],
                                     120, 480 + 480 * i, 1035);
    }
    Label4 = admin::label(client, QStringLiteral("Label4"), QStringLiteral("フォント"), nullptr, 1200, 120, 1500);
    Label5 = admin::label(client, QStringLiteral("Label5"), QStringLiteral("サイズ"), nullptr, 3840, 120, 855);

    Frame1 = place(new QGroupBox(QStringLiteral("ﾌﾞﾗｳｻﾞﾓｰﾄﾞ"), client), QStringLiteral("Frame1"), 120, 1920, 4575,
                   960);
    optBrowserMDI = place(new QRadioButton(QStringLiteral("MDIで表示する(&I)"), Frame1), QStringLiteral("optBrowserMDI"),
                          240, 330, 4200, 255);
    optBrowserDefault = place(new QRadioButton(QStringLiteral("既定のﾌﾞﾗｳｻﾞを起動する(&B)"), Frame1),
                              QStringLiteral("optBrowserDefault"), 240, 630, 4200, 255);

    buildBackupControls(client);
    spnServerTimeout = place(new QSpinBox(client), QStringLiteral("spnServerTimeout"), 3840, 4680, 855, 300);
    spnServerTimeout->setRange(int(store::Settings::MinServerTimeout.count()), int(store::Settings::MaxServerTimeout.count()));
    admin::label(client, QStringLiteral("lblServerTimeout"), QStringLiteral("サーバーの接続待ち時間 (秒)(&V)"),
                 spnServerTimeout, 120, 4725, 3600);

    cmdOK = place(new QPushButton(QStringLiteral("O K"), client), QStringLiteral("cmdOK"), 2160, 5160, 1215, 375);
    cmdOK->setDefault(true);
    cmdCancel = place(new QPushButton(QStringLiteral("キャンセル"), client), QStringLiteral("cmdCancel"), 3480, 5160,
                      1215, 375);
    cmdCancel->setAutoDefault(false);
    connect(cmdOK, &QPushButton::clicked, this, &frmOption::storeChoices);
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
}

void frmOption::buildBackupControls(QWidget *client)
{
    fraBackup = place(new QGroupBox(QStringLiteral("ﾊﾞｯｸｱｯﾌﾟ"), client), QStringLiteral("fraBackup"), 120, 2940, 4575,
                      1620);
    chkBackup = place(new QCheckBox(QStringLiteral("変更した辞書を自動的にﾊﾞｯｸｱｯﾌﾟする(&A)"), fraBackup),
                      QStringLiteral("chkBackup"), 240, 300, 4200, 255);
    txtBackupFolder = place(new QLineEdit(fraBackup), QStringLiteral("txtBackupFolder"), 1080, 630, 2400, 300);
    txtBackupFolder->setPlaceholderText(QDir::toNativeSeparators(store::defaultBackupRoot()));
    admin::label(fraBackup, QStringLiteral("lblBackupFolder"), QStringLiteral("保存先(&D)"), txtBackupFolder, 240, 675,
                 840);
    cmdBackupFolder = place(new QPushButton(QStringLiteral("参照(&R)..."), fraBackup), QStringLiteral("cmdBackupFolder"),
                            3540, 615, 915, 330);
    cmdBackupFolder->setAutoDefault(false);
    spnDailyGenerations = place(new QSpinBox(fraBackup), QStringLiteral("spnDailyGenerations"), 1680, 1050, 600, 300);
    spnDailyGenerations->setRange(1, 99);
    admin::label(fraBackup, QStringLiteral("lblDailyGenerations"), QStringLiteral("日ごとの世代(&Y)"),
                 spnDailyGenerations, 240, 1095, 1400);
    spnWeeklyGenerations = place(new QSpinBox(fraBackup), QStringLiteral("spnWeeklyGenerations"), 3855, 1050, 600, 300);
    spnWeeklyGenerations->setRange(0, 99);
    admin::label(fraBackup, QStringLiteral("lblWeeklyGenerations"), QStringLiteral("週ごとの世代(&W)"),
                 spnWeeklyGenerations, 2400, 1095, 1400);
    connect(chkBackup, &QCheckBox::toggled, this, &frmOption::enableBackupControls);
    connect(cmdBackupFolder, &QPushButton::clicked, this, [this] {
        const QString start = txtBackupFolder->text().trimmed().isEmpty() ? txtBackupFolder->placeholderText()
                                                                           : txtBackupFolder->text().trimmed();
        const QString folder = QFileDialog::getExistingDirectory(this, QStringLiteral("ﾊﾞｯｸｱｯﾌﾟの保存先"), start);
        if (!folder.isEmpty())
            txtBackupFolder->setText(QDir::toNativeSeparators(folder));
    });
}

void frmOption::load(const QString &fontFolder)
{
    const QStringList names = corvane::FontListCache::load(fontFolder, QFontDatabase::families());
    const QStringList sizes = fontSizes();
    for (int i = 0; i < EditorKindCount; ++i) {
        const std::size_t at = std::size_t(i);
        cboFontName[at]->addItems(names);
        cboFontSize[at]->addItems(sizes);
        // The stored texts show even when they are no row of the lists (a font not installed).
        cboFontName[at]->setCurrentIndex(-1);
        cboFontName[at]->setEditText(m_settings.fontName(kindAt(i)));
        cboFontSize[at]->setCurrentIndex(-1);
        cboFontSize[at]->setEditText(QLocale::c().toString(m_settings.fontSize(kindAt(i)), 'g', 7));
    }
    const bool inMdi = m_settings.htmlMode() != 0;
    (inMdi ? optBrowserMDI : optBrowserDefault)->setChecked(true);
}

void frmOption::loadBackup()
{
    const store::BackupOptions options = store::readBackupOptions(m_settings);
    chkBackup->setChecked(options.enabled);
    enableBackupControls(options.enabled);
    const QString folder = m_settings.value(store::keys::Backup::Folder).trimmed();
    txtBackupFolder->setText(QDir::toNativeSeparators(folder));
    spnDailyGenerations->setValue(options.policy.daily);
    spnWeeklyGenerations->setValue(options.policy.weekly);
}

void frmOption::enableBackupControls(bool on)
{
    const QList<QWidget *> controls = {txtBackupFolder, cmdBackupFolder, spnDailyGenerations, spnWeeklyGenerations};
    for (QWidget *control : controls)
        control->setEnabled(on);
}

std::optional<QString> frmOption::checkedBackupFolder()
{
    const QString typed = txtBackupFolder->text().trimmed();
    if (typed.isEmpty() || !chkBackup->isChecked())
        return QDir::fromNativeSeparators(typed);
    // A folder is only taken when a backup can really be written into it: the hourly round
    // would otherwise fail quietly in the background.
    const QString folder = QDir::cleanPath(QDir::fromNativeSeparators(typed));
    QString reason;
    if (QDir::isRelativePath(folder))
        reason = QStringLiteral("フルパスで指定してください");
    else if (QFileInfo(folder).exists() && !QFileInfo(folder).isDir())
        reason = QStringLiteral("フォルダーではなくファイルです");
    else if (!QDir().mkpath(folder))
        reason = QStringLiteral("フォルダーを作成できません");
    else if (QTemporaryFile probe(folder + QStringLiteral("/.write-test-XXXXXX")); !probe.open())
        reason = QStringLiteral("書き込みできません");
    if (reason.isEmpty())
        return folder;
    m_prompter.inform(QStringLiteral("ﾊﾞｯｸｱｯﾌﾟの保存先「") + typed + QStringLiteral("」は使えません（") + reason
                          + QStringLiteral("）"),
                      {}, desktop::Prompter::Icon::Warning);
    txtBackupFolder->setFocus();
    txtBackupFolder->selectAll();
    return std::nullopt;
}

void frmOption::storeBackup(const QString &folder)
{
    m_settings.setValue(store::keys::Backup::Enabled, quint8(chkBackup->isChecked() ? 1 : 0));
    m_settings.setValue(store::keys::Backup::Folder, folder);
    m_settings.setValue(store::keys::Backup::DailyGenerations, qint16(spnDailyGenerations->value()));
    m_settings.setValue(store::keys::Backup::WeeklyGenerations, qint16(spnWeeklyGenerations->value()));
}

void frmOption::clampFontSize(int row, const QString &typed)
{
    // A size beyond what an editor window can show is brought down to the largest one; the user
    // sees it in the box and confirms it with another OK.
    const std::size_t at = std::size_t(row);
    const QString largest = QString::number(double(MaxFontSize));
    cboFontSize[at]->setEditText(largest);
    m_prompter.inform(QStringLiteral("「") + typed + QStringLiteral("」は") + desktop::withoutAccessKey(rowLabels[at]->text())
                          + QStringLiteral("のフォントサイズとして大きすぎます。\n編集画面に表示できる最大の ") + largest
                          + QStringLiteral(" にしました"),
                      {}, desktop::Prompter::Icon::Warning);
    cboFontSize[at]->setFocus();
    cboFontSize[at]->lineEdit()->selectAll();
}

void frmOption::storeChoices()
{
    // Every size is checked before anything is stored: the editors read the stored size as a
    // number.
    std::array<float, EditorKindCount> sizes{};
    for (int i = 0; i < EditorKindCount; ++i) {
        const std::size_t at = std::size_t(i);
        const QString text = cboFontSize[at]->currentText();
        const std::optional<float> size = parseFontSize(text);
        if (!size) {
            m_prompter.inform(QStringLiteral("「") + text + QStringLiteral("」は") + desktop::withoutAccessKey(rowLabels[at]->text())
                                  + QStringLiteral("のフォントサイズとして使えません。\n1 から ")
                                  + QString::number(double(MaxFontSize)) + QStringLiteral(" までの数値を入力してください"),
                              {}, desktop::Prompter::Icon::Warning);
            cboFontSize[at]->setFocus();
            cboFontSize[at]->lineEdit()->selectAll();
            return;
        }
        if (*size > MaxFontSize) {
            clampFontSize(i, text);
            return;
        }
        sizes[at] = *size;
    }
    const std::optional<QString> backupFolder = checkedBackupFolder();
    if (!backupFolder)
        return;
    store::SharedOptions chosen = m_shared;
    chosen.BrowserInMdi = optBrowserDefault->isChecked() ? 0 : 1;
    for (int i = 0; i < EditorKindCount; ++i) {
        const std::size_t at = std::size_t(i);
        chosen.EditorFontNames[at] = cboFontName[at]->currentText();
        chosen.EditorFontSizes[at] = sizes[at];
    }
    m_settings.writeOptions(chosen);
    storeBackup(*backupFolder);
    m_settings.setValue(store::keys::Server::ConnectTimeout, qint16(spnServerTimeout->value()));
    m_settings.sync();
    m_shared = chosen;
    accept();
}

} // namespace qm::app
