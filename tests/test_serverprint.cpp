// Workstations that keep the shared tables on a database server: each is the real program,
// started through its own start-up in a program folder of its own whose settings name the
// server, pressing Print as a clerk does, every job written as a PDF file. Many at once
// share one counter without a number used twice; killed at random moments, none prints a
// number without its row; a server restarted under them refuses prints with a message that
// names it, and printing goes on once it is back.
#include "canvas/RecordingCanvas.h"
#include "core/MailerNumber.h"
#include "core/ServerSettings.h"
#include "core/Settings.h"
#include "core/datamodule/ServerTables.h"
#include "core/datamodule/TdmDovraPro.h"
#include "engine/Query.h"
#include "engine/Server.h"
#include "engine/Table.h"
#include "printing/PrintRun.h"
#include "tests/support/PgCluster.h"
#include "tests/support/TestSupport.h"

#include <QtTest>
#include <algorithm>
#include <csignal>
#include <memory>
#include <thread>

namespace {

const QString kCustomerId = "123456789";
constexpr int kFirstSerial = 1000;

// A database with the program's tables, a sender (A_ID 1) and the counter at serial 1000.
QString readyDatabase(testsupport::PgCluster& cluster)
{
    const QString location = cluster.newDatabase();
    if (!CreateServerTables(location))
        qFatal("the tables were not made");
    engine::runOnServer(location.toStdString(),
                        "UPDATE mailernum SET custid = '" + kCustomerId.toStdString() + "', serialnum = '" +
                            QString("%1").arg(kFirstSerial, 7, 10, QChar('0')).toStdString() +
                            "'; INSERT INTO youraddress (address1, address2, city, state, zip) VALUES "
                            "('Law Office of Ann Lee', '100 Main St', 'Springfield', 'IL', '62701')");
    return location;
}

// A workstation's program folder whose settings put the shared tables on the server.
struct ServerWorkstation {
    QTemporaryDir home;
    explicit ServerWorkstation(const QString& location)
    {
        QFile ini(home.filePath("dovra3.ini"));
        if (!ini.open(QIODevice::WriteOnly))
            qFatal("no settings file");
        const engine::ServerParams server = engine::serverParamsOf(location.toStdString());
        ini.write(QString("[Server]\r\nTables=Server\r\nHost=%1\r\nPort=%2\r\nDatabase=%3\r\nUser=%4\r\n"
                          "[YourAddress]\r\nID=1\r\n[Type]\r\nBarCodeApp=0\r\n")
                      .arg(QString::fromStdString(server.host))
                      .arg(server.port)
                      .arg(QString::fromStdString(server.database), QString::fromStdString(server.user))
                      .toUtf8());
    }
    QString path() const { return home.path(); }
    QString printed() const { return home.path() + "/Printed"; }
};

using testsupport::Run;
using testsupport::runWorkstation;

// Workstations of one office, each in a folder of its own, all set to the server database.
struct Office {
    std::vector<std::unique_ptr<ServerWorkstation>> owned;
    QList<ServerWorkstation*> stations;
    Office(const QString& location, int count)
    {
        for (int i = 0; i < count; ++i) {
            owned.push_back(std::make_unique<ServerWorkstation>(location));
            stations << owned.back().get();
        }
    }
};

// Runs each mode list as a workstation of its own folder, all at once.
QList<Run> runTogether(const QList<ServerWorkstation*>& stations, const QStringList& mode)
{
    QList<Run> runs(stations.size());
    std::vector<std::thread> threads;
    for (qsizetype i = 0; i < stations.size(); ++i)
        threads.emplace_back([&, i] { runs[i] = runWorkstation(stations[i]->path(), mode); });
    for (auto& t : threads)
        t.join();
    return runs;
}

using testsupport::numbersOnPaper;

int jobsIn(const QString& folder)
{
    return int(QDir(folder).entryList({"print-*.pdf"}, QDir::Files).size());
}

// The numbers of the printed rows of the server's log, 22 digits, in the order logged.
QStringList loggedNumbers(const QString& location)
{
    engine::Query q;
    q.setFolder(location.toStdString());
    q.setSql("select MailerNum from Log37 where Batch = False order by LID");
    q.open();
    QStringList numbers;
    for (; !q.eof(); q.next())
        numbers << QString::fromStdString(q.asString("MailerNum")).remove(' ');
    return numbers;
}

// No number on two jobs or two rows; every number on paper has its row.
void checkPaperAgainstRows(const QStringList& onPaper, const QStringList& logged)
{
    const QSet<QString> paperSet(onPaper.begin(), onPaper.end());
    const QSet<QString> logSet(logged.begin(), logged.end());
    QVERIFY2(paperSet.size() == onPaper.size(), "a Mailer Number was printed twice");
    QVERIFY2(logSet.size() == logged.size(), "a Mailer Number was logged twice");
    for (const QString& number : onPaper)
        QVERIFY2(logSet.contains(number), qPrintable(number + " was printed but has no row on the server"));
    for (const QString& number : logged)
        QCOMPARE(number.left(14), BuildMailerNumber(kCustomerId, "0000000", "T").left(14));
}

} // namespace

