// A workstation that prints without end, for the crash tests: forms, labels and batch runs
// to PDF files in <program folder>/Printed, through the print run, until it is killed.
//
//   crash_printer <program folder> init
//   crash_printer <program folder> loop
//   crash_printer <program folder> once <form|label>
//   crash_printer <program folder> die-before-job   (killed once the number is taken, before the job)
//   crash_printer <program folder> die-after-job    (killed right after the job is complete)
#include "canvas/PdfCanvas.h"
#include "core/Settings.h"
#include "core/datamodule/Schemas.h"
#include "core/datamodule/TdmDovraPro.h"
#include "engine/MultiTableWrite.h"
#include "printing/PrintRun.h"

#include <QDir>
#include <QGuiApplication>
#include <csignal>
#include <cstdio>

namespace {

// A PDF printer that kills its own process at a chosen point of the next job.
class DyingCanvas : public PdfJobCanvas {
public:
    enum class Point { Never, BeforeJob, AfterJob };
    DyingCanvas(const QString& folder, Point point) : PdfJobCanvas(folder), point_(point) {}
    void BeginDocument() override
    {
        if (point_ == Point::BeforeJob)
            std::raise(SIGKILL);
        PdfJobCanvas::BeginDocument();
    }
    void EndDocument() override
    {
        PdfJobCanvas::EndDocument();
        if (point_ == Point::AfterJob)
            std::raise(SIGKILL);
    }

private:
    Point point_;
};

MailerLogEntry entryFor(int i)
{
    MailerLogEntry entry;
    entry.recipient = {{QString("Recipient %1").arg(i), "4 Elm St", "", ""}, "Dover", "DE", "19901-0001"};
    entry.sender = {{"Acme Supply", "12 Mill Rd", "", ""}, "Springfield", "IL", "62701-1234"};
    entry.postage = "  .39";
    entry.certified = " 2.40";
    entry.total = " 2.79";
    return entry;
}

MailerPrintData dataFor(const MailerLogEntry& entry)
{
    MailerPrintData data;
    data.senderLines = displayLines(entry.sender);
    data.senderZip = entry.sender.zip;
    data.recipientLines = displayLines(entry.recipient);
    data.recipientZip = entry.recipient.zip;
    data.postage = entry.postage;
    data.certifiedFee = entry.certified;
    data.total = entry.total;
    return data;
}

void printOne(PageCanvas& canvas, Settings& settings, int i, MailerLayout layout)
{
    const MailerLogEntry entry = entryFor(i);
    ProofArchive proofs(settings);
    const PrintOutcome outcome = PrintMailer(canvas, settings, dataFor(entry), layout, entry, &proofs);
    if (!outcome.printed())
        throw std::runtime_error(outcome.refusal.toStdString());
}

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: crash_printer <program folder> loop|once|die-before-job|die-after-job\n");
        return 2;
    }
    const QString home = QString::fromLocal8Bit(argv[1]);
    const QString mode = QString::fromLocal8Bit(argv[2]);
    TdmDovraPro dm;
    Settings settings = Settings::defaults(home);
    const QString printed = home + "/Printed";
    try {
        if (mode == "init") { // an empty log and a counter at serial 1000, for trying it by hand
            QDir().mkpath(home + "/Log");
            dm.EnsureTable(home + "/Log", "Log37", schema::Log37);
            dm.EnsureTable(home, "MailerNum", schema::MailerNum);
            engine::MultiTableWrite write({{home.toStdString(), "MailerNum"}});
            write.run("UPDATE MailerNum SET CustID = '123456789', SerialNum = '0001000'");
            write.commit();
            return 0;
        }
        if (mode == "make-tables") { // first starts in new folders, one after the other
            const int first = int(QDir(home).entryList({"start-*"}, QDir::Dirs).size());
            for (int i = first;; ++i) {
                const QString folder = home + QString("/start-%1").arg(i, 6, 10, QChar('0'));
                QDir().mkpath(folder);
                if (i == first) {
                    std::puts("printing");
                    std::fflush(stdout);
                }
                dm.EnsureTable(folder, "YourAddress", schema::YourAddress);
                dm.EnsureTable(folder, "MailerNum", schema::MailerNum);
                dm.EnsureTable(folder, "Log37", schema::Log37);
            }
        }
        if (mode == "once") {
            PdfJobCanvas canvas(printed);
            printOne(canvas, settings, 0, argc > 3 && QByteArray(argv[3]) == "label" ? MailerLayout::Label
                                                                                     : MailerLayout::Form);
            return 0;
        }
        if (mode == "die-before-job" || mode == "die-after-job") {
            DyingCanvas canvas(printed, mode == "die-before-job" ? DyingCanvas::Point::BeforeJob
                                                                 : DyingCanvas::Point::AfterJob);
            printOne(canvas, settings, 0, MailerLayout::Form);
            return 3; // not reached
        }
        PdfJobCanvas canvas(printed);
        // Tells the test that start-up is over, so its kills fall while mailers print.
        std::puts("printing");
        std::fflush(stdout);
        for (int i = 0;; ++i) {
            switch (i % 6) {
            case 0:
            case 1:
            case 2:
                printOne(canvas, settings, i, MailerLayout::Form);
                break;
            case 3:
                printOne(canvas, settings, i, MailerLayout::Label);
                break;
            default:
                for (int row = 0; row < 3; ++row)
                    StoreMailerInBatch(settings, entryFor(i * 10 + row));
                ProofArchive proofs(settings);
                PrintBatch(canvas, settings, i % 6 == 4 ? MailerLayout::Form : MailerLayout::Label, &proofs);
                break;
            }
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
}
