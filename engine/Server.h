// Tables on a PostgreSQL server. Wherever the program addresses tables by a folder, it may
// name a server database instead, by a libpq connection URI such as
// "postgresql://clerk@db.office:5432/dovra?sslmode=prefer": tables (Table, Query,
// MultiTableWrite, createTable, tableFileState, ...) then live in that database, and their
// SQL is translated in one place (engine/Dialect.h). A location never holds a password: libpq
// reads it from ~/.pgpass or the PG* environment.
#pragma once

#include "engine/Engine.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace engine {

// Whether a location names a server database rather than a folder.
bool isServerLocation(std::string_view location);

// The parts of a server location as the settings keep them.
struct ServerParams {
    std::string host;
    int port = 5432;
    std::string database;
    std::string user;
    std::string sslmode = "prefer"; // "require" where the office wants TLS or nothing
};
std::string serverLocation(const ServerParams& params);
// The parameters a location names (libpq's own reading of it); missing ones at their defaults.
ServerParams serverParamsOf(const std::string& location);

// Tables kept in a schema of their own on a server database (an address database, say): the
// location of the database whose connections search that schema only, so that every statement
// names its tables as it would in a folder. schema: lower-case ASCII letters, digits and "_".
// The schema travels in the location as libpq's "options" parameter
// ("...&options=-csearch_path%3Daddressbook_3"); a password given for the database's own
// location serves the schema's locations too.
std::string serverSchemaLocation(const std::string& location, const std::string& schema);
// The schema a location searches; empty for the database's own tables.
std::string serverSchemaOf(const std::string& location);
// The location without its schema: the database's own tables.
std::string serverDatabaseLocation(const std::string& location);

// The server and database a location names, for messages: "db.office:5432, database dovra".
std::string describeServer(const std::string& location);

// Connects to the server once: empty when it answers, else the reason it does not.
std::string testServerConnection(const std::string& location);

// The server asked for a password and none was known (none given, none in ~/.pgpass or PGPASSWORD),
// or the one given was refused.
class ServerPasswordError : public EngineError {
public:
    using EngineError::EngineError;
};

// What one connection to the server found: its version ("16.4") when it answered, else the
// reason it did not, and whether that reason is a password it asked for.
struct ServerConnectionCheck {
    std::string error;
    bool needsPassword = false;
    std::string version;
};
ServerConnectionCheck checkServerConnection(const std::string& location);

// The password for a location, kept in this process's memory only (never written anywhere) and
// given to the server with every new connection to it; empty forgets it. Without one, libpq
// looks in ~/.pgpass and the PG* environment.
void setServerPassword(const std::string& location, const std::string& password);

// The connections this thread keeps to servers are closed (the next use connects again).
void disconnectServers();

// A table of the program as it is made on a server.
struct ServerTableDef {
    std::string name;
    std::string definition;
    std::vector<IndexDef> indexes;
    std::vector<std::string> seedSql;
    // Statements in the server's own SQL, run as written once the table is made: the
    // functions that work on it.
    std::vector<std::string> serverSql;
};

// The version of the program's tables a server database holds: 0 when it holds none.
int serverSchemaVersion(const std::string& location);

// Makes every table on an empty server database in one transaction, with the row that
// records the tables' version (table dovra_schema), so that a database is either ready
// or untouched. Returns false, changing nothing, when the database holds the program's
// tables already; another workstation making them at the same moment waits, then finds them.
// inOpenTransaction: made within the transaction open on this thread's connection to location
// (a MultiTableWrite), committed or rolled back with it.
bool createServerTables(const std::string& location, const std::vector<ServerTableDef>& tables, int version,
                        bool inOpenTransaction = false);

// A transaction on this thread's connection to location, rolled back unless committed; the
// roll-back never connects anew, so it is safe while the server is away. commit throws when
// the server did not commit.
class ServerTransaction {
public:
    explicit ServerTransaction(const std::string& location);
    ~ServerTransaction();
    ServerTransaction(const ServerTransaction&) = delete;
    ServerTransaction& operator=(const ServerTransaction&) = delete;
    void commit();

private:
    std::string location_;
    bool done_ = false;
};

// The change that brings a server database's tables from the version before to version:
// statements in the server's own SQL (see upgradeServerTables in engine/ServerUpgrade.h).
struct ServerTablesStep {
    int version;
    std::vector<std::string> serverSql;
};


// Runs one statement text on the server as written, without translation (tests, set-up).
void runOnServer(const std::string& location, const std::string& sql);

// Runs one statement in the server's own SQL, with values bound to $1, $2, ...; the first
// row of its result, if any. Outside a transaction the statement is one of its own: the server
// commits it before it answers, so a statement that does a whole job (a function of the
// tables') costs one round trip. Throws the engine's error kinds (see Pg.h).
std::optional<std::vector<Value>> firstRowOnServer(const std::string& location, const std::string& sql,
                                                   const std::vector<Value>& values = {});

// Whether a table handle of this process holds the table exclusively. The server's lock is the
// connection's, which this thread's own statements would pass.
bool heldExclusivelyHere(const std::string& location, const std::string& table);
// The name of the server's advisory lock (by hashtext) that an exclusive open of a table
// holds: "dovra table mailernum". The server's own functions that work on the table take it too.
std::string serverTableLockName(const std::string& table);

} // namespace engine
