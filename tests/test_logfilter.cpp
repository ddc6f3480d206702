// The log's core rules on real tables: the field codes and the conditions filter lines
// become, the where-clause of a filter, the paging model behind the log grid, finding rows
// in it, and the statements and fee arithmetic of editing and tracking mailers.
#include "core/datamodule/Schemas.h"
#include "core/datamodule/TdmDovraPro.h"
#include "engine/Engine.h"
#include "engine/Query.h"
#include "engine/Table.h"
#include "log/LogCsv.h"
#include "log/LogFilter.h"
#include "log/LogMailers.h"
#include "log/LogModel.h"
#include "tests/support/TestSupport.h"

#include <QtTest>
#include <sqlite3.h>

using logfilter::TFilterLineRec;

namespace {

struct LogFolder : testsupport::ProgramFixture {
    QString folder = home.path() + "/Log";
    LogFolder()
    {
        QDir().mkpath(folder);
        dm.CreateTable(folder, "Log37", schema::Log37);
    }
    // Appends rows; each is a list of field=value texts over a plain default row.
    void add(const QList<QMap<QString, QString>>& rows)
    {
        engine::Table t;
        t.setFolder(folder.toStdString());
        t.setTableName("Log37");
        t.open();
        t.startTransaction();
        for (const auto& fields : rows) {
            t.append();
            t.setText("DateTime", "2026-01-01 00:00:00");
            t.setText("Result", "None");
            t.setBoolean("Batch", false);
            for (auto it = fields.begin(); it != fields.end(); ++it) {
                if (it.key() == "Batch" || it.key() == "WishRest")
                    t.setBoolean(it.key().toStdString(), it.value() == "True");
                else if (it.key() == "SerialNum")
                    t.setInteger("SerialNum", it.value().toLongLong());
                else
                    t.setText(it.key().toStdString(), it.value().toStdString());
            }
            t.post();
        }
        t.commit();
        t.close();
    }
    QStringList column(const QString& sql, const QString& field = "LID")
    {
        engine::Query q;
        q.setFolder(folder.toStdString());
        q.setSql(sql.toStdString());
        QStringList out;
        for (q.open(); !q.eof(); q.next())
            out << QString::fromStdString(q.asString(field.toStdString()));
        return out;
    }
    QStringList lidsOf(const QString& where) { return column(logfilter::logSelectSql(where)); }
};

QStringList indexesOf(const QString& file)
{
    sqlite3* db = nullptr;
    sqlite3_open_v2(file.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(db, "select name from sqlite_master where type = 'index'", -1, &stmt, nullptr);
    QStringList names;
    while (sqlite3_step(stmt) == SQLITE_ROW)
        names << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)));
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    return names;
}

QString timeAt(int minute)
{
    return QString("2026-03-01 08:%1:00").arg(minute, 2, 10, QChar('0'));
}

} // namespace

class TestLogFilter : public QObject {
    Q_OBJECT

private slots:
    void fieldCodeTable()
    {
        const auto& codes = logfilter::fieldCodes();
        QCOMPARE(codes.size(), 23);
        QCOMPARE(codes[11].listName, QString("From Zip"));
        QCOMPARE(codes[11].captionName, QString("FromZip"));
        QCOMPARE(codes[0].operators, QStringList({">", ">=", "<", "<="}));
        QCOMPARE(codes[3].operators, QStringList({"=", ">", ">=", "<", "<="}));
        QCOMPARE(codes[22].operators, codes[3].operators);
        QCOMPARE(codes[21].listName, QString("Restricted Delivery Fee"));
        QCOMPARE(logfilter::lineCaption({"5", "=", "Boston"}), QString("To City = 'Boston'"));
        QCOMPARE(logfilter::lineCaption({"11", "=", "021"}), QString("FromZip = '021'"));
    }

