// Proof copies of printed mailers, wherever an office keeps them: in the Proofs folder (the
// tables in folders), in the server's table Proofs (the tables on a database server), or in the
// folder all the same with the tables on a server. Every case runs against each of these, on a
// throwaway PostgreSQL cluster: the copy of every mailer printed, the one warning of a run whose
// copies cannot be kept, a reprint's first copy, Open Proof in the log window. Then what only a
// server has: a server made by the version before gains the table, and two workstations mass
// printing at once through the program's own start-up.
#include "addressbook/AddressBook.h"
#include "app/TF_Main.h"
#include "core/MailerNumber.h"
#include "core/ProofCopies.h"
#include "core/ServerSettings.h"
#include "core/Settings.h"
#include "core/datamodule/ServerTables.h"
#include "core/datamodule/TdmDovraPro.h"
#include "engine/Dialect.h"
#include "engine/Query.h"
#include "engine/Server.h"
#include "log/LogModel.h"
#include "log/TF_Log.h"
#include "printing/ProofArchive.h"
#include "printing/TF_NumLabels.h"
#include "tests/support/PgCluster.h"
#include "tests/support/TestSupport.h"
#include "widgets/ButtonDialog.h"
#include "widgets/Services.h"
#include "widgets/TF_NetworkSettings.h"

#include <QAction>
#include <QCheckBox>
#include <QDesktopServices>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QtTest>
#include <memory>
#include <sqlite3.h>
#include <thread>

namespace {

const QString kFolder = "folder";
const QString kServer = "server";
const QString kServerCopiesInFolder = "server, copies in folder";

QString numberT(const QString& serial)
{
    return BuildMailerNumber("123456789", serial, "T");
}

QStringList column(const QString& where, const QString& sql)
{
    engine::Query q;
    q.setFolder(where.toStdString());
    q.setSql(sql.toStdString());
    q.open();
    QStringList values;
    for (; !q.eof(); q.next())
        values << QString::fromStdString(q.asString(0));
    return values;
}

// A database with the program's tables, a sender (A_ID 1) and the counter at the serial given.
QString readyDatabase(testsupport::PgCluster& cluster, const QString& serial = "0000041")
{
    const QString location = cluster.newDatabase();
    if (!CreateServerTables(location))
        qFatal("the tables were not made");
    engine::runOnServer(location.toStdString(),
                        "UPDATE mailernum SET custid = '123456789', serialnum = '" + serial.toStdString() +
                            "'; INSERT INTO youraddress (address1, address2, city, state, zip) VALUES "
                            "('Law Office of Ann Lee', '100 Main St', 'Springfield', 'IL', '62701')");
    return location;
}

// The main window of a program folder of its own, its shared tables where the backend puts
// them, its counter at 0000041 and a mailer to Jane Roe filled in; every job a PDF file.
class ProofFixture {
public:
    ProofFixture(const QString& backend, testsupport::PgCluster& cluster) : backend_(backend)
    {
        MessageService::setScripted(true);
        MessageService::clearShown();
        ButtonDialogService::setScripted(true);
        if (backend == kFolder) {
            testsupport::writeRow(w.settings.mailerNumDB, {"123456789", "0000041", true, true});
        } else {
            server = readyDatabase(cluster);
            w.settings.sharedTables = "Server";
            setServerParams(w.settings, engine::serverParamsOf(server.toStdString()));
            w.settings.proofsInFolder = backend == kServerCopiesInFolder;
        }
        compose("Jane Roe");
    }

    bool copiesOnServer() const { return backend_ == kServer; }
    QString pdfFolder() const { return home.path() + "/Printed"; }
    QStringList pdfFiles() const { return QDir(pdfFolder()).entryList({"*.pdf"}, QDir::Files, QDir::Name); }
    QString counterSerial() const
    {
        return column(w.settings.mailerNumLocation(), "select SerialNum from MailerNum").value(0);
    }
    int logRows() const { return column(w.settings.logLocation(), "select count(*) from Log37").value(0).toInt(); }

