#include "heartbeat.h"

#include "database.h"

#include <algorithm>

#include <sqlite3.h>

namespace qm::sqlite {
namespace {

// Engine instructions between two looks at the clock: about a tenth of a millisecond of a scan,
// so the clock costs next to nothing and a beat comes at most that late.
constexpr int Instructions = 10000;

} // namespace

Heartbeat::Heartbeat(std::function<void()> beat, std::chrono::milliseconds delay, std::chrono::milliseconds interval,
                     std::function<bool()> stopped)
    : m_beat(std::move(beat))
    , m_stopped(std::move(stopped))
    , m_interval(interval.count())
    , m_next(delay.count())
{
    m_clock.start();
}

Heartbeat::~Heartbeat()
{
    for (sqlite3 *db : m_watched)
        sqlite3_progress_handler(db, 0, nullptr, nullptr);
}

void Heartbeat::watch(Database &db)
{
    sqlite3 *handle = db.handle();
    if (!handle || std::find(m_watched.begin(), m_watched.end(), handle) != m_watched.end())
        return;
    sqlite3_progress_handler(handle, Instructions, &Heartbeat::onProgress, this);
    m_watched.push_back(handle);
}

int Heartbeat::onProgress(void *self)
{
    // A non-zero answer makes the engine interrupt the statement.
    return static_cast<Heartbeat *>(self)->check() ? 1 : 0;
}

bool Heartbeat::check()
{
    if (m_beat && m_clock.elapsed() >= m_next)
        beat();
    if (!m_stopped)
        return false;
    try {
        return m_stopped();
    } catch (...) {
        return false; // nothing may unwind through the engine
    }
}

void Heartbeat::beat()
{
    try {
        m_beat();
    } catch (...) {
        // Nothing may unwind through the engine.
    }
    m_next = m_clock.elapsed() + m_interval;
}

} // namespace qm::sqlite
