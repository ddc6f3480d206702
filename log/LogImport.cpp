#include "log/LogImport.h"

#include "app/Settings.h"
#include "app/datamodule/Schemas.h"
#include "app/datamodule/TdmDovraPro.h"
#include "engine/TableCopy.h"
#include "log/TzDbfReport.h"
#include "printing/MailerNumber.h"
#include "printing/PrintRun.h"

#include <QDate>
#include <QFileInfo>
#include <QTemporaryDir>
#include <filesystem>

namespace {

constexpr int kGroupedLength = 20;
constexpr int kLongNumberLength = 22;
const QString kLongNumberPrefix = QStringLiteral("92071");
// Rows per transaction: enough to make the commits cheap, few enough that another
// workstation waiting to log a mailer waits only a moment.
constexpr int kBatchRows = 1000;

bool isEmptyLine(const QString& line)
{
    return line.trimmed().isEmpty();
}

// The accepted ZIP forms: five digits, or five digits, a character and four digits.
bool isZip(const QString& text)
{
    if (!text.contains('-'))
        return text.size() == 5 && IsPlainNumber(text);
    return text.size() == 10 && IsPlainNumber(text.left(5)) && IsPlainNumber(text.mid(6, 4));
}

// The text after the last blank of a line, or nothing when it holds none.
std::optional<QString> lastWord(const QString& line)
{
    const int blank = line.lastIndexOf(' ');
    if (blank < 0)
        return std::nullopt;
    return line.mid(blank + 1).trimmed();
}

[[noreturn]] void missingField(const QString& field, const QString& file)
{
    throw engine::ConversionError(QStringLiteral("The field '%1' is missing from %2.").arg(field, file).toStdString());
}

void setMailerNumber(ImportedLogRow& row, const QString& number)
{
    row.setText("MailerNum", GroupImportedMailerNumber(number));
    const LongNumberParts parts = PartsOfLongNumber(number);
    if (!parts.custId.isEmpty())
        row.setText("CustID", parts.custId);
    if (parts.serial)
        row.set("SerialNum", std::int64_t(*parts.serial));
}

// A source read through one of the data module's queries: its table counted, then read
// row by row with its select; the query lets go of the source's file when done.
class QuerySource : public LogImportSource {
public:
    int rowCount() const override { return total_; }

    bool next(ImportedLogRow& row) override
    {
        if (started_)
            query_.next();
        started_ = true;
        if (query_.eof())
            return false;
        row.clear();
        fill(row);
        return true;
    }

protected:
    explicit QuerySource(engine::Query& query) : query_(query) {}
    ~QuerySource() override { query_.disconnect(); }

    // Counts the rows of table in folder and opens select there. Throws with the query
    // let go.
    void open(const QString& folder, const std::string& table, const std::string& select)
    {
        query_.close();
        query_.setFolder(toStd(folder));
        try {
            query_.setSql("select count(*) from " + table);
            query_.open();
            total_ = static_cast<int>(query_.asInteger(query_.fieldName(0)));
            query_.close();
            query_.setSql(select);
            query_.open();
        } catch (...) {
            query_.disconnect();
            throw;
        }
    }

    virtual void fill(ImportedLogRow& row) = 0;

