#include "core/datamodule/TdmDovraPro.h"
#include "core/Settings.h"
#include "core/datamodule/MoveToServer.h"
#include "core/datamodule/Schemas.h"
#include "core/datamodule/ServerTables.h"
#include "engine/MultiTableWrite.h"
#include "engine/Query.h"
#include "engine/Server.h"
#include "engine/TableCopy.h"

#include <QFileInfo>

#include <cstdio>

TdmDovraPro* dmDovraPro = nullptr;

TdmDovraPro::TdmDovraPro()
{
    if (!dmDovraPro)
        dmDovraPro = this;
}

TdmDovraPro::~TdmDovraPro()
{
    if (dmDovraPro == this)
        dmDovraPro = nullptr;
}

namespace {

// What a counter moved to another folder leaves behind is renamed with this ending.
constexpr const char* kMovedSuffix = ".moved";

// The counter row of a new counter: no Customer ID yet, serial 0, counting up, bar codes on.
constexpr const char* kCounterSeedValues = "'000000000', '0000000', 1, 1";

bool counterRowMissing(const std::string& folder)
{
    engine::Table counter;
    counter.setFolder(folder);
    counter.setTableName("MailerNum");
    counter.open();
    return counter.eof();
}

// Builds a companion table unless a file holding it is already there.
void createCompanion(const std::string& folder, const std::string& table, const char* definition,
                     const std::vector<engine::IndexDef>& indexes = {})
{
    const auto state = engine::tableFileState(folder, table);
    if (state == engine::TableFileState::Missing || state == engine::TableFileState::Empty)
        engine::createTable(folder, table, definition, indexes);
}

// A Mailer Number this program prints is its Customer ID, nine digits as the counter holds
// it, and its serial: the log takes each only once. Rows brought in from the logs of earlier
// editions carry the Customer ID with dashes and keep whatever those logs held.
const engine::IndexDef kLogNumberIndex{"LogMailerNumber", "CustID;SerialNum", true, false,
                                       "length(CustID) = 9 AND SerialNum IS NOT NULL"};

std::int64_t highestLogKey(const std::string& folder)
{
    engine::Query q;
    q.setFolder(folder);
    q.setSql("select max(LID) as Last from Log37");
    q.open();
    const std::int64_t last = q.eof() ? 0 : q.asInteger("Last");
    q.close();
    return last;
}

// A log made before the log held its numbers gets the index now. Where it already holds a
// number twice, the index covers the rows logged from now on, and the old rows stay as they are.
void ensureLogNumberIndex(const std::string& folder)
{
    try {
        if (engine::hasIndex(folder, "Log37", kLogNumberIndex.name))
            return;
        try {
            engine::addIndex(folder, "Log37", kLogNumberIndex);
        } catch (const engine::UniqueKeyError&) {
            engine::IndexDef fromNowOn = kLogNumberIndex;
            fromNowOn.where += " AND LID > " + std::to_string(highestLogKey(folder));
            engine::addIndex(folder, "Log37", fromNowOn);
        }
    } catch (const engine::BusyError&) {
        // Another workstation is writing; the next start adds it.
    } catch (const engine::EngineError&) {
        // A log this user cannot write gets it from a user who can; printing is refused here anyway.
    }
}

std::string problemMessage(const std::string& file, const engine::TableCheck& check)
{
    switch (check.state) {
    case engine::TableFileState::NeedsRecovery:
        return "The table " + file +
               " holds a change that a program stopped in the middle of, and this user cannot write the file or "
               "its folder to undo it (" +
               check.cause + "). Start the program once as a user who may write there, and the change is undone.";
    case engine::TableFileState::Unreadable:
        return "The table " + file + " cannot be read (" + check.cause + "). It has been left as it is.";
    default:
        return "The table " + file + " is damaged or is not a table file of this program (" + check.cause +
               "). It has been left as it is, and the rows it holds are still in that file: restore it from a "
               "backup copy. Moved away, it would be replaced by a new empty table at the next start, with its "
               "rows kept only in the moved file.";
    }
}

} // namespace

std::vector<engine::IndexDef> TdmDovraPro::TableIndexes(const QString& tableName)
{
    if (tableName == "Groups")
        return {{"Group_Name", "Group_Name", true, true}};
    if (tableName == "Members")
        return {{"ID", "A_ID;G_ID", true, false}};
    if (tableName == "Log37")
        return {kLogNumberIndex};
    return {};
}

void TdmDovraPro::CreateTable(const QString& folder, const QString& tableName, const QString& definition)
{
    const std::string dir = toStd(folder);
    const std::string name = toStd(tableName);
    // Indexes and the counter's seed row are part of the new file, so the table appears
    // whole or not at all.
    const std::vector<engine::IndexDef> indexes = TableIndexes(tableName);
    std::vector<std::string> seed;
    if (tableName == "MailerNum")
        seed.push_back("INSERT INTO MailerNum (CustID, SerialNum, Increment, BarCodes) VALUES (" +
                       std::string(kCounterSeedValues) + ")");
    engine::createTable(dir, name, toStd(definition), indexes, seed);
    if (tableName == "Log37") {
        createCompanion(dir, "LogFilters", schema::LogFilters, {{"FilterName", "FilterName", true, false}});
        createCompanion(dir, "LogFiltersDetail", schema::LogFiltersDetail);
        createCompanion(dir, "Reports", schema::Reports, {{"ReportName", "ReportName", true, false}});
        createCompanion(dir, "Report_Detail", schema::Report_Detail);
    }
}

