#include "engine/ServerBytes.h"

#include "engine/Dialect.h"
#include "engine/Pg.h"

#include <cstdlib>

namespace engine {

int runWithBytes(const std::string& location, const std::string& sql, const std::vector<Value>& values,
                 const std::vector<bool>& asBytes)
{
    const detail::PgResult result = detail::serverExec(location, dialect::serverSql(sql), values, asBytes);
    return std::atoi(PQcmdTuples(result.get()));
}

} // namespace engine
