#include "controls/dialogs/designlayout.h"

#include "platform/desktop/twips.h"

#include <QWidget>

#include <algorithm>

namespace corvane {

void placeAt(QWidget &widget, int left, int top, int width, int height, Fit fit)
{
    using qm::desktop::Twips;
    QRect rect = Twips::toPixels(left, top, width, height);
    if (fit == Fit::Exact) {
        widget.setGeometry(rect);
        return;
    }
    const QSize needed = widget.sizeHint();
    if (fit == Fit::Caption)
        rect.setWidth(std::max(rect.width(), needed.width()));
    if (needed.height() > rect.height()) {
        const int middle = rect.center().y();
        rect.setHeight(needed.height());
        rect.moveTop(middle - needed.height() / 2);
    }
    widget.setGeometry(rect);
}

void keepAbove(QWidget &caption, const QWidget &field)
{
    const int overlap = caption.geometry().bottom() + 1 - field.geometry().top();
    if (overlap > 0)
        caption.move(caption.x(), caption.y() - overlap);
}

void keepBelow(QWidget &lower, const QWidget &upper)
{
    const int overlap = upper.geometry().bottom() + 1 - lower.y();
    if (overlap > 0)
        lower.move(lower.x(), lower.y() + overlap);
}

void sizeTo(QWidget &dialog, int width, int height)
{
    using qm::desktop::Twips;
    dialog.setFixedSize(Twips::toPixels(width), Twips::toPixels(height));
}

} // namespace corvane
