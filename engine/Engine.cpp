#include "engine/Engine.h"
#include "engine/Pg.h"
#include "engine/Server.h"
#include "engine/Sqlite.h"

#include <sys/stat.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <locale.h>
#include <wctype.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdio>
#include <filesystem>
#include <unistd.h>

namespace engine {

namespace fs = std::filesystem;

namespace {

int g_lockWaitMs = 4000;

std::string trim(std::string_view s)
{
    auto b = s.find_first_not_of(" \t\r\n");
    if (b == std::string_view::npos)
        return {};
    auto e = s.find_last_not_of(" \t\r\n");
    return std::string(s.substr(b, e - b + 1));
}

bool equalsNoCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

std::vector<std::string> split(std::string_view s, char sep)
{
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        auto pos = s.find(sep, start);
        parts.push_back(trim(s.substr(start, pos == std::string_view::npos ? std::string_view::npos : pos - start)));
        if (pos == std::string_view::npos)
            break;
        start = pos + 1;
    }
    return parts;
}

std::string columnSql(const FieldDef& f)
{
    const std::string name = detail::quoteIdent(f.name);
    switch (f.type) {
    case FieldType::AutoInc:
        return name + " INTEGER PRIMARY KEY AUTOINCREMENT";
    case FieldType::TimeStamp:
        return name + " TIMESTAMP";
    case FieldType::Char:
        return name + " CHAR(" + std::to_string(f.width) + ")";
    case FieldType::Integer:
        return name + " INTEGER";
    case FieldType::Logical:
        return name + " LOGICAL";
    }
    return name;
}

// Char fields keep fixed-width semantics: cut to the width, no trailing blanks, whichever
// way a row is written (table handle or SQL text).
std::string charTriggerSql(const std::string& table, const std::vector<FieldDef>& fields, const char* event)
{
    std::string set, when;
    for (const auto& f : fields) {
        if (f.type != FieldType::Char)
            continue;
        const std::string col = detail::quoteIdent(f.name);
        const std::string fixed = "rtrim(substr(%1,1," + std::to_string(f.width) + "))";
        auto fixedOf = [&](const std::string& ref) {
            std::string s = fixed;
            s.replace(s.find("%1"), 2, ref);
            return s;
        };
        if (!set.empty()) {
            set += ", ";
            when += " OR ";
        }
        set += col + " = " + fixedOf(col);
        when += "NEW." + col + " IS NOT " + fixedOf("NEW." + col);
    }
    if (set.empty())
        return {};
    const std::string t = detail::quoteIdent(table);
    return "CREATE TRIGGER " + detail::quoteIdent(table + "_fixed_" + event) + " AFTER " + event + " ON " + t +
           " WHEN " + when + " BEGIN UPDATE " + t + " SET " + set + " WHERE rowid = NEW.rowid; END";
}

} // namespace

std::vector<FieldDef> parseDefinition(std::string_view definition)
{
    std::vector<FieldDef> fields;
    for (const auto& item : split(definition, ';')) {
        if (item.empty())
            continue;
        auto parts = split(item, ',');
        if (parts.size() < 2 || parts[0].empty())
            throw EngineError("Invalid field definition \"" + item + "\"");
        FieldDef f;
        f.name = parts[0];
        const std::string& type = parts[1];
        if (equalsNoCase(type, "AutoInc"))
            f.type = FieldType::AutoInc;
        else if (equalsNoCase(type, "TimeStamp"))
            f.type = FieldType::TimeStamp;
        else if (equalsNoCase(type, "Integer"))
            f.type = FieldType::Integer;
        else if (equalsNoCase(type, "Logical"))
            f.type = FieldType::Logical;
        else if (equalsNoCase(type, "Char")) {
            f.type = FieldType::Char;
            auto width = parts.size() > 2 ? tryInt32(parts[2]) : std::nullopt;
            if (!width || *width <= 0)
                throw EngineError("Invalid width in field definition \"" + item + "\"");
            f.width = *width;
        } else
            throw EngineError("Unknown field type \"" + type + "\" in field definition \"" + item + "\"");
        fields.push_back(f);
    }
    if (fields.empty())
        throw EngineError("A table needs at least one field");
    return fields;
}

std::string DateTime::iso() const
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", year, month, day, hour, minute, second);
    return buf;
}

