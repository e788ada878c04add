#pragma once

#include "controls/dialogs/searchcontrols.h"
#include "controls/dialogs/textsearch.h"
#include "corvane_export.h"

#include <QColor>
#include <QDialog>

#include <optional>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QPushButton;

namespace corvane {

class AttributeTarget;
class ColorSwatch;

// The attribute dialog of the rich-text editor: it finds a text like the find dialog, and
// instead of replacing a match it changes the match's character attributes (any chosen
// combination of size, colour, bold, italic, underline and strikethrough). The library has
// one, shown modeless; closing unloads it.
class CORVANE_EXPORT frmAttributeChangeDialog final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(frmAttributeChangeDialog)

public:
    ~frmAttributeChangeDialog() override;

    // The loaded dialog, loading it first when it is not.
    static frmAttributeChangeDialog &instance();
    // The dialog while it is loaded, else null.
    static frmAttributeChangeDialog *loaded();
    // What the rich-text editor's attribute command does: SetFindObject, then show modeless.
    static void showFor(AttributeTarget &target);

    void SetFindObject(AttributeTarget &target);

private:
    // One attribute switch: its check box and its "On"/"Off" button.
    struct Switch {
        QCheckBox *check;
        QPushButton *button;
    };

    frmAttributeChangeDialog();

    void createFrame();
    Switch createSwitch(const QString &name, const QString &caption);
    void createColorAndSize();
    void connectControls();
    void connectSwitch(const Switch &s);
    void layOut();
    void layOutFrame();

    void UpdateAttributeControls();
    // Applies the checked attributes to the target's selection and moves the caret past it.
    void ApplyAttributes(FindTarget &target, double size);
    // The size to apply; nullopt (and the user is told) when it is checked but not a size.
    std::optional<double> checkedSize();
    bool targetGone();

    void cmdFindNext_Click();
    void cmdReplace_Click();
    void cmdReplaceAll_Click();
    void Image_Click();

    SearchControls m_controls;
    QGroupBox *Frame = nullptr;
    Switch m_bold{};
    Switch m_italic{};
    Switch m_underline{};
    Switch m_strikethrough{};
    QCheckBox *chkColor = nullptr;
    ColorSwatch *Shape = nullptr;
    QPushButton *Image = nullptr;
    QCheckBox *chkSize = nullptr;
    QComboBox *cboSize = nullptr;
    QColor m_dialogColor = Qt::black; // what the colour dialog returned last
    TextSearch m_search;
};

} // namespace corvane
