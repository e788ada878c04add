#pragma once

#include "viewerwindow.h"

class QPlainTextEdit;

namespace qm::app {

// A plain-text entry.
class mdiTextBox final : public ViewerWindow
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(mdiTextBox)

public:
    explicit mdiTextBox(ViewerContext &context, QWidget *parent = nullptr);
    ~mdiTextBox() override;

    QPlainTextEdit *TextBox = nullptr;

protected:
    void showBody(const QByteArray &body) override;
};

} // namespace qm::app
