#include "app/store/search/searchworker.h"

#include "app/store/dictionary/dictionary.h"
#include "app/store/search/reconnect.h"
#include "app/store/server/serverdictionary.h"

#include <QElapsedTimer>
#include <QMutexLocker>

namespace qm::store {
namespace {

// Rows are handed to the window when this many have gathered or this long has passed since the
// last batch, whichever comes first: the list fills steadily without an event per row.
constexpr std::size_t BatchRows = 200;
constexpr qint64 BatchMs = 30;
// How long a lookup waits for a server that failed before to answer again; the attempt goes on
// beside the lookups until the server answers or the connect timeout ends it.
constexpr std::chrono::milliseconds ReconnectGrace{250};

} // namespace

struct SearchWorker::Operation {
    // Set by stop() and abandon(): the worker ends the operation as soon as it sees it.
    std::atomic_bool cancel{false};
    // Set by abandon() only: nothing of the operation is wanted any more.
    std::atomic_bool abandoned{false};
    // A search's owner, told when it is abandoned; only used on the caller's thread.
    QPointer<QObject> context;
    DoneHandler done;
};

// The worker's own connections to the set's files; used on the worker thread, closed from the
// caller's thread only under the mutex.
struct SearchWorker::Connections {
    QMutex mutex;
    bool open = false;
    quint64 generation = 0;
    quint64 epoch = 1;
    QStringList files;
    std::vector<std::unique_ptr<DictionaryStorage>> dictionaries;
    // By slot: why a server member failed last, and the attempt to reach it again.
    std::vector<std::optional<sqlite::Error>> failed;
    std::vector<std::unique_ptr<Reconnect>> reconnects;

    void close()
    {
        dictionaries.clear();
        failed.clear();
        reconnects.clear();
        open = false;
        ++epoch;
    }

    static StorageOpener opener(const SetFiles &set)
    {
        if (set.open)
            return set.open;
        return [richText = set.richText](const QString &member) -> std::unique_ptr<DictionaryStorage> {
            return std::make_unique<Dictionary>(member, Dictionary::Options{true, {}, richText});
        };
    }

    // Opens the member of slot `i`, or throws why not. A server that failed before is tried
    // again beside the lookups: this one waits for it only a moment, and names its last failure
    // while it still does not answer.
    void openSlot(const SetFiles &set, std::size_t i, const QString &member)
    {
        if (!failed[i] || !isServerLocation(member)) {
            try {
                dictionaries[i] = opener(set)(member);
            } catch (const sqlite::Error &e) {
                failed[i] = e;
                throw;
            }
            failed[i].reset();
            return;
        }
        if (!reconnects[i])
            reconnects[i] = std::make_unique<Reconnect>(opener(set), member);
        Reconnect::Outcome outcome = reconnects[i]->wait(ReconnectGrace);
        if (outcome.ended)
            reconnects[i].reset();
        if (outcome.failure)
            failed[i] = outcome.failure;
        if (!outcome.storage)
            throw *failed[i];
        dictionaries[i] = std::move(outcome.storage);
        failed[i].reset();
    }

