// Table engine throughput: log rows appended as a print run does (one durable commit a
// row) and in one transaction, and a full read of a million-row log, each beside the
// sqlite3 tool's rate for the same statements on the same disk.
#include "core/datamodule/Schemas.h"
#include "engine/Engine.h"
#include "engine/Query.h"
#include "engine/Table.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

double seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

int envInt(const char* name, int fallback)
{
    const char* v = std::getenv(name);
    return v ? std::atoi(v) : fallback;
}

void fillRow(engine::Table& t, int i)
{
    t.append();
    t.setDateTime("DateTime", engine::DateTime{2026, 12, 10, 9, i / 60 % 60, i % 60});
    t.setText("MailerNum", "9214 7123 4567 8900 0000 15");
    t.setText("CustID", "123456789");
    t.setInteger("SerialNum", i);
    t.setText("ToAddress1", "Jane Roe");
    t.setText("ToAddress2", "12 Elm St");
    t.setText("ToCity", "Springfield");
    t.setText("ToState", "IL");
    t.setText("ToZip", "62704-1234");
    t.setText("YourAddress1", "Law Office");
    t.setText("Postage", "0.39");
    t.setText("Certified", "2.40");
    t.setText("Return", "1.85");
    t.setText("Total", "4.64");
    t.setBoolean("WishRest", false);
    t.setBoolean("Batch", false);
    t.setText("Result", "None");
    t.post();
}

const char* kInsertSql =
    "insert into Log37 (DateTime, MailerNum, CustID, SerialNum, ToAddress1, ToAddress2, ToCity, ToState, ToZip, "
    "YourAddress1, Postage, Certified, Return, Total, WishRest, Batch, Result) values('2026-12-10 09:00:00', "
    "'9214 7123 4567 8900 0000 15', '123456789', %d, 'Jane Roe', '12 Elm St', 'Springfield', 'IL', '62704-1234', "
    "'Law Office', '0.39', '2.40', '1.85', '4.64', 0, 0, 'None');\n";

// The sqlite3 tool running a script against a copy of the table file.
double sqliteTool(const std::string& file, const std::string& script)
{
    const auto start = Clock::now();
    const std::string cmd = "sqlite3 '" + file + "' < '" + script + "' > /dev/null";
    if (std::system(cmd.c_str()) != 0)
        std::fprintf(stderr, "sqlite3 tool failed: %s\n", cmd.c_str());
    return seconds(start);
}

std::string writeScript(const fs::path& path, int rows, bool oneTransaction, const char* pragmas)
{
    std::ofstream out(path);
    out << pragmas;
    if (oneTransaction)
        out << "begin;\n";
    char line[1024];
    for (int i = 0; i < rows; ++i) {
        std::snprintf(line, sizeof line, kInsertSql, i);
        out << line;
    }
    if (oneTransaction)
        out << "commit;\n";
    return path.string();
}

} // namespace

int main()
{
    const int singleRows = envInt("BENCH_SINGLE_ROWS", 100000);
    const int selectRows = envInt("BENCH_SELECT_ROWS", 1000000);
    const fs::path root = fs::temp_directory_path() / ("dovra-bench-" + std::to_string(::getpid()));
    fs::create_directories(root / "engine");
    fs::create_directories(root / "tool");
    const std::string ours = (root / "engine").string();
    const std::string tool = (root / "tool").string();
    const char* pragmas = "pragma journal_mode=delete;\npragma synchronous=full;\n";

    engine::createTable(ours, "Log37", schema::Log37);
    engine::createTable(tool, "Log37", schema::Log37);

    // 1. One durable commit a row, as the print run writes its log.
    engine::Table log;
    log.setFolder(ours);
    log.setTableName("Log37");
    log.open();
    auto start = Clock::now();
    for (int i = 0; i < singleRows; ++i)
        fillRow(log, i);
    const double oursSingle = singleRows / seconds(start);
    const double toolSingle =
        singleRows / sqliteTool(engine::tableFile(tool, "Log37"),
                                writeScript(root / "single.sql", singleRows, false, pragmas));
    std::printf("append, one commit a row: %9.0f rows/s   sqlite3 tool: %9.0f rows/s   ratio %.2f\n", oursSingle,
                toolSingle, oursSingle / toolSingle);

    // 2. The same rows in one transaction, up to the million-row log read next.
    const int bulkRows = selectRows - singleRows;
    start = Clock::now();
    log.startTransaction();
    for (int i = 0; i < bulkRows; ++i)
        fillRow(log, singleRows + i);
    log.commit();
    const double oursBulk = bulkRows / seconds(start);
    const double toolBulk = bulkRows / sqliteTool(engine::tableFile(tool, "Log37"),
                                                  writeScript(root / "bulk.sql", bulkRows, true, pragmas));
    log.close();
    std::printf("append, one transaction:  %9.0f rows/s   sqlite3 tool: %9.0f rows/s   ratio %.2f\n", oursBulk,
                toolBulk, oursBulk / toolBulk);

    // 3. Read the whole log, every field of every row.
    engine::Query q;
    q.setFolder(ours);
    q.setSql("select * from Log37");
    start = Clock::now();
    long long rows = 0, chars = 0;
    for (q.open(); !q.eof(); q.next(), ++rows)
        for (int f = 0; f < q.fieldCount(); ++f)
            chars += static_cast<long long>(q.asString(f).size());
    const double oursSelect = rows / seconds(start);
    q.disconnect();
    {
        std::ofstream s(root / "select.sql");
        s << "select * from Log37;\n";
    }
    const double toolSelect =
        rows / sqliteTool(engine::tableFile(tool, "Log37"), (root / "select.sql").string());
    std::printf("select %lld rows:       %9.0f rows/s   sqlite3 tool: %9.0f rows/s   ratio %.2f  (%lld chars)\n",
                rows, oursSelect, toolSelect, oursSelect / toolSelect, chars);
    fs::remove_all(root);
    return 0;
}
