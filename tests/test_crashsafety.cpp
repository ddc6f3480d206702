// A workstation killed at any instant never hands a Mailer Number out twice: the print run is
// killed with SIGKILL at random moments, and at chosen ones, and the printed files, the log
// and the counter are checked against each other afterwards. Also: tables made whole or not
// at all, what a crash leaves of them repaired at start, and counters and logs that cannot be
// written refused before anything is printed.
#include "canvas/PdfCanvas.h"
#include "core/MailerNumber.h"
#include "core/datamodule/Schemas.h"
#include "core/datamodule/TdmDovraPro.h"
#include "engine/Engine.h"
#include "engine/Query.h"
#include "engine/Table.h"
#include "printing/PrintRun.h"
#include "tests/support/TestSupport.h"

#include <QDirIterator>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QtTest>
#include <csignal>
#include <grp.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString kCustomerId = "123456789";
constexpr int kFirstSerial = 1000;

QString crashPrinter()
{
    return testsupport::binDir() + "/crash_printer";
}

// A program folder with its counter at serial 1000 and an empty log.
struct CrashFolder {
    testsupport::TempProgramFolder home;
    // Other users reach it as they would a shared folder.
    const bool reachable = ::chmod(qPrintable(home.path()), 0755) == 0;
    TdmDovraPro dm;
    CrashFolder()
    {
        QDir().mkpath(home.path() + "/Log");
        dm.CreateTable(home.path() + "/Log", "Log37", schema::Log37);
        dm.CreateTable(home.path(), "MailerNum", schema::MailerNum);
        testsupport::writeRow(home.path(),
                              {kCustomerId, QString("%1").arg(kFirstSerial, 7, 10, QChar('0')), true, true});
    }
    QString printed() const { return home.path() + "/Printed"; }
};

// A user of another workstation, played by a process that root starts under that identity.
struct Account {
    uid_t uid;
    gid_t gid;
    std::vector<gid_t> groups; // supplementary
};
// Root writes through any protection; another user's workstation is played by "nobody".
const Account kNobody{65534, 65534, {}};

// Runs the printing workstation; killed killAfterMs after it has started printing (never
// when negative). Returns its exit status as QProcess reports it.
QProcess::ExitStatus runPrinter(const QString& home, const QStringList& mode, int killAfterMs = -1,
                                QByteArray* errors = nullptr, const Account* as = nullptr)
{
    QProcess p;
    p.setProcessChannelMode(errors ? QProcess::SeparateChannels : QProcess::ForwardedErrorChannel);
    if (as && ::geteuid() == 0)
        p.setChildProcessModifier([as] {
            if (::setgroups(as->groups.size(), as->groups.data()) != 0 || ::setgid(as->gid) != 0 ||
                ::setuid(as->uid) != 0)
                ::_exit(99);
        });
    p.start(crashPrinter(), QStringList{home} + mode);
    if (!p.waitForStarted())
        qFatal("crash_printer did not start");
    if (killAfterMs >= 0) {
        p.waitForReadyRead(30000);
        p.waitForFinished(killAfterMs);
        if (p.state() != QProcess::NotRunning)
            ::kill(p.processId(), SIGKILL);
    }
    p.waitForFinished(60000);
    if (errors)
        *errors = p.readAllStandardError();
    return p.exitStatus() == QProcess::NormalExit && p.exitCode() != 0 ? QProcess::CrashExit : p.exitStatus();
}

using testsupport::numbersOnPaper;

// How long the random kills go on: a few seconds in the test run; DOVRA_CRASH_SECONDS makes a
// longer one.
int crashSeconds()
{
    const int asked = qEnvironmentVariableIntValue("DOVRA_CRASH_SECONDS");
    return asked > 0 ? asked : 6;
}

QString integrity(const QString& file)
{
    sqlite3* db = nullptr;
    sqlite3_open_v2(qPrintable(file), &db, SQLITE_OPEN_READWRITE, nullptr);
    sqlite3_stmt* stmt = nullptr;
    QString result = "cannot check";
    if (sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &stmt, nullptr) == SQLITE_OK &&
        sqlite3_step(stmt) == SQLITE_ROW)
        result = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)));
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    return result;
}

