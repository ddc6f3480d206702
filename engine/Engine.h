// The table engine: free tables, one SQLite file per table (folder/Name.adt).
// Plain C++ on SQLite, no Qt, so every part of the program and every tool can use it.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace engine {

// Every failure of the engine: SQLite's own message, with the file it concerns.
class EngineError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// An insert or update refused because it would break a unique index.
class UniqueKeyError : public EngineError {
public:
    using EngineError::EngineError;
};

// A write refused because another connection, workstation or program holds the file and
// did not let go within the engine's wait.
class BusyError : public EngineError {
public:
    using EngineError::EngineError;
};

// What a user is told of a table that another workstation holds: the file and the engine's word.
std::string inUseMessage(const std::string& file, const std::string& cause);

// A value that does not read as the type asked for ("'12a' is not a valid integer value").
class ConversionError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

enum class FieldType { AutoInc, TimeStamp, Char, Integer, Logical };

struct FieldDef {
    std::string name;
    FieldType type = FieldType::Char;
    int width = 0; // Char only
};

// Parses a definition string such as "A_ID,AutoInc; Address1,Char,50;City,Char,35"
// (blanks around items allowed, final ";" optional).
std::vector<FieldDef> parseDefinition(std::string_view definition);

// A date and time to the second; stored as "YYYY-MM-DD HH:MM:SS" so text order is time order.
struct DateTime {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    std::string iso() const;
    static std::optional<DateTime> parse(std::string_view text);
    bool operator==(const DateTime&) const = default;
};

// A field value as read from or written to a row.
using Value = std::variant<std::monostate, std::int64_t, double, std::string>;

// Text in single quotes with embedded single quotes doubled: O'Brien -> 'O''Brien'. A NUL
// character becomes ' || char(0) || ', so that the text stays whole in any statement.
std::string quoted(std::string_view text);

// The message for a table file that SQLite finds damaged (notATable: not an SQLite file at
// all) or that lacks a column the program reads.
std::string damagedTableMessage(const std::string& path, bool notATable);
std::string missingColumnMessage(const std::string& path, const std::string& column);

// folder + "/" + table + ".adt"
std::string tableFile(const std::string& folder, const std::string& table);
bool tableExists(const std::string& folder, const std::string& table);

// The collation of case-insensitive indexes, for SQL text too ("... = 'x' COLLATE " +
// kNoCaseCollation): texts that differ only in the case of their letters, any letters, are
// equal. (SQLite's own NOCASE folds the 26 ASCII letters only.)
inline constexpr const char* kNoCaseCollation = "NOCASE_UNICODE";
// Whether two texts are equal as kNoCaseCollation compares them (and a server's case-insensitive
// index, see Dialect.h): each character upper-cased, then lower-cased.
bool equalNoCase(std::string_view a, std::string_view b);

// An index made together with its table.
struct IndexDef {
    std::string name;
    std::string fields; // one name, or names joined by ";" for a compound key
    bool unique = false;
    bool caseInsensitive = false;
    std::string where; // a partial index: the rows it covers (SQL condition); empty: every row
};

// Creates the table file from its definition string, whole or not at all: the table, its
// indexes and the rows of seedSql (statements such as "INSERT INTO ...") are built in a
// new file beside it, written to disk, and only then put under the table's name, so no
// crash leaves a partial table there. An existing file is replaced only when it holds no
// table at all (see tableFileState); otherwise the table "already exists".
void createTable(const std::string& folder, const std::string& table, std::string_view definition,
                 const std::vector<IndexDef>& indexes = {}, const std::vector<std::string>& seedSql = {});

// What the file of a table holds.
enum class TableFileState {
    Missing,       // no file of that name
    Empty,         // a file without any table: zero bytes, or left so by a crash while it was made
    Present,       // the file holds the table
    Busy,          // held by another workstation or program for longer than the engine waits
    NeedsRecovery, // a change cut short by a crash is pending, and this user cannot undo it
    Unreadable,    // the file cannot be opened or read (permissions, input/output error)
    Damaged,       // not a table file, other tables only, or pages that do not read
};

// The state of a table's file and, for every state but Missing, Empty and Present, why.
struct TableCheck {
    TableFileState state = TableFileState::Missing;
    std::string cause;
};

// Judges a table's file. A change that a crash left half done (a hot journal) is undone first,
// as any writer would, so a sound table is never taken for a damaged one; where this user
// cannot write the file, that pending recovery is named instead. checkPages also reads every
// page of the file (SQLite's quick_check), finding damage that the table's definition alone
// does not show.
TableCheck checkTableFile(const std::string& folder, const std::string& table, bool checkPages = false);
TableFileState tableFileState(const std::string& folder, const std::string& table);

// A table too large to read whole at start is read a slice at a time: rows from the key from on,
// at most rows of them, in one short read that keeps no other workstation waiting for long.
// A damaged page among them is remembered as checkTableFile remembers it. next is where the
// following slice begins, 0 once the end is reached or damage found.
struct RowScan {
    std::int64_t next = 0;
    TableCheck check;
};
RowScan scanTableRows(const std::string& folder, const std::string& table, std::int64_t from, int rows);

// Remembers a table found damaged, until a later check finds its file sound again; writes that
// must not land in a damaged table ask with requireSound, which checks such a file again.
void requireSound(const std::string& folder, const std::string& table);

// Removes what a program killed while making a table left in the folder (hidden files named
// ".Name.adt.new-…" and their journals), once old enough that no workstation is still making it.
void sweepUnfinishedTables(const std::string& folder);

// Gives the finished file at from the name to unless a file of that name is there, never
// replacing it: a rename that refuses to replace, else a hard link with the old name removed,
// else (shares without either) a rename after a look. Returns 0, or the errno of the failure:
// EEXIST when the name is taken.
int placeWithoutReplacing(const std::string& from, const std::string& to);

// fields: one name, or names joined by ";" for a compound key.
void addIndex(const std::string& folder, const std::string& table, const IndexDef& index);
bool hasIndex(const std::string& folder, const std::string& table, const std::string& indexName);

// How long an exclusive open, or a write blocked by another workstation, waits.
void setLockWaitMs(int ms);
int lockWaitMs();

// Whole-number text as the program reads it: optional blanks and sign, digits only,
// within 32 bits. Throws ConversionError with the usual message otherwise.
std::int32_t toInt32(std::string_view text);
std::optional<std::int32_t> tryInt32(std::string_view text);

namespace detail {
// Which file a path names at the moment, to tell a table file made anew or replaced from the
// one a connection has open.
struct FileIdentity {
    unsigned long long device = 0, inode = 0;
    bool operator==(const FileIdentity&) const = default;
};
} // namespace detail

} // namespace engine
