#pragma once

#include "adminparts.h"

#include <QDialog>

#include <array>

class QCheckBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace qm::desktop {
class Prompter;
}

namespace qm::app {

// Creates a new dictionary file at the path the caller puts into txtFileName, with the name,
// author, comment and lock flags the user enters. The caller tests afterwards whether the file
// exists. A creation that fails is reported and leaves no file behind; the dialog stays open.
class frmMakeNewDictionary final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(frmMakeNewDictionary)

public:
    frmMakeNewDictionary(desktop::Prompter &prompter, HelpHandler help, QWidget *parent = nullptr);
    ~frmMakeNewDictionary() override;

    QLineEdit *txtFileName = nullptr;
    QLineEdit *txtDicName = nullptr;
    QLineEdit *txtAuthor = nullptr;
    QPlainTextEdit *txtComment = nullptr;
    // Locks of the name, the author and the comment.
    std::array<QCheckBox *, 3> chkLock{};
    QPushButton *cmdOK = nullptr;
    QPushButton *cmdCancel = nullptr;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void buildControls(QWidget *client);
    void buildButtons(QWidget *client);
    void createDictionary();
    QString creationFailure(const QString &reason) const;

    desktop::Prompter &m_prompter;
    HelpHandler m_help;
};

} // namespace qm::app
