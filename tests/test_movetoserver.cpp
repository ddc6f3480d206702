// An office's shared tables on a database server, set up from Network Settings: Test Connection
// (with the server's password asked for when it wants one), and Move to Server, which copies
// the folders' tables in one server transaction and leaves the folder's counter refusing numbers.
#include "addressbook/AddressBook.h"
#include "app/TF_Main.h"
#include "core/ProofCopies.h"
#include "core/Settings.h"
#include "core/datamodule/MoveAddressDatabases.h"
#include "core/datamodule/MoveToServer.h"
#include "core/datamodule/Schemas.h"
#include "core/datamodule/ServerTables.h"
#include "core/datamodule/TdmDovraPro.h"
#include "engine/Query.h"
#include "engine/Server.h"
#include "printing/ProofArchive.h"
#include "tests/support/PgCluster.h"
#include "tests/support/TestSupport.h"
#include "widgets/ButtonDialog.h"
#include "widgets/ServerPassword.h"
#include "widgets/Services.h"
#include "widgets/TF_NetworkSettings.h"

#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>
#include <memory>
#include <sqlite3.h>

using testsupport::clickButton;

namespace {

const QStringList kTables{"MailerNum",        "YourAddress", "Log37",        "LogFilters",
                          "LogFiltersDetail", "Reports",     "Report_Detail"};

const QString kProofA = "9214712345678900001005";
const QString kProofB = "9214712345678900001012";

QStringList column(const QString& where, const QString& sql)
{
    engine::Query q;
    q.setFolder(where.toStdString());
    q.setSql(sql.toStdString());
    q.open();
    QStringList rows;
    for (; !q.eof(); q.next()) {
        QStringList fields;
        for (int i = 0; i < q.fieldCount(); ++i)
            fields << (q.isNull(q.fieldName(i)) ? "<null>" : QString::fromStdString(q.asString(i)));
        rows << fields.join('|');
    }
    return rows;
}

qint64 countOf(const QString& where, const QString& table)
{
    return column(where, "select count(*) from " + table).value(0).toLongLong();
}

void run(const QString& where, const QString& sql)
{
    engine::Query q;
    q.setFolder(where.toStdString());
    q.setSql(sql.toStdString());
    q.execSql();
}

QString lastMessage()
{
    const auto shown = MessageService::shown();
    return shown.isEmpty() ? QString() : shown.last().text;
}

} // namespace

class TestMoveToServer : public QObject {
    Q_OBJECT

    std::unique_ptr<testsupport::PgCluster> cluster_;
    QTemporaryDir passFolder_;
    std::unique_ptr<testsupport::EnvironmentValue> passFile_;
    std::unique_ptr<testsupport::EnvironmentValue> noPassword_;

