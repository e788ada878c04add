#include "searchstopper.h"

#include "app/store/search/searchworker.h"

#include <QPushButton>
#include <QShortcut>
#include <QStatusBar>

namespace qm::app {
namespace {

// A search that ends sooner than this never shows the button.
constexpr int ShowAfterMs = 150;

} // namespace

SearchStopper::SearchStopper(store::SearchWorker &worker, QStatusBar *bar, QWidget *window)
    : QObject(bar)
    , m_worker(worker)
    , m_button(new QPushButton(QStringLiteral("中止"), bar))
    , m_escape(new QShortcut(QKeySequence(Qt::Key_Escape), window))
{
    setObjectName(QStringLiteral("searchStopper"));
    m_button->setObjectName(QStringLiteral("cmdStopSearch"));
    // The tip (read out after the button's name) adds the key rather than repeating the name.
    m_button->setToolTip(QStringLiteral("Esc キーでも止められます"));
    m_button->setFocusPolicy(Qt::NoFocus);
    bar->addPermanentWidget(m_button);
    m_button->hide();
    // Esc belongs to the window's other uses while nothing runs.
    m_escape->setEnabled(false);
    connect(m_button, &QPushButton::clicked, this, [this] { m_worker.stop(); });
    connect(m_escape, &QShortcut::activated, this, [this] { m_worker.stop(); });
    m_delay.setSingleShot(true);
    m_delay.setInterval(ShowAfterMs);
    connect(&m_delay, &QTimer::timeout, m_button, &QWidget::show);
    connect(&m_worker, &store::SearchWorker::runningChanged, this, &SearchStopper::runningChanged);
}

SearchStopper::~SearchStopper() = default;

void SearchStopper::runningChanged(bool running)
{
    m_escape->setEnabled(running);
    if (running) {
        m_delay.start();
        return;
    }
    m_delay.stop();
    m_button->hide();
}

} // namespace qm::app
