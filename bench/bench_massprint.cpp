// Mass printing's speed: the addresses of a real address database printed to PDF files
// through the main window's mass print (each address made the current recipient in the
// list, then the window's Print: number, form and log row, progress shown), against single
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
#include "app/Services.h"
#include "app/datamodule/TdmDovraPro.h"
#include "bench/BenchSupport.h"
#include "engine/Query.h"
#include "entry/AddressLines.h"
#include "entry/ButtonDialog.h"
#include "entry/TF_Main.h"
#include "printing/PdfCanvas.h"
#include "printing/PrintRun.h"
#include "printing/ProofArchive.h"
#include "tests/support/TestSupport.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <array>
#include <cstdio>
#include <vector>

namespace {

// Recipients taken in turn, numbered, so that no job finds the fonts and bar codes of the
// job before it ready made.
struct Recipient {
    std::array<QString, 4> lines;
    QString city, state, zip;
};
const std::array<Recipient, 9> kRecipients{{
    {{"Jane Roe", "Roe & Sons", "4 Elm St", "Apt 2"}, "Dover", "DE", "19901"},
    {{"Quentin Vasquez", "Vasquez Holdings LLC", "1187 Harbor Blvd", "Suite 300"}, "Oxnard", "CA", "93035"},
    {{"Mary-Kate O'Brien", "", "77 Wexford Way", ""}, "Boston", "MA", "02116-4411"},
    {{"Dr. Paul Zhang", "Zhang Family Dental", "9 Juniper Court", "Bldg B"}, "Yakima", "WA", "98902"},
    {{"Hector Jimenez", "Jimenez Farms", "RR 2 Box 48", ""}, "Lubbock", "TX", "79401"},
    {{"Wilhelmina Fox", "Fox & Kettle Pub", "302 Queen St", "Rear"}, "Alexandria", "VA", "22314"},
    {{"Abdul Karim", "Karim Imports Inc", "45 Canal St", "Fl 3"}, "New York", "NY", "10013-2208"},
    {{"Yvonne Becker", "", "615 N Pearl Ave", "Unit 12"}, "Milwaukee", "WI", "53202"},
    {{"George Ulrich", "Ulrich Tool & Die", "2250 Industrial Pkwy", ""}, "Toledo", "OH", "43612"},
}};

TAddressLines addressNumber(int i)
{
    const Recipient& r = kRecipients[size_t(i) % kRecipients.size()];
    TAddressLines a;
    for (int line = 0; line < 4; ++line)
        a.address[line] = r.lines[size_t(line)];
    a.address[0] += " " + QString::number(i);
    a.city = r.city;
    a.state = r.state;
    a.zip = r.zip;
    return a;
}

// The print data and log row of a mailer to that recipient, with everything else as the
// main window shows it, as its Print takes them.
MailerPrintData printDataFor(const TF_Main& w, const TAddressLines& to)
{
    MailerPrintData data;
    for (int i = 0; i < 5; ++i)
        data.senderLines[i] = w.lblYourAddress[i]->text();
    data.senderZip = w.currentSender.zip;
    data.recipientLines = displayLines(to);
    data.recipientZip = to.zip;
    data.postage = w.editPostage->text();
    data.certifiedFee = w.editCertFee->text();
    data.returnFee = w.editReturn->text();
    data.restrictedFee = w.editRestricted->text();
    data.total = w.editTotal->text();
    applyPrintSettings(data, w.settings);
    return data;
}

MailerLogEntry logEntryFor(const TF_Main& w, const TAddressLines& to)
{
    MailerLogEntry entry;
    entry.recipient = to;
    entry.sender = w.currentSender;
    entry.postage = w.editPostage->text();
    entry.certified = w.editCertFee->text();
    entry.returnFee = w.editReturn->text();
    entry.restricted = w.editRestricted->text();
    entry.total = w.editTotal->text();
    return entry;
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
    // The first mailer's notice is answered "Do not show this screen again", as an office
    // that prints many does.
    ButtonDialogService::queueAnswer(1);
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
            const PrintOutcome outcome =
                PrintMailer(canvas, w.settings, printDataFor(w, to), layout, logEntryFor(w, to), &proofs);
            if (!outcome.printed()) {
                std::fprintf(stderr, "refused: %s\n", qPrintable(outcome.refusal));
                return 1;
            }
        }
        singleSeconds += secondsSince(singleStart);
    }

    // Every mailer of both kinds is a file and a log row of its own.
    const int files = QDir(printed).entryList({"print-*.pdf"}, QDir::Files).size();
    engine::Query log;
    log.setFolder(w.settings.logDB.toStdString());
    log.setSql("select count(distinct MailerNum) from Log37");
    log.open();
    const long long numbers = log.asInteger("count(distinct MailerNum)");
    if (files != 2 * addresses || numbers != 2 * addresses || !MessageService::shown().isEmpty()) {
        std::fprintf(stderr, "expected %d files and numbers: %d files, %lld numbers, %lld messages\n", 2 * addresses,
                     files, numbers, static_cast<long long>(MessageService::shown().size()));
        return 1;
    }

    const double massRate = addresses / massSeconds;
    const double singleRate = addresses / singleSeconds;
    std::printf("mass print of %d addresses to PDF:          %.2f s, %.1f mailers per second\n", addresses,
                massSeconds, massRate);
    std::printf("single prints to the same recipients:       %.2f s, %.1f mailers per second\n", singleSeconds,
                singleRate);
    std::printf("mass-print rate / single-print rate:        %.2f (goal >= 0.8) %s\n", massRate / singleRate,
                massRate >= 0.8 * singleRate ? "met" : "NOT MET");
    std::printf("peak memory (VmHWM):                        %ld KiB\n", peakMemoryKiB());
    w.close();
    return 0;
}
