#include "viewericons.h"

#include <QtGlobal>

// The icons live in a static library; their resources must be registered explicitly.
static void registerIconResources()
{
    Q_INIT_RESOURCE(icons);
}

static void initIconResources()
{
    static const bool registered = (registerIconResources(), true);
    Q_UNUSED(registered);
}

namespace qm::app {

QIcon viewerIcon(int viewerCode)
{
    static const char *const names[] = {"text", "richtext", "url", "html", "ole"};
    if (viewerCode < 1 || viewerCode > 5)
        return {};
    initIconResources();
    return QIcon(QStringLiteral(":/icons/%1.svg").arg(QLatin1String(names[viewerCode - 1])));
}

QIcon programIcon()
{
    initIconResources();
    return QIcon(QStringLiteral(":/icons/quillmere.svg"));
}

} // namespace qm::app
