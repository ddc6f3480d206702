#include "engine/MultiTableWrite.h"
#include "engine/ConnectionPool.h"
#include "engine/Dialect.h"
#include "engine/Pg.h"
#include "engine/Server.h"
#include "engine/Sqlite.h"

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <unistd.h>

namespace engine {

using namespace detail;

MultiTableWrite::MultiTableWrite(const std::vector<TableRef>& tables)
{
    if (tables.empty())
        throw EngineError("No table to write");
    if (isServerLocation(tables.front().folder)) {
        for (const TableRef& t : tables)
            if (t.folder != tables.front().folder)
                throw EngineError("The tables of one write must all be on the same database server");
        server_ = tables.front().folder;
        context_ = describeServer(server_);
        serverExec(server_, "BEGIN");
        serverOpen_ = true;
        serverSession_ = serverSession(server_);
        return;
    }
    std::vector<std::string> paths;
    for (const TableRef& t : tables) {
        std::string path = findTableFile(t.folder, t.table);
        if (path.empty())
            throw EngineError("The table " + tableFile(t.folder, t.table) + " does not exist");
        context_ += (context_.empty() ? "" : ", ") + path;
        paths.push_back(std::move(path));
    }
    if (paths.size() == 1) {
        Connection kept = takeConnection(paths[0]);
        db_ = kept.db;
        statements_ = std::move(kept.statements);
        keptPath_ = paths[0];
    } else {
        db_ = openFile(paths[0], false);
    }
    try {
        for (size_t i = 1; i < paths.size(); ++i) {
            sqlite3_stmt* attach = nullptr;
            if (sqlite3_prepare_v2(db_, "ATTACH DATABASE ? AS ?", -1, &attach, nullptr) != SQLITE_OK)
                fail(db_, context_);
            const std::string alias = "t" + std::to_string(i);
            sqlite3_bind_text(attach, 1, paths[i].c_str(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_text(attach, 2, alias.c_str(), -1, SQLITE_TRANSIENT);
            const int rc = sqlite3_step(attach);
            sqlite3_finalize(attach);
            if (rc != SQLITE_DONE)
                fail(db_, paths[i]);
            // Every attached file keeps the same journal and sync as the main one.
            exec(db_, "PRAGMA " + alias + ".journal_mode=DELETE; PRAGMA " + alias + ".synchronous=FULL", paths[i]);
        }
        exec(db_, "BEGIN IMMEDIATE", context_);
    } catch (...) {
        Connection connection{db_, std::move(statements_), {}};
        closeConnection(connection);
        db_ = nullptr;
        keptPath_.clear();
        throw;
    }
}

void MultiTableWrite::requireServerSession()
{
    if (serverSession(server_) != serverSession_)
        throw EngineError("The database server " + context_ +
                          " dropped the connection during the write; nothing of it was committed");
}

MultiTableWrite::~MultiTableWrite()
{
    if (!server_.empty()) {
        if (serverOpen_)
            try {
                if (serverSession(server_) == serverSession_)
                    rollbackServer(server_);
            } catch (const EngineError&) {
                // The server is gone, and the transaction with it.
            }
        return;
    }
    if (db_ && !sqlite3_get_autocommit(db_))
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    Connection connection{db_, std::move(statements_), {}};
    if (!keptPath_.empty()) {
        identityOf(keptPath_, connection.identity);
        releaseConnection(keptPath_, connection);
    } else {
        closeConnection(connection);
    }
    db_ = nullptr;
}

int MultiTableWrite::run(const std::string& sql, const std::vector<Value>& values)
{
    if (!server_.empty()) {
        requireServerSession();
        PgResult result = serverExec(server_, dialect::serverSql(sql), values);
        const char* affected = PQcmdTuples(result.get());
        return affected && *affected ? std::atoi(affected) : 0;
    }
    // Statements with values to bind come again with other values and are kept with the
    // connection; one without spells its values out and is used once.
    const bool keep = !values.empty();
    sqlite3_stmt* stmt = nullptr;
    if (keep)
        stmt = keptStatement(db_, statements_, sql, context_);
    else if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK)
        fail(db_, context_);
    for (size_t i = 0; i < values.size(); ++i)
        bindValue(stmt, int(i) + 1, values[i]);
    const int rc = sqlite3_step(stmt);
    if (keep) {
        sqlite3_reset(stmt);
        sqlite3_clear_bindings(stmt);
    } else {
        sqlite3_finalize(stmt);
    }
    if (rc != SQLITE_DONE && rc != SQLITE_ROW)
        fail(db_, context_);
    return sqlite3_changes(db_);
}

std::optional<Value> MultiTableWrite::firstValue(const std::string& sql, const std::vector<Value>& values)
{
    if (!server_.empty()) {
        requireServerSession();
        PgResult result = serverExec(server_, dialect::serverSql(sql), values);
        if (PQresultStatus(result.get()) != PGRES_TUPLES_OK || PQntuples(result.get()) == 0)
            return std::nullopt;
        return serverValue(result.get(), 0, 0);
    }
    sqlite3_stmt* stmt = keptStatement(db_, statements_, sql, context_);
    for (size_t i = 0; i < values.size(); ++i)
        bindValue(stmt, int(i) + 1, values[i]);
    const int rc = sqlite3_step(stmt);
    std::optional<Value> value;
    if (rc == SQLITE_ROW)
        value = columnValue(stmt, 0);
    sqlite3_reset(stmt);
    sqlite3_clear_bindings(stmt);
    if (rc != SQLITE_DONE && rc != SQLITE_ROW)
        fail(db_, context_);
    return value;
}

std::int64_t MultiTableWrite::lastInsertId() const
{
    if (!server_.empty()) {
        PgResult result = serverExec(server_, "SELECT lastval()");
        return std::strtoll(PQgetvalue(result.get(), 0, 0), nullptr, 10);
    }
    return sqlite3_last_insert_rowid(db_);
}

void MultiTableWrite::commit()
{
    if (!server_.empty()) {
        serverOpen_ = false; // a failed commit ends the transaction too
        requireServerSession();
        serverCommit(server_);
        return;
    }
    exec(db_, "COMMIT", context_);
}

void requireWritable(const std::string& folder, const std::string& table)
{
    if (isServerLocation(folder))
        return; // the server refuses a write this user may not make, when it is made
    const std::string path = findTableFile(folder, table);
    if (path.empty())
        throw EngineError("The table " + tableFile(folder, table) + " does not exist");
    if (::access(path.c_str(), W_OK) != 0)
        throw EngineError("The table " + path + " cannot be written: the file is write-protected for this user");
    // A journal kept beside the table (see Table::open) is written by every commit.
    const std::string journal = path + "-journal";
    if (::access(journal.c_str(), W_OK) != 0 && errno != ENOENT)
        throw EngineError("The table " + path + " cannot be written: its journal file " + journal +
                          " is write-protected for this user");
    const std::string dir = std::filesystem::path(path).parent_path().string();
    if (::access(dir.empty() ? "." : dir.c_str(), W_OK | X_OK) != 0)
        throw EngineError("The table " + path + " cannot be written: its folder " + dir +
                          " is write-protected for this user, so no change to it can be committed");
}

} // namespace engine
