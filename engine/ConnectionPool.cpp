#include "engine/ConnectionPool.h"
#include "engine/Sqlite.h"

#include <algorithm>
#include <mutex>
#include <unordered_map>
#include <vector>

namespace engine::detail {

namespace {

struct Kept {
    std::string path;
    FileIdentity identity;
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
                if (exists && it->identity == now && !found.db) {
                    found = std::move(it->connection);
                    identities_[found.db] = it->identity;
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
        FileIdentity identity;
        if (identityOf(path, identity)) {
            std::lock_guard guard(mutex_);
            identities_[opened.db] = identity;
        }
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
        bool keep = false;
        {
            std::lock_guard guard(mutex_);
            const auto identity = identities_.find(connection.db);
            if (identity != identities_.end()) {
                keep = idle && writable;
                if (keep) {
                    kept_.push_back({path, identity->second, std::move(connection)});
                    while (kept_.size() > kMaxKept) {
                        evicted.push_back(std::move(kept_.front()));
                        kept_.erase(kept_.begin());
                    }
                }
                identities_.erase(identity);
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
    // The file each connection in use was opened on, to tell a replaced file when it is kept.
    std::unordered_map<sqlite3*, FileIdentity> identities_;
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

void closeConnection(Connection& connection)
{
    for (auto& [sql, stmt] : connection.statements)
        sqlite3_finalize(stmt);
    connection.statements.clear();
    closeDb(connection.db);
}

void closeKeptConnections()
{
    pool().closeAll();
}

} // namespace engine::detail
