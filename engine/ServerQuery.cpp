// The Query's statements on a server database: translated once (Dialect.h), run on the
// thread's connection to the server, their rows read as from the table files.
#include "engine/Dialect.h"
#include "engine/Pg.h"
#include "engine/Query.h"
#include "engine/Server.h"

namespace engine {

using namespace detail;

void closeServerRows(pg_result*& rows)
{
    PQclear(rows);
    rows = nullptr;
}

bool Query::onServer() const
{
    return isServerLocation(folder_);
}

void Query::serverLoadRow()
{
    eof_ = serverRow_ >= PQntuples(serverRows_);
    if (eof_)
        return;
    for (int i = 0; i < fieldCount(); ++i)
        row_[i] = serverValue(serverRows_, serverRow_, i);
}

void Query::serverOpen()
{
    PgResult result = serverExec(folder_, dialect::serverSql(sql_));
    std::vector<std::string> names;
    std::vector<Kind> kinds;
    if (PQresultStatus(result.get()) == PGRES_TUPLES_OK)
        serverColumns(result.get(), names, kinds);
    setColumns(std::move(names), std::move(kinds));
    columnsFile_.clear();
    serverRows_ = result.release();
    serverRow_ = 0;
    serverLoadRow();
}

int Query::serverExecSql()
{
    PgResult result = serverExecText(folder_, dialect::serverSql(sql_));
    const char* affected = PQcmdTuples(result.get());
    return affected && *affected ? std::atoi(affected) : 0;
}

int Query::serverExecEach(size_t rows, const std::function<void(size_t row, std::vector<Value>& values)>& valuesOf)
{
    const std::string sql = dialect::serverSql(sql_);
    serverExec(folder_, "BEGIN");
    int changes = 0;
    try {
        std::vector<Value> values;
        for (size_t row = 0; row < rows; ++row) {
            values.clear();
            valuesOf(row, values);
            PgResult result = serverExec(folder_, sql, values);
            const char* affected = PQcmdTuples(result.get());
            changes += affected && *affected ? std::atoi(affected) : 0;
        }
        serverCommit(folder_);
    } catch (...) {
        rollbackServer(folder_);
        throw;
    }
    return changes;
}

} // namespace engine
