#include "controls/dialogs/frmattributechangedialog.h"

#include "controls/dialogs/colorswatch.h"
#include "controls/dialogs/commondialogs.h"
#include "controls/dialogs/designlayout.h"
#include "controls/dialogs/dialogtexts.h"
#include "controls/dialogs/sizekeyfilter.h"
#include "controls/messages.h"
#include "controls/services.h"
#include "platform/desktop/accessiblename.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPointer>
#include <QPushButton>

namespace corvane {
namespace {

QPointer<frmAttributeChangeDialog> &loadedDialog()
{
    static QPointer<frmAttributeChangeDialog> dialog;
    return dialog;
}

// The captions of a switch: the value it applies.
QString on()
{
    return QStringLiteral("ｵﾝ");
}

QString off()
{
    return QStringLiteral("ｵﾌ");
}

// The sizes a rich-text widget accepts, in points.
constexpr double smallestSize = 1;
constexpr double largestSize = 1638;

template<class Widget>
Widget *named(QWidget *parent, const QString &name)
{
    auto *widget = new Widget(parent);
    widget->setObjectName(name);
    return widget;
}

void toggleSwitch(QPushButton &button)
{
    button.setText(button.text() == on() ? off() : on());
}

} // namespace

frmAttributeChangeDialog::frmAttributeChangeDialog()
    : m_controls(*this, {QStringLiteral("Label2"), QStringLiteral("変更(&R)"),
                         QStringLiteral("すべて変更(&A)")})
{
    setObjectName(QStringLiteral("frmAttributeChangeDialog"));
    setWindowTitle(QStringLiteral("属性変更"));
    setAttribute(Qt::WA_DeleteOnClose);
    createFrame();
    connectControls();
    layOut();
    UpdateAttributeControls();
}

frmAttributeChangeDialog::~frmAttributeChangeDialog() = default;

// The dialog has no owner window and deletes itself when it closes.
frmAttributeChangeDialog &frmAttributeChangeDialog::instance()
{
    if (!loadedDialog())
        loadedDialog() = new frmAttributeChangeDialog;
    return *loadedDialog();
}

frmAttributeChangeDialog *frmAttributeChangeDialog::loaded()
{
    return loadedDialog();
}

void frmAttributeChangeDialog::showFor(AttributeTarget &target)
{
    frmAttributeChangeDialog &dialog = instance();
    dialog.SetFindObject(target);
    if (dialog.isVisible())
        dialog.raise(); // an open dialog comes to the front; a newly shown one is there
    dialog.show();
    dialog.activateWindow();
}

void frmAttributeChangeDialog::createFrame()
{
    Frame = named<QGroupBox>(this, QStringLiteral("Frame"));
    Frame->setTitle(QStringLiteral("変更するものをチェックしてください"));
    m_bold = createSwitch(QStringLiteral("Bold"), QStringLiteral("太字(&B)"));
    m_italic = createSwitch(QStringLiteral("Italic"), QStringLiteral("斜体(&I)"));
    m_underline = createSwitch(QStringLiteral("Underline"), QStringLiteral("下線(&U)"));
    m_strikethrough = createSwitch(QStringLiteral("Strikethrough"), QStringLiteral("取消線(&T)"));
    createColorAndSize();
}

frmAttributeChangeDialog::Switch frmAttributeChangeDialog::createSwitch(const QString &name,
                                                                        const QString &caption)
{
    auto *check = named<QCheckBox>(Frame, QStringLiteral("chk") + name);
    check->setText(caption);
    auto *button = named<QPushButton>(Frame, QStringLiteral("cmd") + name);
    button->setText(on());
    button->setAutoDefault(false);
    return {check, button};
}

void frmAttributeChangeDialog::createColorAndSize()
{
    chkColor = named<QCheckBox>(Frame, QStringLiteral("chkColor"));
    chkColor->setText(QStringLiteral("色(&C)"));
    Shape = named<ColorSwatch>(Frame, QStringLiteral("Shape"));
    Image = named<QPushButton>(Frame, QStringLiteral("Image"));
    Image->setFlat(true);
    Image->setAutoDefault(false);
    // Reached with Tab from the colour box; Space opens the colour dialog.
    Image->setFocusPolicy(Qt::TabFocus);
    qm::desktop::setAccessibleName(Image, QStringLiteral("色の選択"));
    Image->setStyleSheet(QStringLiteral("QPushButton { border: none; background: transparent; }"
                                        "QPushButton:focus { border: 2px solid palette(highlight); }"));
    chkSize = named<QCheckBox>(Frame, QStringLiteral("chkSize"));
    chkSize->setText(QStringLiteral("ｻｲｽﾞ(&Z)"));
    cboSize = named<QComboBox>(Frame, QStringLiteral("cboSize"));
    cboSize->setEditable(true);
    cboSize->setInsertPolicy(QComboBox::NoInsert);
    qm::desktop::setAccessibleName(cboSize, qm::desktop::withoutAccessKey(chkSize->text()));
    cboSize->addItems({QStringLiteral("8"), QStringLiteral("9"), QStringLiteral("10"),
                       QStringLiteral("11"), QStringLiteral("12"), QStringLiteral("14"),
                       QStringLiteral("16"), QStringLiteral("18"), QStringLiteral("20"),
                       QStringLiteral("22"), QStringLiteral("24"), QStringLiteral("26"),
                       QStringLiteral("28"), QStringLiteral("36"), QStringLiteral("48"),
                       QStringLiteral("72")});
    // Keys typed into an editable combo box reach the box, which hands them to its line edit
    // directly, past any filter there; text an input method commits reaches the line edit.
    auto *sizeKeys = new SizeKeyFilter(cboSize);
    cboSize->installEventFilter(sizeKeys);
    cboSize->lineEdit()->installEventFilter(sizeKeys);
}

void frmAttributeChangeDialog::connectControls()
{
    const SearchControls &c = m_controls;
    connect(c.txtFindString, &QLineEdit::textChanged, this,
            [this] { m_controls.enableButtons(); });
    connect(c.cmdFindNext, &QPushButton::clicked, this,
            &frmAttributeChangeDialog::cmdFindNext_Click);
    connect(c.cmdReplace, &QPushButton::clicked, this,
            &frmAttributeChangeDialog::cmdReplace_Click);
    connect(c.cmdReplaceAll, &QPushButton::clicked, this,
            &frmAttributeChangeDialog::cmdReplaceAll_Click);
    connect(c.cmdCancel, &QPushButton::clicked, this, &QWidget::close);
    for (const Switch &s : {m_bold, m_italic, m_underline, m_strikethrough})
        connectSwitch(s);
    for (QCheckBox *check : {chkColor, chkSize})
        connect(check, &QCheckBox::clicked, this,
                &frmAttributeChangeDialog::UpdateAttributeControls);
    connect(Image, &QPushButton::clicked, this, &frmAttributeChangeDialog::Image_Click);
}

void frmAttributeChangeDialog::connectSwitch(const Switch &s)
{
    connect(s.check, &QCheckBox::clicked, this, &frmAttributeChangeDialog::UpdateAttributeControls);
    QPushButton *button = s.button;
    connect(button, &QPushButton::clicked, this, [button] { toggleSwitch(*button); });
}

void frmAttributeChangeDialog::layOut()
{
    const SearchControls &c = m_controls;
    placeAt(*c.Label1, 240, 165, 1575, 255, Fit::Caption);
    placeAt(*c.txtFindString, 1920, 120, 3015, 270);
    placeAt(*c.chkDistinguish, 600, 600, 2655, 255, Fit::Caption);
    placeAt(*c.directionLabel, 3720, 600, 975, 255, Fit::Caption);
    placeAt(*c.cboDirection, 3960, 840, 855, 300);
    keepAbove(*c.directionLabel, *c.cboDirection);
    placeAt(*Frame, 120, 960, 3615, 1575);
    layOutFrame();
    placeAt(*c.cmdFindNext, 5160, 120, 1335, 375);
    placeAt(*c.cmdCancel, 5160, 555, 1335, 375);
    placeAt(*c.cmdReplace, 5160, 1080, 1335, 375);
    placeAt(*c.cmdReplaceAll, 5160, 1515, 1335, 375);
    sizeTo(*this, 6645, 2655);
}

void frmAttributeChangeDialog::layOutFrame()
{
    placeAt(*m_bold.check, 240, 300, 975, 180, Fit::Caption);
    placeAt(*m_bold.button, 1440, 260, 375, 270, Fit::Exact);
    placeAt(*m_italic.check, 240, 600, 975, 180, Fit::Caption);
    placeAt(*m_italic.button, 1440, 560, 375, 270, Fit::Exact);
    placeAt(*m_underline.check, 240, 900, 975, 195, Fit::Caption);
    placeAt(*m_underline.button, 1440, 860, 375, 270, Fit::Exact);
    placeAt(*m_strikethrough.check, 240, 1200, 1335, 180, Fit::Caption);
    placeAt(*m_strikethrough.button, 1440, 1160, 375, 270, Fit::Exact);
    placeAt(*chkColor, 2040, 300, 735, 180, Fit::Caption);
    placeAt(*Shape, 2880, 260, 255, 255);
    Image->setGeometry(Shape->geometry());
    Image->raise();
    // Captions in a font larger than designed need more room than the column gives: each
    // control of the column starts below the one above it.
    placeAt(*chkSize, 2040, 600, 975, 255, Fit::Caption);
    keepBelow(*chkSize, *chkColor);
    placeAt(*cboSize, 2280, 840, 735, 300);
    keepBelow(*cboSize, *chkSize);
}

void frmAttributeChangeDialog::SetFindObject(AttributeTarget &target)
{
    m_search.setTarget(&target);
    cboSize->setCurrentIndex(0);
    m_controls.selectWholeText();
    UpdateAttributeControls();
    m_controls.enableButtons();
}

void frmAttributeChangeDialog::UpdateAttributeControls()
{
    cboSize->setEnabled(chkSize->isChecked());
    Shape->setActive(chkColor->isChecked());
    for (const Switch &s : {m_bold, m_italic, m_underline, m_strikethrough})
        s.button->setEnabled(s.check->isChecked());
}

void frmAttributeChangeDialog::Image_Click()
{
    if (!chkColor->isChecked())
        return;
    const std::optional<quint32> chosen =
        CommonDialogs::colorChooser().chooseColor(m_dialogColor.rgba(), QStringLiteral("色の設定"));
    if (!chosen)
        return;
    m_dialogColor = QColor::fromRgba(*chosen);
    Shape->setColor(m_dialogColor);
}

// The target is an AttributeTarget: SetFindObject takes no other.
void frmAttributeChangeDialog::ApplyAttributes(FindTarget &findTarget, double size)
{
    auto &target = static_cast<AttributeTarget &>(findTarget);
    if (chkSize->isChecked())
        target.setSelFontSize(size);
    if (chkColor->isChecked())
        target.setSelColor(Shape->color());
    if (m_bold.check->isChecked())
        target.setSelBold(m_bold.button->text() == on());
    if (m_italic.check->isChecked())
        target.setSelItalic(m_italic.button->text() == on());
    if (m_underline.check->isChecked())
        target.setSelUnderline(m_underline.button->text() == on());
    if (m_strikethrough.check->isChecked())
        target.setSelStrikeThru(m_strikethrough.button->text() == on());
    target.setSelStart(target.SelStart() + target.SelLength());
}

std::optional<double> frmAttributeChangeDialog::checkedSize()
{
    if (!chkSize->isChecked())
        return 0.0;
    bool ok = false;
    const double size = QLocale::c().toDouble(cboSize->currentText(), &ok);
    if (ok && size >= smallestSize && size <= largestSize)
        return size;
    using qm::desktop::Prompter;
    Services::prompter().inform(
        QStringLiteral("ｻｲｽﾞには %1 から %2 までの数値を入力してください。")
            .arg(smallestSize)
            .arg(largestSize),
        texts::title(), Prompter::Icon::Warning);
    cboSize->setFocus();
    return std::nullopt;
}

bool frmAttributeChangeDialog::targetGone()
{
    if (m_search.target())
        return false;
    close();
    return true;
}

void frmAttributeChangeDialog::cmdFindNext_Click()
{
    if (!targetGone() && !m_search.findNext(m_controls.settings()))
        SearchControls::finish(*this, texts::searchedToEnd(), texts::findTitle());
}

void frmAttributeChangeDialog::cmdReplace_Click()
{
    if (targetGone())
        return;
    const std::optional<double> size = checkedSize();
    if (!size)
        return;
    const auto apply = [this, size](FindTarget &target) { ApplyAttributes(target, *size); };
    if (!m_search.changeNext(m_controls.settings(), apply))
        SearchControls::finish(*this, texts::searchedToEnd(), texts::replaceTitle());
}

void frmAttributeChangeDialog::cmdReplaceAll_Click()
{
    if (targetGone())
        return;
    const std::optional<double> size = checkedSize();
    if (!size)
        return;
    m_search.changeAll(m_controls.settings(),
                       [this, size](FindTarget &target) { ApplyAttributes(target, *size); });
    SearchControls::finish(*this, texts::allAttributesChanged(), texts::replaceTitle());
}

} // namespace corvane