    void compose(const QString& name)
    {
        w.currentSender = {{"Acme Supply", "12 Mill Rd", "", ""}, "Springfield", "IL", "62701-1234"};
        w.showCurrentSender();
        w.memoToAddress->setPlainText(name + "\n4 Elm St");
        w.editToCity->setText("Dover");
        w.editToState->setText("DE");
        w.editToZip->setText("19901-0001");
    }

    // The numbers of the copies kept, in the order kept (a folder's in name order).
    QStringList keptNumbers() const
    {
        if (copiesOnServer())
            return column(server, "select MailerNum from Proofs order by PID");
        QStringList numbers;
        QDirIterator it(w.settings.proofDB, {"*.pdf"}, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString file = it.next();
            if (!file.contains("/.incoming/"))
                numbers << QFileInfo(file).completeBaseName();
        }
        numbers.sort();
        return numbers;
    }
    // The copy of a number as a file to read.
    QString copyFile(const QString& number) const
    {
        return ProofCopies::proofToOpen(w.settings.proofLocation(), number);
    }

    // Makes the copies impossible to keep: the folder is under a file; the server's table
    // refuses every row.
    void refuseCopies()
    {
        if (copiesOnServer()) {
            engine::runOnServer(server.toStdString(), "ALTER TABLE proofs ADD CONSTRAINT refused CHECK (pid < 0)");
            return;
        }
        QFile blocker(home.file("blocker"));
        blocker.open(QIODevice::WriteOnly);
        w.settings.proofDB = blocker.fileName() + "/Proofs";
    }
    // Where a refused copy's warning says it should have gone.
    QString copiesPlace() const
    {
        return copiesOnServer() ? QString::fromStdString(engine::describeServer(server.toStdString()))
                                : w.settings.proofDB;
    }

    testsupport::TempProgramFolder home;
    QString server; // the database, when the tables are on one

private:
    QString backend_;
    testsupport::EnvironmentValue pdfDir_{"DOVRA_PDF_DIR", home.path() + "/Printed"};

public:
    TdmDovraPro dm;
    TF_Main w;
};

void answerNumLabels(const QString& count)
{
    QTimer::singleShot(0, [count] {
        auto dialog = qobject_cast<TF_NumLabels*>(QApplication::activeModalWidget());
        dialog->editNumLabels->setText(count);
        dialog->btnOK->click();
    });
}

// A workstation's program folder whose settings put the shared tables on the server, with an
// address database open at the start holding the addresses given (none: no address database).
struct ServerWorkstation {
    QTemporaryDir home;
    ServerWorkstation(const QString& location, const QStringList& addresses)
    {
        const QString book = home.path() + "/Addresses/Clients";
        if (!addresses.isEmpty()) {
            QDir().mkpath(book);
            createAddressDatabaseTables(book);
            engine::Query q;
            q.setFolder(book.toStdString());
            q.setSql("insert into Address (Address1, Address2, City, State, Zip) values (?, '4 Elm St', 'Dover', "
                     "'DE', '19901')");
            q.execEach(size_t(addresses.size()),
                       [&](size_t i, std::vector<engine::Value>& v) { v = {addresses[qsizetype(i)].toStdString()}; });
        }
        QFile ini(home.filePath("dovra3.ini"));
        if (!ini.open(QIODevice::WriteOnly))
            qFatal("no settings file");
        const engine::ServerParams server = engine::serverParamsOf(location.toStdString());
        ini.write(QString("[Server]\r\nTables=Server\r\nHost=%1\r\nPort=%2\r\nDatabase=%3\r\nUser=%4\r\n"
                          "[YourAddress]\r\nID=1\r\n[Type]\r\nBarCodeApp=0\r\n"
                          "[System Path]\r\nDatabaseON=%6\r\nAddressDB=%5\r\n")
                      .arg(QString::fromStdString(server.host))
                      .arg(server.port)
                      .arg(QString::fromStdString(server.database), QString::fromStdString(server.user), book)
                      .arg(addresses.isEmpty() ? 0 : 1)
                      .toUtf8());
    }
    QString path() const { return home.path(); }
    QString printed() const { return home.path() + "/Printed"; }
};

} // namespace

