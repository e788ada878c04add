#include "singleinstance.h"

#include <QCryptographicHash>
#include <QDataStream>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QStandardPaths>

#include <unistd.h>

#include <utility>

namespace qm::app {
namespace {

// A later start waits this long for the running program before it starts on its own.
constexpr int ConnectMs = 500;
constexpr int WriteMs = 400;
// A command line is a few words; anything longer is not one of ours.
constexpr quint32 MaxMessageBytes = 64 * 1024;

QByteArray encodeMessage(const QStringList &arguments)
{
    QByteArray payload;
    QDataStream body(&payload, QIODevice::WriteOnly);
    body << arguments;
    QByteArray message;
    QDataStream header(&message, QIODevice::WriteOnly);
    header << quint32(payload.size());
    return message + payload;
}

} // namespace

SingleInstance::SingleInstance(const QString &dataFolder, QObject *parent)
    : QObject(parent)
    , m_name(serverName(dataFolder))
{
}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::serverName(const QString &dataFolder)
{
    const QFileInfo folder(dataFolder);
    const QString canonical = folder.canonicalFilePath().isEmpty() ? QDir::cleanPath(folder.absoluteFilePath())
                                                                   : folder.canonicalFilePath();
    const QByteArray hash = QCryptographicHash::hash(canonical.toUtf8(), QCryptographicHash::Sha256).toHex().left(20);
    const QString name = QStringLiteral("quillmere-%1-%2").arg(QString::number(getuid()), QString::fromLatin1(hash));
    // The runtime folder belongs to the user alone, so nobody else can take the name first.
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    return runtime.isEmpty() ? name : runtime + QLatin1Char('/') + name;
}

bool SingleInstance::isServing() const
{
    return m_server && m_server->isListening();
}

bool SingleInstance::start(const QStringList &arguments)
{
    // Two starts at the same moment take turns: the second finds the first one's server. The
    // lock of a process that is gone is taken over.
    const QString lock = m_name.startsWith(QLatin1Char('/')) ? m_name : QDir::tempPath() + QLatin1Char('/') + m_name;
    QLockFile turn(lock + QStringLiteral(".lock"));
    turn.setStaleLockTime(0);
    turn.tryLock(3000);
    if (handOverTo(m_name, arguments))
        return false;
    serve();
    return true;
}

bool SingleInstance::handOver(const QString &dataFolder, const QStringList &arguments)
{
    return handOverTo(serverName(dataFolder), arguments);
}

bool SingleInstance::handOverTo(const QString &name, const QStringList &arguments)
{
    QLocalSocket socket;
    socket.connectToServer(name);
    if (!socket.waitForConnected(ConnectMs))
        return false;
    // Once the message is with the system the running program reads it, busy or not; there is
    // no answer to wait for.
    socket.write(encodeMessage(arguments));
    socket.waitForBytesWritten(WriteMs);
    socket.disconnectFromServer();
    return true;
}

bool SingleInstance::serve()
{
    // Nobody answered: a socket file left by a killed program is in the way, and goes.
    QLocalServer::removeServer(m_name);
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(m_name)) {
        qWarning("another start of the program cannot be handed over: %s", qPrintable(m_server->errorString()));
        return false;
    }
    connect(m_server, &QLocalServer::newConnection, this, &SingleInstance::acceptConnections);
    return true;
}

void SingleInstance::acceptConnections()
{
    while (QLocalSocket *socket = m_server->nextPendingConnection()) {
        socket->setParent(this);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { readFrom(socket); });
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        readFrom(socket);
    }
}

void SingleInstance::readFrom(QLocalSocket *socket)
{
    constexpr qint64 header = sizeof(quint32);
    if (socket->bytesAvailable() < header)
        return;
    quint32 size = 0;
    QDataStream sizeStream(socket->peek(header));
    sizeStream >> size;
    if (size > MaxMessageBytes) {
        socket->abort();
        return;
    }
    if (socket->bytesAvailable() < header + qint64(size))
        return;
    socket->skip(header);
    QStringList arguments;
    QDataStream stream(socket->read(size));
    stream >> arguments;
    socket->disconnectFromServer();
    // The handler may show a modal window; it runs after the socket's own signal is done.
    if (stream.status() == QDataStream::Ok)
        QMetaObject::invokeMethod(this, [this, arguments] { received(arguments); }, Qt::QueuedConnection);
}

void SingleInstance::received(const QStringList &arguments)
{
    if (m_handler)
        m_handler(arguments);
    else
        m_waiting.append(arguments);
}

void SingleInstance::setHandler(Handler handler)
{
    m_handler = std::move(handler);
    if (!m_handler)
        return;
    const QList<QStringList> waiting = std::exchange(m_waiting, {});
    for (const QStringList &arguments : waiting)
        m_handler(arguments);
}

} // namespace qm::app
