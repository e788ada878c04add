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
    // The print dialog; false when the user cancelled. It offers the whole text and, when
    // `selection` says there is one, the selection, preselected; never a choice of pages. The
    // printer's print range then says which was chosen.
    virtual bool choosePrinter(const QString &title, bool selection) = 0;
};

// The desktop's page setup and print dialogs over the active window.
class DialogPrintService final : public PrintService
{
public:
    DialogPrintService();
    ~DialogPrintService() override;
    QPrinter &printer() override;
    bool setUpPage(const QString &title) override;
    bool choosePrinter(const QString &title, bool selection) override;

private:
    std::unique_ptr<QPrinter> m_printer;
};

// For tests: prints into a PDF file and answers the dialogs from a queue (empty: OK, keeping
// the print dialog's preselected choice).
class ScriptedPrintService final : public PrintService
{
public:
    explicit ScriptedPrintService(const QString &pdfPath);
    ~ScriptedPrintService() override;
    QPrinter &printer() override { return *m_printer; }
    bool setUpPage(const QString &title) override;
    bool choosePrinter(const QString &title, bool selection) override;

    void queueAnswer(bool ok) { m_answers.enqueue(ok ? Answer::Ok : Answer::Cancel); }
    // The next print dialog is answered with the whole text chosen over the selection.
    void queueWholeText() { m_answers.enqueue(Answer::WholeText); }
    // The title of every dialog shown, in order.
    const QStringList &titles() const { return m_titles; }
    // For every print dialog shown, whether it offered the selection.
    const QList<bool> &selectionOffered() const { return m_selectionOffered; }

private:
    enum class Answer { Ok, Cancel, WholeText };
    Answer answer(const QString &title);

    std::unique_ptr<QPrinter> m_printer;
    QQueue<Answer> m_answers;
    QStringList m_titles;
    QList<bool> m_selectionOffered;
};

} // namespace qm::desktop
