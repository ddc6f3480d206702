#include "tests/support/PgCluster.h"

#include "engine/Server.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>

namespace testsupport {

namespace {

bool isRoot()
{
    return ::geteuid() == 0;
}

QString findBinDir()
{
    const auto hasInitdb = [](const QString& dir) {
        return !dir.isEmpty() && QFileInfo(dir + "/initdb").isExecutable();
    };
    const QString fromEnvironment = qEnvironmentVariable("DOVRA_PG_BIN");
    if (hasInitdb(fromEnvironment))
        return fromEnvironment;
    QProcess pgConfig;
    pgConfig.start("pg_config", {"--bindir"});
    if (pgConfig.waitForFinished(10000) && pgConfig.exitCode() == 0) {
        const QString dir = QString::fromLocal8Bit(pgConfig.readAllStandardOutput()).trimmed();
        if (hasInitdb(dir))
            return dir;
    }
    QStringList versions = QDir("/usr/lib/postgresql").entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    std::sort(versions.begin(), versions.end(),
              [](const QString& a, const QString& b) { return a.toInt() > b.toInt(); });
    for (const QString& version : versions)
        if (hasInitdb("/usr/lib/postgresql/" + version + "/bin"))
            return "/usr/lib/postgresql/" + version + "/bin";
    const QString onPath = QStandardPaths::findExecutable("initdb");
    if (!onPath.isEmpty())
        return QFileInfo(onPath).absolutePath();
    throw std::runtime_error("initdb, the PostgreSQL server's set-up program, is not installed (looked in "
                             "DOVRA_PG_BIN, pg_config --bindir, /usr/lib/postgresql/*/bin and PATH): install "
                             "postgresql-15 (bash scripts/setup.sh)");
}

int freePort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof address;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        if (fd >= 0)
            ::close(fd);
        throw std::runtime_error("No free TCP port for the test cluster");
    }
    ::close(fd);
    return ntohs(address.sin_port);
}

} // namespace

PgCluster::PgCluster(bool durable) : durable_(durable)
{
    if (!dir_.isValid())
        throw std::runtime_error("Cannot make a temporary folder for the test cluster");
    binDir_ = findBinDir();
    dataDir_ = dir_.path() + "/data";
    if (isRoot()) {
        // The server refuses to run as root: the postgres system user runs it and owns its folder.
        const passwd* user = ::getpwnam("postgres");
        if (!user)
            throw std::runtime_error(
                "Running as root, the test cluster needs the postgres system user, which is missing");
        if (::chown(dir_.path().toLocal8Bit().constData(), user->pw_uid, user->pw_gid) != 0)
            throw std::runtime_error("Cannot give the test cluster's folder to the postgres user");
    }
    run(binDir_ + "/initdb", {"-D", dataDir_, "-U", "postgres", "-A", "trust", "-E", "UTF8", "--locale=C.UTF-8"}, true);
    port_ = freePort();
    start();
    // A test that dies without its destructor (a crash, an abort) would leave the server
    // running: a watchdog stops it once this process is gone.
    const QString watchdog =
        QString("while [ -d /proc/%1 ] && [ -f '%2/postmaster.pid' ]; do sleep 1; done; "
                "[ -f '%2/postmaster.pid' ] && { '%3/pg_ctl' -D '%2' -m immediate stop >/dev/null 2>&1; rm -rf '%4'; }")
            .arg(::getpid())
            .arg(dataDir_, binDir_, dir_.path());
    if (isRoot())
        QProcess::startDetached("runuser", {"-u", "postgres", "--", "sh", "-c", watchdog});
    else
        QProcess::startDetached("sh", {"-c", watchdog});
}

PgCluster::~PgCluster()
{
    try {
        stop();
    } catch (const std::exception&) {
    }
    engine::disconnectServers();
}

void PgCluster::start()
{
    const QString options = QString("-p %1 -c listen_addresses=127.0.0.1 -c unix_socket_directories=%2 -c fsync=%3 "
                                    "-c max_connections=60")
                                .arg(port_)
                                .arg(dir_.path(), durable_ ? "on" : "off");
    run(binDir_ + "/pg_ctl",
        {"-D", dataDir_, "-l", dir_.path() + "/server.log", "-w", "-t", "60", "-o", options, "start"}, true);
    running_ = true;
}

void PgCluster::stop()
{
    if (!running_)
        return;
    running_ = false;
    run(binDir_ + "/pg_ctl", {"-D", dataDir_, "-m", "fast", "-w", "stop"}, true);
}

void PgCluster::restart()
{
    run(binDir_ + "/pg_ctl", {"-D", dataDir_, "-m", "fast", "-w", "-t", "60", "restart"}, true);
    running_ = true;
}

QString PgCluster::location(const QString& database) const
{
    return QString("postgresql://postgres@127.0.0.1:%1/%2?sslmode=prefer").arg(port_).arg(database);
}

QString PgCluster::newDatabase()
{
    const QString name = QString("dovra_%1").arg(++databases_);
    engine::runOnServer(location().toStdString(), "CREATE DATABASE " + name.toStdString());
    return location(name);
}

void PgCluster::addPasswordRole(const QString& user, const QString& password)
{
    engine::runOnServer(location().toStdString(), "SET password_encryption = 'scram-sha-256'; CREATE ROLE " +
                                                      user.toStdString() + " LOGIN SUPERUSER PASSWORD " +
                                                      engine::quoted(password.toStdString()));
    const QString hba = dataDir_ + "/pg_hba.conf";
    run("sh",
        {"-c", QString("{ echo 'host all %1 127.0.0.1/32 scram-sha-256'; cat '%2'; } > '%2.new' && mv '%2.new' '%2'")
                   .arg(user, hba)},
        true);
    restart(); // a reload takes effect some time later; the restart has it read before it answers
}

QString PgCluster::runTool(const QString& tool, const QStringList& arguments) const
{
    return run(binDir_ + "/" + tool, arguments, true);
}

QString PgCluster::run(const QString& program, const QStringList& arguments, bool asServerUser) const
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.setWorkingDirectory(dir_.path());
    if (asServerUser && isRoot())
        process.start("runuser", QStringList{"-u", "postgres", "--", program} + arguments);
    else
        process.start(program, arguments);
    if (!process.waitForStarted(10000))
        throw std::runtime_error(("Cannot start " + program + ": " + process.errorString()).toStdString());
    process.waitForFinished(180000);
    const QString output = QString::fromLocal8Bit(process.readAll());
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        throw std::runtime_error((program + " " + arguments.join(' ') + " failed (exit " +
                                  QString::number(process.exitCode()) + "):\n" + output)
                                     .toStdString());
    return output;
}

bool serverBackend()
{
    return qgetenv("DOVRA_TEST_BACKEND") == "server";
}

} // namespace testsupport
