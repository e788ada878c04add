#pragma once

#include "viewerwindow.h"

namespace qm::objects {
class ObjectContainer;
}

namespace qm::app {

// An entry holding an embedded or linked file.
class mdiOLEContainer final : public ViewerWindow
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(mdiOLEContainer)

public:
    explicit mdiOLEContainer(ViewerContext &context, QWidget *parent = nullptr);
    ~mdiOLEContainer() override;

    objects::ObjectContainer *oleOLEContainer = nullptr;

protected:
    void showBody(const QByteArray &body) override;
};

} // namespace qm::app