    // An office's program folder: a counter at serial 0000500, three senders, a log of
    // logRows rows (some with text the server must keep exactly, some with empty fields), two
    // filters and a report.
    struct Office : testsupport::ProgramFixture {
        QString logFolder() const { return home.path() + "/Log"; }
        QString addressFolder() const { return home.path() + "/Addresses"; }
        explicit Office(int logRows = 1234)
        {
            testsupport::prepareReadyProgramFolder(home.path(), "123456789");
            testsupport::writeRow(home.path(), {"123456789", "0000500", true, true});
            QDir().mkpath(logFolder());
            dm.CreateTable(logFolder(), "Log37", schema::Log37);
            run(addressFolder(), "insert into YourAddress (Address1, City, State, Zip) values ('O''Hara & Sons', "
                                 "'Zürich', 'ZH', '8001')");
            run(addressFolder(), "insert into YourAddress (Address1) values ('Second Sender')");
            engine::Query log;
            log.setFolder(logFolder().toStdString());
            log.setSql("insert into Log37 (DateTime, MailerNum, CustID, SerialNum, ToAddress1, ToCity, WishRest, "
                       "Batch, Result) values (?, ?, ?, ?, ?, ?, ?, ?, ?)");
            log.execEach(logRows, [](size_t i, std::vector<engine::Value>& v) {
                const bool empty = i % 97 == 5;
                v = {std::string("2026-03-") + (i % 28 < 9 ? "0" : "") + std::to_string(i % 28 + 1) + " 08:15:30",
                     "9407 1000 0000 0000 " + std::to_string(1000000 + i),
                     std::string("123456789"),
                     std::int64_t(i + 1),
                     empty ? engine::Value{} : engine::Value{"Recipient " + std::to_string(i) + " 'Ann' \"Lee\" ß"},
                     empty ? engine::Value{} : engine::Value{std::string("Dover")},
                     std::int64_t(i % 2),
                     std::int64_t(i % 3 == 0),
                     std::string(i % 5 ? "None" : "Return Receipt")};
            });
            run(logFolder(), "insert into LogFilters values ('Dover', 'AND'); insert into LogFilters values "
                             "('Batches', 'OR')");
            run(logFolder(), "insert into LogFiltersDetail values ('Dover', '10', '=', 'Dover'); insert into "
                             "LogFiltersDetail values ('Batches', '30', '=', 'True'); insert into LogFiltersDetail "
                             "values ('Batches', '5', 'LK', '%Lee%')");
            run(logFolder(), "insert into Reports values ('Monthly', 'L')");
            for (int i = 0; i < 4; ++i)
                run(logFolder(), QString("insert into Report_Detail values ('Monthly', 'Field%1', %1)").arg(i));
            settings = Settings::load(settingsFilePath(home.path()), home.path());
            settings.logDB = logFolder();
            // Proof copies of two months, a reprint among them, and a copy a crash left half
            // written (never under a number's name).
            ProofArchive proofs(settings.proofDB, true);
            MailerPrintData data = testsupport::sampleMailerPrintData();
            data.serial = "0000100";
            const MailerValues a = mailerValues(data); // kProofA
            data.serial = "0000101";
            const MailerValues b = mailerValues(data); // kProofB
            proofs.keep(a, MailerLayout::Form, {}, "Ann Lee", QDateTime(QDate(2026, 2, 10), QTime(9, 0)));
            proofs.keep(b, MailerLayout::Form, {}, QString::fromUtf8("Zoë Ångström"),
                        QDateTime(QDate(2026, 3, 9), QTime(9, 0)));
            proofs.keep(b, MailerLayout::Form, {}, "Reprinted", QDateTime(QDate(2026, 3, 9), QTime(9, 5)));
            QFile half(settings.proofDB + "/2026-03/.incoming/print-00000009.pdf");
            half.open(QIODevice::WriteOnly);
            half.write("%PDF-1.4 cut short");
        }
        // A proof copy's bytes, by its name in the proof folder.
        QByteArray proofBytes(const QString& name) const
        {
            QFile file(settings.proofDB + "/" + name);
            file.open(QIODevice::ReadOnly);
            return file.readAll();
        }
        QString folderOf(const QString& table) const
        {
            return table == "MailerNum" ? home.path() : table == "YourAddress" ? addressFolder() : logFolder();
        }
    };

    void fillServer(TF_NetworkSettings& dialog, const QString& database, const QString& user = "postgres",
                    const QString& port = QString())
    {
        dialog.editServerHost->setText("127.0.0.1");
        dialog.editServerPort->setText(port.isEmpty() ? QString::number(cluster_->port()) : port);
        dialog.editServerDatabase->setText(database);
        dialog.editServerUser->setText(user);
    }

    static QString databaseOf(const QString& location) { return location.section('/', 3).section('?', 0, 0); }

    // The folder's tables, counted.
    static QList<qint64> folderCounts(const Office& office)
    {
        QList<qint64> counts;
        for (const QString& table : kTables)
            counts << countOf(office.folderOf(table), table);
        return counts;
    }

private slots:
    void initTestCase()
    {
        MessageService::setScripted(true);
        FileDialogService::setScripted(true);
        PasswordService::setScripted(true);
        try {
            cluster_ = std::make_unique<testsupport::PgCluster>();
            cluster_->addPasswordRole("clerk", "s3cret");
            engine::runOnServer(cluster_->location().toStdString(), "CREATE DATABASE office");
        } catch (const std::exception& e) {
            QFAIL(e.what());
        }
        // No password from the machine's own ~/.pgpass or environment: only the one file here.
        QFile pass(passFolder_.filePath("pgpass"));
        QVERIFY(pass.open(QIODevice::WriteOnly));
        pass.write(QString("127.0.0.1:%1:office:clerk:s3cret\n").arg(cluster_->port()).toUtf8());
        pass.close();
        pass.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
        passFile_ = std::make_unique<testsupport::EnvironmentValue>("PGPASSFILE", pass.fileName());
        noPassword_ = std::make_unique<testsupport::EnvironmentValue>("PGPASSWORD");
    }
    void cleanupTestCase() { cluster_.reset(); }
    void init()
    {
        MessageService::clearShown();
        PasswordService::clear();
    }

