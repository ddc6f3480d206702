// Mailer Numbers taken against a PostgreSQL server (one server transaction each: the counter
// row locked and advanced, the log row inserted, committed), beside the server's own durable
// one-row transactions per second measured in the same run on the same cluster (a plain
// INSERT loop, one commit a row, and pgbench with the same work: one counter row updated plus
// one log row inserted a transaction). One workstation, then eight at once. The cluster is a
// throwaway one with fsync on, as a production server runs.
#include "app/datamodule/ServerTables.h"
#include "bench/BenchSupport.h"
#include "engine/Query.h"
#include "engine/Server.h"
#include "tests/support/PgCluster.h"

#include <QFile>
#include <QTemporaryDir>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <thread>

namespace {

int envInt(const char* name, int fallback)
{
    const char* v = std::getenv(name);
    return v ? std::atoi(v) : fallback;
}

const std::vector<std::pair<std::string, engine::Value>> kRecipient{
    {"ToAddress1", std::string("Jane Roe")}, {"ToAddress2", std::string("12 Elm St")},
    {"ToCity", std::string("Springfield")},  {"ToState", std::string("IL")},
    {"ToZip", std::string("62704-1234")},    {"YourAddress1", std::string("Law Office")},
    {"Postage", std::string("0.39")},        {"Certified", std::string("2.40")},
    {"Total", std::string("2.79")},          {"WishRest", std::int64_t(0)},
    {"Result", std::string("None")}};

QString readyDatabase(testsupport::PgCluster& cluster)
{
    const QString where = cluster.newDatabase();
    CreateServerTables(where);
    engine::Query q;
    q.setFolder(where.toStdString());
    q.setSql("update MailerNum set CustID = '123456789', SerialNum = '0000001'");
    q.execSql();
    return where;
}

// Numbers taken per second by workstations at once, each with its own connection.
double takesPerSecond(const QString& where, int workstations, int takes)
{
    std::atomic<int> failures{0};
    const auto start = Clock::now();
    std::vector<std::thread> threads;
    for (int w = 0; w < workstations; ++w)
        threads.emplace_back([&] {
            for (int i = 0; i < takes; ++i) {
                try {
                    TakeServerNumber(where, kRecipient);
                } catch (const std::exception& e) {
                    if (failures++ == 0)
                        std::fprintf(stderr, "take failed: %s\n", e.what());
                }
            }
            engine::disconnectServers();
        });
    for (auto& t : threads)
        t.join();
    const double elapsed = secondsSince(start);
    if (failures)
        std::printf("  %d takes failed\n", failures.load());
    return workstations * takes / elapsed;
}

// The server's own rate: one-row inserts, each its own durable transaction.
double plainInsertsPerSecond(const QString& where, int rows)
{
    const std::string w = where.toStdString();
    engine::runOnServer(w, "CREATE TABLE plain (id bigint GENERATED ALWAYS AS IDENTITY, t text)");
    const auto start = Clock::now();
    for (int i = 0; i < rows; ++i)
        engine::runOnServer(w, "INSERT INTO plain (t) VALUES ('row')");
    return rows / secondsSince(start);
}

// pgbench with a script of the same work as a take, on a counter and log of its own.
double pgbench(testsupport::PgCluster& cluster, const QString& database, int clients, int seconds)
{
    const std::string where = cluster.location(database).toStdString();
    engine::runOnServer(where, "CREATE TABLE IF NOT EXISTS bcounter (serial integer); "
                               "CREATE TABLE IF NOT EXISTS blog (id bigserial primary key, serial integer, t text); "
                               "INSERT INTO bcounter SELECT 1 WHERE NOT EXISTS (SELECT 1 FROM bcounter)");
    QTemporaryDir dir;
    QFile script(dir.filePath("take.sql"));
    script.open(QIODevice::WriteOnly);
    script.write("BEGIN;\n"
                 "UPDATE bcounter SET serial = serial + 1 RETURNING serial \\gset\n"
                 "INSERT INTO blog (serial, t) VALUES (:serial, 'Jane Roe');\n"
                 "COMMIT;\n");
    script.close();
    QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner | QFileDevice::ReadOther |
                                          QFileDevice::ExeOther | QFileDevice::ReadGroup | QFileDevice::ExeGroup);
    QFile::setPermissions(script.fileName(), QFileDevice::ReadOwner | QFileDevice::ReadOther | QFileDevice::ReadGroup);
    const QString output =
        cluster.runTool("pgbench", {"-n", "-h", "127.0.0.1", "-p", QString::number(cluster.port()), "-U", "postgres",
                                    "-c", QString::number(clients), "-j", QString::number(std::min(clients, 2)), "-T",
                                    QString::number(seconds), "-f", script.fileName(), database});
    for (const QString& line : output.split('\n'))
        if (line.startsWith("tps = "))
            return line.mid(6).split(' ').first().toDouble();
    std::fprintf(stderr, "pgbench said:\n%s\n", qPrintable(output));
    return 0;
}

} // namespace

int main()
{
    const int takes = envInt("BENCH_SERVER_TAKES", 2000);
    const int seconds = envInt("BENCH_SERVER_SECONDS", 5);
    try {
        testsupport::PgCluster cluster(true);
        const QString one = readyDatabase(cluster);
        const double single = takesPerSecond(one, 1, takes);
        const double plain = plainInsertsPerSecond(cluster.newDatabase(), takes);
        const QString eight = readyDatabase(cluster);
        const double many = takesPerSecond(eight, 8, takes / 8);
        cluster.newDatabase(); // dovra_4, for pgbench
        const double bench1 = pgbench(cluster, "dovra_4", 1, seconds);
        const double bench8 = pgbench(cluster, "dovra_4", 8, seconds);
        std::printf("server cluster: PostgreSQL in %s, fsync on\n", qPrintable(cluster.binDir()));
        std::printf("numbers taken, 1 workstation:       %8.0f /s (%d takes)\n", single, takes);
        std::printf("numbers taken, 8 workstations:      %8.0f /s in total\n", many);
        std::printf("server, one-row INSERT commits:     %8.0f /s\n", plain);
        std::printf("pgbench, counter + log row, 1 client: %6.0f /s\n", bench1);
        std::printf("pgbench, counter + log row, 8 clients: %5.0f /s\n", bench8);
        std::printf("ratio taken / one-row commits:      %8.2f (goal >= 0.8)\n", single / plain);
        std::printf("ratio 8 / 1 workstations:           %8.2f (goal >= 1)\n", many / single);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_server: %s\n", e.what());
        return 1;
    }
    return 0;
}
