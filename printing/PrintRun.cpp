#include "printing/PrintRun.h"

#include "app/Settings.h"
#include "app/datamodule/TdmDovraPro.h"
#include "engine/Table.h"

#include <QDateTime>
#include <QFileInfo>
#include <optional>

const QString BatchStoredMessage = QStringLiteral("Record has been added to the Batch File.");
const QString NoBatchRecordsMessage = QStringLiteral("There are no records in the Batch file.");
const QString ClearBatchQuestion = QStringLiteral("Are you sure you want to clear the Batch file?");

namespace {

QString printedButMessage(const QString& cause, const QString& number, bool logged, bool counterAdvanced)
{
    QString message =
        QStringLiteral("%1\n\nThe mailer was printed with the Mailer Number %2").arg(cause, GroupMailerNumber(number));
    if (logged)
        message += QStringLiteral(" and entered in the log");
    else
        message += QStringLiteral(", but it could not be entered in the log");
    if (!counterAdvanced)
        message += QStringLiteral(
            ". The Mailer Number counter could not be advanced past it: correct the Starting Identifier Serial "
            "Number under Options, Mailer Number, before printing again, or the next mailer will carry the same "
            "number");
    return message + '.';
}

} // namespace

PrintedNotLoggedError::PrintedNotLoggedError(const QString& cause, const QString& number, bool logged,
                                             bool counterAdvanced)
    : std::runtime_error(printedButMessage(cause, number, logged, counterAdvanced).toStdString())
{
}

namespace {

const std::string kLogTable = "Log37";

engine::DateTime now()
{
    const QDateTime t = QDateTime::currentDateTime();
    return {t.date().year(), t.date().month(), t.date().day(), t.time().hour(), t.time().minute(), t.time().second()};
}

void setAddress(engine::Table& row, const std::string& prefix, const std::string& cityPrefix,
                const TAddressLines& address)
{
    for (int i = 0; i < 4; ++i)
        row.setText(prefix + std::to_string(i + 1), toStd(address.address[i]));
    row.setText(cityPrefix + "City", toStd(address.city));
    row.setText(cityPrefix + "State", toStd(address.state));
    row.setText(cityPrefix + "Zip", toStd(address.zip));
}

// The fields a printed mailer and a batch row share.
void setEntryFields(engine::Table& row, const MailerLogEntry& entry)
{
    setAddress(row, "ToAddress", "To", entry.recipient);
    setAddress(row, "YourAddress", "Your", entry.sender);
    row.setText("Postage", toStd(entry.postage.trimmed()));
    row.setText("Certified", toStd(entry.certified.trimmed()));
    row.setText("Return", toStd(entry.returnFee.trimmed()));
    row.setText("Restricted", toStd(entry.restricted.trimmed()));
    row.setText("Total", toStd(entry.total.trimmed()));
    row.setText("Department", toStd(entry.department.trimmed()));
    row.setText("ProcessedBy", toStd(entry.processedBy.trimmed()));
    row.setText("RE", toStd(entry.re.trimmed()));
    row.setText("Comment", toStd(entry.comment.trimmed()));
    row.setBoolean("WishRest", entry.wishRest);
    row.setText("Result", "None");
}

// The number part of a printed row; mailerNum is the grouped number for a single print and
// the 22 digits for a batch row.
void setPrintedFields(engine::Table& row, const QString& mailerNum, const QString& number, const QString& customerId)
{
    row.setDateTime("DateTime", now());
    row.setText("MailerNum", toStd(mailerNum));
    row.setText("CustID", toStd(customerId));
    // The serial inside the printed number, not the counter's next one.
    row.setInteger("SerialNum", number.mid(14, 7).toInt());
    row.setBoolean("Batch", false);
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

// Opens the log before anything is printed: a log that cannot take the row refuses the
// mailer while its number is still unused.
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

// Writes the number state's serial to the counter row, which stays locked.
void writeCounterSerial(const TNumberState& state)
{
    engine::Table& counter = dmDovraPro->adstMailerNum;
    counter.edit();
    counter.setText("SerialNum", toStd(state.Serial.left(7)));
    counter.post();
}

// The mailer is on paper: the counter is advanced past its number and its log row written.
// The row is written even when the counter cannot be; the error then names the number and
// what is missing, and ends the run.
template <class AdvanceCounter, class WriteLogRow>
void recordPrintedMailer(const QString& number, AdvanceCounter advanceCounter, WriteLogRow writeLogRow)
{
    QString counterFailure;
    try {
        advanceCounter();
    } catch (const std::exception& e) {
        counterFailure = QString::fromUtf8(e.what());
    }
    try {
        writeLogRow();
    } catch (const std::exception& e) {
        const QString cause = QString::fromUtf8(e.what());
        throw PrintedNotLoggedError(counterFailure.isEmpty() ? cause : counterFailure + "\n" + cause, number, false,
                                    counterFailure.isEmpty());
    }
    if (!counterFailure.isEmpty())
        throw PrintedNotLoggedError(counterFailure, number, true, false);
}

} // namespace

LogTableSession::LogTableSession(const Settings& settings, const QString& filter) : table_(dmDovraPro->adstLog)
{
    table_.close();
    table_.setFolder(toStd(settings.logDB));
    table_.setTableName(kLogTable);
    table_.setFilter(toStd(filter));
    try {
        table_.open();
        // SQLite opens a write-protected file read-only and fails only at the first write.
        const QFileInfo file(fromStd(table_.fileName()));
        if (!file.isWritable() || !QFileInfo(file.absolutePath()).isWritable())
            throw engine::EngineError("The log table " + table_.fileName() +
                                      " cannot be written: it or its folder is "
                                      "write-protected.");
    } catch (...) {
        table_.close();
        table_.setFilter({});
        throw;
    }
}

LogTableSession::~LogTableSession()
{
    table_.close();
    table_.setFilter({});
}

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
        data.number = BuildMailerNumber(CustomerIdWithoutDashes(state.CustomerId), state.Serial, "T");
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
                         const MailerLogEntry& entry)
{
    PrintOutcome outcome;
    TNumberState state;
    if (!OpenNumberCounter(settings, state, outcome.refusal))
        return outcome;
    settings.printBarCode = state.BarCodes;
    TNumberCounterRelease release;
    std::optional<LogTableSession> log;
    openLogBeforePrinting(log, settings);
    applyNumberState(data, state);

    if (layout == MailerLayout::Form) {
        outcome.number = PrintMailerForm(canvas, data, layout);
    } else {
        canvas.BeginDocument();
        outcome.number = PrintMailerForm(canvas, data, layout, labelPosition(settings));
        canvas.EndDocument();
        advanceLabelPosition(settings);
    }

    recordPrintedMailer(
        outcome.number, [&] { CommitSerial(state); },
        [&] {
            engine::Table& row = log->table();
            row.append();
            setEntryFields(row, entry);
            setPrintedFields(row, GroupMailerNumber(outcome.number), outcome.number, state.CustomerId);
            row.post();
        });
    return outcome;
}

