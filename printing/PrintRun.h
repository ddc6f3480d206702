// The road of one mailer from the counter to paper and log, the batch that stores mailers
// first and prints them later, and the log rows both write. No widgets: the main window
// collects the entry and shows the messages; a benchmark drives the same run.
//
// Numbers are never handed out twice: before a mailer is printed, the mailer's log row is
// written and the counter's next serial committed, the log held from before the counter is
// written until after. A crash at any instant leaves the counter past every number on paper
// or in the log, and every printed number has its row. A job that fails takes its row back and
// leaves a gap in the serials; the postal service asks for unique numbers, not consecutive
// ones.
#pragma once

#include "core/AddressLines.h"
#include "core/NumberCounter.h"
#include "printing/MailerForm.h"
#include "printing/ProofArchive.h"

#include <QList>
#include <QString>
#include <functional>
#include <stdexcept>
#include <vector>

struct Settings;
namespace engine {
class RowSource;
} // namespace engine

// What the log keeps of the entry: everything of a Log37 row but the number, the time and
// the batch flag.
struct MailerLogEntry {
    TAddressLines recipient;
    TAddressLines sender; // the selected sender's stored fields
    // The fee fields as they stand; the log keeps them without their blanks.
    QString postage;
    QString certified;
    QString returnFee;
    QString restricted;
    QString total;
    QString department;
    QString processedBy;
    QString re;
    QString comment;
    bool wishRest = false;
};

// Alignment offsets and the extra-label choice from the settings.
void applyPrintSettings(MailerPrintData& data, const Settings& settings);
// The number fields from the number state: Customer ID and serial with bar codes on, the
// built kind "T" number with them off.
void applyNumberState(MailerPrintData& data, const TNumberState& state);
// The print data of a batch row, apart from the number fields.
MailerPrintData printDataOfLogRow(const engine::RowSource& row, const Settings& settings);

// The outcome of one Print.
struct PrintOutcome {
    QString refusal; // the counter refused (no Customer ID): nothing printed, logged or advanced
    QString number;  // the printed kind "T" Mailer Number, 22 digits
    bool printed() const { return refusal.isEmpty(); }
};

// One mailer: opens the counter exclusively; takes the number for good (the printed log row
// and the counter's next serial committed, as above); prints the form, or the label at the
// settings' label position (one print job, then the position advances). The counter is
// released on every way out. A counter or log that cannot be written throws before anything
// is printed, with counter and log unchanged; a print job that fails throws PrintError after
// taking the log row back. With an archive, the proof copy is kept once the mailer has printed.
PrintOutcome PrintMailer(PageCanvas& canvas, Settings& settings, MailerPrintData data, MailerLayout layout,
                         const MailerLogEntry& entry, ProofArchive* proofs = nullptr);

// One mailer of a run of many (a mass print, several forms of one entry): what it prints,
// without its number fields, and what the log keeps of it.
struct RunMailer {
    MailerPrintData data;
    MailerLogEntry entry;
};

// A mailer of a run that was not printed, and why.
struct RunRefusal {
    QString recipient; // the recipient's first line
    QString reason;
};

// What a run of many did. Every mailer counted as printed has its number and log row.
struct RunOutcome {
    int total = 0;
    int printed = 0;
    QString firstNumber, lastNumber; // 22 digits
    int lastPrinted = -1;            // the index of the last mailer printed
    QList<RunRefusal> refusals;      // refused one by one; the run went on
    QString counterRefusal;          // the counter refused: nothing printed from there on
    QString stop;                    // the error that ended the run before its end
    bool cancelled = false;
    int notTried = 0; // after a Cancel, a counter refusal or a stop
};

struct RunHooks {
    // Asked for each mailer before it takes its number: a text refuses the mailer with that
    // reason and the run goes on with the next one; empty lets it print.
    std::function<QString(const MailerLogEntry&, const MailerPrintData&)> precheck;
    // Told before each mailer how many of the run have been dealt with, and once more at the
    // end; false before a mailer stops the run there (Cancel).
    std::function<bool(int done, int total)> progress;
};

// Prints the mailers in order. Each takes its number as a single Print does (counter opened
// exclusively for that mailer alone, log row written and read back, counter advanced, then
// drawn), so other workstations take turns with the run. Forms are a print job each. Labels
// share one job from the settings' label position on, sheet after sheet as pages of it, and
// the position advances with each label; they reach the paper when the job ends, after the
// last mailer, a Cancel or a stop. A label job that fails takes back the log rows of all its
// labels and the label position (their numbers stay unused for good), so no row is left for
// a mailer that never reached the paper. A refusal by the check passes over that mailer; a
// counter refusal or an error (counter or log that cannot be written, a failed form) ends the
// run with the mailers printed before it kept. With an archive, each printed mailer's proof
// copy is kept once it is on paper.
RunOutcome PrintMailers(PageCanvas& canvas, Settings& settings, const std::vector<RunMailer>& mailers,
                        MailerLayout layout, const RunHooks& hooks = {}, ProofArchive* proofs = nullptr);

// The one message at the end of a mass print: how many were printed with the first and last
// number, the mailers refused and why, and a Cancel or the error that ended it.
QString massPrintSummary(const RunOutcome& outcome);
// The mailers a run left out and why, the first few by name.
QString refusalsMessage(const QList<RunRefusal>& refusals);
// The error that ended a run, then what had been printed before it.
QString runStoppedMessage(const RunOutcome& outcome);

// Print runs make and drop page images and job buffers of a few hundred kilobytes for every
// mailer. Left as it is, the C library hands such memory back to the system at every free
// and the next job pays again for fresh pages (a tenth of a form's time in a measured run);
// called once at the start, the process keeps a few megabytes of it for the next job.
void KeepMemoryForPrintJobs();

// Appends the entry to the log as a batch row: Batch true, no number, no time.
void StoreMailerInBatch(const Settings& settings, const MailerLogEntry& entry);

// The outcome of Print Batch Entries.
struct BatchOutcome {
    bool empty = false; // no batch rows: nothing done
    QString refusal;    // the counter refused: nothing printed
    int count = 0;      // rows printed and completed
    QString firstNumber, lastNumber;
};

// A batch run that stopped part-way: the error that stopped it, then which mailers had been
// printed and logged before it.
class BatchStoppedError : public std::runtime_error {
public:
    BatchStoppedError(const QString& cause, const BatchOutcome& done);
};

// Prints every batch row in table order (labels share one print job) and completes each
// with its 22-digit number. The counter is held for the whole run; each row is completed in
// the commit that advances the counter past its number, before it is printed, so a run that
// stops part-way leaves counter and completed rows in agreement.
BatchOutcome PrintBatch(PageCanvas& canvas, Settings& settings, MailerLayout layout, ProofArchive* proofs = nullptr);

// Deletes every batch row; returns how many.
int ClearBatch(const Settings& settings);

// The messages of the run.
QString sentToPrinterMessage(const QString& number);
QString batchPrintedMessage(const BatchOutcome& outcome);
QString multipleFormsMessage(int count);
extern const QString BatchStoredMessage;
extern const QString NoBatchRecordsMessage;
extern const QString ClearBatchQuestion;

// Called at the named moments of taking a number ("log row written", "counter posted",
// "number taken"), so that the crash tests can stop the program exactly there. Unset in use.
extern void (*NumberStepProbe)(const char* step);
