#include "printing/PrintRun.h"

#include "core/Settings.h"
#include "core/datamodule/ServerTables.h"
#include "core/datamodule/TdmDovraPro.h"
#include "engine/MultiTableWrite.h"
#include "engine/Table.h"

#include <QDateTime>
#include <functional>
#include <malloc.h>
#include <optional>

void (*NumberStepProbe)(const char* step) = nullptr;

const QString BatchStoredMessage = QStringLiteral("Record has been added to the Batch File.");
const QString NoBatchRecordsMessage = QStringLiteral("There are no records in the Batch file.");
const QString ClearBatchQuestion = QStringLiteral("Are you sure you want to clear the Batch file?");

namespace {

const std::string kLogTable = "Log37";

engine::DateTime now()
{
    const QDateTime t = QDateTime::currentDateTime();
    return {t.date().year(), t.date().month(), t.date().day(), t.time().hour(), t.time().minute(), t.time().second()};
}

// The fields of a log row to be written, by name.
using LogFields = std::vector<std::pair<std::string, engine::Value>>;

engine::Value text(const QString& s)
{
    return toStd(s);
}

void addAddress(LogFields& row, const std::string& prefix, const std::string& cityPrefix,
                const TAddressLines& address)
{
    for (int i = 0; i < 4; ++i)
        row.emplace_back(prefix + std::to_string(i + 1), text(address.address[i]));
    row.emplace_back(cityPrefix + "City", text(address.city));
    row.emplace_back(cityPrefix + "State", text(address.state));
    // A typed ZIP without its +4 comes as five digits and a dash.
    row.emplace_back(cityPrefix + "Zip", text(TidyZip(address.zip)));
}

// The fields a printed mailer and a batch row share.
LogFields entryFields(const MailerLogEntry& entry)
{
    LogFields row;
    addAddress(row, "ToAddress", "To", entry.recipient);
    addAddress(row, "YourAddress", "Your", entry.sender);
    row.emplace_back("Postage", text(entry.postage.trimmed()));
    row.emplace_back("Certified", text(entry.certified.trimmed()));
    row.emplace_back("Return", text(entry.returnFee.trimmed()));
    row.emplace_back("Restricted", text(entry.restricted.trimmed()));
    row.emplace_back("Total", text(entry.total.trimmed()));
    row.emplace_back("Department", text(entry.department.trimmed()));
    row.emplace_back("ProcessedBy", text(entry.processedBy.trimmed()));
    row.emplace_back("RE", text(entry.re.trimmed()));
    row.emplace_back("Comment", text(entry.comment.trimmed()));
    row.emplace_back("WishRest", std::int64_t(entry.wishRest));
    row.emplace_back("Result", std::string("None"));
    return row;
}

// The number part of a printed row; mailerNum is the grouped number for a single print and
// the 22 digits for a batch row.
LogFields printedFields(const QString& mailerNum, const QString& number, const QString& customerId)
{
    return {
        {"DateTime", now().iso()},
        {"MailerNum", text(mailerNum)},
        {"CustID", text(customerId)},
        // The serial inside the printed number, not the counter's next one.
        {"SerialNum", std::int64_t(number.mid(14, 7).toInt())},
        {"Batch", std::int64_t(0)},
    };
}

void setFields(engine::Table& row, const LogFields& fields)
{
    for (const auto& [name, value] : fields)
        row.setValue(name, value);
}

std::vector<engine::Value> valuesOf(const LogFields& fields)
{
    std::vector<engine::Value> values;
    for (const auto& field : fields)
        values.push_back(field.second);
    return values;
}

std::string insertLogRowSql(const LogFields& fields)
{
    std::string columns, marks;
    for (const auto& field : fields) {
        columns += (columns.empty() ? "" : ", ") + field.first;
        marks += marks.empty() ? "?" : ", ?";
    }
    return "INSERT INTO " + kLogTable + " (" + columns + ") VALUES (" + marks + ")";
}

// "UPDATE Log37 SET ... WHERE LID = ?" and the condition given; the key is bound last.
std::string updateLogRowSql(const LogFields& fields, const std::string& condition = {})
{
    std::string set;
    for (const auto& field : fields)
        set += (set.empty() ? "" : ", ") + field.first + " = ?";
    return "UPDATE " + kLogTable + " SET " + set + " WHERE LID = ?" + (condition.empty() ? "" : " AND " + condition);
}

LabelPosition labelPosition(const Settings& settings)
{
    return {settings.labelRow, settings.labelCol};
}

void advanceLabelPosition(Settings& settings)
{
    LabelPosition position = labelPosition(settings);
    position.advance();
    settings.labelRow = position.row;
    settings.labelCol = position.col;
}

// Opens the log for a run; a log that cannot be written refuses the run before anything is
// printed.
std::optional<LogTableSession>& openLogBeforePrinting(std::optional<LogTableSession>& log, const Settings& settings,
                                                      const QString& filter = QString())
{
    try {
        log.emplace(settings, filter);
    } catch (const engine::EngineError& e) {
        throw engine::EngineError(std::string(e.what()) + "\n\nNothing has been printed.");
    }
    return log;
}

// The labels of a batch run share one print job, ended on every way out once begun.
class LabelJob {
public:
    explicit LabelJob(PageCanvas& canvas) : canvas_(canvas) {}
    ~LabelJob()
    {
        if (begun_) {
            try {
                canvas_.EndDocument();
            } catch (...) {
                // Already leaving with the error that stopped the run.
            }
        }
    }
    void beginOnce()
    {
        if (!begun_) {
            canvas_.BeginDocument();
            begun_ = true;
        }
    }
    void end()
    {
        if (begun_) {
            begun_ = false;
            canvas_.EndDocument();
        }
    }

private:
    PageCanvas& canvas_;
    bool begun_ = false;
};

// Takes the mailer's number for good before it is printed. The log is held first and the
// number's row written into it and read back, then the counter's next serial is posted
// through the counter handle the run holds exclusively, then the row is committed:
// a crash at any instant leaves the counter past every number logged (a crash between the
// two commits leaves an unused number, never a number used twice), and a counter or log
// that cannot be written refuses the mailer while nothing is on paper. Two commits of one
// file each cost far fewer syncs than one commit across both. logRow writes the row (a new
// one, or a batch row completed) and returns its key; none means the mailer is not to be
// printed, and nothing is written. The log takes a number it holds already for no second
// row, so a counter set back to used serials refuses the mailer instead of printing it.
// On a database server the log's write and the counter's post run on the same connection, so
// the row and the counter's next serial commit together in one server transaction, while the
// counter's lock (taken when it was opened) keeps other workstations waiting. (A new printed
// row is taken there in one statement instead; see takeNumberOnServer.)
engine::EngineError heldByAnother(const std::string& file, const engine::BusyError& e)
{
    return engine::EngineError(engine::inUseMessage(file, e.what()));
}

void reachedStep(const char* step)
{
    if (NumberStepProbe)
        NumberStepProbe(step);
}

const std::string kNothingUsed = "\n\nNothing has been printed; no Mailer Number was used.";

engine::EngineError usedNumberError(const QString& number, const std::string& logFile)
{
    return engine::EngineError("The Mailer Number " + toStd(GroupMailerNumber(number)) + " is already in the log " +
                               logFile +
                               ": the Mailer Number counter stands at a serial that has been used before. Set the "
                               "next serial in Options, Mailer Number; it proposes the next serial the log has not "
                               "used.");
}

bool reserveNumber(const Settings& settings, const QString& number, const QString& nextSerial,
                   const std::function<std::int64_t(engine::MultiTableWrite&)>& logRow)
{
    engine::Table& counter = dmDovraPro->adstMailerNum;
    const engine::MultiTableWrite::TableRef logTable{toStd(settings.logLocation()), kLogTable};
    const std::string logFile = engine::tableFile(logTable.folder, logTable.table);
    try {
        engine::requireWritable(counter.folder(), counter.tableName());
        engine::requireWritable(logTable.folder, logTable.table);
        engine::requireSound(counter.folder(), counter.tableName());
        engine::requireSound(logTable.folder, logTable.table);
        std::optional<engine::MultiTableWrite> log;
        try {
            log.emplace(std::vector{logTable});
        } catch (const engine::BusyError& e) {
            throw heldByAnother(logFile, e);
        }
        std::int64_t logId = 0;
        try {
            logId = logRow(*log);
        } catch (const engine::UniqueKeyError&) {
            throw usedNumberError(number, logFile);
        }
        if (logId == 0)
            return false;
        // A row that does not read back went where the log cannot show it.
        std::optional<engine::Value> stored;
        std::string readError;
        try {
            stored = log->firstValue("SELECT MailerNum FROM " + kLogTable + " WHERE LID = ?", {logId});
        } catch (const engine::BusyError&) {
            throw;
        } catch (const engine::EngineError& e) {
            readError = e.what();
        }
        const auto* storedText = stored ? std::get_if<std::string>(&*stored) : nullptr;
        if (!storedText || QString::fromStdString(*storedText).remove(' ') != number)
            throw engine::EngineError("The log " + logFile + " does not read back the row just written" +
                                      (readError.empty() ? "" : " (" + readError + ")") +
                                      ": it is damaged. Restore it from a backup copy.");
        reachedStep("log row written");
        try {
            counter.edit();
            counter.setText("SerialNum", toStd(nextSerial.left(7)));
            counter.post();
        } catch (const engine::BusyError& e) {
            counter.cancel();
            throw heldByAnother(counter.fileName(), e);
        }
        reachedStep("counter posted");
        log->commit();
        reachedStep("number taken");
        return true;
    } catch (const engine::EngineError& e) {
        throw engine::EngineError(std::string(e.what()) + kNothingUsed);
    }
}

// Opens the counter for a print run (see OpenNumberCounter); the settings' PrintBarCode
// follows the counter's BarCodes each time.
bool openCounterForRun(Settings& settings, TNumberState& state, QString& refusal)
{
    if (!OpenNumberCounter(settings, state, refusal))
        return false;
    settings.printBarCode = state.BarCodes;
    return true;
}

// A reserved mailer whose print job failed: its log row is taken back, so the log shows no
// mailer that never reached the paper; its number stays used. The error says what happened.
[[noreturn]] void throwPrintFailed(const std::exception& cause, const QString& number,
                                   const std::function<void()>& takeBack)
{
    QString message = QString::fromUtf8(cause.what()) + QStringLiteral("\n\nThe mailer with the Mailer Number %1 was not printed");
    message = message.arg(GroupMailerNumber(number));
    try {
        takeBack();
        message += QStringLiteral("; its number will not be used again.");
    } catch (const std::exception& e) {
        message += QStringLiteral(", but its log row could not be taken back (%1).").arg(QString::fromUtf8(e.what()));
    }
    throw PrintError(message);
}

// Takes the number of the state for good with a new printed row of the entry (see
// reserveNumber); returns the row's key.
std::int64_t reservePrintedRow(const Settings& settings, const TNumberState& state, const QString& number,
                               const MailerLogEntry& entry)
{
    std::int64_t logId = 0;
    reserveNumber(settings, number, AdvanceSerial(state.Serial, state.direction()),
                  [&](engine::MultiTableWrite& write) {
                      LogFields row = entryFields(entry);
                      const LogFields printed = printedFields(GroupMailerNumber(number), number, state.CustomerId);
                      row.insert(row.end(), printed.begin(), printed.end());
                      if (write.run(insertLogRowSql(row), valuesOf(row)) > 0)
                          logId = write.lastInsertId();
                      return logId;
                  });
    return logId;
}

// On a database server a new printed row takes its number in one statement (see
// TakeServerNumber): the counter locked, read and advanced and the row written in one server
// transaction, committed before the answer comes, with the waits and messages of the table
// handles' way. No counter handle is opened, so nothing is held while the mailer is drawn.
bool takeNumberOnServer(Settings& settings, const MailerLogEntry& entry, TNumberState& state, QString& refusal,
                        std::int64_t& logId)
{
    const QString location = settings.mailerNumLocation();
    TServerNumber taken;
    try {
        taken = TakeServerNumber(location, entryFields(entry));
    } catch (const UsedNumberError& e) {
        throw engine::EngineError(
            usedNumberError(e.mailerNumber, engine::tableFile(toStd(location), kLogTable)).what() + kNothingUsed);
    } catch (const engine::BusyError& e) {
        throw engine::BusyError(engine::inUseMessage(engine::tableFile(toStd(location), "MailerNum"), e.what()) +
                                kNothingUsed);
    } catch (const engine::EngineError& e) {
        throw engine::EngineError(std::string(e.what()) + kNothingUsed);
    }
    if (!taken.refusal.isEmpty()) {
        refusal = taken.refusal;
        return false;
    }
    state = taken.state;
    settings.printBarCode = state.BarCodes;
    logId = taken.logId;
    reachedStep("number taken");
    return true;
}

// Takes the number of a new printed row of the entry for good, the server's way or the
// table handles' way (the counter then held by counterHeld until it is reset). False when the
// counter refuses.
bool takeNumber(Settings& settings, const MailerLogEntry& entry, TNumberState& state, QString& refusal,
                std::int64_t& logId, std::optional<TNumberCounterRelease>& counterHeld)
{
    if (settings.onServer()) // the counter and the log are then in the one server database
        return takeNumberOnServer(settings, entry, state, refusal, logId);
    if (!openCounterForRun(settings, state, refusal))
        return false;
    counterHeld.emplace();
    logId = reservePrintedRow(settings, state, MailerNumberOf(state), entry);
    return true;
}

// Deletes the printed rows of mailers that never reached the paper, in one commit.
void takeBackPrintedRows(const Settings& settings, const std::vector<std::int64_t>& logIds)
{
    engine::MultiTableWrite write({{toStd(settings.logLocation()), kLogTable}});
    for (const std::int64_t logId : logIds)
        write.run("DELETE FROM " + kLogTable + " WHERE LID = ?", {logId});
    write.commit();
}

} // namespace

