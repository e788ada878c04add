#pragma once

#include <QQueue>
#include <QString>
#include <QStringList>

#include <memory>

class QPrinter;

namespace qm::desktop {

// The printer and its dialogs. The printer lives as long as the service, so the page set up
// once is used by every later printing.
class PrintService
{
public:
    virtual ~PrintService() = default;
    virtual QPrinter &printer() = 0;
    // Page setup; false when the user cancelled.
    virtual bool setUpPage(const QString &title) = 0;
    // The print dialog; false when the user cancelled. `pageRange` offers a choice of pages.
    virtual bool choosePrinter(const QString &title, bool pageRange) = 0;
};

// The desktop's page setup and print dialogs over the active window.
class DialogPrintService final : public PrintService
{
public:
    DialogPrintService();
    ~DialogPrintService() override;
    QPrinter &printer() override { return *m_printer; }
    bool setUpPage(const QString &title) override;
    bool choosePrinter(const QString &title, bool pageRange) override;

private:
    std::unique_ptr<QPrinter> m_printer;
};

// For tests: prints into a PDF file and answers the dialogs from a queue (empty: OK).
class ScriptedPrintService final : public PrintService
{
public:
    explicit ScriptedPrintService(const QString &pdfPath);
    ~ScriptedPrintService() override;
    QPrinter &printer() override { return *m_printer; }
    bool setUpPage(const QString &title) override;
    bool choosePrinter(const QString &title, bool pageRange) override;

    void queueAnswer(bool ok) { m_answers.enqueue(ok); }
    // The title of every dialog shown, in order.
    const QStringList &titles() const { return m_titles; }

private:
    bool answer(const QString &title);

    std::unique_ptr<QPrinter> m_printer;
    QQueue<bool> m_answers;
    QStringList m_titles;
};

} // namespace qm::desktop
