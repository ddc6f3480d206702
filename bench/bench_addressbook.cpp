// The address book at office scale: an address database of 100,000 addresses and 500
// groups opened in the real main window, a Find that wraps past every address, a click on a
// group of 10,000 members, keystrokes in the search box above the list, and the memory it
// all takes; each time beside the sqlite3 tool running the same queries on the same files.
// The search is also timed as it would run through SQL (a LIKE per word on every line,
// rows read back for the list), the way not taken. In the same run, the same database is
// moved to a throwaway PostgreSQL server (as Move to Server moves it) and opened, searched
// and clicked there, beside psql running the same queries.
#include "addressbook/AddressBookPanel.h"
#include "addressbook/AddressListModel.h"
#include "app/TF_Main.h"
#include "core/SearchText.h"
#include "core/datamodule/MoveAddressDatabases.h"
#include "core/datamodule/TdmDovraPro.h"
#include "engine/Query.h"
#include "engine/Server.h"
#include "tests/support/PgCluster.h"
#include "tests/support/TestSupport.h"
#include "widgets/ButtonDialog.h"
#include "widgets/Services.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListView>
#include <QTreeWidget>
#include <QtTest>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <vector>

using Clock = std::chrono::steady_clock;

namespace {

double msSince(Clock::time_point since)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - since).count();
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

int envInt(const char* name, int fallback)
{
    const char* v = std::getenv(name);
    return v ? std::atoi(v) : fallback;
}

// Peak and current resident memory of this process, in MB.
std::pair<double, double> memoryMb()
{
    QFile status("/proc/self/status");
    status.open(QIODevice::ReadOnly);
    double peak = 0, now = 0;
    for (const QByteArray& line : status.readAll().split('\n')) {
        const auto kb = [&] { return line.simplified().split(' ').value(1).toDouble() / 1024; };
        if (line.startsWith("VmHWM:"))
            peak = kb();
        else if (line.startsWith("VmRSS:"))
            now = kb();
    }
    return {peak, now};
}

void run(const QString& folder, const std::string& sql)
{
    engine::Query q;
    q.setFolder(folder.toStdString());
    q.setSql(sql);
    q.execSql();
}

// The database: addresses with four lines, city, state and ZIP; 50 top-level groups and 450
// under earlier ones; group 1 holds every tenth address, and every address is in two more.
void fill(const QString& folder, int addresses, int groups)
{
    createAddressDatabaseTables(folder);
    const std::string n = std::to_string(addresses);
    run(folder, "with recursive n(i) as (select 1 union all select i + 1 from n where i < " + n +
                    ") insert into Address (Address1, Address2, Address3, Address4, City, State, Zip) "
                    "select 'Customer ' || i, i || ' Main Street', 'Suite ' || (i % 300), "
                    "case when i % 7 = 0 then 'Attn: José Núñez ' || (i % 50) else '' end, "
                    "'City ' || (i % 997), 'PA', printf('%05d', 10000 + i % 89999) from n");
    run(folder, "with recursive n(i) as (select 1 union all select i + 1 from n where i < " + std::to_string(groups) +
                    ") insert into Groups (Parent_ID, Group_Name) select case when i <= 50 then -1 else "
                    "1 + (i * 37) % (i - 1) end, 'Group ' || i from n");
    run(folder, "insert into Members (A_ID, G_ID) select A_ID, 1 from Address where A_ID % 10 = 0");
    run(folder, "insert into Members (A_ID, G_ID) select A_ID, 2 + A_ID % 250 from Address");
    run(folder, "insert into Members (A_ID, G_ID) select A_ID, 252 + A_ID % 249 from Address");
}

// The sqlite3 tool running a script on the Address file with the other tables attached.
double toolMs(const QString& folder, const std::string& statements)
{
    const std::string script = (folder + "/bench.sql").toStdString();
    {
        std::ofstream out(script);
        out << "attach '" << (folder + "/Groups.adt").toStdString() << "' as Groups;\n"
            << "attach '" << (folder + "/Members.adt").toStdString() << "' as Members;\n"
            << statements << "\n";
    }
    const std::string cmd = "sqlite3 '" + (folder + "/Address.adt").toStdString() + "' < '" + script + "' > /dev/null";
    const auto start = Clock::now();
    if (std::system(cmd.c_str()) != 0)
        std::fprintf(stderr, "sqlite3 tool failed: %s\n", cmd.c_str());
    return msSince(start);
}

void report(const char* what, const std::vector<double>& ours, const std::vector<double>& tool, double goalMs,
            const char* toolName = "sqlite3 tool")
{
    const double o = median(ours), t = median(tool);
    std::printf("%-34s %8.1f ms (goal %5.0f)   %s: %8.1f ms   ratio %.2f\n", what, o, goalMs, toolName, t, o / t);
}