void applyPrintSettings(MailerPrintData& data, const Settings& settings)
{
    data.leftRight = settings.leftRight;
    data.topBottom = settings.topBottom;
    data.extraLabel = settings.printExtraLabel;
    data.extraLabelAddress = settings.extraLabel;
}

void applyNumberState(MailerPrintData& data, const TNumberState& state)
{
    data.barCodes = state.BarCodes;
    if (state.BarCodes) {
        data.customerId = CustomerIdWithoutDashes(state.CustomerId);
        data.serial = state.Serial;
    } else {
        data.number = MailerNumberOf(state);
    }
}

MailerPrintData printDataOfLogRow(const engine::RowSource& row, const Settings& settings)
{
    const auto text = [&row](const char* field) { return fromStd(row.asString(field)); };
    const auto lines = [&text](const std::string& prefix, const std::string& cityPrefix) {
        std::array<QString, 5> out;
        for (int i = 0; i < 4; ++i)
            out[i] = text((prefix + std::to_string(i + 1)).c_str());
        PlaceCityLine(out, text((cityPrefix + "City").c_str()), text((cityPrefix + "State").c_str()),
                      text((cityPrefix + "Zip").c_str()));
        return out;
    };
    MailerPrintData data;
    data.senderLines = lines("YourAddress", "Your");
    data.senderZip = text("YourZip");
    data.recipientLines = lines("ToAddress", "To");
    data.recipientZip = text("ToZip");
    data.re = text("RE");
    data.comment = text("Comment");
    data.department = text("Department");
    data.processedBy = text("ProcessedBy");
    data.postage = text("Postage");
    data.certifiedFee = text("Certified");
    data.returnFee = text("Return");
    data.restrictedFee = text("Restricted");
    data.total = text("Total");
    applyPrintSettings(data, settings);
    return data;
}

