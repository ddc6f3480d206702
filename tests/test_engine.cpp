// The table engine against real table files in a temporary folder.
#include "core/datamodule/Schemas.h"
#include "core/datamodule/TdmDovraPro.h"
#include "engine/Engine.h"
#include "engine/Query.h"
#include "engine/Table.h"
#include "tests/support/TestSupport.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QtTest>
#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace engine;

namespace {

// Runs SQL text in a folder and returns the rows it yields, fields joined by "|".
QStringList rows(const QString& folder, const QString& sql)
{
    Query q;
    q.setFolder(folder.toStdString());
    q.setSql(sql.toStdString());
    q.open();
    QStringList out;
    for (; !q.eof(); q.next()) {
        QStringList fields;
        for (int i = 0; i < q.fieldCount(); ++i)
            fields << QString::fromStdString(q.asString(i));
        out << fields.join('|');
    }
    return out;
}

int exec(const QString& folder, const QString& sql)
{
    Query q;
    q.setFolder(folder.toStdString());
    q.setSql(sql.toStdString());
    return q.execSql();
}

const char* kHoldEnv = "DOVRA_TEST_HOLD_EXCLUSIVE";

} // namespace

class TestEngine : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;
    QString folder_;

private slots:
    void init()
    {
        QVERIFY(dir_.isValid());
        folder_ = dir_.path() + "/" + QTest::currentTestFunction() + QTest::currentDataTag();
        folder_.replace(' ', '_');
        QDir().mkpath(folder_);
    }

    void parsesDefinitionStrings_data()
    {
        QTest::addColumn<QString>("definition");
        QTest::addColumn<QString>("expected"); // name:type:width
        QTest::newRow("irregular blanks, final ;")
            << "A_ID,AutoInc; Address1,Char,50; Address2,Char,50;Address3,Char,50;"
            << "A_ID:0:0 Address1:2:50 Address2:2:50 Address3:2:50";
        QTest::newRow("no final ;") << "CustID,Char,9; SerialNum,Char,8; Increment,Logical;BarCodes,Logical"
                                    << "CustID:2:9 SerialNum:2:8 Increment:4:0 BarCodes:4:0";
        QTest::newRow("timestamp and integer") << " LID,AutoInc; DateTime,TimeStamp; SerialNum,Integer ;"
                                               << "LID:0:0 DateTime:1:0 SerialNum:3:0";
    }
    void parsesDefinitionStrings()
    {
        QFETCH(QString, definition);
        QFETCH(QString, expected);
        QStringList got;
        for (const auto& f : parseDefinition(definition.toStdString()))
            got << QString("%1:%2:%3").arg(QString::fromStdString(f.name)).arg(int(f.type)).arg(f.width);
        QCOMPARE(got.join(' '), expected);
    }

    void refusesBadDefinitions_data()
    {
        QTest::addColumn<QString>("definition");
        QTest::newRow("unknown type") << "A,Money;";
        QTest::newRow("char without width") << "A,Char;";
        QTest::newRow("char width not a number") << "A,Char,x;";
        QTest::newRow("empty") << " ; ;";
    }
    void refusesBadDefinitions()
    {
        QFETCH(QString, definition);
        QVERIFY_THROWS_EXCEPTION(EngineError, createTable(folder_.toStdString(), "T", definition.toStdString()));
        QVERIFY(!QFile::exists(folder_ + "/T.adt"));
    }

    void createsEverySchemaAndReadsItBack()
    {
        TdmDovraPro dm;
        const struct {
            const char* name;
            const char* definition;
            int fields;
        } tables[] = {{"YourAddress", schema::YourAddress, 8}, {"Address", schema::Address, 8},
                      {"Groups", schema::Groups, 3},           {"Members", schema::Members, 2},
                      {"MailerNum", schema::MailerNum, 4},     {"Log37", schema::Log37, 31}};
        for (const auto& t : tables) {
            dm.CreateTable(folder_, t.name, t.definition);
            Table table;
            table.setFolder(folder_.toStdString());
            table.setTableName(t.name);
            table.open();
            QCOMPARE(table.fieldCount(), t.fields);
            table.close();
        }
        // Log37 brings its four companions; the counter its seed row.
        for (const char* companion : {"LogFilters", "LogFiltersDetail", "Reports", "Report_Detail"})
            QVERIFY2(QFile::exists(folder_ + "/" + companion + ".adt"), companion);
        QCOMPARE(rows(folder_, "select CustID, SerialNum, Increment, BarCodes from MailerNum"),
                 QStringList{"000000000|0000000|True|True"});
        QCOMPARE(rows(folder_, "select count(*) from MailerNum"), QStringList{"1"});
    }

    void runsTheStatementFormsThePartsUse()
    {
        TdmDovraPro dm;
        for (const char* t : {"Address", "Groups", "Members"})
            dm.CreateTable(folder_, t,
                           t == QString("Address")  ? schema::Address
                           : t == QString("Groups") ? schema::Groups
                                                    : schema::Members);
        QCOMPARE(exec(folder_, "insert into Address (Address1, City, State, Zip) values('Jane Roe', "
                               "'Springfield', 'IL', '62704')"),
                 1);
        QCOMPARE(exec(folder_, "insert into Address (Address1, City, State, Zip) values(" +
                                   QString::fromStdString(quoted("Pat O'Brien")) + ", 'Boston', 'MA', '02108')"),
                 1);
        QCOMPARE(exec(folder_, "insert into Address (Address1, City) values('Al Smith', 'Austin')"), 1);
        QCOMPARE(exec(folder_, "insert into Groups (Parent_ID, Group_Name) values(0, 'Clients')"), 1);
        QCOMPARE(exec(folder_, "insert into Members (A_ID, G_ID) values(2, 1)"), 1);
        QCOMPARE(exec(folder_, "insert into Members (A_ID, G_ID) values(3, 1)"), 1);

        QCOMPARE(rows(folder_, "select max(A_ID) as LastID from Address"), QStringList{"3"});
        QCOMPARE(rows(folder_, "select Address1 from Address where Address1 = 'Pat O''Brien'"),
                 QStringList{"Pat O'Brien"});
        QCOMPARE(rows(folder_, "select address1 from address where (City like 'B%' or City = 'Austin') and "
                               "A_ID > 1 order by Address1"),
                 (QStringList{"Al Smith", "Pat O'Brien"}));
        QCOMPARE(rows(folder_, "select A.Address1  from Address A, Members M where M.G_ID = 1 and "
                               "M.A_ID = A.A_ID order by A.A_ID"),
                 (QStringList{"Pat O'Brien", "Al Smith"}));
        QCOMPARE(rows(folder_, "select A.*  from Address A, Members M where M.G_ID = 1 and M.A_ID = A.A_ID")
                     .first()
                     .section('|', 0, 1),
                 QString("2|Pat O'Brien"));
        QCOMPARE(exec(folder_, "update Address set City = 'Chicago' where State = 'IL'"), 1);
        QCOMPARE(exec(folder_, "update Address set Zip = '00000' where State = 'XX'"), 0);
        QCOMPARE(exec(folder_, "delete from Members where G_ID = 1"), 2);
        QCOMPARE(exec(folder_, "delete from Address"), 3);
        QCOMPARE(rows(folder_, "select * from Address"), QStringList{});
    }

    void keepsFixedWidthTextAndGrowingKeys()
    {
        createTable(folder_.toStdString(), "YourAddress", schema::YourAddress);
        const QString longName(70, 'x');
        exec(folder_, "insert into YourAddress (Address1, State) values('" + longName + "', 'IL   ')");
        Table t;
        t.setFolder(folder_.toStdString());
        t.setTableName("YourAddress");
        t.open();
        QCOMPARE(QString::fromStdString(t.asString("Address1")), QString(50, 'x'));
        QCOMPARE(QString::fromStdString(t.asString("state")), QString("IL"));
        t.append();
        t.setText("City", "A city name that is far longer than thirty-five characters");
        t.setText("Zip", "62704     ");
        t.post();
        QCOMPARE(QString::fromStdString(t.asString("City")).size(), 35);
        QCOMPARE(QString::fromStdString(t.asString("Zip")), QString("62704"));
        QCOMPARE(t.asInteger("A_ID"), 2);
        t.remove(); // the highest key goes; it is never handed out again
        t.append();
        t.setText("Address1", "third");
        t.post();
        QCOMPARE(t.asInteger("A_ID"), 3);
    }

    void tableHandleReadsEditsAndFilters()
    {
        createTable(folder_.toStdString(), "Log37", schema::Log37);
        Table log;
        log.setFolder(folder_.toStdString());
        log.setTableName("Log37");
        log.open();
        QVERIFY(log.eof()); // an empty table is an end test that is true at once
        for (int i = 1; i <= 4; ++i) {
            log.append();
            log.setDateTime("DateTime", DateTime{2026, 12, 10, 9, i, 0});
            log.setInteger("SerialNum", 40 + i);
            log.setBoolean("Batch", i % 2 == 0);
            log.setText("Result", "None");
            log.post();
        }
        log.close();
        log.setFilter("Batch = True");
        log.open();
        QList<qint64> serials;
        for (log.first(); !log.eof(); log.next()) {
            serials << log.asInteger("SerialNum");
            QVERIFY(log.asBoolean("Batch"));
            log.edit();
            log.setBoolean("Batch", false);
            log.setText("MailerNum", "92147");
            log.post(); // the row leaves the filter; the scan still goes on to the next one
        }
        QCOMPARE(serials, (QList<qint64>{42, 44}));
        log.first();
        QVERIFY(log.eof());
        log.close();
        log.setFilter("");
        log.open();
        QCOMPARE(log.recordCount(), 4);
        QCOMPARE(log.asDateTime("DateTime"), (DateTime{2026, 12, 10, 9, 1, 0}));
        QCOMPARE(QString::fromStdString(log.asString("DateTime")), QString("2026-12-10 09:01:00"));
        QCOMPARE(QString::fromStdString(log.asString("WishRest")), QString(""));
        QCOMPARE(rows(folder_, "select count(*) from Log37 where (DateTime > '2026-12-10 09:02:00')"),
                 QStringList{"2"});
        QVERIFY_THROWS_EXCEPTION(ConversionError, log.asInteger("Result"));
        QVERIFY_THROWS_EXCEPTION(EngineError, log.asString("NoSuchField"));
    }

    // Closing a handle keeps its connection for the next open; whatever happened to the file
    // in between must show at that open.
    void reopenedTableSeesTheFileAsItIsNow_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<QStringList>("serials");
        QTest::newRow("row added through another connection") << "append" << QStringList{"41", "42"};
        QTest::newRow("file replaced by another table file") << "replace" << QStringList{"7"};
        QTest::newRow("file deleted and made again") << "recreate" << QStringList{};
    }

    void reopenedTableSeesTheFileAsItIsNow()
    {
        QFETCH(QString, change);
        QFETCH(QStringList, serials);
        const std::string folder = folder_.toStdString();
        createTable(folder, "MailerNum", schema::MailerNum);
        exec(folder_, "insert into MailerNum (CustID, SerialNum) values ('123456789', '41')");
        Table counter;
        counter.setFolder(folder);
        counter.setTableName("MailerNum");
        counter.open();
        QCOMPARE(QString::fromStdString(counter.asString("SerialNum")), QString("41"));
        counter.close();

        const QString file = QString::fromStdString(tableFile(folder, "MailerNum"));
        if (change == "append") {
            exec(folder_, "insert into MailerNum (CustID, SerialNum) values ('123456789', '42')");
        } else if (change == "replace") {
            const std::string other = (folder_ + "/other").toStdString();
            QDir().mkpath(QString::fromStdString(other));
            createTable(other, "MailerNum", schema::MailerNum);
            exec(QString::fromStdString(other), "insert into MailerNum (CustID, SerialNum) values ('1', '7')");
            QVERIFY(::rename(tableFile(other, "MailerNum").c_str(), file.toLocal8Bit().constData()) == 0);
        } else {
            QVERIFY(QFile::remove(file));
            createTable(folder, "MailerNum", schema::MailerNum);
        }

        counter.open();
        QStringList seen;
        for (counter.first(); !counter.eof(); counter.next())
            seen << QString::fromStdString(counter.asString("SerialNum"));
        QCOMPARE(seen, serials);
        // And it writes to the file that is there now.
        counter.append();
        counter.setText("CustID", "999");
        counter.post();
        counter.close();
        QCOMPARE(rows(folder_, "select count(*) from MailerNum where CustID = '999'"), QStringList{"1"});
    }

    void uniqueIndexesRefuseWithTheirOwnError()
    {
        TdmDovraPro dm;
        dm.CreateTable(folder_, "Groups", schema::Groups);
        dm.CreateTable(folder_, "Members", schema::Members);
        exec(folder_, "insert into Groups (Parent_ID, Group_Name) values(0, 'Clients')");
        QVERIFY_THROWS_EXCEPTION(UniqueKeyError,
                                 exec(folder_, "insert into Groups (Parent_ID, Group_Name) values(0, 'CLIENTS')"));
        exec(folder_, "insert into Members (A_ID, G_ID) values(1, 2)");
        exec(folder_, "insert into Members (A_ID, G_ID) values(2, 1)");
        QVERIFY_THROWS_EXCEPTION(UniqueKeyError, exec(folder_, "insert into Members (A_ID, G_ID) values(1, 2)"));
        // Through a table handle too; the refused row stays in append mode, as typed.
        Table members;
        members.setFolder(folder_.toStdString());
        members.setTableName("Members");
        members.open();
        members.append();
        members.setInteger("A_ID", 2);
        members.setInteger("G_ID", 1);
        QVERIFY_THROWS_EXCEPTION(UniqueKeyError, members.post());
        QVERIFY(members.editing());
        members.setInteger("G_ID", 3);
        members.post();
        QCOMPARE(members.recordCount(), 3);
        // Other failures are general engine errors with SQLite's text.
        try {
            exec(folder_, "insert into Members (A_ID, Nope) values(1, 2)");
            QFAIL("no error");
        } catch (const UniqueKeyError&) {
            QFAIL("wrong kind");
        } catch (const EngineError& e) {
            QVERIFY2(QString(e.what()).contains("Nope"), e.what());
        }
    }

    void rowByRowStatementWritesAllOrNone()
    {
        TdmDovraPro dm;
        dm.CreateTable(folder_, "Members", schema::Members);
        exec(folder_, "insert into Members (A_ID, G_ID) values(9, 9)");
        Query q;
        q.setFolder(folder_.toStdString());
        q.setSql("insert into Members (A_ID, G_ID) values (?, ?)");
        const auto pairs = [](std::vector<std::pair<int, int>> list) {
            return [list](size_t row, std::vector<Value>& values) {
                values.emplace_back(std::int64_t(list[row].first));
                values.emplace_back(std::int64_t(list[row].second));
            };
        };
        // The fourth row repeats the first key: the three before it are not kept either.
        QVERIFY_THROWS_EXCEPTION(UniqueKeyError, q.execEach(4, pairs({{1, 1}, {1, 2}, {2, 1}, {1, 1}})));
        QCOMPARE(rows(folder_, "select A_ID, G_ID from Members"), QStringList{"9|9"});
        // The same query then writes a whole run, in order.
        QCOMPARE(q.execEach(3, pairs({{1, 1}, {1, 2}, {2, 1}})), 3);
        QCOMPARE(rows(folder_, "select A_ID, G_ID from Members order by rowid"),
                 (QStringList{"9|9", "1|1", "1|2", "2|1"}));
        q.setSql("insert into Members (A_ID, G_ID) values (?, ?); delete from Members");
        QVERIFY_THROWS_EXCEPTION(EngineError, q.execEach(1, pairs({{5, 5}})));
        QCOMPARE(rows(folder_, "select count(*) from Members"), QStringList{"4"});
    }

    void badTableFilesGiveTheEnginesMessage_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("expected");
        QTest::newRow("garbage") << QByteArray(4096, '\x5a') << "not a database";
        QTest::newRow("empty file") << QByteArray() << "does not hold the table";
        QByteArray header = "SQLite format 3";
        header.append('\0');
        header.append(QByteArray(84, '\x10'));
        QTest::newRow("truncated") << header << "";
    }
    void badTableFilesGiveTheEnginesMessage()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, expected);
        QFile f(folder_ + "/MailerNum.adt");
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(content);
        f.close();
        Table t;
        t.setFolder(folder_.toStdString());
        t.setTableName("MailerNum");
        try {
            t.open();
            QFAIL("opened a table that is not one");
        } catch (const EngineError& e) {
            QVERIFY2(QString(e.what()).contains(expected), e.what());
            QVERIFY2(QString(e.what()).contains("MailerNum.adt"), e.what());
        }
        QVERIFY(!t.active());
        QVERIFY_THROWS_EXCEPTION(EngineError, rows(folder_, "select * from MailerNum"));
    }

    // A statement on a damaged table file, or a column its table lacks: the message names
    // the file and what is wrong with it, not SQLite's own words.
    void damagedFilesAndColumnsAreNamed()
    {
        const std::string folder = folder_.toStdString();
        createTable(folder, "Address", schema::Address);
        for (int i = 0; i < 300; ++i)
            exec(folder_, "insert into Address (Address1, City) values ('Jane Roe', 'Erie')");
        QCOMPARE(tableDamage(folder, "Address", schema::Address), std::nullopt);
        QCOMPARE(tableDamage(folder, "Groups", schema::Groups), std::nullopt); // missing is not damaged
        const QString path = folder_ + "/Address.adt";
        {
            QFile f(path);
            QVERIFY(f.open(QIODevice::ReadWrite));
            f.seek(4096);
            f.write(QByteArray(4096, '\xA5'));
        }
        const QString malformed = QString::fromStdString(damagedTableMessage(path.toStdString(), false));
        QVERIFY(malformed.contains("\"" + path + "\" is damaged"));
        try {
            Query q;
            q.setFolder(folder);
            q.setSql("select * from Address order by A_ID");
            q.open();
            for (; !q.eof(); q.next()) {
            }
            QFAIL("read a damaged table");
        } catch (const EngineError& e) {
            QCOMPARE(QString(e.what()), malformed);
        }
        QCOMPARE(tableDamage(folder, "Address", schema::Address).value_or(""), malformed.toStdString());

        // Not a table file at all.
        QFile garbage(folder_ + "/Groups.adt");
        QVERIFY(garbage.open(QIODevice::WriteOnly));
        garbage.write(QByteArray(4096, '\x5a'));
        garbage.close();
        try {
            rows(folder_, "select * from Groups");
            QFAIL("read a file that is no table");
        } catch (const EngineError& e) {
            QVERIFY2(QString(e.what()).contains("\"" + garbage.fileName() + "\" is damaged: it is not a table file"),
                     e.what());
        }

        // A column the program reads is missing.
        QFile::remove(path);
        createTable(folder, "Address", "A_ID,AutoInc; Address2,Char,50;");
        exec(folder_, "insert into Address (Address2) values ('x')");
        Query q;
        q.setFolder(folder);
        q.setSql("select * from Address");
        q.open();
        const std::string missing = missingColumnMessage(path.toStdString(), "Address1");
        QVERIFY(QString::fromStdString(missing).contains("\"" + path + "\" has no column Address1"));
        try {
            q.asString("Address1");
            QFAIL("read a missing column");
        } catch (const EngineError& e) {
            QCOMPARE(std::string(e.what()), missing);
        }
        q.close();
        QCOMPARE(tableDamage(folder, "Address", schema::Address).value_or(""), missing);
    }

    // A NUL inside a quoted value keeps the statement whole (SQLite would end the statement
    // there).
    void quotedValuesHoldingNul()
    {
        createTable(folder_.toStdString(), "Address", schema::Address);
        const std::string value("Bos\0ton's", 10);
        exec(folder_, QString::fromStdString("insert into Address (City) values (" + engine::quoted(value) + ")"));
        Query q;
        q.setFolder(folder_.toStdString());
        // A Char column ends its text at a NUL, as SQLite's text functions do.
        q.setSql("select City from Address");
        q.open();
        QCOMPARE(q.asString(0), std::string("Bos"));
        q.setSql("select count(*) from Address where City = " + engine::quoted(value) + " or City like " +
                 engine::quoted("%" + value + "%"));
        q.open();
        QCOMPARE(q.asInteger(q.fieldName(0)), 1); // like reads its pattern up to the NUL
    }

    void missingTablesAndFolders()
    {
        QVERIFY_THROWS_EXCEPTION(EngineError, rows(folder_, "select * from Nowhere"));
        QVERIFY_THROWS_EXCEPTION(EngineError,
                                 createTable((folder_ + "/missing").toStdString(), "Log37", schema::Log37));
        if (::geteuid() != 0) { // root writes anywhere
            QVERIFY(::chmod(folder_.toUtf8().constData(), 0555) == 0);
            QVERIFY_THROWS_EXCEPTION(EngineError, createTable(folder_.toStdString(), "Log37", schema::Log37));
            ::chmod(folder_.toUtf8().constData(), 0755);
            QVERIFY(!QFile::exists(folder_ + "/Log37.adt"));
        }
    }

    void exclusiveOpenHoldsAgainstOtherHandles()
    {
        TdmDovraPro dm;
        dm.CreateTable(folder_, "MailerNum", schema::MailerNum);
        setLockWaitMs(200);
        Table first, second;
        for (Table* t : {&first, &second}) {
            t->setFolder(folder_.toStdString());
            t->setTableName("MailerNum");
            t->setExclusive(true);
        }
        first.open();
        QVERIFY_THROWS_EXCEPTION(EngineError, second.open());
        first.close();
        second.open();
        QVERIFY(second.active());
    }

    // A second process holds the counter exclusively; this one waits, then fails with the
    // engine's message; once the other lets go, the open succeeds.
    void exclusiveOpenHoldsAgainstAnotherProcess()
    {
        TdmDovraPro dm;
        dm.CreateTable(folder_, "MailerNum", schema::MailerNum);
        QProcess holder;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(kHoldEnv, folder_);
        holder.setProcessEnvironment(env);
        holder.start(QCoreApplication::applicationFilePath(), {});
        QVERIFY(holder.waitForReadyRead(10000));
        QCOMPARE(holder.readLine().trimmed(), QByteArray("holding"));

        setLockWaitMs(300);
        Table t;
        t.setFolder(folder_.toStdString());
        t.setTableName("MailerNum");
        t.setExclusive(true);
        QElapsedTimer waited;
        waited.start();
        try {
            t.open();
            QFAIL("opened a table another process holds exclusively");
        } catch (const EngineError& e) {
            QVERIFY2(QString(e.what()).contains("in use"), e.what());
        }
        QVERIFY(waited.elapsed() >= 250); // it waited its turn first
        holder.write("release\n");
        QVERIFY(holder.waitForFinished(10000));
        setLockWaitMs(5000);
        t.open();
        QCOMPARE(QString::fromStdString(t.asString("CustID")), QString("000000000"));
    }

    // A table is judged as a writer would find it: a change cut short by a crash is undone first,
    // a table another connection holds is busy, not damaged, and damage is named as such.
    void tablesAreJudgedAsAWriterFindsThem_data()
    {
        QTest::addColumn<QString>("situation");
        QTest::addColumn<int>("state");
        QTest::newRow("change cut short") << "hot journal" << int(TableFileState::Present);
        QTest::newRow("held by another connection") << "held" << int(TableFileState::Busy);
        QTest::newRow("not a table file") << "garbage" << int(TableFileState::Damaged);
        QTest::newRow("a page overwritten") << "page" << int(TableFileState::Damaged);
        QTest::newRow("change cut short, this user cannot undo it") << "hot journal, read-only user"
                                                                    << int(TableFileState::NeedsRecovery);
    }
    void tablesAreJudgedAsAWriterFindsThem()
    {
        QFETCH(QString, situation);
        QFETCH(int, state);
        TdmDovraPro dm;
        dm.CreateTable(folder_, "Log37", schema::Log37);
        for (int i = 0; i < 300; ++i)
            exec(folder_, QString("insert into Log37 (ToAddress1, Comment) values ('Recipient %1', 'x')").arg(i));
        const QString file = folder_ + "/Log37.adt";
        const std::string folder = folder_.toStdString();
        setLockWaitMs(200);
        sqlite3* holding = nullptr;
        if (situation.startsWith("hot journal")) {
            testsupport::leaveChangeCutShort(file);
        } else if (situation == "held") {
            // As another workstation holds it while it commits.
            QCOMPARE(sqlite3_open(qPrintable(file), &holding), SQLITE_OK);
            QCOMPARE(sqlite3_exec(holding, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
        } else if (situation == "garbage") {
            QFile f(file);
            QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            f.write(QByteArray(5000, 'x'));
        } else {
            testsupport::damagePage(file, 5);
        }
        TableCheck check;
        if (situation.endsWith("read-only user")) {
            if (::geteuid() != 0)
                QSKIP("playing another user needs root");
            // Another user, who may read the folder but not write it.
            QVERIFY(::chmod(qPrintable(dir_.path()), 0755) == 0 && ::chmod(qPrintable(folder_), 0755) == 0);
            int pipe[2];
            QVERIFY(::pipe(pipe) == 0);
            const pid_t child = ::fork();
            if (child == 0) {
                if (::setgid(65534) != 0 || ::setuid(65534) != 0)
                    ::_exit(1);
                const int found = int(checkTableFile(folder, "Log37").state);
                ::write(pipe[1], &found, sizeof found);
                ::_exit(0);
            }
            int found = -1;
            QCOMPARE(::read(pipe[0], &found, sizeof found), ssize_t(sizeof found));
            ::waitpid(child, nullptr, 0);
            ::close(pipe[0]);
            ::close(pipe[1]);
            check.state = TableFileState(found);
        } else {
            check = checkTableFile(folder, "Log37", true);
        }
        sqlite3_close(holding);
        setLockWaitMs(5000);
        QCOMPARE(int(check.state), state);
        if (situation == "hot journal") // undone: the rows as they were before the change
            QCOMPARE(exec(folder_, "select * from Log37"), 0);
        if (situation == "page") { // a write into it is refused until it is sound again
            QVERIFY_THROWS_EXCEPTION(EngineError, requireSound(folder, "Log37"));
            // Its rows read slice by slice find the damage too.
            RowScan scan{1, {}};
            while (scan.next != 0)
                scan = scanTableRows(folder, "Log37", scan.next, 50);
            QCOMPARE(int(scan.check.state), int(TableFileState::Damaged));
        }
    }

    // Statements run as one text that fail part-way leave no transaction, and so no lock, behind.
    void aFailedStatementTextLetsGoOfItsTables()
    {
        TdmDovraPro dm;
        dm.CreateTable(folder_, "Log37", schema::Log37);
        Query q;
        q.setFolder(folder_.toStdString());
        q.setSql("begin; insert into Log37 (Comment) values ('first'); insert into Nowhere values (1); commit");
        QVERIFY_THROWS_EXCEPTION(EngineError, q.execSql());
        setLockWaitMs(200);
        QCOMPARE(exec(folder_, "insert into Log37 (Comment) values ('second')"), 1);
        setLockWaitMs(5000);
        QCOMPARE(rows(folder_, "select Comment from Log37"), QStringList{"second"});
    }

    void aSoundTableIsReadToItsEndSliceBySlice()
    {
        TdmDovraPro dm;
        dm.CreateTable(folder_, "Log37", schema::Log37);
        for (int i = 0; i < 120; ++i)
            exec(folder_, QString("insert into Log37 (ToAddress1) values ('Recipient %1')").arg(i));
        RowScan scan{1, {}};
        int slices = 0;
        while (scan.next != 0) {
            scan = scanTableRows(folder_.toStdString(), "Log37", scan.next, 50);
            ++slices;
        }
        QCOMPARE(slices, 3);
        QCOMPARE(int(scan.check.state), int(TableFileState::Present));
        requireSound(folder_.toStdString(), "Log37");
    }

    void zipCodeTableIsShippedBesideThePrograms()
    {
        QCOMPARE(rows(testsupport::binDir(),
                      "select City, State from ZIPCODES where ZIP = " + QString::fromStdString(quoted("62704"))),
                 QStringList{"Springfield|IL"});
        QVERIFY(rows(testsupport::binDir(), "select count(*) from ZIPCODES").first().toInt() > 40000);
    }
};

// Worker mode for the two-process test: hold the table until told to let go.
static int holdExclusive(const QString& folder)
{
    Table t;
    t.setFolder(folder.toStdString());
    t.setTableName("MailerNum");
    t.setExclusive(true);
    t.open();
    QTextStream out(stdout);
    out << "holding\n";
    out.flush();
    QTextStream in(stdin);
    in.readLine();
    return 0;
}

int main(int argc, char** argv)
{
    const QString holdFolder = qEnvironmentVariable(kHoldEnv);
    if (!holdFolder.isEmpty())
        return holdExclusive(holdFolder);
    QCoreApplication app(argc, argv);
    TestEngine t;
    return QTest::qExec(&t, argc, argv);
}

#include "test_engine.moc"
