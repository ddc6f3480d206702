// Mass printing's speed: the addresses of a real address database printed to PDF files
// through the main window's mass print (one run of the print run: for each address its
// number, form and log row, progress shown, one summary at the end), against single
// prints through the print run, one mailer at a time as the print benchmark makes them, to
// the same recipients in the same folder. Goal: a mass-print rate of at least 0.8 of the
// single-print rate.
// The two take turns in rounds, so that both see the disk in the same state.
//
// DOVRA_BENCH_ADDRESSES sets the number of addresses (default 1000) for a quick try.
#include "addressbook/AddressBook.h"
#include "addressbook/AddressBookPanel.h"
#include "addressbook/AddressListModel.h"
#include "addressbook/MassPrint.h"
#include "addressbook/TextFiles.h"
#include "app/TF_Main.h"
#include "bench/BenchSupport.h"
#include "canvas/PdfCanvas.h"
#include "core/AddressLines.h"
#include "core/datamodule/TdmDovraPro.h"
#include "engine/Query.h"
#include "printing/PrintRun.h"
#include "printing/ProofArchive.h"
#include "tests/support/TestSupport.h"
#include "widgets/ButtonDialog.h"
#include "widgets/Services.h"

#include <QApplication>
#include <QDir>
#include <cstdio>
#include <vector>

namespace {

// The recipients of the print benchmark in turn, numbered.
TAddressLines addressNumber(int i)
{
    const BenchRecipient& r = kBenchRecipients[size_t(i) % kBenchRecipients.size()];
    TAddressLines a;
    for (int line = 0; line < 4; ++line)
        a.address[line] = r.lines[size_t(line)];
    a.address[0] += " " + QString::number(i);
    a.city = r.city;
    a.state = r.state;
    a.zip = r.zip;
    return a;
}

bool waitFor(const std::function<bool()>& done)
{
    const auto start = Clock::now();
    while (!done()) {
        if (secondsSince(start) > 30)
            return false;
        QApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    KeepMemoryForPrintJobs(); // as the program does at its start
    QApplication app(argc, argv);
    const int addresses = qEnvironmentVariableIsSet("DOVRA_BENCH_ADDRESSES")
                              ? qMax(10, qEnvironmentVariableIntValue("DOVRA_BENCH_ADDRESSES"))
                              : 1000;
    testsupport::TempProgramFolder home;
    const QString printed = home.path() + "/Printed";
    testsupport::EnvironmentValue pdfDir("DOVRA_PDF_DIR", printed);
    MessageService::setScripted(true);
    ButtonDialogService::setScripted(true);
    testsupport::prepareReadyProgramFolder(home.path());

    const QString folder = home.path() + "/Addresses/Clients";
    QDir().mkpath(folder);
    createAddressDatabaseTables(folder);
    std::vector<TAddressLines> recipients;
    for (int i = 0; i < addresses; ++i)
        recipients.push_back(addressNumber(i));
    {
        engine::Query q;
        q.setFolder(folder.toStdString());
        insertAddresses(q, "Address", recipients);
    }

    TdmDovraPro dm;
    TF_Main w;
    w.show();
    if (!waitFor([&] { return !w.firstShowingPending() && !QApplication::activeModalWidget(); })) {
        std::fprintf(stderr, "the main window did not start\n");
        return 1;
    }
    w.settings.addressDB = folder;
    w.OpenAddressDatabase();
    const std::vector<TAddressRec>& listed = w.panelDB->addressModel()->addresses();
    if (listed.size() != size_t(addresses)) {
        std::fprintf(stderr, "the list shows %zu addresses, not %d\n", listed.size(), addresses);
        return 1;
    }

    const MailerLayout layout = w.returnReceiptMode ? MailerLayout::Form : MailerLayout::Label;
    constexpr int kRounds = 10;
    double massSeconds = 0, singleSeconds = 0;
    int done = 0;
    for (int round = 0; round < kRounds; ++round) {
        const int first = done;
        done = addresses * (round + 1) / kRounds;
        MassPrintModel entries;
        for (int i = first; i < done; ++i)
            entries.AddMassPrintEntry(listed[size_t(i)], true);
        const auto massStart = Clock::now();
        w.PrintMarkedAddresses(entries);
        massSeconds += secondsSince(massStart);

        ProofArchive proofs(w.settings);
        const auto singleStart = Clock::now();
        for (int i = first; i < done; ++i) {
            PdfJobCanvas canvas(PdfJobCanvas::defaultFolder());
            const TAddressLines& to = recipients[size_t(i)];
            // Everything but the recipient as the window's Print takes it.
            MailerPrintData data = printDataOfWindow(w);
            data.recipientLines = displayLines(to);
            data.recipientZip = to.zip;
            MailerLogEntry entry = logEntryOfWindow(w);
            entry.recipient = to;
            const PrintOutcome outcome = PrintMailer(canvas, w.settings, data, layout, entry, &proofs);
            if (!outcome.printed()) {
                std::fprintf(stderr, "refused: %s\n", qPrintable(outcome.refusal));
                return 1;
            }
        }
        singleSeconds += secondsSince(singleStart);
    }

    // Every mailer of both kinds is a file and a log row of its own; each mass print told
    // its summary and nothing else.
    const int files = QDir(printed).entryList({"print-*.pdf"}, QDir::Files).size();
    engine::Query log;
    log.setFolder(w.settings.logDB.toStdString());
    log.setSql("select count(distinct MailerNum) from Log37");
    log.open();
    const long long numbers = log.asInteger("count(distinct MailerNum)");
    if (files != 2 * addresses || numbers != 2 * addresses || MessageService::shown().size() != kRounds ||
        !ButtonDialogService::shown().isEmpty()) {
        std::fprintf(stderr, "expected %d files and numbers: %d files, %lld numbers, %lld messages\n", 2 * addresses,
                     files, numbers, static_cast<long long>(MessageService::shown().size()));
        return 1;
    }

    const double massRate = addresses / massSeconds;
    const double singleRate = addresses / singleSeconds;
    std::printf("mass print of %d addresses to PDF:          %.2f s, %.1f mailers per second\n", addresses, massSeconds,
                massRate);
    std::printf("single prints to the same recipients:       %.2f s, %.1f mailers per second\n", singleSeconds,
                singleRate);
    std::printf("mass-print rate / single-print rate:        %.2f (goal >= 0.8) %s\n", massRate / singleRate,
                massRate >= 0.8 * singleRate ? "met" : "NOT MET");
    std::printf("peak memory (VmHWM):                        %ld KiB\n", peakMemoryKiB());
    w.close();
    return 0;
}
