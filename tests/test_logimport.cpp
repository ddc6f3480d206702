// Imports of earlier editions' logs: the mapping rules, each source made here (a dBASE III
// file, a Pro 2.5 table, a Log37 elsewhere) imported into the real Log37 and read back, the
// faults of damaged sources, and the three commands of the main window.
#include "app/TF_Main.h"
#include "core/datamodule/Schemas.h"
#include "engine/Engine.h"
#include "engine/Query.h"
#include "engine/Table.h"
#include "log/LogImport.h"
#include "log/TrackingPage.h"
#include "log/TzDbfReport.h"
#include "tests/support/DbaseWriter.h"
#include "tests/support/TestSupport.h"
#include "widgets/Services.h"

#include <QAction>
#include <QDesktopServices>
#include <QProcess>
#include <QThread>
#include <QtTest>
#include <csignal>
#include <sqlite3.h>

namespace {

using testsupport::DbfField;
using testsupport::DbfRecord;
using testsupport::LogRow;
using testsupport::logRows;
using testsupport::shownMessageTexts;

// The named columns of a row.
LogRow columns(const LogRow& row, const QStringList& names)
{
    LogRow picked;
    for (const QString& name : names)
        picked.insert(name, row.value(name, "<missing>"));
    return picked;
}

// A program folder with its log table, and the folder's settings.
struct LogFixture {
    LogFixture()
    {
        QDir().mkpath(logFolder());
        engine::createTable(toStd(logFolder()), "Log37", schema::Log37);
    }
    QString logFolder() const { return program.home.path() + "/Log"; }
    QString file(const QString& name) const { return program.home.file(name); }
    QList<LogRow> rows() const { return logRows(logFolder()); }
    int import(LogImportSource& source) { return ImportLogRows(source, program.settings); }

    testsupport::ProgramFixture program;
};

DbfRecord report3(const QByteArray& name, const QByteArray& number, const QByteArray& date = "20030405",
                  bool deleted = false)
{
    return {{{"sentname0", name},
             {"sentname1", "4 Elm St"},
             {"city", "Dover"},
             {"state", "DE"},
             {"zip", "19901"},
             {"rdate", date},
             {"mailernum", number},
             {"postage", "0.37"},
             {"certified", "2.30"},
             {"return", "1.75"},
             {"total", "4.42"},
             {"comments", "Late notice"},
             {"re", "Lease 7"}},
            deleted};
}

QString writeDbase(const QString& folder, const QByteArray& bytes)
{
    const QString path = folder + "/report3.dbf";
    if (!testsupport::writeBytes(path, bytes))
        return QString();
    return path;
}

// The earlier edition's LOG table (file log.adt) with the given rows, each a map of column
// to text.
const char* const kPro25Definition =
    "DateTime,TimeStamp; MailerNum,Char,30; SendAddress0,Char,50; SendAddress1,Char,50; SendAddress2,Char,50; "
    "SendAddress3,Char,50; SendCity,Char,35; SendState,Char,4; SendZip,Char,10; FromAddress0,Char,50; "
    "FromAddress1,Char,50; FromAddress2,Char,50; FromAddress3,Char,50; FromAddress4,Char,50; Postage,Char,15; "
    "Certified,Char,15; Special,Char,15; Restricted,Char,15; Return,Char,15; Total,Char,15; Department,Char,30; "
    "ProcessedBy,Char,30; RE,Char,40; Comment,Char,50; WishRest,Char,1; Batch,Char,1; Received,Char,1;";

void writePro25Log(const QString& folder, const QString& definition, const QList<QMap<QString, QString>>& rows)
{
    QDir().mkpath(folder);
    engine::createTable(toStd(folder), "LOG", toStd(definition));
    QFile::rename(folder + "/LOG.adt", folder + "/log.adt");
    engine::Table t;
    t.setFolder(toStd(folder));
    t.setTableName("LOG");
    t.open();
    for (const auto& row : rows) {
        t.append();
        for (auto it = row.begin(); it != row.end(); ++it)
            t.setText(toStd(it.key()), toStd(it.value()));
        t.post();
    }
    t.close();
}

QMap<QString, QString> pro25Row(const QString& number, const QString& received)
{
    return {{"DateTime", "2001-02-03 04:05:06"},
            {"MailerNum", "  " + number + "  "},
            {"SendAddress0", "Jane Roe"},
            {"SendAddress1", "4 Elm St"},
            {"SendCity", "Dover"},
            {"SendState", "DE"},
            {"SendZip", "19901"},
            {"FromAddress0", "Acme Inc"},
            {"FromAddress1", "1 Main St"},
            {"FromAddress2", "Springfield, IL 62704"},
            {"Postage", " 0.37"},
            {"Certified", "2.30 "},
            {"Total", "4.42"},
            {"Department", "Legal department of the firm"},
            {"ProcessedBy", "kb"},
            {"RE", "Lease 7"},
            {"Comment", "Second notice"},
            {"WishRest", "X"},
            {"Batch", "x"},
            {"Received", received}};
}

} // namespace