void StoreMailerInBatch(const Settings& settings, const MailerLogEntry& entry)
{
    LogTableSession log(settings);
    engine::Table& row = log.table();
    row.append();
    setEntryFields(row, entry);
    row.setBoolean("Batch", true);
    row.post();
}

namespace {

// The rows of a batch run in table order, each printed, logged and counted in turn.
void printBatchRows(PageCanvas& canvas, Settings& settings, MailerLayout layout, engine::Table& rows,
                    TNumberState& state, LabelJob& labels, BatchOutcome& outcome)
{
    while (!rows.eof()) {
        MailerPrintData data = printDataOfLogRow(rows, settings);
        applyNumberState(data, state);
        QString number;
        if (layout == MailerLayout::Form) {
            number = PrintMailerForm(canvas, data, layout);
        } else {
            labels.beginOnce();
            number = PrintMailerForm(canvas, data, layout, labelPosition(settings));
            advanceLabelPosition(settings);
        }
        recordPrintedMailer(
            number,
            [&] {
                state.Serial = AdvanceSerial(state.Serial, state.direction());
                writeCounterSerial(state);
            },
            [&] {
                rows.edit();
                setPrintedFields(rows, number, number, state.CustomerId);
                rows.post(); // the row leaves the filter but stays the current one
            });
        if (++outcome.count == 1)
            outcome.firstNumber = number;
        outcome.lastNumber = number;
        rows.next();
    }
    labels.end();
}

} // namespace

BatchOutcome PrintBatch(PageCanvas& canvas, Settings& settings, MailerLayout layout)
{
    BatchOutcome outcome;
    std::optional<LogTableSession> log;
    engine::Table& rows = openLogBeforePrinting(log, settings, QStringLiteral("Batch = True"))->table();
    if (rows.eof()) {
        outcome.empty = true;
        return outcome;
    }
    TNumberState state;
    if (!OpenNumberCounter(settings, state, outcome.refusal))
        return outcome;
    settings.printBarCode = state.BarCodes;
    TNumberCounterRelease release;
    // Another workstation may have printed these rows while this one waited for the counter.
    rows.first();
    if (rows.eof()) {
        outcome.empty = true;
        return outcome;
    }
    LabelJob labels(canvas);
    try {
        printBatchRows(canvas, settings, layout, rows, state, labels, outcome);
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