PrintOutcome PrintMailer(PageCanvas& canvas, Settings& settings, MailerPrintData data, MailerLayout layout,
                         const MailerLogEntry& entry, ProofArchive* proofs)
{
    PrintOutcome outcome;
    TNumberState state;
    std::int64_t logId = 0;
    std::optional<TNumberCounterRelease> release;
    if (!takeNumber(settings, entry, state, outcome.refusal, logId, release))
        return outcome;
    applyNumberState(data, state);
    const MailerValues values = mailerValues(data);
    const QString& number = values.numberT;

    const LabelPosition position = labelPosition(settings);
    try {
        if (layout == MailerLayout::Form) {
            PrintMailerForm(canvas, values, layout);
        } else {
            canvas.BeginDocument();
            try {
                PrintMailerForm(canvas, values, layout, position);
            } catch (...) {
                canvas.AbortDocument();
                throw;
            }
            canvas.EndDocument();
            advanceLabelPosition(settings);
        }
    } catch (const std::exception& e) {
        throwPrintFailed(e, number, [&] { takeBackPrintedRows(settings, {logId}); });
    }
    if (proofs)
        proofs->keep(values, layout, position, entry.recipient.address[0]);
    outcome.number = number;
    return outcome;
}

namespace {

// A label drawn into the job under way: it reaches the paper when the job ends.
struct LabelInJob {
    int index;
    std::int64_t logId;
    MailerValues values; // for its proof copy
    LabelPosition position;
};

// The run of many, mailer by mailer; see PrintMailers.
class MailersRun {
public:
    MailersRun(PageCanvas& canvas, Settings& settings, const std::vector<RunMailer>& mailers, MailerLayout layout,
               ProofArchive* proofs)
        : canvas_(canvas), settings_(settings), mailers_(mailers), layout_(layout), proofs_(proofs),
          jobStart_(labelPosition(settings))
    {
        outcome_.total = static_cast<int>(mailers.size());
    }

