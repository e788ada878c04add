#include "controls/dialogs/colorswatch.h"

#include <QPainter>

namespace corvane {

ColorSwatch::ColorSwatch(QWidget *parent)
    : QWidget(parent)
{
}

ColorSwatch::~ColorSwatch() = default;

void ColorSwatch::setColor(const QColor &color)
{
    m_color = color;
    update();
}

void ColorSwatch::setActive(bool active)
{
    m_active = active;
    update();
}

void ColorSwatch::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const QRect box = rect().adjusted(0, 0, -1, -1);
    painter.setPen(m_active ? QPen(Qt::black) : QPen(Qt::gray, 1, Qt::DotLine));
    painter.setBrush(m_active ? QBrush(m_color) : QBrush(m_color, Qt::BDiagPattern));
    painter.drawRect(box);
}

} // namespace corvane
