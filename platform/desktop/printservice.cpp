#include "printservice.h"

#include <QApplication>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrinter>

namespace qm::desktop {

DialogPrintService::DialogPrintService()
    : m_printer(std::make_unique<QPrinter>(QPrinter::HighResolution))
{
}

DialogPrintService::~DialogPrintService() = default;

bool DialogPrintService::setUpPage(const QString &title)
{
    QPageSetupDialog dialog(m_printer.get(), QApplication::activeWindow());
    dialog.setWindowTitle(title);
    return dialog.exec() == QDialog::Accepted;
}

bool DialogPrintService::choosePrinter(const QString &title, bool pageRange)
{
    QPrintDialog dialog(m_printer.get(), QApplication::activeWindow());
    dialog.setWindowTitle(title);
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, pageRange);
    dialog.setOption(QAbstractPrintDialog::PrintSelection, false);
    return dialog.exec() == QDialog::Accepted;
}

ScriptedPrintService::ScriptedPrintService(const QString &pdfPath)
    : m_printer(std::make_unique<QPrinter>(QPrinter::HighResolution))
{
    m_printer->setOutputFormat(QPrinter::PdfFormat);
    m_printer->setOutputFileName(pdfPath);
}

ScriptedPrintService::~ScriptedPrintService() = default;

bool ScriptedPrintService::answer(const QString &title)
{
    m_titles.append(title);
    return m_answers.isEmpty() || m_answers.dequeue();
}

bool ScriptedPrintService::setUpPage(const QString &title)
{
    return answer(title);
}

bool ScriptedPrintService::choosePrinter(const QString &title, bool)
{
    return answer(title);
}

} // namespace qm::desktop