class TestServerPrint : public QObject {
    Q_OBJECT

    std::unique_ptr<testsupport::PgCluster> cluster_;

private slots:
    void initTestCase()
    {
        try {
            cluster_ = std::make_unique<testsupport::PgCluster>();
        } catch (const std::exception& e) {
            QFAIL(e.what());
        }
    }

    void programPrintsWithItsRowsOnTheServer();
    void eightWorkstationsShareOneCounter();
    void workstationsKilledAtRandomMomentsNeverPrintWithoutARow();
    void serverRestartedDuringARunRefusesThenPrintsOn();
    void serverAwayRefusesBeforePrinting();
    void counterHeldElsewhereWaitsThenRefuses();
    void aJobThatDidNotReachPaperKeepsNoRow_data();
    void aJobThatDidNotReachPaperKeepsNoRow();
    void aLabelJobThatFailsTakesBackEveryRow();
};

// The program started with its settings naming the server prints mailers whose rows land in
// the server's log, numbered from the server's counter.
void TestServerPrint::programPrintsWithItsRowsOnTheServer()
{
    const QString location = readyDatabase(*cluster_);
    ServerWorkstation station(location);
    const Run run = runWorkstation(station.path(), {"count", "3"});
    QVERIFY2(!run.killed && run.exitCode == 0, run.errors.constData());
    const QStringList expected{BuildMailerNumber(kCustomerId, "0001000", "T"),
                               BuildMailerNumber(kCustomerId, "0001001", "T"),
                               BuildMailerNumber(kCustomerId, "0001002", "T")};
    QCOMPARE(loggedNumbers(location), expected);
    QCOMPARE(numbersOnPaper(station.printed()), expected);
    engine::Query q;
    q.setFolder(location.toStdString());
    q.setSql("select SerialNum from MailerNum");
    q.open();
    QCOMPARE(QString::fromStdString(q.asString(0)), QString("0001003"));
    q.setSql("select ToAddress1, YourAddress1 from Log37 order by LID");
    q.open();
    QCOMPARE(QString::fromStdString(q.asString("ToAddress1")), QString("Recipient 0"));
    QCOMPARE(QString::fromStdString(q.asString("YourAddress1")), QString("Law Office of Ann Lee"));
}

// Eight workstations printing 500 mailers each against one counter: 4,000 rows, every number
// once, each on paper once.
void TestServerPrint::eightWorkstationsShareOneCounter()
{
    constexpr int kStations = 8, kEach = 500;
    const QString location = readyDatabase(*cluster_);
    const Office office(location, kStations);
    const QList<ServerWorkstation*>& stations = office.stations;
    const QList<Run> runs = runTogether(stations, {"count", QString::number(kEach)});
    for (const Run& run : runs)
        QVERIFY2(!run.killed && run.exitCode == 0, run.errors.constData());
    const QStringList logged = loggedNumbers(location);
    QCOMPARE(logged.size(), kStations * kEach);
    const QSet<QString> distinct(logged.begin(), logged.end());
    QCOMPARE(distinct.size(), kStations * kEach);
    // Each printed mailer's proof copy is kept on the server under its number, once.
    for (ServerWorkstation* station : stations) {
        QCOMPARE(jobsIn(station->printed()), kEach);
        QVERIFY(!QFileInfo::exists(station->path() + "/Proofs"));
    }
    engine::Query q;
    q.setFolder(location.toStdString());
    q.setSql("select MailerNum from Proofs");
    q.open();
    QStringList proofs;
    for (; !q.eof(); q.next())
        proofs << QString::fromStdString(q.asString(0));
    QCOMPARE(proofs.size(), kStations * kEach);
    QCOMPARE(QSet<QString>(proofs.begin(), proofs.end()), distinct);
}

