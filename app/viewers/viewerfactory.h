#pragma once

#include "viewercontext.h"

#include "app/store/dictionary/viewertype.h"

#include <QtGlobal>

namespace qm::app {

class ViewerWindow;

// Makes the viewer window for an entry type: text, rich text, object, and for addresses and
// pages the external or the embedded browser pair.
class ViewerFactory final
{
public:
    static ViewerWindow *create(store::Viewer viewer, bool browserInMdi, ViewerContext &context);

private:
    ViewerFactory() = delete;
};

} // namespace qm::app
