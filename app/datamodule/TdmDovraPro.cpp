#include "app/datamodule/TdmDovraPro.h"
#include "app/datamodule/Schemas.h"
#include "engine/MultiTableWrite.h"

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

} // namespace

void TdmDovraPro::CreateTable(const QString& folder, const QString& tableName, const QString& definition)
{
    const std::string dir = toStd(folder);
    const std::string name = toStd(tableName);
    // Indexes and the counter's seed row are part of the new file, so the table appears
    // whole or not at all.
    std::vector<engine::IndexDef> indexes;
    std::vector<std::string> seed;
    if (tableName == "MailerNum")
        seed.push_back("INSERT INTO MailerNum (CustID, SerialNum, Increment, BarCodes) VALUES (" +
                       std::string(kCounterSeedValues) + ")");
    else if (tableName == "Groups")
        indexes.push_back({"Group_Name", "Group_Name", true, true});
    else if (tableName == "Members")
        indexes.push_back({"ID", "A_ID;G_ID", true, false});
    engine::createTable(dir, name, toStd(definition), indexes, seed);
    if (tableName == "Log37") {
        createCompanion(dir, "LogFilters", schema::LogFilters, {{"FilterName", "FilterName", true, false}});
        createCompanion(dir, "LogFiltersDetail", schema::LogFiltersDetail);
        createCompanion(dir, "Reports", schema::Reports, {{"ReportName", "ReportName", true, false}});
        createCompanion(dir, "Report_Detail", schema::Report_Detail);
    }
}

bool TdmDovraPro::EnsureTable(const QString& folder, const QString& tableName, const QString& definition)
{
    switch (engine::tableFileState(toStd(folder), toStd(tableName))) {
    case engine::TableFileState::Present:
        if (tableName == "MailerNum" && counterRowMissing(toStd(folder))) {
            // A counter file left without its row by a crash gets the row a new one has.
            engine::MultiTableWrite write({{toStd(folder), "MailerNum"}});
            const int added = write.run("INSERT INTO MailerNum (CustID, SerialNum, Increment, BarCodes) SELECT " +
                                        std::string(kCounterSeedValues) + " WHERE NOT EXISTS (SELECT 1 FROM MailerNum)");
            write.commit();
            return added > 0;
        }
        return false;
    case engine::TableFileState::Damaged:
        throw engine::EngineError("The table " + engine::tableFile(toStd(folder), toStd(tableName)) +
                                  " is damaged or is not a table file of this program. It has been left as it is; "
                                  "restore it from a backup copy or move it away.");
    default:
        CreateTable(folder, tableName, definition);
        return true;
    }
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