std::optional<DateTime> DateTime::parse(std::string_view text)
{
    DateTime d;
    char sep = 0;
    std::string s(text);
    int n = std::sscanf(s.c_str(), "%4d-%2d-%2d%c%2d:%2d:%2d", &d.year, &d.month, &d.day, &sep, &d.hour, &d.minute,
                        &d.second);
    if (n == 3) {
        d.hour = d.minute = d.second = 0;
    } else if (n != 7 || (sep != ' ' && sep != 'T')) {
        return std::nullopt;
    }
    if (d.month < 1 || d.month > 12 || d.day < 1 || d.day > 31 || d.hour > 23 || d.minute > 59 || d.second > 59)
        return std::nullopt;
    return d;
}

std::string quoted(std::string_view text)
{
    std::string out = "'";
    for (char c : text) {
        if (c == '\0') {
            // SQLite reads a statement up to its first NUL, so a NUL inside a value would
            // cut the statement short; the value is joined around it instead.
            out += "' || char(0) || '";
            continue;
        }
        out += c;
        if (c == '\'')
            out += '\'';
    }
    out += '\'';
    return out;
}

std::string damagedTableMessage(const std::string& path, bool notATable)
{
    return "The table file \"" + path + "\" is damaged: " +
           (notATable ? std::string("it is not a table file") : std::string("its contents are malformed")) +
           ". Restore it from a backup copy.";
}

std::string missingColumnMessage(const std::string& path, const std::string& column)
{
    return "The table file \"" + path + "\" has no column " + column +
           ": the file is damaged or holds a table of another program.";
}

std::string inUseMessage(const std::string& file, const std::string& cause)
{
    return "The table " + file + " is in use by another program or workstation and cannot be written (" + cause + ")";
}

std::string tableFile(const std::string& folder, const std::string& table)
{
    if (isServerLocation(folder))
        return table + " on the database server " + describeServer(folder);
    return folder + "/" + table + ".adt";
}

bool tableExists(const std::string& folder, const std::string& table)
{
    if (isServerLocation(folder))
        return detail::checkServerTable(folder, table).state == TableFileState::Present;
    return detail::fileExists(tableFile(folder, table));
}

namespace {

std::string indexSql(const std::string& table, const IndexDef& index)
{
    std::string columns;
    for (const auto& f : split(index.fields, ';')) {
        if (f.empty())
            continue;
        if (!columns.empty())
            columns += ", ";
        columns += detail::quoteIdent(f) + (index.caseInsensitive ? std::string(" COLLATE ") + kNoCaseCollation : "");
    }
    if (columns.empty())
        throw EngineError("The index " + index.name + " names no field");
    return std::string("CREATE ") + (index.unique ? "UNIQUE " : "") + "INDEX " + detail::quoteIdent(index.name) +
           " ON " + detail::quoteIdent(table) + " (" + columns + ")" +
           (index.where.empty() ? std::string() : " WHERE " + index.where);
}

// Writes a finished file's data, or a folder's entries, to the disk.
void syncPath(const std::string& path, bool folder)
{
    const int fd = ::open(path.c_str(), (folder ? O_RDONLY | O_DIRECTORY : O_RDONLY) | O_CLOEXEC);
    if (fd < 0)
        throw EngineError("Cannot write " + path + " to disk: " + std::strerror(errno));
    const int rc = ::fsync(fd);
    const int err = errno;
    ::close(fd);
    // Some shares cannot sync a folder; the rename itself is still atomic there.
    if (rc != 0 && !(folder && (err == EINVAL || err == ENOTSUP || err == EBADF)))
        throw EngineError("Cannot write " + path + " to disk: " + std::strerror(err));
}

} // namespace

int placeWithoutReplacing(const std::string& from, const std::string& to)
{
#ifdef RENAME_NOREPLACE
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno == EEXIST)
        return EEXIST;
#endif
    // Systems and shares without such a rename: a hard link, which never replaces either.
    if (::link(from.c_str(), to.c_str()) == 0) {
        ::unlink(from.c_str());
        return 0;
    }
    if (errno == EEXIST)
        return EEXIST;
    // Shares without either: a rename after a look.
    if (detail::fileExists(to))
        return EEXIST;
    return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

