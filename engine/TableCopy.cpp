#include "engine/TableCopy.h"
#include "engine/Sqlite.h"

namespace engine {

using namespace detail;

void copyTable(const std::string& folder, const std::string& table, const std::string& toFolder)
{
    const std::string from = findTableFile(folder, table);
    if (from.empty())
        throw EngineError("The table " + tableFile(folder, table) + " does not exist");
    const std::string to = tableFile(toFolder, table);
    sqlite3* source = openFile(from, false);
    sqlite3* copy = nullptr;
    try {
        copy = openFile(to, true);
        sqlite3_backup* backup = sqlite3_backup_init(copy, "main", source, "main");
        if (!backup)
            fail(copy, to);
        const int rc = sqlite3_backup_step(backup, -1);
        sqlite3_backup_finish(backup);
        if (rc != SQLITE_DONE)
            failCode(rc, sqlite3_errstr(rc), from);
    } catch (...) {
        closeDb(copy);
        closeDb(source);
        throw;
    }
    closeDb(copy);
    closeDb(source);
}

} // namespace engine
