#include "progresswindow.h"

#include <QApplication>
#include <QProgressDialog>

namespace qm::desktop {

ProgressWindow::ProgressWindow(QString label, bool cancellable)
    : m_label(std::move(label))
    , m_cancellable(cancellable)
{
}

ProgressWindow::~ProgressWindow()
{
    delete m_dialog;
}

bool ProgressWindow::update(qint64 done, qint64 total)
{
    if (!m_dialog) {
        if (done >= total)
            return true;
        m_dialog = new QProgressDialog(m_label, m_cancellable ? QStringLiteral("キャンセル") : QString(), 0, 1000,
                                       QApplication::activeWindow());
        m_dialog->setObjectName(QStringLiteral("dlgProgress"));
        m_dialog->setWindowTitle(QStringLiteral("Quillmere"));
        m_dialog->setWindowModality(Qt::ApplicationModal);
        m_dialog->setMinimumDuration(500);
        m_dialog->setAutoClose(false);
        m_dialog->setAutoReset(false);
    }
    // Progress in thousandths keeps large totals within the dialog's int range.
    m_dialog->setValue(total > 0 ? int(qBound<qint64>(qint64(0), done * 1000 / total, qint64(1000))) : 0);
    QApplication::processEvents();
    const bool go = !m_dialog->wasCanceled();
    if (done >= total) {
        delete m_dialog;
    }
    return go;
}

} // namespace qm::desktop
