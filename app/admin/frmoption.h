#pragma once

#include "app/store/settings.h"

#include <QDialog>

#include <array>
#include <optional>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLineEdit;
class QSpinBox;
class QLabel;
class QPushButton;
class QRadioButton;

namespace qm::desktop {
class Prompter;
}

namespace qm::app {

// The options: the font of each of the three text editors, how web entries are shown, and the
// automatic backups (on or off, their folder, the generations kept). It
// always shows what the settings store holds; OK stores the choices and hands them to the
// program's shared options, Cancel stores nothing.
class frmOption final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(frmOption)

public:
    // `fontFolder` holds the font list cache "Font.ini".
    frmOption(store::Settings &settings, store::SharedOptions &shared, desktop::Prompter &prompter,
              const QString &fontFolder, QWidget *parent = nullptr);
    ~frmOption() override;

    // The sizes offered in each size box: 5 to 16, then the even sizes to 32.
    static QStringList fontSizes();
    // The largest point size offered: a line of a larger size no longer fits an editor window.
    static constexpr float MaxFontSize = 72;

    // A size as the user typed it (1 or more), or nullopt when it is no point size.
    static std::optional<float> parseFontSize(const QString &text);

    std::array<QLabel *, store::EditorKindCount> rowLabels{}; // Label1 ... Label3
    QLabel *Label4 = nullptr;
    QLabel *Label5 = nullptr;
    std::array<QComboBox *, store::EditorKindCount> cboFontName{};
    std::array<QComboBox *, store::EditorKindCount> cboFontSize{};
    QGroupBox *Frame1 = nullptr;
    QRadioButton *optBrowserMDI = nullptr;
    QRadioButton *optBrowserDefault = nullptr;
    QGroupBox *fraBackup = nullptr;
    QCheckBox *chkBackup = nullptr;
    QLineEdit *txtBackupFolder = nullptr;
    QPushButton *cmdBackupFolder = nullptr;
    QSpinBox *spnDailyGenerations = nullptr;
    QSpinBox *spnWeeklyGenerations = nullptr;
    QSpinBox *spnServerTimeout = nullptr;
    QPushButton *cmdOK = nullptr;
    QPushButton *cmdCancel = nullptr;

private:
    void buildControls(QWidget *client);
    void buildBackupControls(QWidget *client);
    void load(const QString &fontFolder);
    void loadBackup();
    void enableBackupControls(bool on);
    // The backup folder as typed, checked and made if missing; nullopt (after telling the user)
    // when no backup can be written there. Empty for the default folder.
    std::optional<QString> checkedBackupFolder();
    void storeBackup(const QString &folder);
    void storeChoices();
    void clampFontSize(int row, const QString &typed);

    store::Settings &m_settings;
    store::SharedOptions &m_shared;
    desktop::Prompter &m_prompter;
};

} // namespace qm::app
