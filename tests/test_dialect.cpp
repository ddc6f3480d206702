// The program's SQL as a PostgreSQL server reads it: one case per form that differs between
// the table files and the server, and the forms that must pass unchanged.
#include "engine/Dialect.h"

#include <QtTest>

using namespace engine;

class TestDialect : public QObject {
    Q_OBJECT
private slots:
    void translatesStatements_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QString>("server");
        // LIKE and case: case folded, and no escape character (the files have none).
        QTest::newRow("like") << "select * from Log37 where (ToCity like '%bos%')"
                              << "select * from Log37 where (ToCity ILIKE '%bos%' ESCAPE '')";
        QTest::newRow("LIKE upper case, backslash in pattern")
            << "select LID from Log37 where ToAddress1 LIKE '%a\\b%' and Result = 'None'"
            << "select LID from Log37 where ToAddress1 ILIKE '%a\\b%' ESCAPE '' and Result = 'None'";
        QTest::newRow("not like") << "select * from T where A not like 'x%'"
                                  << "select * from T where A not ILIKE 'x%' ESCAPE ''";
        QTest::newRow("like inside a text stays") << "insert into T (A) values('I like it')"
                                                  << "insert into T (A) values('I like it')";
        QTest::newRow("a column named likeness stays") << "select likeness from T"
                                                       << "select likeness from T";
        // COLLATE NOCASE: the server's case-folding collation.
        QTest::newRow("collate NOCASE_UNICODE") << "select G_ID from Groups where Group_Name = rtrim(substr('x', 1, "
                                                   "40)) collate NOCASE_UNICODE and G_ID <> -1"
                                                << "select G_ID from Groups where Group_Name = rtrim(substr('x', 1, "
                                                   "40)) collate nocase_unicode and G_ID <> -1";
        QTest::newRow("COLLATE NOCASE") << "select * from T where A = 'b' COLLATE NOCASE"
                                        << "select * from T where A = 'b' COLLATE nocase_unicode";
        QTest::newRow("a column named nocase stays") << "select nocase from T"
                                                     << "select nocase from T";
        // A text's bytes: its UTF-8 encoding on the server; other casts stay.
        QTest::newRow("cast as blob") << "select * from T where length(cast(A as blob)) <> length(A) or "
                                         "length(CAST( lower('x)') AS BLOB )) > 1"
                                      << "select * from T where length(convert_to(A, 'UTF8')) <> length(A) or "
                                         "length(convert_to(lower('x)'), 'UTF8')) > 1";
        QTest::newRow("other casts stay") << "select cast(A as integer), cast(B as blobby) from T"
                                          << "select cast(A as integer), cast(B as blobby) from T";
        // Logical and TimeStamp: the same text reads the same on the server.
        QTest::newRow("Logical") << "select * from Log37 where (Batch = True)"
                                 << "select * from Log37 where (Batch = True)";
        QTest::newRow("TimeStamp") << "select * from Log37 where (DateTime > '2026-01-31 08:00:00')"
                                   << "select * from Log37 where (DateTime > '2026-01-31 08:00:00')";
        // Quoting: single-quoted text passes whole; double-quoted names are lowered as made.
        QTest::newRow("quotes doubled") << "update Log37 set Comment = 'O''Brien ? like' where LID = 3"
                                        << "update Log37 set Comment = 'O''Brien ? like' where LID = 3";
        QTest::newRow("quoted name") << "select \"CustID\", \"Serial\"\"Num\" from \"MailerNum\""
                                     << "select \"custid\", \"serial\"\"num\" from \"mailernum\"";
        QTest::newRow("NUL joined into a text") << "insert into T (A) values('ab' || char(0) || 'cd')"
                                                << "insert into T (A) values('abcd')";
        // Parameters: ? in order.
        QTest::newRow("parameters") << "INSERT INTO Log37 (MailerNum, CustID) VALUES (?, ?)"
                                    << "INSERT INTO Log37 (MailerNum, CustID) VALUES ($1, $2)";
        // Functions of SQLite.
        QTest::newRow("instr") << "select LID from Log37 where (instr(ToAddress1, 'Roe') > 0)"
                               << "select LID from Log37 where (strpos(ToAddress1, 'Roe') > 0)";
        QTest::newRow("ifnull") << "select ifnull(max(LID), 0) from Log37"
                                << "select coalesce(max(LID), 0) from Log37";
        // Forms both read alike.
        QTest::newRow("join with aliases")
            << "select A.*  from Address A, Members M where M.G_ID = 4 and M.A_ID = A.A_ID"
            << "select A.*  from Address A, Members M where M.G_ID = 4 and M.A_ID = A.A_ID";
        QTest::newRow("max as name") << "select max(A_ID) as LastID from Address"
                                     << "select max(A_ID) as LastID from Address";
        QTest::newRow("filter where-clause")
            << "select * from Log37 where ((SerialNum >= 12) and ((ToAddress1 like '%Roe%') or (ToCity like '%Roe%')))"
               " order by LID"
            << "select * from Log37 where ((SerialNum >= 12) and ((ToAddress1 ILIKE '%Roe%' ESCAPE '') or (ToCity "
               "ILIKE "
               "'%Roe%' ESCAPE ''))) order by LID";
        QTest::newRow("comment") << "select 1 -- like ?\n"
                                 << "select 1 -- like ?\n";
    }
    void translatesStatements()
    {
        QFETCH(QString, program);
        QFETCH(QString, server);
        QCOMPARE(QString::fromStdString(dialect::serverSql(program.toStdString())), server);
    }

    void makesTablesAndIndexes()
    {
        const auto statements = dialect::serverCreateTable(
            "Groups",
            parseDefinition("G_ID,AutoInc; Parent_ID,Integer; Group_Name,Char,40; Made,TimeStamp; On,Logical"));
        QCOMPARE(statements.size(), size_t(3));
        QCOMPARE(QString::fromStdString(statements[0]),
                 "CREATE TABLE \"groups\" (\"g_id\" bigint GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY, \"parent_id\" "
                 "integer, \"group_name\" varchar, \"made\" timestamp(0) without time zone, \"on\" boolean)");
        QVERIFY(QString::fromStdString(statements[1])
                    .contains("NEW.\"group_name\" := rtrim(left(NEW.\"group_name\", 40), ' ');"));
        QVERIFY(QString::fromStdString(statements[2]).contains("BEFORE INSERT OR UPDATE ON \"groups\""));

        QCOMPARE(QString::fromStdString(dialect::serverCreateIndex("Groups", {"Group_Name", "Group_Name", true, true})),
                 "CREATE UNIQUE INDEX \"groups.group_name\" ON \"groups\" (dovra_fold(\"group_name\"))");
        QCOMPARE(QString::fromStdString(
                     dialect::serverCreateIndex("Log37", {"LogMailerNumber", "CustID;SerialNum", true, false,
                                                          "length(CustID) = 9 AND SerialNum IS NOT NULL"})),
                 "CREATE UNIQUE INDEX \"log37.logmailernumber\" ON \"log37\" (\"custid\", \"serialnum\") WHERE "
                 "length(CustID) = 9 AND SerialNum IS NOT NULL");
        // A table without Char fields needs no trigger.
        QCOMPARE(dialect::serverCreateTable("Members", parseDefinition("A_ID,Integer; G_ID,Integer;")).size(),
                 size_t(1));
    }
};

QTEST_GUILESS_MAIN(TestDialect)
#include "test_dialect.moc"