class TestLogImport : public QObject {
    Q_OBJECT
private slots:
    void init();

    void numbers_data();
    void numbers();
    void senderSplit_data();
    void senderSplit();

    void dbaseRowsAreImported();
    void damagedDbaseFilesAreRefused_data();
    void damagedDbaseFilesAreRefused();
    void dbaseWithMemoFieldIsRead();
    void dateThatDoesNotReadStopsTheImport_data();
    void dateThatDoesNotReadStopsTheImport();
    void importsRunInBatchesWithProgress();
    void rowThatCannotBeStoredIsSkipped();
    void killedImportIsAllOrNothing_data();
    void killedImportIsAllOrNothing();
    void stoppedImportLeftoversAtStart_data();
    void stoppedImportLeftoversAtStart();

    void pro25RowsAreImported();
    void pro25MissingColumnIsInvalid();
    void pro3RowsAreCopied();
    void ownLogAsSourceIsReadOnce();

    void commandsCheckTheChosenFile_data();
    void commandsCheckTheChosenFile();
    void commandImportsTwiceWhenAskedTwice();
    void trackItemOpensTheTrackingPage();
};

void TestLogImport::init()
{
    MessageService::setScripted(true);
    MessageService::clearShown();
    FileDialogService::setScripted(true);
    FileDialogService::clearRequests();
}

void TestLogImport::numbers_data()
{
    QTest::addColumn<QString>("number");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("custId");
    QTest::addColumn<int>("serial"); // -1: none
    QTest::newRow("20 digits grouped") << "12345678901234567890"
                                       << "1234 5678 9012 3456 7890"
                                       << "" << -1;
    QTest::newRow("22 digits 92071") << "9207112345678900000415"
                                     << "9207112345678900000415"
                                     << "12-345-6789" << 41;
    QTest::newRow("22 digits other prefix") << "9214712345678900000415"
                                            << "9214712345678900000415"
                                            << "" << -1;
    QTest::newRow("92071 with letters") << "920711234X678900A00415"
                                        << "920711234X678900A00415"
                                        << "" << -1;
    QTest::newRow("21 digits") << "920711234567890000041"
                               << "920711234567890000041"
                               << "" << -1;
    QTest::newRow("empty") << ""
                           << ""
                           << "" << -1;
}

void TestLogImport::numbers()
{
    QFETCH(QString, number);
    QFETCH(QString, stored);
    QFETCH(QString, custId);
    QFETCH(int, serial);
    QCOMPARE(GroupImportedMailerNumber(number), stored);
    const LongNumberParts parts = PartsOfLongNumber(number);
    QCOMPARE(parts.custId, custId);
    QCOMPARE(parts.serial.value_or(-1), serial);
}

void TestLogImport::senderSplit_data()
{
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QStringList>("address");
    QTest::addColumn<QStringList>("cityStateZip");
    QTest::newRow("three lines") << QStringList{"Acme Inc", "1 Main St", "Springfield, IL 62704", "", ""}
                                 << QStringList{"Acme Inc", "1 Main St", "", ""}
                                 << QStringList{"Springfield", "IL", "62704"};
    QTest::newRow("nine-digit ZIP") << QStringList{"Acme Inc", "Springfield, IL 62704-1234", "", "", ""}
                                    << QStringList{"Acme Inc", "", "", ""}
                                    << QStringList{"Springfield", "IL", "62704-1234"};
    QTest::newRow("no ZIP") << QStringList{"Acme Inc", "Springfield IL", "", "", ""}
                            << QStringList{"Acme Inc", "", "", ""} << QStringList{"Springfield", "IL", ""};
    QTest::newRow("city alone") << QStringList{"Springfield", "", "", "", ""} << QStringList{"", "", "", ""}
                                << QStringList{"Springfield", "", ""};
    QTest::newRow("lines after a gap stay")
        << QStringList{"Acme Inc", "Dover DE 19901", "", "Attn: Ann", "x"}
        << QStringList{"Acme Inc", "", "", "Attn: Ann"} << QStringList{"Dover", "DE", "19901"};
    QTest::newRow("all five, fifth is the city")
        << QStringList{"A", "B", "C", "D", "New York NY 10001"} << QStringList{"A", "B", "C", "D"}
        << QStringList{"New York", "NY", "10001"};
    QTest::newRow("first empty: no city")
        << QStringList{"", "Acme Inc", "", "", ""} << QStringList{"", "Acme Inc", "", ""} << QStringList{"", "", ""};
    QTest::newRow("bad ZIP kept in the city")
        << QStringList{"Acme", "Springfield IL 627", "", "", ""} << QStringList{"Acme", "", "", ""}
        << QStringList{"Springfield IL", "627", ""};
    QTest::newRow("long word is no state")
        << QStringList{"Acme", "Salt Lake City 84101", "", "", ""} << QStringList{"Acme", "", "", ""}
        << QStringList{"Salt Lake", "City", "84101"};
}

