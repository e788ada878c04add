#include "app/store/search/reconnect.h"

#include <condition_variable>
#include <mutex>
#include <thread>

namespace qm::store {

struct Reconnect::State {
    std::mutex mutex;
    std::condition_variable ended;
    Outcome outcome;
};

Reconnect::Reconnect(const StorageOpener &open, const QString &member)
    : m_state(std::make_shared<State>())
{
    std::thread([state = m_state, open, member] {
        Outcome outcome;
        try {
            outcome.storage = open(member);
        } catch (const sqlite::Error &e) {
            outcome.failure = e;
        }
        outcome.ended = true;
        const std::lock_guard lock(state->mutex);
        state->outcome = std::move(outcome);
        state->ended.notify_all();
    }).detach();
}

Reconnect::~Reconnect() = default;

Reconnect::Outcome Reconnect::wait(std::chrono::milliseconds grace)
{
    std::unique_lock lock(m_state->mutex);
    m_state->ended.wait_for(lock, grace, [this] { return m_state->outcome.ended; });
    Outcome out;
    out.ended = m_state->outcome.ended;
    out.storage = std::move(m_state->outcome.storage);
    out.failure = m_state->outcome.failure;
    return out;
}

} // namespace qm::store
