#include "viewerfactory.h"

#include "oleviewer.h"
#include "richtextviewer.h"
#include "textviewer.h"
#include "webviewers.h"

namespace qm::app {

ViewerWindow *ViewerFactory::create(quint8 viewer, bool browserInMdi, ViewerContext &context)
{
    switch (viewer) {
    case 1: return new mdiTextBox(context);
    case 2: return new mdiRichTextBox(context);
    case 3: return browserInMdi ? static_cast<ViewerWindow *>(new mdiURLMDI(context)) : new mdiURL(context);
    case 4: return browserInMdi ? static_cast<ViewerWindow *>(new mdiHTMLMDI(context)) : new mdiHTML(context);
    case 5: return new mdiOLEContainer(context);
    default: return nullptr;
    }
}

} // namespace qm::app
