// Mailer Numbers taken against a PostgreSQL server (one statement each, the server's function
// dovra_take_number: the counter row locked and advanced, the log row inserted, committed),
// beside the server's own durable one-row transactions per second measured in the same run on
// the same cluster (a plain INSERT loop, one commit a row; the same with a log row of a mailer's
// fields; and pgbench with the same work: one counter row updated plus one log row inserted a
// transaction). One workstation, then eight at once. The cluster is a
// throwaway one with fsync on, as a production server runs.
// Then the print run itself against the server: mailers printed to PDF through the program's
// run (the number and its log row committed in one statement, then the form drawn) per second,
// beside the same run on a folder's tables, and the server's run again with proof copies kept
// on the server (goal: at least 0.8 of the rate without) and in a folder; and the log window's
// first rows on a log of a million rows on the server, beside the same log in a folder (goal
// < 300 ms).
#include "bench/BenchSupport.h"
#include "canvas/PainterCanvas.h"
#include "core/ServerSettings.h"
#include "core/Settings.h"
#include "core/datamodule/Schemas.h"
#include "core/datamodule/ServerTables.h"
#include "core/datamodule/TdmDovraPro.h"
#include "engine/Query.h"
#include "engine/Server.h"
#include "log/LogModel.h"
#include "printing/PrintRun.h"
#include "printing/ProofArchive.h"
#include "tests/support/PgCluster.h"
#include "tests/support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
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

// The server's rate for the log's own rows: one Log37 row with a mailer's fields inserted, each
// its own durable transaction (no counter). No take can be faster than this.
double logRowInsertsPerSecond(const QString& where, int rows)
{
    const std::string w = where.toStdString();
    const auto start = Clock::now();
    for (int i = 0; i < rows; ++i)
        engine::runOnServer(w, "INSERT INTO log37 (datetime, mailernum, custid, serialnum, batch, toaddress1, "
                               "toaddress2, tocity, tostate, tozip, youraddress1, postage, certified, total, "
                               "wishrest, result) VALUES (localtimestamp(0), '9214 7123 4567 89', '123456789', " +
                                   std::to_string(i) +
                                   ", false, 'Jane Roe', '12 Elm St', 'Springfield', 'IL', '62704-1234', "
                                   "'Law Office', '0.39', '2.40', '2.79', false, 'None')");
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

// Mailers printed through the print run to PDF files, with the tables where the settings put them.
class PrintRunner {
public:
    PrintRunner(Settings& settings, const QString& pdfFolder) : settings_(settings), canvas_(pdfFolder)
    {
        data_ = testsupport::sampleMailerPrintData();
        applyPrintSettings(data_, settings);
        entry_.recipient = {{"Jane Roe", "Roe & Sons", "4 Elm St", ""}, "Dover", "DE", "19901"};
        entry_.sender = {{"Acme Supply", "12 Mill Rd", "", ""}, "Springfield", "IL", "62701-1234"};
        entry_.postage = "0.39";
        entry_.certified = "2.40";
        entry_.total = "2.79";
    }
    // Prints count mailers; returns the seconds taken. With an archive, as one run keeps its
    // proof copies: the time includes storing the last of them.
    double print(int count, ProofArchive* proofs = nullptr)
    {
        const auto start = Clock::now();
        for (int i = 0; i < count; ++i) {
            entry_.recipient.address[0] = QString("Recipient %1").arg(turn_++);
            data_.recipientLines[0] = entry_.recipient.address[0];
            const PrintOutcome outcome = PrintMailer(canvas_, settings_, data_, MailerLayout::Form, entry_, proofs);
            if (!outcome.printed())
                throw std::runtime_error("refused: " + outcome.refusal.toStdString());
        }
        if (proofs && !proofs->warning().isEmpty())
            throw std::runtime_error(proofs->warning().toStdString());
        return secondsSince(start);
    }

private:
    Settings& settings_;
    PdfJobCanvas canvas_;
    MailerPrintData data_;
    MailerLogEntry entry_;
    int turn_ = 0;
};

// One-row inserts on the server, each its own durable transaction; returns the seconds taken.
double plainInserts(const std::string& where, int rows)
{
    const auto start = Clock::now();
    for (int i = 0; i < rows; ++i)
        engine::runOnServer(where, "INSERT INTO plain (t) VALUES ('row')");
    return secondsSince(start);
}

// The first column of the first row of a select.
QString column(const QString& location, const std::string& sql)
{
    engine::Query q;
    q.setFolder(location.toStdString());
    q.setSql(sql);
    q.open();
    return q.eof() ? QString() : QString::fromStdString(q.asString(0));
}

// The log window's first rows: the count, the first page read and its first row shown.
double firstRowsMs(const QString& location)
{
    engine::Query query;
    LogModel model(query);
    const auto start = Clock::now();
    model.setFolder(location);
    model.setWhere(QString());
    const QString first = model.data(model.index(0, 1)).toString();
    const double ms = secondsSince(start) * 1000;
    if (first.isEmpty() || model.rowCount() == 0)
        throw std::runtime_error("the log window showed no rows");
    return ms;
}

const char* kMillionRows =
    "INSERT INTO Log37 (DateTime, MailerNum, CustID, SerialNum, ToAddress1, ToCity, YourAddress1, Batch, Result) "
    "SELECT %1, '9214 7123 4567 89' || g, '123456789', g, 'Recipient ' || g, 'Dover', 'Law Office', %2, 'None' "
    "FROM %3";

} // namespace

