// The print run's speed: forms printed through the whole run (counter locked, the number
// taken for good with the log row in one commit across both table files, form drawn into
// a PDF file) against the rate of durable one-row SQLite transactions on the same disk,
// measured in the same run. A commit across two files syncs both journals and a
// super-journal, so it costs more than a one-row transaction; the ratio says how much the
// rest of the run adds on top. Goal: a ratio of at least 0.3.
// The same run with proof copies kept (a second PDF of each form, in the archive folder)
// is measured in the same rounds. Goal: at least 0.8 of the rate without them.
// The two are measured in alternating rounds, so that both see the disk in the same state.
// The mailers go to a round of different recipients (names and ZIP codes), so that no job
// finds the fonts and bar codes of the job before it ready made, as a run to one recipient
// would.
//
// DOVRA_BENCH_FORMS sets the number of forms (default 1000) for a quick try.
#include "bench/BenchSupport.h"
#include "canvas/PainterCanvas.h"
#include "core/Settings.h"
#include "core/datamodule/Schemas.h"
#include "core/datamodule/TdmDovraPro.h"
#include "engine/Engine.h"
#include "engine/Table.h"
#include "printing/MailerForm.h"
#include "printing/PrintRun.h"
#include "tests/support/TestSupport.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <sys/resource.h>

namespace {

// Processor time of this process so far: in the program itself, and in the system for it.
struct ProcessorSeconds {
    double user = 0;
    double system = 0;
};
ProcessorSeconds processorSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    return {seconds(usage.ru_utime), seconds(usage.ru_stime)};
}

// The log row of the sample mailer.
MailerLogEntry logEntry()
{
    MailerLogEntry entry;
    entry.recipient = {{"Jane Roe", "Roe & Sons", "4 Elm St", "Apt 2"}, "Dover", "DE", "19901"};
    entry.sender = {{"Acme Supply", "12 Mill Rd", "", ""}, "Springfield", "IL", "62701-1234"};
    entry.postage = "0.39";
    entry.certified = "2.40";
    entry.returnFee = "1.85";
    entry.restricted = "3.50";
    entry.total = "8.14";
    entry.department = "Legal";
    entry.processedBy = "kb";
    entry.re = "Lease 7";
    entry.comment = "Second notice";
    return entry;
}

void addressTo(MailerPrintData& data, MailerLogEntry& entry, const BenchRecipient& to)
{
    entry.recipient = {{to.lines[0], to.lines[1], to.lines[2], to.lines[3]}, to.city, to.state, to.zip};
    data.recipientLines = {to.lines[0], to.lines[1], to.lines[2], to.lines[3],
                           to.city + ", " + to.state + " " + to.zip};
    data.recipientZip = to.zip;
}

// Durable one-row transactions: log rows appended one commit each, as the engine commits
// them (rollback journal, full sync), into a log table of their own on the same disk.
class DurableTransactions {
public:
    explicit DurableTransactions(const QString& folder)
    {
        QDir().mkpath(folder);
        engine::createTable(toStd(folder), "Log37", schema::Log37);
        table_.setFolder(toStd(folder));
        table_.setTableName("Log37");
        table_.open();
    }

    // Runs that many transactions and returns the seconds they took.
    double run(int rows)
    {
        const auto start = Clock::now();
        for (int i = 0; i < rows; ++i) {
            table_.append();
            table_.setText("MailerNum", "9214 7123 4567 8900 0000 15");
            table_.setInteger("SerialNum", i);
            table_.setText("ToAddress1", "Jane Roe");
            table_.setText("Result", "None");
            table_.post();
        }
        return secondsSince(start);
    }

private:
    engine::Table table_;
};

} // namespace

