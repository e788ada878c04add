#include "westonserver.h"

#include <QByteArray>
#include <QThread>

#include <cerrno>
#include <csignal>
#include <cstring>

#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

namespace qm::test {
namespace {

qint64 nowMs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return qint64(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

} // namespace

WestonServer::~WestonServer()
{
    stop();
}

bool WestonServer::start(int width, int height, QString &error, int timeoutMs)
{
    if (!m_runtime.isValid()) {
        error = QStringLiteral("no runtime folder: %1").arg(m_runtime.errorString());
        return false;
    }
    const QByteArray runtime = m_runtime.path().toLocal8Bit();
    const QByteArray socket = QByteArrayLiteral("--socket=") + socketName().toLatin1();
    const QByteArray widthArg = QByteArrayLiteral("--width=") + QByteArray::number(width);
    const QByteArray heightArg = QByteArrayLiteral("--height=") + QByteArray::number(height);
    const pid_t parent = getpid();
    m_pid = fork();
    if (m_pid < 0) {
        error = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    if (m_pid == 0) {
        // The compositor goes with the test, even when the test is killed.
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (getppid() != parent)
            _exit(1);
        const int null = open("/dev/null", O_WRONLY);
        if (null >= 0) {
            dup2(null, STDOUT_FILENO);
            dup2(null, STDERR_FILENO);
        }
        setenv("XDG_RUNTIME_DIR", runtime.constData(), 1);
        unsetenv("WAYLAND_DISPLAY");
        unsetenv("DISPLAY");
        execlp("weston", "weston", "--backend=headless-backend.so", socket.constData(), widthArg.constData(),
               heightArg.constData(), "--idle-time=0", static_cast<char *>(nullptr));
        _exit(127);
    }

    // Ready once its socket accepts a connection; a compositor that exited never will.
    const qint64 deadline = nowMs() + timeoutMs;
    while (nowMs() < deadline) {
        int status = 0;
        if (waitpid(m_pid, &status, WNOHANG) == m_pid) {
            m_pid = -1;
            error = WIFEXITED(status) && WEXITSTATUS(status) == 127 ? QStringLiteral("the program weston is not installed")
                                                                   : QStringLiteral("weston exited before it was ready");
            return false;
        }
        if (accepts())
            return true;
        QThread::msleep(20);
    }
    error = QStringLiteral("weston did not accept connections within %1 ms").arg(timeoutMs);
    stop();
    return false;
}

bool WestonServer::accepts() const
{
    const QByteArray path = (m_runtime.path() + QLatin1Char('/') + socketName()).toLocal8Bit();
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (std::size_t(path.size()) >= sizeof address.sun_path)
        return false;
    std::memcpy(address.sun_path, path.constData(), std::size_t(path.size()));
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    const bool connected = ::connect(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0;
    close(fd);
    return connected;
}

void WestonServer::stop()
{
    if (m_pid <= 0)
        return;
    kill(m_pid, SIGTERM);
    int status = 0;
    waitpid(m_pid, &status, 0);
    m_pid = -1;
}

} // namespace qm::test
