#pragma once

#include <QObject>
#include <QTimer>

class QPushButton;
class QShortcut;
class QStatusBar;
class QWidget;

namespace qm::store {
class SearchWorker;
}

namespace qm::app {

// Lets the user stop a long search: while the search worker runs one (from a moment after it
// started, so a quick lookup does not flash it), the stop button ("中止") shows in the status
// bar; a click on it, or Esc in the window, stops the search, which then ends with the rows
// found so far.
class SearchStopper final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SearchStopper)

public:
    // Adds the (hidden) stop button to `bar`; Esc works in `window`.
    SearchStopper(store::SearchWorker &worker, QStatusBar *bar, QWidget *window);
    ~SearchStopper() override;

    QPushButton *stopButton() const { return m_button; }

private:
    void runningChanged(bool running);

    store::SearchWorker &m_worker;
    QPushButton *m_button = nullptr;
    QShortcut *m_escape = nullptr;
    QTimer m_delay;
};

} // namespace qm::app
