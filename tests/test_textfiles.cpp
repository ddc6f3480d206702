// Address and log text files: the comma-separated fields as read and written, the 8-bit
// files, export names, appending, a full disk, and the labelled log export, on real tables
// in a temporary program folder.
#include "addressbook/AddressBook.h"
#include "addressbook/TextFiles.h"
#include "app/Services.h"
#include "app/datamodule/Schemas.h"
#include "engine/Query.h"
#include "entry/TF_Main.h"
#include "tests/support/TestSupport.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QtTest>
#include <ctime>

namespace {

QString fieldsOf(const TAddressLines& a)
{
    QStringList fields;
    for (int i = 0; i < 7; ++i)
        fields << addressField(a, i);
    return fields.join('|');
}

TAddressLines addressOf(const QStringList& fields)
{
    TAddressLines a;
    for (int i = 0; i < 7 && i < fields.size(); ++i)
        addressField(a, i) = fields[i];
    return a;
}

QByteArray contents(const QString& fileName)
{
    QFile f(fileName);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

void writeLines(const QString& fileName, const std::vector<TAddressLines>& addresses)
{
    TextFileWriter out(fileName);
    for (const TAddressLines& a : addresses)
        out.writeLine(addressTextLine(a));
    out.close();
}

} // namespace

class TestTextFiles : public QObject {
    Q_OBJECT

private slots:
    void readsTheSevenFields_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("fields");
        QTest::newRow("written form") << "\"Acme, Inc.\",12 Main St,,,Springfield,IL,62701"
                                      << "Acme, Inc.|12 Main St|||Springfield|IL|62701";
        QTest::newRow("quoted first field, then four commas") << "\"Acme, Inc.\",,,,Springfield,IL,62701"
                                                              << "Acme, Inc.||||Springfield|IL|62701";
        QTest::newRow("blank after the closing quote shifts the rest")
            << "\"Acme, Inc.\" ,12 Main St,,,Springfield,IL,62701"
            << "Acme, Inc.||12 Main St|||Spri|IL";
        QTest::newRow("three fields") << "a,b,c"
                                      << "a|b|c||||";
        QTest::newRow("nine fields") << "1,2,3,4,5,6,7,8,9"
                                     << "1|2|3|4|5|6|7";
        QTest::newRow("empty line") << ""
                                    << "||||||";
        QTest::newRow("blanks and tabs round fields") << "  a ,\tb\t, c"
                                                      << "a|b|c||||";
        QTest::newRow("quote inside an unquoted field") << "O\"Brien,x"
                                                        << "O\"Brien|x|||||";
        QTest::newRow("quoted field without its closing quote") << "\"open, end"
                                                                << "open, end||||||";
        QTest::newRow("cut to the column widths")
            << QString(60, 'a') + ",,,," + QString(40, 'c') + ",Illinois,62701-12345678"
            << QString(50, 'a') + "||||" + QString(35, 'c') + "|Illi|62701-1234";
        QTest::newRow("a quote and a comma in one value do not survive") << "\"Say \"hi\", Bob\",x"
                                                                         << "Say|i\"|Bob\"|x|||";
    }
    void readsTheSevenFields()
    {
        QFETCH(QString, line);
        QFETCH(QString, fields);
        QCOMPARE(fieldsOf(readAddressLine(line)), fields);
    }

    void readCsvFieldMovesThePosition()
    {
        const QString line = "\"a\" ,b";
        int position = 1;
        QCOMPARE(ReadCsvField(line, position), QString("a"));
        QCOMPARE(position, 5); // past the closing quote and the blank taken as separator
        QCOMPARE(ReadCsvField(line, position), QString());
        QCOMPARE(position, 6);
        QCOMPARE(ReadCsvField(line, position), QString("b"));
        QCOMPARE(ReadCsvField(line, position), QString()); // past the end
    }

    void writesTheWrittenForm()
    {
        const TAddressLines acme = addressOf({" Acme, Inc. ", "12 Main St", "", "", "Springfield", "IL", "62701"});
        QCOMPARE(addressTextLine(acme), QString("\"Acme, Inc.\",12 Main St,,,Springfield,IL,62701"));
        QCOMPARE(QuoteCsvField("Say \"hi\""), QString("Say \"hi\""));
        QCOMPARE(QuoteCsvField("a,b"), QString("\"a,b\""));
    }