    RunOutcome run(const RunHooks& hooks)
    {
        int i = 0;
        try {
            for (; i < outcome_.total; ++i) {
                if (hooks.progress && !hooks.progress(i, outcome_.total)) {
                    outcome_.cancelled = true;
                    outcome_.notTried = outcome_.total - i;
                    break;
                }
                const RunMailer& mailer = mailers_[size_t(i)];
                const QString refusal = hooks.precheck ? hooks.precheck(mailer.entry, mailer.data) : QString();
                if (!refusal.isEmpty()) {
                    outcome_.refusals.append({mailer.entry.recipient.address[0], refusal});
                    continue;
                }
                if (!printOne(i)) {
                    outcome_.notTried = outcome_.total - i;
                    break;
                }
            }
        } catch (const std::exception& e) {
            // The error names the mailer it stopped at.
            outcome_.stop = QString::fromUtf8(e.what());
            outcome_.notTried = outcome_.total - i - 1;
        }
        endLabelJob();
        if (hooks.progress)
            hooks.progress(outcome_.total, outcome_.total);
        return outcome_;
    }

private:
    // False when the counter refuses: no mailer can be numbered from it.
    bool printOne(int i)
    {
        const RunMailer& mailer = mailers_[size_t(i)];
        MailerPrintData data = mailer.data;
        std::int64_t logId = 0;
        {
            TNumberState state;
            std::optional<TNumberCounterRelease> release;
            if (!takeNumber(settings_, mailer.entry, state, outcome_.counterRefusal, logId, release))
                return false;
            applyNumberState(data, state);
        } // the number is taken for good: other workstations need not wait while it is drawn
        MailerValues values = mailerValues(data);
        if (layout_ == MailerLayout::Form) {
            try {
                PrintMailerForm(canvas_, values, layout_);
            } catch (const std::exception& e) {
                throwPrintFailed(e, values.numberT, [&] { takeBackPrintedRows(settings_, {logId}); });
            }
            printed(i, values, LabelPosition());
            return true;
        }
        const LabelPosition position = labelPosition(settings_);
        labels_.push_back({i, logId, std::move(values), position});
        try {
            if (!jobOpen_) {
                jobOpen_ = true;
                canvas_.BeginDocument();
            } else if (position.row == 0 && position.col == 0) {
                canvas_.NewPage(); // the sheet before is full
            }
            DrawMailerOnPage(canvas_, labels_.back().values, layout_, position);
        } catch (const std::exception& e) {
            jobOpen_ = false;
            canvas_.AbortDocument();
            dropLabelJob(e);
        }
        advanceLabelPosition(settings_);
        return true;
    }

