#pragma once

#include "app/store/sets/memberopener.h"

#include "platform/sqlite/error.h"

#include <QString>

#include <chrono>
#include <memory>
#include <optional>

namespace qm::store {

// One more attempt to open a set member that failed before (a server nobody answered), made on a
// thread of its own so that a lookup never waits the whole connect timeout for it again. Whoever
// drops the attempt before it ends does not wait for it: it ends on its own, and what it opened
// is closed there.
class Reconnect final
{
public:
    Reconnect(const StorageOpener &open, const QString &member);
    ~Reconnect();
    Reconnect(const Reconnect &) = delete;
    Reconnect &operator=(const Reconnect &) = delete;

    struct Outcome {
        bool ended = false;
        std::unique_ptr<DictionaryStorage> storage; // once it opened
        std::optional<sqlite::Error> failure;       // once it failed
    };
    // Waits at most `grace` for the attempt to end; the storage is handed over only once.
    Outcome wait(std::chrono::milliseconds grace);

private:
    struct State;
    std::shared_ptr<State> m_state;
};

} // namespace qm::store
