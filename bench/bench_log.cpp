// The log window on a log of a million rows: the first rows shown, Set Filter, Find by
// name, scrolling to the end, keystrokes in the search box (most rows match; few rows match:
// first row, longest hold of the window, whole result), a click on a column heading,
// the week exported to a spreadsheet file, and peak memory; each query beside the sqlite3
// tool running the same statements on the same file. BENCH_LOG_ROWS makes a quicker run.
#include "core/Settings.h"
#include "core/datamodule/Schemas.h"
#include "core/datamodule/TdmDovraPro.h"
#include "engine/Engine.h"
#include "engine/Query.h"
#include "log/LogCsv.h"
#include "log/LogFilter.h"
#include "log/LogMailers.h"
#include "log/LogModel.h"
#include "log/TF_Log.h"

#include <QApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sys/resource.h>

using Clock = std::chrono::steady_clock;

namespace {

double ms(Clock::time_point since)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - since).count();
}

// The sqlite3 tool running statements on the file, in milliseconds, start-up included.
double sqliteTool(const QString& file, const QString& sql)
{
    const QString script = file + ".bench.sql";
    std::ofstream(script.toStdString()) << sql.toStdString() << ";\n";
    const auto start = Clock::now();
    const std::string cmd = "sqlite3 '" + file.toStdString() + "' < '" + script.toStdString() + "' > /dev/null";
    if (std::system(cmd.c_str()) != 0)
        std::fprintf(stderr, "sqlite3 tool failed: %s\n", cmd.c_str());
    return ms(start);
}

void report(const char* what, double ours, double tool)
{
    std::printf("%-34s %8.1f ms   sqlite3 tool: %8.1f ms   ratio %.2f\n", what, ours, tool, ours / tool);
}

long peakKiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const int rows = std::getenv("BENCH_LOG_ROWS") ? std::atoi(std::getenv("BENCH_LOG_ROWS")) : 1000000;
    QTemporaryDir dir;
    const QString folder = dir.path();
    TdmDovraPro dm;
    dm.CreateTable(folder, "Log37", schema::Log37);
    const QString file = folder + "/Log37.adt";

    // A log whose time order is not its key order; one addressee, "Zed Last", only in the
    // newest row, so Find by name reads the whole log.
    auto start = Clock::now();
    engine::Query fill;
    fill.setFolder(folder.toStdString());
    fill.setSql(QString("insert into Log37 (DateTime, MailerNum, CustID, SerialNum, ToAddress1, ToAddress2, ToCity, "
                        "ToState, ToZip, YourAddress1, Postage, Certified, Return, Total, WishRest, Batch, Result) "
                        "with recursive c(i) as (select 0 union all select i + 1 from c where i < %1) "
                        "select datetime('2020-01-01', '+' || ((i * 7919) % %2) || ' minutes'), "
                        "'9214 7123 4567 89' || substr('0000000' || i, -7, 7) || ' 15', '123456789', i, "
                        "case when (i * 7919) % %2 = %2 - 1 then 'Zed Last' else 'Addressee ' || i end, "
                        "'12 Elm St', case i % 4 when 0 then 'Boston' when 1 then 'Chicago' when 2 then "
                        "'Springfield' else 'Denver' end, 'IL', '62704', 'Law Office', '0.39', '2.40', '1.85', "
                        "'4.64', 0, i % 2, 'None' from c")
                    .arg(rows - 1)
                    .arg(rows)
                    .toStdString());
    fill.execSql();
    fill.disconnect();
    std::printf("log of %d rows written in %.0f ms\n", rows, ms(start));

    Settings settings = Settings::defaults(folder);
    settings.logDB = folder;

    // The program shows its main window before the log window opens: fonts and styles are
    // loaded by then, so they are loaded here too before anything is timed.
    {
        QTableView warmUp;
        warmUp.show();
        app.processEvents();
    }

    // 1. The rows alone (count and first page), then the window opened and its first rows painted (the index is made at
    // the first open).
    ensureLogOrderIndex(folder);
    {
        engine::Query rowsQuery;
        LogModel rowsOnly(rowsQuery);
        start = Clock::now();
        rowsOnly.setFolder(folder);
        rowsOnly.setWhere(QString());
        rowsOnly.field(0, "LID");
        std::printf("%-34s %8.1f ms\n", "count and first page", ms(start));
    }
    start = Clock::now();
    auto* window = new TF_Log(settings);
    window->show();
    app.processEvents();
    const QString first = window->model()->field(0, "MailerNum");
    const double opened = ms(start);
    report("first rows shown", opened,
           sqliteTool(file, "select count(*) from Log37; select * from Log37 order by DATETIME, LID limit 256"));

    // 2. Set Filter: the rows whose To columns contain "Boston" and are not batch rows.
    LogModel& model = *window->model();
    const QString where = logfilter::whereClause({{"4", "=", "Boston"}, {"16", "=", "False"}}, "AND");
    start = Clock::now();
    model.setWhere(where);
    model.field(0, "LID");
    const double filtered = ms(start);
    report("Set Filter", filtered,
           sqliteTool(file, "select count(*) from Log37 where (" + where + "); select * from Log37 where (" + where +
                                ") order by DATETIME, LID limit 256"));
    const int filteredRows = model.rowCount();

    // 3. Find by name from the first row of the whole log.
    model.setWhere(QString());
    const QString name = logmailers::nameCondition("Zed Last");
    start = Clock::now();
    const auto found = model.findRow(0, name, false);
    const double find = ms(start);
    const QString key = "(ifnull(DateTime, ''), LID)";
    report("Find by name", find,
           sqliteTool(file, "select ifnull(DateTime, ''), LID from Log37 where (" + name + ") and (" + key +
                                " > ('', 0)) order by ifnull(DateTime, ''), LID limit 1; select count(*) from Log37 "
                                "where DateTime is null; select count(*) from Log37 where DateTime < '2999'"));

    // 4. Scrolling: the last row, then 200 pages spread over the log.
    start = Clock::now();
    model.field(rows - 1, "LID");
    const double last = ms(start);
    report("last row", last,
           sqliteTool(file, QString("select * from Log37 order by DATETIME, LID limit 256 offset %1")
                                .arg((rows - 1) / LogModel::PageSize * LogModel::PageSize)));
    start = Clock::now();
    for (int i = 0; i < 200; ++i)
        model.field(int((qint64(i) * 7907 * LogModel::PageSize) % rows), "LID");
    std::printf("%-34s %8.1f ms a page\n", "pages anywhere in the log", ms(start) / 200);
    window->gridLog->scrollToBottom();
    app.processEvents();

    // 5. A keystroke in the search box: the time to the first rows painted, the longest the
    // window is held at one turn of the event loop, and the time to the whole result. The last
    // letter of a name most rows hold; of a number one row holds, early in the date order; of a
    // name only the newest row holds, so the whole log is read before it shows.
    struct Typed {
        double first = -1, longest = 0, complete = 0;
        int rows = 0;
    };
    const QString probe = "select count(*), ifnull(sum(kept), 0) from (select %1 as kept from Log37 where LID <= %2 "
                          "order by DateTime asc, LID asc limit %3)";
    auto keystroke = [&](const QString& text) {
        window->editSearch->setText(text.chopped(1));
        while (window->searchPending())
            app.processEvents();
        Typed t;
        // The rows of the text before the key stay until its search starts.
        bool began = false;
        const auto watch = QObject::connect(window->model(), &QAbstractItemModel::modelReset, [&began] { began = true; });
        const auto at = Clock::now();
        QTest::keyClick(window->editSearch, text.back().toLatin1());
        while (window->searchPending() || t.first < 0) {
            const auto turn = Clock::now();
            app.processEvents();
            if (t.first < 0 && began && (window->model()->rowCount() > 0 || !window->searchPending())) {
                window->gridLog->viewport()->repaint();
                t.first = ms(at);
            }
            t.longest = std::max(t.longest, ms(turn));
        }
        t.complete = ms(at);
        t.rows = window->model()->rowCount();
        QObject::disconnect(watch);
        return t;
    };
    const QString many = logfilter::searchCondition("Addressee 1");
    const Typed manyKey = keystroke("Addressee 1");
    report("keystroke, most rows match", manyKey.first,
           sqliteTool(file, probe.arg(many).arg(rows).arg(LogModel::ProbeRows) + "; select * from Log37 where " + many +
                                " order by DateTime, LID limit 256"));
    auto rare = [&](const char* what, const QString& text) {
        const QString condition = logfilter::searchCondition(text);
        const Typed t = keystroke(text);
        const double walked = sqliteTool(file, "select LID from Log37 where " + condition + " order by DateTime, LID");
        const double straight = sqliteTool(file, "select LID from Log37 where " + condition + " order by +DateTime, LID");
        std::printf("keystroke, %s (%d rows):\n", what, t.rows);
        std::printf("  %-32s %8.1f ms\n", "first row shown", t.first);
        std::printf("  %-32s %8.1f ms\n", "window held at most (one turn)", t.longest);
        std::printf("  %-32s %8.1f ms   sqlite3 tool: %8.1f ms along the date index, %8.1f ms straight "
                    "through the table\n",
                    "whole result", t.complete, walked, straight);
    };
    // Read in the window's date order before any search.
    window->editSearch->clear();
    while (window->searchPending())
        app.processEvents();
    const QString early = window->model()->field(rows / 200, "MailerNum");
    rare("one number, early in date order", early);
    rare("one name, the newest row", "Zed Last");
    std::printf("%-34s %8d rows; %d\n", "  rows shown", window->model()->rowCount(), window->model()->totalRows());
    window->editSearch->clear();
    while (window->searchPending())
        app.processEvents();

    // 6. A click on the To heading: the whole log by recipient.
    QHeaderView* header = window->gridLog->horizontalHeader();
    const auto clickAt = Clock::now();
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                      QPoint(header->sectionViewportPosition(2) + header->sectionSize(2) / 2, header->height() / 2));
    window->gridLog->viewport()->repaint();
    app.processEvents();
    const double sorted = ms(clickAt);
    report("sort by recipient", sorted,
           sqliteTool(file,
                      "select LID from Log37 order by ToAddress1 asc, LID asc; select * from Log37 where LID in (1)"));
    const auto lastSorted = Clock::now();
    window->gridLog->scrollToBottom();
    window->gridLog->viewport()->repaint();
    app.processEvents();
    std::printf("%-34s %8.1f ms\n", "  then the last rows", ms(lastSorted));
    const long sortedPeak = peakKiB();

    // 7. A week of mailers exported for the bookkeeper.
    const LogRowSelection week{folder, logfilter::dateRangeCondition(QDate(2020, 3, 2), QDate(2020, 3, 8)),
                               "DateTime asc, LID asc"};
    const auto exportAt = Clock::now();
    const qint64 exported = logcsv::exportRows(week, folder + "/week.csv");
    report("week to spreadsheet file", ms(exportAt),
           sqliteTool(file, ".headers on\n.mode csv\n.once " + folder + "/week-tool.csv\n" + week.sql()));
    std::printf("%-34s %8lld rows\n", "  rows exported", static_cast<long long>(exported));
    std::printf("peak memory after sorting the whole log: %.1f MB\n", sortedPeak / 1024.0);

    std::printf("first row %s; %d rows under the filter; found at row %d of %d\n", qPrintable(first), filteredRows,
                found.value_or(-1), rows);
    std::printf("peak memory: %.1f MB\n", peakKiB() / 1024.0);
    delete window;
    return 0;
}
