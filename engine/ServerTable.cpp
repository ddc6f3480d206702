// A table handle on a server database (see Table.h): rows read a page at a time in key order,
// posts written with RETURNING so the handle stands on the row as the server keeps it, an
// exclusive open a session lock of the server's.
#include "engine/Dialect.h"
#include "engine/Pg.h"
#include "engine/Server.h"
#include "engine/Table.h"

#include <cctype>
#include <mutex>
#include <set>

namespace engine {

using namespace detail;

namespace {

constexpr int kPageRows = 200;

// The tables this process holds exclusively on servers: the server's lock is the session's,
// which a second open through the same connection would be granted again.
std::mutex g_heldMutex;
std::set<std::pair<std::string, std::string>> g_held;

} // namespace

std::string serverTableLockName(const std::string& table)
{
    std::string name = "dovra table ";
    for (char c : table)
        name += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return name;
}

bool heldExclusivelyHere(const std::string& location, const std::string& table)
{
    std::lock_guard<std::mutex> lock(g_heldMutex);
    return g_held.count({location, dialect::serverName(table)}) > 0;
}

void Table::serverRequireSession() const
{
    if (serverLocked_ && serverSession(folder_) != serverSession_)
        throw EngineError("The database server " + describeServer(folder_) + " dropped the connection while " + name_ +
                          " was held; nothing more is written through it. Try again.");
}

void Table::serverOpen()
{
    const std::string table = dialect::serverName(name_);
    if (exclusive_) {
        std::lock_guard<std::mutex> lock(g_heldMutex);
        if (!g_held.insert({folder_, table}).second)
            throw EngineError("The table " + fileName() +
                              " is in use by another user or workstation and cannot be opened exclusively");
        serverLocked_ = true; // the entry is the handle's now: serverClose lets go of it
    }
    serverOpen_ = true;
    try {
        if (exclusive_) {
            serverSession_ = serverSession(folder_);
            try {
                serverExec(folder_, "SELECT pg_advisory_lock(hashtext($1))", {serverTableLockName(name_)});
            } catch (const BusyError&) {
                throw BusyError("The table " + fileName() +
                                " is in use by another user or workstation and cannot be opened exclusively");
            }
            serverRequireSession();
        }
        // The key rows are read and written by: the table's AutoInc column, else the row's place.
        PgResult key = serverExec(folder_,
                                  "SELECT attname FROM pg_attribute WHERE attrelid = to_regclass($1) AND "
                                  "attidentity <> '' AND NOT attisdropped ORDER BY attnum LIMIT 1",
                                  {table});
        serverKey_ =
            table + "." + (PQntuples(key.get()) > 0 ? dialect::serverName(PQgetvalue(key.get(), 0, 0)) : "ctid");
        PgResult columns = serverExec(folder_, "SELECT * FROM " + table + " LIMIT 0");
        std::vector<std::string> names;
        std::vector<Kind> kinds;
        serverColumns(columns.get(), names, kinds);
        setColumns(std::move(names), std::move(kinds));
        columnsFile_.clear();
        state_ = State::Browse;
        pending_.clear();
        serverLoadFirst();
    } catch (const EngineError& e) {
        serverClose();
        // A table that is not there reads as a missing table file does.
        const std::string what = e.what();
        if (what.find("relation \"") != std::string::npos && what.find("does not exist") != std::string::npos)
            throw EngineError("The table " + fileName() + " does not exist");
        throw;
    } catch (...) {
        serverClose();
        throw;
    }
}

void Table::serverClose()
{
    if (serverTransaction_) {
        serverTransaction_ = false;
        try {
            if (!serverLocked_ || serverSession(folder_) == serverSession_)
                serverExec(folder_, "ROLLBACK");
        } catch (const EngineError&) {
            // The server is gone, and the transaction with it.
        }
    }
    if (serverLocked_) {
        serverLocked_ = false;
        try {
            if (serverSession(folder_) == serverSession_) {
                // An aborted transaction on the connection refuses every statement until it ends.
                if (PQtransactionStatus(serverConnection(folder_)) == PQTRANS_INERROR)
                    serverExec(folder_, "ROLLBACK");
                serverExec(folder_, "SELECT pg_advisory_unlock(hashtext($1))", {serverTableLockName(name_)});
            }
        } catch (const EngineError&) {
            // A connection the server dropped took the lock with it.
        }
        std::lock_guard<std::mutex> lock(g_heldMutex);
        g_held.erase({folder_, dialect::serverName(name_)});
    }
    serverOpen_ = false;
    serverPage_.clear();
    serverPageKeys_.clear();
    serverKeyAt_.clear();
}

std::string Table::serverWhere(bool after) const
{
    std::string where;
    if (after)
        where = serverKey_ + " > $1";
    if (!filter_.empty())
        where += (where.empty() ? "" : " AND ") + ("(" + dialect::serverSql(filter_) + ")");
    return where.empty() ? std::string() : " WHERE " + where;
}

void Table::serverTakeRow(const pg_result* rows, int row)
{
    serverKeyAt_ = PQgetvalue(rows, row, 0);
    for (int i = 0; i < fieldCount(); ++i)
        row_[i] = serverValue(rows, row, i + 1);
    eof_ = false;
}

void Table::serverLoadPage(const std::string* afterKey)
{
    serverRequireSession();
    const std::string sql = "SELECT " + serverKey_ + "::text, * FROM " + dialect::serverName(name_) +
                            serverWhere(afterKey != nullptr) + " ORDER BY " + serverKey_ + " LIMIT " +
                            std::to_string(kPageRows);
    PgResult rows = afterKey ? serverExec(folder_, sql, {*afterKey}) : serverExec(folder_, sql);
    serverPage_.clear();
    serverPageKeys_.clear();
    const int n = PQntuples(rows.get());
    for (int r = 0; r < n; ++r) {
        serverPageKeys_.emplace_back(PQgetvalue(rows.get(), r, 0));
        std::vector<Value> values;
        for (int i = 0; i < fieldCount(); ++i)
            values.push_back(serverValue(rows.get(), r, i + 1));
        serverPage_.push_back(std::move(values));
    }
    serverPageLast_ = n < kPageRows;
    serverPageAt_ = 0;
    if (serverPage_.empty()) {
        eof_ = true;
        return;
    }
    serverKeyAt_ = serverPageKeys_[0];
    row_ = serverPage_[0];
    eof_ = false;
}

void Table::serverLoadFirst()
{
    serverLoadPage(nullptr);
}

void Table::serverLoadNext()
{
    // A page read before a post or a delete no longer stands for the rows: read on from the key.
    if (!serverPage_.empty() && serverPageAt_ + 1 < serverPage_.size() &&
        serverPageKeys_[serverPageAt_] == serverKeyAt_) {
        ++serverPageAt_;
        serverKeyAt_ = serverPageKeys_[serverPageAt_];
        row_ = serverPage_[serverPageAt_];
        return;
    }
    if (serverPageLast_ && !serverPage_.empty() && serverPageKeys_[serverPageAt_] == serverKeyAt_) {
        eof_ = true;
        return;
    }
    const std::string after = serverKeyAt_;
    serverLoadPage(&after);
}

std::int64_t Table::serverCount()
{
    serverRequireSession();
    PgResult count = serverExec(folder_, "SELECT count(*) FROM " + dialect::serverName(name_) + serverWhere(false));
    return std::strtoll(PQgetvalue(count.get(), 0, 0), nullptr, 10);
}

void Table::serverPost()
{
    serverRequireSession();
    const std::string table = dialect::serverName(name_);
    std::string sql;
    std::vector<Value> values;
    for (const auto& [name, v] : pending_)
        values.push_back(v);
    if (state_ == State::Insert) {
        if (pending_.empty()) {
            sql = "INSERT INTO " + table + " DEFAULT VALUES";
        } else {
            std::string cols, marks;
            int index = 1;
            for (const auto& [name, v] : pending_) {
                cols += (cols.empty() ? "" : ", ") + dialect::serverName(name);
                marks += (marks.empty() ? "$" : ", $") + std::to_string(index++);
            }
            sql = "INSERT INTO " + table + " (" + cols + ") VALUES (" + marks + ")";
        }
    } else {
        if (pending_.empty()) {
            state_ = State::Browse;
            return;
        }
        std::string set;
        int index = 1;
        for (const auto& [name, v] : pending_)
            set += (set.empty() ? "" : ", ") + dialect::serverName(name) + " = $" + std::to_string(index++);
        sql = "UPDATE " + table + " SET " + set + " WHERE " + serverKey_ + " = $" + std::to_string(index);
        values.push_back(serverKeyAt_);
    }
    sql += " RETURNING " + serverKey_ + "::text, *";
    PgResult row = serverExec(folder_, sql, values); // the row stays in edit or append mode on failure
    if (PQntuples(row.get()) == 0)
        throw EngineError("The row of " + fileName() + " being edited has been deleted by another workstation");
    serverTakeRow(row.get(), 0);
    serverPage_.clear();
    serverPageKeys_.clear();
    state_ = State::Browse;
    pending_.clear();
}

void Table::serverRemove()
{
    serverRequireSession();
    serverExec(folder_, "DELETE FROM " + dialect::serverName(name_) + " WHERE " + serverKey_ + " = $1", {serverKeyAt_});
    const std::string after = serverKeyAt_;
    serverLoadPage(&after);
}

} // namespace engine
