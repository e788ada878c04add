#include "printcommand.h"

#include "app/viewers/oleviewer.h"
#include "app/viewers/richtextviewer.h"
#include "app/viewers/textviewer.h"
#include "app/viewers/webviewers.h"
#include "platform/desktop/printservice.h"
#include "platform/desktop/prompter.h"
#include "platform/rtf/printing.h"

#include <QPlainTextEdit>
#include <QTextEdit>

namespace qm::app {
namespace {

const QString PrintTitle = QStringLiteral("印刷");

QString webHint(const QString &what)
{
    return what + QStringLiteral("\n　ドキュメント上で右クリックのショートカットメニューから印刷を選んでください。");
}

// Whether the viewer shows text with a part selected, which the print dialog then offers.
bool hasSelection(QWidget *viewer)
{
    if (auto *text = qobject_cast<mdiTextBox *>(viewer))
        return text->TextBox->textCursor().hasSelection();
    if (auto *rich = qobject_cast<mdiRichTextBox *>(viewer))
        return rich->RTFBox->textCursor().hasSelection();
    return false;
}

} // namespace

void setUpPage(desktop::PrintService &printing)
{
    printing.setUpPage(QStringLiteral("ﾍﾟｰｼﾞ設定"));
}

void printViewer(QWidget *viewer, desktop::PrintService &printing, desktop::Prompter &prompter)
{
    if (!viewer) {
        prompter.inform(QStringLiteral("印刷するデータがありません。データを表示してから印刷してください"));
        return;
    }
    if (qobject_cast<mdiHTML *>(viewer)) {
        prompter.inform(webHint(QStringLiteral("ＨＴＭＬのデータの印刷について")));
        return;
    }
    if (qobject_cast<mdiURL *>(viewer)) {
        prompter.inform(webHint(QStringLiteral("ＵＲＬのデータの印刷について")));
        return;
    }
    if (qobject_cast<mdiOLEContainer *>(viewer)) {
        prompter.inform(QStringLiteral("ＯＬＥのデータの印刷について\n(1) 右クリックから開くを選んでください。\n"
                                       "(2) 開いたアプリケーションで印刷を行ってください"));
        return;
    }
    if (!printing.choosePrinter(PrintTitle, hasSelection(viewer)))
        return;
    // A page shown inside the window is printed by its browser; a page that does not come out
    // is told, since nothing else would show it.
    if (auto *web = qobject_cast<WebViewer *>(viewer)) {
        if (!web->printPage(printing.printer()))
            prompter.inform(QStringLiteral("ページを印刷できませんでした。"));
        return;
    }
    // Printing ends silently on any other error, as the user has the printer's own report.
    if (auto *text = qobject_cast<mdiTextBox *>(viewer))
        rtf::printChosenPlainText(text->TextBox->textCursor(), printing.printer());
    else if (auto *rich = qobject_cast<mdiRichTextBox *>(viewer))
        rtf::printChosenRichText(rich->RTFBox->textCursor(), printing.printer());
}

} // namespace qm::app
