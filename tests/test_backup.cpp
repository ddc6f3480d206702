// Back up and restore: a backup taken while another workstation prints, restored into a new
// folder that starts and prints as a program folder of its own while the original stays as
// it was; tables of a shared folder brought along; restores refused where they would write
// into the original or replace tables unasked; files that are not backups refused.
#include "app/TF_Main.h"
#include "core/Backup.h"
#include "core/IniFile.h"
#include "core/MailerNumber.h"
#include "core/datamodule/Schemas.h"
#include "core/datamodule/TdmDovraPro.h"
#include "tests/support/TestSupport.h"
#include "widgets/ButtonDialog.h"
#include "widgets/Services.h"

#include <QAction>
#include <QCryptographicHash>
#include <QDirIterator>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QtTest>

#include <archive.h>
#include <archive_entry.h>
#include <csignal>
#include <sqlite3.h>

namespace {

using testsupport::EnvironmentValue;

// Every file below a folder (hidden ones too) with a digest of its content.
QMap<QString, QByteArray> snapshot(const QString& root)
{
    QMap<QString, QByteArray> files;
    QDirIterator it(root, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        QFile f(path);
        f.open(QIODevice::ReadOnly);
        files.insert(path.mid(root.size() + 1), QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha1));
    }
    return files;
}

void writeFile(const QString& path, const QByteArray& data)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(data);
}

QStringList loggedNumbers(const QString& logFolder)
{
    QStringList numbers;
    for (const testsupport::LogRow& row : testsupport::logRows(logFolder))
        if (row["Batch"] == "False")
            numbers << QString(row["MailerNum"]).remove(' ');
    return numbers;
}

QString integrity(const QString& folder, const QString& table)
{
    sqlite3* db = nullptr;
    QString result = "cannot open";
    if (sqlite3_open_v2(qPrintable(folder + "/" + table + ".adt"), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &stmt, nullptr) == SQLITE_OK &&
            sqlite3_step(stmt) == SQLITE_ROW)
            result = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)));
        else
            result = sqlite3_errmsg(db);
        sqlite3_finalize(stmt);
    }
    sqlite3_close(db);
    return result;
}

// A zip file of named entries, written as given.
void writeZip(const QString& path, const QList<QPair<QByteArray, QByteArray>>& entries)
{
    archive* a = archive_write_new();
    archive_write_set_format_zip(a);
    QVERIFY(archive_write_open_filename(a, QFile::encodeName(path).constData()) == ARCHIVE_OK);
    for (const auto& [name, data] : entries) {
        archive_entry* e = archive_entry_new();
        archive_entry_set_pathname(e, name.constData());
        archive_entry_set_filetype(e, AE_IFREG);
        archive_entry_set_perm(e, 0644);
        archive_entry_set_size(e, data.size());
        archive_write_header(a, e);
        archive_write_data(a, data.constData(), data.size());
        archive_entry_free(e);
    }
    archive_write_close(a);
    archive_write_free(a);
}

// A workstation printing without end into a program folder, through the print run.
class Printer {
public:
    explicit Printer(const QString& home)
    {
        process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process_.start(testsupport::binDir() + "/crash_printer", {home, "loop"});
        if (!process_.waitForStarted() || !process_.waitForReadyRead(30000))
            qFatal("crash_printer did not start printing");
    }
    ~Printer() { stop(); }
    bool running() const { return process_.state() == QProcess::Running; }
    void stop()
    {
        if (process_.state() != QProcess::NotRunning)
            ::kill(process_.processId(), SIGKILL);
        process_.waitForFinished(30000);
    }

private:
    QProcess process_;
};

// Fills in a recipient and presses Print in the real main window.
void printThrough(TF_Main& w, const QString& name)
{
    w.memoToAddress->setPlainText(name + "\n4 Elm St");
    w.editToCity->setText("Dover");
    w.editToState->setText("DE");
    w.editToZip->setText("19901-0001");
    w.btnPrint->click();
}