void TestLogImport::senderSplit()
{
    QFETCH(QStringList, lines);
    QFETCH(QStringList, address);
    QFETCH(QStringList, cityStateZip);
    const SenderSplit split = SplitSenderLines({lines[0], lines[1], lines[2], lines[3], lines[4]});
    QCOMPARE((QStringList{split.address[0], split.address[1], split.address[2], split.address[3]}), address);
    QCOMPARE((QStringList{split.city, split.state, split.zip}), cityStateZip);
}

void TestLogImport::dbaseRowsAreImported()
{
    LogFixture f;
    // "M\x81ller" and "Caf\x82" are Müller and Café in code page 437.
    const QString path =
        writeDbase(f.program.home.path(),
                   testsupport::dbaseFile(testsupport::report3Fields(),
                                          {report3("Hans M\x81ller", "12345678901234567890"),
                                           report3("Caf\x82 Roma", "9207112345678900000415", "19991231", true),
                                           report3("Jane Roe", "9214712345678900000415", "20030405")}));
    QVERIFY(!path.isEmpty());
    const auto source = OpenDbaseLog(path);
    QCOMPARE(source->rowCount(), 3);
    QCOMPARE(f.import(*source), 3);

    const QList<LogRow> rows = f.rows();
    QCOMPARE(rows.size(), 3);
    QCOMPARE(rows[0], (LogRow{{"LID", "1"},
                              {"DateTime", "2003-04-05 00:00:00"},
                              {"MailerNum", "1234 5678 9012 3456 7890"},
                              {"CustID", "<null>"},
                              {"SerialNum", "<null>"},
                              {"ToAddress1", "Hans Müller"},
                              {"ToAddress2", "4 Elm St"},
                              {"ToAddress3", ""},
                              {"ToAddress4", ""},
                              {"ToCity", "Dover"},
                              {"ToState", "DE"},
                              {"ToZip", "19901"},
                              {"Postage", "0.37"},
                              {"Certified", "2.30"},
                              {"Return", "1.75"},
                              {"Restricted", ""},
                              {"Total", "4.42"},
                              {"RE", "Lease 7"},
                              {"Comment", "Late notice"},
                              // Not set from a dBASE log: the tracking window does not find these rows.
                              {"YourAddress1", "<null>"},
                              {"YourAddress2", "<null>"},
                              {"YourAddress3", "<null>"},
                              {"YourAddress4", "<null>"},
                              {"YourCity", "<null>"},
                              {"YourState", "<null>"},
                              {"YourZip", "<null>"},
                              {"Department", "<null>"},
                              {"ProcessedBy", "<null>"},
                              {"WishRest", "<null>"},
                              {"Batch", "<null>"},
                              {"Result", "<null>"}}));
    // The deleted record is imported like the others.
    const QStringList some{"ToAddress1", "DateTime", "MailerNum", "CustID", "SerialNum"};
    QCOMPARE(columns(rows[1], some), (LogRow{{"ToAddress1", "Café Roma"},
                                             {"DateTime", "1999-12-31 00:00:00"},
                                             {"MailerNum", "9207112345678900000415"},
                                             {"CustID", "12-345-6789"},
                                             {"SerialNum", "41"}}));
    QCOMPARE(columns(rows[2], some), (LogRow{{"ToAddress1", "Jane Roe"},
                                             {"DateTime", "2003-04-05 00:00:00"},
                                             {"MailerNum", "9214712345678900000415"},
                                             {"CustID", "<null>"},
                                             {"SerialNum", "<null>"}}));
}

void TestLogImport::damagedDbaseFilesAreRefused_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("fault");
    const QByteArray good =
        testsupport::dbaseFile(testsupport::report3Fields(), {report3("A", "1"), report3("B", "2"), report3("C", "3")});
    QByteArray cut = good;
    cut.chop(200);
    QTest::newRow("truncated") << cut << "it is cut short: it holds 2 of its 3 records";
    QTest::newRow("cut in the header") << good.left(100) << "it ends inside its header";
    QTest::newRow("shorter than a header") << good.left(10) << "it is shorter than a table header";
    QByteArray foxPro = good;
    foxPro[0] = char(0x30);
    QTest::newRow("another version") << foxPro << "its header is not that of a dBASE III table";
    QTest::newRow("text file") << QByteArray("name,city\nAnn,Dover\n").leftJustified(80, ' ')
                               << "its header is not that of a dBASE III table";
    QByteArray widths = good;
    widths[10] = char(widths[10] + 1);
    QTest::newRow("record length") << widths << "its field widths do not add up to its record length";
    QByteArray header = good;
    header[8] = char(8);
    header[9] = 0;
    QTest::newRow("header length") << header << "its header gives impossible lengths";
    QByteArray noEnd = good;
    noEnd[32 + 32 * 16] = 'X';
    QTest::newRow("field list not ended") << noEnd << "its field list is damaged";
}