    void testConnectionSaysWhatItFound_data()
    {
        QTest::addColumn<QString>("host");
        QTest::addColumn<QString>("port"); // empty: the cluster's
        QTest::addColumn<QString>("database");
        QTest::addColumn<QString>("user");
        QTest::addColumn<bool>("requireTls");
        QTest::addColumn<QStringList>("passwords"); // answers to the password box, in order
        QTest::addColumn<int>("asked");
        QTest::addColumn<bool>("connected");
        QTest::addColumn<QString>("message"); // the message starts so, or holds it
        const QString connected = "Connected to the database server 127.0.0.1:%1, database %2 (PostgreSQL ";
        QTest::newRow("connected") << "127.0.0.1"
                                   << ""
                                   << "postgres"
                                   << "postgres" << false << QStringList() << 0 << true
                                   << connected.arg("%1", "postgres");
        QTest::newRow("wrong port") << "127.0.0.1"
                                    << "1"
                                    << "postgres"
                                    << "postgres" << false << QStringList() << 0 << false
                                    << "The database server 127.0.0.1:1, database postgres cannot be reached";
        QTest::newRow("no such database")
            << "127.0.0.1"
            << ""
            << "nosuch"
            << "postgres" << false << QStringList() << 0 << false << "database \"nosuch\" does not exist";
        QTest::newRow("TLS required, the server has none")
            << "127.0.0.1"
            << ""
            << "postgres"
            << "postgres" << true << QStringList() << 0 << false << "SSL";
        QTest::newRow("no host") << ""
                                 << ""
                                 << "postgres"
                                 << "postgres" << false << QStringList() << 0 << false
                                 << "Please enter the name or address of the database server.";
        QTest::newRow("port not a number") << "127.0.0.1"
                                           << "54x"
                                           << "postgres"
                                           << "postgres" << false << QStringList() << 0 << false
                                           << "The port of the database server is a number from 1 to 65535.";
        QTest::newRow("password asked: a wrong one, then the right one")
            << "127.0.0.1"
            << ""
            << "postgres"
            << "clerk" << false << QStringList{"wrong", "s3cret"} << 2 << true << connected.arg("%1", "postgres");
        QTest::newRow("password asked and cancelled")
            << "127.0.0.1"
            << ""
            << "template1"
            << "clerk" << false << QStringList{""} << 1 << false << "password";
        QTest::newRow("password from the .pgpass file")
            << "127.0.0.1"
            << ""
            << "office"
            << "clerk" << false << QStringList() << 0 << true << connected.arg("%1", "office");
    }
    void testConnectionSaysWhatItFound()
    {
        QFETCH(QString, host);
        QFETCH(QString, port);
        QFETCH(QString, database);
        QFETCH(QString, user);
        QFETCH(bool, requireTls);
        QFETCH(QStringList, passwords);
        QFETCH(int, asked);
        QFETCH(bool, connected);
        QFETCH(QString, message);
        testsupport::ProgramFixture f;
        TF_NetworkSettings dialog(f.settings);
        fillServer(dialog, database, user, port);
        dialog.editServerHost->setText(host);
        dialog.cbRequireTls->setChecked(requireTls);
        for (const QString& password : passwords)
            PasswordService::queueAnswer(password);
        clickButton(&dialog, "btnTestConnection");

        QCOMPARE(PasswordService::asked().size(), asked);
        for (const QString& text : PasswordService::asked())
            QVERIFY2(text.startsWith(QString("The database server 127.0.0.1:%1, database %2 asks for a password")
                                         .arg(cluster_->port())
                                         .arg(database)),
                     qPrintable(text));
        QCOMPARE(MessageService::shown().size(), 1);
        const auto shown = MessageService::shown().first();
        QCOMPARE(shown.kind, connected ? MessageKind::Information : MessageKind::Error);
        const QString expected = message.contains("%1") ? message.arg(cluster_->port()) : message;
        QVERIFY2(connected ? shown.text.startsWith(expected) : shown.text.contains(expected), qPrintable(shown.text));
        // Nothing is stored by a test: the settings change on OK only.
        QVERIFY(!f.settings.onServer());
        QVERIFY(f.settings.serverHost.isEmpty());
    }

