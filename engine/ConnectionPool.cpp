#include "engine/ConnectionPool.h"
#include "engine/Sqlite.h"

#include <algorithm>
#include <mutex>
#include <vector>

namespace engine::detail {

namespace {

struct Kept {
    std::string path;
    Connection connection;
};

// A few files are in use at a time (the counter, the log, the address books); the oldest
// kept connection is closed when more are kept.
constexpr std::size_t kMaxKept = 16;

class Pool {
public:
    ~Pool() { closeAll(); }

    Connection take(const std::string& path)
    {
        FileIdentity now;
        const bool exists = identityOf(path, now);
        std::vector<Connection> stale;
        Connection found;
        {
            std::lock_guard guard(mutex_);
            for (auto it = kept_.begin(); it != kept_.end();) {
                if (it->path != path) {
                    ++it;
                    continue;
                }
                if (exists && it->connection.identity == now && !found.db) {
                    found = std::move(it->connection);
                } else {
                    stale.push_back(std::move(it->connection)); // the file was replaced or removed
                }
                it = kept_.erase(it);
            }
        }
        for (Connection& c : stale)
            closeConnection(c);
        if (found.db) {
            sqlite3_busy_timeout(found.db, lockWaitMs());
            return found;
        }
        Connection opened;
        opened.db = openFile(path, false);
        identityOf(path, opened.identity);
        return opened;
    }

    void release(const std::string& path, Connection& connection)
    {
        if (!connection.db)
            return;
        for (auto& [sql, stmt] : connection.statements)
            sqlite3_reset(stmt);
        bool idle = sqlite3_get_autocommit(connection.db) != 0;
        for (sqlite3_stmt* stmt = sqlite3_next_stmt(connection.db, nullptr); idle && stmt;
             stmt = sqlite3_next_stmt(connection.db, stmt))
            idle = !sqlite3_stmt_busy(stmt);
        const bool writable = sqlite3_db_readonly(connection.db, "main") == 0;
        std::vector<Kept> evicted;
        const bool keep = idle && writable && connection.identity != FileIdentity{};
        if (keep) {
            std::lock_guard guard(mutex_);
            kept_.push_back({path, std::move(connection)});
            while (kept_.size() > kMaxKept) {
                evicted.push_back(std::move(kept_.front()));
                kept_.erase(kept_.begin());
            }
        }
        for (Kept& k : evicted)
            closeConnection(k.connection);
        if (!keep)
            closeConnection(connection);
        connection = Connection{};
    }

    void closeAll()
    {
        std::vector<Kept> all;
        {
            std::lock_guard guard(mutex_);
            all.swap(kept_);
        }
        for (Kept& k : all)
            closeConnection(k.connection);
    }

private:
    std::mutex mutex_;
    std::vector<Kept> kept_;
};

Pool& pool()
{
    static Pool instance;
    return instance;
}

} // namespace

Connection takeConnection(const std::string& path)
{
    return pool().take(path);
}

void releaseConnection(const std::string& path, Connection& connection)
{
    pool().release(path, connection);
}

sqlite3_stmt* keptStatement(sqlite3* db, StatementCache& statements, const std::string& sql, const std::string& context)
{
    if (const auto found = statements.find(sql); found != statements.end())
        return found->second;
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v3(db, sql.c_str(), -1, SQLITE_PREPARE_PERSISTENT, &stmt, nullptr) != SQLITE_OK)
        fail(db, context);
    statements.emplace(sql, stmt);
    return stmt;
}

void closeConnection(Connection& connection)
{
    for (auto& [sql, stmt] : connection.statements)
        sqlite3_finalize(stmt);
    connection.statements.clear();
    closeDb(connection.db);
}

} // namespace engine::detail
