#include "oleviewer.h"

#include "app/common/oleprocedures.h"
#include "platform/objects/objectcontainer.h"

namespace qm::app {

mdiOLEContainer::mdiOLEContainer(ViewerContext &context, QWidget *parent)
    : ViewerWindow(context, parent)
    , oleOLEContainer(new objects::ObjectContainer(this))
{
    setObjectName(QStringLiteral("mdiOLEContainer"));
    oleOLEContainer->setObjectName(QStringLiteral("oleOLEContainer"));
    setBodyControl(oleOLEContainer);
}

mdiOLEContainer::~mdiOLEContainer() = default;

void mdiOLEContainer::showBody(const QByteArray &body)
{
    // An image the container cannot read leaves it empty; the window says so rather than
    // staying blank.
    const QString path = temporaryFilePath(context().programFolder, slot(), number(), QStringLiteral(".ole"));
    if (!LoadOleObject(*oleOLEContainer, body, path))
        oleOLEContainer->setEmptyText(QStringLiteral("このオブジェクトは表示できません。"));
}

} // namespace qm::app
