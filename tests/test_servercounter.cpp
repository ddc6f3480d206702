// The shared tables on a database server: made on an empty database in one transaction, and
// each Mailer Number taken in one server transaction, never twice, however many
// workstations take numbers at once.
#include "app/datamodule/ServerTables.h"
#include "engine/Query.h"
#include "engine/Server.h"
#include "printing/MailerNumber.h"
#include "tests/support/PgCluster.h"

#include <QtTest>
#include <atomic>
#include <memory>
#include <thread>

using namespace engine;

namespace {

std::string scalar(const std::string& where, const std::string& sql)
{
    Query q;
    q.setFolder(where);
    q.setSql(sql);
    q.open();
    return q.eof() ? std::string() : q.asString(0);
}

void run(const std::string& where, const std::string& sql)
{
    Query q;
    q.setFolder(where);
    q.setSql(sql);
    q.execSql();
}

const std::vector<std::pair<std::string, Value>> kRecipient{
    {"ToAddress1", std::string("Jane Roe")}, {"ToCity", std::string("Dover")}, {"Result", std::string("None")}};

} // namespace

class TestServerCounter : public QObject {
    Q_OBJECT

    std::unique_ptr<testsupport::PgCluster> cluster_;

    // A database with the tables made and the counter given a Customer ID.
    std::string readyDatabase(const QString& serial = "0000001")
    {
        const std::string where = cluster_->newDatabase().toStdString();
        if (!CreateServerTables(QString::fromStdString(where)))
            throw std::runtime_error("tables not made");
        run(where, "update MailerNum set CustID = '123456789', SerialNum = '" + serial.toStdString() + "'");
        return where;
    }

private slots:
    void initTestCase()
    {
        try {
            cluster_ = std::make_unique<testsupport::PgCluster>();
        } catch (const std::exception& e) {
            QFAIL(e.what());
        }
    }
    void cleanupTestCase() { cluster_.reset(); }

    void tablesAreMadeOnAnEmptyDatabaseInOneTransaction()
    {
        const QString where = cluster_->newDatabase();
        const std::string w = where.toStdString();
        QCOMPARE(serverSchemaVersion(w), 0);
        QVERIFY(CreateServerTables(where));
        QCOMPARE(serverSchemaVersion(w), ServerTablesVersion);
        for (const auto& table : ServerTableDefs())
            QVERIFY2(tableExists(w, table.name), table.name.c_str());
        QVERIFY(hasIndex(w, "Log37", "LogMailerNumber"));
        QCOMPARE(scalar(w, "select SerialNum from MailerNum"), std::string("0000000"));
        // Made once: a second workstation finds them and changes nothing.
        QVERIFY(!CreateServerTables(where));
        QCOMPARE(scalar(w, "select count(*) from MailerNum"), std::string("1"));

        // A database that holds a table of that name already is left as it was, whole.
        const QString other = cluster_->newDatabase();
        runOnServer(other.toStdString(), "CREATE TABLE log37 (x integer)");
        QVERIFY_THROWS_EXCEPTION(EngineError, CreateServerTables(other));
        QCOMPARE(serverSchemaVersion(other.toStdString()), 0);
        QVERIFY(!tableExists(other.toStdString(), "MailerNum"));
    }

    void aNumberIsTakenInOneTransaction()
    {
        const std::string where = readyDatabase("0000041");
        const TServerNumber taken = TakeServerNumber(QString::fromStdString(where), kRecipient);
        QVERIFY(taken.refusal.isEmpty());
        QCOMPARE(taken.serial, QString("0000041"));
        QCOMPARE(taken.mailerNumber, BuildMailerNumber("123456789", "0000041", "T"));
        QCOMPARE(scalar(where, "select SerialNum from MailerNum"), std::string("0000042"));
        Query q;
        q.setFolder(where);
        q.setSql("select LID, MailerNum, CustID, SerialNum, ToAddress1, Batch from Log37");
        q.open();
        QCOMPARE(q.asInteger("LID"), taken.logId);
        QCOMPARE(QString::fromStdString(q.asString("MailerNum")), GroupMailerNumber(taken.mailerNumber));
        QCOMPARE(q.asString("CustID"), std::string("123456789"));
        QCOMPARE(q.asInteger("SerialNum"), 41);
        QCOMPARE(q.asString("ToAddress1"), std::string("Jane Roe"));
        QCOMPARE(q.asString("Batch"), std::string("False"));
    }