// Workstations killed with SIGKILL at random moments while they print, a hundred kills in all,
// and started again: no number twice, on paper or in the log, and none on paper without its row.
void TestServerPrint::workstationsKilledAtRandomMomentsNeverPrintWithoutARow()
{
    constexpr int kStations = 4, kKills = 100;
    const QString location = readyDatabase(*cluster_);
    const Office office(location, kStations);
    const QList<ServerWorkstation*>& stations = office.stations;
    std::atomic<int> kills{0}, notKilled{0};
    QByteArray said;
    std::mutex saidMutex;
    std::vector<std::thread> threads;
    for (int i = 0; i < kStations; ++i)
        threads.emplace_back([&, i] {
            QRandomGenerator random(QRandomGenerator::global()->generate());
            for (int k = 0; k < kKills / kStations; ++k) {
                const Run run = runWorkstation(stations[i]->path(), {"loop"}, random.bounded(0, 400));
                if (run.killed) {
                    ++kills;
                } else {
                    ++notKilled;
                    std::lock_guard<std::mutex> lock(saidMutex);
                    said += run.errors;
                }
            }
        });
    for (auto& t : threads)
        t.join();
    QVERIFY2(notKilled == 0, said.constData()); // a start or a print that says anything ends it
    QCOMPARE(kills.load(), kKills);
    // After every kill each workstation prints on.
    for (const Run& run : runTogether(stations, {"once"}))
        QVERIFY2(!run.killed && run.exitCode == 0, run.errors.constData());
    QStringList onPaper;
    for (ServerWorkstation* s : stations)
        onPaper << numbersOnPaper(s->printed());
    const QStringList logged = loggedNumbers(location);
    checkPaperAgainstRows(onPaper, logged);
    qInfo("%d kills, %d rows, %d mailers on paper", kills.load(), int(logged.size()), int(onPaper.size()));
}

// The server restarted (pg_ctl restart -m fast) while eight workstations print: prints in the
// meantime are refused with a message naming the server and the cause, nothing is printed
// without its row, no number twice, and every workstation prints on without a new start.
void TestServerPrint::serverRestartedDuringARunRefusesThenPrintsOn()
{
    constexpr int kStations = 8, kEach = 300;
    const QString location = readyDatabase(*cluster_);
    const Office office(location, kStations);
    const QList<ServerWorkstation*>& stations = office.stations;
    QList<Run> runs;
    std::thread printing([&] { runs = runTogether(stations, {"persist", QString::number(kEach)}); });
    // Once every workstation has its first mailers on paper, the server goes down and comes back.
    QVERIFY(QTest::qWaitFor(
        [&] { return std::all_of(stations.begin(), stations.end(), [](auto* s) { return jobsIn(s->printed()) >= 3; }); },
        60000));
    cluster_->restart();
    printing.join();
    int refusals = 0;
    const QString server = QString::fromStdString(engine::describeServer(location.toStdString()));
    for (const Run& run : runs) {
        QVERIFY2(!run.killed && run.exitCode == 0, run.errors.constData());
        // Each refusal is a message of several lines, up to the next.
        QList<QByteArray> said = QByteArray("\n" + run.errors).replace("\nrefused: ", "\x01").split('\x01');
        said.removeFirst(); // what came before the first refusal
        for (const QByteArray& message : said) {
            ++refusals;
            QVERIFY2(message.contains(server.toUtf8()), message.constData());
            QVERIFY2(message.contains("Nothing has been printed"), message.constData());
        }
    }
    QByteArray told;
    for (const Run& run : runs)
        told += run.errors + "\n";
    QVERIFY2(refusals > 0, told.constData());
    QStringList onPaper;
    for (ServerWorkstation* s : stations) {
        QCOMPARE(jobsIn(s->printed()), kEach);
        onPaper << numbersOnPaper(s->printed());
    }
    QCOMPARE(onPaper.size(), kStations * kEach);
    const QStringList logged = loggedNumbers(location);
    checkPaperAgainstRows(onPaper, logged);
    // The copies of the mailers printed just before the restart waited for the server: every
    // mailer printed has its copy stored.
    engine::Query q;
    q.setFolder(location.toStdString());
    q.setSql("select MailerNum from Proofs");
    q.open();
    QSet<QString> copies;
    for (; !q.eof(); q.next())
        copies.insert(QString::fromStdString(q.asString(0)));
    QCOMPARE(copies, QSet<QString>(onPaper.begin(), onPaper.end()));
    qInfo("%d prints refused while the server restarted, %d rows for %d mailers on paper", refusals, int(logged.size()),
          int(onPaper.size()));
}

