// The engine's contract, one table of cases run on both backends: tables in a folder of
// files, and tables on a PostgreSQL server (a throwaway cluster started for this test).
#include "core/datamodule/Schemas.h"
#include "engine/MultiTableWrite.h"
#include "engine/Query.h"
#include "engine/Server.h"
#include "engine/Table.h"
#include "log/LogFilter.h"
#include "tests/support/PgCluster.h"

#include <QTemporaryDir>
#include <QtTest>
#include <memory>

using namespace engine;

namespace {

// The tables every case starts from.
void makeTables(const std::string& where)
{
    createTable(where, "Log37", schema::Log37,
                {{"LogMailerNumber", "CustID;SerialNum", true, false, "length(CustID) = 9 AND SerialNum IS NOT NULL"}});
    createTable(where, "Groups", schema::Groups, {{"Group_Name", "Group_Name", true, true}});
    createTable(where, "Address", schema::Address);
    createTable(where, "Members", schema::Members, {{"ID", "A_ID;G_ID", true, false}});
    createTable(where, "MailerNum", schema::MailerNum, {},
                {"INSERT INTO MailerNum (CustID, SerialNum, Increment, BarCodes) VALUES ('000000000', '0000000', True, "
                 "True)"});
}

// The rows of a select as "a|b;c|d", each value read as text.
QString rowsOf(Query& q)
{
    QStringList rows;
    for (; !q.eof(); q.next()) {
        QStringList values;
        for (int i = 0; i < q.fieldCount(); ++i)
            values << QString::fromStdString(q.asString(i));
        rows << values.join('|');
    }
    return rows.join(';');
}

} // namespace

class TestServerEngine : public QObject {
    Q_OBJECT

    std::unique_ptr<testsupport::PgCluster> cluster_;
    std::unique_ptr<QTemporaryDir> folder_;

    // A fresh place with the tables made: a folder, or a database of the cluster.
    std::string freshLocation(const QString& backend)
    {
        std::string where;
        if (backend == "server") {
            where = cluster_->newDatabase().toStdString();
        } else {
            folder_ = std::make_unique<QTemporaryDir>();
            where = folder_->path().toStdString();
        }
        makeTables(where);
        return where;
    }

