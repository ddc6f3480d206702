#include "engine/Query.h"
#include "engine/Server.h"
#include "engine/Sqlite.h"

#include <cctype>
#include <memory>

namespace engine {

using namespace detail;

namespace {

bool blank(const char* s)
{
    for (; s && *s; ++s)
        if (!std::isspace(static_cast<unsigned char>(*s)) && *s != ';')
            return false;
    return true;
}

} // namespace

// See ServerQuery.cpp.
void closeServerRows(pg_result*& rows);

Query::Query() = default;

Query::~Query()
{
    disconnect();
}

void Query::setFolder(const std::string& folder)
{
    if (folder == folder_)
        return;
    disconnect();
    folder_ = folder;
}

void Query::setSql(const std::string& sql)
{
    close();
    sql_ = sql;
}

void Query::connect()
{
    if (db_) {
        // The wait may have been changed since the connection was made.
        sqlite3_busy_timeout(db_, lockWaitMs());
        return;
    }
    int rc = sqlite3_open_v2(":memory:", &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK) {
        sqlite3_close(db_);
        db_ = nullptr;
        failCode(rc, sqlite3_errstr(rc), folder_);
    }
    sqlite3_extended_result_codes(db_, 1);
    sqlite3_busy_timeout(db_, lockWaitMs());
    addCollations(db_);
}

void Query::close()
{
    closeServerRows(serverRows_);
    sqlite3_finalize(stmt_);
    stmt_ = nullptr;
    eof_ = true;
}

void Query::disconnect()
{
    close();
    closeDb(db_);
    attached_.clear();
}

// A table file deleted or made anew since it was attached is attached again on next use.
void Query::dropStaleFiles()
{
    for (auto it = attached_.begin(); it != attached_.end();) {
        FileIdentity now;
        if (identityOf(it->second.path, now) && now == it->second.identity) {
            ++it;
            continue;
        }
        sqlite3_exec(db_, ("DETACH DATABASE " + quoteIdent(it->first)).c_str(), nullptr, nullptr, nullptr);
        it = attached_.erase(it);
    }
}

// SQLite names the first table it could not find; attach that table's file as a schema of
// the same name, so the statement's plain table names resolve to it.
bool Query::attachFor(const std::string& message)
{
    static const std::string marker = "no such table: ";
    if (message.rfind(marker, 0) != 0)
        return false;
    std::string table = message.substr(marker.size());
    if (auto dot = table.find('.'); dot != std::string::npos)
        table = table.substr(dot + 1);
    if (attached_.count(table))
        throw EngineError("The file " + attached_[table].path + " does not hold the table " + table);
    const std::string path = findTableFile(folder_, table);
    if (path.empty())
        throw EngineError("The table " + tableFile(folder_, table) + " does not exist");
    sqlite3_stmt* attach = nullptr;
    sqlite3_prepare_v2(db_, ("ATTACH DATABASE ? AS " + quoteIdent(table)).c_str(), -1, &attach, nullptr);
    sqlite3_bind_text(attach, 1, path.c_str(), -1, SQLITE_TRANSIENT);
    int rc = sqlite3_step(attach);
    sqlite3_finalize(attach);
    if (rc != SQLITE_DONE) {
        const int code = sqlite3_extended_errcode(db_) & 0xff;
        if (code == SQLITE_CORRUPT || code == SQLITE_NOTADB)
            throw EngineError(damagedTableMessage(path, code == SQLITE_NOTADB));
        fail(db_, path);
    }
    Attached a{path};
    identityOf(path, a.identity);
    attached_[table] = a;
    const std::string schema = quoteIdent(table);
    exec(db_, "PRAGMA " + schema + ".journal_mode=DELETE; PRAGMA " + schema + ".synchronous=FULL", path);
    return true;
}

void Query::failStatement()
{
    const int code = sqlite3_extended_errcode(db_);
    const std::string message = sqlite3_errmsg(db_);
    if ((code & 0xff) == SQLITE_CORRUPT || (code & 0xff) == SQLITE_NOTADB) {
        // SQLite does not say which of the statement's files it found damaged: each is checked.
        for (const auto& [table, file] : attached_) {
            sqlite3_stmt* check = nullptr;
            bool damaged = true;
            if (sqlite3_prepare_v2(db_, ("PRAGMA " + quoteIdent(table) + ".quick_check(1)").c_str(), -1, &check,
                                   nullptr) == SQLITE_OK &&
                sqlite3_step(check) == SQLITE_ROW) {
                const auto result = reinterpret_cast<const char*>(sqlite3_column_text(check, 0));
                damaged = !result || std::string(result) != "ok";
            }
            sqlite3_finalize(check);
            if (damaged)
                throw EngineError(damagedTableMessage(file.path, (code & 0xff) == SQLITE_NOTADB));
        }
    }
    detail::failCode(code, message, folder_);
}

sqlite3_stmt* Query::prepare(const char* sql, const char** tail)
{
    for (int attempt = 0; attempt < 16; ++attempt) {
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v2(db_, sql, -1, &stmt, tail) == SQLITE_OK)
            return stmt;
        const std::string message = sqlite3_errmsg(db_);
        if (!attachFor(message))
            failStatement();
    }
    throw EngineError("Too many tables in one statement");
}