namespace {

// Removes a file being built and what SQLite may have left beside it.
void removeBuildFiles(const std::string& path)
{
    ::unlink(path.c_str());
    ::unlink((path + "-journal").c_str());
}

// Puts the finished file under the table's name. A missing name is taken without replacing
// what another workstation may have put there meanwhile; an empty file is replaced.
void placeTableFile(const std::string& built, const std::string& path, bool replaceEmpty)
{
    if (replaceEmpty) {
        if (::rename(built.c_str(), path.c_str()) != 0)
            throw EngineError("Cannot create " + path + ": " + std::strerror(errno));
        return;
    }
    const int err = placeWithoutReplacing(built, path);
    if (err == EEXIST)
        throw EngineError("The table " + path + " already exists");
    if (err != 0)
        throw EngineError("Cannot create " + path + ": " + std::strerror(err));
}

} // namespace

void createTable(const std::string& folder, const std::string& table, std::string_view definition,
                 const std::vector<IndexDef>& indexes, const std::vector<std::string>& seedSql)
{
    if (isServerLocation(folder))
        return detail::createServerTable(folder, table, definition, indexes, seedSql);
    const auto fields = parseDefinition(definition);
    std::error_code ec;
    if (!fs::is_directory(folder, ec))
        throw EngineError("Cannot create table " + table + ": the folder " + folder + " does not exist");
    const std::string path = tableFile(folder, table);
    bool replaceEmpty = false;
    switch (tableFileState(folder, table)) {
    case TableFileState::Missing:
        break;
    case TableFileState::Empty:
        replaceEmpty = true;
        break;
    default:
        throw EngineError("The table " + path + " already exists");
    }

    std::string create = "CREATE TABLE " + detail::quoteIdent(table) + " (";
    for (size_t i = 0; i < fields.size(); ++i)
        create += (i ? ", " : "") + columnSql(fields[i]);
    create += ")";

    const std::string built = detail::buildingName(folder, table);
    sqlite3* db = nullptr;
    try {
        db = detail::openFile(built, true);
        detail::exec(db, "BEGIN IMMEDIATE", built);
        detail::exec(db, create, built);
        for (const char* event : {"INSERT", "UPDATE"}) {
            auto trigger = charTriggerSql(table, fields, event);
            if (!trigger.empty())
                detail::exec(db, trigger, built);
        }
        for (const IndexDef& index : indexes)
            detail::exec(db, indexSql(table, index), built);
        for (const std::string& sql : seedSql)
            detail::exec(db, sql, built);
        detail::exec(db, "COMMIT", built);
        detail::closeDb(db);
        syncPath(built, false);
        placeTableFile(built, path, replaceEmpty);
        syncPath(folder, true);
    } catch (...) {
        detail::closeDb(db);
        removeBuildFiles(built);
        throw;
    }
}

namespace {

// Files found damaged by checkTableFile, by identity, so that a write can refuse them cheaply.
std::mutex g_damagedMutex;
std::vector<detail::FileIdentity> g_damaged;

void rememberDamage(const std::string& path, bool damaged)
{
    detail::FileIdentity id;
    if (!detail::identityOf(path, id))
        return;
    std::lock_guard lock(g_damagedMutex);
    const auto it = std::find(g_damaged.begin(), g_damaged.end(), id);
    if (damaged && it == g_damaged.end())
        g_damaged.push_back(id);
    else if (!damaged && it != g_damaged.end())
        g_damaged.erase(it);
}

bool anyRememberedDamaged()
{
    std::lock_guard lock(g_damagedMutex);
    return !g_damaged.empty();
}

bool rememberedDamaged(const std::string& path)
{
    detail::FileIdentity id;
    if (!detail::identityOf(path, id))
        return false;
    std::lock_guard lock(g_damagedMutex);
    return std::find(g_damaged.begin(), g_damaged.end(), id) != g_damaged.end();
}

// What an error of SQLite says about the file it was reading.
TableCheck judgeError(int code, const std::string& message)
{
    switch (code & 0xff) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return {TableFileState::Busy, message};
    case SQLITE_READONLY:
        return {TableFileState::NeedsRecovery, message};
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
    case SQLITE_FORMAT:
        return {TableFileState::Damaged, message};
    default:
        return {TableFileState::Unreadable, message};
    }
}

bool writableHere(const std::string& path)
{
    const std::string dir = fs::path(path).parent_path().string();
    return ::access(path.c_str(), W_OK) == 0 && ::access(dir.empty() ? "." : dir.c_str(), W_OK | X_OK) == 0;
}

} // namespace

