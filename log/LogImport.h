// Imports of the logs of earlier editions into the current log table Log37: an earlier
// "Pro 2.5" log (table LOG, older columns), an earlier "3" or "3 lite" log (the dBASE file
// report3.dbf) and another log of the current layout (a Log37 elsewhere). Every source
// record becomes a new Log37 row with a key of its own; the source is only read.
#pragma once

#include "engine/Engine.h"

#include <QString>
#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string_view>
#include <utility>
#include <vector>

struct Settings;

// ---- mapping rules -------------------------------------------------------------------------

// A number of exactly 20 characters in five blank-separated groups of four; any other
// length unchanged.
QString GroupImportedMailerNumber(const QString& number);

// The Customer ID and serial of a number of 22 or more characters that begins "92071":
// characters 6-14 as "12-345-6789" and characters 15-21 as a number, each where it reads as
// a whole number; empty otherwise.
struct LongNumberParts {
    QString custId;
    std::optional<int> serial;
};
LongNumberParts PartsOfLongNumber(const QString& number);

// The five free sender lines of a Pro 2.5 log split into four address lines, city, state
// and ZIP: the last line of the leading run of non-empty lines is the city line.
struct SenderSplit {
    std::array<QString, 4> address;
    QString city, state, zip;
};
SenderSplit SplitSenderLines(const std::array<QString, 5>& lines);

// ---- rows and sources ----------------------------------------------------------------------

// One Log37 row as an import fills it: the columns set, in the order set; the others stay
// empty (null).
class ImportedLogRow {
public:
    void clear() { values_.clear(); }
    void set(const char* column, engine::Value value) { values_.emplace_back(column, std::move(value)); }
    void setText(const char* column, const QString& text) { set(column, text.toStdString()); }
    const std::vector<std::pair<const char*, engine::Value>>& values() const { return values_; }
    // The value set for a column; nullptr when it was left empty.
    const engine::Value* find(std::string_view column) const;

private:
    std::vector<std::pair<const char*, engine::Value>> values_;
};

class LogImportSource {
public:
    virtual ~LogImportSource() = default;
    // How many records the source holds (for progress).
    virtual int rowCount() const = 0;
    // Fills row from the next source record; false after the last. Throws
    // engine::ConversionError for a value that does not read, and the reader's or the
    // engine's error for a record that cannot be read.
    virtual bool next(ImportedLogRow& row) = 0;
};

// folder/log.adt read with the earlier edition's select; InvalidPro25LogError when it does
// not open for any reason (missing file or column, not a table).
std::unique_ptr<LogImportSource> OpenPro25Log(const QString& folder);
// The dBASE file; DbfError when it cannot be read as a dBASE III table, and a conversion
// error when a field of the earlier layout is missing.
std::unique_ptr<LogImportSource> OpenDbaseLog(const QString& path);
// folder/Log37.adt, read in date order. When it is the log table itself (logFolder), a copy
// taken at the start is read, so that each row is imported once. A conversion error when a
// column of the current layout is missing.
std::unique_ptr<LogImportSource> OpenPro3Log(const QString& folder, const QString& logFolder);

class InvalidPro25LogError : public std::runtime_error {
public:
    InvalidPro25LogError();
};

// ---- the import ----------------------------------------------------------------------------

// After each batch of rows: records read so far and the source's record count.
using ImportProgress = std::function<void(int read, int total)>;

// An error that stopped an import: nothing of it is in the log.
class ImportStoppedError : public std::runtime_error {
public:
    explicit ImportStoppedError(const std::string& cause);
};

// Appends every source record to Log37 in the settings' log folder, all or nothing. The
// rows are first gathered in a table of their own beside the log (LogImport), so the log is
// locked only for the moment it takes them all in one transaction and other workstations
// go on logging mailers meanwhile. A row the log refuses is skipped and not counted.
// Returns the count stored. Throws ImportStoppedError when a source record does not read or
// the rows cannot be stored, the engine's error when the log table cannot be opened, and
// an error with the stopped import's message when an earlier import into this log was
// stopped (see TakeStoppedLogImport): in every such case no row of this import is stored.
int ImportLogRows(LogImportSource& source, const Settings& settings, const ImportProgress& progress = {});

// At start: an import into the log of logFolder that was stopped (the program killed, the
// machine off) left its table of gathered rows behind. Removes it and returns what
// happened, for the user: either none of its rows were stored, or (stopped between storing
// them and tidying up) all were. Empty when there is nothing to tell, also while an import
// of another workstation is running.
QString TakeStoppedLogImport(const QString& logFolder);

// ---- the three commands' texts -------------------------------------------------------------

struct LogImportCommand {
    QString intro;        // the confirmation's first line
    QString filter;       // file dialog filter, "description (pattern)"
    QString presetName;   // empty: none
    QString subfolder;    // of the program folder, where the dialog starts; empty: itself
    QString expectedName; // the only file name accepted, letter case included
    QString noFile;       // the chosen file does not exist
    QString wrongName;    // the chosen file has another name
};
extern const LogImportCommand ImportPro25Command;
extern const LogImportCommand Import3Command;
extern const LogImportCommand ImportPro3Command;

// The confirmation: intro, the log folder, "Would you like to continue?".
QString ImportConfirmation(const LogImportCommand& command, const QString& logFolder);
// Empty when the chosen file may be imported; else the command's message.
QString CheckImportFile(const LogImportCommand& command, const QString& path);
// "<count> records have been imported to your Log file."
QString ImportedCountMessage(int count);
