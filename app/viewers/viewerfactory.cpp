#include "viewerfactory.h"

#include "oleviewer.h"
#include "richtextviewer.h"
#include "textviewer.h"
#include "webviewers.h"

namespace qm::app {

ViewerWindow *ViewerFactory::create(store::Viewer viewer, bool browserInMdi, ViewerContext &context)
{
    switch (viewer) {
    case store::Viewer::Text: return new mdiTextBox(context);
    case store::Viewer::RichText: return new mdiRichTextBox(context);
    case store::Viewer::Url:
        return browserInMdi ? static_cast<ViewerWindow *>(new mdiURLMDI(context)) : new mdiURL(context);
    case store::Viewer::Html:
        return browserInMdi ? static_cast<ViewerWindow *>(new mdiHTMLMDI(context)) : new mdiHTML(context);
    case store::Viewer::Ole: return new mdiOLEContainer(context);
    }
    return nullptr;
}

} // namespace qm::app