class TestProofCopies : public QObject {
    Q_OBJECT

    std::unique_ptr<testsupport::PgCluster> cluster_;

    static void backends()
    {
        QTest::addColumn<QString>("backend");
        for (const QString& backend : {kFolder, kServer, kServerCopiesInFolder})
            QTest::newRow(qPrintable(backend)) << backend;
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

    void everyPrintedMailerLeavesItsCopy_data();
    void everyPrintedMailerLeavesItsCopy();
    void copiesThatCannotBeKeptWarnOnce_data() { backends(); }
    void copiesThatCannotBeKeptWarnOnce();
    void copyWarningSurvivesARunEndedByAnError_data() { backends(); }
    void copyWarningSurvivesARunEndedByAnError();
    void reprintedNumberKeepsTheFirstCopy_data();
    void reprintedNumberKeepsTheFirstCopy();
    void logWindowOpensTheCopyOfTheCurrentRow_data() { backends(); }
    void logWindowOpensTheCopyOfTheCurrentRow();
    void networkSettingsKeepTheCopiesInTheFolder();
    void serverMadeByTheVersionBeforeGainsTheTable();
    void twoWorkstationsMassPrintAtOnce();
};

void TestProofCopies::everyPrintedMailerLeavesItsCopy_data()
{
    QTest::addColumn<QString>("backend");
    QTest::addColumn<QString>("run");
    QTest::addColumn<QStringList>("serials");
    for (const QString& backend : {kFolder, kServer, kServerCopiesInFolder}) {
        const QByteArray b = backend.toUtf8();
        QTest::newRow(b + ": form") << backend << "form" << QStringList{"0000041"};
        QTest::newRow(b + ": label at row 2, column 3") << backend << "label" << QStringList{"0000041"};
        QTest::newRow(b + ": batch of three") << backend << "batch" << QStringList{"0000041", "0000042", "0000043"};
        QTest::newRow(b + ": multiple forms") << backend << "multiple" << QStringList{"0000041", "0000042"};
    }
}

// Every printed mailer leaves a copy of its page under its number: in the folder of the month,
// or a row on the server with its recipient and the time it was printed.
void TestProofCopies::everyPrintedMailerLeavesItsCopy()
{
    QFETCH(QString, backend);
    QFETCH(QString, run);
    QFETCH(QStringList, serials);
    ProofFixture f(backend, *cluster_);
    const QDateTime before = QDateTime::currentDateTime().addSecs(-1);
    if (run == "label") {
        f.w.CBReturn->setChecked(false);
        f.w.settings.labelRow = 1;
        f.w.settings.labelCol = 2;
        QVERIFY(f.w.btnPrintClick());
    } else if (run == "batch") {
        f.w.miBatchOnClick();
        for (int i = 0; i < 3; ++i)
            QVERIFY(f.w.btnPrintClick());
        f.w.miPrintBatchClick();
    } else if (run == "multiple") {
        answerNumLabels("2");
        f.w.miPrintMultipleFormsClick();
    } else {
        QVERIFY(f.w.btnPrintClick());
    }
    const QString said = testsupport::shownMessageTexts().join('\n');
    QVERIFY2(!said.contains("proof copy"), qPrintable(said));
    QStringList expected;
    for (const QString& serial : serials)
        expected << numberT(serial);
    QCOMPARE(f.keptNumbers(), expected);
    if (f.copiesOnServer()) {
        // Nothing in the folder; each row names its recipient and when it was printed.
        QVERIFY(!QFileInfo::exists(f.w.settings.proofDB));
        for (const QString& row : column(f.server, "select Recipient || '|' || Printed from Proofs")) {
            QCOMPARE(row.section('|', 0, 0), QString("Jane Roe"));
            const QDateTime printed = QDateTime::fromString(row.section('|', 1), "yyyy-MM-dd HH:mm:ss");
            QVERIFY2(printed >= before && printed <= QDateTime::currentDateTime(), qPrintable(row));
        }
    } else {
        const QString month = f.w.settings.proofDB + "/" + QDate::currentDate().toString("yyyy-MM");
        QCOMPARE(QDir(month + "/.incoming").entryList(QDir::Files), QStringList());
        QCOMPARE(column(f.w.settings.logLocation(), "select count(*) from Log37").value(0).toInt(),
                 int(serials.size()));
        if (!f.server.isEmpty())
            QCOMPARE(column(f.server, "select count(*) from Proofs"), QStringList{"0"});
        for (const QString& serial : serials)
            QCOMPARE(ProofCopies::proofFile(f.w.settings.proofDB, numberT(serial)),
                     month + "/" + numberT(serial) + ".pdf");
    }
    for (const QString& serial : serials) {
        const QString proof = f.copyFile(numberT(serial));
        QVERIFY(testsupport::decodedSymbols(proof).contains("CODE-128:" + numberT(serial)));
        // It names its number, its recipient and when it was printed, and carries an ID.
        const QString info = testsupport::runTool("pdfinfo", {proof});
        QVERIFY2(info.contains(QRegularExpression("Title: +" + numberT(serial) + "\n")), qPrintable(info));
        QVERIFY2(info.contains(QRegularExpression("Subject: +Jane Roe\n")), qPrintable(info));
        QVERIFY2(info.contains(QRegularExpression("CreationDate: +\\S")), qPrintable(info));
        QFile file(proof);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        QVERIFY(bytes.contains("/ID [<"));
        QVERIFY2(bytes.size() < 30 * 1024, qPrintable(QString::number(bytes.size())));
    }
    // The copy holds the page as printed: the label stands where it stood on the sheet.
    if (run == "label") {
        const QString printed = f.pdfFolder() + "/" + f.pdfFiles().first();
        QCOMPARE(testsupport::inkBox(testsupport::rasterisePdf(f.copyFile(expected.first()), 50)),
                 testsupport::inkBox(testsupport::rasterisePdf(printed, 50)));
    }
}

void TestProofCopies::copiesThatCannotBeKeptWarnOnce()
{
    QFETCH(QString, backend);
    ProofFixture f(backend, *cluster_);
    f.refuseCopies();
    answerNumLabels("3");
    f.w.miPrintMultipleFormsClick();
    // Printed, logged and counted as usual; one warning names the folder or the server.
    QCOMPARE(f.pdfFiles().size(), 3);
    QCOMPARE(f.logRows(), 3);
    QCOMPARE(f.counterSerial(), QString("0000044"));
    const auto shown = MessageService::shown();
    QCOMPARE(shown.size(), 2);
    QCOMPARE(shown[0].kind, MessageKind::Warning);
    QVERIFY2(shown[0].text.startsWith("The proof copy of the Mailer Number " + numberT("0000041")),
             qPrintable(shown[0].text));
    QVERIFY2(shown[0].text.contains(f.copiesPlace()), qPrintable(shown[0].text));
    QVERIFY2(shown[0].text.endsWith("The mailer has been printed and logged as usual."), qPrintable(shown[0].text));
    QCOMPARE(shown[1].text, QString("3 labels have been sent to the printer."));

    // Switched off, nothing is kept and nothing said.
    MessageService::clearShown();
    f.w.miProofCopies->trigger();
    QVERIFY(!f.w.settings.proofCopies);
    QVERIFY(f.w.btnPrintClick());
    QVERIFY(MessageService::shown().isEmpty());
    QCOMPARE(f.logRows(), 4);
}

// A run that an error ends part-way still tells of the copies of the mailers it printed.
void TestProofCopies::copyWarningSurvivesARunEndedByAnError()
{
    QFETCH(QString, backend);
    ProofFixture f(backend, *cluster_);
    f.refuseCopies();
    // The third number cannot be taken, as on a disk that has filled up.
    if (backend == kFolder) {
        sqlite3* db = nullptr;
        QCOMPARE(sqlite3_open(qPrintable(f.w.settings.mailerNumDB + "/MailerNum.adt"), &db), SQLITE_OK);
        QCOMPARE(sqlite3_exec(db,
                              "create trigger Full before update on MailerNum when NEW.SerialNum > '0000043' "
                              "begin select raise(abort, 'database or disk is full'); end",
                              nullptr, nullptr, nullptr),
                 SQLITE_OK);
        sqlite3_close(db);
    } else {
        engine::runOnServer(f.server.toStdString(),
                            "CREATE FUNCTION full_disk() RETURNS trigger AS $$ BEGIN IF NEW.serialnum > '0000043' "
                            "THEN RAISE EXCEPTION 'database or disk is full'; END IF; RETURN NEW; END $$ "
                            "LANGUAGE plpgsql; CREATE TRIGGER full_disk BEFORE UPDATE ON mailernum FOR EACH ROW "
                            "EXECUTE FUNCTION full_disk()");
    }
    answerNumLabels("3");
    f.w.miPrintMultipleFormsClick();
    QCOMPARE(f.pdfFiles().size(), 2);
    const auto shown = MessageService::shown();
    QCOMPARE(shown.size(), 2);
    QVERIFY2(shown[0].text.contains("disk is full"), qPrintable(shown[0].text));
    QCOMPARE(shown[1].kind, MessageKind::Warning);
    QVERIFY2(shown[1].text.contains(f.copiesPlace()), qPrintable(shown[1].text));
}

void TestProofCopies::reprintedNumberKeepsTheFirstCopy_data()
{
    QTest::addColumn<bool>("onServer");
    QTest::newRow("folder") << false;
    QTest::newRow("server") << true;
}

// A number printed again keeps its first copy as the one it opens; the second is kept beside it.
void TestProofCopies::reprintedNumberKeepsTheFirstCopy()
{
    QFETCH(bool, onServer);
    testsupport::TempProgramFolder home;
    const QString location = onServer ? readyDatabase(*cluster_) : home.path() + "/Proofs";
    const MailerValues values = mailerValues(testsupport::sampleMailerPrintData());
    const QString number = numberT("0000001");
    const QDateTime printedAt(QDate(2026, 3, 9), QTime(10, 0));
    QByteArray firstBytes;
    {
        ProofArchive archive(location, true);
        QCOMPARE(archive.onServer(), onServer);
        archive.keep(values, MailerLayout::Form, {}, "Jane Roe", printedAt);
        QVERIFY(archive.warning().isEmpty());
        QVERIFY(ProofCopies::hasProof(location, number));
        QFile first(ProofCopies::proofToOpen(location, number));
        QVERIFY(first.open(QIODevice::ReadOnly));
        firstBytes = first.readAll();
        QVERIFY(firstBytes.startsWith("%PDF-"));
        archive.keep(values, MailerLayout::Form, {}, "Reprinted", printedAt.addSecs(60));
        QVERIFY(archive.warning().isEmpty());
    }
    if (onServer) {
        QCOMPARE(column(location, "select Recipient || '|' || Printed from Proofs order by PID"),
                 (QStringList{"Jane Roe|2026-03-09 10:00:00", "Reprinted|2026-03-09 10:01:00"}));
        QCOMPARE(ProofCopies::serverProof(location, number), firstBytes);
    } else {
        QCOMPARE(QDir(home.path() + "/Proofs/2026-03").entryList({"*.pdf"}, QDir::Files, QDir::Name),
                 QStringList({number + "-2.pdf", number + ".pdf"}));
    }
    QFile file(ProofCopies::proofToOpen(location, number));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), firstBytes);
    // A number with no copy, or not a number at all, has none.
    QVERIFY(!ProofCopies::hasProof(location, numberT("0000002")));
    QVERIFY(ProofCopies::proofToOpen(location, numberT("0000002")).isEmpty());
    QVERIFY(!ProofCopies::hasProof(location, "9214' or 'a' = 'a"));
}

