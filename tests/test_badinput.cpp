// Odd input at the main window: the ZIP field given letters or too many digits, command-line
// arguments with line breaks, the To Address commands without a database, and tables whose
// file is damaged, told when the window that shows them opens.
#include "addressbook/AddressBook.h"
#include "app/TF_Main.h"
#include "core/datamodule/Schemas.h"
#include "core/datamodule/TdmDovraPro.h"
#include "engine/Query.h"
#include "tests/support/TestSupport.h"
#include "widgets/AddressFields.h"
#include "widgets/ButtonDialog.h"
#include "widgets/Services.h"

#include <QAction>
#include <QClipboard>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QToolTip>
#include <QtTest>
#include <functional>
#include <memory>

using testsupport::ModalDriver;

namespace {

struct Fixture {
    testsupport::TempProgramFolder home;
    std::unique_ptr<TdmDovraPro> dm;
    std::unique_ptr<TF_Main> w;

    explicit Fixture(const QStringList& arguments = {}, const std::function<void(const QString&)>& prepare = {})
    {
        MessageService::setScripted(true);
        MessageService::clearShown();
        ButtonDialogService::setScripted(true);
        FileDialogService::setScripted(true);
        testsupport::prepareReadyProgramFolder(home.path());
        if (prepare)
            prepare(home.path());
        dm = std::make_unique<TdmDovraPro>();
        w = std::make_unique<TF_Main>(arguments);
        w->show();
    }
    ~Fixture()
    {
        if (w)
            w->close();
    }
    bool started() { return testsupport::waitForFirstShowing(*w); }
};

void run(const QString& folder, const std::string& sql)
{
    engine::Query q;
    q.setFolder(folder.toStdString());
    q.setSql(sql);
    q.execSql();
}

// Bytes written over the middle of the table's own page (the page after the schema's).
void malform(const QString& file)
{
    QFile f(file);
    QVERIFY(f.open(QIODevice::ReadWrite));
    QVERIFY(f.size() >= 8192);
    f.seek(4096);
    f.write(QByteArray(4096, '\xA5'));
}

// The table made anew without one of its columns.
void dropColumn(const QString& folder, const QString& table, const QString& definition)
{
    QFile::remove(folder + "/" + table + ".adt");
    engine::createTable(folder.toStdString(), table.toStdString(), definition.toStdString());
}

} // namespace

class TestBadInput : public QObject {
    Q_OBJECT
private slots:
    void zipFieldRefusesWhatIsNotAZip()
    {
        Fixture f;
        QVERIFY(f.started());
        QLineEdit* zip = f.w->editToZip;
        zip->setFocus();
        zip->setCursorPosition(0);
        QTest::keyClicks(zip, "62a7");
        QCOMPARE(zip->text(), QString("627-"));
        QVERIFY2(QToolTip::text().contains("digits only"), qPrintable(QToolTip::text()));
        QToolTip::hideText();

        // Fifteen digits pasted are refused whole, not cut to a ZIP+4.
        zip->clear();
        QGuiApplication::clipboard()->setText("123456789012345");
        zip->setCursorPosition(0);
        QTest::keySequence(zip, QKeySequence::Paste);
        QCOMPARE(zip->text(), QString("-"));
        QVERIFY2(QToolTip::text().contains("\"123456789012345\" is not a ZIP code"), qPrintable(QToolTip::text()));
        QGuiApplication::clipboard()->setText("62704-1234");
        QTest::keySequence(zip, QKeySequence::Paste);
        QCOMPARE(zip->text(), QString("62704-1234"));
    }

    void zipFieldTexts_data()
    {
        QTest::addColumn<QString>("given");
        QTest::addColumn<QString>("field"); // "refused" when refused
        QTest::newRow("five digits") << "62704"
                                     << "62704-";
        QTest::newRow("ZIP+4") << "62704-1234"
                               << "62704-1234";
        QTest::newRow("nine digits") << "627041234"
                                     << "62704-1234";
        QTest::newRow("blank between") << " 62704 1234 "
                                       << "62704-1234";
        QTest::newRow("empty") << ""
                               << "-";
        QTest::newRow("fifteen digits") << "123456789012345"
                                        << "refused";
        QTest::newRow("ten digits") << "6270412345"
                                    << "refused";
        QTest::newRow("letters") << "6270A"
                                 << "refused";
        QTest::newRow("a Canadian code") << "K1A 0B1"
                                         << "refused";
        QTest::newRow("four digits after a short ZIP") << "627-1234"
                                                       << "refused";
    }
    void zipFieldTexts()
    {
        QFETCH(QString, given);
        QFETCH(QString, field);
        const auto text = AddressFields::zipFieldText(given);
        QCOMPARE(text.value_or("refused"), field);
    }

