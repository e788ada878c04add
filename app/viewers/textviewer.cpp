#include "textviewer.h"

#include "app/store/settings.h"
#include "platform/text/cp932.h"

#include <QPlainTextEdit>

namespace qm::app {

mdiTextBox::mdiTextBox(ViewerContext &context, QWidget *parent)
    : ViewerWindow(context, parent)
    , TextBox(new QPlainTextEdit(this))
{
    setObjectName(QStringLiteral("mdiTextBox"));
    TextBox->setObjectName(QStringLiteral("TextBox"));
    TextBox->setReadOnly(true);
    TextBox->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    TextBox->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setBodyControl(TextBox);
}

mdiTextBox::~mdiTextBox() = default;

void mdiTextBox::showBody(const QByteArray &body)
{
    TextBox->setFont(editorFont(store::EditorKind::Text));
    TextBox->setPlainText(text::cp932::decode(body));
}

} // namespace qm::app