// No server at all: the start and every Print say so with a message naming the server and
// the cause, nothing reaches paper and no number is made up; once the server is there, the next
// Print of the same program prints.
void TestServerPrint::serverAwayRefusesBeforePrinting()
{
    const QString location = readyDatabase(*cluster_);
    ServerWorkstation station(location);
    cluster_->stop();
    QProcess p;
    p.setProcessChannelMode(QProcess::SeparateChannels);
    p.start(testsupport::binDir() + "/crash_workstation", {station.path(), "persist", "1"});
    QVERIFY(p.waitForStarted());
    QByteArray errors;
    p.setReadChannel(QProcess::StandardError);
    while (errors.count("refused: ") < 2 && p.state() == QProcess::Running) {
        p.waitForReadyRead(1000);
        errors += p.readAllStandardError();
    }
    QCOMPARE(jobsIn(station.printed()), 0);
    cluster_->start();
    const bool finished = p.waitForFinished(120000);
    if (!finished)
        p.kill(), p.waitForFinished();
    errors += p.readAllStandardError();
    QVERIFY2(finished, errors.right(3000).constData());
    QCOMPARE(p.exitCode(), 0);
    const QString server = QString::fromStdString(engine::describeServer(location.toStdString()));
    QVERIFY2(errors.contains(("refused: The database server " + server + " cannot be reached").toUtf8()),
             errors.constData());
    const QStringList logged = loggedNumbers(location);
    QCOMPARE(logged, QStringList{BuildMailerNumber(kCustomerId, "0001000", "T")});
    QCOMPARE(numbersOnPaper(station.printed()), logged);
}

// A counter another workstation holds is waited for as long as a counter file is, then the
// print is refused with the message the folder gives, and nothing is printed or logged; once
// it is let go, the next start prints with the number it would have had.
void TestServerPrint::counterHeldElsewhereWaitsThenRefuses()
{
    const QString location = readyDatabase(*cluster_);
    ServerWorkstation station(location);
    {
        engine::Table held;
        held.setFolder(location.toStdString());
        held.setTableName("MailerNum");
        held.setExclusive(true);
        held.open();
        const Run refused = runWorkstation(station.path(), {"once"});
        QCOMPARE(refused.exitCode, 5);
        const std::string table = engine::tableFile(location.toStdString(), "MailerNum");
        QVERIFY2(refused.errors.contains(QByteArray::fromStdString("print: The table " + table +
                                                                   " is in use by another program or workstation")),
                 refused.errors.constData());
        QVERIFY2(refused.errors.contains("Nothing has been printed; no Mailer Number was used."),
                 refused.errors.constData());
        QCOMPARE(jobsIn(station.printed()), 0);
        QVERIFY(loggedNumbers(location).isEmpty());
    }
    const Run printed = runWorkstation(station.path(), {"once"});
    QVERIFY2(!printed.killed && printed.exitCode == 0, printed.errors.constData());
    QCOMPARE(loggedNumbers(location), QStringList{BuildMailerNumber(kCustomerId, "0001000", "T")});
}