    void printed(int i, const MailerValues& values, LabelPosition position)
    {
        if (proofs_)
            proofs_->keep(values, layout_, position, mailers_[size_t(i)].entry.recipient.address[0]);
        if (++outcome_.printed == 1)
            outcome_.firstNumber = values.numberT;
        outcome_.lastNumber = values.numberT;
        outcome_.lastPrinted = i;
    }

    // Once the job has ended, its labels are on paper.
    void endLabelJob()
    {
        if (!jobOpen_)
            return;
        jobOpen_ = false;
        try {
            canvas_.EndDocument();
        } catch (const std::exception& e) {
            try {
                dropLabelJob(e);
            } catch (const std::exception& dropped) {
                outcome_.stop = outcome_.stop.isEmpty()
                                    ? QString::fromUtf8(dropped.what())
                                    : outcome_.stop + QStringLiteral("\n\n") + QString::fromUtf8(dropped.what());
            }
            return;
        }
        for (const LabelInJob& label : labels_)
            printed(label.index, label.values, label.position);
        labels_.clear();
    }

    // A label job that failed reached no paper: the rows of its labels are taken back and the
    // label position is where the job began. Throws the error that tells so.
    [[noreturn]] void dropLabelJob(const std::exception& cause)
    {
        settings_.labelRow = jobStart_.row;
        settings_.labelCol = jobStart_.col;
        std::vector<LabelInJob> dropped;
        dropped.swap(labels_);
        QString message = QString::fromUtf8(cause.what());
        if (dropped.size() == 1)
            message += QStringLiteral("\n\nThe mailer with the Mailer Number %1 was not printed")
                           .arg(dropped.front().values.groupedT);
        else
            message += QStringLiteral("\n\nThe print job was dropped: its %1 mailers, Mailer Numbers %2 to %3, were "
                                      "not printed")
                           .arg(dropped.size())
                           .arg(dropped.front().values.groupedT, dropped.back().values.groupedT);
        std::vector<std::int64_t> logIds;
        for (const LabelInJob& label : dropped)
            logIds.push_back(label.logId);
        try {
            takeBackPrintedRows(settings_, logIds);
            message += dropped.size() == 1 ? QStringLiteral("; its number will not be used again.")
                                           : QStringLiteral("; their numbers will not be used again.");
        } catch (const std::exception& e) {
            message +=
                QStringLiteral(", but the log rows could not be taken back (%1).").arg(QString::fromUtf8(e.what()));
        }
        throw PrintError(message);
    }