TableCheck checkTableFile(const std::string& folder, const std::string& table, bool checkPages)
{
    if (isServerLocation(folder))
        return detail::checkServerTable(folder, table); // the server keeps its own pages sound
    const std::string path = detail::findTableFile(folder, table);
    if (path.empty())
        return {TableFileState::Missing, {}};
    std::error_code ec;
    const auto size = fs::file_size(path, ec);
    if (ec)
        return {TableFileState::Unreadable, ec.message()};
    if (size == 0)
        return {TableFileState::Empty, {}};
    // Opened for writing where this user may write, so that SQLite rolls back a change cut short
    // by a crash (a hot journal) before anything is read; read-only, such a file cannot be read.
    const bool writable = writableHere(path);
    sqlite3* db = nullptr;
    const int flags = (writable ? SQLITE_OPEN_READWRITE : SQLITE_OPEN_READONLY) | SQLITE_OPEN_NOMUTEX;
    int rc = sqlite3_open_v2(path.c_str(), &db, flags, nullptr);
    if (rc != SQLITE_OK) {
        const std::string message = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
        sqlite3_close(db);
        return judgeError(rc, message);
    }
    sqlite3_extended_result_codes(db, 1);
    sqlite3_busy_timeout(db, lockWaitMs());
    detail::addCollations(db);
    TableCheck check{TableFileState::Damaged, "the file holds other tables only"};
    sqlite3_stmt* stmt = nullptr;
    rc = sqlite3_prepare_v2(db,
                            "SELECT count(*), coalesce(sum(name = ?1 COLLATE NOCASE), 0) FROM sqlite_master "
                            "WHERE type = 'table' AND name NOT LIKE 'sqlite\\_%' ESCAPE '\\'",
                            -1, &stmt, nullptr);
    if (rc == SQLITE_OK) {
        sqlite3_bind_text(stmt, 1, table.c_str(), -1, SQLITE_TRANSIENT);
        rc = sqlite3_step(stmt);
    }
    if (rc == SQLITE_ROW) {
        const auto tables = sqlite3_column_int64(stmt, 0);
        const auto ours = sqlite3_column_int64(stmt, 1);
        if (ours > 0)
            check = {TableFileState::Present, {}};
        else if (tables == 0)
            check = {TableFileState::Empty, {}};
    } else {
        const int code = sqlite3_extended_errcode(db);
        check = judgeError(code, sqlite3_errmsg(db));
        // A journal this user cannot open for the rollback is a pending recovery too.
        if ((code & 0xff) == SQLITE_CANTOPEN && !writable && detail::fileExists(path + "-journal"))
            check.state = TableFileState::NeedsRecovery;
    }
    sqlite3_finalize(stmt);
    stmt = nullptr;
    if (check.state == TableFileState::Present && checkPages) {
        rc = sqlite3_prepare_v2(db, "PRAGMA quick_check(1)", -1, &stmt, nullptr);
        if (rc == SQLITE_OK)
            rc = sqlite3_step(stmt);
        if (rc == SQLITE_ROW) {
            const auto result = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
            if (!result || std::string_view(result) != "ok")
                check = {TableFileState::Damaged, result ? result : "its pages do not read"};
        } else {
            check = judgeError(sqlite3_extended_errcode(db), sqlite3_errmsg(db));
        }
        sqlite3_finalize(stmt);
    }
    sqlite3_close(db);
    if (check.state == TableFileState::Damaged || (checkPages && check.state == TableFileState::Present))
        rememberDamage(path, check.state == TableFileState::Damaged);
    return check;
}

TableFileState tableFileState(const std::string& folder, const std::string& table)
{
    return checkTableFile(folder, table).state;
}

