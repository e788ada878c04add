#pragma once

#include "corvane_export.h"

#include <QColor>
#include <QWidget>

namespace corvane {

// A square filled with a colour. Inactive, it is drawn hatched in the colour on the window's
// background, with a grey border, so that the user sees it will not be applied.
class CORVANE_EXPORT ColorSwatch final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ColorSwatch)

public:
    explicit ColorSwatch(QWidget *parent);
    ~ColorSwatch() override;

    QColor color() const { return m_color; }
    void setColor(const QColor &color);
    bool isActive() const { return m_active; }
    void setActive(bool active);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QColor m_color = Qt::black;
    bool m_active = true;
};

} // namespace corvane
