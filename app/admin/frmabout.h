#pragma once

#include "adminparts.h"

#include <QDialog>

#include <array>

class QFrame;
class QLabel;
class QPushButton;

namespace qm::app {

// The program's version as the build sets it ("0.1.0").
QString programVersion();
// The version line of a version text: "ﾊﾞｰｼﾞｮﾝ " and major.minor.revision, each without leading
// zeros. Of a four-part version the third part is left out (1.1.0.4 shows 1.1.4); of a
// three-part one the third part is the revision.
QString versionCaption(const QString &version);

// The version dialog: the program's name, version and purpose, and the contact page of the
// manual.
class frmAbout final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(frmAbout)

public:
    explicit frmAbout(HelpHandler help, QWidget *parent = nullptr);
    ~frmAbout() override;

    QLabel *Picture1 = nullptr;
    QLabel *lblTitle = nullptr;
    QLabel *lblVersion = nullptr;
    QLabel *lblDescription = nullptr;
    std::array<QFrame *, 2> Line1{};
    QPushButton *cmdOK = nullptr;
    QPushButton *cmdMail = nullptr;

private:
    void showContact();

    HelpHandler m_help;
};

} // namespace qm::app
