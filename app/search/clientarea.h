#pragma once

#include <QWidget>

#include <functional>

namespace qm::app {

// The client area of a search window: a plain widget that reports its size changes, so that
// the controls placed on it can follow the window's resize rule.
class ClientArea final : public QWidget
{
public:
    ClientArea(std::function<void(const QSize &)> onResize, QWidget *parent)
        : QWidget(parent)
        , m_onResize(std::move(onResize))
    {
    }

protected:
    void resizeEvent(QResizeEvent *event) override
    {
        QWidget::resizeEvent(event);
        if (m_onResize)
            m_onResize(size());
    }

private:
    std::function<void(const QSize &)> m_onResize;
};

} // namespace qm::app