// An office whose counter, log and proof copies live in a shared folder outside the program
// folder, with a settings file in the Windows code page.
// An address database kept on the office's database server.
constexpr const char* kServerAddressDatabase =
    "postgresql://clerk@db.office:5432/dovra?sslmode=prefer&options=-csearch_path%3Daddressbook_2";

struct SharedOffice {
    testsupport::TempProgramFolder home;
    QTemporaryDir share;
    TdmDovraPro dm;
    SharedOffice()
    {
        testsupport::prepareReadyProgramFolder(home.path());
        dm.CreateTable(share.path(), "MailerNum", schema::MailerNum);
        testsupport::writeRow(share.path(), {"987654321", "0000500", true, true});
        QDir().mkpath(share.path() + "/Log");
        dm.CreateTable(share.path() + "/Log", "Log37", schema::Log37);
        writeFile(share.path() + "/Proofs/2026-01/9214798765432100004997.pdf", "%PDF-1.4 proof\n%%EOF\n");
        QFile ini(home.file("dovra3.ini"));
        QVERIFY(ini.open(QIODevice::Append));
        const QByteArray folder = share.path().toUtf8();
        ini.write("[System Path]\r\nMailerNumDB=" + folder + "\r\nLogDB=" + folder + "/Log\r\nProofDB=" + folder +
                  "/Proofs\r\nAddressDB=" + kServerAddressDatabase +
                  "\r\n[Printing]\r\nExtraLabel=Adress\xe9 \xe0\r\n");
    }
    Settings settings() const { return Settings::load(home.file("dovra3.ini"), home.path()); }
    // The place below a restored folder where the shared folder's files lie.
    QString restoredShare(const QString& folder) const { return folder + "/Shared" + share.path(); }
};

} // namespace

class TestBackup : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        MessageService::setScripted(true);
        MessageService::clearShown();
        FileDialogService::setScripted(true);
        ButtonDialogService::setScripted(true);
    }

    void backUpWhilePrintingThenRestoreAndPrintThere();
    void tablesOfASharedFolderComeAlong();
    void restoreRefusedOrAskedFirst_data();
    void restoreRefusedOrAskedFirst();
    void filesThatAreNoBackupAreRefused_data();
    void filesThatAreNoBackupAreRefused();
};