// The search's words as SQL: each word somewhere in the seven lines. LIKE ignores the case of
// ASCII letters only; accents would need a function of the program's own, which the sqlite3
// tool does not have.
std::string searchSql(const QStringList& words)
{
    std::string sql = "select * from Address";
    for (int i = 0; i < words.size(); ++i)
        sql += std::string(i ? " and " : " where ") +
               "(Address1 || ' ' || Address2 || ' ' || Address3 || ' ' || Address4 || ' ' || City || ' ' || State || "
               "' ' || Zip) like '%" +
               words[i].toStdString() + "%'";
    return sql + " order by A_ID";
}

// The rows of the search read through the program's engine, as a list filled by SQL would.
std::vector<TAddressRec> searchBySql(const QString& folder, const QStringList& words)
{
    engine::Query q;
    q.setFolder(folder.toStdString());
    q.setSql(searchSql(words));
    q.open();
    std::vector<TAddressRec> rows;
    for (; !q.eof(); q.next())
        rows.push_back(addressRecOf(q));
    return rows;
}

struct Keystrokes {
    std::vector<double> each; // every keystroke of every round
    std::vector<double> sql, tool;
};

// Types the text into the real search box key by key, each timed until the list is painted;
// then Esc. Each prefix is also run as SQL through the engine and by the sqlite3 tool.
void typeSearch(TAddressBookPanel& panel, const QString& folder, const QString& text, Keystrokes& k, bool sqlToo)
{
    QLineEdit* box = panel.editSearchAddress;
    box->setFocus();
    for (int i = 0; i < text.size(); ++i) {
        auto start = Clock::now();
        QTest::keyClick(box, text[i].toLatin1());
        QApplication::processEvents();
        panel.lvAddress->viewport()->repaint();
        k.each.push_back(msSince(start));
        if (std::getenv("BENCH_VERBOSE"))
            std::fprintf(stderr, "%-16s %7.1f ms  %d shown\n", qPrintable(text.left(i + 1)), k.each.back(),
                         panel.addressModel()->rowCount());
        if (!sqlToo || text[i] == u' ')
            continue;
        const QStringList words = text.left(i + 1).split(u' ', Qt::SkipEmptyParts);
        start = Clock::now();
        const size_t n = searchBySql(folder, words).size();
        k.sql.push_back(msSince(start));
        if (static_cast<int>(n) != panel.addressModel()->rowCount())
            std::fprintf(stderr, "\"%s\": SQL finds %zu, the list shows %d\n", qPrintable(text.left(i + 1)), n,
                         panel.addressModel()->rowCount());
        k.tool.push_back(toolMs(folder, searchSql(words) + ";"));
    }
    auto start = Clock::now();
    QTest::keyClick(box, Qt::Key_Escape);
    QApplication::processEvents();
    panel.lvAddress->viewport()->repaint();
    k.each.push_back(msSince(start));
}

struct Rounds {
    std::vector<double> open, openTool, find, findTool, click, clickTool;
};