void Query::step()
{
    int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW) {
        for (int i = 0; i < fieldCount(); ++i)
            row_[i] = columnValue(stmt_, i);
        eof_ = false;
    } else if (rc == SQLITE_DONE) {
        eof_ = true;
    } else {
        eof_ = true;
        sqlite3_reset(stmt_);
        failStatement();
    }
}

void Query::open()
{
    close();
    if (onServer())
        return serverOpen();
    connect();
    dropStaleFiles();
    const char* tail = nullptr;
    stmt_ = prepare(sql_.c_str(), &tail);
    if (!stmt_) {
        setColumns({}, {});
        return; // empty text
    }
    if (!blank(tail)) {
        close();
        throw EngineError("Only one statement can be opened at a time: " + sql_);
    }
    const int n = sqlite3_column_count(stmt_);
    std::vector<std::string> names;
    std::vector<Kind> kinds;
    for (int i = 0; i < n; ++i) {
        names.emplace_back(sqlite3_column_name(stmt_, i));
        kinds.push_back(kindOf(sqlite3_column_decltype(stmt_, i)));
    }
    setColumns(std::move(names), std::move(kinds));
    columnsFile_.clear();
    if (n > 0)
        if (const char* schema = sqlite3_column_database_name(stmt_, 0))
            if (auto it = attached_.find(schema); it != attached_.end())
                columnsFile_ = it->second.path;
    try {
        step();
    } catch (...) {
        close();
        throw;
    }
}

int Query::execSql()
{
    close();
    if (onServer())
        return serverExecSql();
    connect();
    dropStaleFiles();
    int changes = 0;
    // A transaction the text begins and does not get to end is rolled back, so that no lock
    // outlives a failed statement.
    const bool autocommit = sqlite3_get_autocommit(db_);
    try {
        const char* next = sql_.c_str();
        while (next && *next) {
            const char* tail = nullptr;
            sqlite3_stmt* stmt = prepare(next, &tail);
            next = tail;
            if (!stmt)
                continue;
            int rc;
            while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
            }
            const bool writes = !sqlite3_stmt_readonly(stmt);
            sqlite3_finalize(stmt);
            if (rc != SQLITE_DONE)
                failStatement();
            changes = writes ? sqlite3_changes(db_) : 0;
        }
    } catch (...) {
        if (autocommit && !sqlite3_get_autocommit(db_))
            sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
    return changes;
}

int Query::execEach(size_t rows, const std::function<void(size_t row, std::vector<Value>& values)>& valuesOf)
{
    close();
    if (onServer())
        return serverExecEach(rows, valuesOf);
    connect();
    dropStaleFiles();
    const char* tail = nullptr;
    std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)> stmt(prepare(sql_.c_str(), &tail), sqlite3_finalize);
    if (!stmt)
        return 0;
    if (!blank(tail))
        throw EngineError("Only one statement can be run for each row: " + sql_);
    exec(db_, "BEGIN", folder_);
    int changes = 0;
    try {
        std::vector<Value> values;
        for (size_t row = 0; row < rows; ++row) {
            values.clear();
            valuesOf(row, values);
            for (size_t i = 0; i < values.size(); ++i)
                bindValue(stmt.get(), static_cast<int>(i + 1), values[i]);
            if (sqlite3_step(stmt.get()) != SQLITE_DONE)
                failStatement();
            changes += sqlite3_changes(db_);
            sqlite3_reset(stmt.get());
        }
        stmt.reset();
        exec(db_, "COMMIT", folder_);
    } catch (...) {
        stmt.reset();
        if (!sqlite3_get_autocommit(db_))
            sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
    return changes;
}

void Query::first()
{
    if (serverRows_) {
        serverRow_ = 0;
        return serverLoadRow();
    }
    if (!stmt_)
        throw EngineError("The query is not open");
    sqlite3_reset(stmt_);
    step();
}

void Query::next()
{
    if (serverRows_) {
        if (!eof_)
            ++serverRow_;
        return serverLoadRow();
    }
    if (!stmt_)
        throw EngineError("The query is not open");
    if (!eof_)
        step();
}

std::optional<std::string> tableDamage(const std::string& folder, const std::string& table, std::string_view definition)
{
    if (isServerLocation(folder))
        return std::nullopt; // the server keeps its tables sound
    if (tableFileState(folder, table) == TableFileState::Missing)
        return std::nullopt;
    try {
        Query q;
        q.setFolder(folder);
        q.setSql("select count(*) from " + table); // every page of the table
        q.open();
        q.setSql("PRAGMA " + detail::quoteIdent(table) + ".quick_check(1)");
        q.open();
        const std::string path = detail::findTableFile(folder, table);
        if (q.asString(0) != "ok")
            return damagedTableMessage(path, false);
        q.setSql("select * from " + table + " limit 1");
        q.open();
        for (const FieldDef& field : parseDefinition(definition))
            if (!q.hasField(field.name))
                return missingColumnMessage(path, field.name);
    } catch (const EngineError& e) {
        return std::string(e.what());
    }
    return std::nullopt;
}

} // namespace engine