    // A line break or a line separator inside an argument does not add or move a recipient
    // line; a ZIP argument that is no ZIP code is said, not cut.
    void commandLineArgumentsKeepTheirLines()
    {
        Fixture f({"Jane Roe\nExtra", "12 Elm St\r\nMore", QString("Suite 5") + QChar(0x2028) + "x", "Floor 2",
                   "Springfield\n", "IL", "123456789012345"});
        QVERIFY(f.started());
        QCOMPARE(f.w->memoToAddress->toPlainText(), QString("Jane Roe Extra\n12 Elm St  More\nSuite 5 x\nFloor 2"));
        QCOMPARE(f.w->editToCity->text(), QString("Springfield "));
        QCOMPARE(f.w->editToZip->text(), QString("-"));
        const QStringList shown = testsupport::shownMessageTexts();
        QVERIFY2(shown.size() == 1 && shown[0].contains("\"123456789012345\" is not a ZIP code") &&
                     shown[0].contains("command line"),
                 qPrintable(shown.join(" | ")));
    }

    void toAddressCommandsWithoutADatabase()
    {
        Fixture f;
        QVERIFY(f.started());
        for (QAction* action : {f.w->miToExport, f.w->miToImport}) {
            MessageService::clearShown();
            FileDialogService::clearRequests();
            action->trigger();
            QCOMPARE(FileDialogService::requests().size(), 0);
            const QStringList shown = testsupport::shownMessageTexts();
            QCOMPARE(shown.size(), 1);
            QVERIFY2(shown[0].startsWith("No 'To Address' database is open."), qPrintable(shown[0]));
        }
    }

    // A spreadsheet's UTF-8 file without a byte-order mark reads as UTF-8; an export of text
    // the Windows code page lacks asks first and offers UTF-8, and writes nothing on No.
    void textFilesKeepEveryCharacter()
    {
        Fixture f;
        QVERIFY(f.started());
        const QString db = f.home.path() + "/Addresses/Clients";
        QDir().mkpath(db);
        createAddressDatabaseTables(db);
        {
            ModalDriver driver;
            f.w->settings.addressDB = db;
            f.w->OpenAddressDatabase();
        }
        const QString sheet = f.home.file("sheet.csv");
        {
            QFile file(sheet);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("Ren\xC3\xA9\x65 Dupont,,,,Erie,PA,16501\n"
                       "\xC5\x81ukasz \xC5\xBB\xC3\xB3\xC5\x82\xC4\x87,,,,Krak\xC3\xB3w,,\n");
        }
        FileDialogService::queueAnswer(sheet);
        {
            ModalDriver driver;
            driver.on("TF_TextFiles", [](QWidget* d) { testsupport::clickButton(d, "btnAddtoDB"); });
            f.w->miToImport->trigger();
        }
        engine::Query q;
        q.setFolder(db.toStdString());
        q.setSql("select Address1, City from Address order by A_ID");
        q.open();
        QStringList stored;
        for (; !q.eof(); q.next())
            stored << QString::fromStdString(q.asString(0) + "/" + q.asString(1));
        q.close();
        QCOMPARE(stored, (QStringList{"Renée Dupont/Erie", "Łukasz Żółć/Kraków"}));

        const QString out = f.home.file("out.txt");
        MessageService::clearShown();
        MessageService::queueAnswer(QMessageBox::No);
        FileDialogService::queueAnswer(out);
        f.w->miToExport->trigger();
        QVERIFY(!QFile::exists(out));
        QStringList shown = testsupport::shownMessageTexts();
        QCOMPARE(shown.size(), 1);
        QVERIFY2(shown[0].startsWith("1 record holds characters that the Windows code page (Windows-1252) cannot "
                                     "carry:\n\naddress 2: Łukasz Żółć"),
                 qPrintable(shown[0]));

        MessageService::clearShown();
        MessageService::queueAnswer(QMessageBox::Yes);
        FileDialogService::queueAnswer(out);
        f.w->miToExport->trigger();
        shown = testsupport::shownMessageTexts();
        QCOMPARE(shown.last(), "Export completed fo file \"" + out + "\".");
        QFile file(out);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("\xEF\xBB\xBF"
                                            "Ren\xC3\xA9\x65 Dupont,,,,Erie,PA,16501\r\n"
                                            "\xC5\x81ukasz \xC5\xBB\xC3\xB3\xC5\x82\xC4\x87,,,,Krak\xC3\xB3w,,\r\n"));