    engine::Query& query_;

private:
    int total_ = 0;
    bool started_ = false;
};

// ---- Pro 2.5 -------------------------------------------------------------------------------

const char* const kPro25Select =
    "select DateTime, MailerNum, SendAddress0,SendAddress1, SendAddress2, SendAddress3, SendCity, SendState, "
    "SendZip, FromAddress0, FromAddress1, FromAddress2, FromAddress3, FromAddress4, Postage, Certified, Special, "
    "Restricted, Return, Total, Department,  ProcessedBy, RE, Comment, WishRest, Batch, Received from LOG";

class Pro25Source : public QuerySource {
public:
    explicit Pro25Source(const QString& folder) : QuerySource(dmDovraPro->adsqLog2)
    {
        try {
            open(folder, "LOG", kPro25Select);
        } catch (const std::exception&) {
            throw InvalidPro25LogError();
        }
    }

private:
    void fill(ImportedLogRow& row) override
    {
        if (!query_.isNull("DateTime"))
            row.set("DateTime", query_.asDateTime("DateTime").iso());
        setMailerNumber(row, text("MailerNum").trimmed().left(27));
        static const char* const to[] = {"ToAddress1", "ToAddress2", "ToAddress3", "ToAddress4"};
        for (int i = 0; i < 4; ++i)
            row.setText(to[i], text("SendAddress" + std::to_string(i)));
        row.setText("ToCity", text("SendCity"));
        row.setText("ToState", text("SendState"));
        row.setText("ToZip", text("SendZip"));
        std::array<QString, 5> from;
        for (int i = 0; i < 5; ++i)
            from[i] = text("FromAddress" + std::to_string(i));
        const SenderSplit sender = SplitSenderLines(from);
        static const char* const your[] = {"YourAddress1", "YourAddress2", "YourAddress3", "YourAddress4"};
        for (int i = 0; i < 4; ++i)
            row.setText(your[i], sender.address[i]);
        row.setText("YourCity", sender.city);
        row.setText("YourState", sender.state);
        row.setText("YourZip", sender.zip);
        for (const char* fee : {"Postage", "Certified", "Return", "Restricted", "Total"})
            row.setText(fee, text(fee).trimmed());
        row.setText("Department", text("Department").left(20).trimmed());
        row.setText("ProcessedBy", text("ProcessedBy").left(20).trimmed());
        row.setText("RE", text("RE").left(25).trimmed());
        row.setText("Comment", text("Comment").left(35).trimmed());
        row.set("WishRest", std::int64_t(text("WishRest") == "X"));
        row.set("Batch", std::int64_t(text("Batch") == "X"));
        row.setText("Result", text("Received") == "Y" ? "Received" : "None");
    }

    QString text(const std::string& field) const { return fromStd(query_.asString(field)); }
};

// ---- dBASE ---------------------------------------------------------------------------------

class DbaseSource : public LogImportSource {
public:
    explicit DbaseSource(const QString& path) : dbf_(path)
    {
        const QString name = QFileInfo(path).fileName();
        for (int i = 0; i < kFieldCount; ++i) {
            fields_[i] = dbf_.fieldIndex(kFields[i].source);
            if (fields_[i] < 0)
                missingField(kFields[i].source, name);
        }
        rdate_ = dbf_.fieldIndex("rdate");
        mailerNum_ = dbf_.fieldIndex("mailernum");
        if (rdate_ < 0)
            missingField("rdate", name);
        if (mailerNum_ < 0)
            missingField("mailernum", name);
    }

    int rowCount() const override { return dbf_.recordCount(); }

    bool next(ImportedLogRow& row) override
    {
        if (record_ >= dbf_.recordCount())
            return false;
        row.clear();
        const QString dateText = dbf_.text(record_, rdate_);
        const QDate date = QDate::fromString(dateText, "yyyyMMdd");
        if (!date.isValid())
            throw engine::ConversionError(
                QStringLiteral("'%1' is not a valid date (record %2)").arg(dateText).arg(record_ + 1).toStdString());
        row.set("DateTime", engine::DateTime{date.year(), date.month(), date.day(), 0, 0, 0}.iso());
        setMailerNumber(row, dbf_.text(record_, mailerNum_));
        for (int i = 0; i < kFieldCount; ++i)
            row.setText(kFields[i].column, dbf_.text(record_, fields_[i]));
        ++record_;
        return true;
    }

private:
    struct FieldMap {
        const char* source;
        const char* column;
    };
    static constexpr int kFieldCount = 14;
    static constexpr FieldMap kFields[kFieldCount] = {
        {"sentname0", "ToAddress1"},
        {"sentname1", "ToAddress2"},
        {"sentname2", "ToAddress3"},
        {"sentname3", "ToAddress4"},
        {"city", "ToCity"},
        {"state", "ToState"},
        {"zip", "ToZip"},
        {"postage", "Postage"},
        {"certified", "Certified"},
        {"return", "Return"},
        {"restricted", "Restricted"},
        {"total", "Total"},
        {"re", "RE"},
        {"comments", "Comment"},
    };