    void conditions_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("op");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("condition");
        QTest::newRow("mailer number, operator ignored") << "1"
                                                         << "="
                                                         << "9214 7123 4567 8900 0004"
                                                         << "(MailerNum = '9214 7123 4567 8900 0004')";
        QTest::newRow("customer id") << "2"
                                     << "="
                                     << "12-345-6789"
                                     << "(CustID = '12-345-6789')";
        QTest::newRow("serial unquoted") << "3"
                                         << ">="
                                         << "00000041"
                                         << "(SerialNum >= 00000041)";
        QTest::newRow("to city like") << "5"
                                      << "="
                                      << "Boston"
                                      << "(ToCity like '%Boston%')";
        QTest::newRow("from zip like") << "11"
                                       << "="
                                       << "021"
                                       << "(YourZip like '%021%')";
        QTest::newRow("processed by") << "13"
                                      << "="
                                      << "Ann"
                                      << "(ProcessedBy like '%Ann%')";
        QTest::newRow("quote doubled") << "15"
                                       << "="
                                       << "O'Brien"
                                       << "(Comment like '%O''Brien%')";
        QTest::newRow("percent and underscore as typed") << "14"
                                                         << "="
                                                         << "5%_x"
                                                         << "(RE like '%5%_x%')";
        QTest::newRow("batch unquoted") << "16"
                                        << "="
                                        << "False"
                                        << "(Batch = False)";
        QTest::newRow("result quoted") << "17"
                                       << "="
                                       << "Received - Signed"
                                       << "(Result = 'Received - Signed')";
        QTest::newRow("fee compared as text") << "18"
                                              << ">"
                                              << "5.00"
                                              << "(Postage > '5.00')";
        QTest::newRow("total fee") << "22"
                                   << "<="
                                   << "7.75"
                                   << "(Total <= '7.75')";
        QTest::newRow("from, seven columns")
            << "8"
            << "="
            << "x"
            << "((YourAddress1 like '%x%') or (YourAddress2 like '%x%') or (YourAddress3 like '%x%') or "
               "(YourAddress4 like '%x%') or (YourCity like '%x%') or (YourState like '%x%') or (YourZip like '%x%'))";
    }
    void conditions()
    {
        QFETCH(QString, code);
        QFETCH(QString, op);
        QFETCH(QString, value);
        QFETCH(QString, condition);
        QCOMPARE(logfilter::lineCondition({code, op, value}), condition);
    }

    // A value read from the filter table that would change the statement is refused.
    void valuesThatCannotStandAreRefused_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("op");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("message");
        QTest::newRow("serial of letters") << "3"
                                           << "="
                                           << "abc"
                                           << "'abc' is not a valid integer value";
        QTest::newRow("serial with sql") << "3"
                                         << "="
                                         << "1) or (1=1"
                                         << "'1) or (1=1' is not a valid integer value";
        QTest::newRow("batch not a word") << "16"
                                          << "="
                                          << "1 or 1"
                                          << "'1 or 1' is not a valid boolean value";
        QTest::newRow("fee operator") << "18"
                                      << "; drop"
                                      << "5"
                                      << "'; drop' is not a valid operator";
        QTest::newRow("date that does not read") << "0"
                                                 << ">"
                                                 << "someday soon"
                                                 << "'someday soon' is not a valid date and time";
        QTest::newRow("unknown field") << "23"
                                       << "="
                                       << "x"
                                       << "'23' is not a valid field code";
    }
    void valuesThatCannotStandAreRefused()
    {
        QFETCH(QString, code);
        QFETCH(QString, op);
        QFETCH(QString, value);
        QFETCH(QString, message);
        try {
            logfilter::lineCondition({code, op, value});
            QFAIL("no error");
        } catch (const engine::ConversionError& e) {
            QCOMPARE(QString(e.what()), message);
        }
    }

    void orExampleGivesTheExactQuery()
    {
        const QString where = logfilter::whereClause({{"16", "=", "False"}, {"4", "=", "Boston"}}, "OR");
        QCOMPARE(
            logfilter::logSelectSql(where),
            QString("select * from Log37 where (Batch = False) OR ((ToAddress1 like '%Boston%') or (ToAddress2 like "
                    "'%Boston%') or (ToAddress3 like '%Boston%') or (ToAddress4 like '%Boston%') or (ToCity like "
                    "'%Boston%') or (ToState like '%Boston%') or (ToZip like '%Boston%')) order by DATETIME"));
        QCOMPARE(logfilter::whereClause({}, "AND"), QString());
    }

    // Saved as the locale writes date and time, read back as the where-clause's ISO text.
    void dateTimeValuesRoundTrip_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::newRow("en_US") << "en_US";
        QTest::newRow("de_DE") << "de_DE";
        QTest::newRow("C, blanks in the date") << "C";
    }
    void dateTimeValuesRoundTrip()
    {
        QFETCH(QString, locale);
        const QLocale l(locale);
        const QDateTime when(QDate(2026, 1, 31), QTime(8, 5, 9));
        const QString value = logfilter::dateTimeValue(when, l);
        QVERIFY2(value.size() <= 40, qPrintable(value));
        QCOMPARE(logfilter::readDateTimeValue(value, l), std::optional<QDateTime>(when));
        QCOMPARE(logfilter::lineCondition({"0", ">=", value}, l), QString("(DateTime >= '2026-01-31 08:05:09')"));
        // A two-digit year from the plain short format still reads as this century.
        QCOMPARE(logfilter::readDateTimeValue("1/31/26 8:05:09 AM", QLocale("en_US")), std::optional<QDateTime>(when));
    }

    void filtersSelectTheRightRows()
    {
        LogFolder log;
        log.add({{{"ToCity", "Boston"}, {"Postage", "10.00"}, {"Batch", "True"}, {"DateTime", timeAt(3)}},
                 {{"ToAddress2", "Ann O'Brien"}, {"Postage", "6.00"}, {"DateTime", timeAt(1)}},
                 {{"ToState", "ANN"}, {"Postage", "4.00"}, {"SerialNum", "41"}, {"DateTime", timeAt(2)}},
                 {{"ToAddress1", "50%_off"}, {"SerialNum", "9"}, {"DateTime", timeAt(4)}}});
        // Fees compare as text: 10.00 is not greater than 5.00.
        QCOMPARE(log.lidsOf(logfilter::whereClause({{"18", ">", "5.00"}}, "AND")), QStringList({"2"}));
        // The contains-test on seven columns, letter case ignored as like does.
        QCOMPARE(log.lidsOf(logfilter::whereClause({{"4", "=", "Ann"}}, "AND")), QStringList({"2", "3"}));
        QCOMPARE(log.lidsOf(logfilter::whereClause({{"4", "=", "O'Brien"}}, "AND")), QStringList({"2"}));
        QCOMPARE(log.lidsOf(logfilter::whereClause({{"3", ">", "00000010"}}, "AND")), QStringList({"3"}));
        QCOMPARE(log.lidsOf(logfilter::whereClause({{"16", "=", "True"}, {"5", "=", "Boston"}}, "AND")),
                 QStringList({"1"}));
        QCOMPARE(log.lidsOf(logfilter::whereClause({{"16", "=", "True"}, {"4", "=", "off"}}, "OR")),
                 QStringList({"1", "4"}));
        QCOMPARE(log.lidsOf(logfilter::whereClause(
                     {{"0", ">", logfilter::dateTimeValue(QDateTime(QDate(2026, 3, 1), QTime(8, 2, 0)))}}, "AND")),
                 QStringList({"1", "4"}));
        QCOMPARE(log.lidsOf(logfilter::whereClause({{"4", "=", "nobody"}}, "AND")), QStringList());
    }

    void modelPagesTheViewInOrder()
    {
        LogFolder log;
        QList<QMap<QString, QString>> rows;
        const int n = 2 * LogModel::PageSize + 7;
        // Written newest first, so the window's order is not the order of the keys.
        for (int i = 0; i < n; ++i)
            rows.append({{"DateTime", QString("2026-03-01 %1:00:00").arg(n - i, 4, 10, QChar('0'))},
                         {"MailerNum", QString::number(i)},
                         {"ToAddress1", i % 3 == 0 ? "Ann" : "Bob"}});
        log.add(rows);
        TdmDovraPro& dm = log.dm;
        LogModel model(dm.adsqLog);
        model.setFolder(log.folder);
        model.setWhere(QString());
        QCOMPARE(model.rowCount(), n);
        QCOMPARE(model.columnCount(), 5);
        QCOMPARE(model.headerData(3, Qt::Horizontal).toString(), QString("From"));
        QCOMPARE(model.headerData(4, Qt::Horizontal).toString(), QString("Result"));
        QCOMPARE(model.lid(0), qint64(n));
        QCOMPARE(model.lid(n - 1), qint64(1));
        QCOMPARE(model.field(LogModel::PageSize, "mailernum"), QString::number(n - 1 - LogModel::PageSize));
        QCOMPARE(model.data(model.index(n - 1, 2)).toString(), QString("Ann"));
        QCOMPARE(model.field(n, "LID"), QString());
        QCOMPARE(model.field(0, "Batch"), QString("False"));
        // The index on DateTime serves the order.
        QVERIFY(indexesOf(log.folder + "/Log37.adt").contains("Log37_DateTime"));

        model.setWhere(logfilter::whereClause({{"4", "=", "Ann"}}, "AND"));
        QCOMPARE(model.rowCount(), (n + 2) / 3);
        QCOMPARE(model.field(0, "ToAddress1"), QString("Ann"));
        QCOMPARE(model.selectSql(), logfilter::logSelectSql(model.where()));
        // Its delete statement takes exactly the rows shown.
        engine::Query del;
        del.setFolder(log.folder.toStdString());
        del.setSql(model.deleteSql().toStdString());
        QCOMPARE(del.execSql(), (n + 2) / 3);
        QCOMPARE(log.lidsOf(logfilter::whereClause({{"4", "=", "Ann"}}, "AND")), QStringList());
        QCOMPARE(log.lidsOf(QString()).size(), n - (n + 2) / 3);
    }

    // Rows found by number test the start row first; by name the search starts after it,
    // wraps past the last row and never tests the start row.
    void findRowWrapsAndStops()
    {
        LogFolder log;
        log.add({{{"ToAddress1", "Ann"}, {"MailerNum", "9214 7123 4567 8900 0004 15"}, {"DateTime", timeAt(1)}},
                 {{"ToAddress1", "Bob"}, {"MailerNum", "9214 7123 4567 8900 0001"}, {"DateTime", timeAt(2)}},
                 {{"ToCity", "Annapolis"}, {"DateTime", timeAt(3)}},
                 {{"ToAddress1", "ann"}, {"DateTime", timeAt(4)}}});
        LogModel model(log.dm.adsqLog);
        model.setFolder(log.folder);
        model.setWhere(QString());
        const QString ann = logmailers::nameCondition("Ann");
        QCOMPARE(model.findRow(0, ann, false), std::optional<int>(2));
        QCOMPARE(model.findRow(2, ann, false), std::optional<int>(0)); // wraps, case counts
        QCOMPARE(model.findRow(1, logmailers::nameCondition("Bob"), false), std::optional<int>());
        QCOMPARE(model.findRow(1, logmailers::numberCondition("92147123456789000001"), true), std::optional<int>(1));
        QCOMPARE(model.findRow(3, logmailers::numberCondition("9214712345678900000415"), true), std::optional<int>(0));
        QCOMPARE(model.findRow(0, logmailers::numberCondition("92147123456789000009"), true), std::optional<int>());
        QCOMPARE(model.findRow(0, logmailers::nameCondition("x') or ('1'='1"), false), std::optional<int>());
    }

    // Past the rows the window judges a search by, the model reaches the rows by three roads:
    // walking the date index while it grows (a search most rows meet), by keys read in order
    // (a search few rows meet, or an order no index serves), and counted (a narrow date
    // range). Each shows the rows a plain query gives, in order, and finds rows in them.
    void searchesOfALargeLogShowTheRowsInOrder_data()
    {
        QTest::addColumn<QString>("search");
        QTest::addColumn<QString>("from");
        QTest::addColumn<int>("column");
        QTest::addColumn<bool>("descending");
        QTest::addColumn<QString>("expected"); // the plain query's condition and order
        QTest::newRow("most rows, date order") << "acme"
                                               << "" << 0 << false << "RE like '%acme%' order by DateTime, LID";
        QTest::newRow("most rows, newest first")
            << "ACME"
            << "" << 0 << true << "RE like '%acme%' order by DateTime desc, LID desc";
        QTest::newRow("few rows") << "zed"
                                  << "" << 0 << false << "ToAddress1 like '%zed%' order by DateTime, LID";
        QTest::newRow("few rows, newest first")
            << "zed"
            << "" << 0 << true << "ToAddress1 like '%zed%' order by DateTime desc, LID desc";
        QTest::newRow("narrow dates") << "acme"
                                      << "2025-11-20" << 0 << false
                                      << "RE like '%acme%' and DateTime >= '2025-11-20' order by DateTime, LID";
        QTest::newRow("by recipient, descending")
            << "acme"
            << "" << 2 << true << "RE like '%acme%' order by ToAddress1 desc, LID desc";
        QTest::newRow("by result, no search") << ""
                                              << "" << 4 << false << "1 order by Result, LID";
    }
    void searchesOfALargeLogShowTheRowsInOrder()
    {
        QFETCH(QString, search);
        QFETCH(QString, from);
        QFETCH(int, column);
        QFETCH(bool, descending);
        QFETCH(QString, expected);
        LogFolder log;
        const int n = LogModel::ProbeRows + 5000;
        // Dates that do not follow the keys, the last few days from 2025-11-20; every
        // other row "acme"; one in five thousand "Zed".
        engine::Query fill;
        fill.setFolder(log.folder.toStdString());
        fill.setSql(QString("insert into Log37 (DateTime, ToAddress1, RE, Result, Batch) with recursive c(i) as "
                            "(select 0 union all select i + 1 from c where i < %1) select "
                            "case when i %% 997 = 5 then null else datetime('2025-11-01', '+' || ((i * 7919) %% %2) || "
                            "' minutes') end, case when i %% 5000 = 7 then 'Zed ' || i else 'Name ' || (i %% 613) end, "
                            "case when i %% 2 = 0 then 'acme ' || i end, case i %% 3 when 0 then 'None' when 1 then "
                            "'Received - Signed' end, 0 from c")
                        .arg(n - 1)
                        .arg(n * 4)
                        .replace("%%", "%")
                        .toStdString());
        fill.execSql();
        fill.disconnect();
        LogModel model(log.dm.adsqLog);
        model.setFolder(log.folder);
        model.setWhere(QString());
        model.setSearch(search);
        model.setDateRange(from.isEmpty() ? QDate() : QDate::fromString(from, Qt::ISODate), QDate());
        model.sort(column, descending ? Qt::DescendingOrder : Qt::AscendingOrder);
        const QStringList want = log.column("select LID from Log37 where " + expected);
        QVERIFY(want.size() > 1);
        QCOMPARE(model.totalRows(), int(want.size()));
        // The grid reads on as it scrolls.
        while (model.canFetchMore(QModelIndex()))
            model.fetchMore(QModelIndex());
        QStringList shown;
        for (int row = 0; row < model.rowCount(); ++row)
            shown << QString::number(model.lid(row));
        QCOMPARE(shown, want);
        // The same view, the grid not scrolled: a row found far down can be reached at once.
        model.setSearch(search);
        const QString last = want.last();
        const auto found = model.findRow(0, "LID = " + last, false);
        QCOMPARE(found, std::optional<int>(int(want.size()) - 1));
        QCOMPARE(QString::number(model.lid(*found)), last);
        QCOMPARE(model.findRow(int(want.size()) - 1, "LID = " + want.first(), false), std::optional<int>(0));
    }

    // A search few rows meet is read along the date index a slice at a time, on idle turns:
    // the rows arrive in the view's order, each addition extending what was shown, and end as
    // the rows a plain query gives. Undated rows come first (last when newest first); days
    // chosen leave them out; a filter narrows within the slices.
    void searchReadInSlicesShowsThePlainQuerysRows_data()
    {
        QTest::addColumn<QString>("search");
        QTest::addColumn<QString>("where");
        QTest::addColumn<QString>("from");
        QTest::addColumn<bool>("descending");
        QTest::addColumn<QString>("expected"); // the plain query's condition and order
        const QString name17 = "ToAddress1 like '%name 17%'";
        QTest::newRow("oldest first") << "Name 17"
                                      << ""
                                      << "" << false << name17 + " order by DateTime, LID";
        QTest::newRow("newest first") << "name 17"
                                      << ""
                                      << "" << true << name17 + " order by DateTime desc, LID desc";
        QTest::newRow("from a day") << "Name 17"
                                    << ""
                                    << "2025-11-05" << false
                                    << name17 + " and DateTime >= '2025-11-05' order by DateTime, LID";
        QTest::newRow("from a day, newest first")
            << "Name 17"
            << ""
            << "2025-11-05" << true << name17 + " and DateTime >= '2025-11-05' order by DateTime desc, LID desc";
        QTest::newRow("within a filter") << "Name 17"
                                         << "Result = 'None'"
                                         << "" << false << name17 + " and Result = 'None' order by DateTime, LID";
        QTest::newRow("two rows") << "zed"
                                  << ""
                                  << "" << true << "RE like '%zed%' order by DateTime desc, LID desc";
        QTest::newRow("none") << "no such name"
                              << ""
                              << "" << false << "0";
    }
    void searchReadInSlicesShowsThePlainQuerysRows()
    {
        QFETCH(QString, search);
        QFETCH(QString, where);
        QFETCH(QString, from);
        QFETCH(bool, descending);
        QFETCH(QString, expected);
        LogFolder log;
        // Dates that do not follow the keys, one row in seven without a date; one row in 55
        // is a "Name 17..", two are "zed".
        const int n = 12000;
        engine::Query fill;
        fill.setFolder(log.folder.toStdString());
        fill.setSql(QString("insert into Log37 (DateTime, ToAddress1, RE, Result, Batch) with recursive c(i) as "
                            "(select 0 union all select i + 1 from c where i < %1) select case when i %% 7 = 3 then "
                            "null else datetime('2025-11-01', '+' || ((i * 7919) %% %2) || ' minutes') end, "
                            "'Name ' || (i %% 613), case when i %% 3000 = 7 then 'zed ' || i end, case i %% 2 when 0 "
                            "then 'None' else 'Received - Signed' end, 0 from c")
                        .arg(n - 1)
                        .arg(n * 3)
                        .replace("%%", "%")
                        .toStdString());
        fill.execSql();
        fill.disconnect();
        const QStringList want = log.column("select LID from Log37 where " + expected);
        LogModel model(log.dm.adsqLog);
        model.setFolder(log.folder);
        model.setSliceRows(53);
        model.setWhere(where);
        model.sort(0, descending ? Qt::DescendingOrder : Qt::AscendingOrder);
        model.setDateRange(from.isEmpty() ? QDate() : QDate::fromString(from, Qt::ISODate), QDate());
        auto shown = [&model] {
            QStringList lids;
            for (int row = 0; row < model.rowCount(); ++row)
                lids << QString::number(model.lid(row));
            return lids;
        };
        QList<QStringList> seen;
        connect(&model, &LogModel::scanProgressed, this, [&] { seen << shown(); });
        model.setSearch(search);
        QVERIFY(model.scanning());
        QVERIFY(!model.canFetchMore(QModelIndex()));
        QTRY_VERIFY(!model.scanning());
        QCOMPARE(shown(), want);
        QVERIFY(seen.size() > 10);
        for (const QStringList& part : seen)
            QCOMPARE(want.mid(0, part.size()), part);
        if (want.size() > 1)
            QVERIFY(std::any_of(seen.begin(), seen.end(),
                                [&](const QStringList& part) { return !part.isEmpty() && part.size() < want.size(); }));

        // Asked for every row mid-way, the model reads the rest first; a new search
        // drops the one still being read.
        model.setSearch("Name 55");
        model.setSearch(search);
        QCOMPARE(model.totalRows(), int(want.size()));
        QVERIFY(!model.scanning());
        QCOMPARE(shown(), want);
    }

    // The spreadsheet file: fields quoted as RFC 4180 has them, fees as numbers; a stopped
    // export leaves a file of that name as it was and nothing beside it.
    void spreadsheetFieldsAndAStoppedExport()
    {
        QCOMPARE(logcsv::field("plain"), QString("plain"));
        QCOMPARE(logcsv::field("Acme, Inc."), QString("\"Acme, Inc.\""));
        QCOMPARE(logcsv::field("He said \"hi\""), QString("\"He said \"\"hi\"\"\""));
        QCOMPARE(logcsv::field("two\nlines"), QString("\"two\nlines\""));
        QCOMPARE(logcsv::feeNumber("4.85"), QString("4.85"));
        QCOMPARE(logcsv::feeNumber("$4.85"), QString("4.85"));
        QCOMPARE(logcsv::feeNumber(" 10.5"), QString("10.50"));
        QCOMPARE(logcsv::feeNumber(".39"), QString("0.39"));
        QCOMPARE(logcsv::feeNumber(" "), QString());
        QCOMPARE(logcsv::feeNumber("n/a"), QString("n/a"));

        LogFolder log;
        log.add({{{"ToAddress1", "Ann"}}, {{"ToAddress1", "Bob"}}});
        const QString path = log.home.path() + "/log.csv";
        QFile old(path);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("old");
        old.close();
        const LogRowSelection rows{log.folder, QString(), "LID"};
        QCOMPARE(logcsv::exportRows(rows, path, [](qint64) { return false; }), qint64(-1));
        QFile kept(path);
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QCOMPARE(kept.readAll(), QByteArray("old"));
        QCOMPARE(QDir(log.home.path()).entryList({"log.csv*"}, QDir::Files | QDir::Hidden), QStringList{"log.csv"});
        QCOMPARE(logcsv::exportRows(rows, path), qint64(2));
    }

    void mailerNumbersTypedOrScanned_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("digits");
        QTest::newRow("20 digits") << "92147123456789000001"
                                   << "92147123456789000001";
        QTest::newRow("20 in groups") << "9214 7123 4567 8900 0001"
                                      << "92147123456789000001";
        QTest::newRow("22 digits") << "9214712345678900000415"
                                   << "9214712345678900000415";
        QTest::newRow("22 in groups") << " 9214 7123 4567 8900 0004 15 "
                                      << "9214712345678900000415";
        QTest::newRow("21 digits") << "921471234567890000041"
                                   << "";
        QTest::newRow("letter") << "9214712345678900000A"
                                << "";
        QTest::newRow("sign") << "+9214712345678900000"
                              << "";
    }
    void mailerNumbersTypedOrScanned()
    {
        QFETCH(QString, typed);
        QFETCH(QString, digits);
        QCOMPARE(logmailers::mailerNumberDigits(typed).value_or(QString()), digits);
    }

    void formatEditFee_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("total");
        // The other three fees are 2.40, 1.85 and blank.
        QTest::newRow("number") << "0.5" << MoneyText(0.5) << MoneyText(4.75);
        QTest::newRow("zero") << "0" << MoneyText(0) << MoneyText(4.25);
        QTest::newRow("blank") << ""
                               << " " << MoneyText(4.25);
        QTest::newRow("letters") << "abc"
                                 << " " << MoneyText(4.25);
        QTest::newRow("negative") << "-1"
                                  << " " << MoneyText(3.25);
    }
    void formatEditFee()
    {
        QFETCH(QString, field);
        QFETCH(QString, shown);
        QFETCH(QString, total);
        const auto out = logmailers::FormatEditFee(field, {field, "2.40", "1.85", ""});
        QCOMPARE(out.field, shown);
        QCOMPARE(out.total, total);
    }

    void editAndTrackStatements()
    {
        const logmailers::MailerEdit edit{"0.39", "2.40", "", "abc", true, "it's", "Received"};
        QCOMPARE(logmailers::editMailerSql(edit, 7),
                 QString("update Log37 set POSTAGE = '0.39', CERTIFIED = '2.40', RETURN = '', RESTRICTED = 'abc', "
                         "WISHREST = True, COMMENT = 'it''s', RESULT = 'Received', TOTAL = '2.79' where LID = 7"));
        QCOMPARE(logmailers::trackByNumberSql("92147123456789000001"),
                 QString("select LID, ToAddress1 from Log37 where (replace(MailerNum, ' ', '') = "
                         "'92147123456789000001') and Result = 'None'"));
        QCOMPARE(
            logmailers::trackByNameSql("O'B"),
            QString("select LID, MailerNum, ToAddress1, ToAddress2, ToAddress3, ToAddress4, ToCity, ToState, ToZip "
                    "from Log37 where ((ToAddress1 like '%O''B%') or (ToAddress2 like '%O''B%') or (ToAddress3 "
                    "like '%O''B%') or (ToAddress4 like '%O''B%') or (ToCity like '%O''B%') or (ToState like "
                    "'%O''B%') or (ToZip like '%O''B%')) and Result = 'None'"));
    }
};

QTEST_GUILESS_MAIN(TestLogFilter)
#include "test_logfilter.moc"