RowScan scanTableRows(const std::string& folder, const std::string& table, std::int64_t from, int rows)
{
    RowScan scan;
    if (isServerLocation(folder))
        return {0, detail::checkServerTable(folder, table)};
    const std::string path = detail::findTableFile(folder, table);
    if (path.empty())
        return {0, {TableFileState::Missing, {}}};
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr) != SQLITE_OK) {
        const std::string message = db ? sqlite3_errmsg(db) : "out of memory";
        sqlite3_close(db);
        return {0, judgeError(SQLITE_CANTOPEN, message)};
    }
    sqlite3_extended_result_codes(db, 1);
    // No wait: a slice that finds the table held is read again at the next turn.
    sqlite3_busy_timeout(db, 0);
    detail::addCollations(db);
    sqlite3_stmt* stmt = nullptr;
    const std::string sql = "SELECT rowid, * FROM " + detail::quoteIdent(table) + " WHERE rowid >= ?1 ORDER BY rowid LIMIT ?2";
    int rc = sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr);
    std::int64_t last = 0;
    int read = 0;
    if (rc == SQLITE_OK) {
        sqlite3_bind_int64(stmt, 1, from);
        sqlite3_bind_int(stmt, 2, rows);
        // Every value is fetched, so every page a row lies on is read.
        while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
            last = sqlite3_column_int64(stmt, 0);
            for (int column = 1, count = sqlite3_column_count(stmt); column < count; ++column)
                sqlite3_column_bytes(stmt, column);
            ++read;
        }
    }
    if (rc == SQLITE_DONE) {
        scan = {read == rows ? last + 1 : 0, {TableFileState::Present, {}}};
    } else {
        scan = {0, judgeError(sqlite3_extended_errcode(db), sqlite3_errmsg(db))};
        if (scan.check.state == TableFileState::Busy)
            scan.next = from; // tried again with the next slice
    }
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    if (scan.check.state == TableFileState::Damaged)
        rememberDamage(path, true);
    return scan;
}

void requireSound(const std::string& folder, const std::string& table)
{
    // Nearly always no table is remembered damaged: then no file is looked at.
    if (!anyRememberedDamaged() || isServerLocation(folder))
        return;
    const std::string path = detail::findTableFile(folder, table);
    if (path.empty() || !rememberedDamaged(path))
        return;
    const TableCheck check = checkTableFile(folder, table, true);
    if (check.state == TableFileState::Damaged)
        throw EngineError("The table " + path + " is damaged (" + check.cause +
                          "), so nothing more can be written into it safely. Restore it from a backup copy.");
}

void sweepUnfinishedTables(const std::string& folder)
{
    // Making a table takes moments; a file this old was left by a program that stopped.
    if (isServerLocation(folder))
        return;
    const auto oldEnough = fs::file_time_type::clock::now() - std::chrono::minutes(10);
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.size() < 2 || name[0] != '.' || name.find(".adt.new-") == std::string::npos)
            continue;
        std::error_code timeError;
        const auto written = fs::last_write_time(it->path(), timeError);
        if (!timeError && written < oldEnough && it->is_regular_file(timeError))
            fs::remove(it->path(), timeError);
    }
}

namespace {

void runOnTable(const std::string& folder, const std::string& table, const std::string& sql)
{
    const std::string path = detail::findTableFile(folder, table);
    if (path.empty())
        throw EngineError("The table " + tableFile(folder, table) + " does not exist");
    sqlite3* db = detail::openFile(path, false);
    try {
        detail::exec(db, sql, path);
    } catch (...) {
        detail::closeDb(db);
        throw;
    }
    detail::closeDb(db);
}

} // namespace

void addIndex(const std::string& folder, const std::string& table, const IndexDef& index)
{
    if (isServerLocation(folder))
        return detail::addServerIndex(folder, table, index);
    runOnTable(folder, table, indexSql(table, index));
}

bool hasIndex(const std::string& folder, const std::string& table, const std::string& indexName)
{
    if (isServerLocation(folder))
        return detail::hasServerIndex(folder, table, indexName);
    const std::string path = detail::findTableFile(folder, table);
    if (path.empty())
        return false;
    sqlite3* db = detail::openFile(path, false);
    sqlite3_stmt* stmt = nullptr;
    bool found = false;
    if (sqlite3_prepare_v2(db, "SELECT 1 FROM sqlite_master WHERE type = 'index' AND name = ?1 COLLATE NOCASE", -1,
                           &stmt, nullptr) == SQLITE_OK) {
        sqlite3_bind_text(stmt, 1, indexName.c_str(), -1, SQLITE_TRANSIENT);
        const int rc = sqlite3_step(stmt);
        found = rc == SQLITE_ROW;
        if (rc != SQLITE_ROW && rc != SQLITE_DONE) {
            sqlite3_finalize(stmt);
            const std::string message = sqlite3_errmsg(db);
            const int code = sqlite3_extended_errcode(db);
            detail::closeDb(db);
            detail::failCode(code, message, path);
        }
    }
    sqlite3_finalize(stmt);
    detail::closeDb(db);
    return found;
}

