#include "printservice.h"

#include <QAbstractButton>
#include <QApplication>
#include <QHash>
#include <QPageSetupDialog>
#include <QPointer>
#include <QPrintDialog>
#include <QPrinter>
#include <QTimer>
#include <QTranslator>

namespace qm::desktop {
namespace {

// Japanese for the texts of Qt's print and page setup dialogs that Qt's own Japanese
// translation lacks; every other text is left to that translation.
class PrintDialogTexts final : public QTranslator
{
public:
    using QTranslator::QTranslator;

    bool isEmpty() const override { return false; }

    QString translate(const char *context, const char *sourceText, const char *, int) const override
    {
        if (!context || !sourceText || !isPrintContext(QByteArrayView(context)))
            return {};
        return texts().value(QByteArray(sourceText));
    }

private:
    static bool isPrintContext(QByteArrayView context)
    {
        return context.startsWith("QPrint") || context.startsWith("QPageSetup") || context.startsWith("QCups")
               || context.startsWith("QUnixPrint");
    }

    static const QHash<QByteArray, QString> &texts()
    {
        static const QHash<QByteArray, QString> japanese{
            {"Double Sided Printing", QStringLiteral("両面印刷")},
            {"Off", QStringLiteral("しない")},
            {"Long side binding", QStringLiteral("長辺綴じ")},
            {"Short side binding", QStringLiteral("短辺綴じ")},
            {"Pages", QStringLiteral("ページ指定")},
            {"Specify pages or ranges separated by commas. Ranges are specified by two numbers separated by a "
             "hyphen. E.g: 3,5-7,9 prints pages 3, 5, 6, 7 and 9.",
             QStringLiteral("ページや範囲を「,」で区切って指定します。範囲は２つの番号を「-」でつなぎます。"
                            "例: 3,5-7,9 で 3、5、6、7、9 ページを印刷します。")},
            {"Invalid Pages Definition", QStringLiteral("ページ指定の誤り")},
            {"%1 does not follow the correct syntax. Please use ',' to separate ranges and pages, '-' to define "
             "ranges and make sure ranges do not intersect with each other.",
             QStringLiteral("%1 は正しい書式ではありません。範囲やページは「,」で区切り、範囲は「-」で指定し、"
                            "範囲が重ならないようにしてください。")},
            {"Advanced", QStringLiteral("詳細設定")},
            {"Banner page at start", QStringLiteral("開始バナーページ")},
            {"Banner page at end", QStringLiteral("終了バナーページ")},
            {"There are conflicts in some options. Please fix them.",
             QStringLiteral("矛盾する設定があります。設定を直してください。")},
            {"Advanced Option Conflicts", QStringLiteral("詳細設定の矛盾")},
            {"Duplex Settings Conflicts", QStringLiteral("両面印刷の設定の矛盾")},
            {"Page Setup Conflicts", QStringLiteral("ページ設定の矛盾")},
            {"There are conflicts in some advanced options. Do you want to fix them?",
             QStringLiteral("詳細設定に矛盾があります。直しますか?")},
            {"There are conflicts in duplex settings. Do you want to fix them?",
             QStringLiteral("両面印刷の設定に矛盾があります。直しますか?")},
            {"There are conflicts in page setup options. Do you want to fix them?",
             QStringLiteral("ページ設定に矛盾があります。直しますか?")},
        };
        return japanese;
    }
};

// Installed once for the application, which owns it; dialogs made later take its texts.
void installPrintDialogTexts()
{
    static QPointer<QTranslator> installed;
    if (installed || !QCoreApplication::instance())
        return;
    installed = new PrintDialogTexts(QCoreApplication::instance());
    QCoreApplication::installTranslator(installed);
}

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
{
    installPrintDialogTexts();
}

// Made at the first print or page setup, not with the window: a printer loads the print
// system's plugin and asks it for the default printer, which a program that never prints does
// not need at its start. Once made, it keeps the page setup for every later job.
QPrinter &DialogPrintService::printer()
{
    if (!m_printer)
        m_printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    return *m_printer;
}

DialogPrintService::~DialogPrintService() = default;

bool DialogPrintService::setUpPage(const QString &title)
{
    QPageSetupDialog dialog(&printer(), QApplication::activeWindow());
    dialog.setWindowTitle(title);
    return dialog.exec() == QDialog::Accepted;
}

// The dialog starts from the printer's range, so that range is set afresh for every job: the
// selection when there is one, else everything.
bool DialogPrintService::choosePrinter(const QString &title, bool selection)
{
    printer().setPrintRange(selection ? QPrinter::Selection : QPrinter::AllPages);
    QPrintDialog dialog(&printer(), QApplication::activeWindow());
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
