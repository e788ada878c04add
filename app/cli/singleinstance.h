#pragma once

#include <QObject>
#include <QStringList>

#include <functional>

class QLocalServer;
class QLocalSocket;

namespace qm::app {

// Keeps one running program per data folder. The first start holds a record lock on a file for
// as long as it runs and serves a local socket, both named from the user and the folder; a
// later start finds the lock held, hands its command line to that program and ends. The system
// drops the lock with the process that held it, and processes it forks do not inherit it, so a
// program that was killed never blocks a start: neither does its socket file, nor its socket
// while a process it forked still holds it open.
class SingleInstance final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SingleInstance)

public:
    explicit SingleInstance(const QString &dataFolder, QObject *parent = nullptr);
    ~SingleInstance() override;

    // The socket the program of this user and data folder serves: a path in the user's
    // private runtime folder when there is one, else a name in the temporary folder.
    static QString serverName(const QString &dataFolder);

    // Hands `arguments` to the program already running for the folder and returns false, or
    // serves the folder from now on and returns true. A start that can serve nothing (the
    // socket cannot be made) still runs.
    // Also false, without handing anything over, when the program running for the folder is
    // closing (see closingFound()).
    bool start(const QStringList &arguments);
    bool isServing() const;
    // For a program whose windows are gone but that still has work to do (the last backup, a
    // message about it): it stops serving but keeps the lock until it ends, marked as closing,
    // so that a later start neither runs beside it nor hands its command line to a program that
    // will never read it.
    void markClosing();
    // Stops serving and lets the lock go.
    void stop();
    // True after start() found the program running for the folder closing.
    bool closingFound() const { return m_closingFound; }

    enum class HandOver { NoneRunning, HandedOver, Closing };
    // Only the first half of start(): whether a program running for the folder (one that holds
    // the lock) took the command line, or is closing and takes none. Needs no more than a core
    // application, so a later start can end before it makes its windows' application object.
    static HandOver handOver(const QString &dataFolder, const QStringList &arguments);
    // What a start says when the program it found is closing, in Japanese.
    static QString closingText();

    // Called with each command line (without the program's name) a later start hands over.
    // Command lines that arrive before there is a handler (while the program is still starting)
    // are kept and handed to it when it is set.
    using Handler = std::function<void(const QStringList &arguments)>;
    void setHandler(Handler handler);

private:
    void received(const QStringList &arguments);
    static QString lockPath(const QString &name);
    static bool lockHeldElsewhere(const QString &name);
    static bool closingMarked(const QString &name);
    bool takeLock();
    static bool handOverTo(const QString &name, const QStringList &arguments);
    bool serve();
    void acceptConnections();
    void readFrom(QLocalSocket *socket);

    QString m_name;
    // The open lock file, whose record lock marks the program serving the folder.
    int m_lockFile = -1;
    bool m_closingFound = false;
    QLocalServer *m_server = nullptr;
    Handler m_handler;
    QList<QStringList> m_waiting;
};

} // namespace qm::app
