// Text files at office scale: a 100,000-line address file imported (read, split into fields
// and added) beside the sqlite3 tool importing the same lines, a log of 1,000,000 rows
// exported as labelled lines, and the peak memory of the import preview of a 1 GB address
// file (measured in a process of its own, the preview shown and scrolled to its end).
//
// BENCH_IMPORT_LINES, BENCH_IMPORT_ROUNDS, BENCH_LOG_ROWS and BENCH_PREVIEW_MB make a quick
// try smaller.
#include "addressbook/AddressBook.h"
#include "addressbook/TextFiles.h"
#include "core/datamodule/Schemas.h"
#include "engine/Query.h"
#include "tests/support/TestSupport.h"

#include "addressbook/TF_TextFiles.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTableView>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sys/resource.h>

using Clock = std::chrono::steady_clock;

namespace {

double msSince(Clock::time_point since)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - since).count();
}

int envInt(const char* name, int fallback)
{
    const char* v = std::getenv(name);
    return v ? std::atoi(v) : fallback;
}

QString freshDatabase(const QString& home, const QString& name)
{
    const QString folder = home + "/Addresses/" + name;
    QDir().mkpath(folder);
    createAddressDatabaseTables(folder);
    return folder;
}

long peakKiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// The child: the preview of the file, as the import command makes it, shown and scrolled
// through to its last line; prints its peak memory in KiB, before and after.
int previewMemory(int argc, char** argv, const QString& file)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    engine::Query q;
    TF_TextFiles preview(q, "Address");
    preview.show();
    QApplication::processEvents();
    const long before = peakKiB();
    const auto start = Clock::now();
    auto index = std::make_shared<const AddressFileIndex>(file);
    const double indexMs = msSince(start);
    const qsizetype lines = index->lineCount();
    preview.setImportFile(std::move(index));
    preview.sgAddress->scrollToBottom();
    QApplication::processEvents();
    preview.ToggleImportCheck(0);
    QApplication::processEvents();
    std::printf("%ld %ld %lld %.0f\n", before, peakKiB(), static_cast<long long>(lines), indexMs);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && std::string(argv[1]) == "--preview-memory")
        return previewMemory(argc, argv, QString::fromLocal8Bit(argv[2]));
    QCoreApplication app(argc, argv);
    testsupport::ProgramFixture f;
    const int lines = envInt("BENCH_IMPORT_LINES", 100000);
    const int logRows = envInt("BENCH_LOG_ROWS", 1000000);

    // ---- import --------------------------------------------------------------------------------
    const QString csv = f.home.file("import.csv");
    {
        std::ofstream out(csv.toStdString(), std::ios::binary);
        for (int i = 0; i < lines; ++i)
            out << "\"Client " << i << ", Inc.\",Suite " << i % 500 << ",,,Springfield,IL,627" << i % 100 << "\r\n";
    }
    // Ours and the tool take turns, each into a database of its own, so that both see the
    // disk in the same state; the best round of each counts.
    const int rounds = std::max(1, envInt("BENCH_IMPORT_ROUNDS", 3));
    double oursMs = 1e300, toolMs = 1e300;
    for (int round = 0; round < rounds; ++round) {
        const QString ours = freshDatabase(f.home.path(), "Ours" + QString::number(round));
        const auto start = Clock::now();
        {
            // As the import does it: the file indexed, then each line read from it and added.
            const AddressFileIndex index(csv);
            engine::Query q;
            q.setFolder(ours.toStdString());
            insertAddresses(q, "Address", static_cast<size_t>(index.lineCount()),
                            [&index](size_t line) { return index.address(static_cast<qsizetype>(line)); });
        }
        oursMs = std::min(oursMs, msSince(start));

        const QString tool = freshDatabase(f.home.path(), "Tool" + QString::number(round));
        const std::string script = (tool + "/import.sql").toStdString();
        {
            std::ofstream out(script);
            out << "create table Lines (a, b, c, d, e, f, g);\n.mode csv\n.import '" << csv.toStdString()
                << "' Lines\ninsert into Address (Address1, Address2, Address3, Address4, City, State, Zip) "
                   "select * from Lines;\ndrop table Lines;\n";
        }
        const std::string cmd = "sqlite3 '" + (tool + "/Address.adt").toStdString() + "' < '" + script + "'";
        const auto toolStart = Clock::now();
        if (std::system(cmd.c_str()) != 0)
            std::fprintf(stderr, "sqlite3 tool failed: %s\n", cmd.c_str());
        toolMs = std::min(toolMs, msSince(toolStart));
    }
    const double rate = toolMs / oursMs;
    std::printf(
        "import of %d lines        %8.1f ms   sqlite3 tool: %8.1f ms   rate %.2f of the tool's (goal >= 0.5) %s\n",
        lines, oursMs, toolMs, rate, rate >= 0.5 ? "met" : "NOT MET");

    // ---- log export ----------------------------------------------------------------------------
    QDir().mkpath(f.settings.logDB);
    f.dm.CreateTable(f.settings.logDB, "Log37", schema::Log37);
    engine::Query log;
    log.setFolder(f.settings.logDB.toStdString());
    log.setSql("insert into Log37 (DateTime, MailerNum, CustID, SerialNum, ToAddress1, ToCity, ToState, ToZip, "
               "YourAddress1, YourCity, YourState, YourZip, Postage, Certified, Return, Total, Batch, Result) "
               "with recursive n(i) as (select 1 union all select i + 1 from n where i < " +
               std::to_string(logRows) +
               ") select datetime('2026-01-01', '+' || i || ' minutes'), '9214 7123 4567 8901 2345 67', "
               "'123456789', i, 'Client ' || i, 'Springfield', 'IL', '62701', 'Dovra Office', 'Erie', 'PA', "
               "'16501', '.69', '4.40', '3.55', '8.64', i % 5 = 0, "
               "case when i % 7 = 0 then 'Delivered - Müller, Zoë' else 'None' end from n");
    log.execSql();
    // BENCH_EXPORT_TO keeps the exported file there, to compare one program's output with another's.
    const char* keep = std::getenv("BENCH_EXPORT_TO");
    const QString exported = keep ? QString::fromLocal8Bit(keep) : f.home.file("log.txt");
    QFile::remove(exported);
    const auto exportStart = Clock::now();
    {
        TextFileWriter out(exported);
        exportLog(log, out);
        out.close();
    }
    const double exportMs = msSince(exportStart);
    std::printf("export of %d log rows   %8.1f ms (goal < 10000 for 1,000,000) %s   file %.0f MB\n", logRows, exportMs,
                exportMs * 1000000.0 / std::max(1, logRows) < 10000 ? "met" : "NOT MET", QFile(exported).size() / 1e6);

    // ---- preview memory of a large file ------------------------------------------------------
    const qint64 previewBytes = qint64(envInt("BENCH_PREVIEW_MB", 1024)) << 20;
    const QString big = f.home.file("big.csv");
    {
        std::ofstream out(big.toStdString(), std::ios::binary);
        const std::string sample = "\"Client, Inc.\",Suite 120,Attn: Accounts Payable,,Springfield,IL,62701-1234\r\n";
        for (qint64 written = 0; written < previewBytes; written += static_cast<qint64>(sample.size()))
            out << sample;
    }
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(), {"--preview-memory", big});
    child.waitForFinished(-1);
    long before = 0, peak = 0;
    long long previewLines = 0;
    double indexMs = 0;
    if (std::sscanf(child.readAllStandardOutput().constData(), "%ld %ld %lld %lf", &before, &peak, &previewLines,
                    &indexMs) != 4)
        std::fprintf(stderr, "preview child failed: %s\n", child.readAllStandardError().constData());
    QFile::remove(big);
    const double fileMB = previewBytes / 1048576.0;
    const double addedMB = (peak - before) / 1024.0;
    std::printf("preview of a %.0f MB file (%lld lines): peak memory %.0f MB, %.0f MB over the empty preview "
                "(%.1f bytes a line, %.2f x the file; goal: well under the file's size) %s; indexed in %.0f ms\n",
                fileMB, previewLines, peak / 1024.0, addedMB, addedMB * 1048576.0 / std::max(1LL, previewLines),
                addedMB / fileMB, addedMB < fileMB ? "met" : "NOT MET", indexMs);
    return 0;
}
