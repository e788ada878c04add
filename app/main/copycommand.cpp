#include "copycommand.h"

#include "app/viewers/oleviewer.h"
#include "app/viewers/richtextviewer.h"
#include "app/viewers/textviewer.h"
#include "app/viewers/webviewers.h"
#include "platform/desktop/prompter.h"
#include "platform/objects/objectcontainer.h"
#include "platform/rtf/rtf.h"

#include <QApplication>
#include <QClipboard>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QTextEdit>

namespace qm::app {
namespace {

void copyRichText(const QTextEdit &box)
{
    auto data = std::make_unique<QMimeData>();
    const QByteArray rtf = rtf::toRtf(*box.document()).toLatin1();
    data->setData(QString::fromLatin1(RtfMimeType), rtf);
    data->setData(QStringLiteral("application/rtf"), rtf);
    data->setText(box.document()->toPlainText());
    QApplication::clipboard()->setMimeData(data.release());
}

} // namespace

void copyFromViewer(QWidget *viewer, desktop::Prompter &prompter)
{
    if (!viewer)
        return;
    QClipboard *clipboard = QApplication::clipboard();
    clipboard->clear();
    if (auto *text = qobject_cast<mdiTextBox *>(viewer)) {
        clipboard->setText(text->TextBox->toPlainText());
    } else if (auto *rich = qobject_cast<mdiRichTextBox *>(viewer)) {
        copyRichText(*rich->RTFBox);
    } else if (qobject_cast<mdiHTML *>(viewer)) {
        prompter.inform(QStringLiteral("ＨＴＭＬのデータのコピーについて\n"
                                       "(1) 直接本文を範囲指定します（マウスでドラッグします）。\n"
                                       "(2) 右クリックからコピーを選んでください。"));
    } else if (auto *url = qobject_cast<mdiURL *>(viewer)) {
        clipboard->setText(url->GetURL());
    } else if (auto *object = qobject_cast<mdiOLEContainer *>(viewer)) {
        object->oleOLEContainer->copyToClipboard();
    }
}

} // namespace qm::app