    PageCanvas& canvas_;
    Settings& settings_;
    const std::vector<RunMailer>& mailers_;
    MailerLayout layout_;
    ProofArchive* proofs_;
    const LabelPosition jobStart_;
    bool jobOpen_ = false;
    std::vector<LabelInJob> labels_;
    RunOutcome outcome_;
};

} // namespace

RunOutcome PrintMailers(PageCanvas& canvas, Settings& settings, const std::vector<RunMailer>& mailers,
                        MailerLayout layout, const RunHooks& hooks, ProofArchive* proofs)
{
    return MailersRun(canvas, settings, mailers, layout, proofs).run(hooks);
}

void KeepMemoryForPrintJobs()
{
    mallopt(M_MMAP_THRESHOLD, 4 << 20);
    mallopt(M_TRIM_THRESHOLD, 16 << 20);
    mallopt(M_TOP_PAD, 1 << 20);
}

void StoreMailerInBatch(const Settings& settings, const MailerLogEntry& entry)
{
    LogTableSession log(settings);
    engine::Table& row = log.table();
    row.append();
    setFields(row, entryFields(entry));
    row.setBoolean("Batch", true);
    row.post();
}

namespace {

// The rows of a batch run in table order: each is completed with its number in the commit
// that advances the counter, then printed.
void printBatchRows(PageCanvas& canvas, Settings& settings, MailerLayout layout, engine::Table& rows,
                    TNumberState& state, LabelJob& labels, BatchOutcome& outcome, ProofArchive* proofs)
{
    for (; !rows.eof(); rows.next()) {
        const std::int64_t logId = rows.asInteger("LID");
        MailerPrintData data = printDataOfLogRow(rows, settings);
        applyNumberState(data, state);
        const MailerValues values = mailerValues(data);
        const QString& number = values.numberT;
        const QString next = AdvanceSerial(state.Serial, state.direction());
        const LogFields printed = printedFields(number, number, state.CustomerId);
        std::vector<engine::Value> fieldValues = valuesOf(printed);
        fieldValues.push_back(logId);
        // A row another workstation has printed meanwhile is passed over.
        if (!reserveNumber(settings, number, next, [&](engine::MultiTableWrite& write) {
                return write.run(updateLogRowSql(printed, "Batch"), fieldValues) > 0 ? logId : std::int64_t(0);
            }))
            continue;
        state.Serial = next;
        const LabelPosition position = labelPosition(settings);
        try {
            if (layout == MailerLayout::Form) {
                PrintMailerForm(canvas, values, layout);
            } else {
                labels.beginOnce();
                PrintMailerForm(canvas, values, layout, position);
                advanceLabelPosition(settings);
            }
        } catch (const std::exception& e) {
            throwPrintFailed(e, number, [&] {
                // Back into the batch, as it was before the run.
                engine::MultiTableWrite write({{toStd(settings.logLocation()), kLogTable}});
                write.run("UPDATE " + kLogTable +
                              " SET DateTime = NULL, MailerNum = NULL, CustID = NULL, SerialNum = NULL, Batch = 1 "
                              "WHERE LID = ?",
                          {logId});
                write.commit();
            });
        }
        if (proofs)
            proofs->keep(values, layout, position, fromStd(rows.asString("ToAddress1")));
        if (++outcome.count == 1)
            outcome.firstNumber = number;
        outcome.lastNumber = number;
    }
    labels.end();
}

} // namespace

