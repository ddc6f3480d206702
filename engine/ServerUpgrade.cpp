#include "engine/ServerUpgrade.h"

#include "engine/Dialect.h"
#include "engine/Pg.h"

#include <cstdlib>

namespace engine {

namespace {

bool truth(const detail::PgResult& result)
{
    return PQgetvalue(result.get(), 0, 0)[0] == 't';
}

bool tableMissing(const std::string& location, const std::string& table)
{
    return !truth(detail::serverExec(location, "SELECT to_regclass($1) IS NOT NULL", {dialect::serverName(table)}));
}

} // namespace

std::vector<std::string> addMissingServerTables(const std::string& location, const std::vector<ServerTableDef>& tables,
                                                int version)
{
    // A look first, outside any transaction: a database that has every table is not locked.
    if (!truth(detail::serverExec(location, "SELECT to_regclass('dovra_schema') IS NOT NULL")))
        return {};
    bool complete = true;
    for (const ServerTableDef& table : tables)
        complete = complete && !tableMissing(location, table.name);
    if (complete)
        return {};

    detail::serverExec(location, "BEGIN");
    std::vector<std::string> made;
    try {
        // The lock the tables are first made under: one workstation makes them, the others wait.
        detail::serverExec(location, "SELECT pg_advisory_xact_lock(hashtext('dovra_schema'))");
        for (const ServerTableDef& table : tables) {
            if (!tableMissing(location, table.name))
                continue;
            for (const std::string& sql : dialect::serverCreateTable(table.name, parseDefinition(table.definition)))
                detail::serverExec(location, sql);
            for (const IndexDef& index : table.indexes)
                detail::serverExec(location, dialect::serverCreateIndex(table.name, index));
            for (const std::string& sql : table.seedSql)
                detail::serverExecText(location, dialect::serverSql(sql));
            made.push_back(table.name);
        }
        const int recorded = std::atoi(
            PQgetvalue(detail::serverExec(location, "SELECT coalesce(max(version), 0) FROM dovra_schema").get(), 0, 0));
        if (!made.empty() && recorded < version)
            detail::serverExec(location, "INSERT INTO dovra_schema (version) VALUES ($1)", {std::int64_t(version)});
        detail::serverCommit(location);
    } catch (...) {
        PQclear(PQexec(detail::serverConnection(location), "ROLLBACK"));
        throw;
    }
    return made;
}

} // namespace engine