void TestLogImport::damagedDbaseFilesAreRefused()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, fault);
    LogFixture f;
    const QString path = writeDbase(f.program.home.path(), bytes);
    try {
        OpenDbaseLog(path);
        QFAIL("the damaged file was read");
    } catch (const DbfError& e) {
        QCOMPARE(QString::fromUtf8(e.what()),
                 QString("The file %1 cannot be read as a dBASE III table: %2.").arg(path, fault));
    }
    QVERIFY(f.rows().isEmpty());
}

void TestLogImport::dbaseWithMemoFieldIsRead()
{
    LogFixture f;
    QList<DbfField> fields = testsupport::report3Fields();
    fields.insert(3, {"notes", 'M', 10});
    DbfRecord record = report3("Ann Lee", "12345678901234567890");
    record.values.insert("notes", "1");
    const QString path =
        writeDbase(f.program.home.path(), testsupport::dbaseFile(fields, {record}, testsupport::kDbase3WithMemo));
    const auto source = OpenDbaseLog(path);
    QCOMPARE(f.import(*source), 1);
    QCOMPARE(f.rows().first()["ToAddress1"], QString("Ann Lee"));
}

void TestLogImport::dateThatDoesNotReadStopsTheImport_data()
{
    QTest::addColumn<QByteArray>("date");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("no date") << QByteArray("20031341");
    QTest::newRow("letters") << QByteArray("yesterda");
}

// Nothing of an import that stops at a bad record is stored, not even the rows before it;
// the message says so.
void TestLogImport::dateThatDoesNotReadStopsTheImport()
{
    QFETCH(QByteArray, date);
    LogFixture f;
    QList<DbfRecord> records;
    for (int i = 0; i < 1200; ++i)
        records << report3("Row " + QByteArray::number(i), "12345678901234567890");
    records << report3("Bad", "1", date) << report3("After", "1");
    const auto source =
        OpenDbaseLog(writeDbase(f.program.home.path(), testsupport::dbaseFile(testsupport::report3Fields(), records)));
    try {
        f.import(*source);
        QFAIL("the import went on past the bad date");
    } catch (const ImportStoppedError& e) {
        QVERIFY2(QString(e.what()).startsWith(QString("'%1' is not a valid date (record 1201)").arg(QString(date))),
                 e.what());
        QVERIFY2(
            QString(e.what()).endsWith("The import stopped; none of its records have been imported to your Log file."),
            e.what());
    }
    QCOMPARE(f.rows().size(), 0);
    // The log is free at once for another workstation's mailer.
    sqlite3* other = nullptr;
    QCOMPARE(sqlite3_open(qPrintable(f.logFolder() + "/Log37.adt"), &other), SQLITE_OK);
    const int written =
        sqlite3_exec(other, "insert into Log37 (MailerNum) values ('other')", nullptr, nullptr, nullptr);
    sqlite3_close(other);
    QCOMPARE(written, SQLITE_OK);
    QCOMPARE(f.rows().size(), 1);
    // Nothing is left for the next start to report.
    QCOMPARE(TakeStoppedLogImport(f.logFolder()), QString());
    QCOMPARE(QDir(f.logFolder()).entryList(QDir::Files), QStringList({"Log37.adt"}));
}

// A source bigger than one batch: progress after each batch, every row stored once.
void TestLogImport::importsRunInBatchesWithProgress()
{
    LogFixture f;
    QList<DbfRecord> records;
    for (int i = 0; i < 2500; ++i)
        records << report3("Row " + QByteArray::number(i), "12345678901234567890");
    const auto source =
        OpenDbaseLog(writeDbase(f.program.home.path(), testsupport::dbaseFile(testsupport::report3Fields(), records)));
    QList<int> reported;
    QCOMPARE(ImportLogRows(*source, f.program.settings,
                           [&](int read, int total) {
                               QCOMPARE(total, 2500);
                               reported << read;
                           }),
             2500);
    QCOMPARE(reported, (QList<int>{1000, 2000, 2500}));
    QCOMPARE(f.rows().size(), 2500);
}

// The log refuses one row (here a rule of the table, as a unique index would): that row is
// left out and not counted, the rows around it in the same batch are stored.
void TestLogImport::rowThatCannotBeStoredIsSkipped()
{
    LogFixture f;
    engine::Query q;
    q.setFolder(toStd(f.logFolder()));
    q.setSql("select count(*) from Log37");
    q.open();
    q.close();
    q.setSql("create trigger Log37.NoRefused before insert on Log37 when new.ToAddress1 = 'Refused' "
             "begin select raise(abort, 'refused'); end");
    q.execSql();
    q.disconnect();
    const QString path = writeDbase(
        f.program.home.path(), testsupport::dbaseFile(testsupport::report3Fields(),
                                                      {report3("A", "1"), report3("Refused", "2"), report3("C", "3")}));
    const auto source = OpenDbaseLog(path);
    QCOMPARE(f.import(*source), 2);
    const QList<LogRow> rows = f.rows();
    QCOMPARE(rows.size(), 2);
    QCOMPARE(rows[0]["ToAddress1"], QString("A"));
    QCOMPARE(rows[1]["ToAddress1"], QString("C"));
}