BatchOutcome PrintBatch(PageCanvas& canvas, Settings& settings, MailerLayout layout, ProofArchive* proofs)
{
    BatchOutcome outcome;
    std::optional<LogTableSession> log;
    engine::Table& rows = openLogBeforePrinting(log, settings, QStringLiteral("Batch = True"))->table();
    if (rows.eof()) {
        outcome.empty = true;
        return outcome;
    }
    TNumberState state;
    if (!openCounterForRun(settings, state, outcome.refusal))
        return outcome;
    TNumberCounterRelease release;
    // Another workstation may have printed these rows while this one waited for the counter.
    rows.first();
    if (rows.eof()) {
        outcome.empty = true;
        return outcome;
    }
    LabelJob labels(canvas);
    try {
        printBatchRows(canvas, settings, layout, rows, state, labels, outcome, proofs);
    } catch (const std::exception& e) {
        if (outcome.count == 0)
            throw;
        throw BatchStoppedError(QString::fromUtf8(e.what()), outcome);
    }
    return outcome;
}

int ClearBatch(const Settings& settings)
{
    LogTableSession log(settings, QStringLiteral("Batch = True"));
    engine::Table& rows = log.table();
    int count = 0;
    rows.startTransaction();
    for (; !rows.eof(); ++count)
        rows.remove();
    rows.commit();
    return count;
}

QString sentToPrinterMessage(const QString& number)
{
    return QStringLiteral("Mailer has been sent to printer.  The Mailer Number was:\n\n") + number;
}

namespace {

// How many mailers of a batch went to the printer, in the words given, and their numbers.
QString batchNumbersMessage(const BatchOutcome& outcome, const QString& sent)
{
    if (outcome.count == 1)
        return QStringLiteral("1 Mailer from Batch ") + sent + QStringLiteral(".  The Mailer Number was:\n\n") +
               outcome.firstNumber;
    return QString::number(outcome.count) + QStringLiteral(" Mailers from Batch ") + sent +
           QStringLiteral(".\n\nFirst Mailer Number: ") + outcome.firstNumber +
           QStringLiteral("\nLast Mailer Number: ") + outcome.lastNumber;
}

} // namespace

