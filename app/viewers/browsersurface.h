#pragma once

class QWidget;

namespace qm::app {

// The embedded browser draws through OpenGL. A window that was first shown for plain raster
// drawing has its native window destroyed and made again when the first browser appears in it:
// the whole window vanishes and comes back. Called before the window is first shown, this makes
// it start with the surface the browser needs, by a hidden OpenGL child; the browser itself is
// still created only with the first page. Does nothing where no OpenGL context can be had (the
// browser then draws without one, and nothing is made again).
void prepareForEmbeddedBrowser(QWidget &window);

} // namespace qm::app