    TzDbfReport dbf_;
    int fields_[kFieldCount] = {};
    int rdate_ = -1, mailerNum_ = -1;
    int record_ = 0;
};

// ---- Pro 3 ---------------------------------------------------------------------------------

bool sameFile(const QString& a, const QString& b)
{
    std::error_code ec;
    return std::filesystem::equivalent(a.toStdString(), b.toStdString(), ec) && !ec;
}

class Pro3Source : public QuerySource {
public:
    Pro3Source(const QString& folder, const QString& logFolder) : QuerySource(dmDovraPro->adsqLog)
    {
        QString readFolder = folder;
        // Reading the table that the rows go to would meet the rows as they arrive.
        if (sameFile(folder + "/Log37.adt", logFolder + "/Log37.adt")) {
            snapshot_ = std::make_unique<QTemporaryDir>(logFolder + "/import-XXXXXX");
            if (!snapshot_->isValid())
                throw engine::EngineError("No copy of the log can be made in " + toStd(logFolder) + ": " +
                                          toStd(snapshot_->errorString()));
            engine::copyTable(toStd(folder), "Log37", toStd(snapshot_->path()));
            readFolder = snapshot_->path();
        }
        open(readFolder, "Log37", "select * from Log37 order by DATETIME");
        for (const engine::FieldDef& field : engine::parseDefinition(schema::Log37)) {
            if (field.name == "LID")
                continue;
            if (!query_.hasField(field.name))
                missingField(fromStd(field.name), folder + "/Log37.adt");
            fields_.push_back(field);
        }
    }
    // The query lets go of the copy before the copy is removed.
    ~Pro3Source() override { query_.disconnect(); }

private:
    void fill(ImportedLogRow& row) override
    {
        for (const engine::FieldDef& field : fields_) {
            const std::string& name = field.name;
            if (query_.isNull(name))
                continue;
            if (field.type == engine::FieldType::TimeStamp)
                row.set(name.c_str(), query_.asDateTime(name).iso());
            else if (field.type == engine::FieldType::Integer)
                row.set(name.c_str(), query_.asInteger(name));
            else if (field.type == engine::FieldType::Logical)
                row.set(name.c_str(), std::int64_t(query_.asBoolean(name)));
            else
                row.set(name.c_str(), query_.asString(name));
        }
    }

    std::unique_ptr<QTemporaryDir> snapshot_;
    std::vector<engine::FieldDef> fields_;
};

} // namespace

// ---- mapping rules -------------------------------------------------------------------------

QString GroupImportedMailerNumber(const QString& number)
{
    if (number.size() != kGroupedLength)
        return number;
    QStringList groups;
    for (int i = 0; i < kGroupedLength; i += 4)
        groups << number.mid(i, 4);
    return groups.join(' ');
}

LongNumberParts PartsOfLongNumber(const QString& number)
{
    LongNumberParts parts;
    if (number.size() < kLongNumberLength || !number.startsWith(kLongNumberPrefix))
        return parts;
    const QString custId = number.mid(5, 9);
    if (IsPlainNumber(custId))
        parts.custId = custId.left(2) + "-" + custId.mid(2, 3) + "-" + custId.mid(5, 4);
    const QString serial = number.mid(14, 7);
    if (IsPlainNumber(serial))
        parts.serial = serial.toInt();
    return parts;
}

SenderSplit SplitSenderLines(const std::array<QString, 5>& lines)
{
    std::array<QString, 5> place = lines;
    int cityLine = -1;
    for (int i = 0; i < 5 && !isEmptyLine(place[i]); ++i)
        cityLine = i;
    QString line;
    if (cityLine >= 0) {
        line = place[cityLine];
        place[cityLine].clear();
    }
    SenderSplit split;
    for (int i = 0; i < 4; ++i)
        split.address[i] = place[i];
    if (cityLine < 0)
        return split;

    line = line.replace(',', ' ').trimmed();
    if (const auto zip = lastWord(line); zip && isZip(*zip)) {
        split.zip = *zip;
        line = line.left(line.size() - zip->size()).trimmed();
    }
    if (const auto state = lastWord(line); state && state->size() >= 2 && state->size() <= 4) {
        split.state = *state;
        line = line.left(line.size() - state->size()).trimmed();
    }
    split.city = line;
    return split;
}

const engine::Value* ImportedLogRow::find(std::string_view column) const
{
    for (const auto& [name, value] : values_)
        if (column == name)
            return &value;
    return nullptr;
}

// ---- sources -------------------------------------------------------------------------------

