#include "browsersurface.h"

#include <QOpenGLContext>
#include <QOpenGLWidget>

namespace qm::app {

void prepareForEmbeddedBrowser(QWidget &window)
{
    const QString name = QStringLiteral("embeddedBrowserSurface");
    if (window.findChild<QOpenGLWidget *>(name, Qt::FindDirectChildrenOnly))
        return;
    // A surface the platform cannot back would break the window's own drawing.
    QOpenGLContext probe;
    if (!probe.create())
        return;
    auto *surface = new QOpenGLWidget(&window);
    surface->setObjectName(name);
    surface->hide();
}

} // namespace qm::app