int main(int argc, char** argv)
{
    KeepMemoryForPrintJobs(); // as the program does at its start
    QGuiApplication app(argc, argv);
    const int forms =
        qEnvironmentVariableIsSet("DOVRA_BENCH_FORMS") ? qEnvironmentVariableIntValue("DOVRA_BENCH_FORMS") : 1000;
    QTemporaryDir home;
    if (!home.isValid()) {
        std::fprintf(stderr, "no temporary folder\n");
        return 1;
    }
    TdmDovraPro dm;
    Settings settings = Settings::defaults(home.path());
    QDir().mkpath(settings.logDB);
    dm.CreateTable(settings.logDB, "Log37", schema::Log37);
    dm.CreateTable(settings.mailerNumDB, "MailerNum", schema::MailerNum);
    testsupport::writeRow(settings.mailerNumDB, {"123456789", "0000000"});

    PdfJobCanvas canvas(home.path() + "/Printed");
    MailerPrintData data = testsupport::sampleMailerPrintData();
    applyPrintSettings(data, settings);
    MailerLogEntry entry = logEntry();
    int turn = 0;
    const auto nextRecipient = [&] {
        addressTo(data, entry, kBenchRecipients[size_t(turn++) % kBenchRecipients.size()]);
    };
    DurableTransactions reference(home.path() + "/Scratch");
    // The disk's speed drifts over a run (its cache, the files already written), so the
    // print run and the reference transactions take turns in rounds and see the same disk.
    constexpr int kRounds = 10;
    const int transactions = qMax(200, forms / 2);
    double printSeconds = 0, proofSeconds = 0, transactionSeconds = 0;
    int printed = 0;
    ProofArchive proofs(home.path() + "/Proofs", true);
    const auto printForms = [&](int count, ProofArchive* archive) {
        const auto start = Clock::now();
        for (int i = 0; i < count; ++i) {
            nextRecipient();
            const PrintOutcome outcome = PrintMailer(canvas, settings, data, MailerLayout::Form, entry, archive);
            if (!outcome.printed()) {
                std::fprintf(stderr, "refused: %s\n", qPrintable(outcome.refusal));
                std::exit(1);
            }
        }
        return secondsSince(start);
    };
    for (int round = 0; round < kRounds; ++round) {
        const int formsThisRound = forms * (round + 1) / kRounds - printed;
        printSeconds += printForms(formsThisRound, nullptr);
        proofSeconds += printForms(formsThisRound, &proofs);
        printed += formsThisRound;
        transactionSeconds += reference.run(transactions / kRounds);
    }
    if (!proofs.warning().isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(proofs.warning()));
        return 1;
    }
    const double mailersPerSecond = forms / printSeconds;
    const double transactionsPerSecond = (transactions / kRounds * kRounds) / transactionSeconds;

    // The PDF writer alone: the same form drawn into job files, without counter or log, in
    // processor time (the disk's waits left out, as they vary with the other programs).
    PdfJobCanvas alone(home.path() + "/Alone");
    const int jobs = qMax(100, forms / 5);
    const ProcessorSeconds drawStart = processorSeconds();
    for (int i = 0; i < jobs; ++i) {
        nextRecipient();
        PrintMailerForm(alone, mailerValues(data), MailerLayout::Form);
    }
    const ProcessorSeconds drawEnd = processorSeconds();
    const double userMilliseconds = (drawEnd.user - drawStart.user) * 1000 / jobs;
    const double systemMilliseconds = (drawEnd.system - drawStart.system) * 1000 / jobs;
    const qint64 jobBytes = QFileInfo(alone.lastFile()).size();

    const double ratio = mailersPerSecond / transactionsPerSecond;
    std::printf("forms printed through the print run to PDF: %d in %.2f s\n", forms, printSeconds);
    std::printf("print mailers per second:                   %.1f\n", mailersPerSecond);
    std::printf("durable one-row SQLite transactions/s:      %.1f (same disk)\n", transactionsPerSecond);
    std::printf("ratio (mailers / transactions):             %.3f (goal >= 0.3) %s\n", ratio,
                ratio >= 0.3 ? "met" : "NOT MET");
    const double withProofs = forms / proofSeconds;
    std::printf("with proof copies kept, mailers per second: %.1f (%.2f of the rate without; goal >= 0.8) %s\n",
                withProofs, withProofs / mailersPerSecond, withProofs >= 0.8 * mailersPerSecond ? "met" : "NOT MET");
    qint64 proofBytes = 0, proofCount = 0, largestProof = 0;
    QDirIterator files(home.path() + "/Proofs", {"*.pdf"}, QDir::Files, QDirIterator::Subdirectories);
    while (files.hasNext()) {
        const qint64 size = QFileInfo(files.next()).size();
        proofBytes += size;
        largestProof = qMax(largestProof, size);
        ++proofCount;
    }
    std::printf("proof copy size, average and largest:       %.1f kB, %.1f kB (goal < 30 kB)\n",
                proofCount ? proofBytes / 1024.0 / proofCount : 0.0, largestProof / 1024.0);
    std::printf("form job alone (PDF writer), processor time: %.3f ms in the program, %.3f ms in the system\n",
                userMilliseconds, systemMilliseconds);
    std::printf("form job file size:                         %lld bytes\n", static_cast<long long>(jobBytes));
    std::printf("peak memory (VmHWM):                        %ld KiB\n", peakMemoryKiB());
    return 0;
}
