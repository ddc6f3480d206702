#include "engine/ServerUpgrade.h"

#include "engine/Dialect.h"
#include "engine/Pg.h"

#include <algorithm>

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

bool upgradeServerTables(const std::string& location, const std::vector<ServerTableDef>& tables,
                         const std::vector<ServerTablesStep>& steps, int version)
{
    // Nearly always the database is up to date: a look first, outside any transaction, and a
    // database that is needs no lock.
    const auto upToDate = [&](int found) {
        return found >= version && std::none_of(tables.begin(), tables.end(), [&](const ServerTableDef& table) {
                   return tableMissing(location, table.name);
               });
    };
    const int found = serverSchemaVersion(location);
    if (found == 0 || upToDate(found))
        return false;

    ServerTransaction transaction(location);
    // The lock the tables are first made under: one workstation upgrades, the others wait.
    detail::serverExec(location, "SELECT pg_advisory_xact_lock(hashtext('dovra_schema'))");
    const int recorded = serverSchemaVersion(location); // another may have done it meanwhile
    if (upToDate(recorded))
        return false;
    for (const ServerTablesStep& step : steps) {
        if (step.version <= recorded)
            continue;
        for (const std::string& sql : step.serverSql)
            detail::serverExecText(location, sql);
    }
    for (const ServerTableDef& table : tables) {
        if (tableMissing(location, table.name))
            detail::makeServerTable(location, table);
    }
    if (recorded < version)
        detail::serverExec(location, "INSERT INTO dovra_schema (version) VALUES ($1)", {std::int64_t(version)});
    transaction.commit();
    return true;
}

} // namespace engine
