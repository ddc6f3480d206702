// Small helpers around the SQLite C interface, private to the engine.
#pragma once

#include "engine/Engine.h"

#include <sqlite3.h>
#include <string>

namespace engine::detail {

[[noreturn]] void fail(sqlite3* db, const std::string& context);
[[noreturn]] void failCode(int code, const std::string& message, const std::string& context);

// Opens a table file read-write (read-only where the file is write protected), with the
// rollback journal, full sync and the engine's wait for other workstations.
sqlite3* openFile(const std::string& path, bool create);
void exec(sqlite3* db, const std::string& sql, const std::string& context);
void closeDb(sqlite3*& db);
std::string quoteIdent(const std::string& name);
bool fileExists(const std::string& path);
// See FileIdentity in Engine.h.
bool identityOf(const std::string& path, FileIdentity& identity);
// The table's own file name in the folder: the exact name, else one that differs in case.
std::string findTableFile(const std::string& folder, const std::string& table);
Value columnValue(sqlite3_stmt* stmt, int column);
// A hidden name beside the table's file under which a new file of it is built.
std::string buildingName(const std::string& folder, const std::string& table);
// Puts a file built under buildingName in place, written to disk, never replacing a file there;
// removes it on failure.
void placeBuiltTable(const std::string& built, const std::string& folder, const std::string& table);
void bindValue(sqlite3_stmt* stmt, int index, const Value& value);

} // namespace engine::detail