namespace {

constexpr int kBigLog = 30000;

// An earlier edition's log of kBigLog mailers, each with a number of its own.
QString writeBigDbase(const QString& folder)
{
    const QList<DbfField> fields = testsupport::report3Fields();
    QByteArray bytes = testsupport::dbaseHeader(fields, kBigLog);
    for (int i = 0; i < kBigLog; ++i)
        bytes +=
            testsupport::dbaseRecord(fields, report3("Row " + QByteArray::number(i),
                                                     "92071123456789" + QByteArray::number(i).rightJustified(8, '0')));
    bytes += testsupport::dbaseEnd();
    return writeDbase(folder, bytes);
}

int countOf(const QString& folder, const QString& sql)
{
    engine::Query q;
    q.setFolder(toStd(folder));
    q.setSql(toStd(sql));
    q.open();
    return int(q.asInteger(q.fieldName(0)));
}

const QString kNoneStored = "None of its records have been stored; import that log again to add them.";
const QString kAllStored = "Do not import that log again: its mailers are in your Log file.";

} // namespace

void TestLogImport::killedImportIsAllOrNothing_data()
{
    QTest::addColumn<int>("killAfterRead"); // the progress line after which the import is killed
    QTest::addColumn<int>("delayMs");       // and how long after it
    QTest::newRow("first rows read") << 1000 << 0;
    QTest::newRow("half read") << kBigLog / 2 << 0;
    QTest::newRow("every row read") << kBigLog << 0;
    QTest::newRow("storing, 10 ms on") << kBigLog << 10;
    QTest::newRow("storing, 40 ms on") << kBigLog << 40;
    QTest::newRow("storing, 120 ms on") << kBigLog << 120;
    QTest::newRow("storing, 300 ms on") << kBigLog << 300;
    QTest::newRow("storing, 600 ms on") << kBigLog << 600;
}

// A second process imports a big log and is killed with SIGKILL part-way. The next start of
// the program says what became of the import; the log holds none of the rows or all of
// them; importing again as the message advises leaves every mailer in the log once.
void TestLogImport::killedImportIsAllOrNothing()
{
    QFETCH(int, killAfterRead);
    QFETCH(int, delayMs);
    testsupport::TempProgramFolder home;
    testsupport::prepareReadyProgramFolder(home.path());
    const QString log = home.path() + "/Log";
    {
        TdmDovraPro dm;
        TF_Main first;
    }
    QDir().mkpath(home.file("Reports"));
    const QString dbf = writeBigDbase(home.file("Reports"));

    QProcess worker;
    worker.start(testsupport::binDir() + "/import_worker", {home.path(), dbf});
    QVERIFY(worker.waitForStarted());
    const QByteArray killLine = "read " + QByteArray::number(killAfterRead);
    bool killed = false;
    while (!killed && worker.state() == QProcess::Running) {
        worker.waitForReadyRead(200);
        while (worker.canReadLine()) {
            if (worker.readLine().trimmed() == killLine) {
                if (delayMs > 0)
                    QThread::msleep(delayMs);
                ::kill(worker.processId(), SIGKILL);
                killed = true;
                break;
            }
        }
    }
    QVERIFY(worker.waitForFinished(60000));
    const bool ended = worker.exitStatus() == QProcess::NormalExit;
    QVERIFY2(killed || ended, worker.readAllStandardError().constData());
    // Killed after tidying up, the import had done all its work: nothing to tell.
    const bool leftBehind = QFile::exists(log + "/LogImport.adt");
    const bool logJournal = QFile::exists(log + "/Log37.adt-journal");

    // The program starts again.
    MessageService::clearShown();
    {
        TdmDovraPro dm;
        TF_Main w;
        const int rows = countOf(log, "select count(*) from Log37");
        qInfo("%s, %s, the log's journal %s; %d rows in the log at the next start",
              ended ? "ended before the kill" : "killed", leftBehind ? "gathered rows left" : "nothing left",
              logJournal ? "left" : "not left", rows);
        QVERIFY2(rows == 0 || rows == kBigLog, qPrintable(QString::number(rows)));
        QStringList told;
        for (const QString& text : shownMessageTexts())
            if (text.startsWith("An import of an earlier log"))
                told << text;
            else
                qInfo("also shown: %s", qPrintable(text));
        if (!leftBehind) {
            QCOMPARE(rows, kBigLog);
            QCOMPARE(told, QStringList());
        } else {
            QCOMPARE(told.size(), 1);
            QVERIFY2(
                told[0].startsWith("An import of an earlier log into your Log file " + log + "/Log37.adt was stopped"),
                qPrintable(told[0]));
            QVERIFY2(told[0].endsWith(rows == 0 ? kNoneStored : kAllStored), qPrintable(told[0]));
            for (const MessageService::Shown& box : MessageService::shown())
                if (box.text == told[0])
                    QCOMPARE(box.kind, MessageKind::Warning);
        }
        QVERIFY(!QFile::exists(log + "/LogImport.adt"));
        if (rows == 0) {
            // As the message advises: the same log imported again, through the menu.
            MessageService::queueAnswer(QMessageBox::Yes);
            FileDialogService::queueAnswer(dbf);
            w.miImport3->trigger();
            QCOMPARE(shownMessageTexts().last(), QString("30000 records have been imported to your Log file."));
        }
    }
    QCOMPARE(countOf(log, "select count(*) from Log37"), kBigLog);
    QCOMPARE(countOf(log, "select count(distinct MailerNum) from Log37"), kBigLog);
    // The next start has nothing to tell.
    MessageService::clearShown();
    {
        TdmDovraPro dm;
        TF_Main again;
    }
    QCOMPARE(shownMessageTexts(), QStringList());
}

