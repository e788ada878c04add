#pragma once

#include "clipboardformats.h"

#include <QDialog>

class QListWidget;
class QPushButton;
class QRadioButton;

namespace qm::objects {

// Lets the user choose in which of the clipboard's formats to paste, and whether a file is
// pasted as a link. Controls: `lstFormats`, `optPaste`, `optPasteLink`, `cmdOK`, `cmdCancel`.
class PasteSpecialDialog final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PasteSpecialDialog)

public:
    struct Choice {
        PasteFormat format;
        bool link = false;
    };

    explicit PasteSpecialDialog(QList<PasteFormat> formats, QWidget *parent = nullptr);
    ~PasteSpecialDialog() override;

    // The chosen format; nullopt when none is selected.
    std::optional<Choice> choice() const;

private:
    void updateControls();

    QList<PasteFormat> m_formats;
    QListWidget *m_list = nullptr;
    QRadioButton *m_paste = nullptr;
    QRadioButton *m_pasteLink = nullptr;
    QPushButton *m_ok = nullptr;
};

} // namespace qm::objects