// Opens the database in the window, finds a text that is nowhere and clicks group 1, each
// round; tool runs the same queries with the database's own client.
Rounds measure(TF_Main& w, const QString& location, int addresses, int rounds,
               const std::function<double(const std::string&)>& tool)
{
    TAddressBookPanel& panel = *w.panelDB;
    Rounds m;
    for (int r = 0; r < rounds; ++r) {
        w.CloseAddressDatabase();
        QApplication::processEvents();
        w.settings.addressDB = location;
        auto start = Clock::now();
        w.OpenAddressDatabase();
        QApplication::processEvents(); // the list and the tree painted
        m.open.push_back(msSince(start));
        m.openTool.push_back(tool("select * from Groups order by G_ID;\nselect * from Address order by A_ID;"));

        // A text that is nowhere: the search passes every address and wraps to the selected one.
        panel.selectOnlyAddress(0);
        rememberedSearchText = "no such text";
        start = Clock::now();
        panel.FindNextAddress();
        m.find.push_back(msSince(start));
        std::string where;
        for (const char* field : {"Address1", "Address2", "Address3", "Address4", "City", "State", "Zip"})
            where += std::string(where.empty() ? "" : " or ") + "upper(" + field + ") like '%NO SUCH TEXT%'";
        m.findTool.push_back(tool("select A_ID from Address where " + where + ";"));

        QTreeWidgetItem* item = panel.groupItem(panel.groupTree().findGroupNode(1));
        const QPoint at = panel.tvGroups->visualItemRect(item).center();
        start = Clock::now();
        QTest::mouseClick(panel.tvGroups->viewport(), Qt::LeftButton, {}, at);
        QApplication::processEvents();
        m.click.push_back(msSince(start));
        if (panel.addressModel()->rowCount() != addresses / 10)
            std::fprintf(stderr, "group 1 lists %d addresses\n", panel.addressModel()->rowCount());
        m.clickTool.push_back(tool("select A.*  from Address A, Members M where M.G_ID = 1 and "
                                   "A.A_ID = M.A_ID order by A.A_ID;"));
    }
    return m;
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("DOVRA_SPLASH_MS", "0");
    QApplication app(argc, argv);
    const int addresses = envInt("BENCH_ADDRESSES", 100000);
    const int groups = envInt("BENCH_GROUPS", 500);
    const int rounds = envInt("BENCH_ROUNDS", 3);

    testsupport::TempProgramFolder home;
    testsupport::prepareReadyProgramFolder(home.path());
    MessageService::setScripted(true);
    ButtonDialogService::setScripted(true);
    TdmDovraPro dm;
    const QString folder = home.path() + "/Addresses/Big";
    QDir().mkpath(folder);
    fill(folder, addresses, groups);
    const auto [peakBefore, rssBefore] = memoryMb();

    TF_Main w;
    w.show();
    QTest::qWaitFor([&] { return !w.firstShowingPending(); });
    QTest::qWait(100);
    TAddressBookPanel& panel = *w.panelDB;

    const Rounds local =
        measure(w, folder, addresses, rounds, [&folder](const std::string& sql) { return toolMs(folder, sql); });
    const auto [peak, rss] = memoryMb();

    // Keystrokes in the search box with every address listed: a name typed letter by letter
    // (the first letters keep nearly every address), words in another order, a text that is
    // nowhere, each ended by Esc. The box folds the addresses when it takes the keyboard.
    w.CloseAddressDatabase();
    w.settings.addressDB = folder;
    w.OpenAddressDatabase();
    QApplication::processEvents();
    QApplication::setActiveWindow(&w);
    auto start = Clock::now();
    panel.editSearchAddress->setFocus();
    QApplication::processEvents();
    const double focusMs = msSince(start);
    if (!panel.editSearchAddress->hasFocus())
        std::fprintf(stderr, "the search box did not take the keyboard\n");
    Keystrokes keys;
    for (int r = 0; r < rounds; ++r) {
        typeSearch(panel, folder, "customer 4242", keys, r == 0);
        typeSearch(panel, folder, "suite 17 main 1", keys, r == 0);
        typeSearch(panel, folder, "zzz", keys, r == 0);
    }
    const auto [searchPeak, searchRss] = memoryMb();
    std::printf("address database: %d addresses, %d groups, %d rounds (medians)\n", addresses, groups, rounds);
    report("open (list and tree shown)", local.open, local.openTool, 1000);
    report("Find wrapping past every address", local.find, local.findTool, 200);
    report("click a group of 10,000 members", local.click, local.clickTool, 300);
    std::printf("%-34s %8.1f ms\n", "search box takes the keyboard", focusMs);
    report("search keystroke (median)", keys.each, keys.tool, 100);
    std::printf("%-34s %8.1f ms (goal %5.0f)   same search by SQL in the program: median %.1f ms, max %.1f ms\n",
                "search keystroke (slowest)", *std::max_element(keys.each.begin(), keys.each.end()), 100.0,
                median(keys.sql), *std::max_element(keys.sql.begin(), keys.sql.end()));
    std::printf("memory after the search (and its SQL comparison): peak %.0f MB, now %.0f MB\n", searchPeak, searchRss);
    std::printf("memory: peak %.0f MB (goal 150), now %.0f MB; before the window: peak %.0f MB\n", peak, rss,
                peakBefore);

    // The same database on a server: moved there as Move to Server moves it, then the same
    // rounds, beside psql running the same queries (a process started each time, as the
    // sqlite3 tool is).
    w.CloseAddressDatabase();
    testsupport::PgCluster cluster(true);
    const QString office = cluster.newDatabase();
    start = Clock::now();
    const auto moved = MoveAddressDatabasesToServer({folder}, office);
    const double moveMs = msSince(start);
    const QString onServer = moved.front().location;
    const engine::ServerParams params = engine::serverParamsOf(office.toStdString());
    const std::string schemaName = engine::serverSchemaOf(onServer.toStdString());
    const auto psqlMs = [&](const std::string& sql) {
        const auto begun = Clock::now();
        cluster.runTool("psql", {"-X", "-q", "-h", "127.0.0.1", "-p", QString::number(params.port), "-U", "postgres",
                                 "-d", QString::fromStdString(params.database), "-o", "/dev/null", "-c",
                                 QString::fromStdString("set search_path = " + schemaName + "; " + sql)});
        return msSince(begun);
    };
    const Rounds server = measure(w, onServer, addresses, rounds, psqlMs);
    std::printf("\nthe same database on a PostgreSQL server (moved there in %.0f ms: %lld addresses, %lld groups, "
                "%lld memberships), the tool is psql:\n",
                moveMs, moved.front().addresses, moved.front().groups, moved.front().members);
    report("open (list and tree shown)", server.open, server.openTool, 1000, "psql");
    report("Find wrapping past every address", server.find, server.findTool, 200, "psql");
    report("click a group of 10,000 members", server.click, server.clickTool, 300, "psql");
    std::printf("\nside by side (medians):\n");
    const auto side = [](const char* what, const std::vector<double>& f, const std::vector<double>& s) {
        std::printf("%-34s folder %8.1f ms   server %8.1f ms   server/folder %.2f\n", what, median(f), median(s),
                    median(s) / median(f));
    };
    side("open", local.open, server.open);
    side("Find", local.find, server.find);
    side("click a group of 10,000", local.click, server.click);
    w.close();
    return 0;
}