BatchStoppedError::BatchStoppedError(const QString& cause, const BatchOutcome& done)
    : std::runtime_error((cause + QStringLiteral("\n\n") +
                          batchNumbersMessage(done, QStringLiteral("had been sent to printer and logged before the "
                                                                   "run stopped")) +
                          QStringLiteral("\n\nThe other entries are still in the batch."))
                             .toStdString())
{
}

QString batchPrintedMessage(const BatchOutcome& outcome)
{
    return batchNumbersMessage(outcome, QStringLiteral("has been sent to printer"));
}

QString multipleFormsMessage(int count)
{
    return QString::number(count) + QStringLiteral(" labels have been sent to the printer.");
}

namespace {

// How many mailers went to the printer, in the words given for one and for several, and
// their numbers.
QString runNumbersMessage(const RunOutcome& outcome, const QString& sentOne, const QString& sentMany)
{
    if (outcome.printed == 0)
        return QStringLiteral("No mailer has been printed.");
    if (outcome.printed == 1)
        return QStringLiteral("1 mailer ") + sentOne + QStringLiteral(".  The Mailer Number was:\n\n") +
               outcome.firstNumber;
    return QString::number(outcome.printed) + QStringLiteral(" mailers ") + sentMany +
           QStringLiteral(".\n\nFirst Mailer Number: ") + outcome.firstNumber +
           QStringLiteral("\nLast Mailer Number: ") + outcome.lastNumber;
}

// A long list of refusals is cut short, so that the message still fits on the screen.
constexpr int kRefusalsListed = 15;

} // namespace

QString runStoppedMessage(const RunOutcome& outcome)
{
    const QString cause = outcome.stop.isEmpty() ? outcome.counterRefusal : outcome.stop;
    if (outcome.printed == 0)
        return cause;
    return cause + QStringLiteral("\n\n") +
           runNumbersMessage(outcome, QStringLiteral("had been sent to the printer and logged before the run stopped"),
                             QStringLiteral("had been sent to the printer and logged before the run stopped"));
}

QString refusalsMessage(const QList<RunRefusal>& refusals)
{
    QString refused = refusals.size() == 1 ? QStringLiteral("1 mailer was refused:")
                                           : QStringLiteral("%1 mailers were refused:").arg(refusals.size());
    for (int i = 0; i < refusals.size() && i < kRefusalsListed; ++i) {
        const RunRefusal& r = refusals[i];
        const QString name =
            r.recipient.trimmed().isEmpty() ? QStringLiteral("(no recipient name)") : r.recipient.trimmed();
        refused += QStringLiteral("\n") + name + QStringLiteral(": ") + r.reason;
    }
    if (refusals.size() > kRefusalsListed)
        refused += QStringLiteral("\n... and %1 more.").arg(refusals.size() - kRefusalsListed);
    return refused;
}

QString massPrintSummary(const RunOutcome& outcome)
{
    const bool stopped = !outcome.stop.isEmpty() || !outcome.counterRefusal.isEmpty();
    QStringList parts;
    parts << (stopped ? runStoppedMessage(outcome)
                      : runNumbersMessage(outcome, QStringLiteral("has been sent to the printer"),
                                          QStringLiteral("have been sent to the printer")));
    if (outcome.cancelled)
        parts << (outcome.notTried == 1 ? QStringLiteral("The mass print was cancelled: 1 mailer was not printed.")
                                        : QStringLiteral("The mass print was cancelled: %1 mailers were not printed.")
                                              .arg(outcome.notTried));
    else if (!outcome.counterRefusal.isEmpty() && outcome.notTried > 0)
        parts << (outcome.notTried == 1 ? QStringLiteral("1 mailer was not printed.")
                                        : QStringLiteral("%1 mailers were not printed.").arg(outcome.notTried));
    else if (stopped && outcome.notTried > 0)
        parts << (outcome.notTried == 1
                      ? QStringLiteral("The mailer after it was not printed.")
                      : QStringLiteral("The %1 mailers after it were not printed.").arg(outcome.notTried));
    if (!outcome.refusals.isEmpty())
        parts << refusalsMessage(outcome.refusals);
    return parts.join(QStringLiteral("\n\n"));
}