int main(int argc, char** argv)
{
    KeepMemoryForPrintJobs();
    QGuiApplication app(argc, argv);
    const int forms = envInt("BENCH_SERVER_FORMS", 500);
    const int logRows = envInt("BENCH_SERVER_LOG_ROWS", 1000000);
    const int takes = envInt("BENCH_SERVER_TAKES", 2000);
    const int seconds = envInt("BENCH_SERVER_SECONDS", 5);
    try {
        testsupport::PgCluster cluster(true);
        const QString one = readyDatabase(cluster);
        const double single = takesPerSecond(one, 1, takes);
        const double plain = plainInsertsPerSecond(cluster.newDatabase(), takes);
        const double logRowRate = logRowInsertsPerSecond(readyDatabase(cluster), takes);
        const QString eight = readyDatabase(cluster);
        const double many = takesPerSecond(eight, 8, takes / 8);
        const QString forPgbench =
            QString::fromStdString(engine::serverParamsOf(cluster.newDatabase().toStdString()).database);
        const double bench1 = pgbench(cluster, forPgbench, 1, seconds);
        const double bench8 = pgbench(cluster, forPgbench, 8, seconds);
        std::printf("server cluster: PostgreSQL in %s, fsync on\n", qPrintable(cluster.binDir()));
        std::printf("numbers taken, 1 workstation:       %8.0f /s (%d takes)\n", single, takes);
        std::printf("numbers taken, 8 workstations:      %8.0f /s in total\n", many);
        std::printf("server, one-row INSERT commits:     %8.0f /s\n", plain);
        std::printf("server, one log-row INSERT commits: %8.0f /s (no counter: the most a take can reach)\n",
                    logRowRate);
        std::printf("pgbench, counter + log row, 1 client: %6.0f /s\n", bench1);
        std::printf("pgbench, counter + log row, 8 clients: %5.0f /s\n", bench8);
        std::printf("ratio taken / one-row commits:      %8.2f (goal >= 0.8)\n", single / plain);
        std::printf("ratio 8 / 1 workstations:           %8.2f (goal >= 1)\n", many / single);

        // The print run: on the server, then on a folder's tables.
        QTemporaryDir home;
        TdmDovraPro dm;
        Settings onServer = Settings::defaults(home.path());
        onServer.sharedTables = "Server";
        setServerParams(onServer, engine::serverParamsOf(readyDatabase(cluster).toStdString()));
        const std::string plainDb = cluster.newDatabase().toStdString();
        engine::runOnServer(plainDb, "CREATE TABLE plain (id bigint GENERATED ALWAYS AS IDENTITY, t text)");
        Settings inFolder = Settings::defaults(home.path());
        QDir().mkpath(inFolder.logDB);
        dm.CreateTable(inFolder.logDB, "Log37", schema::Log37);
        dm.CreateTable(inFolder.mailerNumDB, "MailerNum", schema::MailerNum);
        testsupport::writeRow(inFolder.mailerNumDB, {"123456789", "0000000"});
        PrintRunner serverRun(onServer, home.path() + "/PrintedServer");
        PrintRunner folderRun(inFolder, home.path() + "/PrintedFolder");
        // The disk's speed drifts over a run: the runs take turns in rounds and see the same disk.
        // Each round with proof copies is a run of its own (one archive, as a mass print has),
        // timed until its last copy is stored.
        constexpr int kRounds = 10;
        double serverSeconds = 0, folderSeconds = 0, plainSeconds = 0, copiesOnServerSeconds = 0,
               copiesInFolderSeconds = 0;
        for (int round = 0; round < kRounds; ++round) {
            serverSeconds += serverRun.print(forms / kRounds);
            {
                ProofArchive copies(onServer);
                copiesOnServerSeconds += serverRun.print(forms / kRounds, &copies);
            }
            {
                ProofArchive copies(home.path() + "/Proofs", true);
                copiesInFolderSeconds += serverRun.print(forms / kRounds, &copies);
            }
            plainSeconds += plainInserts(plainDb, forms / kRounds);
            folderSeconds += folderRun.print(forms / kRounds);
        }
        const int done = forms / kRounds * kRounds;
        const double printedServer = done / serverSeconds;
        const double plainAgain = done / plainSeconds;
        const double printedFolder = done / folderSeconds;
        const double withCopiesOnServer = done / copiesOnServerSeconds;
        const double withCopiesInFolder = done / copiesInFolderSeconds;
        const qint64 copiesStored = column(onServer.logLocation(), "select count(*) from Proofs").toLongLong();
        std::printf("mailers printed to PDF, server:     %8.1f /s (%d forms)\n", printedServer, done);
        std::printf("server, one-row INSERT commits:     %8.0f /s (same run)\n", plainAgain);
        std::printf("ratio printed / one-row commits:    %8.2f (goal >= 0.8)\n", printedServer / plainAgain);
        std::printf("mailers printed to PDF, folder:     %8.1f /s\n", printedFolder);
        std::printf("server, proof copies on the server: %8.1f /s (%.2f of the rate without; goal >= 0.8) %s, "
                    "%lld copies stored\n",
                    withCopiesOnServer, withCopiesOnServer / printedServer,
                    withCopiesOnServer >= 0.8 * printedServer ? "met" : "NOT MET",
                    static_cast<long long>(copiesStored));
        std::printf("server, proof copies in a folder:   %8.1f /s (%.2f of the rate without)\n", withCopiesInFolder,
                    withCopiesInFolder / printedServer);

        // The log window on a million rows.
        const QString bigLog = readyDatabase(cluster);
        engine::runOnServer(bigLog.toStdString(), QString(kMillionRows)
                                                      .arg("timestamp '2020-01-01' + g * interval '1 minute'", "false",
                                                           QString("generate_series(1, %1) g").arg(logRows))
                                                      .toStdString());
        engine::runOnServer(bigLog.toStdString(), "VACUUM ANALYZE log37");
        const double serverMs = firstRowsMs(bigLog);
        const QString folderLog = home.path() + "/BigLog";
        QDir().mkpath(folderLog);
        dm.CreateTable(folderLog, "Log37", schema::Log37);
        engine::Query fill;
        fill.setFolder(folderLog.toStdString());
        fill.setSql(("WITH RECURSIVE s(g) AS (SELECT 1 UNION ALL SELECT g + 1 FROM s WHERE g < " +
                     QString::number(logRows) + ") " +
                     QString(kMillionRows).arg("datetime('2020-01-01', '+' || g || ' minutes')", "0", "s"))
                        .toStdString());
        fill.execSql();
        fill.disconnect();
        ensureLogOrderIndex(folderLog); // made at the window's first open, left out of the timing
        const double folderMs = firstRowsMs(folderLog);
        std::printf("log window first rows, %d rows, server: %6.1f ms (goal < 300)\n", logRows, serverMs);
        std::printf("log window first rows, %d rows, folder: %6.1f ms\n", logRows, folderMs);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_server: %s\n", e.what());
        return 1;
    }
    return 0;
}