void TestBackup::backUpWhilePrintingThenRestoreAndPrintThere()
{
    testsupport::TempProgramFolder original;
    testsupport::prepareReadyProgramFolder(original.path());
    QProcess init;
    init.start(testsupport::binDir() + "/crash_printer", {original.path(), "init"});
    QVERIFY(init.waitForFinished(60000) && init.exitCode() == 0);
    const QString originalLog = original.path() + "/Log";
    QTemporaryDir elsewhere;
    const QString archive = elsewhere.filePath("office.zip");
    const QString restored = elsewhere.filePath("Restored");
    QVERIFY(QDir().mkpath(restored));

    {
        Printer printer(original.path());
        QTRY_VERIFY_WITH_TIMEOUT(testsupport::logRows(originalLog).size() >= 6, 60000);
        TdmDovraPro dm;
        TF_Main w;
        FileDialogService::queueAnswer(archive);
        w.miBackUp->trigger();
        QCOMPARE(testsupport::shownMessageTexts(),
                 QStringList{"The backup has been written to " + QDir::toNativeSeparators(archive) + "."});
        // The other workstation went on printing meanwhile.
        const int afterBackup = int(testsupport::logRows(originalLog).size());
        QTRY_VERIFY_WITH_TIMEOUT(testsupport::logRows(originalLog).size() > afterBackup, 60000);
        QVERIFY(printer.running());

        MessageService::clearShown();
        FileDialogService::queueAnswer(archive);
        FileDialogService::queueAnswer(restored);
        w.miRestore->trigger();
        QCOMPARE(testsupport::shownMessageTexts().size(), 1);
        QVERIFY2(testsupport::shownMessageTexts()[0].startsWith("The backup has been restored into " + restored),
                 qPrintable(testsupport::shownMessageTexts()[0]));
        printer.stop();
        w.close();
    }
    // Read first: the workstation was killed, perhaps inside a write, which this reading
    // rolls back.
    const QList<testsupport::LogRow> originalRows = testsupport::logRows(originalLog);
    const testsupport::CounterRow originalCounter = testsupport::readRow(original.path());
    const QMap<QString, QByteArray> originalFiles = snapshot(original.path());

    // The restored folder: its settings name its own places, relative to it.
    const IniFile ini(restored + "/dovra3.ini");
    QCOMPARE(ini.readString("System Path", "MailerNumDB", ""), QString("."));
    QCOMPARE(ini.readString("System Path", "LogDB", ""), QString("Log"));
    QCOMPARE(ini.readString("YourAddress", "DB", ""), QString("Addresses"));
    QCOMPARE(ini.readString("System Path", "ProofDB", ""), QString("Proofs"));
    for (const QString& table : {"Log37", "LogFilters", "LogFiltersDetail", "Reports", "Report_Detail"})
        QCOMPARE(integrity(restored + "/Log", table), QString("ok"));
    // A copy taken while numbers were being taken: the counter is past every number logged.
    const QStringList restoredNumbers = loggedNumbers(restored + "/Log");
    QVERIFY(restoredNumbers.size() >= 1);
    QVERIFY(testsupport::logRows(restored + "/Log").size() <= originalRows.size());
    const int restoredSerial = testsupport::readRow(restored).serialNum.toInt();
    for (const QString& number : restoredNumbers)
        QVERIFY2(number.mid(14, 7).toInt() < restoredSerial, qPrintable(number));
    // The proof copies came along, each as it is in the original.
    const QMap<QString, QByteArray> restoredFiles = snapshot(restored);
    int proofs = 0;
    for (auto it = restoredFiles.begin(); it != restoredFiles.end(); ++it)
        if (it.key().startsWith("Proofs/")) {
            QCOMPARE(originalFiles.value(it.key()), it.value());
            ++proofs;
        }
    QVERIFY(proofs >= 1);

    // Started there through the program's start-up, it prints the next number into its own
    // tables and files.
    {
        EnvironmentValue home("DOVRA_HOME", restored);
        EnvironmentValue pdf("DOVRA_PDF_DIR", restored + "/Printed");
        TdmDovraPro dm;
        TF_Main w;
        QCOMPARE(w.settings.logDB, restored + "/Log");
        QCOMPARE(w.settings.mailerNumDB, restored);
        printThrough(w, "Restored Recipient");
        w.close();
    }
    const QString expected = BuildMailerNumber("123456789", QString("%1").arg(restoredSerial, 7, 10, QChar('0')), "T");
    QCOMPARE(loggedNumbers(restored + "/Log"), restoredNumbers + QStringList{expected});
    QCOMPARE(testsupport::readRow(restored).serialNum.toInt(), restoredSerial + 1);
    const QStringList pdfs = QDir(restored + "/Printed").entryList({"*.pdf"}, QDir::Files);
    QCOMPARE(pdfs.size(), 1);
    QVERIFY(testsupport::decodedSymbols(restored + "/Printed/" + pdfs[0]).contains("CODE-128:" + expected));

    // The original as it was: counter, log rows, every file.
    QCOMPARE(snapshot(original.path()), originalFiles);
    QCOMPARE(testsupport::logRows(originalLog), originalRows);
    QCOMPARE(testsupport::readRow(original.path()).serialNum, originalCounter.serialNum);
}