void TestLogImport::stoppedImportLeftoversAtStart_data()
{
    QTest::addColumn<QString>("leftover");
    QTest::newRow("gathered rows only") << "gathered";
    QTest::newRow("stopped after storing, before tidying up") << "stored";
    QTest::newRow("an import running on another workstation") << "running";
}

// What an import leaves behind when it is stopped between its steps, judged at start; an
// import running elsewhere is left alone, and a second import waits for it to end.
void TestLogImport::stoppedImportLeftoversAtStart()
{
    QFETCH(QString, leftover);
    LogFixture f;
    const QString log = f.logFolder();
    const QString dbf =
        writeDbase(f.program.home.path(),
                   testsupport::dbaseFile(testsupport::report3Fields(), {report3("A", "1"), report3("B", "2")}));
    {
        const auto source = OpenDbaseLog(dbf);
        QCOMPARE(f.import(*source), 2);
    }
    // The table of gathered rows as a stopped import leaves it, with its mark: the log's own
    // when the log took the rows, another when it did not.
    engine::createTable(toStd(log), "LogImport", schema::Log37);
    {
        engine::Query q;
        q.setFolder(toStd(log));
        q.setSql("select 1 from Log37 limit 0; select 1 from LogImport limit 0");
        q.execSql();
        q.setSql("pragma Log37.user_version");
        q.open();
        const std::int64_t logMark = q.asInteger(q.fieldName(0));
        q.close();
        QVERIFY(logMark != 0);
        q.setSql("insert into LogImport (ToAddress1) values ('A'); pragma LogImport.user_version = " +
                 std::to_string(leftover == "stored" ? logMark : logMark + 1));
        q.execSql();
    }
    engine::Table running;
    if (leftover == "running") {
        running.setFolder(toStd(log));
        running.setTableName("LogImport");
        running.setExclusive(true);
        running.open();
    }
    testsupport::LockWait wait(100);
    const QString told = TakeStoppedLogImport(log);
    if (leftover == "running") {
        QCOMPARE(told, QString());
        QVERIFY(QFile::exists(log + "/LogImport.adt"));
        const auto source = OpenDbaseLog(dbf);
        try {
            f.import(*source);
            QFAIL("a second import ran beside the first");
        } catch (const std::exception& e) {
            QCOMPARE(QString(e.what()),
                     "Another import into the log " + log + "/Log37.adt is running. Import when it has ended.");
        }
        QCOMPARE(f.rows().size(), 2);
        running.close();
        QVERIFY(!TakeStoppedLogImport(log).isEmpty());
    } else {
        QVERIFY2(told.endsWith(leftover == "stored" ? kAllStored : kNoneStored), qPrintable(told));
        QCOMPARE(TakeStoppedLogImport(log), QString());
    }
    QCOMPARE(QDir(log).entryList(QDir::Files), QStringList({"Log37.adt"}));
    QCOMPARE(f.rows().size(), 2);
}