void setLockWaitMs(int ms)
{
    g_lockWaitMs = ms;
}
int lockWaitMs()
{
    return g_lockWaitMs;
}

std::optional<std::int32_t> tryInt32(std::string_view text)
{
    std::string s = trim(text);
    if (s.empty())
        return std::nullopt;
    size_t pos = 0;
    bool negative = false;
    if (s[0] == '+' || s[0] == '-') {
        negative = s[0] == '-';
        pos = 1;
    }
    if (pos >= s.size())
        return std::nullopt;
    std::int64_t v = 0;
    for (; pos < s.size(); ++pos) {
        if (!std::isdigit(static_cast<unsigned char>(s[pos])))
            return std::nullopt;
        v = v * 10 + (s[pos] - '0');
        if (v > 2147483648LL)
            return std::nullopt;
    }
    if (negative)
        v = -v;
    if (v > 2147483647LL)
        return std::nullopt;
    return static_cast<std::int32_t>(v);
}

std::int32_t toInt32(std::string_view text)
{
    if (auto v = tryInt32(text))
        return *v;
    throw ConversionError("'" + std::string(text) + "' is not a valid integer value");
}

namespace detail {

namespace {

// The next code point of UTF-8 text; a byte that starts no valid sequence stands for itself.
char32_t nextCodePoint(const unsigned char*& at, const unsigned char* end)
{
    const unsigned char lead = *at++;
    const int more = lead < 0xC0 ? 0 : lead < 0xE0 ? 1 : lead < 0xF0 ? 2 : lead < 0xF8 ? 3 : 0;
    if (more == 0 || end - at < more)
        return lead;
    char32_t c = lead & (0x3F >> more);
    for (int i = 0; i < more; ++i) {
        if ((at[i] & 0xC0) != 0x80)
            return lead;
        c = (c << 6) | (at[i] & 0x3F);
    }
    at += more;
    return c;
}

// A letter's one case for comparing: upper case, then lower case, as the Unicode data of the
// C.UTF-8 locale maps them (so "É" and "é", "Σ", "σ" and "ς" fold alike), whatever the
// workstation's own locale is.
char32_t foldCase(char32_t c)
{
    static const locale_t unicode = newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t(nullptr));
    if (c < 0x80 || !unicode)
        return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c;
    return static_cast<char32_t>(towlower_l(towupper_l(static_cast<wint_t>(c), unicode), unicode));
}

int compareFolded(void*, int lengthA, const void* a, int lengthB, const void* b)
{
    auto pa = static_cast<const unsigned char*>(a), pb = static_cast<const unsigned char*>(b);
    const unsigned char *endA = pa + lengthA, *endB = pb + lengthB;
    while (pa < endA && pb < endB) {
        const char32_t ca = foldCase(nextCodePoint(pa, endA)), cb = foldCase(nextCodePoint(pb, endB));
        if (ca != cb)
            return ca < cb ? -1 : 1;
    }
    return (pa < endA) - (pb < endB);
}

} // namespace

} // namespace detail

bool equalNoCase(std::string_view a, std::string_view b)
{
    return detail::compareFolded(nullptr, static_cast<int>(a.size()), a.data(), static_cast<int>(b.size()), b.data()) ==
           0;
}

