// The mailer-number counter on a real MailerNum table: taking numbers, the refusal, bad
// stored serials, a counter locked elsewhere, and two processes sharing one counter.
#include "core/NumberCounter.h"
#include "core/Settings.h"
#include "core/datamodule/Schemas.h"
#include "core/datamodule/TdmDovraPro.h"
#include "tests/support/TestSupport.h"

#include <QApplication>
#include <QProcess>
#include <QRandomGenerator>
#include <QSet>
#include <QThread>
#include <QtTest>
#include <cstdio>
#include <memory>

namespace {

using testsupport::counterIsFree;
using testsupport::CounterRow;
using testsupport::readRow;
using testsupport::writeRow;

// Set in a copy of this program that takes numbers as a second workstation would:
// "<counter folder>;<rounds>".
constexpr const char* WorkerVariable = "DOVRA_COUNTER_WORKER";

// Takes numbers in a loop as the print run does (open, build, commit) and writes each
// serial it printed to standard output, one per line.
int runWorker(const QString& workerArguments)
{
    const QStringList parts = workerArguments.split(';');
    TdmDovraPro dm;
    Settings settings = Settings::defaults(parts.value(0));
    engine::setLockWaitMs(10000); // the other worker holds the counter only for one round
    const int rounds = parts.value(1).toInt();
    try {
        for (int i = 0; i < rounds; ++i) {
            TNumberState state;
            QString refusal;
            if (!OpenNumberCounter(settings, state, refusal)) {
                std::fprintf(stderr, "%s\n", qPrintable(refusal));
                return 2;
            }
            const QString number = BuildMailerNumber(state.CustomerId, state.Serial, "T");
            std::printf("%s\n", qPrintable(number.mid(14, 7)));
            CommitSerial(state);
            // A workstation does not print back to back; the pause lets the other one in.
            QThread::usleep(QRandomGenerator::global()->bounded(500, 3000));
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    std::fflush(stdout);
    return 0;
}

} // namespace

class TestCounter : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void freshCounterIsRefused_data();
    void freshCounterIsRefused();
    void zeroIdWithoutBarCodesIsAccepted();
    void commitAdvancesAndReleases_data();
    void commitAdvancesAndReleases();
    void closeWritesNothing();
    void serialThatIsNotANumber_data();
    void serialThatIsNotANumber();
    void lockedElsewhere();
    void missingTable();
    void releaseOnEveryWayOut();
    void twoProcessesNeverShareASerial();

private:
    QString folder() const { return program_->home.path(); }
    std::unique_ptr<testsupport::ProgramFixture> program_;
};

void TestCounter::init()
{
    program_ = std::make_unique<testsupport::ProgramFixture>();
    program_->dm.CreateTable(folder(), "MailerNum", schema::MailerNum);
}

void TestCounter::cleanup()
{
    program_.reset();
}

void TestCounter::freshCounterIsRefused_data()
{
    QTest::addColumn<QString>("custId");
    QTest::newRow("new counter row") << QString();
    QTest::newRow("older form with dashes, as the field keeps it") << "00-000-00";
}

void TestCounter::freshCounterIsRefused()
{
    QFETCH(QString, custId);
    if (!custId.isEmpty())
        writeRow(folder(), {custId, "0000000", true, true});
    TNumberState state;
    QString refusal;
    QVERIFY(!OpenNumberCounter(program_->settings, state, refusal));
    QCOMPARE(refusal, QString("You can not print a Mailer with \"00-000-0000\" as a Customer ID.\r\r"
                              "Please enter in a Customer ID, and try again."));
    QVERIFY(!program_->dm.adstMailerNum.active());
    QVERIFY(counterIsFree(folder()));
    QCOMPARE(readRow(folder()).serialNum, QString("0000000"));
}

void TestCounter::zeroIdWithoutBarCodesIsAccepted()
{
    writeRow(folder(), {"000000000", "0000005", false, false});
    TNumberState state;
    QString refusal;
    QVERIFY(OpenNumberCounter(program_->settings, state, refusal));
    QVERIFY(refusal.isEmpty());
    QVERIFY(!counterIsFree(folder()));
    QCOMPARE(BuildMailerNumber(state.CustomerId, state.Serial, "T"), QString("9214700000000000000058"));
    CommitSerial(state);
    QCOMPARE(readRow(folder()).serialNum, QString("0000004")); // counted down as stored
}

void TestCounter::commitAdvancesAndReleases_data()
{
    QTest::addColumn<QString>("custId");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<bool>("increment");
    QTest::addColumn<bool>("barCodes");
    QTest::addColumn<QString>("next");
    QTest::newRow("bar codes, up") << "123456789"
                                   << "0000099" << true << true << "0000100";
    QTest::newRow("bar codes ignore decrement") << "123456789"
                                                << "0000099" << false << true << "0000100";
    QTest::newRow("bar codes wrap") << "123456789"
                                    << "9999999" << true << true << "0000000";
    QTest::newRow("no bar codes, down") << "123456789"
                                        << "0000099" << false << false << "0000098";
    QTest::newRow("no bar codes, down wraps") << "123456789"
                                              << "0000000" << false << false << "9999999";
    QTest::newRow("dashed id") << "12-345-67"
                               << "0000001" << true << true << "0000002";
    QTest::newRow("eighth character dropped") << "123456789"
                                              << "00000121" << true << true << "0000013";
}

void TestCounter::commitAdvancesAndReleases()
{
    QFETCH(QString, custId);
    QFETCH(QString, stored);
    QFETCH(bool, increment);
    QFETCH(bool, barCodes);
    QFETCH(QString, next);
    writeRow(folder(), {custId, stored, increment, barCodes});

    TNumberState state;
    QString refusal;
    QVERIFY(OpenNumberCounter(program_->settings, state, refusal));
    QCOMPARE(state.CustomerId, custId.left(9)); // as stored
    QCOMPARE(state.Serial, stored.left(7));
    QCOMPARE(state.BarCodes, barCodes);
    QCOMPARE(state.Increment, increment);
    QVERIFY(!counterIsFree(folder()));

    CommitSerial(state);
    QCOMPARE(state.Serial, next);
    QVERIFY(!program_->dm.adstMailerNum.active());
    QVERIFY(counterIsFree(folder()));
    const CounterRow row = readRow(folder());
    QCOMPARE(row.serialNum, next);
    QCOMPARE(row.custId, custId.left(9));
}

void TestCounter::closeWritesNothing()
{
    writeRow(folder(), {"123456789", "0000042", true, true});
    TNumberState state;
    QString refusal;
    QVERIFY(OpenNumberCounter(program_->settings, state, refusal));
    CloseNumberCounter();
    QVERIFY(counterIsFree(folder()));
    QCOMPARE(readRow(folder()).serialNum, QString("0000042"));
}

void TestCounter::serialThatIsNotANumber_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<bool>("barCodes");
    QTest::newRow("letters, bar codes on") << "12a" << true;
    QTest::newRow("letters, bar codes off") << "00x0041" << false;
    QTest::newRow("sign") << "-000041" << true;
    QTest::newRow("empty") << "" << true;
}