        // The log export asks the same.
        run(f.home.path() + "/Log", "insert into Log37 (DateTime, MailerNum, ToAddress1) values "
                                    "('2026-12-10 08:00:00', '9214 7123 4567 8901 2345 67', 'Łukasz Żółć')");
        const QString logOut = f.home.file("log.txt");
        MessageService::clearShown();
        MessageService::queueAnswer(QMessageBox::Yes);
        FileDialogService::queueAnswer(logOut);
        f.w->miLogExport->trigger();
        shown = testsupport::shownMessageTexts();
        QCOMPARE(shown.size(), 2);
        QVERIFY2(shown[0].contains("mailer 9214 7123 4567 8901 2345 67 of 2026-12-10 08:00:00: Łukasz Żółć"),
                 qPrintable(shown[0]));
        QFile log(logOut);
        QVERIFY(log.open(QIODevice::ReadOnly));
        QVERIFY(log.readAll().contains("To Address Line 1 = \xC5\x81ukasz \xC5\xBB\xC3\xB3\xC5\x82\xC4\x87\r\n"));
    }

    // A detail table that a window reads only on demand: its damage is told, naming its
    // file, as soon as the window opens.
    void damagedTablesAreToldWhenTheirWindowsOpen_data()
    {
        QTest::addColumn<QString>("table");
        QTest::addColumn<bool>("malformed"); // else a column is missing
        QTest::addColumn<QString>("fault");
        for (const char* table : {"Members", "Report_Detail", "LogFiltersDetail"}) {
            QTest::addRow("%s malformed", table) << table << true << "is damaged: its contents are malformed";
            QTest::addRow("%s without a column", table) << table << false << "has no column";
        }
    }
    void damagedTablesAreToldWhenTheirWindowsOpen()
    {
        QFETCH(QString, table);
        QFETCH(bool, malformed);
        QFETCH(QString, fault);
        Fixture f;
        QVERIFY(f.started());
        const QString home = f.home.path();
        const QString log = home + "/Log";
        run(log, "insert into Log37 (DateTime, MailerNum, ToAddress1, Total) values ('2026-12-10 08:00:00', "
                 "'9214 7123 4567 8901 2345 67', 'Jane Roe', '8.64')");
        const QString db = home + "/Addresses/Clients";
        QDir().mkpath(db);
        createAddressDatabaseTables(db);
        const QString folder = table == "Members" ? db : log;
        // Enough rows that the table has a page of its own past the schema's.
        const std::string insert =
            table == "Members"         ? "insert into Members (A_ID, G_ID) select coalesce(max(A_ID), 0) + 1, 1 "
                                         "from Members"
            : table == "Report_Detail" ? "insert into Report_Detail (ReportName, Field_Name, FieldOrder) values "
                                         "('Mine', 'ToAddress1', 1)"
                                       : "insert into LogFiltersDetail (FilterName, FieldName, Operator, Value) "
                                         "values ('Mine', '4', '=', 'Boston')";
        for (int i = 0; i < 300; ++i)
            run(folder, insert);
        const QString file = folder + "/" + table + ".adt";
        if (malformed)
            malform(file);
        else
            dropColumn(folder, table,
                       table == "Members"         ? "A_ID,Integer;"
                       : table == "Report_Detail" ? "ReportName,Char,20;"
                                                  : "FilterName,Char,20;");
        MessageService::clearShown();
        {
            ModalDriver driver; // closes the window that opens
            if (table == "Members") {
                f.w->settings.addressDB = f.home.path() + "/Addresses/Clients";
                f.w->OpenAddressDatabase();
            } else if (table == "Report_Detail") {
                f.w->miReports->trigger();
            } else {
                f.w->miLogFile->trigger();
            }
        }
        const QStringList shown = testsupport::shownMessageTexts();
        QVERIFY2(!shown.isEmpty(), "nothing was told");
        QVERIFY2(shown[0].contains("\"" + file + "\"") && shown[0].contains(fault), qPrintable(shown.join(" | ")));
        QVERIFY2(!shown[0].contains("malformed (") && !shown[0].startsWith("Column not found"), qPrintable(shown[0]));
    }
};

QTEST_MAIN(TestBadInput)
#include "test_badinput.moc"