    void roundTripThroughAFile()
    {
        QTemporaryDir dir;
        const QString name = dir.filePath("list.txt");
        const std::vector<TAddressLines> addresses = {
            addressOf({"Acme, Inc.", "12 Main St", "", "", "Springfield", "IL", "62701"}),
            addressOf({"Café Müller", "", "", "", "Zürich", "", ""}),
            addressOf({"O\"Brien", "", "", "", "", "", ""}),
        };
        writeLines(name, addresses);
        const QByteArray bytes = contents(name);
        QVERIFY(bytes.contains("Caf\xE9 M\xFCller,,,,Z\xFCrich,,\r\n")); // Windows-1252, CR LF
        const QStringList lines = textFileLines(decodeTextFile(bytes));
        QCOMPARE(lines.size(), 3);
        for (int i = 0; i < 3; ++i)
            QCOMPARE(fieldsOf(readAddressLine(lines[i])), fieldsOf(addresses[i]));

        // Exporting again appends.
        writeLines(name, addresses);
        QCOMPARE(textFileLines(decodeTextFile(contents(name))).size(), 6);
    }

    void decodesUtf8WithAByteOrderMark()
    {
        QCOMPARE(textFileLines(decodeTextFile("\xEF\xBB\xBF"
                                              "Caf\xC3\xA9,x\r\nb")),
                 (QStringList{"Café,x", "b"}));
        QCOMPARE(textFileLines(decodeTextFile("Caf\xE9\n\nx\r")), (QStringList{"Café", "", "x"}));
        QCOMPARE(textFileLines(decodeTextFile("")), QStringList{});
    }

    void exportFileNames_data()
    {
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<QString>("used");
        QTest::newRow("no extension") << "/tmp/list"
                                      << "/tmp/list.txt";
        QTest::newRow("upper case does not count") << "/tmp/list.TXT"
                                                   << "/tmp/list.TXT.txt";
        QTest::newRow(".txt inside the name") << "/tmp/my.txt.backup"
                                              << "/tmp/my.txt.backup";
        QTest::newRow("already .txt") << "/tmp/list.txt"
                                      << "/tmp/list.txt";
    }
    void exportFileNames()
    {
        QFETCH(QString, chosen);
        QFETCH(QString, used);
        QCOMPARE(exportFileName(chosen), used);
    }