void TestCounter::serialThatIsNotANumber()
{
    QFETCH(QString, stored);
    QFETCH(bool, barCodes);
    writeRow(folder(), {"123456789", stored, true, barCodes});
    TNumberState state;
    QString refusal;
    // Refused before anything is numbered: the number would carry a zero serial, and the
    // serial could not be advanced past it.
    QVERIFY(!OpenNumberCounter(program_->settings, state, refusal));
    QCOMPARE(refusal, SerialNotANumberMessage(stored.left(7)));
    QVERIFY(counterIsFree(folder()));
    QCOMPARE(readRow(folder()).serialNum, stored);
}

void TestCounter::lockedElsewhere()
{
    writeRow(folder(), {"123456789", "0000007", true, true});
    engine::Table other;
    testsupport::openCounter(other, folder(), true);

    const testsupport::LockWait shortWait(100);
    TNumberState state;
    QString refusal;
    try {
        OpenNumberCounter(program_->settings, state, refusal);
        QFAIL("the counter opened while another handle held it");
    } catch (const engine::EngineError& e) {
        QVERIFY2(QString(e.what()).contains("cannot be opened exclusively"), e.what());
    }
    QVERIFY(!program_->dm.adstMailerNum.active());
    QVERIFY(state.Serial.isEmpty()); // nothing taken

    other.close();
    QCOMPARE(readRow(folder()).serialNum, QString("0000007"));
    QVERIFY(OpenNumberCounter(program_->settings, state, refusal));
    CloseNumberCounter();
}

void TestCounter::missingTable()
{
    program_->settings.mailerNumDB = folder() + "/nowhere";
    TNumberState state;
    QString refusal;
    QVERIFY_THROWS_EXCEPTION(engine::EngineError, OpenNumberCounter(program_->settings, state, refusal));
    QVERIFY(!program_->dm.adstMailerNum.active());
    QVERIFY(!program_->dm.adstMailerNum.exclusive());
}

void TestCounter::releaseOnEveryWayOut()
{
    writeRow(folder(), {"123456789", "0000001", true, true});
    try {
        TNumberCounterRelease release;
        TNumberState state;
        QString refusal;
        QVERIFY(OpenNumberCounter(program_->settings, state, refusal));
        throw std::runtime_error("printer failure");
    } catch (const std::runtime_error&) {
    }
    QVERIFY(counterIsFree(folder()));
    QCOMPARE(readRow(folder()).serialNum, QString("0000001"));
}

void TestCounter::twoProcessesNeverShareASerial()
{
    const int rounds = 200;
    writeRow(folder(), {"123456789", "0000500", true, true});
    QList<QProcess*> workers;
    for (int i = 0; i < 2; ++i) {
        auto* p = new QProcess(this);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(WorkerVariable, folder() + ";" + QString::number(rounds));
        p->setProcessEnvironment(env);
        workers << p;
    }
    for (QProcess* p : workers)
        p->start(QCoreApplication::applicationFilePath(), {});

    QStringList taken;
    for (QProcess* p : workers) {
        QVERIFY(p->waitForFinished(50000));
        QVERIFY2(p->exitCode() == 0, p->readAllStandardError().constData());
        const QStringList serials = QString::fromLatin1(p->readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
        QCOMPARE(serials.size(), rounds);
        taken << serials;
    }
    QCOMPARE(QSet<QString>(taken.begin(), taken.end()).size(), 2 * rounds);
    QCOMPARE(readRow(folder()).serialNum, QString("0000900"));
}

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsSet(WorkerVariable))
        return runWorker(qEnvironmentVariable(WorkerVariable));
    QApplication app(argc, argv);
    TestCounter test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_counter.moc"
