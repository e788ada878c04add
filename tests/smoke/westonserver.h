#pragma once

#include <QString>
#include <QTemporaryDir>

#include <sys/types.h>

namespace qm::test {

// A Wayland compositor of the test's own: weston with its headless back end, listening on a
// socket in a runtime folder of its own, so that the program runs as a native Wayland client
// whatever the machine's desktop is.
class WestonServer final
{
public:
    WestonServer() = default;
    ~WestonServer();
    WestonServer(const WestonServer &) = delete;
    WestonServer &operator=(const WestonServer &) = delete;

    // Starts weston with an output of this size; false with the reason when weston is not
    // installed, exits, or does not accept connections within the time.
    bool start(int width, int height, QString &error, int timeoutMs = 20000);
    // What a client needs in XDG_RUNTIME_DIR and WAYLAND_DISPLAY once started.
    QString runtimeFolder() const { return m_runtime.path(); }
    QString socketName() const { return QStringLiteral("qm-smoke"); }

private:
    void stop();
    bool accepts() const;

    QTemporaryDir m_runtime;
    pid_t m_pid = -1;
};

} // namespace qm::test
