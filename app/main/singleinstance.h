#pragma once

#include <QObject>
#include <QStringList>

#include <functional>

class QLocalServer;
class QLocalSocket;

namespace qm::app {

// Keeps one running program per data folder. The first start serves a local socket whose name
// comes from the user and the folder; a later start hands its command line to it and ends. A
// socket left behind by a program that was killed is removed, so it never blocks a start.
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
    bool start(const QStringList &arguments);
    bool isServing() const;

    // Only the first half of start(): true when a program running for the folder took the
    // command line. Needs no more than a core application, so a later start can end before it
    // makes its windows' application object.
    static bool handOver(const QString &dataFolder, const QStringList &arguments);

    // Called with each command line (without the program's name) a later start hands over.
    // Command lines that arrive before there is a handler (while the program is still starting)
    // are kept and handed to it when it is set.
    using Handler = std::function<void(const QStringList &arguments)>;
    void setHandler(Handler handler);

private:
    void received(const QStringList &arguments);
    static bool handOverTo(const QString &name, const QStringList &arguments);
    bool serve();
    void acceptConnections();
    void readFrom(QLocalSocket *socket);

    QString m_name;
    QLocalServer *m_server = nullptr;
    Handler m_handler;
    QList<QStringList> m_waiting;
};

} // namespace qm::app