// The log window offers the copy of a printed row, and none for a batch row not printed; Open
// Proof hands it to the desktop's viewer: a copy on the server as a read-only temporary file.
void TestProofCopies::logWindowOpensTheCopyOfTheCurrentRow()
{
    QFETCH(QString, backend);
    ProofFixture f(backend, *cluster_);
    QVERIFY(f.w.btnPrintClick());
    f.w.miBatchOnClick();
    QVERIFY(f.w.btnPrintClick());
    TF_Log log(f.w.settings);
    QCOMPARE(log.model()->rowCount(), 2);
    QStringList enabled;
    for (int row = 0; row < 2; ++row) {
        log.gridLog->setCurrentIndex(log.model()->index(row, 0));
        enabled << log.currentMailerNum() + (log.btnOpenProof->isEnabled() ? " proof" : " none");
    }
    enabled.sort();
    QCOMPARE(enabled, QStringList({" none", GroupMailerNumber(numberT("0000041")) + " proof"}));
    auto item = log.pmGrid->findChild<QAction*>("miOpenProof");
    QVERIFY(item);
    for (int row = 0; row < 2; ++row) {
        log.gridLog->setCurrentIndex(log.model()->index(row, 0));
        if (log.btnOpenProof->isEnabled())
            break;
    }
    testsupport::UrlCatcher viewer;
    MessageService::clearShown();
    QDesktopServices::setUrlHandler("file", &viewer, "open");
    item->trigger();
    QDesktopServices::unsetUrlHandler("file");
    QVERIFY2(MessageService::shown().isEmpty(), qPrintable(testsupport::shownMessageTexts().join('\n')));
    QCOMPARE(viewer.opened.size(), 1);
    const QString opened = viewer.opened.first().toLocalFile();
    if (f.copiesOnServer()) {
        QCOMPARE(QFileInfo(opened).fileName(), numberT("0000041") + ".pdf");
        QVERIFY(!opened.startsWith(f.home.path()));
        QVERIFY(!(QFileInfo(opened).permissions() & (QFile::WriteOwner | QFile::WriteGroup | QFile::WriteOther)));
        QFile file(opened);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), ProofCopies::serverProof(f.server, numberT("0000041")));
        QVERIFY(testsupport::decodedSymbols(opened).contains("CODE-128:" + numberT("0000041")));
    } else {
        QCOMPARE(opened, ProofCopies::proofFile(f.w.settings.proofDB, numberT("0000041")));
    }

    // Opened again (the file of the first time read-only by now), the same copy.
    QDesktopServices::setUrlHandler("file", &viewer, "open");
    log.btnOpenProof->click();
    QDesktopServices::unsetUrlHandler("file");
    QCOMPARE(viewer.opened.size(), 2);
    QCOMPARE(viewer.opened.last().toLocalFile(), opened);
    QVERIFY(MessageService::shown().isEmpty());

    // A handler that cannot be called stands for a desktop without a viewer.
    QDesktopServices::setUrlHandler("file", &viewer, "missing");
    log.btnOpenProof->click();
    QDesktopServices::unsetUrlHandler("file");
    QCOMPARE(MessageService::shown().size(), 1);
    QVERIFY2(MessageService::shown()[0].text.contains(QDir::toNativeSeparators(opened)),
             qPrintable(MessageService::shown()[0].text));

    // A copy gone since the row was shown is told, not opened.
    if (f.copiesOnServer())
        engine::runOnServer(f.server.toStdString(), "DELETE FROM proofs");
    else
        QVERIFY(QFile::remove(opened));
    MessageService::clearShown();
    QDesktopServices::setUrlHandler("file", &viewer, "open");
    log.btnOpenProof->click();
    QDesktopServices::unsetUrlHandler("file");
    QCOMPARE(viewer.opened.size(), 2);
    QCOMPARE(testsupport::shownMessageTexts(),
             QStringList{"No proof copy of the Mailer Number " + GroupMailerNumber(numberT("0000041")) + " is kept."});
    QVERIFY(!log.btnOpenProof->isEnabled());
}

