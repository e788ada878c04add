#pragma once

#include <QObject>
#include <QPointer>
#include <QTimer>

#include <memory>
#include <utility>
#include <vector>

class QPushButton;
class QStatusBar;

namespace qm::store {
class DatabaseModule;
}

namespace qm::app {

// Lets the user stop a long search: the store calls beat() now and then while a search runs;
// from the first beat until the search ends, the stop button ("中止") shows in the status bar,
// and Esc or a click on that button asks the store to stop. The windows keep painting
// meanwhile. Nothing may act on the data under the running search: other clicks are dropped,
// and keys typed meanwhile are held and handed to their widgets once the search is over, so
// typing ahead loses nothing.
class SearchStopper final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SearchStopper)

public:
    // Adds the (hidden) stop button to `bar`.
    SearchStopper(store::DatabaseModule &database, QStatusBar *bar);
    ~SearchStopper() override;

    // Repaints the windows and takes the user's input; only while a search runs.
    void beat();

    QPushButton *stopButton() const { return m_button; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void begin();
    void end();
    void endWhenSearchIsOver();
    // Input that reaches its receiver during a search: the stop button's clicks.
    bool passes(QObject *watched, QEvent *event) const;
    // Keeps a copy of a typed key (or input-method text) for its widget.
    bool hold(QObject *watched, QEvent *event);
    void deliverHeldKeys();

    store::DatabaseModule &m_database;
    QPushButton *m_button = nullptr;
    QTimer m_watch;
    bool m_active = false;
    std::vector<std::pair<QPointer<QObject>, std::unique_ptr<QEvent>>> m_heldKeys;
};

} // namespace qm::app
