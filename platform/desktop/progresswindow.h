#pragma once

#include <QPointer>
#include <QString>

class QProgressDialog;
class QWidget;

namespace qm::desktop {

// A progress window for a long operation that reports (done, total) as it goes. The window
// appears only when the operation takes long enough to notice, keeps the program painting
// while it runs, and offers a cancel button when the operation can stop.
class ProgressWindow final
{
public:
    ProgressWindow(QString label, bool cancellable);
    ~ProgressWindow();
    ProgressWindow(const ProgressWindow &) = delete;
    ProgressWindow &operator=(const ProgressWindow &) = delete;

    // False once the user has asked to stop. The window closes when done reaches total.
    bool update(qint64 done, qint64 total);

private:
    QString m_label;
    bool m_cancellable;
    QPointer<QProgressDialog> m_dialog;
};

} // namespace qm::desktop
