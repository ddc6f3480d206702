// The shared tables on a database server: made on an empty database in one transaction, and
// each Mailer Number taken in one server transaction, never twice, however many
// workstations take numbers at once.
#include "core/MailerNumber.h"
#include "core/NumberCounter.h"
#include "core/datamodule/ServerTables.h"
#include "engine/Query.h"
#include "engine/Server.h"
#include "engine/Table.h"
#include "tests/support/PgCluster.h"
#include "tests/support/TestSupport.h"

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

    // The server's function reads the counter as the print run does: every state gives the
    // number, the next serial and the refusal the program's own reading gives.
    void counterStatesAreNumberedAsTheProgramReadsThem_data()
    {
        QTest::addColumn<QString>("custId");
        QTest::addColumn<QString>("serial");
        QTest::addColumn<bool>("barCodes");
        QTest::addColumn<bool>("increment");
        QTest::addColumn<QString>("refusal");
        QTest::newRow("plain") << "123456789"
                               << "0000041" << true << true << "";
        QTest::newRow("dashes dropped") << "12-345-67"
                                        << "0000041" << true << true << "";
        QTest::newRow("short texts padded on the left") << "4711"
                                                        << "5" << true << true << "";
        QTest::newRow("serial field cut to seven") << "123456789"
                                                   << "12345678" << true << true << "";
        QTest::newRow("top serial wraps up") << "123456789"
                                             << "9999999" << true << true << "";
        QTest::newRow("bar codes off, counting down") << "123456789"
                                                      << "0000007" << false << false << "";
        QTest::newRow("bar codes off, zero wraps down") << "123456789"
                                                        << "0000000" << false << false << "";
        QTest::newRow("bar codes off, counting up") << "123456789"
                                                    << "0000007" << false << true << "";
        QTest::newRow("bar codes off, no Customer ID") << "000000000"
                                                       << "0000007" << false << false << "";
        QTest::newRow("bar codes off, letters for zeros") << "12a45"
                                                          << "0000007" << false << true << "";
        QTest::newRow("no Customer ID") << "000000000"
                                        << "0000041" << true << true << NoCustomerIdMessage;
        QTest::newRow("no Customer ID, older form") << "00-000-00"
                                                    << "0000041" << true << true << NoCustomerIdMessage;
        QTest::newRow("letters in the Customer ID") << "12a45"
                                                    << "0000041" << true << true << NoCustomerIdMessage;
        QTest::newRow("serial not a number") << "123456789"
                                             << "12a4567" << true << true << SerialNotANumberMessage("12a4567");
        QTest::newRow("serial with a sign") << "123456789"
                                            << "+000041" << true << true << SerialNotANumberMessage("+000041");
        QTest::newRow("no serial") << "123456789"
                                   << "" << true << true << SerialNotANumberMessage("");
    }
    void counterStatesAreNumberedAsTheProgramReadsThem()
    {
        QFETCH(QString, custId);
        QFETCH(QString, serial);
        QFETCH(bool, barCodes);
        QFETCH(bool, increment);
        QFETCH(QString, refusal);
        const std::string where = readyDatabase();
        run(where, "update MailerNum set CustID = " + engine::quoted(custId.toStdString()) + ", SerialNum = " +
                       engine::quoted(serial.toStdString()) + ", BarCodes = " + (barCodes ? "True" : "False") +
                       ", Increment = " + (increment ? "True" : "False"));
        const TServerNumber taken = TakeServerNumber(QString::fromStdString(where), kRecipient);
        QCOMPARE(taken.refusal, refusal);
        if (!refusal.isEmpty()) {
            QCOMPARE(scalar(where, "select count(*) from Log37"), std::string("0"));
            QCOMPARE(QString::fromStdString(scalar(where, "select SerialNum from MailerNum")), serial);
            return;
        }
        TNumberState state;
        state.CustomerId = custId;
        state.Serial = serial.left(7);
        state.BarCodes = barCodes;
        state.Increment = increment;
        QCOMPARE(taken.mailerNumber, MailerNumberOf(state));
        QCOMPARE(taken.serial, serial.left(7).rightJustified(7, '0'));
        QCOMPARE(taken.customerId, MailerCustomerId(custId));
        QCOMPARE(QString::fromStdString(scalar(where, "select SerialNum from MailerNum")),
                 AdvanceSerial(state.Serial, state.direction()));
        Query q;
        q.setFolder(where);
        q.setSql("select LID, MailerNum, CustID, SerialNum, Batch, DateTime, ToCity, Result from Log37");
        q.open();
        QCOMPARE(q.asInteger("LID"), taken.logId);
        QCOMPARE(QString::fromStdString(q.asString("MailerNum")), GroupMailerNumber(MailerNumberOf(state)));
        QCOMPARE(QString::fromStdString(q.asString("CustID")), custId);
        QCOMPARE(q.asInteger("SerialNum"), serial.left(7).toInt());
        QCOMPARE(q.asString("Batch"), std::string("False"));
        const QDateTime logged =
            QDateTime::fromString(QString::fromStdString(q.asString("DateTime")), "yyyy-MM-dd HH:mm:ss");
        QVERIFY2(qAbs(logged.secsTo(QDateTime::currentDateTime())) < 60, q.asString("DateTime").c_str());
        QCOMPARE(q.asString("ToCity"), std::string("Dover"));
        QCOMPARE(q.asString("Result"), std::string("None"));
    }

    // A counter a table handle holds (Options, Mailer Number; a batch run) is waited for as
    // long as a table file is, then the take is refused with nothing taken: from another
    // workstation, and from this one, whose own connection the server's lock would let pass.
    void aCounterHeldByATableHandleIsWaitedFor_data()
    {
        QTest::addColumn<bool>("sameThread");
        QTest::newRow("another workstation") << false;
        QTest::newRow("this workstation") << true;
    }
    void aCounterHeldByATableHandleIsWaitedFor()
    {
        QFETCH(bool, sameThread);
        const std::string where = readyDatabase("0000041");
        const testsupport::LockWait shortWait(200);
        std::atomic<bool> held{false}, done{false};
        std::thread holder;
        Table counter;
        if (sameThread) {
            counter.setFolder(where);
            counter.setTableName("MailerNum");
            counter.setExclusive(true);
            counter.open();
        } else {
            // Another workstation's table handle holds the server's lock of the counter.
            holder = std::thread([&] {
                runOnServer(where, "SELECT pg_advisory_lock(hashtext('dovra table mailernum'))");
                held = true;
                while (!done)
                    std::this_thread::sleep_for(std::chrono::milliseconds(5));
                disconnectServers();
            });
            while (!held)
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        const auto letGo = qScopeGuard([&] {
            done = true;
            if (holder.joinable())
                holder.join();
            counter.close();
        });
        QElapsedTimer waited;
        waited.start();
        QVERIFY_THROWS_EXCEPTION(BusyError, TakeServerNumber(QString::fromStdString(where), kRecipient));
        if (!sameThread)
            QVERIFY(waited.elapsed() >= 150);
        done = true;
        if (holder.joinable())
            holder.join();
        counter.close();
        QCOMPARE(scalar(where, "select count(*) from Log37"), std::string("0"));
        QCOMPARE(scalar(where, "select SerialNum from MailerNum"), std::string("0000041"));
        QCOMPARE(TakeServerNumber(QString::fromStdString(where), kRecipient).serial, QString("0000041"));
    }

    // Tables an earlier program made (version 1, without the functions that take a number in
    // one statement) are brought up to this version at the next start, whole and once, with
    // their rows; a step that fails leaves the database as it was.
    void tablesOfAnEarlierVersionAreUpgraded()
    {
        const auto madeByVersionOne = [&] {
            const std::string where = cluster_->newDatabase().toStdString();
            auto tables = ServerTableDefs();
            for (auto& table : tables)
                table.serverSql.clear();
            createServerTables(where, tables, 1);
            run(where, "update MailerNum set CustID = '123456789', SerialNum = '0000007'");
            run(where, "insert into Log37 (MailerNum, CustID, SerialNum, Batch) values ('9214 7123 4567 8900 0000 "
                       "68', '123456789', 6, False)");
            return where;
        };
        const std::string where = madeByVersionOne();
        QCOMPARE(serverSchemaVersion(where), 1);
        QVERIFY_THROWS_EXCEPTION(EngineError, TakeServerNumber(QString::fromStdString(where), kRecipient));
        // Workstations starting at the same moment: one upgrades, the others find it done.
        std::vector<std::thread> starts;
        std::atomic<int> failures{0};
        for (int i = 0; i < 4; ++i)
            starts.emplace_back([&] {
                try {
                    if (CreateServerTables(QString::fromStdString(where)))
                        ++failures; // the tables were there: nothing is to be made
                } catch (const std::exception&) {
                    ++failures;
                }
                disconnectServers();
            });
        for (auto& t : starts)
            t.join();
        QCOMPARE(failures.load(), 0);
        QCOMPARE(serverSchemaVersion(where), ServerTablesVersion);
        QCOMPARE(scalar(where, "select count(*) from dovra_schema"), std::string("2"));
        const TServerNumber taken = TakeServerNumber(QString::fromStdString(where), kRecipient);
        QCOMPARE(taken.serial, QString("0000007"));
        QCOMPARE(scalar(where, "select count(*) from Log37"), std::string("2"));
        QVERIFY(!CreateServerTables(QString::fromStdString(where)));
        QCOMPARE(scalar(where, "select count(*) from dovra_schema"), std::string("2"));

        // A function of that name that cannot be replaced fails the step, and with it the whole.
        const std::string blocked = madeByVersionOne();
        runOnServer(blocked, "CREATE FUNCTION dovra_mailer_number(a text, b text) RETURNS integer LANGUAGE sql "
                             "AS $$ SELECT 1 $$");
        QVERIFY_THROWS_EXCEPTION(EngineError, CreateServerTables(QString::fromStdString(blocked)));
        QCOMPARE(serverSchemaVersion(blocked), 1);
        QCOMPARE(scalar(blocked, "select to_regproc('dovra_plain_number') is null"), std::string("True"));
        QCOMPARE(scalar(blocked, "select count(*) from Log37"), std::string("1"));
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