struct LoggedNumbers {
    QStringList numbers; // 22 digits, rows that are not waiting in the batch
    int waiting = 0;     // batch rows not printed yet
};

LoggedNumbers loggedNumbers(const QString& home)
{
    engine::Query q;
    q.setFolder(toStd(home + "/Log"));
    q.setSql("select MailerNum, Batch from Log37 order by LID");
    q.open();
    LoggedNumbers logged;
    for (; !q.eof(); q.next()) {
        if (q.asBoolean("Batch"))
            ++logged.waiting;
        else
            logged.numbers << fromStd(q.asString("MailerNum")).remove(' ');
    }
    return logged;
}

int counterSerial(const QString& home)
{
    return testsupport::readRow(home).serialNum.toInt();
}

// What must hold whenever the workstation died: no number on two jobs or two log rows, every
// number on paper logged, the counter past every number used, both tables sound.
void checkInvariants(const QString& home, const QString& printed)
{
    QCOMPARE(integrity(home + "/MailerNum.adt"), QString("ok"));
    QCOMPARE(integrity(home + "/Log/Log37.adt"), QString("ok"));
    // A job cut short by a kill leaves nothing under a job's name.
    for (const QString& name : QDir(printed).entryList({"print-*.pdf"}, QDir::Files)) {
        QFile job(printed + "/" + name);
        QVERIFY(job.open(QIODevice::ReadOnly));
        QVERIFY2(job.readAll().endsWith("%%EOF\n"), qPrintable(name + " is not a whole job"));
    }
    const QStringList onPaper = numbersOnPaper(printed);
    const LoggedNumbers logged = loggedNumbers(home);
    const QSet<QString> paperSet(onPaper.begin(), onPaper.end());
    const QSet<QString> logSet(logged.numbers.begin(), logged.numbers.end());
    QVERIFY2(paperSet.size() == onPaper.size(), "a Mailer Number was printed twice");
    QVERIFY2(logSet.size() == logged.numbers.size(), "a Mailer Number was logged twice");
    for (const QString& number : onPaper)
        QVERIFY2(logSet.contains(number), qPrintable(number + " was printed but not logged"));
    // A proof copy under a number's name is whole, and its number logged.
    QDirIterator proofs(home + "/Proofs", {"*.pdf"}, QDir::Files, QDirIterator::Subdirectories);
    while (proofs.hasNext()) {
        const QString proof = proofs.next();
        if (proof.contains("/.incoming/"))
            continue;
        QFile file(proof);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY2(file.readAll().endsWith("%%EOF\n"), qPrintable(proof + " is not whole"));
        QVERIFY2(logSet.contains(QFileInfo(proof).baseName().left(22)), qPrintable(proof + " was not logged"));
    }
    const int next = counterSerial(home);
    for (const QString& number : logged.numbers) {
        QCOMPARE(number.left(14), BuildMailerNumber(kCustomerId, "0000000", "T").left(14));
        QVERIFY2(number.mid(14, 7).toInt() < next, qPrintable(number + " is not behind the counter"));
    }
}

} // namespace

class TestCrashSafety : public QObject {
    Q_OBJECT
private slots:
    void killedAtRandomMomentsNeverRepeatsANumber();
    void killedAroundTheJob_data();
    void killedAroundTheJob();
    void tablesBeingMadeWhenKilledAreWholeOrAbsent();
    void writeProtectedCounterOrLogRefusedBeforePrinting_data();
    void writeProtectedCounterOrLogRefusedBeforePrinting();
    void counterJournalIsWritableForTheOfficeGroup();
    void programKilledWhilePrintingStartsCleanAndPrintsOn();
    void programKilledAtEachStepOfTakingANumber_data();
    void programKilledAtEachStepOfTakingANumber();
};