bool TdmDovraPro::PagesReadAtStart(const QString& folder, const QString& tableName)
{
    if (engine::isServerLocation(toStd(folder)))
        return true; // the server keeps its pages sound
    return QFileInfo(folder + "/" + tableName + ".adt").size() <= WholeCheckBytes;
}

bool TdmDovraPro::EnsureTable(const QString& folder, const QString& tableName, const QString& definition)
{
    const std::string dir = toStd(folder);
    const std::string name = toStd(tableName);
    // On a server the shared tables are made together, once, on an empty database.
    if (engine::isServerLocation(dir))
        return CreateServerTables(folder) && (tableName == "MailerNum" || tableName == "YourAddress");
    // A counter moved to a database server is used there only.
    if (tableName == "MailerNum")
        if (const QString moved = MovedToServerRefusal(folder); !moved.isEmpty())
            throw engine::EngineError(toStd(moved));
    engine::sweepUnfinishedTables(dir);
    // Every page is read: a damaged page found now refuses printing into the log, before a
    // number is taken, rather than after its row has gone where it cannot be read back.
    const engine::TableCheck check =
        engine::checkTableFile(dir, name, PagesReadAtStart(folder, tableName));
    switch (check.state) {
    case engine::TableFileState::Present:
        if (tableName == "Log37")
            ensureLogNumberIndex(dir);
        if (tableName == "MailerNum" && counterRowMissing(dir)) {
            // A counter file left without its row by a crash gets the row a new one has.
            engine::MultiTableWrite write({{dir, "MailerNum"}});
            const int added = write.run("INSERT INTO MailerNum (CustID, SerialNum, Increment, BarCodes) SELECT " +
                                        std::string(kCounterSeedValues) + " WHERE NOT EXISTS (SELECT 1 FROM MailerNum)");
            write.commit();
            return added > 0;
        }
        return false;
    case engine::TableFileState::Busy:
        // Another workstation holds it for the moment: it is there, and is judged at its next use.
        return false;
    case engine::TableFileState::Missing:
    case engine::TableFileState::Empty:
        if (tableName == "MailerNum" && QFileInfo::exists(folder + "/MailerNum.adt" + kMovedSuffix))
            throw engine::EngineError("The Mailer Number counter of " + dir +
                                      " has been moved to another folder (what is left of it here is "
                                      "MailerNum.adt" + kMovedSuffix +
                                      "), so no new counter is made in its place. Point Options, Network Settings "
                                      "at the folder it was moved to.");
        CreateTable(folder, tableName, definition);
        return true;
    default:
        throw engine::EngineError(problemMessage(engine::tableFile(dir, name), check));
    }
}

void TdmDovraPro::MoveTable(const QString& fromFolder, const QString& toFolder, const QString& tableName)
{
    const std::string from = toStd(fromFolder);
    const std::string to = toStd(toFolder);
    if (tableName != "MailerNum") {
        std::vector<std::string> tables{toStd(tableName)};
        if (tableName == "Log37")
            tables.insert(tables.end(), {"LogFilters", "LogFiltersDetail", "Reports", "Report_Detail"});
        for (const std::string& table : tables)
            if (engine::tableFileState(from, table) == engine::TableFileState::Present)
                engine::copyTable(from, table, to);
        return;
    }
    // The counter is held while its row is carried over and the old one put out of use, so that
    // no number is taken from it in between.
    engine::Table old;
    old.setFolder(from);
    old.setTableName("MailerNum");
    old.setExclusive(true);
    old.open();
    if (old.eof())
        throw engine::EngineError("The table " + old.fileName() + " holds no Mailer Number row");
    const std::string seed = "INSERT INTO MailerNum (CustID, SerialNum, Increment, BarCodes) VALUES (" +
                             engine::quoted(old.asString("CustID")) + ", " + engine::quoted(old.asString("SerialNum")) +
                             ", " + std::to_string(old.asBoolean("Increment") ? 1 : 0) + ", " +
                             std::to_string(old.asBoolean("BarCodes") ? 1 : 0) + ")";
    engine::createTable(to, "MailerNum", schema::MailerNum, {}, {seed});
    old.edit();
    old.setText("CustID", "000000000");
    old.setBoolean("BarCodes", true);
    old.post();
    // Let go first: a workstation that takes it now finds no Mailer ID there and prints nothing.
    old.close();
    const std::string file = old.fileName();
    if (std::rename(file.c_str(), (file + kMovedSuffix).c_str()) != 0)
        throw engine::EngineError("The counter has been copied to " + engine::tableFile(to, "MailerNum") +
                                  ", but " + file + " could not be renamed; it no longer holds a Mailer ID.");
}

void TdmDovraPro::CloseTables()
{
    adsqZipCodes.disconnect();
    adstToAddress.close();
    adsqToAddress.disconnect();
    adsqYourAddress.disconnect();
    adstMailerNum.close();
    adstMailerNum.setExclusive(false);
    adstLog.close();
    adsqLog.disconnect();
    adsqLog2.disconnect();
    AdsConnection1.disconnect();
}

LogTableSession::LogTableSession(const Settings& settings, const QString& filter) : table_(dmDovraPro->adstLog)
{
    table_.close();
    table_.setFolder(toStd(settings.logLocation()));
    table_.setTableName("Log37");
    table_.setFilter(toStd(filter));
    try {
        table_.open();
        // SQLite opens a write-protected file read-only and fails only at the first write.
        engine::requireWritable(table_.folder(), table_.tableName());
    } catch (...) {
        table_.close();
        table_.setFilter({});
        throw;
    }
}

LogTableSession::~LogTableSession()
{
    table_.close();
    table_.setFilter({});
}
