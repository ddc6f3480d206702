#include "engine/TableCopy.h"
#include "engine/Sqlite.h"

#include <unistd.h>

namespace engine {

using namespace detail;

void copyTable(const std::string& folder, const std::string& table, const std::string& toFolder)
{
    const std::string from = findTableFile(folder, table);
    if (from.empty())
        throw EngineError("The table " + tableFile(folder, table) + " does not exist");
    if (fileExists(tableFile(toFolder, table)))
        throw EngineError("The table " + tableFile(toFolder, table) + " already exists");
    // Built under a hidden name and put in place whole, so that a crash leaves no part of a copy.
    const std::string built = buildingName(toFolder, table);
    sqlite3* source = openFile(from, false);
    sqlite3* copy = nullptr;
    try {
        copy = openFile(built, true);
        sqlite3_backup* backup = sqlite3_backup_init(copy, "main", source, "main");
        if (!backup)
            fail(copy, built);
        const int rc = sqlite3_backup_step(backup, -1);
        sqlite3_backup_finish(backup);
        if (rc != SQLITE_DONE)
            failCode(rc, sqlite3_errstr(rc), from);
    } catch (...) {
        closeDb(copy);
        closeDb(source);
        ::unlink(built.c_str());
        ::unlink((built + "-journal").c_str());
        throw;
    }
    closeDb(copy);
    closeDb(source);
    placeBuiltTable(built, toFolder, table);
}

} // namespace engine
