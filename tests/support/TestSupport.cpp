#include "tests/support/TestSupport.h"
#include "app/datamodule/Schemas.h"
#include "engine/Engine.h"
#include "engine/Query.h"
#include "engine/Table.h"

#include <QDir>
#include <QFile>

namespace testsupport {

TempProgramFolder::TempProgramFolder()
{
    previous_ = qgetenv("DOVRA_HOME");
    qputenv("DOVRA_HOME", dir_.path().toUtf8());
}

TempProgramFolder::~TempProgramFolder()
{
    if (previous_.isEmpty())
        qunsetenv("DOVRA_HOME");
    else
        qputenv("DOVRA_HOME", previous_);
}

void prepareReadyProgramFolder(const QString& programFolder, const QString& customerId)
{
    const std::string root = programFolder.toStdString();
    const std::string addresses = root + "/Addresses";
    QDir().mkpath(QString::fromStdString(addresses));
    if (!engine::tableExists(addresses, "YourAddress"))
        engine::createTable(addresses, "YourAddress", schema::YourAddress);
    engine::Query q;
    q.setFolder(addresses);
    q.setSql("insert into YourAddress (Address1, Address2, City, State, Zip) values('Law Office of Ann Lee', "
             "'100 Main St', 'Springfield', 'IL', '62701')");
    q.execSql();
    if (!engine::tableExists(root, "MailerNum")) {
        engine::createTable(root, "MailerNum", schema::MailerNum);
        q.setFolder(root);
        q.setSql("insert into MailerNum (CustID, SerialNum, Increment, BarCodes) values('000000000', '0000000', "
                 "True, True)");
        q.execSql();
    }
    q.setFolder(root);
    q.setSql("update MailerNum set CustID = " + engine::quoted(customerId.toStdString()));
    q.execSql();
    QFile ini(programFolder + "/dovra3.ini");
    ini.open(QIODevice::WriteOnly | QIODevice::Append);
    ini.write("[YourAddress]\r\nID=1\r\n[Type]\r\nBarCodeApp=0\r\n");
}

CounterRow readRow(const QString& folder)
{
    engine::Table t;
    t.setFolder(folder.toStdString());
    t.setTableName("MailerNum");
    t.open();
    return {QString::fromStdString(t.asString("CustID")), QString::fromStdString(t.asString("SerialNum")),
            t.asBoolean("Increment"), t.asBoolean("BarCodes")};
}

void writeRow(const QString& folder, const CounterRow& row)
{
    engine::Table t;
    t.setFolder(folder.toStdString());
    t.setTableName("MailerNum");
    t.open();
    t.edit();
    t.setText("CustID", row.custId.toStdString());
    t.setText("SerialNum", row.serialNum.toStdString());
    t.setBoolean("Increment", row.increment);
    t.setBoolean("BarCodes", row.barCodes);
    t.post();
}

bool counterIsFree(const QString& folder)
{
    const int wait = engine::lockWaitMs();
    engine::setLockWaitMs(0);
    engine::Table t;
    t.setFolder(folder.toStdString());
    t.setTableName("MailerNum");
    t.setExclusive(true);
    bool free = true;
    try {
        t.open();
    } catch (const engine::EngineError&) {
        free = false;
    }
    engine::setLockWaitMs(wait);
    return free;
}

QString binDir() { return QStringLiteral(DOVRA_TEST_BIN_DIR); }
QString sourceDir() { return QStringLiteral(DOVRA_TEST_SOURCE_DIR); }

} // namespace testsupport