    void aCounterThatCannotNumberIsRefused()
    {
        const std::string where = cluster_->newDatabase().toStdString();
        QVERIFY(CreateServerTables(QString::fromStdString(where)));
        // The seed row: bar codes on, no Customer ID.
        QVERIFY(!TakeServerNumber(QString::fromStdString(where), kRecipient).refusal.isEmpty());
        run(where, "update MailerNum set CustID = '123456789', SerialNum = '12a'");
        QVERIFY(!TakeServerNumber(QString::fromStdString(where), kRecipient).refusal.isEmpty());
        QCOMPARE(scalar(where, "select count(*) from Log37"), std::string("0"));
        QCOMPARE(scalar(where, "select SerialNum from MailerNum"), std::string("12a"));
    }

    // Whatever a client does, the log holds no number twice: a counter set back to a used
    // serial is refused, and neither the counter nor the log changes.
    void aUsedNumberIsRefusedAndNothingChanges()
    {
        const std::string where = readyDatabase("0000005");
        TakeServerNumber(QString::fromStdString(where), kRecipient);
        run(where, "update MailerNum set SerialNum = '0000005'");
        QVERIFY_THROWS_EXCEPTION(UniqueKeyError, TakeServerNumber(QString::fromStdString(where), kRecipient));
        QCOMPARE(scalar(where, "select SerialNum from MailerNum"), std::string("0000005"));
        QCOMPARE(scalar(where, "select count(*) from Log37"), std::string("1"));
        QVERIFY_THROWS_EXCEPTION(UniqueKeyError,
                                 run(where, "insert into Log37 (CustID, SerialNum) values('123456789', 5)"));
    }

    // Workstations taking numbers at once, each with a connection of its own: every number
    // once, none lost, and the counter past them all.
    void concurrentWorkstationsNeverShareANumber()
    {
        constexpr int workstations = 8, takes = 500;
        const std::string where = readyDatabase("0000001");
        std::atomic<int> failures{0};
        std::string firstFailure;
        std::mutex failureMutex;
        std::vector<std::thread> threads;
        for (int w = 0; w < workstations; ++w)
            threads.emplace_back([&] {
                for (int i = 0; i < takes; ++i) {
                    try {
                        const auto taken = TakeServerNumber(QString::fromStdString(where), kRecipient);
                        if (!taken.refusal.isEmpty())
                            throw std::runtime_error(taken.refusal.toStdString());
                    } catch (const std::exception& e) {
                        std::lock_guard lock(failureMutex);
                        if (failures++ == 0)
                            firstFailure = e.what();
                    }
                }
                disconnectServers();
            });
        for (auto& t : threads)
            t.join();
        QVERIFY2(failures == 0, firstFailure.c_str());
        const int total = workstations * takes;
        QCOMPARE(scalar(where, "select count(*) from Log37"), std::to_string(total));
        QCOMPARE(scalar(where, "select count(*) from (select distinct CustID, SerialNum from Log37) d"),
                 std::to_string(total));
        QCOMPARE(scalar(where, "select count(*) from (select distinct MailerNum from Log37) d"), std::to_string(total));
        QCOMPARE(scalar(where, "select min(SerialNum) || '-' || max(SerialNum) from Log37"),
                 "1-" + std::to_string(total));
        QCOMPARE(scalar(where, "select SerialNum from MailerNum"),
                 QString::number(total + 1).rightJustified(7, '0').toStdString());
    }

    // A server restarted between two prints: the next take finds the connection cut while idle,
    // connects again and takes the next number, without the program being started again.
    void aRestartedServerIsUsedAgainAtOnce()
    {
        const std::string where = readyDatabase("0000001");
        TakeServerNumber(QString::fromStdString(where), kRecipient);
        cluster_->restart();
        const TServerNumber taken = TakeServerNumber(QString::fromStdString(where), kRecipient);
        QCOMPARE(taken.serial, QString("0000002"));
        QCOMPARE(scalar(where, "select count(*) from (select distinct SerialNum from Log37) d"), std::string("2"));
    }

    void aServerThatIsAwayIsNamed()
    {
        const std::string where = readyDatabase();
        const QString away = QString::fromStdString(where).replace(QString(":%1/").arg(cluster_->port()), ":1/");
        const std::string message = testServerConnection(away.toStdString());
        QVERIFY(QString::fromStdString(message).contains("127.0.0.1:1, database dovra_"));
        QVERIFY(testServerConnection(where).empty());
        QVERIFY_THROWS_EXCEPTION(EngineError, TakeServerNumber(away, kRecipient));
    }
};

QTEST_GUILESS_MAIN(TestServerCounter)
#include "test_servercounter.moc"
