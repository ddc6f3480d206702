// Move to Server with a large log: a folder's log of 1,000,000 rows (DOVRA_BENCH_MOVE_ROWS)
// copied to a throwaway server in one transaction. The log is read row by row and written in
// batches, so the process's memory stays far below the size of the log.
#include "bench/BenchSupport.h"
#include "core/datamodule/MoveToServer.h"
#include "core/datamodule/Schemas.h"
#include "core/datamodule/TdmDovraPro.h"
#include "engine/Engine.h"
#include "engine/Query.h"
#include "tests/support/PgCluster.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>

int main()
{
    const char* env = std::getenv("DOVRA_BENCH_MOVE_ROWS");
    const int rows = env ? std::atoi(env) : 1000000;
    QTemporaryDir home;
    TdmDovraPro dm;
    const QString log = home.path() + "/Log";
    QDir().mkpath(log);
    QDir().mkpath(home.path() + "/Addresses");
    dm.CreateTable(home.path(), "MailerNum", schema::MailerNum);
    dm.CreateTable(home.path() + "/Addresses", "YourAddress", schema::YourAddress);
    dm.CreateTable(log, "Log37", schema::Log37);
    engine::Query q;
    q.setFolder(log.toStdString());
    q.setSql("insert into Log37 (DateTime, MailerNum, CustID, SerialNum, ToAddress1, ToAddress2, ToCity, ToState, "
             "ToZip, YourAddress1, Postage, Certified, Total, WishRest, Batch, Result) values (?, ?, ?, ?, ?, ?, ?, "
             "?, ?, ?, ?, ?, ?, ?, ?, ?)");
    auto start = Clock::now();
    q.execEach(rows, [](size_t i, std::vector<engine::Value>& v) {
        v = {std::string("2026-03-14 08:15:30"),
             "9407 1000 0000 " + std::to_string(10000000 + i),
             std::string("123456789"),
             std::int64_t(i + 1),
             "Recipient " + std::to_string(i),
             std::string("12 Elm St"),
             std::string("Springfield"),
             std::string("IL"),
             std::string("62704-1234"),
             std::string("Law Office"),
             std::string("0.39"),
             std::string("2.40"),
             std::string("2.79"),
             std::int64_t(0),
             std::int64_t(i % 3 == 0),
             std::string("None")};
    });
    std::printf("folder log of %d rows made in %.1f s (%.0f MB)\n", rows, secondsSince(start),
                QFileInfo(log + "/Log37.adt").size() / 1e6);
    const long memoryBefore = peakMemoryKiB();

    testsupport::PgCluster cluster(true);
    const QString where = cluster.newDatabase();
    start = Clock::now();
    qint64 calls = 0;
    const auto moved =
        MoveToServer({home.path(), home.path() + "/Addresses", log}, where, [&](qint64, qint64) { ++calls; });
    const double seconds = secondsSince(start);
    std::printf("Move to Server: %lld log rows in %.1f s (%.0f rows/s), %lld progress reports\n",
                static_cast<long long>(moved[2].rows), seconds, moved[2].rows / seconds, static_cast<long long>(calls));
    std::printf("peak memory: %ld KiB before the move, %ld KiB after\n", memoryBefore, peakMemoryKiB());
    return moved[2].rows == rows ? 0 : 1;
}