namespace detail {

void addCollations(sqlite3* db)
{
    sqlite3_create_collation_v2(db, kNoCaseCollation, SQLITE_UTF8, nullptr, compareFolded, nullptr);
}

std::string buildingName(const std::string& folder, const std::string& table)
{
    static std::atomic<int> serial{0};
    return folder + "/." + table + ".adt.new-" + std::to_string(::getpid()) + "-" + std::to_string(++serial);
}

void placeBuiltTable(const std::string& built, const std::string& folder, const std::string& table)
{
    try {
        syncPath(built, false);
        placeTableFile(built, tableFile(folder, table), false);
        syncPath(folder, true);
    } catch (...) {
        removeBuildFiles(built);
        throw;
    }
}

void failCode(int code, const std::string& message, const std::string& context)
{
    std::string text = message;
    if (!context.empty())
        text += " (" + context + ")";
    if (code == SQLITE_CONSTRAINT_UNIQUE || code == SQLITE_CONSTRAINT_PRIMARYKEY)
        throw UniqueKeyError(text);
    if ((code & 0xff) == SQLITE_BUSY || (code & 0xff) == SQLITE_LOCKED)
        throw BusyError(text);
    if (code == SQLITE_READONLY_ROLLBACK || code == SQLITE_READONLY_RECOVERY)
        throw EngineError("The table " + context +
                          " holds a change that a program stopped in the middle of, and this user cannot write the "
                          "file or its folder to undo it (" + message +
                          "). Start the program once as a user who may write there, and the change is undone.");
    throw EngineError(text);
}

void fail(sqlite3* db, const std::string& context)
{
    failCode(sqlite3_extended_errcode(db), sqlite3_errmsg(db), context);
}

sqlite3* openFile(const std::string& path, bool create)
{
    sqlite3* db = nullptr;
    int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX | (create ? SQLITE_OPEN_CREATE : 0);
    int rc = sqlite3_open_v2(path.c_str(), &db, flags, nullptr);
    if (rc != SQLITE_OK) {
        std::string msg = db ? sqlite3_errmsg(db) : "out of memory";
        sqlite3_close(db);
        if (!create && !fileExists(path))
            throw EngineError("The table " + path + " does not exist");
        failCode(rc, msg, path);
    }
    sqlite3_extended_result_codes(db, 1);
    sqlite3_busy_timeout(db, lockWaitMs());
    addCollations(db);
    try {
        exec(db, "PRAGMA journal_mode=DELETE; PRAGMA synchronous=FULL", path);
    } catch (...) {
        sqlite3_close(db);
        throw;
    }
    return db;
}

void exec(sqlite3* db, const std::string& sql, const std::string& context)
{
    char* err = nullptr;
    int rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &err);
    if (rc != SQLITE_OK) {
        std::string msg = err ? err : sqlite3_errstr(rc);
        sqlite3_free(err);
        failCode(sqlite3_extended_errcode(db), msg, context);
    }
}

void closeDb(sqlite3*& db)
{
    if (db) {
        sqlite3_close_v2(db);
        db = nullptr;
    }
}

std::string quoteIdent(const std::string& name)
{
    std::string out = "\"";
    for (char c : name) {
        out += c;
        if (c == '"')
            out += '"';
    }
    return out + "\"";
}

bool fileExists(const std::string& path)
{
    std::error_code ec;
    return fs::is_regular_file(path, ec);
}

bool identityOf(const std::string& path, FileIdentity& identity)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return false;
    identity = {static_cast<unsigned long long>(st.st_dev), static_cast<unsigned long long>(st.st_ino)};
    return true;
}

std::string findTableFile(const std::string& folder, const std::string& table)
{
    std::string exact = tableFile(folder, table);
    if (fileExists(exact))
        return exact;
    std::error_code ec;
    const std::string wanted = table + ".adt";
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (equalsNoCase(name, wanted) && it->is_regular_file(ec))
            return it->path().string();
    }
    return {};
}

} // namespace detail
} // namespace engine

namespace engine::detail {

Value columnValue(sqlite3_stmt* stmt, int column)
{
    switch (sqlite3_column_type(stmt, column)) {
    case SQLITE_INTEGER:
        return static_cast<std::int64_t>(sqlite3_column_int64(stmt, column));
    case SQLITE_FLOAT:
        return sqlite3_column_double(stmt, column);
    case SQLITE_NULL:
        return std::monostate{};
    default: {
        auto text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, column));
        return std::string(text ? text : "", static_cast<size_t>(sqlite3_column_bytes(stmt, column)));
    }
    }
}

void bindValue(sqlite3_stmt* stmt, int index, const Value& value)
{
    if (auto i = std::get_if<std::int64_t>(&value))
        sqlite3_bind_int64(stmt, index, *i);
    else if (auto d = std::get_if<double>(&value))
        sqlite3_bind_double(stmt, index, *d);
    else if (auto s = std::get_if<std::string>(&value))
        sqlite3_bind_text(stmt, index, s->data(), static_cast<int>(s->size()), SQLITE_TRANSIENT);
    else
        sqlite3_bind_null(stmt, index);
}

} // namespace engine::detail