    void aFullDiskIsAnError()
    {
        if (!QFile::exists("/dev/full"))
            QSKIP("no /dev/full here");
        TextFileWriter out("/dev/full");
        out.writeLine("a line");
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, out.close());
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, TextFileWriter("/nonexistent/folder/x.txt"));
    }

    void exportsAndAddsAddresses()
    {
        testsupport::ProgramFixture f;
        const QString folder = f.home.path() + "/Addresses/Clients";
        QDir().mkpath(folder);
        createAddressDatabaseTables(folder);
        engine::Query q;
        q.setFolder(folder.toStdString());
        std::vector<TAddressLines> many(1201, addressOf({"Ann's", "", "", "", "Erie", "PA", "16501"}));
        many.back() = addressOf({"Acme, Inc.", "12 Main St", "", "", "Springfield", "IL", "62701"});
        insertAddresses(q, "Address", many);
        const QString name = f.home.file("out.txt");
        {
            TextFileWriter out(name);
            QCOMPARE(exportAddresses(q, "Address", out), 1201);
            out.close();
        }
        const QStringList lines = textFileLines(decodeTextFile(contents(name)));
        QCOMPARE(lines.size(), 1201);
        QCOMPARE(lines.first(), QString("Ann's,,,,Erie,PA,16501"));
        QCOMPARE(lines.last(), QString("\"Acme, Inc.\",12 Main St,,,Springfield,IL,62701"));
    }

    // The Date and Time lines are the workstation's short date and long time of the stored
    // local times, with the zone's name, as local time gives them row after row, also
    // through the hour that a change of the clock skips or repeats.
    void exportsDatesInTheLocalTimeZone_data()
    {
        QTest::addColumn<QString>("zone");
        QTest::addColumn<QString>("first");
        QTest::addColumn<QStringList>("zoneNames");
        QTest::newRow("no clock changes") << "UTC"
                                          << "2026-03-01 20:00:00" << QStringList{"UTC"};
        QTest::newRow("summer time begins") << "Europe/Berlin"
                                            << "2026-03-28 20:00:00" << QStringList{"CET", "CEST"};
        QTest::newRow("summer time ends") << "Europe/Berlin"
                                          << "2026-10-24 20:00:00" << QStringList{"CEST", "CET"};
        QTest::newRow("daylight time ends") << "America/New_York"
                                            << "2026-10-31 20:00:00" << QStringList{"EDT", "EST"};
    }
    void exportsDatesInTheLocalTimeZone()
    {
        QFETCH(QString, zone);
        QFETCH(QString, first);
        QFETCH(QStringList, zoneNames);
        testsupport::EnvironmentValue tz("TZ", zone);
        tzset();
        const auto resetZone = qScopeGuard([] { tzset(); });
        testsupport::ProgramFixture f;
        QDir().mkpath(f.settings.logDB);
        f.dm.CreateTable(f.settings.logDB, "Log37", schema::Log37);
        engine::Query q;
        q.setFolder(f.settings.logDB.toStdString());
        // Every 20 minutes and 7 seconds for ten hours.
        constexpr int kRows = 30;
        q.setSql("insert into Log37 (DateTime, MailerNum, Batch, Result) with recursive n(i) as (select 0 union all "
                 "select i + 1 from n where i < " +
                 std::to_string(kRows - 1) + ") select datetime(" + engine::quoted(first.toStdString()) +
                 ", '+' || (i * 1207) || ' seconds'), '9214', False, 'None' from n");
        q.execSql();
        const QString name = f.home.file("log.txt");
        {
            TextFileWriter out(name);
            QCOMPARE(exportLog(q, out), kRows);
            out.close();
        }
        const QStringList lines = textFileLines(decodeTextFile(contents(name)));
        const QLocale locale = QLocale::system();
        const QString format = locale.dateFormat(QLocale::ShortFormat) + ' ' + locale.timeFormat(QLocale::LongFormat);
        // Stepped as the stored text is, by the clock on the wall.
        QDateTime stored = QDateTime::fromString(first, "yyyy-MM-dd HH:mm:ss");
        stored.setTimeZone(QTimeZone::utc());
        QStringList names;
        for (int row = 0; row < kRows; ++row, stored = stored.addSecs(1207)) {
            const QString line = lines.value(row * 31);
            QCOMPARE(line, "Date and Time = " + locale.toString(QDateTime(stored.date(), stored.time()), format));
            const QString zoneName = line.section(' ', -1); // none for a time the clock skips
            if (!zoneName.isEmpty() && !names.contains(zoneName))
                names << zoneName;
        }
        QCOMPARE(names, zoneNames);
    }

    void exportsTheLog()
    {
        testsupport::ProgramFixture f;
        QDir().mkpath(f.settings.logDB);
        f.dm.CreateTable(f.settings.logDB, "Log37", schema::Log37);
        engine::Query q;
        q.setFolder(f.settings.logDB.toStdString());
        q.setSql("insert into Log37 (DateTime, MailerNum, SerialNum, ToAddress1, Batch, Result) values "
                 "('2026-03-02 14:05:09', '9214 7123', 42, 'Second', True, 'None'), "
                 "('2026-03-01 08:00:00', '9214 7124', 7, 'First', False, 'Received - Signed')");
        q.execSql();
        const QString name = f.home.file("log.txt");
        {
            TextFileWriter out(name);
            QList<QPair<int, int>> heard;
            QCOMPARE(exportLog(q, out, [&heard](int written, int total) { heard.append({written, total}); }), 2);
            QCOMPARE(heard, (QList<QPair<int, int>>{{2, 2}}));
            out.close();
        }
        const QStringList lines = textFileLines(decodeTextFile(contents(name)));
        QCOMPARE(lines.size(), 62);
        QVERIFY(lines[0].startsWith("Date and Time = "));
        QVERIFY2(lines[0].contains("8") && lines[0].contains("00"), qPrintable(lines[0]));
        QCOMPARE(lines[3], QString("Serial Number = 7"));
        QCOMPARE(lines[4], QString("To Address Line 1 = First"));
        QCOMPARE(lines[27], QString("Batch = False"));
        QCOMPARE(lines[28], QString("Result = Received - Signed"));
        QCOMPARE(lines[29], QString());
        QCOMPARE(lines[30], QString());
        QCOMPARE(lines[31 + 4], QString("To Address Line 1 = Second"));
        QCOMPARE(lines[31 + 27], QString("Batch = True"));
        QStringList labels;
        for (int i = 0; i < 29; ++i)
            labels << lines[i].section(" = ", 0, 0);
        QCOMPARE(labels.mid(18, 5), (QStringList{"Postage Fee", "Certified Fee", "Return Receipt Fee",
                                                 "Restricted Delivery", "Total Fee"}));
    }
    // A log export that fails part-way lets go of the log: this window's next Print, and a
    // second process writing the log as another workstation does, go ahead at once.
    void failedLogExportLeavesTheLogFree_data()
    {
        QTest::addColumn<QString>("cause");
        QTest::newRow("disk full") << "disk full";
        QTest::newRow("a date that does not read") << "bad date";
    }
    void failedLogExportLeavesTheLogFree()
    {
        QFETCH(QString, cause);
        if (cause == "disk full" && !QFile::exists("/dev/full"))
            QSKIP("no /dev/full here");
        testsupport::TempProgramFolder home;
        testsupport::EnvironmentValue pdfDir("DOVRA_PDF_DIR", home.path() + "/Printed");
        testsupport::prepareReadyProgramFolder(home.path());
        MessageService::setScripted(true);
        MessageService::clearShown();
        FileDialogService::setScripted(true);
        TdmDovraPro dm;
        TF_Main w;
        const QString log = w.settings.logDB;
        engine::Query q;
        q.setFolder(log.toStdString());
        // More rows than one step of the export reads, so the failure comes mid-way.
        q.setSql("with recursive n(i) as (select 1 union all select i + 1 from n where i < 5000) "
                 "insert into Log37 (DateTime, MailerNum, ToAddress1, Batch, Result) "
                 "select '2026-03-01 08:00:00', 'm' || i, 'Recipient ' || i, False, 'None' from n");
        q.execSql();
        if (cause == "bad date") {
            q.setSql("insert into Log37 (DateTime, MailerNum, Batch, Result) values ('2026-03-02 someday', 'x', "
                     "False, 'None')");
            q.execSql();
        }
        q.disconnect();
        const QString target = home.file("export.txt");
        if (cause == "disk full")
            QVERIFY(QFile::link("/dev/full", target));
        FileDialogService::queueAnswer(target);
        w.miLogExport->trigger();
        const QStringList shown = testsupport::shownMessageTexts();
        QVERIFY(!shown.isEmpty());
        QVERIFY2(!shown.last().startsWith("Export completed"), qPrintable(shown.last()));

        // Another workstation logs a mailer: no waiting for a lock.
        QProcess other;
        other.start("sqlite3", {"-bail", log + "/Log37.adt",
                                "insert into Log37 (DateTime, MailerNum, Batch, Result) values "
                                "('2026-03-03 09:00:00', 'other', False, 'None')"});
        QVERIFY(other.waitForFinished(30000));
        QCOMPARE(QString::fromUtf8(other.readAllStandardError()), QString());
        QCOMPARE(other.exitCode(), 0);

        // And this window prints.
        testsupport::LockWait wait(200);
        MessageService::clearShown();
        w.memoToAddress->setPlainText("Jane Roe\n4 Elm St");
        w.editToCity->setText("Dover");
        w.editToState->setText("DE");
        w.editToZip->setText("19901-0001");
        QVERIFY2(w.btnPrintClick(), qPrintable(testsupport::shownMessageTexts().join(" | ")));
        for (const QString& text : testsupport::shownMessageTexts())
            QVERIFY2(!text.contains("locked"), qPrintable(text));
        q.setFolder(log.toStdString());
        q.setSql("select count(*) from Log37 where MailerNum like '9214 %'");
        q.open();
        QCOMPARE(q.asInteger(q.fieldName(0)), std::int64_t(1));
    }
};

QTEST_MAIN(TestTextFiles)
#include "test_textfiles.moc"