    void okStoresTheServerAndNoPassword()
    {
        testsupport::ProgramFixture f;
        TF_NetworkSettings dialog(f.settings);
        fillServer(dialog, "office", "clerk");
        dialog.rbServer->setChecked(true);
        QVERIFY(!dialog.btnMoveToServer->isEnabled());
        QVERIFY(!dialog.lblLogDB->parentWidget()->isEnabled());
        dialog.editServerDatabase->clear();
        clickButton(&dialog, "btnOK");
        QCOMPARE(lastMessage(), QString("Please enter the name of the database on the server."));
        QVERIFY(!f.settings.onServer());
        dialog.editServerDatabase->setText("office");
        dialog.cbRequireTls->setChecked(true);
        clickButton(&dialog, "btnOK");
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QVERIFY(f.settings.onServer());
        QCOMPARE(f.settings.logLocation(),
                 QString("postgresql://clerk@127.0.0.1:%1/office?sslmode=require").arg(cluster_->port()));
        QVERIFY(f.settings.save(settingsFilePath(f.home.path())).isEmpty());
        Settings again = Settings::load(settingsFilePath(f.home.path()), f.home.path());
        QCOMPARE(again, f.settings);
        TF_NetworkSettings reopened(again);
        QVERIFY(reopened.rbServer->isChecked());
        QCOMPARE(reopened.editServerUser->text(), QString("clerk"));
        QVERIFY(reopened.cbRequireTls->isChecked());
    }

    // Moved to an empty database (no tables yet) and to one whose tables a workstation made
    // but no one has used.
    void moveCopiesEveryTableInOneGo_data()
    {
        QTest::addColumn<bool>("tablesMade");
        QTest::newRow("empty database") << false;
        QTest::newRow("tables made, unused") << true;
    }
    void moveCopiesEveryTableInOneGo()
    {
        QFETCH(bool, tablesMade);
        Office office;
        const QString location = cluster_->newDatabase();
        if (tablesMade)
            QVERIFY(CreateServerTables(location));
        const QList<qint64> before = folderCounts(office);
        QCOMPARE(before, (QList<qint64>{1, 3, 1234, 2, 3, 1, 4}));

        TF_NetworkSettings dialog(office.settings);
        fillServer(dialog, databaseOf(location));
        MessageService::queueAnswer(QMessageBox::Yes);
        clickButton(&dialog, "btnMoveToServer");

        const auto shown = MessageService::shown();
        QCOMPARE(shown.size(), 2);
        QCOMPARE(shown[0].kind, MessageKind::Confirmation);
        QVERIFY2(shown[1].kind == MessageKind::Information, qPrintable(shown[1].text));
        QCOMPARE(shown[1].text,
                 QString("The tables have been copied to the database server 127.0.0.1:%1, database %2:\n"
                         "\nMailerNum: 1 row\nYourAddress: 3 rows\nLog37: 1234 rows\nLogFilters: 2 rows"
                         "\nLogFiltersDetail: 3 rows\nReports: 1 row\nReport_Detail: 4 rows\nProof copies: 3 "
                         "copies\n\nThis "
                         "workstation uses the server from now on. Set every other workstation to it "
                         "under Options, Network Settings, Server.")
                     .arg(cluster_->port())
                     .arg(databaseOf(location)));
        // Every table holds on the server what the folder holds, and the folder keeps it.
        const QString server = QString("postgresql://postgres@127.0.0.1:%1/%2?sslmode=prefer")
                                   .arg(cluster_->port())
                                   .arg(databaseOf(location));
        for (int i = 0; i < kTables.size(); ++i)
            QCOMPARE(countOf(server, kTables[i]), before[i]);
        QCOMPARE(folderCounts(office), before);
        const QString logColumns =
            "select LID, DateTime, MailerNum, CustID, SerialNum, ToAddress1, ToCity, WishRest, Batch, Result from "
            "Log37 order by LID";
        QCOMPARE(column(server, logColumns), column(office.logFolder(), logColumns));
        for (const QString& sql : {"select CustID, SerialNum, Increment, BarCodes from MailerNum",
                                   "select A_ID, Address1, City, State, Zip from YourAddress order by A_ID",
                                   "select FilterName, FieldName, Operator, Value from LogFiltersDetail order by "
                                   "FilterName, FieldName",
                                   "select ReportName, Field_Name, FieldOrder from Report_Detail order by FieldOrder"})
            QCOMPARE(column(server, sql),
                     column(office.folderOf(QString(sql).section("from ", 1).section(' ', 0, 0)), sql));
        QCOMPARE(column(server, "select CustID, SerialNum from MailerNum"), QStringList{"123456789|0000500"});
        // Every proof copy, byte for byte, under its number with its recipient; a number's
        // first copy first. The folder keeps its files.
        QCOMPARE(
            column(server, "select MailerNum, Recipient from Proofs order by PID"),
            (QStringList{kProofA + "|Ann Lee", kProofB + QString::fromUtf8("|Zoë Ångström"), kProofB + "|Reprinted"}));
        QCOMPARE(ProofCopies::serverProof(server, kProofA), office.proofBytes("2026-02/" + kProofA + ".pdf"));
        QCOMPARE(ProofCopies::serverProof(server, kProofB), office.proofBytes("2026-03/" + kProofB + ".pdf"));
        QCOMPARE(column(server, "select count(*) from Proofs where Printed >= current_date"), QStringList{"3"});
        QVERIFY(QFile::exists(office.settings.proofDB + "/2026-03/" + kProofB + "-2.pdf"));
        // New rows on the server take keys after the ones copied.
        run(server, "insert into YourAddress (Address1) values ('Third')");
        QCOMPARE(column(server, "select max(A_ID) from YourAddress"), QStringList{"4"});

        // The dialog and the settings use the server from now on, whatever way it is left.
        QVERIFY(dialog.rbServer->isChecked());
        QVERIFY(office.settings.onServer());
        QCOMPARE(office.settings.mailerNumLocation(), server);
        QVERIFY(QFile::exists(MovedToServerMarkFile(office.home.path())));
        // A second move from the same folder is refused.
        MessageService::clearShown();
        QVERIFY_THROWS_EXCEPTION(
            engine::EngineError,
            MoveToServer({office.home.path(), office.addressFolder(), office.logFolder()}, cluster_->newDatabase()));
    }

