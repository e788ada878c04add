#pragma once

#include "app/store/server/serverdictionary.h"

#include <QHash>
#include <QObject>
#include <QStringList>
#include <QThread>

#include <memory>

namespace qm::pg {
class Connection;
}

namespace qm::store {

class DatabaseModule;

namespace server {

// The channel on which every change of a dictionary's entries or keywords is announced: its
// schema's name, an identifier already.
QString changeChannel(const QString &schema);

// Gives the dictionary's tables the triggers that announce each change on its channel, unless
// it has them: whichever program writes, the others hear of it. Left alone when the login may
// not make triggers (the owner's program adds them when it opens the dictionary), on a standby,
// and when another program's edit holds the tables for more than two seconds (the next opening
// tries again). Throws pg::Error for any other failure.
void installChangeNotices(pg::Connection &connection, const QString &schema);

} // namespace server

class ServerChangeListener;

// Tells the window thread when another program has changed a server dictionary of the open set.
// Each such dictionary gets a listening connection of its own on a thread of its own (connecting
// may take as long as the server's timeout; the window thread never waits on it); its socket is
// watched there, and a notice arrives as dictionaryChanged() on the thread that made the watch.
// A listening connection that broke is made anew a few seconds later. The set's members are
// read from the database module every two seconds, so a set opened anew is followed without
// being told.
class ServerChangeWatch final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ServerChangeWatch)

public:
    explicit ServerChangeWatch(DatabaseModule &database, QObject *parent = nullptr);
    ~ServerChangeWatch() override;

    // Reads the open set's server members now and follows them.
    void refresh();

signals:
    // Another program changed the dictionary in this slot of the open set.
    void dictionaryChanged(int slot);

private:
    void changedAt(const QString &location);

    DatabaseModule &m_database;
    QThread m_thread;
    ServerChangeListener *m_listener = nullptr; // lives on m_thread, deleted when it ends
    quint64 m_generation = 0;
    QHash<QString, QList<int>> m_slots; // the slots of each location followed
};

// The connections that listen, on the watch's thread.
class ServerChangeListener final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ServerChangeListener)

public:
    explicit ServerChangeListener(QObject *parent = nullptr);
    ~ServerChangeListener() override;

    // Listens to these locations and to no others; `password` gives what the user typed for a
    // server (never asks).
    void follow(const QStringList &locations, const PasswordPrompt &password);

signals:
    void changed(const QString &location);

private:
    struct Listening;
    void connectTo(const QString &location);
    void read(const QString &location);
    void retryLater();

    PasswordPrompt m_password;
    QStringList m_wanted;
    std::map<QString, std::unique_ptr<Listening>> m_open;
    bool m_retrying = false;
};

} // namespace qm::store