InvalidPro25LogError::InvalidPro25LogError() : std::runtime_error("Invalid Dovra Pro 2.5 Log Database") {}

std::unique_ptr<LogImportSource> OpenPro25Log(const QString& folder)
{
    return std::make_unique<Pro25Source>(folder);
}

std::unique_ptr<LogImportSource> OpenDbaseLog(const QString& path)
{
    return std::make_unique<DbaseSource>(path);
}

std::unique_ptr<LogImportSource> OpenPro3Log(const QString& folder, const QString& logFolder)
{
    return std::make_unique<Pro3Source>(folder, logFolder);
}

// ---- the import ----------------------------------------------------------------------------

ImportStoppedError::ImportStoppedError(const std::string& cause, int stored)
    : std::runtime_error(cause + "\n\n" +
                         QStringLiteral("%1 records had been imported to your Log file when the import stopped.")
                             .arg(stored)
                             .toStdString()),
      stored(stored)
{
}

int ImportLogRows(LogImportSource& source, const Settings& settings, const ImportProgress& progress)
{
    LogTableSession log(settings);
    engine::Table& table = log.table();
    const int total = source.rowCount();
    int stored = 0;  // committed
    int pending = 0; // posted in the open transaction
    int inBatch = 0; // tried in the open transaction
    int read = 0;
    const auto commit = [&] {
        if (table.inTransaction()) {
            try {
                table.commit();
            } catch (const std::exception& e) {
                throw ImportStoppedError(e.what(), stored);
            }
        }
        stored += pending;
        pending = inBatch = 0;
        if (progress)
            progress(read, total);
    };
    ImportedLogRow row;
    for (;;) {
        bool more = false;
        try {
            more = source.next(row);
        } catch (const std::exception& e) {
            commit(); // the rows before the one that stopped the import stay
            throw ImportStoppedError(e.what(), stored);
        }
        if (!more)
            break;
        ++read;
        if (!table.inTransaction())
            table.startTransaction();
        table.append();
        try {
            for (const auto& [column, value] : row.values())
                table.setValue(column, value);
            table.post();
            ++pending;
        } catch (const engine::EngineError& e) {
            table.cancel();
            // A refusal of the row alone leaves the batch open; a failure that ended the
            // transaction took the batch's rows with it.
            if (!table.inTransaction())
                throw ImportStoppedError(e.what(), stored);
        }
        if (++inBatch == kBatchRows)
            commit();
    }
    commit();
    return stored;
}

// ---- the three commands' texts -------------------------------------------------------------

const LogImportCommand ImportPro25Command{
    "This utility will import all mailers from your Dovra 2.5 Pro log file to your current log file located at... ",
    "Dovra Pro 2.5 Log Database(log.adt) (log.adt)",
    QString(),
    QString(),
    "log.adt",
    "No Dovra Pro 2.5 log file exists in this location.",
    "Invalid Dovra Pro 2.5 log file.",
};

const LogImportCommand Import3Command{
    "This utility will import all mailers from your Dovra 3 (Regular or lite) log file to your current Pro 3 log "
    "file located at... ",
    "Dovra 3 Log Database(report3.dbf) (report3.dbf)",
    "report3.dbf",
    "Reports",
    "report3.dbf",
    "No Dovra 3 log file exists in this location.",
    "Invalid Dovra 3 (Regular or lite) log file.",
};

const LogImportCommand ImportPro3Command{
    "This utility will import all mailers from a Dovra Pro 3 log file to your current Pro 3 log file located at... ",
    "Dovra 3 Pro Log Database(Log37.adt) (Log37.adt)",
    "Log37.adt",
    QString(),
    "Log37.adt",
    "No Dovra Pro 3 log file exists in this location.",
    "Invalid Dovra Pro 3 log file.",
};

QString ImportConfirmation(const LogImportCommand& command, const QString& logFolder)
{
    return command.intro + "\n" + logFolder + "\n\nWould you like to continue?";
}

QString CheckImportFile(const LogImportCommand& command, const QString& path)
{
    const QFileInfo file(path);
    if (!file.isFile())
        return command.noFile;
    if (file.fileName() != command.expectedName)
        return command.wrongName;
    return QString();
}

QString ImportedCountMessage(int count)
{
    return QString::number(count) + " records have been imported to " + "your Log file.";
}
