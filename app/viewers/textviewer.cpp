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
    const auto kind = int(store::EditorKind::Text);
    QFont font(context().options.EditorFontNames[kind]);
    font.setPointSizeF(context().options.EditorFontSizes[kind]);
    TextBox->setFont(font);
    TextBox->setPlainText(text::cp932::decode(body));
}

} // namespace qm::app
