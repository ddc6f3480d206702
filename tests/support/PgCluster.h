// A throwaway PostgreSQL cluster for tests and benchmarks: initdb and pg_ctl on a free port
// in a temporary folder, started by the constructor and stopped by the destructor. Run as
// root, the server runs as the postgres system user (runuser), which owns the folder.
// The server's programs are looked up in DOVRA_PG_BIN, then pg_config's bindir, then
// /usr/lib/postgresql/<version>/bin (Debian's place), then PATH; a machine without them fails
// with a message that says so (these tests are never skipped).
#pragma once

#include <QString>
#include <QTemporaryDir>
#include <stdexcept>

namespace testsupport {

class PgCluster {
public:
    // durable: fsync on, as a production server runs; off, the tests run faster and lose
    // nothing they look at (no test crashes the machine).
    explicit PgCluster(bool durable = false);
    ~PgCluster();
    PgCluster(const PgCluster&) = delete;
    PgCluster& operator=(const PgCluster&) = delete;

    int port() const { return port_; }
    QString binDir() const { return binDir_; }
    // The location (libpq URI) of a database of the cluster.
    QString location(const QString& database = "postgres") const;
    // Makes a new, empty database and returns its location.
    QString newDatabase();
    // Makes a login role that must give its password over TCP (scram-sha-256), as an office's
    // server asks its clerks; every other role is still trusted.
    void addPasswordRole(const QString& user, const QString& password);
    // pg_ctl restart -m fast: every connection is cut.
    void restart();
    void stop();
    void start();
    // Runs one of the server's programs (pgbench, psql, ...) as the cluster's user; returns its
    // output; throws with the output when it fails.
    QString runTool(const QString& tool, const QStringList& arguments) const;

private:
    QString run(const QString& program, const QStringList& arguments, bool asServerUser) const;
    QTemporaryDir dir_;
    QString binDir_, dataDir_;
    int port_ = 0;
    int databases_ = 0;
    bool running_ = false;
    bool durable_ = false;
};

// The backend a test program that runs on both is run against: "server" when
// DOVRA_TEST_BACKEND says so (CTest runs such programs once more with it), else the folders.
bool serverBackend();

} // namespace testsupport