void TestBackup::tablesOfASharedFolderComeAlong()
{
    SharedOffice office;
    QTemporaryDir elsewhere;
    const QString archive = elsewhere.filePath("office.zip");
    const QString restored = elsewhere.filePath("Restored");
    const Settings settings = office.settings();
    QCOMPARE(settings.logDB, office.share.path() + "/Log");
    backup::backUp(office.home.path(), settings, archive);
    const auto programBefore = snapshot(office.home.path());
    const auto shareBefore = snapshot(office.share.path());

    const backup::RestorePlan plan =
        backup::planRestore(archive, restored, backup::dataFolders(office.home.path(), settings));
    QCOMPARE(plan.refusal, QString());
    QVERIFY(!plan.replacesData);
    backup::restore(plan);

    // The shared tables lie below "Shared" in the new folder, and its settings point there.
    const QString share = office.restoredShare(restored);
    const Settings r = Settings::load(restored + "/dovra3.ini", restored);
    QCOMPARE(r.mailerNumDB, share);
    QCOMPARE(r.logDB, share + "/Log");
    QCOMPARE(r.proofDB, share + "/Proofs");
    QCOMPARE(r.yourAddressDB, restored + "/Addresses");
    QCOMPARE(r.addressDB, QString(kServerAddressDatabase)); // on the server, where it was
    const IniFile ini(restored + "/dovra3.ini");
    QCOMPARE(ini.readString("System Path", "LogDB", ""), "Shared" + office.share.path() + "/Log");
    // Written back in the code page it came in, the rest of it as it was.
    QCOMPARE(ini.encoding(), IniFile::Encoding::Windows1252);
    QCOMPARE(r.extraLabel, QString("Adress\u00e9 \u00e0"));
    QCOMPARE(testsupport::readRow(share).serialNum, QString("0000500"));
    QCOMPARE(testsupport::readRow(share).custId, QString("987654321"));
    QCOMPARE(testsupport::readRow(restored).custId, QString("123456789")); // the program folder's own
    QCOMPARE(integrity(share + "/Log", "Log37"), QString("ok"));
    QVERIFY(QFile::exists(share + "/Proofs/2026-01/9214798765432100004997.pdf"));
    QVERIFY(QFile::exists(restored + "/Addresses/YourAddress.adt"));

    QCOMPARE(snapshot(office.home.path()), programBefore);
    QCOMPARE(snapshot(office.share.path()), shareBefore);
}

void TestBackup::restoreRefusedOrAskedFirst_data()
{
    QTest::addColumn<QString>("target"); // %1 the program folder, %2 the shared folder, %3 elsewhere
    QTest::addColumn<bool>("holdsTables");
    QTest::addColumn<int>("answer");
    QTest::addColumn<QString>("message"); // how the first box begins
    QTest::addColumn<bool>("restored");
    QTest::newRow("the running program's folder")
        << "%1" << false << int(QMessageBox::NoButton) << "The backup cannot be restored into" << false;
    QTest::newRow("inside the original's shared folder")
        << "%2/Log/Copy" << false << int(QMessageBox::NoButton) << "The backup cannot be restored into" << false;
    QTest::newRow("a folder with tables, not replaced")
        << "%3/Other" << true << int(QMessageBox::No) << "The folder" << false;
    QTest::newRow("a folder with tables, replaced")
        << "%3/Other" << true << int(QMessageBox::Yes) << "The folder" << true;
    QTest::newRow("a new folder") << "%3/New" << false << int(QMessageBox::NoButton) << "The backup has been restored"
                                  << true;
}

