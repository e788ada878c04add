#include "controls/dialogs/frmfinddialog.h"

#include "controls/dialogs/designlayout.h"
#include "controls/dialogs/dialogtexts.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>

namespace corvane {
namespace {

QPointer<frmFindDialog> &loadedDialog()
{
    static QPointer<frmFindDialog> dialog;
    return dialog;
}

// Design sizes in twips. Find mode hides the replacement row and moves the lower controls up.
constexpr int dialogWidth = 6990;
constexpr int replaceHeight = 1995;
constexpr int findLift = 840;

} // namespace

frmFindDialog::frmFindDialog()
    : m_controls(*this, {QStringLiteral("Label3"), QStringLiteral("置換(&R)"),
                         QStringLiteral("すべて置換(&A)")})
{
    setObjectName(QStringLiteral("frmFindDialog"));
    setAttribute(Qt::WA_DeleteOnClose);
    createReplaceControls();
    connectControls();
    layOut(false);
}

frmFindDialog::~frmFindDialog() = default;

// The dialog has no owner window and deletes itself when it closes.
frmFindDialog &frmFindDialog::instance()
{
    if (!loadedDialog())
        loadedDialog() = new frmFindDialog;
    return *loadedDialog();
}

frmFindDialog *frmFindDialog::loaded()
{
    return loadedDialog();
}

void frmFindDialog::showFor(FindTarget &target, short mode)
{
    frmFindDialog &dialog = instance();
    dialog.SetFindObject(target, mode);
    if (dialog.isVisible())
        dialog.raise(); // an open dialog comes to the front; a newly shown one is there
    dialog.show();
    dialog.activateWindow();
}

void frmFindDialog::createReplaceControls()
{
    Label2 = new QLabel(QStringLiteral("置換後の文字列(&P)"), this);
    Label2->setObjectName(QStringLiteral("Label2"));
    txtReplaceString = new QLineEdit(this);
    txtReplaceString->setObjectName(QStringLiteral("txtReplaceString"));
    Label2->setBuddy(txtReplaceString);
    // In the order of the designed tab stops: the replacement follows the search text.
    setTabOrder(m_controls.txtFindString, txtReplaceString);
    setTabOrder(txtReplaceString, m_controls.chkDistinguish);
}

void frmFindDialog::connectControls()
{
    connect(m_controls.txtFindString, &QLineEdit::textChanged, this,
            &frmFindDialog::txtFindString_Change);
    connect(m_controls.cmdFindNext, &QPushButton::clicked, this, &frmFindDialog::cmdFindNext_Click);
    connect(m_controls.cmdReplace, &QPushButton::clicked, this, &frmFindDialog::cmdReplace_Click);
    connect(m_controls.cmdReplaceAll, &QPushButton::clicked, this,
            &frmFindDialog::cmdReplaceAll_Click);
    connect(m_controls.cmdCancel, &QPushButton::clicked, this, &frmFindDialog::cmdCancel_Click);
}

// Laid out from the design each time, so re-targeting an open dialog in the other mode gives
// exactly the layout a newly loaded one would have.
void frmFindDialog::layOut(bool findMode)
{
    setWindowTitle(findMode ? texts::findTitle() : texts::replaceTitle());
    m_controls.Label1->setText(findMode ? QStringLiteral("検索する文字列(&F):")
                                        : QStringLiteral("置換前の文字列(&F)"));
    const QList<QWidget *> replaceOnly{Label2, txtReplaceString, m_controls.cmdReplace,
                                       m_controls.cmdReplaceAll};
    for (QWidget *w : replaceOnly)
        w->setVisible(!findMode);
    placeSearchControls(findMode);
    sizeTo(*this, dialogWidth, replaceHeight - (findMode ? findLift : 0));
}

void frmFindDialog::placeSearchControls(bool findMode)
{
    SearchControls &c = m_controls;
    placeAt(*c.Label1, 240, 170, 1575, 255, Fit::Caption);
    placeAt(*c.txtFindString, 1920, 120, 3015, 270);
    placeAt(*Label2, 240, 650, 1575, 255, Fit::Caption);
    placeAt(*txtReplaceString, 1920, 600, 3015, 270);
    placeAt(*c.chkDistinguish, 600, findMode ? 600 : 1200, 2655, 255, Fit::Caption);
    placeAt(*c.directionLabel, 3600, findMode ? 540 : 1260, 975, 255, Fit::Caption);
    placeAt(*c.cboDirection, 3840, findMode ? 780 : 1500, 855, 300);
    keepAbove(*c.directionLabel, *c.cboDirection);
    placeAt(*c.cmdFindNext, 5160, 120, 1335, 375);
    placeAt(*c.cmdCancel, 5160, 550, 1335, 375);
    placeAt(*c.cmdReplace, 5160, 1080, 1335, 375);
    placeAt(*c.cmdReplaceAll, 5160, 1510, 1335, 375);
}

void frmFindDialog::SetFindObject(FindTarget &target, short mode)
{
    m_search.setTarget(&target);
    layOut(mode == 1);
    m_controls.enableButtons();
    m_controls.selectWholeText();
}

bool frmFindDialog::targetGone()
{
    if (m_search.target())
        return false;
    close();
    return true;
}

void frmFindDialog::replaceSelection(FindTarget &target) const
{
    target.setSelText(txtReplaceString->text());
    target.setSelStart(target.SelStart() + target.SelLength());
}

void frmFindDialog::cmdFindNext_Click()
{
    if (!targetGone() && !m_search.findNext(m_controls.settings()))
        SearchControls::finish(*this, texts::searchedToEnd(), texts::findTitle());
}

void frmFindDialog::cmdReplace_Click()
{
    if (targetGone())
        return;
    const auto replace = [this](FindTarget &target) { replaceSelection(target); };
    if (!m_search.changeNext(m_controls.settings(), replace))
        SearchControls::finish(*this, texts::replacedToEnd(), texts::replaceTitle());
}

void frmFindDialog::cmdReplaceAll_Click()
{
    if (targetGone())
        return;
    m_search.changeAll(m_controls.settings(),
                       [this](FindTarget &target) { replaceSelection(target); });
    SearchControls::finish(*this, texts::allReplaced(), texts::replaceTitle());
}

void frmFindDialog::cmdCancel_Click()
{
    close();
}

void frmFindDialog::txtFindString_Change()
{
    m_controls.enableButtons();
}

} // namespace corvane
