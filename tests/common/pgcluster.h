#pragma once

// A private PostgreSQL cluster for the server tests: made in a temporary folder, reachable only
// through a Unix socket in that folder (no TCP port), stopped and removed with the object, also
// when a test fails. As root (the CI runs so) the server runs as the postgres user.

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QUrl>

#include <unistd.h>

#include <stdexcept>

namespace qm::test {

class PgCluster final
{
public:
    static constexpr int Port = 5439;
    // Our database, with pg_trgm; `writer` logs in with this password, `postgres` without.
    static constexpr char Database[] = "qm";
    static constexpr char WriterPassword[] = "s3cret-Pa55";

    PgCluster()
    {
        if (!m_dir.isValid())
            throw std::runtime_error("no temporary folder");
        if (::geteuid() == 0)
            runChecked(QStringLiteral("chown"), {QStringLiteral("postgres:postgres"), m_dir.path()}, false);
        runChecked(bin("initdb"), {QStringLiteral("-D"), data(), QStringLiteral("-U"), QStringLiteral("postgres"),
                                   QStringLiteral("-E"), QStringLiteral("UTF8"), QStringLiteral("--locale=C.UTF-8"),
                                   QStringLiteral("--no-sync"), QStringLiteral("-A"), QStringLiteral("trust")});
        // The superuser logs in without a password, everyone else with one.
        QFile hba(data() + QStringLiteral("/pg_hba.conf"));
        if (!hba.open(QIODevice::WriteOnly | QIODevice::Truncate)
            || hba.write("local all postgres trust\nlocal all all scram-sha-256\n") < 0)
            throw std::runtime_error("pg_hba.conf not written");
        hba.close();
        const QString options = QStringLiteral("-k %1 -p %2 -c listen_addresses='' -c fsync=off "
                                               "-c full_page_writes=off -c synchronous_commit=off")
                                    .arg(m_dir.path())
                                    .arg(Port);
        runChecked(bin("pg_ctl"), {QStringLiteral("-D"), data(), QStringLiteral("-l"), m_dir.path() + QStringLiteral("/log"),
                                   QStringLiteral("-w"), QStringLiteral("-o"), options, QStringLiteral("start")});
        m_started = true;
        stopWhenGone();
        psql(QStringLiteral("postgres"), QStringLiteral("CREATE DATABASE qm"));
        psql(QStringLiteral("postgres"), QStringLiteral("CREATE ROLE writer LOGIN PASSWORD '%1'").arg(QLatin1String(WriterPassword)));
        psql(QString::fromLatin1(Database), QStringLiteral("CREATE EXTENSION pg_trgm; GRANT ALL ON SCHEMA public TO writer; "
                                                           "GRANT CREATE ON DATABASE qm TO writer"));
    }

    ~PgCluster()
    {
        if (m_started)
            run(bin("pg_ctl"), {QStringLiteral("-D"), data(), QStringLiteral("-m"), QStringLiteral("fast"),
                                QStringLiteral("-w"), QStringLiteral("stop")});
    }

    PgCluster(const PgCluster &) = delete;
    PgCluster &operator=(const PgCluster &) = delete;

    QString socketFolder() const { return m_dir.path(); }

    // The server's main process, which starts a process for each session; 0 when unknown.
    qint64 serverProcess() const
    {
        QFile pid(data() + QStringLiteral("/postmaster.pid"));
        return pid.open(QIODevice::ReadOnly) ? pid.readLine().trimmed().toLongLong() : 0;
    }

    // Stops the server (ending every session) and starts it again with the same settings.
    void restart() const
    {
        runChecked(bin("pg_ctl"), {QStringLiteral("-D"), data(), QStringLiteral("-l"), m_dir.path() + QStringLiteral("/log"),
                                   QStringLiteral("-m"), QStringLiteral("fast"), QStringLiteral("-w"), QStringLiteral("restart")});
    }

    // A location in URI form for a dictionary of our database.
    QString uri(const QString &dictionary, const QString &user = QStringLiteral("postgres")) const
    {
        // Joined, not .arg()'d: the encoded folder holds "%2F".
        return QStringLiteral("postgresql:///") + QLatin1String(Database) + QStringLiteral("?host=")
               + QString::fromLatin1(QUrl::toPercentEncoding(m_dir.path())) + QStringLiteral("&port=") + QString::number(Port)
               + QStringLiteral("&user=") + user + QStringLiteral("&dictionary=")
               + QString::fromLatin1(QUrl::toPercentEncoding(dictionary));
    }

    // Runs SQL as the superuser; throws when it fails.
    void psql(const QString &database, const QString &sql) const
    {
        runChecked(bin("psql"), {QStringLiteral("-X"), QStringLiteral("-q"), QStringLiteral("-v"), QStringLiteral("ON_ERROR_STOP=1"),
                                 QStringLiteral("-h"), m_dir.path(), QStringLiteral("-p"), QString::number(Port),
                                 QStringLiteral("-U"), QStringLiteral("postgres"), QStringLiteral("-d"), database,
                                 QStringLiteral("-c"), sql});
    }

private:
    // Should the test die without unwinding (an abort, a crash), a watcher stops the server and
    // removes its folder once the test's process is gone.
    void stopWhenGone() const
    {
        const QString stop = QStringLiteral("runuser -u postgres -- %1 -D %2 -m fast -w stop").arg(bin("pg_ctl"), data());
        const QString script = QStringLiteral("while kill -0 %1 2>/dev/null; do sleep 1; done; "
                                              "if [ -d %2 ]; then %3 >/dev/null 2>&1; rm -rf %4; fi")
                                   .arg(QString::number(::getpid()), data(),
                                        ::geteuid() == 0 ? stop : stop.mid(QStringLiteral("runuser -u postgres -- ").size()),
                                        m_dir.path());
        QProcess::startDetached(QStringLiteral("sh"), {QStringLiteral("-c"), script}, QDir::tempPath());
    }

    static QString bin(const char *name) { return QStringLiteral("/usr/lib/postgresql/15/bin/") + QLatin1String(name); }
    QString data() const { return m_dir.path() + QStringLiteral("/data"); }

    // As root, the server's programs run as the postgres user, who owns the folder.
    static int run(const QString &program, const QStringList &arguments, bool asServerUser = true,
                   QByteArray *output = nullptr)
    {
        QProcess p;
        p.setProcessChannelMode(QProcess::MergedChannels);
        // The server user may not enter the folder the test runs in.
        p.setWorkingDirectory(QDir::tempPath());
        if (asServerUser && ::geteuid() == 0)
            p.start(QStringLiteral("runuser"), QStringList{QStringLiteral("-u"), QStringLiteral("postgres"), QStringLiteral("--"), program} + arguments);
        else
            p.start(program, arguments);
        if (!p.waitForFinished(60000)) {
            p.kill();
            p.waitForFinished();
            return -1;
        }
        if (output)
            *output = p.readAll();
        return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    }

    static void runChecked(const QString &program, const QStringList &arguments, bool asServerUser = true)
    {
        QByteArray output;
        if (run(program, arguments, asServerUser, &output) != 0)
            throw std::runtime_error(QString(program + QLatin1Char(' ') + arguments.join(QLatin1Char(' ')) + QStringLiteral(" failed: ")
                                      + QString::fromLocal8Bit(output)).toStdString());
    }

    // Under /tmp whatever TMPDIR says: the server's user must reach it, and the socket's path
    // must stay within the 107 bytes a socket name may have.
    QTemporaryDir m_dir{QStringLiteral("/tmp/qm-pg-XXXXXX")};
    bool m_started = false;
};

} // namespace qm::test