void TestBackup::restoreRefusedOrAskedFirst()
{
    QFETCH(QString, target);
    QFETCH(bool, holdsTables);
    QFETCH(int, answer);
    QFETCH(QString, message);
    QFETCH(bool, restored);
    SharedOffice office;
    QTemporaryDir elsewhere;
    const QString archive = elsewhere.filePath("office.zip");
    const QString folder = QString(target)
                               .replace("%1", office.home.path())
                               .replace("%2", office.share.path())
                               .replace("%3", elsewhere.path());
    backup::backUp(office.home.path(), office.settings(), archive);
    QDir().mkpath(folder);
    if (holdsTables) {
        // Another office's counter, with the journal of a write it was in when it stopped.
        office.dm.CreateTable(folder, "MailerNum", schema::MailerNum);
        testsupport::writeRow(folder, {"555555555", "0000077", true, true});
        writeFile(folder + "/MailerNum.adt-journal", QByteArray(512, '\0'));
    }
    TF_Main w;
    const auto programBefore = snapshot(office.home.path());
    const auto shareBefore = snapshot(office.share.path());
    const auto folderBefore = snapshot(folder);
    if (answer != QMessageBox::NoButton)
        MessageService::queueAnswer(QMessageBox::StandardButton(answer));
    FileDialogService::queueAnswer(archive);
    FileDialogService::queueAnswer(folder);
    w.miRestore->trigger();
    const QStringList shown = testsupport::shownMessageTexts();
    QVERIFY(!shown.isEmpty());
    QVERIFY2(shown[0].startsWith(message), qPrintable(shown[0]));
    if (restored) {
        QVERIFY2(shown.last().startsWith("The backup has been restored into"), qPrintable(shown.last()));
        QCOMPARE(testsupport::readRow(folder).custId, QString("123456789"));
        QVERIFY(!QFile::exists(folder + "/MailerNum.adt-journal"));
        QCOMPARE(testsupport::readRow(office.restoredShare(folder)).serialNum, QString("0000500"));
    } else {
        QCOMPARE(shown.size(), 1);
        QCOMPARE(snapshot(folder), folderBefore);
    }
    w.close();
    // The original's folders as they were, but for its settings saved at closing.
    auto programAfter = snapshot(office.home.path());
    programAfter.remove("dovra3.ini");
    auto programExpected = programBefore;
    programExpected.remove("dovra3.ini");
    QCOMPARE(programAfter, programExpected);
    QCOMPARE(snapshot(office.share.path()), shareBefore);
}

void TestBackup::filesThatAreNoBackupAreRefused_data()
{
    QTest::addColumn<QByteArray>("plain"); // a file that is not a zip file; else the entries below
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QString>("error");
    const QString manifest = "dovra-backup.ini";
    QTest::newRow("not a zip file") << QByteArray("[Type]\r\nCompany=Quelmar\r\n") << QStringList() << "cannot be read";
    QTest::newRow("a zip file of something else")
        << QByteArray() << QStringList{"notes.txt", "Log/Log37.adt"} << "is not a backup of Dovra Pro";
    QTest::newRow("a name that climbs out") << QByteArray() << QStringList{manifest, "Log/../../escaped.adt"}
                                            << "which is not a file of this program's backups";
    QTest::newRow("an absolute name") << QByteArray() << QStringList{manifest, "/tmp/escaped.adt"}
                                      << "which is not a file of this program's backups";
}

void TestBackup::filesThatAreNoBackupAreRefused()
{
    QFETCH(QByteArray, plain);
    QFETCH(QStringList, names);
    QFETCH(QString, error);
    QTemporaryDir elsewhere;
    const QString file = elsewhere.filePath("office.zip");
    if (names.isEmpty()) {
        writeFile(file, plain);
    } else {
        QList<QPair<QByteArray, QByteArray>> entries;
        for (const QString& name : names)
            entries.append({name.toUtf8(), "ProgramFolder=/home/clerk/Dovra\n"});
        writeZip(file, entries);
    }
    const QString folder = elsewhere.filePath("Restored/Inner");
    QDir().mkpath(folder);
    try {
        backup::restore(backup::planRestore(file, folder, {}));
        QFAIL("restored");
    } catch (const backup::BackupError& e) {
        QVERIFY2(QString::fromUtf8(e.what()).contains(error), e.what());
    }
    QCOMPARE(snapshot(elsewhere.filePath("Restored")), (QMap<QString, QByteArray>()));
    QVERIFY(!QFile::exists("/tmp/escaped.adt"));
}

QTEST_MAIN(TestBackup)
#include "test_backup.moc"