    Opened prepare(const SetFiles &set)
    {
        if (!open || set.generation != generation || set.files != files) {
            close();
            dictionaries.resize(std::size_t(set.files.size()));
            failed.resize(dictionaries.size());
            reconnects.resize(dictionaries.size());
            generation = set.generation;
            files = set.files;
            open = true;
        }
        Opened out;
        out.epoch = epoch;
        out.members.assign(dictionaries.size(), nullptr);
        for (std::size_t i = 0; i < dictionaries.size(); ++i) {
            const QString &path = files[qsizetype(i)];
            if (path.isEmpty())
                continue;
            // A member that did not open (a server that cannot be reached) is tried again by the
            // next operation.
            if (!dictionaries[i]) {
                try {
                    openSlot(set, i, path);
                } catch (const sqlite::Error &e) {
                    if (!out.failure)
                        out.failure = SearchFailure{e, int(i), shownMember(path)};
                    continue;
                }
            }
            out.members[i] = dictionaries[i].get();
        }
        return out;
    }
};

SearchWorker::SearchWorker(QObject *parent)
    : QObject(parent)
    , m_threadContext(std::make_unique<QObject>())
    , m_connections(std::make_unique<Connections>())
{
    m_thread.setObjectName(QStringLiteral("searchWorker"));
    m_threadContext->moveToThread(&m_thread);
    m_thread.start();
}

SearchWorker::~SearchWorker()
{
    abandon();
    m_thread.quit();
    m_thread.wait();
}

std::shared_ptr<SearchWorker::Operation> SearchWorker::begin()
{
    abandon();
    m_current = std::make_shared<Operation>();
    return m_current;
}

void SearchWorker::stop()
{
    if (m_current)
        m_current->cancel = true;
}

void SearchWorker::abandon()
{
    if (const std::shared_ptr<Operation> op = std::exchange(m_current, nullptr)) {
        op->abandoned = true;
        op->cancel = true;
        // Told from the event loop: the owner may be in the middle of starting another search.
        if (op->context && op->done) {
            SearchResults dropped;
            dropped.abandoned = true;
            QMetaObject::invokeMethod(
                op->context, [done = op->done, dropped] { done(dropped); }, Qt::QueuedConnection);
        }
    }
    setRunning(false);
}

void SearchWorker::setRunning(bool running)
{
    if (m_running == running)
        return;
    m_running = running;
    emit runningChanged(running);
}

void SearchWorker::releaseConnections()
{
    abandon();
    // Waits only for the worker to leave the statement it is in: the flag interrupts it.
    const QMutexLocker lock(&m_connections->mutex);
    m_connections->close();
}

void SearchWorker::run(const SetFiles &files, Task task)
{
    const std::shared_ptr<Operation> op = begin();
    QMetaObject::invokeMethod(
        m_threadContext.get(), [this, op, files, task = std::move(task)] { execute(op, files, task); },
        Qt::QueuedConnection);
}

void SearchWorker::execute(const std::shared_ptr<Operation> &op, const SetFiles &files, const Task &task)
{
    // An operation abandoned while it waited in the queue opens nothing: the files may be
    // about to be replaced. One the user stopped meanwhile still ends, with no rows.
    if (op->abandoned)
        return;
    const QMutexLocker lock(&m_connections->mutex);
    if (op->abandoned)
        return;
    m_executing = op;
    try {
        task(m_connections->prepare(files), op->cancel);
    } catch (const std::exception &) {
        // Nothing may unwind through the thread's event loop; the operation hands nothing back.
    }
    m_executing.reset();
}

void SearchWorker::deliver(const QPointer<QObject> &context, std::function<void()> handler)
{
    // Called on the worker thread by the running task: the context is looked at on this
    // object's thread, where it lives.
    QMetaObject::invokeMethod(
        this,
        [this, op = m_executing, guard = context, handler = std::move(handler)] {
            if (op && op == m_current && guard)
                handler();
        },
        Qt::QueuedConnection);
}

void SearchWorker::search(const SetFiles &files, const SearchRequest &request, QObject *context, RowsHandler rows,
                          DoneHandler done)
{
    const std::shared_ptr<Operation> op = begin();
    op->context = context;
    op->done = done;
    setRunning(true);
    Task task = [this, request, context = QPointer<QObject>(context), rows = std::move(rows),
                 done = std::move(done)](const Opened &opened, const std::atomic_bool &cancel) {
        searchOn(opened, cancel, request, context, rows, done);
    };
    QMetaObject::invokeMethod(
        m_threadContext.get(), [this, op, files, task = std::move(task)] { execute(op, files, task); },
        Qt::QueuedConnection);
}

void SearchWorker::searchOn(const Opened &opened, const std::atomic_bool &cancel, const SearchRequest &request,
                            const QPointer<QObject> &context, const RowsHandler &rows, const DoneHandler &done)
{
    Rows batch;
    QElapsedTimer sinceSent;
    sinceSent.start();
    const auto send = [&] {
        if (batch.empty())
            return;
        deliver(context, [rows, sent = std::exchange(batch, {})] { rows(sent); });
        sinceSent.restart();
    };
    const int pause = m_rowPause;
    SearchResults results = searchSlots(
        opened.members, request,
        [&](const SlotMatch &m) {
            batch.push_back(m);
            if (batch.size() >= BatchRows || sinceSent.elapsed() >= BatchMs)
                send();
            if (pause > 0)
                QThread::msleep(ulong(pause));
        },
        &cancel);
    send();
    // A member the worker could not open is told as a failure of the search, unless one of a
    // lower slot (or the request itself) failed first.
    if (opened.failure && !(results.failure && results.failure->slot < opened.failure->slot))
        results.failure = opened.failure;
    deliver(context, [this, done, results] {
        m_current.reset();
        setRunning(false);
        done(results);
    });
}

} // namespace qm::store