void TestLogImport::pro25RowsAreImported()
{
    LogFixture f;
    const QString folder = f.file("old");
    writePro25Log(folder, kPro25Definition,
                  {pro25Row("12345678901234567890", "Y"), pro25Row("9207112345678900000415", "N")});
    const auto source = OpenPro25Log(folder);
    QCOMPARE(source->rowCount(), 2);
    QCOMPARE(f.import(*source), 2);
    const QList<LogRow> rows = f.rows();
    QCOMPARE(rows.size(), 2);
    QCOMPARE(rows[0], (LogRow{{"LID", "1"},
                              {"DateTime", "2001-02-03 04:05:06"},
                              {"MailerNum", "1234 5678 9012 3456 7890"},
                              {"CustID", "<null>"},
                              {"SerialNum", "<null>"},
                              {"ToAddress1", "Jane Roe"},
                              {"ToAddress2", "4 Elm St"},
                              {"ToAddress3", ""},
                              {"ToAddress4", ""},
                              {"ToCity", "Dover"},
                              {"ToState", "DE"},
                              {"ToZip", "19901"},
                              {"YourAddress1", "Acme Inc"},
                              {"YourAddress2", "1 Main St"},
                              {"YourAddress3", ""},
                              {"YourAddress4", ""},
                              {"YourCity", "Springfield"},
                              {"YourState", "IL"},
                              {"YourZip", "62704"},
                              {"Postage", "0.37"},
                              {"Certified", "2.30"},
                              {"Return", ""},
                              {"Restricted", ""},
                              {"Total", "4.42"},
                              {"Department", "Legal department of"},
                              {"ProcessedBy", "kb"},
                              {"RE", "Lease 7"},
                              {"Comment", "Second notice"},
                              {"WishRest", "True"},
                              {"Batch", "False"}, // only "X" means yes
                              {"Result", "Received"}}));
    QCOMPARE(columns(rows[1], {"Result", "CustID", "SerialNum"}),
             (LogRow{{"Result", "None"}, {"CustID", "12-345-6789"}, {"SerialNum", "41"}}));
}

void TestLogImport::pro25MissingColumnIsInvalid()
{
    LogFixture f;
    const QString folder = f.file("old");
    writePro25Log(folder, QString(kPro25Definition).remove("Special,Char,15; "), {pro25Row("1", "Y")});
    QVERIFY_THROWS_EXCEPTION(InvalidPro25LogError, OpenPro25Log(folder));
    QVERIFY_THROWS_EXCEPTION(InvalidPro25LogError, OpenPro25Log(f.file("nowhere")));
    QVERIFY(f.rows().isEmpty());
}

void TestLogImport::pro3RowsAreCopied()
{
    LogFixture f;
    const QString other = f.file("other");
    QDir().mkpath(other);
    engine::createTable(toStd(other), "Log37", schema::Log37);
    engine::Query q;
    q.setFolder(toStd(other));
    q.setSql("insert into Log37 (LID, DateTime, MailerNum, CustID, SerialNum, ToAddress1, WishRest, Batch, Result) "
             "values (70, '2024-05-06 07:08:09', '9214 7123 4567 8900 0004 15', '123456789', 41, 'Jane Roe', True, "
             "False, 'Received - Signed');"
             "insert into Log37 (LID, ToAddress1, Batch) values (71, 'Batch Row', True);"
             "insert into Log37 (LID, DateTime, ToAddress1) values (72, '2020-01-01 00:00:00', 'Oldest')");
    q.execSql();
    q.disconnect();
    const auto source = OpenPro3Log(other, f.logFolder());
    QCOMPARE(f.import(*source), 3);
    const QList<LogRow> rows = f.rows();
    QCOMPARE(rows.size(), 3);
    // In date order, empty dates first; keys assigned anew.
    const QStringList some{"LID", "DateTime", "ToAddress1", "Batch"};
    QCOMPARE(columns(rows[0], some),
             (LogRow{{"LID", "1"}, {"DateTime", "<null>"}, {"ToAddress1", "Batch Row"}, {"Batch", "True"}}));
    QCOMPARE(
        columns(rows[1], some),
        (LogRow{{"LID", "2"}, {"DateTime", "2020-01-01 00:00:00"}, {"ToAddress1", "Oldest"}, {"Batch", "<null>"}}));
    QCOMPARE(columns(rows[2], {"LID", "DateTime", "MailerNum", "CustID", "SerialNum", "WishRest", "Batch", "Result"}),
             (LogRow{{"LID", "3"},
                     {"DateTime", "2024-05-06 07:08:09"},
                     {"MailerNum", "9214 7123 4567 8900 0004 15"},
                     {"CustID", "123456789"},
                     {"SerialNum", "41"},
                     {"WishRest", "True"},
                     {"Batch", "False"},
                     {"Result", "Received - Signed"}}));
}

// The log chosen as its own source: each row is read once, so the log holds every row twice.
void TestLogImport::ownLogAsSourceIsReadOnce()
{
    LogFixture f;
    const QString path =
        writeDbase(f.program.home.path(),
                   testsupport::dbaseFile(testsupport::report3Fields(), {report3("A", "1"), report3("B", "2")}));
    const auto dbase = OpenDbaseLog(path);
    QCOMPARE(f.import(*dbase), 2);
    {
        const auto own = OpenPro3Log(f.logFolder(), f.logFolder());
        QCOMPARE(own->rowCount(), 2);
        QCOMPARE(f.import(*own), 2);
    }
    QCOMPARE(f.rows().size(), 4);
    // The copy read meanwhile is gone.
    QCOMPARE(QDir(f.logFolder()).entryList(QDir::Dirs | QDir::NoDotAndDotDot), QStringList());
}

