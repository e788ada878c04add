#include "richtextviewer.h"

#include "app/store/settings.h"
#include "platform/rtf/rtf.h"
#include "platform/text/cp932.h"

#include <QTextEdit>

namespace qm::app {

mdiRichTextBox::mdiRichTextBox(ViewerContext &context, QWidget *parent)
    : ViewerWindow(context, parent)
    , RTFBox(new QTextEdit(this))
{
    setObjectName(QStringLiteral("mdiRichTextBox"));
    RTFBox->setObjectName(QStringLiteral("RTFBox"));
    RTFBox->setReadOnly(true);
    RTFBox->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    setBodyControl(RTFBox);
}

mdiRichTextBox::~mdiRichTextBox() = default;

void mdiRichTextBox::showBody(const QByteArray &body)
{
    // The editor font is the default; fonts named inside the RTF override it.
    RTFBox->document()->setDefaultFont(editorFont(store::EditorKind::RichText));
    const QString text = text::cp932::decode(body);
    if (rtf::looksLikeRtf(text))
        rtf::setRtf(*RTFBox->document(), text);
    else
        RTFBox->setPlainText(text);
}

} // namespace qm::app