    // The address databases in use, inside and beside the one chosen, go with the shared tables,
    // each with its addresses, groups and memberships and its keys; the one in use is used on
    // the server from then on. A database of the same name there (regardless of case) is filled
    // when it is empty; one that holds rows refuses the whole move, before anything is copied.
    void moveTakesTheAddressDatabases_data()
    {
        QTest::addColumn<bool>("sameNameOnServer");
        QTest::addColumn<bool>("withRows");
        QTest::newRow("none there") << false << false;
        QTest::newRow("an empty one of the same name") << true << false;
        QTest::newRow("one of the same name with rows") << true << true;
    }
    void moveTakesTheAddressDatabases()
    {
        QFETCH(bool, sameNameOnServer);
        QFETCH(bool, withRows);
        Office office(10);
        const QString clients = office.addressFolder() + "/Clients", doctors = office.addressFolder() + "/Ärzte";
        for (const QString& folder : {clients, doctors}) {
            QDir().mkpath(folder);
            createAddressDatabaseTables(folder);
        }
        engine::Query fill;
        fill.setFolder(clients.toStdString());
        fill.setSql("insert into Address (Address1, City, State, Zip) values (?, 'Erie', 'PA', '16501')");
        fill.execEach(1234, [](size_t i, std::vector<engine::Value>& v) {
            v = {"Client " + std::to_string(i) + (i % 7 ? "" : " Müller 'Ann'")};
        });
        run(clients, "delete from Address where A_ID = 3"); // keys as they are, gaps and all
        for (const char* group : {"Friends", "Ärzte", "Family"})
            QVERIFY(AddressBookQueries(fill).insertGroup(-1, group));
        run(clients, "insert into Members (A_ID, G_ID) select A_ID, 1 + A_ID % 3 from Address where A_ID % 2 = 0");
        run(doctors, "insert into Address (Address1) values ('Dr. Lee')");
        fill.disconnect();
        office.settings.addressDB = clients;
        QCOMPARE(AddressDatabasesToMove(clients), (QStringList{clients, doctors}));

        const QString location = cluster_->newDatabase();
        if (sameNameOnServer) {
            const QString there = createServerAddressDatabase(location, "clients");
            if (withRows)
                run(there, "insert into Groups (Parent_ID, Group_Name) values (-1, 'Theirs')");
        }
        const Settings settingsBefore = office.settings;
        TF_NetworkSettings dialog(office.settings);
        fillServer(dialog, databaseOf(location));
        MessageService::queueAnswer(QMessageBox::Yes);
        clickButton(&dialog, "btnMoveToServer");
        const auto shown = MessageService::shown();
        QCOMPARE(shown.size(), 2);
        QVERIFY2(shown[0].text.contains("The address databases go too, each under its folder's name: " + clients +
                                        ", " + doctors + "."),
                 qPrintable(shown[0].text));
        if (withRows) {
            QCOMPARE(shown[1].kind, MessageKind::Error);
            QCOMPARE(shown[1].text, "The address databases cannot be moved to the database server " +
                                        QString::fromStdString(engine::describeServer(location.toStdString())) +
                                        ": the server's address database \"clients\" holds 1 row already. Nothing "
                                        "has been copied. Rename the folder, or delete that database on the server, "
                                        "and move again.");
            QCOMPARE(engine::serverSchemaVersion(location.toStdString()), 0);
            QVERIFY(!QFile::exists(MovedToServerMarkFile(office.home.path())));
            QCOMPARE(office.settings, settingsBefore);
            return;
        }
        QVERIFY2(shown[1].kind == MessageKind::Information, qPrintable(shown[1].text));
        QVERIFY2(shown[1].text.contains("\nReport_Detail: 4 rows\nProof copies: 3 copies\nAddress database Clients: "
                                        "1233 addresses, 3 groups, 617 memberships\nAddress database Ärzte: 1 address, 0 groups, 0 "
                                        "memberships\n\nThis workstation"),
                 qPrintable(shown[1].text));
        // On the server, by the folders' names, holding what the folders hold, keys and all.
        std::vector<ServerAddressDatabase> onServer = serverAddressDatabases(location);
        QCOMPARE(onServer.size(), size_t(2));
        QCOMPARE(onServer[0].name, sameNameOnServer ? QString("clients") : QString("Clients"));
        QCOMPARE(onServer[1].name, QString("Ärzte"));
        for (const QString& sql : {"select A_ID, Address1, City from Address order by A_ID",
                                   "select G_ID, Parent_ID, Group_Name from Groups order by G_ID",
                                   "select A_ID, G_ID from Members order by A_ID, G_ID"}) {
            QCOMPARE(column(onServer[0].location, sql), column(clients, sql));
            QCOMPARE(column(onServer[1].location, sql), column(doctors, sql));
        }
        // New rows take keys after the ones copied; group names stay unique regardless of case.
        run(onServer[0].location, "insert into Address (Address1) values ('New')");
        QCOMPARE(column(onServer[0].location, "select max(A_ID) from Address"), QStringList{"1235"});
        engine::Query q;
        q.setFolder(onServer[0].location.toStdString());
        QVERIFY(!AddressBookQueries(q).insertGroup(-1, "ärzte"));
        QVERIFY(AddressBookQueries(q).insertGroup(-1, "Arzte"));
        q.disconnect();
        // The database in use is the server's from now on; the folders keep theirs.
        QCOMPARE(office.settings.addressDB, onServer[0].location);
        QCOMPARE(countOf(clients, "Address"), qint64(1233));
    }

