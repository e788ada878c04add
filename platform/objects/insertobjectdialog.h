#pragma once

#include <QDialog>

class QCheckBox;
class QLineEdit;
class QPushButton;

namespace qm::objects {

class FileChooser;

// Asks for a file to insert as an object, embedded or as a link. Controls: `txtFile`,
// `cmdBrowse`, `chkLink`, `cmdOK`, `cmdCancel`; OK is enabled only for an existing file.
class InsertObjectDialog final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(InsertObjectDialog)

public:
    struct Choice {
        QString path;
        bool link = false;
    };

    explicit InsertObjectDialog(FileChooser &chooser, QWidget *parent = nullptr);
    ~InsertObjectDialog() override;

    Choice choice() const;

private:
    void browse();
    void updateOk();

    FileChooser &m_chooser;
    QLineEdit *m_file = nullptr;
    QCheckBox *m_link = nullptr;
    QPushButton *m_ok = nullptr;
};

} // namespace qm::objects