    static void addBackends(const char* name)
    {
        for (const char* backend : {"folder", "server"})
            QTest::newRow((std::string(name) + " / " + backend).c_str()) << QString(backend);
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

    // Each case: statements run first, then a select whose rows are compared, or a statement
    // whose outcome is compared: "#n" n rows affected, "!unique" refused by a unique index.
    void contract_data()
    {
        QTest::addColumn<QString>("backend");
        QTest::addColumn<QStringList>("setup");
        QTest::addColumn<QString>("statement");
        QTest::addColumn<QString>("expected");
        const auto rows = [](const char* name, QStringList setup, QString statement, QString expected) {
            for (const char* backend : {"folder", "server"})
                QTest::newRow((std::string(name) + " / " + backend).c_str())
                    << QString(backend) << setup << statement << expected;
        };
        const QString log = "insert into Log37 (DateTime, MailerNum, CustID, SerialNum, ToAddress1, ToCity, ToState, "
                            "Batch) values(";
        rows("like folds letter case",
             {log + "'2026-01-31 07:00:00', 'n1', '123456789', 1, 'Jane Roe', 'Boston', 'MA', False)"},
             "select ToCity from Log37 where (ToCity like '%BOS%')", "Boston");
        rows("like has no escape character",
             {log + "'2026-01-31 07:00:00', 'n1', '123456789', 1, 'a\\b', 'X', 'MA', False)",
              log + "'2026-01-31 07:00:00', 'n2', '123456789', 2, 'ab', 'Y', 'MA', False)"},
             "select ToAddress1 from Log37 where ToAddress1 like '%a\\b%'", "a\\b");
        rows("like's wildcards", {log + "'2026-01-31 07:00:00', 'n1', '123456789', 1, 'Roe', 'Dover', 'DE', False)"},
             "select ToCity from Log37 where ToCity like 'D_v%'", "Dover");
        rows("equal texts in any letter case", {"insert into Groups (Parent_ID, Group_Name) values(0, 'Émile')"},
             "select Group_Name from Groups where Group_Name = 'éMILE' collate NOCASE_UNICODE", "Émile");
        rows("case-insensitive unique index", {"insert into Groups (Parent_ID, Group_Name) values(0, 'Friends')"},
             "insert into Groups (Parent_ID, Group_Name) values(0, 'FRIENDS')", "!unique");
        rows("Logical reads True and False",
             {log + "'2026-01-31 07:00:00', 'n1', '123456789', 1, 'a', 'X', 'MA', True)",
              log + "'2026-01-31 07:00:00', 'n2', '123456789', 2, 'b', 'Y', 'MA', False)"},
             "select MailerNum, Batch from Log37 where (Batch = True)", "n1|True");
        rows("TimeStamp compares as time",
             {log + "'2026-01-31 07:59:59', 'n1', '123456789', 1, 'a', 'X', 'MA', False)",
              log + "'2026-01-31 08:00:01', 'n2', '123456789', 2, 'b', 'Y', 'MA', False)"},
             "select MailerNum, DateTime from Log37 where (DateTime > '2026-01-31 08:00:00')",
             "n2|2026-01-31 08:00:01");
        rows("AutoInc grows and never reuses a key",
             {"insert into Address (Address1) values('a')", "insert into Address (Address1) values('b')",
              "delete from Address where Address1 = 'b'", "insert into Address (Address1) values('c')"},
             "select max(A_ID) as LastID from Address", "3");
        rows("Char is cut to its width without trailing blanks",
             {"insert into Address (Address1, State, Zip) values('Roe   ', 'Massachusetts', '02116')"},
             "select Address1, State, Zip from Address", "Roe|Mass|02116");
        rows("quotes doubled in text", {"insert into Address (Address1) values('O''Brien')"},
             "select Address1 from Address where Address1 = 'O''Brien'", "O'Brien");
        rows("join of two tables with aliases",
             {"insert into Address (Address1) values('a')", "insert into Address (Address1) values('b')",
              "insert into Address (Address1) values('c')", "insert into Members (A_ID, G_ID) values(3, 7)",
              "insert into Members (A_ID, G_ID) values(1, 7)", "insert into Members (A_ID, G_ID) values(2, 8)"},
             "select A.*  from Address A, Members M where M.G_ID = 7 and M.A_ID = A.A_ID order by A.Address1",
             "1|a||||||;3|c||||||");
        rows("unique pair", {"insert into Members (A_ID, G_ID) values(1, 7)"},
             "insert into Members (A_ID, G_ID) values(1, 7)", "!unique");
        rows("a printed number is logged once",
             {log + "'2026-01-31 07:00:00', 'n1', '123456789', 15, 'a', 'X', 'MA', False)"},
             log + "'2026-01-31 07:00:00', 'n2', '123456789', 15, 'b', 'Y', 'MA', False)", "!unique");
        rows("numbers of earlier logs may repeat",
             {log + "'2026-01-31 07:00:00', 'n1', '12-345-6789', 15, 'a', 'X', 'MA', False)"},
             log + "'2026-01-31 07:00:00', 'n2', '12-345-6789', 15, 'b', 'Y', 'MA', False)", "#1");
        rows("update and delete count their rows",
             {"insert into Address (Address1) values('a')", "insert into Address (Address1) values('b')",
              "update Address set City = 'Dover' where Address1 = 'a' or Address1 = 'b'"},
             "delete from Address where City = 'Dover'", "#2");
        rows("an empty result is at its end at once", {}, "select * from Address where Address1 = 'none'", "");
        rows("order by",
             {"insert into Address (Address1) values('b')", "insert into Address (Address1) values('c')",
              "insert into Address (Address1) values('a')"},
             "select Address1 from Address order by Address1", "a;b;c");
        rows("instr", {log + "'2026-01-31 07:00:00', 'n1', '123456789', 1, 'Jane Roe', 'X', 'MA', False)"},
             "select MailerNum from Log37 where (instr(ToAddress1, 'Roe') > 0)", "n1");
    }
    void contract()
    {
        QFETCH(QString, backend);
        QFETCH(QStringList, setup);
        QFETCH(QString, statement);
        QFETCH(QString, expected);
        const std::string where = freshLocation(backend);
        Query q;
        q.setFolder(where);
        for (const QString& sql : setup) {
            q.setSql(sql.toStdString());
            q.execSql();
        }
        q.setSql(statement.toStdString());
        if (expected == "!unique") {
            QVERIFY_THROWS_EXCEPTION(UniqueKeyError, q.execSql());
        } else if (expected.startsWith('#')) {
            QCOMPARE(q.execSql(), expected.mid(1).toInt());
        } else {
            q.open();
            QCOMPARE(rowsOf(q), expected);
        }
    }

    // The log window's filters: the where-clause of a whole filter selects the same rows on both.
    void filterWhereClauses_data()
    {
        QTest::addColumn<QString>("backend");
        addBackends("filter");
    }
    void filterWhereClauses()
    {
        QFETCH(QString, backend);
        const std::string where = freshLocation(backend);
        Query q;
        q.setFolder(where);
        q.setSql(
            "insert into Log37 (DateTime, MailerNum, CustID, SerialNum, ToAddress1, ToCity, YourCity, Batch, Postage) "
            "values('2026-02-01 09:30:00', 'A', '123456789', 10, 'Jane ROE', 'Dover', 'Boston', True, '1.50')");
        q.execSql();
        q.setSql(
            "insert into Log37 (DateTime, MailerNum, CustID, SerialNum, ToAddress1, ToCity, YourCity, Batch, Postage) "
            "values('2026-01-01 09:30:00', 'B', '123456789', 11, 'Max Poe', 'Lewes', 'Boston', False, '2.00')");
        q.execSql();
        const QLocale c = QLocale::c();
        using logfilter::TFilterLineRec;
        const QString to = QString::number(logfilter::ToCode);
        const struct {
            QList<TFilterLineRec> lines;
            QString combination, expected;
        } cases[] = {
            {{{to, "=", "roe"}}, "and", "A"},
            {{{"16", "=", "True"}}, "and", "A"},
            {{{"16", "=", "False"}, {"3", ">=", "11"}}, "and", "B"},
            {{{"0", ">", logfilter::dateTimeValue(QDateTime({2026, 1, 15}, {0, 0}), c)}}, "and", "A"},
            {{{to, "=", "poe"}, {to, "=", "roe"}}, "or", "B;A"}, // oldest first
        };
        for (const auto& test : cases) {
            q.setSql(logfilter::logSelectSql(logfilter::whereClause(test.lines, test.combination, c)).toStdString());
            q.open();
            QStringList got;
            for (; !q.eof(); q.next())
                got << QString::fromStdString(q.asString("MailerNum"));
            QCOMPARE(got.join(';'), test.expected);
        }
    }

    // A write to several tables commits them together, or none of them.
    void severalTablesCommitTogether_data()
    {
        QTest::addColumn<QString>("backend");
        addBackends("write");
    }
    void severalTablesCommitTogether()
    {
        QFETCH(QString, backend);
        const std::string where = freshLocation(backend);
        {
            MultiTableWrite write({{where, "Address"}, {where, "Members"}});
            write.run("insert into Address (Address1) values(?)", {std::string("kept")});
            write.run("insert into Members (A_ID, G_ID) values(?, ?)", {write.lastInsertId(), std::int64_t(5)});
            write.commit();
        }
        {
            MultiTableWrite write({{where, "Address"}, {where, "Members"}});
            write.run("insert into Address (Address1) values(?)", {std::string("dropped")});
            QVERIFY_THROWS_EXCEPTION(UniqueKeyError, write.run("insert into Members (A_ID, G_ID) values(?, ?)",
                                                               {std::int64_t(1), std::int64_t(5)}));
        } // not committed: rolled back
        Query q;
        q.setFolder(where);
        q.setSql("select A.Address1, M.G_ID from Address A, Members M where M.A_ID = A.A_ID");
        q.open();
        QCOMPARE(rowsOf(q), QString("kept|5"));
        q.setSql("select count(*) from Address");
        q.open();
        QCOMPARE(q.asString(0), std::string("1"));
    }

    // A table handle reads, filters, appends, edits and deletes alike on both; a table larger
    // than one read is walked whole, in key order; an exclusive open is refused to a second
    // one until the first closes; a handle's transaction commits or rolls back its posts.
    void tableHandles_data()
    {
        QTest::addColumn<QString>("backend");
        addBackends("handle");
    }
    void tableHandles()
    {
        QFETCH(QString, backend);
        const std::string where = freshLocation(backend);
        Query fill;
        fill.setFolder(where);
        for (int i = 1; i <= 450; ++i) {
            fill.setSql("insert into Log37 (MailerNum, Batch, SerialNum) values ('row " + std::to_string(i) + "', " +
                        (i % 3 == 0 ? "True" : "False") + ", " + std::to_string(i) + ")");
            fill.execSql();
        }
        Table log;
        log.setFolder(where);
        log.setTableName("Log37");
        log.open();
        QCOMPARE(log.recordCount(), std::int64_t(450));
        int rows = 0;
        std::int64_t lastSerial = 0;
        for (; !log.eof(); log.next(), ++rows) {
            QVERIFY(log.asInteger("SerialNum") > lastSerial);
            lastSerial = log.asInteger("SerialNum");
        }
        QCOMPARE(rows, 450);
        log.setFilter("Batch = True");
        QCOMPARE(log.recordCount(), std::int64_t(150));
        QCOMPARE(log.asString("MailerNum"), std::string("row 3"));
        log.edit();
        log.setText("MailerNum", "edited");
        log.setBoolean("Batch", false);
        log.post();
        QCOMPARE(log.asString("mailernum"), std::string("edited"));
        log.next();
        QCOMPARE(log.asString("MailerNum"), std::string("row 6"));
        log.remove(); // stands on the row after it
        QCOMPARE(log.asString("MailerNum"), std::string("row 9"));
        log.append();
        log.setText("MailerNum", "appended");
        log.setBoolean("Batch", true);
        log.post();
        QVERIFY(log.asInteger("LID") > 450);
        QCOMPARE(log.recordCount(), std::int64_t(149));
        log.startTransaction();
        for (log.first(); !log.eof();)
            log.remove();
        log.rollback();
        QCOMPARE(log.recordCount(), std::int64_t(149));
        log.close();

        Table counter, second;
        for (Table* t : {&counter, &second}) {
            t->setFolder(where);
            t->setTableName("MailerNum");
            t->setExclusive(true);
        }
        counter.open();
        const int wait = lockWaitMs();
        setLockWaitMs(50);
        QVERIFY_THROWS_EXCEPTION(EngineError, second.open());
        setLockWaitMs(wait);
        counter.edit();
        counter.setText("SerialNum", "0000042");
        counter.post();
        counter.close();
        second.open();
        QCOMPARE(second.asString("SerialNum"), std::string("0000042"));
        second.close();
        Table missing;
        missing.setFolder(where);
        missing.setTableName("Nothing");
        QVERIFY_THROWS_EXCEPTION(EngineError, missing.open());
    }

    void tablesAreFoundAndMadeOnce_data()
    {
        QTest::addColumn<QString>("backend");
        addBackends("tables");
    }
    void tablesAreFoundAndMadeOnce()
    {
        QFETCH(QString, backend);
        const std::string where = freshLocation(backend);
        QCOMPARE(tableFileState(where, "Log37"), TableFileState::Present);
        QCOMPARE(tableFileState(where, "Nothing"), TableFileState::Missing);
        QVERIFY(tableExists(where, "MailerNum"));
        QVERIFY(hasIndex(where, "Log37", "LogMailerNumber"));
        QVERIFY(!hasIndex(where, "Log37", "Other"));
        QVERIFY_THROWS_EXCEPTION(EngineError, createTable(where, "Log37", schema::Log37));
        addIndex(where, "Address", {"City", "City", false, false});
        QVERIFY(hasIndex(where, "Address", "City"));
        Query q;
        q.setFolder(where);
        q.setSql("select * from MailerNum");
        q.open();
        QCOMPARE(q.asString("custid"), std::string("000000000"));
        QCOMPARE(q.asBoolean("BarCodes"), true);
    }
};

QTEST_GUILESS_MAIN(TestServerEngine)
#include "test_serverengine.moc"
