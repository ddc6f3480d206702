#include "app/datamodule/TdmDovraPro.h"
#include "app/datamodule/Schemas.h"

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

void TdmDovraPro::CreateTable(const QString& folder, const QString& tableName, const QString& definition)
{
    const std::string dir = toStd(folder);
    const std::string name = toStd(tableName);
    engine::createTable(dir, name, toStd(definition));
    if (tableName == "MailerNum") {
        engine::Table t;
        t.setFolder(dir);
        t.setTableName(name);
        t.open();
        t.append();
        t.setText("CustID", "000000000");
        t.setText("SerialNum", "0000000");
        t.setBoolean("Increment", true);
        t.setBoolean("BarCodes", true);
        t.post();
        t.close();
    } else if (tableName == "Groups") {
        engine::addIndex(dir, name, "Group_Name", "Group_Name", true, true);
    } else if (tableName == "Members") {
        engine::addIndex(dir, name, "ID", "A_ID;G_ID", true, false);
    } else if (tableName == "Log37") {
        engine::createTable(dir, "LogFilters", schema::LogFilters);
        engine::addIndex(dir, "LogFilters", "FilterName", "FilterName", true, false);
        engine::createTable(dir, "LogFiltersDetail", schema::LogFiltersDetail);
        engine::createTable(dir, "Reports", schema::Reports);
        engine::addIndex(dir, "Reports", "ReportName", "ReportName", true, false);
        engine::createTable(dir, "Report_Detail", schema::Report_Detail);
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