void TestCrashSafety::killedAtRandomMomentsNeverRepeatsANumber()
{
    const int seconds = crashSeconds();
    CrashFolder f;
    QRandomGenerator random(QRandomGenerator::global()->generate());
    QElapsedTimer clock;
    clock.start();
    int kills = 0;
    while (clock.elapsed() < seconds * 1000) {
        QCOMPARE(runPrinter(f.home.path(), {"loop"}, random.bounded(0, 250)), QProcess::CrashExit);
        ++kills;
    }
    // After every kill the workstation prints on, each mailer with a number of its own.
    QCOMPARE(runPrinter(f.home.path(), {"once", "form"}), QProcess::NormalExit);
    QCOMPARE(runPrinter(f.home.path(), {"once", "label"}), QProcess::NormalExit);
    checkInvariants(f.home.path(), f.printed());
    const int used = counterSerial(f.home.path()) - kFirstSerial;
    qInfo("%d kills, %d numbers used, %d on paper", kills, used, int(numbersOnPaper(f.printed()).size()));
    QVERIFY(numbersOnPaper(f.printed()).size() >= 2);
}

void TestCrashSafety::killedAroundTheJob_data()
{
    QTest::addColumn<QString>("point");
    QTest::addColumn<bool>("onPaper");
    // The number is taken and logged, nothing is printed: the number is a gap.
    QTest::newRow("after the number is taken, before the job") << "die-before-job" << false;
    // The job is complete, nothing more was to be written.
    QTest::newRow("right after the job") << "die-after-job" << true;
}

void TestCrashSafety::killedAroundTheJob()
{
    QFETCH(QString, point);
    QFETCH(bool, onPaper);
    CrashFolder f;
    QCOMPARE(runPrinter(f.home.path(), {point}), QProcess::CrashExit);
    const QString first = BuildMailerNumber(kCustomerId, "0001000", "T");
    QCOMPARE(counterSerial(f.home.path()), kFirstSerial + 1);
    QCOMPARE(loggedNumbers(f.home.path()).numbers, QStringList{first});
    QCOMPARE(numbersOnPaper(f.printed()), onPaper ? QStringList{first} : QStringList());

    // The next print takes the next number.
    QCOMPARE(runPrinter(f.home.path(), {"once", "form"}), QProcess::NormalExit);
    const QString second = BuildMailerNumber(kCustomerId, "0001001", "T");
    QCOMPARE(numbersOnPaper(f.printed()), onPaper ? QStringList({first, second}) : QStringList{second});
    QCOMPARE(loggedNumbers(f.home.path()).numbers, QStringList({first, second}));
    QCOMPARE(counterSerial(f.home.path()), kFirstSerial + 2);
    checkInvariants(f.home.path(), f.printed());
}

void TestCrashSafety::tablesBeingMadeWhenKilledAreWholeOrAbsent()
{
    testsupport::TempProgramFolder home;
    QRandomGenerator random(QRandomGenerator::global()->generate());
    for (int i = 0; i < 12; ++i)
        QCOMPARE(runPrinter(home.path(), {"make-tables"}, random.bounded(0, 60)), QProcess::CrashExit);
    const QStringList folders = QDir(home.path()).entryList({"start-*"}, QDir::Dirs, QDir::Name);
    QVERIFY(folders.size() >= 12);
    TdmDovraPro dm;
    for (const QString& name : folders) {
        const QString folder = home.file(name);
        for (const char* table : {"YourAddress", "MailerNum", "Log37"}) {
            const auto state = engine::tableFileState(toStd(folder), table);
            QVERIFY2(state == engine::TableFileState::Missing || state == engine::TableFileState::Present,
                     qPrintable(folder + "/" + table));
        }
        if (QFile::exists(folder + "/MailerNum.adt"))
            QCOMPARE(testsupport::readRow(folder).custId, QString("000000000"));
        // The next start finds every table whole, or makes it.
        for (const auto& [table, definition] : {std::pair{"YourAddress", schema::YourAddress},
                                                {"MailerNum", schema::MailerNum},
                                                {"Log37", schema::Log37}})
            dm.EnsureTable(folder, table, definition);
        QCOMPARE(testsupport::readRow(folder).serialNum, QString("0000000"));
        QCOMPARE(integrity(folder + "/Log37.adt"), QString("ok"));
    }
}

