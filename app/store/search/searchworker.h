#pragma once

#include "app/store/search/setsearch.h"

#include <QMutex>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QThread>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <vector>

namespace qm::store {

class DictionaryStorage;

// Runs the searches over the open set on a thread of its own, so the window thread never waits
// on a database. The worker keeps one read-only connection per slot, opened on first use and
// opened again when the set's generation changes. One operation runs at a time: starting
// another abandons the one running, whose cancel flag the worker reads between rows and,
// through the engine's progress handler, inside a statement. Rows come to the caller's thread
// in batches, each tagged with its operation: rows and the end of an abandoned operation are
// dropped, while a search the user stopped ends with the rows found until then. The object itself lives on the thread that made it, and
// every handler runs there.
class SearchWorker final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SearchWorker)

public:
    using Rows = std::vector<SlotMatch>;
    using RowsHandler = std::function<void(const Rows &)>;
    using DoneHandler = std::function<void(const SearchResults &)>;
    // The worker's connections for one operation: one per slot (nullptr for an empty slot or one
    // whose file did not open), and the first file that did not open.
    struct Opened {
        std::vector<DictionaryStorage *> members;
        std::optional<SearchFailure> failure;
        // Changes whenever the connections are closed: what was made on the connections of
        // another epoch (a cursor) names closed files.
        quint64 epoch = 0;
    };
    // Work run on the worker thread with the connections and the operation's cancel flag.
    using Task = std::function<void(const Opened &opened, const std::atomic_bool &cancel)>;

    explicit SearchWorker(QObject *parent = nullptr);
    // Abandons what runs and waits for the thread to end.
    ~SearchWorker() override;

    // Starts a search over the set's files; `rows` gets the rows in batches as they are found,
    // `done` the summary once the search has ended. A search abandoned before its end hands on
    // no more rows, and `done` gets a summary with `abandoned` set; nothing is called once
    // `context` is gone. A search running is abandoned first.
    void search(const SetFiles &files, const SearchRequest &request, QObject *context, RowsHandler rows,
                DoneHandler done);
    // Runs `task` on the worker thread as an operation of its own (abandoning the one running).
    // `task` hands its results back with deliver().
    void run(const SetFiles &files, Task task);
    // Calls `handler` on this object's thread unless the operation that asks it has been
    // abandoned meanwhile (or `context` is gone); for a Task to hand back what it found.
    void deliver(const QPointer<QObject> &context, std::function<void()> handler);

    // Asks the running search to end now: its end comes with the rows found so far and
    // `cancelled` set.
    void stop();
    // Stops the running operation and drops it: its rows and end are no longer handed on.
    void abandon();
    // True from the start of a search until its end has been handed on or it was abandoned.
    bool isRunning() const { return m_running; }
    // Closes the worker's connections (abandoning what runs, and waiting until its statement
    // has been interrupted), so a file of the set can be closed or replaced. The next operation
    // opens them again.
    void releaseConnections();

    // For tests: the worker waits this long after each row, so a search takes as long as needed.
    void setRowPause(std::chrono::milliseconds pause) { m_rowPause = int(pause.count()); }

signals:
    // A search started or ended (or was abandoned): for a stop button.
    void runningChanged(bool running);

private:
    struct Operation;
    struct Connections;

    std::shared_ptr<Operation> begin();
    void setRunning(bool running);
    void execute(const std::shared_ptr<Operation> &op, const SetFiles &files, const Task &task);
    void searchOn(const Opened &opened, const std::atomic_bool &cancel, const SearchRequest &request,
                  const QPointer<QObject> &context, const RowsHandler &rows, const DoneHandler &done);

    QThread m_thread;
    std::unique_ptr<QObject> m_threadContext;
    std::unique_ptr<Connections> m_connections;
    // The operation last started (the caller's thread), and the one the worker runs (its thread).
    std::shared_ptr<Operation> m_current;
    std::shared_ptr<Operation> m_executing;
    std::atomic<int> m_rowPause{0};
    bool m_running = false;
};

} // namespace qm::store