// With the tables on a server, Network Settings can keep the copies in the folder all the
// same; the choice is saved in dovra3.ini.
void TestProofCopies::networkSettingsKeepTheCopiesInTheFolder()
{
    testsupport::ProgramFixture f;
    MessageService::setScripted(true);
    MessageService::clearShown();
    {
        TF_NetworkSettings dialog(f.settings);
        QVERIFY(!dialog.cbProofsInFolder->isChecked());
        QVERIFY(!dialog.cbProofsInFolder->isEnabled()); // a folder office keeps them in the folder anyway
        QVERIFY(dialog.btnChangeProofDB->isEnabled());
        dialog.rbServer->setChecked(true);
        QVERIFY(dialog.cbProofsInFolder->isEnabled());
        QVERIFY(!dialog.btnChangeProofDB->isEnabled()); // the copies go to the server
        dialog.editServerHost->setText("db.office");
        dialog.editServerDatabase->setText("dovra");
        dialog.cbProofsInFolder->click();
        QVERIFY(dialog.btnChangeProofDB->isEnabled());
        testsupport::clickButton(&dialog, "btnOK");
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
    }
    QVERIFY(f.settings.onServer());
    QVERIFY(f.settings.proofsInFolder);
    QCOMPARE(f.settings.proofLocation(), f.home.path() + "/Proofs");
    QVERIFY(f.settings.save(settingsFilePath(f.home.path())).isEmpty());
    QFile ini(settingsFilePath(f.home.path()));
    QVERIFY(ini.open(QIODevice::ReadOnly));
    QVERIFY(ini.readAll().contains("ProofsInFolder=1"));
    Settings again = Settings::load(settingsFilePath(f.home.path()), f.home.path());
    QVERIFY(again.proofsInFolder);
    QCOMPARE(again, f.settings);

    // Unticked again, the copies go to the server.
    TF_NetworkSettings reopened(again);
    QVERIFY(reopened.cbProofsInFolder->isChecked());
    reopened.cbProofsInFolder->click();
    testsupport::clickButton(&reopened, "btnOK");
    QVERIFY(!again.proofsInFolder);
    QCOMPARE(again.proofLocation(), again.logLocation());
}