    // Each address database is copied whole or not at all: one whose groups the server's index
    // refuses (two names that differ in case only, as an earlier version's ASCII-only index let
    // through) leaves nothing of it there, and names the databases copied before it.
    void anAddressDatabaseIsCopiedWholeOrNotAtAll()
    {
        testsupport::TempProgramFolder home;
        const QString first = home.path() + "/A First", second = home.path() + "/B Second";
        for (const QString& folder : {first, second}) {
            QDir().mkpath(folder);
            createAddressDatabaseTables(folder);
            run(folder, "insert into Address (Address1) values ('Ann')");
        }
        sqlite3* raw = nullptr;
        QCOMPARE(sqlite3_open(qPrintable(second + "/Groups.adt"), &raw), SQLITE_OK);
        const int rc = sqlite3_exec(raw,
                                    "drop index Group_Name; create unique index Group_Name on Groups (Group_Name "
                                    "collate nocase); insert into Groups (Parent_ID, Group_Name) values (-1, "
                                    "'Ärzte'), (-1, 'ärzte')",
                                    nullptr, nullptr, nullptr);
        sqlite3_close(raw);
        QCOMPARE(rc, SQLITE_OK);
        const QString location = cluster_->newDatabase();
        QCOMPARE(AddressDatabasesMoveRefusal({first, second}, location), QString());
        try {
            MoveAddressDatabasesToServer({first, second}, location);
            QFAIL("the second database was copied");
        } catch (const engine::EngineError& e) {
            const QString message = QString::fromUtf8(e.what());
            QVERIFY2(message.startsWith("The address database " + second +
                                        " could not be copied to the database server: ") &&
                         message.contains("duplicate key") &&
                         message.endsWith(". Nothing of it is on the server. Copied before it: A First."),
                     qPrintable(message));
        }
        const std::vector<ServerAddressDatabase> onServer = serverAddressDatabases(location);
        QCOMPARE(onServer.size(), size_t(1));
        QCOMPARE(onServer[0].name, QString("A First"));
        QCOMPARE(column(onServer[0].location, "select Address1 from Address"), QStringList{"Ann"});
    }

