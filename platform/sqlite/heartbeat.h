#pragma once

#include <QElapsedTimer>

#include <chrono>
#include <functional>
#include <vector>

struct sqlite3;

namespace qm::sqlite {

class Database;

// Calls `beat` now and then while statements run on the connections it watches: first once
// `delay` has passed since it was made, then each time `interval` has passed since the last
// call. A long query can so let the program repaint its windows. `beat` runs inside the
// engine, between two steps of a statement: it must not use any watched connection, and what
// it throws is dropped. The connections are no longer watched once the object is gone; the
// engine allows one such handler per connection, so no other may be set meanwhile.
// `stopped`, when given, is asked at each look at the clock (and right after a beat): once it
// answers true, the running statement is interrupted and fails with SQLITE_INTERRUPT, and so
// does every later one until the object is gone.
class Heartbeat final
{
public:
    Heartbeat(std::function<void()> beat, std::chrono::milliseconds delay, std::chrono::milliseconds interval,
              std::function<bool()> stopped = {});
    ~Heartbeat();
    Heartbeat(const Heartbeat &) = delete;
    Heartbeat &operator=(const Heartbeat &) = delete;

    void watch(Database &db);

private:
    static int onProgress(void *self);
    // True when the statement is to be interrupted.
    bool check();
    void beat();

    std::function<void()> m_beat;
    std::function<bool()> m_stopped;
    qint64 m_interval;
    qint64 m_next;
    QElapsedTimer m_clock;
    std::vector<sqlite3 *> m_watched;
};

} // namespace qm::sqlite