void TestServerPrint::aJobThatDidNotReachPaperKeepsNoRow_data()
{
    QTest::addColumn<QString>("failure");
    QTest::addColumn<QStringList>("loggedBefore"); // serials
    // A printer that fails: the job's row is taken back, its number stays used.
    QTest::newRow("printer fails") << "printer fails" << QStringList{};
    // Killed once the number is taken, before the form is drawn: a gap, never a number twice.
    QTest::newRow("killed once the number is taken") << "killed" << QStringList{"0001000"};
}

// A mailer that never reached the paper: the counter is past its number, the next mailer takes
// the next one, and the log holds only what the state of the job allows.
void TestServerPrint::aJobThatDidNotReachPaperKeepsNoRow()
{
    QFETCH(QString, failure);
    QFETCH(QStringList, loggedBefore);
    const QString location = readyDatabase(*cluster_);
    ServerWorkstation station(location);
    if (failure == "printer fails") {
        QFile blocker(station.printed()); // a file where the jobs' folder would be
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        const Run failed = runWorkstation(station.path(), {"once"});
        QCOMPARE(failed.exitCode, 5);
        QVERIFY2(failed.errors.contains("its number will not be used again"), failed.errors.constData());
        QFile::remove(station.printed());
    } else {
        const Run killed = runWorkstation(station.path(), {"die-at", "number taken"});
        QVERIFY2(killed.killed, killed.errors.constData());
    }
    QStringList expected;
    for (const QString& serial : loggedBefore)
        expected << BuildMailerNumber(kCustomerId, serial, "T");
    QCOMPARE(loggedNumbers(location), expected);
    QCOMPARE(jobsIn(station.printed()), 0);
    const Run printed = runWorkstation(station.path(), {"once"});
    QVERIFY2(!printed.killed && printed.exitCode == 0, printed.errors.constData());
    const QString next = BuildMailerNumber(kCustomerId, "0001001", "T");
    QCOMPARE(numbersOnPaper(station.printed()), QStringList{next});
    QCOMPARE(loggedNumbers(location), expected << next);
}

namespace {

// A printer that fails a label job at its end, after every label was drawn into it.
class FailingAtEnd : public RecordingCanvas {
public:
    void EndDocument() override { throw PrintError("The printer is offline."); }
};

} // namespace

// A mass print of labels shares one job; when it fails at its end, none reached the paper, and
// the rows of all its labels are taken back from the server's log.
void TestServerPrint::aLabelJobThatFailsTakesBackEveryRow()
{
    const QString location = readyDatabase(*cluster_);
    testsupport::TempProgramFolder home;
    TdmDovraPro dm;
    Settings settings = Settings::defaults(home.path());
    settings.sharedTables = "Server";
    setServerParams(settings, engine::serverParamsOf(location.toStdString()));
    std::vector<RunMailer> mailers(3);
    for (int i = 0; i < 3; ++i) {
        mailers[size_t(i)].data = testsupport::sampleMailerPrintData();
        mailers[size_t(i)].entry.recipient.address[0] = QString("Recipient %1").arg(i);
    }
    FailingAtEnd failing;
    const RunOutcome failed = PrintMailers(failing, settings, mailers, MailerLayout::Label);
    QCOMPARE(failed.printed, 0);
    QVERIFY2(failed.stop.contains("their numbers will not be used again"), qPrintable(failed.stop));
    QVERIFY(loggedNumbers(location).isEmpty());
    RecordingCanvas working;
    const RunOutcome printed = PrintMailers(working, settings, mailers, MailerLayout::Label);
    QCOMPARE(printed.printed, 3);
    QCOMPARE(printed.firstNumber, BuildMailerNumber(kCustomerId, "0001003", "T"));
    QCOMPARE(loggedNumbers(location), (QStringList{BuildMailerNumber(kCustomerId, "0001003", "T"),
                                                   BuildMailerNumber(kCustomerId, "0001004", "T"),
                                                   BuildMailerNumber(kCustomerId, "0001005", "T")}));
}

QTEST_MAIN(TestServerPrint)
#include "test_serverprint.moc"