    void moveIsRefusedAndChangesNothing_data()
    {
        QTest::addColumn<QString>("serverSql"); // run on the database (its tables made) first
        QTest::addColumn<QString>("folderSql"); // run on the folder's log first
        QTest::addColumn<QString>("message");
        QTest::newRow("a sender on the server")
            << "insert into YourAddress (Address1) values ('Other Office')" << QString()
            << "holds an office's tables already (YourAddress 1 row). Nothing has been copied";
        QTest::newRow("a counter in use on the server")
            << "update MailerNum set CustID = '987654321', SerialNum = '0000042'" << QString()
            << "holds an office's tables already (MailerNum 1 row).";
        QTest::newRow("a log on the server")
            << "insert into Log37 (MailerNum) values ('x'); insert into Log37 (MailerNum) values ('y'); insert into "
               "Reports values ('R', 'P')"
            << QString() << "holds an office's tables already (Log37 2 rows, Reports 1 row).";
        QTest::newRow("a proof copy on the server")
            << "insert into Proofs (MailerNum, Recipient, Printed, Pdf) values ('9214712345678900000015', 'x', "
               "'2026-01-02 03:04:05', '\\x25504446')"
            << QString() << "holds an office's tables already (Proofs 1 proof copy).";
        QTest::newRow("a log row the server cannot take: the tables made are undone too")
            << QString() << "insert into Log37 (DateTime, MailerNum) values ('not a time', 'z')"
            << "invalid input syntax for type timestamp";
    }
    void moveIsRefusedAndChangesNothing()
    {
        QFETCH(QString, serverSql);
        QFETCH(QString, folderSql);
        QFETCH(QString, message);
        Office office(700);
        const QString location = cluster_->newDatabase();
        if (!serverSql.isEmpty()) {
            QVERIFY(CreateServerTables(location));
            run(location, serverSql);
        }
        if (!folderSql.isEmpty())
            run(office.logFolder(), folderSql);
        QList<QStringList> serverBefore;
        if (!serverSql.isEmpty())
            for (const QString& table : kTables + QStringList{"Proofs"})
                serverBefore << column(location, "select * from " + table + " order by 1");
        const QList<qint64> folderBefore = folderCounts(office);
        const Settings settingsBefore = office.settings;

        TF_NetworkSettings dialog(office.settings);
        fillServer(dialog, databaseOf(location));
        MessageService::queueAnswer(QMessageBox::Yes);
        clickButton(&dialog, "btnMoveToServer");

        QCOMPARE(MessageService::shown().size(), 2);
        QCOMPARE(MessageService::shown()[1].kind, MessageKind::Error);
        QVERIFY2(lastMessage().contains(message), qPrintable(lastMessage()));
        // Nothing changed: the server's tables, the folders, the settings; the folder's counter
        // still hands out numbers.
        if (serverSql.isEmpty()) {
            QCOMPARE(engine::serverSchemaVersion(location.toStdString()), 0);
        } else {
            QList<QStringList> serverAfter;
            for (const QString& table : kTables + QStringList{"Proofs"})
                serverAfter << column(location, "select * from " + table + " order by 1");
            QCOMPARE(serverAfter, serverBefore);
        }
        QCOMPARE(folderCounts(office), folderBefore);
        QCOMPARE(testsupport::readRow(office.home.path()).serialNum, QString("0000500"));
        QVERIFY(!QFile::exists(MovedToServerMarkFile(office.home.path())));
        QVERIFY(MovedToServerRefusal(office.home.path()).isEmpty());
        QVERIFY(dialog.rbFolder->isChecked());
        QCOMPARE(office.settings, settingsBefore);
    }

