#include "xvfbserver.h"

#include <QByteArray>

#include <cerrno>
#include <csignal>
#include <cstring>

#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
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

XvfbServer::~XvfbServer()
{
    stop();
}

bool XvfbServer::start(const QString &screen, QString &error, int timeoutMs)
{
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        error = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    const QByteArray fdText = QByteArray::number(fds[1]);
    const QByteArray screenText = screen.toLatin1();
    const pid_t parent = getpid();
    m_pid = fork();
    if (m_pid < 0) {
        error = QString::fromLocal8Bit(std::strerror(errno));
        close(fds[0]);
        close(fds[1]);
        return false;
    }
    if (m_pid == 0) {
        // The server goes with the test, even when the test is killed.
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (getppid() != parent)
            _exit(1);
        fcntl(fds[1], F_SETFD, 0);
        const int null = open("/dev/null", O_WRONLY);
        if (null >= 0) {
            dup2(null, STDOUT_FILENO);
            dup2(null, STDERR_FILENO);
        }
        execlp("Xvfb", "Xvfb", "-displayfd", fdText.constData(), "-screen", "0", screenText.constData(),
               "-nolisten", "tcp", "-noreset", static_cast<char *>(nullptr));
        _exit(127);
    }
    close(fds[1]);

    // The server writes the display number and a newline when it is ready; end of file means
    // it exited (or could not be started at all).
    QByteArray number;
    const qint64 deadline = nowMs() + timeoutMs;
    bool done = false;
    while (!done) {
        const qint64 left = deadline - nowMs();
        if (left <= 0) {
            error = QStringLiteral("Xvfb did not report a display within %1 ms").arg(timeoutMs);
            break;
        }
        pollfd p{fds[0], POLLIN, 0};
        const int ready = poll(&p, 1, int(left));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            continue;
        char buffer[32];
        const ssize_t got = read(fds[0], buffer, sizeof buffer);
        if (got <= 0) {
            int status = 0;
            waitpid(m_pid, &status, 0);
            m_pid = -1;
            error = WIFEXITED(status) && WEXITSTATUS(status) == 127
                        ? QStringLiteral("the program Xvfb is not installed")
                        : QStringLiteral("Xvfb exited before it was ready");
            break;
        }
        number.append(buffer, got);
        done = number.contains('\n');
    }
    close(fds[0]);
    if (!done) {
        stop();
        return false;
    }
    m_display = QLatin1Char(':') + QString::fromLatin1(number.trimmed());
    return true;
}

void XvfbServer::stop()
{
    if (m_pid <= 0)
        return;
    kill(m_pid, SIGTERM);
    int status = 0;
    waitpid(m_pid, &status, 0);
    m_pid = -1;
}

} // namespace qm::test
