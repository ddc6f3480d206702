// Connections to table files kept open after their table handle closes, with the statements
// prepared on them. A print run opens the counter and the log for every mailer; reusing the
// connection spares opening the file, reading its schema and preparing the same statements
// each time. SQLite itself notices changes other workstations make to a file between uses.
#pragma once

#include "engine/Engine.h"

#include <map>
#include <sqlite3.h>
#include <string>

namespace engine::detail {

using StatementCache = std::map<std::string, sqlite3_stmt*>;

struct Connection {
    sqlite3* db = nullptr;
    StatementCache statements;
    FileIdentity identity; // of the file when the connection was made
};

// A kept connection to the file at path when there is one and the path still names the same
// file, else a newly opened one (see openFile), with the engine's current wait applied.
Connection takeConnection(const std::string& path);
// Keeps the connection for the next open of path when it is idle and writable; closes it
// otherwise. Either way the caller's handles are cleared.
void releaseConnection(const std::string& path, Connection& connection);
// Closes a connection and finalizes its statements.
void closeConnection(Connection& connection);
// The statement of sql on db, prepared at its first use and kept in statements for the next;
// a failure names context.
sqlite3_stmt* keptStatement(sqlite3* db, StatementCache& statements, const std::string& sql,
                            const std::string& context);

} // namespace engine::detail
