#include "app/cli/singleinstance.h"

#include <QCryptographicHash>
#include <QDataStream>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QThread>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

#include <utility>

namespace qm::app {
namespace {

// A later start tries this long to reach the program that holds the lock: that program may be
// between taking the lock and serving its socket.
constexpr int ConnectMs = 3000;
constexpr int RetryMs = 50;
constexpr int WriteMs = 400;
// What the lock file holds while the program holding it is closing.
constexpr char ClosingMark[] = "closing\n";
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

// A record lock over the whole file, however long it grows.
flock wholeFile(short type)
{
    flock lock{};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    return lock;
}

} // namespace

SingleInstance::SingleInstance(const QString &dataFolder, QObject *parent)
    : QObject(parent)
    , m_name(serverName(dataFolder))
{
}

SingleInstance::~SingleInstance()
{
    stop();
}

void SingleInstance::markClosing()
{
    // The mark comes first: a start that finds the socket gone then knows why.
    if (m_lockFile >= 0) {
        const qsizetype size = qstrlen(ClosingMark);
        if (::pwrite(m_lockFile, ClosingMark, size_t(size), 0) != size)
            qWarning("the lock file cannot be marked as closing");
    }
    if (m_server && m_server->isListening())
        m_server->close();
}

QString SingleInstance::closingText()
{
    return QStringLiteral("前に起動したプログラムが終了の処理をしています（辞書のﾊﾞｯｸｱｯﾌﾟや、そのメッセージ）。"
                          "終わってから、もう一度起動してください。");
}

void SingleInstance::stop()
{
    // Closing removes the socket file; once closed, a file under the name is another program's.
    if (m_server && m_server->isListening())
        m_server->close();
    if (m_lockFile >= 0)
        ::close(m_lockFile);
    m_lockFile = -1;
}

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

QString SingleInstance::lockPath(const QString &name)
{
    const QString path = name.startsWith(QLatin1Char('/')) ? name : QDir::tempPath() + QLatin1Char('/') + name;
    return path + QStringLiteral(".lock");
}

// Asks without taking the lock. Closing a descriptor of the file drops this process's own record
// locks on it, so a program that holds the lock never asks.
bool SingleInstance::lockHeldElsewhere(const QString &name)
{
    const int file = ::open(QFile::encodeName(lockPath(name)).constData(), O_RDONLY | O_CLOEXEC);
    if (file < 0)
        return false;
    flock lock = wholeFile(F_WRLCK);
    const bool held = ::fcntl(file, F_GETLK, &lock) == 0 && lock.l_type != F_UNLCK;
    ::close(file);
    return held;
}

// Only the program holding the lock writes the file, so the mark is read without the lock.
bool SingleInstance::closingMarked(const QString &name)
{
    QFile file(lockPath(name));
    return file.open(QIODevice::ReadOnly) && file.read(64) == ClosingMark;
}

bool SingleInstance::takeLock()
{
    m_lockFile = ::open(QFile::encodeName(lockPath(m_name)).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (m_lockFile < 0)
        return true; // No lock can be made here; the program runs unguarded rather than not at all.
    flock lock = wholeFile(F_WRLCK);
    if (::fcntl(m_lockFile, F_SETLK, &lock) == 0) {
        // A mark left by a program that was killed while closing is not this one's.
        if (::ftruncate(m_lockFile, 0) != 0)
            qWarning("the lock file cannot be emptied");
        return true;
    }
    ::close(m_lockFile);
    m_lockFile = -1;
    return errno != EACCES && errno != EAGAIN;
}

bool SingleInstance::start(const QStringList &arguments)
{
    // Of two starts at the same moment one takes the lock; the other finds its socket.
    if (!takeLock()) {
        m_closingFound = closingMarked(m_name);
        if (m_closingFound || handOverTo(m_name, arguments))
            return false;
        qWarning("the program running for this folder does not answer; this one runs beside it");
        return true;
    }
    serve();
    return true;
}

SingleInstance::HandOver SingleInstance::handOver(const QString &dataFolder, const QStringList &arguments)
{
    // A socket is only trusted when a live program holds the lock: one whose program was killed
    // may still accept connections from a process that program forked, and nobody reads them.
    const QString name = serverName(dataFolder);
    if (!lockHeldElsewhere(name))
        return HandOver::NoneRunning;
    if (closingMarked(name))
        return HandOver::Closing;
    if (handOverTo(name, arguments))
        return HandOver::HandedOver;
    // The program may have begun closing while this start waited for its socket.
    return closingMarked(name) ? HandOver::Closing : HandOver::NoneRunning;
}

bool SingleInstance::handOverTo(const QString &name, const QStringList &arguments)
{
    QLocalSocket socket;
    QDeadlineTimer deadline(ConnectMs);
    for (;;) {
        socket.connectToServer(name);
        if (socket.waitForConnected(int(qMax<qint64>(1, deadline.remainingTime()))))
            break;
        if (deadline.hasExpired())
            return false;
        QThread::msleep(RetryMs);
    }
    // Once the message is with the system the running program reads it, busy or not; there is
    // no answer to wait for.
    socket.write(encodeMessage(arguments));
    socket.waitForBytesWritten(WriteMs);
    socket.disconnectFromServer();
    return true;
}

bool SingleInstance::serve()
{
    // This program holds the lock: a socket file left by a killed program is in the way, and goes.
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
