#pragma once

#include "controls/control.h"
#include "corvane_export.h"

class QToolButton;

namespace corvane {

// Hands an address to the desktop (the user's web browser, or the program the desktop
// associates with a file), as far as DesktopLink lets it through. Its one inner widget, the image button ReDisplay, opens the last
// address again.
class CORVANE_EXPORT WebNavigate final : public Control
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(WebNavigate)

public:
    explicit WebNavigate(QWidget *parent = nullptr);
    ~WebNavigate() override;

    // Opens the address; a failure is shown to the user, nothing is returned.
    Q_INVOKABLE void Navigate(const QString &strURL);

    QSize sizeHint() const override;

private:
    void reDisplay();
    void open(const QString &address);

    QToolButton *m_reDisplay;
    QString m_lastAddress;
    bool m_hasAddress = false;
};

} // namespace corvane