void TestLogImport::commandsCheckTheChosenFile_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("chosen"); // in the program folder; "" cancels
    QTest::addColumn<QString>("message");
    QTest::newRow("2.5, LOG.ADT") << "miImportPro25"
                                  << "old/LOG.ADT"
                                  << "Invalid Dovra Pro 2.5 log file.";
    QTest::newRow("2.5, missing") << "miImportPro25"
                                  << "none/log.adt"
                                  << "No Dovra Pro 2.5 log file exists in this location.";
    QTest::newRow("3, other name") << "miImport3"
                                   << "old/LOG.ADT"
                                   << "Invalid Dovra 3 (Regular or lite) log file.";
    QTest::newRow("3, missing") << "miImport3"
                                << "Reports/report3.dbf"
                                << "No Dovra 3 log file exists in this location.";
    QTest::newRow("Pro 3, lower case") << "miImportPro3"
                                       << "old/log37.adt"
                                       << "Invalid Dovra Pro 3 log file.";
    QTest::newRow("Pro 3, missing") << "miImportPro3"
                                    << "none/Log37.adt"
                                    << "No Dovra Pro 3 log file exists in this location.";
    QTest::newRow("2.5, no table in the file") << "miImportPro25"
                                               << "old/log.adt"
                                               << "Invalid Dovra Pro 2.5 Log Database";
    QTest::newRow("cancelled") << "miImport3"
                               << ""
                               << "";
}

void TestLogImport::commandsCheckTheChosenFile()
{
    QFETCH(QString, command);
    QFETCH(QString, chosen);
    QFETCH(QString, message);
    testsupport::TempProgramFolder home;
    testsupport::prepareReadyProgramFolder(home.path());
    TdmDovraPro dm;
    TF_Main w;
    QDir().mkpath(home.file("old"));
    for (const QString& name : {"LOG.ADT", "log37.adt", "log.adt"})
        testsupport::writeBytes(home.file("old/" + name), "not a table");
    MessageService::queueAnswer(QMessageBox::Yes);
    FileDialogService::queueAnswer(chosen.isEmpty() ? QString() : home.file(chosen));
    w.findChild<QAction*>(command)->trigger();
    const QStringList shown = shownMessageTexts();
    QCOMPARE(shown.size(), message.isEmpty() ? 1 : 2);
    QVERIFY(shown.first().endsWith(home.path() + "/Log\n\nWould you like to continue?"));
    if (!message.isEmpty())
        QCOMPARE(shown.last(), message);
    QVERIFY(logRows(home.path() + "/Log").isEmpty());
}

// Through the menu, with its confirmation and file dialog; the same file twice stores every
// mailer twice.
void TestLogImport::commandImportsTwiceWhenAskedTwice()
{
    testsupport::TempProgramFolder home;
    testsupport::prepareReadyProgramFolder(home.path());
    TdmDovraPro dm;
    TF_Main w;
    QDir().mkpath(home.file("Reports"));
    const QString path =
        writeDbase(home.file("Reports"),
                   testsupport::dbaseFile(testsupport::report3Fields(), {report3("A", "1"), report3("B", "2")}));
    // Anything but Yes ends before the file dialog.
    MessageService::queueAnswer(QMessageBox::No);
    w.miImport3->trigger();
    QVERIFY(FileDialogService::requests().isEmpty());

    for (int round = 1; round <= 2; ++round) {
        MessageService::clearShown();
        MessageService::queueAnswer(QMessageBox::Yes);
        FileDialogService::queueAnswer(path);
        w.miImport3->trigger();
        QCOMPARE(shownMessageTexts().last(), QString("2 records have been imported to your Log file."));
        QCOMPARE(MessageService::shown().first().kind, MessageKind::Confirmation);
        QCOMPARE(MessageService::shown().first().text,
                 "This utility will import all mailers from your Dovra 3 (Regular or lite) log file to your current "
                 "Pro 3 log file located at... \n" +
                     home.path() + "/Log\n\nWould you like to continue?");
    }
    QCOMPARE(logRows(home.path() + "/Log").size(), 4);
    const FileDialogService::Request asked = FileDialogService::requests().first();
    QCOMPARE(asked.dir, home.path() + "/Reports");
    QCOMPARE(asked.filter, QString("Dovra 3 Log Database(report3.dbf) (report3.dbf)"));
    QCOMPARE(asked.presetName, QString("report3.dbf"));
}

void TestLogImport::trackItemOpensTheTrackingPage()
{
    QCOMPARE(TrackingPageUrl("9214 7123 4567 8900 0004 15").toString(),
             QString("https://tools.usps.com/go/TrackConfirmAction?tLabels=9214712345678900000415"));
    testsupport::TempProgramFolder home;
    testsupport::prepareReadyProgramFolder(home.path());
    TdmDovraPro dm;
    TF_Main w;
    testsupport::UrlCatcher catcher;
    QDesktopServices::setUrlHandler("https", &catcher, "open");
    w.Track->trigger();
    QDesktopServices::unsetUrlHandler("https");
    QCOMPARE(catcher.opened, QList<QUrl>{TrackingPageUrl()});
}

QTEST_MAIN(TestLogImport)
#include "test_logimport.moc"
