#include "engine/ServerBytes.h"

#include "engine/Dialect.h"
#include "engine/Pg.h"
#include "engine/Server.h"

#include <cstdio>
#include <cstdlib>

namespace engine {

int runWithBytes(const std::string& location, const std::string& sql, const std::vector<Value>& values,
                 const std::vector<bool>& asBytes)
{
    PGconn* conn = detail::serverConnection(location);
    const size_t count = values.size();
    std::vector<std::string> texts(count);
    std::vector<const char*> pointers(count, nullptr);
    std::vector<int> lengths(count, 0), formats(count, 0);
    for (size_t i = 0; i < count; ++i) {
        const Value& value = values[i];
        if (auto s = std::get_if<std::string>(&value)) {
            pointers[i] = s->data();
            lengths[i] = static_cast<int>(s->size());
            formats[i] = i < asBytes.size() && asBytes[i] ? 1 : 0;
            if (!formats[i]) {
                texts[i] = *s; // text goes as a NUL-ended string
                pointers[i] = texts[i].c_str();
            }
        } else if (auto n = std::get_if<std::int64_t>(&value)) {
            texts[i] = std::to_string(*n);
            pointers[i] = texts[i].c_str();
        } else if (auto d = std::get_if<double>(&value)) {
            char buf[64];
            std::snprintf(buf, sizeof buf, "%.17g", *d);
            texts[i] = buf;
            pointers[i] = texts[i].c_str();
        }
    }
    detail::PgResult result(PQexecParams(conn, dialect::serverSql(sql).c_str(), static_cast<int>(count), nullptr,
                                         pointers.data(), lengths.data(), formats.data(), 0));
    const auto status = result ? PQresultStatus(result.get()) : PGRES_FATAL_ERROR;
    if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK)
        return std::atoi(PQcmdTuples(result.get()));
    std::string message = result ? PQresultErrorMessage(result.get()) : PQerrorMessage(conn);
    if (message.empty())
        message = PQerrorMessage(conn);
    while (!message.empty() && (message.back() == '\n' || message.back() == ' '))
        message.pop_back();
    if (PQstatus(conn) != CONNECTION_OK)
        throw EngineError("The database server " + describeServer(location) +
                          " cannot be reached or dropped the connection: " + message);
    throw EngineError(message + " (database server " + describeServer(location) + ")");
}

} // namespace engine