// A server whose tables the version before made (no table Proofs) gains the table at the next
// start, in one transaction with the row of the new version, and keeps every row it had; a
// start that cannot make it leaves the database as it was.
void TestProofCopies::serverMadeByTheVersionBeforeGainsTheTable()
{
    const QString location = cluster_->newDatabase();
    const std::string where = location.toStdString();
    std::vector<engine::ServerTableDef> before;
    for (const engine::ServerTableDef& table : ServerTableDefs())
        if (table.name != "Proofs")
            before.push_back(table);
    QVERIFY(engine::createServerTables(where, before, 1));
    engine::runOnServer(where,
                        "UPDATE mailernum SET custid = '123456789', serialnum = '0000700'; "
                        "INSERT INTO youraddress (address1, city, state, zip) VALUES "
                        "('Law Office of Ann Lee', 'Springfield', 'IL', '62701'); "
                        "INSERT INTO log37 (mailernum, toaddress1) VALUES ('9214 7123 4567 8900 0069 91', 'Old')");
    QCOMPARE(engine::serverSchemaVersion(where), 1);

    // The index's name is taken: the table is not made, and nothing else is either.
    const std::string taken = engine::dialect::serverIndexName("Proofs", "Proofs_MailerNum");
    engine::runOnServer(where, "CREATE TABLE " + taken + " (x integer)");
    QVERIFY_THROWS_EXCEPTION(engine::EngineError, CreateServerTables(location));
    QCOMPARE(column(location, "SELECT to_regclass('proofs') IS NULL"), QStringList{"True"});
    QCOMPARE(engine::serverSchemaVersion(where), 1);
    engine::runOnServer(where, "DROP TABLE " + taken);

    // The program's own start makes it; the mailer printed then keeps its copy there.
    ServerWorkstation station(location, {});
    const testsupport::Run run = testsupport::runWorkstation(station.path(), {"once"});
    QVERIFY2(!run.killed && run.exitCode == 0, run.errors.constData());
    QCOMPARE(engine::serverSchemaVersion(where), ServerTablesVersion);
    QCOMPARE(column(location, "select count(*) from dovra_schema"), QStringList{"2"});
    QCOMPARE(column(location, "select SerialNum from MailerNum"), QStringList{"0000701"});
    QCOMPARE(column(location, "select ToAddress1 from Log37 order by LID"), (QStringList{"Old", "Recipient 0"}));
    QCOMPARE(column(location, "select MailerNum from Proofs"), QStringList{numberT("0000700")});
    // Started again, it finds the table there and changes nothing.
    QVERIFY(!CreateServerTables(location));
    QCOMPARE(column(location, "select count(*) from dovra_schema"), QStringList{"2"});
}

