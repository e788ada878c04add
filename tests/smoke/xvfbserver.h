#pragma once

#include <QString>

#include <sys/types.h>

namespace qm::test {

// An X server of the test's own (Xvfb), so that the windows are real X windows with a window
// system's focus and input rules. The server picks a free display itself and says which one it
// took once it accepts connections, so nothing waits a guessed time.
class XvfbServer final
{
public:
    XvfbServer() = default;
    ~XvfbServer();
    XvfbServer(const XvfbServer &) = delete;
    XvfbServer &operator=(const XvfbServer &) = delete;

    // Starts "Xvfb" with one screen of the size given ("1600x1000x24"); false with the reason
    // when it cannot start or does not get ready within the time.
    bool start(const QString &screen, QString &error, int timeoutMs = 20000);
    // The display name (":N") once started.
    QString display() const { return m_display; }

private:
    void stop();

    pid_t m_pid = -1;
    QString m_display;
};

} // namespace qm::test
