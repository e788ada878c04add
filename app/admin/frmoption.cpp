#include "frmoption.h"

#include "adminparts.h"
#include "fontlist.h"

#include "platform/desktop/accessiblename.h"
#include "platform/desktop/prompter.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QRadioButton>

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
    buildControls(admin::fixedClient(this, 4815, 3495));
    load(fontFolder);
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
    for (int i = 0; i < EditorKindCount; ++i) {
        const std::size_t at = std::size_t(i);
        cboFontName[at] = place(new QComboBox(client), QStringLiteral("cboFontName(%1)").arg(i), 960, 420 + 480 * i,
                                2775, 330);
        cboFontName[at]->setEditable(true);
        cboFontName[at]->setInsertPolicy(QComboBox::NoInsert);
        cboFontSize[at] = place(new QComboBox(client), QStringLiteral("cboFontSize(%1)").arg(i), 3840, 420 + 480 * i,
                                855, 330);
        cboFontSize[at]->setEditable(true);
        cboFontSize[at]->setInsertPolicy(QComboBox::NoInsert);
        desktop::setAccessibleName(cboFontName[at], rowTitles.at(i) + QStringLiteral(" フォント"));
        desktop::setAccessibleName(cboFontSize[at], rowTitles.at(i) + QStringLiteral(" サイズ"));
        rowLabels[at] = admin::label(client, QStringLiteral("Label%1").arg(i + 1), rowTitles.at(i), cboFontName[at],
                                     120, 480 + 480 * i, 795);
    }
    Label4 = admin::label(client, QStringLiteral("Label4"), QStringLiteral("フォント"), nullptr, 960, 120, 1500);
    Label5 = admin::label(client, QStringLiteral("Label5"), QStringLiteral("サイズ"), nullptr, 3840, 120, 855);

    Frame1 = place(new QGroupBox(QStringLiteral("ﾌﾞﾗｳｻﾞﾓｰﾄﾞ"), client), QStringLiteral("Frame1"), 120, 1920, 4575,
                   960);
    optBrowserMDI = place(new QRadioButton(QStringLiteral("MDIで表示する"), Frame1), QStringLiteral("optBrowserMDI"),
                          240, 330, 4200, 255);
    optBrowserDefault = place(new QRadioButton(QStringLiteral("既定のﾌﾞﾗｳｻﾞを起動する"), Frame1),
                              QStringLiteral("optBrowserDefault"), 240, 630, 4200, 255);

    cmdOK = place(new QPushButton(QStringLiteral("O K"), client), QStringLiteral("cmdOK"), 2160, 3000, 1215, 375);
    cmdOK->setDefault(true);
    cmdCancel = place(new QPushButton(QStringLiteral("キャンセル"), client), QStringLiteral("cmdCancel"), 3480, 3000,
                      1215, 375);
    cmdCancel->setAutoDefault(false);
    connect(cmdOK, &QPushButton::clicked, this, &frmOption::storeChoices);
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
}

void frmOption::load(const QString &fontFolder)
{
    const QStringList names = FontListCache(fontFolder).load();
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

void frmOption::clampFontSize(int row, const QString &typed)
{
    // A size beyond what an editor window can show is brought down to the largest one; the user
    // sees it in the box and confirms it with another OK.
    const std::size_t at = std::size_t(row);
    const QString largest = QString::number(double(MaxFontSize));
    cboFontSize[at]->setEditText(largest);
    m_prompter.inform(QStringLiteral("「") + typed + QStringLiteral("」は") + rowLabels[at]->text()
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
            m_prompter.inform(QStringLiteral("「") + text + QStringLiteral("」は") + rowLabels[at]->text()
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
    store::SharedOptions chosen = m_shared;
    chosen.BrowserInMdi = optBrowserDefault->isChecked() ? 0 : 1;
    for (int i = 0; i < EditorKindCount; ++i) {
        const std::size_t at = std::size_t(i);
        chosen.EditorFontNames[at] = cboFontName[at]->currentText();
        chosen.EditorFontSizes[at] = sizes[at];
    }
    m_settings.writeOptions(chosen);
    m_settings.sync();
    m_shared = chosen;
    accept();
}

} // namespace qm::app