    // A workstation whose settings still name the folder: its start says where the counter
    // went, and it takes no number.
    void aWorkstationStillSetToTheFolderIsRefused()
    {
        Office office(10);
        QVERIFY(office.settings.save(settingsFilePath(office.home.path())).isEmpty());
        const QString location = cluster_->newDatabase();
        TF_NetworkSettings dialog(office.settings);
        fillServer(dialog, databaseOf(location));
        MessageService::queueAnswer(QMessageBox::Yes);
        clickButton(&dialog, "btnMoveToServer");
        QCOMPARE(MessageService::shown().last().kind, MessageKind::Information);
        // This workstation's own settings were not saved since: dovra3.ini still names the folder.
        QVERIFY(!Settings::load(settingsFilePath(office.home.path()), office.home.path()).onServer());

        QProcess workstation;
        workstation.start(testsupport::binDir() + "/crash_workstation", {office.home.path(), "once"});
        QVERIFY(workstation.waitForFinished(120000));
        const QString errors = QString::fromUtf8(workstation.readAllStandardError());
        QCOMPARE(workstation.exitCode(), 4); // refused at its start, before printing
        QVERIFY2(errors.contains(QString("The Mailer Number counter of %1 has been moved to the database server "
                                         "127.0.0.1:%2, database %3.")
                                     .arg(office.home.path())
                                     .arg(cluster_->port())
                                     .arg(databaseOf(location))),
                 qPrintable(errors));
        QCOMPARE(testsupport::readRow(office.home.path()).serialNum, QString("0000500"));
        QCOMPARE(countOf(office.logFolder(), "Log37"), 10);
        QVERIFY(QDir(office.home.path() + "/Printed").isEmpty());
    }

    // A workstation set to a server that wants a password no one gave: the start asks once,
    // and the password is kept for the session only, never in the settings file.
    void theStartAsksForTheServersPassword()
    {
        testsupport::TempProgramFolder home;
        TdmDovraPro dm;
        const QString database = databaseOf(cluster_->newDatabase());
        QFile ini(settingsFilePath(home.path()));
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write(QString("[Server]\r\nTables=Server\r\nHost=127.0.0.1\r\nPort=%1\r\nDatabase=%2\r\nUser=clerk\r\n")
                      .arg(cluster_->port())
                      .arg(database)
                      .toUtf8());
        ini.close();
        PasswordService::queueAnswer("s3cret");
        {
            TF_Main w;
            QVERIFY(w.settings.onServer());
            QCOMPARE(PasswordService::asked().size(), 1);
            QVERIFY(PasswordService::asked()[0].contains(QString("database %1 asks for a password").arg(database)));
            const auto check = engine::checkServerConnection(w.settings.mailerNumLocation().toStdString());
            QVERIFY2(check.error.empty(), check.error.c_str());
            w.close();
        }
        QVERIFY(ini.open(QIODevice::ReadOnly));
        const QByteArray saved = ini.readAll();
        QVERIFY(saved.contains("Tables=Server"));
        QVERIFY(!saved.contains("s3cret"));
    }

    // A workstation that was running, set to the folder, while another moved the office: its
    // next Print is refused before anything reaches paper.
    void aRunningWorkstationStillSetToTheFolderPrintsNothing()
    {
        Office office(10);
        QVERIFY(office.settings.save(settingsFilePath(office.home.path())).isEmpty());
        const testsupport::EnvironmentValue pdfDir("DOVRA_PDF_DIR", office.home.path() + "/Printed");
        ButtonDialogService::setScripted(true);
        TF_Main w;
        QVERIFY(!w.settings.onServer());
        w.memoToAddress->setPlainText("Jane Roe\n4 Elm St");
        w.editToCity->setText("Dover");
        w.editToState->setText("DE");
        w.editToZip->setText("19901-0001");

        Settings other = office.settings; // the workstation that moves the office
        const QString location = cluster_->newDatabase();
        TF_NetworkSettings dialog(other);
        fillServer(dialog, databaseOf(location));
        MessageService::queueAnswer(QMessageBox::Yes);
        clickButton(&dialog, "btnMoveToServer");
        QCOMPARE(MessageService::shown().last().kind, MessageKind::Information);
        MessageService::clearShown();

        QVERIFY(!w.btnPrintClick());
        const QStringList messages = testsupport::shownMessageTexts();
        QCOMPARE(messages.size(), 1);
        QVERIFY2(messages[0].contains(QString("has been moved to the database server 127.0.0.1:%1, database %2.")
                                          .arg(cluster_->port())
                                          .arg(databaseOf(location))) &&
                     messages[0].contains("Nothing has been printed; no Mailer Number was used."),
                 qPrintable(messages[0]));
        QCOMPARE(testsupport::readRow(office.home.path()).serialNum, QString("0000500"));
        QCOMPARE(countOf(office.logFolder(), "Log37"), 10);
        QVERIFY(QDir(office.home.path() + "/Printed").isEmpty());
    }
};

QTEST_MAIN(TestMoveToServer)
#include "test_movetoserver.moc"