// Two workstations mass print their address lists at the same moment on one server, each
// through the program's own start-up: every number once, each on paper once with its row, and
// the copy of every mailer stored on the server under its number.
void TestProofCopies::twoWorkstationsMassPrintAtOnce()
{
    constexpr int kEach = 60;
    const QString location = readyDatabase(*cluster_, "0001000");
    std::vector<std::unique_ptr<ServerWorkstation>> stations;
    for (const char* office : {"North", "South"}) {
        QStringList clients;
        for (int i = 0; i < kEach; ++i)
            clients << QString("%1 Client %2").arg(office).arg(i, 3, 10, QChar('0'));
        stations.push_back(std::make_unique<ServerWorkstation>(location, clients));
    }
    QList<testsupport::Run> runs(2);
    std::vector<std::thread> threads;
    for (int i = 0; i < 2; ++i)
        threads.emplace_back(
            [&, i] { runs[i] = testsupport::runWorkstation(stations[size_t(i)]->path(), {"massprint"}); });
    for (auto& t : threads)
        t.join();
    for (const testsupport::Run& run : runs)
        QVERIFY2(!run.killed && run.exitCode == 0, run.errors.constData());

    QStringList logged = column(location, "select replace(MailerNum, ' ', '') from Log37 order by LID");
    QCOMPARE(logged.size(), 2 * kEach);
    const QSet<QString> distinct(logged.begin(), logged.end());
    QCOMPARE(distinct.size(), 2 * kEach);
    QStringList onPaper;
    for (const auto& station : stations)
        onPaper << testsupport::numbersOnPaper(station->printed());
    QCOMPARE(QSet<QString>(onPaper.begin(), onPaper.end()), distinct);
    QCOMPARE(onPaper.size(), 2 * kEach);

    // One copy a mailer, to the recipient its row names.
    const QStringList copies = column(location, "select MailerNum from Proofs");
    QCOMPARE(copies.size(), 2 * kEach);
    QCOMPARE(QSet<QString>(copies.begin(), copies.end()), distinct);
    QCOMPARE(column(location, "select count(*) from Proofs p join Log37 l on replace(l.MailerNum, ' ', '') = "
                              "p.MailerNum and l.ToAddress1 = p.Recipient"),
             QStringList{QString::number(2 * kEach)});
    for (const auto& station : stations)
        QVERIFY(!QFileInfo::exists(station->path() + "/Proofs"));
    // A copy is the mailer: its bar code reads its number.
    const QString first = ProofCopies::proofToOpen(location, copies.first());
    QVERIFY(testsupport::decodedSymbols(first).contains("CODE-128:" + copies.first()));
}

QTEST_MAIN(TestProofCopies)
#include "test_proofcopies.moc"
