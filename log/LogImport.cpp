#include "log/LogImport.h"

#include "core/MailerNumber.h"
#include "core/Settings.h"
#include "core/datamodule/Schemas.h"
#include "core/datamodule/TdmDovraPro.h"
#include "engine/Query.h"
#include "engine/Table.h"
#include "engine/TableCopy.h"
#include "log/TzDbfReport.h"

#include <QDate>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <filesystem>
#include <limits>

namespace {

constexpr int kGroupedLength = 20;
constexpr int kLongNumberLength = 22;
const QString kLongNumberPrefix = QStringLiteral("92071");
// Rows read between two reports of progress.
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
        // Reading the log itself all through the import would keep other workstations from
        // logging mailers: a copy taken at the start is read.
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

ImportStoppedError::ImportStoppedError(const std::string& cause)
    : std::runtime_error(cause + "\n\nThe import stopped; none of its records have been imported to your Log file.")
{
}

namespace {

// The rows of an import gathered beside the log before they go in. Its file also tells a
// stopped import at the next start: while the import runs, its exclusive open holds it.
const std::string kStagingTable = "LogImport";

// Log37's columns but its key, quoted, joined for an insert and its select.
std::string logColumnList()
{
    std::string columns;
    for (const engine::FieldDef& field : engine::parseDefinition(schema::Log37))
        if (field.name != "LID")
            columns += (columns.empty() ? "\"" : ", \"") + field.name + "\"";
    return columns;
}

int execute(engine::Query& query, const std::string& sql)
{
    query.setSql(sql);
    return query.execSql();
}

// The mark an import leaves in a table file's header (SQLite's user version): the staging
// table gets its import's mark when made, the log the same mark in the transaction that
// takes the rows, so after a stop the two tell whether that transaction was committed.
std::int64_t importMark(engine::Query& query, const std::string& table)
{
    execute(query, "select 1 from " + table + " limit 0"); // attaches the table's file
    query.setSql("pragma " + table + ".user_version");
    query.open();
    const std::int64_t mark = query.asInteger(query.fieldName(0));
    query.close();
    return mark;
}

void removeStagingFiles(const QString& logFolder)
{
    const QString file = fromStd(engine::tableFile(toStd(logFolder), kStagingTable));
    for (const char* suffix : {"", "-journal", ".lck"})
        QFile::remove(file + suffix);
}

// Opens the staging table exclusively; false when another import holds it (or it cannot be
// opened at all), without waiting.
bool openStagingExclusively(engine::Table& staging, const QString& logFolder)
{
    staging.setFolder(toStd(logFolder));
    staging.setTableName(kStagingTable);
    staging.setExclusive(true);
    const int wait = engine::lockWaitMs();
    engine::setLockWaitMs(0);
    try {
        staging.open();
    } catch (const engine::EngineError&) {
        engine::setLockWaitMs(wait);
        return false;
    }
    engine::setLockWaitMs(wait);
    return true;
}

engine::EngineError anotherImportRunning(const QString& logFolder)
{
    return engine::EngineError("Another import into the log " + toStd(logFolder) +
                               "/Log37.adt is running. Import when it has ended.");
}

// Every gathered row into Log37 in one transaction with the import's mark; the count stored.
// A row the log refuses is left out: at once when the log ignores it (a unique index), else
// row by row, each in a savepoint, when a rule of the log refuses the statement.
int storeGatheredRows(const QString& logFolder, std::int64_t mark)
{
    engine::Query log;
    log.setFolder(toStd(logFolder));
    const auto letGo = qScopeGuard([&log] { log.disconnect(); });
    const std::string columns = logColumnList();
    const std::string insert =
        "insert or ignore into Log37 (" + columns + ") select " + columns + " from " + kStagingTable;
    execute(log, "select 1 from Log37 limit 0; select 1 from " + kStagingTable + " limit 0");
    execute(log, "begin immediate");
    try {
        int stored = 0;
        try {
            execute(log, "savepoint whole");
            stored = execute(log, insert + " order by LID");
            execute(log, "release whole");
        } catch (const engine::EngineError&) {
            execute(log, "rollback to whole; release whole");
            stored = 0;
            log.setSql("select LID from " + kStagingTable + " order by LID");
            std::vector<std::int64_t> keys;
            for (log.open(); !log.eof(); log.next())
                keys.push_back(log.asInteger(log.fieldName(0)));
            log.close();
            for (const std::int64_t key : keys) {
                execute(log, "savepoint one");
                try {
                    stored += execute(log, insert + " where LID = " + std::to_string(key));
                } catch (const engine::EngineError&) {
                    // Throws when the failure took the transaction with it.
                    execute(log, "rollback to one");
                }
                execute(log, "release one");
            }
        }
        execute(log, "pragma Log37.user_version = " + std::to_string(mark));
        execute(log, "commit");
        return stored;
    } catch (const std::exception& e) {
        try {
            execute(log, "rollback");
        } catch (const engine::EngineError&) {
        }
        throw ImportStoppedError(e.what());
    }
}

} // namespace

int ImportLogRows(LogImportSource& source, const Settings& settings, const ImportProgress& progress)
{
    const QString folder = settings.logDB;
    {
        LogTableSession log(settings); // the log opens and can be written
    }
    if (engine::tableExists(toStd(folder), kStagingTable)) {
        const QString stopped = TakeStoppedLogImport(folder);
        if (!stopped.isEmpty())
            throw std::runtime_error(toStd(stopped + "\n\nNothing has been imported now; start the import again."));
        if (engine::tableExists(toStd(folder), kStagingTable))
            throw anotherImportRunning(folder);
    }
    // Held from the moment it exists, so that no start of another workstation takes it for
    // the leftover of a stopped import.
    engine::createTable(toStd(folder), kStagingTable, schema::Log37);
    engine::Table staging;
    if (!openStagingExclusively(staging, folder))
        throw anotherImportRunning(folder);
    const auto tidyUp = qScopeGuard([&] {
        staging.close();
        removeStagingFiles(folder);
    });
    const std::int64_t mark = QRandomGenerator::global()->bounded(1, std::numeric_limits<int>::max());
    {
        engine::Query query;
        query.setFolder(toStd(folder));
        execute(query, "select 1 from " + kStagingTable + " limit 0; pragma " + kStagingTable +
                           ".user_version = " + std::to_string(mark));
    }

    const int total = source.rowCount();
    int read = 0;
    ImportedLogRow row;
    try {
        staging.startTransaction();
        while (source.next(row)) {
            staging.append();
            for (const auto& [column, value] : row.values())
                staging.setValue(column, value);
            staging.post();
            if (++read % kBatchRows == 0 && progress)
                progress(read, total);
        }
        staging.commit();
    } catch (const std::exception& e) {
        throw ImportStoppedError(e.what());
    }
    const int stored = storeGatheredRows(folder, mark);
    if (progress)
        progress(read, total);
    return stored;
}

QString TakeStoppedLogImport(const QString& logFolder)
{
    const std::string folder = toStd(logFolder);
    if (!engine::tableExists(folder, kStagingTable))
        return QString();
    engine::Table staging;
    if (!openStagingExclusively(staging, logFolder))
        return QString(); // an import running now, or nothing this workstation may judge
    const QString when =
        QLocale::system().toString(QFileInfo(fromStd(staging.fileName())).lastModified(), QLocale::ShortFormat);
    std::int64_t gathered = 0, logged = -1;
    {
        engine::Query query;
        query.setFolder(folder);
        try {
            gathered = importMark(query, kStagingTable);
            logged = importMark(query, "Log37");
        } catch (const engine::EngineError&) {
            // A log that does not open took none of the rows.
        }
    }
    staging.close();
    removeStagingFiles(logFolder);
    const QString log = logFolder + "/Log37.adt";
    if (gathered != 0 && gathered == logged)
        return "An import of an earlier log into your Log file " + log + " was stopped on " + when +
               " after all of its records had been stored. Do not import that log again: its mailers are in "
               "your Log file.";
    return "An import of an earlier log into your Log file " + log + " was stopped on " + when +
           " before it ended. None of its records have been stored; import that log again to add them.";
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
