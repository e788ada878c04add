#include "searchstopper.h"

#include "app/store/sets/databasemodule.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPushButton>
#include <QStatusBar>

namespace qm::app {
namespace {

bool isUserInput(QEvent::Type type)
{
    switch (type) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::InputMethod:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TabletPress:
    case QEvent::TabletRelease:
    case QEvent::TabletMove:
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop: return true;
    default: return false;
    }
}

} // namespace

SearchStopper::SearchStopper(store::DatabaseModule &database, QStatusBar *bar)
    : QObject(bar)
    , m_database(database)
    , m_button(new QPushButton(QStringLiteral("中止"), bar))
{
    setObjectName(QStringLiteral("searchStopper"));
    m_button->setObjectName(QStringLiteral("cmdStopSearch"));
    // The tip (read out after the button's name) adds the key rather than repeating the name.
    m_button->setToolTip(QStringLiteral("Esc キーでも止められます"));
    m_button->setFocusPolicy(Qt::NoFocus);
    bar->addPermanentWidget(m_button);
    m_button->hide();
    connect(m_button, &QPushButton::clicked, this, [this] { m_database.requestCancel(); });
    // Checked from the event loop: once the search has returned, the program is no longer busy.
    m_watch.setInterval(0);
    connect(&m_watch, &QTimer::timeout, this, &SearchStopper::endWhenSearchIsOver);
}

SearchStopper::~SearchStopper()
{
    end();
}

void SearchStopper::beat()
{
    if (!m_database.isSearching())
        return;
    if (!m_active)
        begin();
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void SearchStopper::begin()
{
    m_active = true;
    qApp->installEventFilter(this);
    m_button->show();
    m_watch.start();
}

void SearchStopper::end()
{
    if (!m_active)
        return;
    m_active = false;
    m_watch.stop();
    qApp->removeEventFilter(this);
    m_button->hide();
    deliverHeldKeys();
}

bool SearchStopper::hold(QObject *watched, QEvent *event)
{
    const QEvent::Type type = event->type();
    if (type != QEvent::KeyPress && type != QEvent::KeyRelease && type != QEvent::InputMethod)
        return false;
    if (type != QEvent::InputMethod && static_cast<QKeyEvent *>(event)->key() == Qt::Key_Escape)
        return false;
    m_heldKeys.emplace_back(watched, std::unique_ptr<QEvent>(event->clone()));
    return true;
}

void SearchStopper::deliverHeldKeys()
{
    // Posted in the order typed; a widget closed meanwhile gets nothing.
    auto held = std::exchange(m_heldKeys, {});
    for (auto &[target, event] : held)
        if (target)
            QCoreApplication::postEvent(target, event.release());
}

void SearchStopper::endWhenSearchIsOver()
{
    if (!m_database.isSearching())
        end();
}

bool SearchStopper::passes(QObject *watched, QEvent *event) const
{
    // A window only hands its input on to its widgets, where it is looked at again.
    if (watched->isWindowType())
        return true;
    return watched == m_button && event->type() != QEvent::Wheel;
}

bool SearchStopper::eventFilter(QObject *watched, QEvent *event)
{
    if (!m_database.isSearching() || !isUserInput(event->type()))
        return QObject::eventFilter(watched, event);
    if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent *>(event)->key() == Qt::Key_Escape) {
        m_database.requestCancel();
        return true;
    }
    if (passes(watched, event))
        return QObject::eventFilter(watched, event);
    hold(watched, event);
    // Accepted, so that a key taken here does not go on to trigger a shortcut either.
    event->accept();
    return true;
}

} // namespace qm::app