void TestCrashSafety::writeProtectedCounterOrLogRefusedBeforePrinting_data()
{
    QTest::addColumn<QString>("protect");
    QTest::addColumn<QString>("message"); // empty: the other user prints
    QTest::newRow("counter file") << "MailerNum.adt"
                                  << "MailerNum.adt cannot be written: the file is write-protected";
    QTest::newRow("counter folder") << "."
                                    << "MailerNum.adt cannot be written: its folder";
    QTest::newRow("log file") << "Log/Log37.adt"
                              << "Log37.adt cannot be written: the file is write-protected";
    QTest::newRow("log folder") << "Log"
                                << "Log37.adt cannot be written: its folder";
    // The counter keeps its journal file between commits; one this user cannot write would
    // fail the commit.
    QTest::newRow("kept counter journal") << "MailerNum.adt-journal"
                                          << "MailerNum.adt cannot be written: its journal file";
    // A folder shared by several users: the counter's lock file, made by the first user to
    // print, can be taken by the others.
    QTest::newRow("nothing: a folder shared by every user") << ""
                                                            << "";
}

void TestCrashSafety::writeProtectedCounterOrLogRefusedBeforePrinting()
{
    QFETCH(QString, protect);
    QFETCH(QString, message);
    CrashFolder f;
    const QString home = f.home.path();
    QDir().mkpath(f.printed());
    for (const QString& folder : {home, home + "/Log", f.printed()})
        QVERIFY(::chmod(qPrintable(folder), 0777) == 0);
    for (const QString& file : {home + "/MailerNum.adt", home + "/Log/Log37.adt"})
        QVERIFY(::chmod(qPrintable(file), 0666) == 0);
    // The first user prints with the usual umask; its lock file must not keep the others out.
    const mode_t umaskBefore = ::umask(022);
    QCOMPARE(runPrinter(home, {"once", "form"}), QProcess::NormalExit);
    ::umask(umaskBefore);

    if (!protect.isEmpty()) {
        const QString path = home + "/" + protect;
        QVERIFY(::chmod(qPrintable(path), QFileInfo(path).isDir() ? 0755 : 0444) == 0);
    }

    QByteArray errors;
    const QProcess::ExitStatus status = runPrinter(home, {"once", "form"}, -1, &errors, &kNobody);
    const QStringList onPaper = numbersOnPaper(f.printed());
    if (message.isEmpty()) {
        QVERIFY2(status == QProcess::NormalExit, errors.constData());
        QCOMPARE(onPaper.size(), 2);
        QCOMPARE(counterSerial(home), kFirstSerial + 2);
    } else {
        if (::geteuid() != 0 && QFileInfo(home + "/" + protect).isWritable())
            QSKIP("this user can write through the protection");
        QCOMPARE(status, QProcess::CrashExit);
        QVERIFY2(errors.contains(message.toUtf8()), errors.constData());
        QVERIFY2(errors.contains("Nothing has been printed"), errors.constData());
        QCOMPARE(onPaper.size(), 1);
        QCOMPARE(counterSerial(home), kFirstSerial + 1);
        QCOMPARE(loggedNumbers(home).numbers.size(), 1);
    }
    checkInvariants(home, f.printed());
}

// The counter keeps its journal file between commits. In a folder shared through a group,
// the journal the first user makes must be writable by the next user of that group, whatever
// the first user's own group.
void TestCrashSafety::counterJournalIsWritableForTheOfficeGroup()
{
    if (::geteuid() != 0)
        QSKIP("playing two users of one group needs root");
    const gid_t office = 100;
    const Account first{65534, 65534, {office}};
    const Account second{65533, office, {office}};
    CrashFolder f;
    const QString home = f.home.path();
    QDir().mkpath(f.printed());
    for (const QString& folder : {home, home + "/Log", f.printed()})
        QVERIFY(::chown(qPrintable(folder), 0, office) == 0 && ::chmod(qPrintable(folder), 0770) == 0);
    for (const QString& file : {home + "/MailerNum.adt", home + "/Log/Log37.adt"})
        QVERIFY(::chown(qPrintable(file), 0, office) == 0 && ::chmod(qPrintable(file), 0660) == 0);

    QByteArray errors;
    QVERIFY2(runPrinter(home, {"once", "form"}, -1, &errors, &first) == QProcess::NormalExit, errors.constData());
    const QFileInfo journal(home + "/MailerNum.adt-journal");
    QVERIFY(journal.exists());
    QCOMPARE(journal.groupId(), office);
    QVERIFY2(runPrinter(home, {"once", "form"}, -1, &errors, &second) == QProcess::NormalExit, errors.constData());
    QCOMPARE(numbersOnPaper(f.printed()).size(), 2);
    QCOMPARE(counterSerial(home), kFirstSerial + 2);
    checkInvariants(home, f.printed());
}

