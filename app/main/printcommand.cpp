#include "printcommand.h"

#include "app/viewers/oleviewer.h"
#include "app/viewers/richtextviewer.h"
#include "app/viewers/textviewer.h"
#include "app/viewers/webviewers.h"
#include "platform/desktop/printservice.h"
#include "platform/desktop/prompter.h"
#include "platform/rtf/pdftext.h"
#include "platform/rtf/printing.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QRawFont>
#include <QTextEdit>

namespace qm::app {
namespace {

const QString PrintTitle = QStringLiteral("印刷");

QString webHint(const QString &what)
{
    return what + QStringLiteral("\n　ドキュメント上で右クリックのショートカットメニューから印刷を選んでください。");
}

// The printer's font, or one that holds Japanese when it does not: a line of Japanese text
// must never come out as boxes.
QFont japaneseCapableFont(QFont font)
{
    const QRawFont raw = QRawFont::fromFont(font, QFontDatabase::Japanese);
    if (raw.isValid() && raw.supportsCharacter(QChar(0x3042)) && raw.supportsCharacter(QChar(0x6F22)))
        return font;
    const QStringList families = QFontDatabase::families(QFontDatabase::Japanese);
    if (!families.isEmpty())
        font.setFamilies({families.first()});
    return font;
}

} // namespace

void setUpPage(desktop::PrintService &printing)
{
    printing.setUpPage(QStringLiteral("ﾍﾟｰｼﾞ設定"));
}

bool printPlainText(const QString &text, QPrinter &printer)
{
    QPainter painter;
    if (!painter.begin(&printer))
        return false;
    painter.setFont(japaneseCapableFont(QFont()));
    const QFontMetrics metrics(painter.font(), &printer);
    const QRect body = rtf::printBody(printer);
    int y = body.top();
    for (const QString &line : text.split(QLatin1Char('\n'))) {
        if (y + metrics.height() > body.bottom() && y > body.top()) {
            if (!printer.newPage())
                return false;
            y = body.top();
        }
        painter.drawText(body.left(), y + metrics.ascent(), QString(line).remove(QLatin1Char('\r')));
        y += metrics.lineSpacing();
    }
    const QFont font = painter.font();
    return painter.end() && rtf::repairPrintedText(printer, text, rtf::fontsOf(text, font));
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
    if (!printing.choosePrinter(PrintTitle, false))
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
        printPlainText(text->TextBox->toPlainText(), printing.printer());
    else if (auto *rich = qobject_cast<mdiRichTextBox *>(viewer))
        rtf::printSelection(rich->RTFBox->textCursor(), printing.printer());
}

} // namespace qm::app
