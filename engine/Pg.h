// Small helpers around libpq, private to the engine.
#pragma once

#include "engine/Engine.h"
#include "engine/RowSource.h"

#include <libpq-fe.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace engine {
struct ServerTableDef;
}

namespace engine::detail {

struct ResultDeleter {
    void operator()(PGresult* r) const { PQclear(r); }
};
using PgResult = std::unique_ptr<PGresult, ResultDeleter>;

// This thread's connection to the server database of location, made on first use and made
// again when the server dropped it. Its lock wait follows the engine's (lockWaitMs).
PGconn* serverConnection(const std::string& location);
// Makes a table of the program's on the server, with its indexes, seed rows and the server's
// own statements that go with it (see ServerTableDef), on the open transaction.
void makeServerTable(const std::string& location, const ServerTableDef& table);
// Rolls back the transaction open on this thread's connection to location, if any. Never
// connects anew (a new connection has nothing to roll back) and never throws, so that it
// serves destructors and error paths while the server is away.
void rollbackServer(const std::string& location) noexcept;
// Which of this thread's connections to location serves now (made if need be): a lock or a
// transaction begun on one is gone when another serves, as the server dropped the first.
std::uint64_t serverSession(const std::string& location);

// Runs sql (already in the server's dialect) with values bound to $1, $2, ...; those marked in
// asBytes (a std::string each) go as the bytes they hold (a bytea), the others as text. Throws
// the engine's error kinds: UniqueKeyError, BusyError (a lock not granted within the wait),
// EngineError naming the server otherwise.
PgResult serverExec(const std::string& location, const std::string& sql, const std::vector<Value>& values = {},
                    const std::vector<bool>& asBytes = {});
// Several statements in one text (no values); the result of the last.
PgResult serverExecText(const std::string& location, const std::string& sql);

// Commits the transaction open on the thread's connection to location. A transaction that a
// failed statement ended is not committed: the server rolls it back, and this throws.
void serverCommit(const std::string& location);

// A value of the result as the engine reads values: booleans and whole numbers as integers.
Value serverValue(const PGresult* result, int row, int column);

// The names of a result's columns, and the kinds the engine tells apart by them.
void serverColumns(const PGresult* result, std::vector<std::string>& names, std::vector<RowSource::Kind>& kinds);

// The engine's table operations where the location is a server (see Engine.cpp).
TableCheck checkServerTable(const std::string& location, const std::string& table);
void createServerTable(const std::string& location, const std::string& table, std::string_view definition,
                       const std::vector<IndexDef>& indexes, const std::vector<std::string>& seedSql);
void addServerIndex(const std::string& location, const std::string& table, const IndexDef& index);
bool hasServerIndex(const std::string& location, const std::string& table, const std::string& index);

} // namespace engine::detail