namespace {

// The real program in a program folder that a start finds ready, its counter at serial 1000.
struct WorkstationFolder {
    testsupport::TempProgramFolder home;
    WorkstationFolder()
    {
        testsupport::prepareReadyProgramFolder(home.path(), kCustomerId);
        testsupport::writeRow(home.path(),
                              {kCustomerId, QString("%1").arg(kFirstSerial, 7, 10, QChar('0')), true, true});
        QDir().mkpath(home.path() + "/Log");
    }
    QString printed() const { return home.path() + "/Printed"; }
};

using testsupport::Run;
using testsupport::runWorkstation;

} // namespace

// The program killed while it prints, at random moments, and started again each time as a clerk
// would: every start opens its tables without a word and prints on, and no number is used twice.
void TestCrashSafety::programKilledWhilePrintingStartsCleanAndPrintsOn()
{
    const int seconds = crashSeconds();
    WorkstationFolder f;
    QRandomGenerator random(QRandomGenerator::global()->generate());
    QElapsedTimer clock;
    clock.start();
    int kills = 0;
    while (clock.elapsed() < seconds * 1000) {
        const Run run = runWorkstation(f.home.path(), {"loop"}, random.bounded(0, 400));
        QVERIFY2(run.killed, run.errors.constData()); // a start or a print that says anything ends it
        ++kills;
    }
    const Run last = runWorkstation(f.home.path(), {"once"});
    QVERIFY2(!last.killed && last.exitCode == 0, last.errors.constData());
    checkInvariants(f.home.path(), f.printed());
    qInfo("%d kills of the program, %d numbers used", kills, counterSerial(f.home.path()) - kFirstSerial);
}

void TestCrashSafety::programKilledAtEachStepOfTakingANumber_data()
{
    QTest::addColumn<QString>("step");
    QTest::addColumn<bool>("firstLogged"); // the first number's row survives the kill
    QTest::addColumn<QString>("nextSerial");
    // Neither commit done: the first number was never taken, and the next print takes it.
    QTest::newRow("row written, counter not yet posted") << "log row written" << false << "0001000";
    // The counter is past the first number, its row was never committed: a gap.
    QTest::newRow("counter posted, row not yet committed") << "counter posted" << false << "0001001";
    // Taken and logged, never printed: a gap with its row.
    QTest::newRow("number taken, nothing printed yet") << "number taken" << true << "0001001";
}

void TestCrashSafety::programKilledAtEachStepOfTakingANumber()
{
    QFETCH(QString, step);
    QFETCH(bool, firstLogged);
    QFETCH(QString, nextSerial);
    WorkstationFolder f;
    const Run killed = runWorkstation(f.home.path(), {"die-at", step});
    QVERIFY2(killed.killed, killed.errors.constData());
    if (!firstLogged) // the change cut short waits beside the log, for the next start to undo
        QVERIFY(QFileInfo(f.home.path() + "/Log/Log37.adt-journal").size() > 0);

    const Run next = runWorkstation(f.home.path(), {"once"});
    QVERIFY2(!next.killed && next.exitCode == 0, next.errors.constData());
    const QString first = BuildMailerNumber(kCustomerId, "0001000", "T");
    const QString printed = BuildMailerNumber(kCustomerId, nextSerial, "T");
    QCOMPARE(numbersOnPaper(f.printed()), QStringList{printed});
    QCOMPARE(loggedNumbers(f.home.path()).numbers, firstLogged ? QStringList({first, printed}) : QStringList{printed});
    checkInvariants(f.home.path(), f.printed());
}

QTEST_MAIN(TestCrashSafety)
#include "test_crashsafety.moc"
