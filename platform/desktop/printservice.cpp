#include "printservice.h"

#include <QAbstractButton>
#include <QApplication>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrinter>
#include <QTimer>

namespace qm::desktop {
namespace {

// Qt's dialog enables its "pages from" choice when it shows, whatever its options say. Nothing
// here is printed by page number, so every choice of pages is switched off once it is shown.
void disablePageChoices(QPrintDialog &dialog)
{
    for (const char *name : {"printRange", "pagesRadioButton", "printCurrentPage"})
        if (auto *button = dialog.findChild<QAbstractButton *>(QLatin1String(name)))
            button->setEnabled(false);
}

} // namespace

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

// The dialog starts from the printer's range, so that range is set afresh for every job: the
// selection when there is one, else everything.
bool DialogPrintService::choosePrinter(const QString &title, bool selection)
{
    m_printer->setPrintRange(selection ? QPrinter::Selection : QPrinter::AllPages);
    QPrintDialog dialog(m_printer.get(), QApplication::activeWindow());
    dialog.setWindowTitle(title);
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, false);
    dialog.setOption(QAbstractPrintDialog::PrintCurrentPage, false);
    dialog.setOption(QAbstractPrintDialog::PrintSelection, selection);
    QTimer::singleShot(0, &dialog, [&dialog] { disablePageChoices(dialog); });
    return dialog.exec() == QDialog::Accepted;
}

ScriptedPrintService::ScriptedPrintService(const QString &pdfPath)
    : m_printer(std::make_unique<QPrinter>(QPrinter::HighResolution))
{
    m_printer->setOutputFormat(QPrinter::PdfFormat);
    m_printer->setOutputFileName(pdfPath);
}

ScriptedPrintService::~ScriptedPrintService() = default;

ScriptedPrintService::Answer ScriptedPrintService::answer(const QString &title)
{
    m_titles.append(title);
    return m_answers.isEmpty() ? Answer::Ok : m_answers.dequeue();
}

bool ScriptedPrintService::setUpPage(const QString &title)
{
    return answer(title) != Answer::Cancel;
}

bool ScriptedPrintService::choosePrinter(const QString &title, bool selection)
{
    m_selectionOffered.append(selection);
    const Answer given = answer(title);
    const bool selectionChosen = selection && given == Answer::Ok;
    m_printer->setPrintRange(selectionChosen ? QPrinter::Selection : QPrinter::AllPages);
    return given != Answer::Cancel;
}

} // namespace qm::desktop
