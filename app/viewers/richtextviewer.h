#pragma once

#include "viewerwindow.h"

class QTextEdit;

namespace qm::app {

// A rich-text entry; the body is RTF.
class mdiRichTextBox final : public ViewerWindow
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(mdiRichTextBox)

public:
    explicit mdiRichTextBox(ViewerContext &context, QWidget *parent = nullptr);
    ~mdiRichTextBox() override;

    QTextEdit *RTFBox = nullptr;

protected:
    void showBody(const QByteArray &body) override;
};

} // namespace qm::app
