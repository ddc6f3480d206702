// Import of an earlier edition's dBASE log: 100,000 report3.dbf rows into Log37, beside the
// sqlite3 tool inserting the same rows in transactions of the same size on the same disk.
// Goal: at least half the tool's rate.
#include "core/Settings.h"
#include "core/datamodule/Schemas.h"
#include "core/datamodule/TdmDovraPro.h"
#include "engine/Engine.h"
#include "log/LogImport.h"
#include "tests/support/DbaseWriter.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>

using Clock = std::chrono::steady_clock;

namespace {

double seconds(Clock::time_point since)
{
    return std::chrono::duration<double>(Clock::now() - since).count();
}

int envInt(const char* name, int fallback)
{
    const char* v = std::getenv(name);
    return v ? std::atoi(v) : fallback;
}

QByteArray field(const char* format, int i)
{
    return QByteArray(format).replace("%1", QByteArray::number(i));
}

testsupport::DbfRecord recordOf(int i)
{
    return {{{"sentname0", field("Recipient %1", i)},
             {"sentname1", "12 Elm St"},
             {"city", "Springfield"},
             {"state", "IL"},
             {"zip", "62704"},
             {"rdate", "20030405"},
             {"mailernum",
              QByteArray::number(92071123456789LL).append(QByteArray::number(i % 10000000).rightJustified(8, '0'))},
             {"postage", "0.37"},
             {"certified", "2.30"},
             {"return", "1.75"},
             {"total", "4.42"},
             {"comments", "Second notice"},
             {"re", field("Lease %1", i)}}};
}

// The row the import makes of record i, as one insert statement.
std::string insertOf(int i)
{
    const testsupport::DbfRecord r = recordOf(i);
    const QString number = QString::fromLatin1(r.values["mailernum"]);
    const LongNumberParts parts = PartsOfLongNumber(number);
    const auto q = [](const QByteArray& v) { return engine::quoted(v.toStdString()); };
    return "insert into Log37 (DateTime, MailerNum, CustID, SerialNum, ToAddress1, ToAddress2, ToAddress3, "
           "ToAddress4, ToCity, ToState, ToZip, Postage, Certified, Return, Restricted, Total, RE, Comment) values "
           "('2003-04-05 00:00:00', " +
           engine::quoted(number.toStdString()) + ", " + engine::quoted(parts.custId.toStdString()) + ", " +
           std::to_string(parts.serial.value_or(0)) + ", " + q(r.values["sentname0"]) + ", " +
           q(r.values["sentname1"]) + ", '', '', " + q(r.values["city"]) + ", " + q(r.values["state"]) + ", " +
           q(r.values["zip"]) + ", " + q(r.values["postage"]) + ", " + q(r.values["certified"]) + ", " +
           q(r.values["return"]) + ", '', " + q(r.values["total"]) + ", " + q(r.values["re"]) + ", " +
           q(r.values["comments"]) + ");\n";
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int rows = envInt("BENCH_IMPORT_ROWS", 100000);
    constexpr int kBatch = 1000; // the import's rows per transaction
    QTemporaryDir root;
    const QString ours = root.filePath("ours"), tool = root.filePath("tool");
    QDir().mkpath(ours);
    QDir().mkpath(tool);
    engine::createTable(ours.toStdString(), "Log37", schema::Log37);
    engine::createTable(tool.toStdString(), "Log37", schema::Log37);

    const QString dbf = root.filePath("report3.dbf");
    {
        const QList<testsupport::DbfField> fields = testsupport::report3Fields();
        QFile file(dbf);
        file.open(QIODevice::WriteOnly);
        file.write(testsupport::dbaseHeader(fields, rows));
        for (int i = 0; i < rows; ++i)
            file.write(testsupport::dbaseRecord(fields, recordOf(i)));
        file.write(testsupport::dbaseEnd());
    }

    TdmDovraPro dm;
    Settings settings = Settings::defaults(root.path());
    settings.logDB = ours;
    auto start = Clock::now();
    const auto source = OpenDbaseLog(dbf);
    const int stored = ImportLogRows(*source, settings);
    const double oursRate = stored / seconds(start);

    const std::string script = root.filePath("insert.sql").toStdString();
    {
        std::ofstream out(script);
        out << "pragma journal_mode=delete;\npragma synchronous=full;\n";
        for (int i = 0; i < rows; ++i) {
            if (i % kBatch == 0)
                out << "begin;\n";
            out << insertOf(i);
            if (i % kBatch == kBatch - 1 || i == rows - 1)
                out << "commit;\n";
        }
    }
    start = Clock::now();
    const std::string cmd =
        "sqlite3 '" + engine::tableFile(tool.toStdString(), "Log37") + "' < '" + script + "' > /dev/null";
    if (std::system(cmd.c_str()) != 0)
        std::fprintf(stderr, "sqlite3 tool failed: %s\n", cmd.c_str());
    const double toolRate = rows / seconds(start);
    std::printf("import %d dBASE rows: %9.0f rows/s   sqlite3 tool, same rows: %9.0f rows/s   ratio %.2f (goal 0.5)\n",
                stored, oursRate, toolRate, oursRate / toolRate);
    return stored == rows ? 0 : 1;
}
