// A log report of 100,000 rows printed to a PDF file: pages per second. The rows are
// streamed from the log table as the pages are drawn, so memory stays that of one page.
//
// DOVRA_BENCH_REPORT_ROWS sets the number of rows (default 100000) for a quick try.
#include "bench/BenchSupport.h"
#include "canvas/LandscapeCanvas.h"
#include "canvas/PdfCanvas.h"
#include "core/datamodule/Schemas.h"
#include "core/datamodule/TdmDovraPro.h"
#include "engine/Query.h"
#include "log/LogReport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <chrono>
#include <cstdio>

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    const int rows = qEnvironmentVariableIsSet("DOVRA_BENCH_REPORT_ROWS")
                         ? qEnvironmentVariableIntValue("DOVRA_BENCH_REPORT_ROWS")
                         : 100000;
    QTemporaryDir dir;
    const QString log = dir.filePath("Log");
    QDir().mkpath(log);
    TdmDovraPro dm;
    dm.CreateTable(log, "Log37", schema::Log37);
    engine::Query fill;
    fill.setFolder(log.toStdString());
    fill.setSql(QString("with recursive n(i) as (select 1 union all select i + 1 from n where i < %1) "
                        "insert into Log37 (DateTime, MailerNum, CustID, SerialNum, ToAddress1, ToCity, ToState, "
                        "ToZip, Postage, Certified, Return, Total, Department, Result, Batch) "
                        "select datetime('2026-01-01 08:00:00', '+' || i || ' minutes'), "
                        "printf('9214 7123 4567 89%02d %04d %02d', i / 100000, i / 10 % 10000, i % 100), "
                        "'123456789', i, 'Addressee number ' || i, 'Springfield', 'IL', '62704', '0.39', '2.40', "
                        "'1.85', '4.64', 'Legal', 'None', False from n")
                    .arg(rows)
                    .toStdString());
    fill.execSql();

    LogReportLayout layout;
    layout.landscape = true;
    for (const auto& [field, heading, width] :
         std::initializer_list<std::tuple<const char*, const char*, double>>{{"DateTime", "Date and Time", 1.4},
                                                                             {"MailerNum", "Mailer Number", 1.65},
                                                                             {"ToAddress1", "To Address Line 1", 2.2},
                                                                             {"ToCity", "To Address City", 2.2},
                                                                             {"ToZip", "To Address Zip", 0.8},
                                                                             {"Total", "Total Fee", 0.5},
                                                                             {"Result", "Result", 1.0}})
        layout.columns.append({field, heading, width});

    const QString out = dir.filePath("Printed");
    PdfJobCanvas pdf(out);
    LandscapeCanvas canvas(pdf);
    const auto start = Clock::now();
    const LogReportTotals totals = printLogReport(canvas, layout, {log, QString()}, "Date Printed : bench");
    const double seconds = secondsSince(start);
    const QFileInfo file(pdf.lastFile());
    std::printf("report of %lld rows: %d pages in %.2f s, %.1f pages per second, %.0f rows per second\n",
                static_cast<long long>(totals.rows), totals.pages, seconds, totals.pages / seconds,
                totals.rows / seconds);
    std::printf("PDF file: %.1f MB; peak memory %ld KiB\n", file.size() / 1e6, peakMemoryKiB());
    return totals.rows == rows ? 0 : 1;
}
