#include "engine/Server.h"
#include "engine/Dialect.h"
#include "engine/Pg.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <mutex>
#include <optional>

namespace engine {

namespace {

constexpr unsigned kBoolOid = 16, kInt8Oid = 20, kInt2Oid = 21, kInt4Oid = 23, kOidOid = 26, kFloat4Oid = 700,
                   kFloat8Oid = 701, kNumericOid = 1700, kVarcharOid = 1043, kBpcharOid = 1042, kTimestampOid = 1114;

// The connections of one thread, one per server location, closed when the thread ends.
struct KeptServers {
    struct Kept {
        PGconn* conn = nullptr;
        int lockWaitMs = -1;
        std::uint64_t session = 0;
    };
    std::map<std::string, Kept> byLocation;
    ~KeptServers() { closeAll(); }
    void closeAll()
    {
        for (auto& [location, kept] : byLocation)
            PQfinish(kept.conn);
        byLocation.clear();
    }
};

thread_local KeptServers t_servers;
std::atomic<std::uint64_t> g_sessions{0};

// The server's message as one line: libpq breaks its longer texts with a newline and a tab.
std::string trimmedMessage(const char* text)
{
    std::string s;
    for (const char* c = text ? text : ""; *c; ++c) {
        const bool blank = *c == '\n' || *c == '\t' || *c == ' ' || *c == '\r';
        if (!blank)
            s += *c;
        else if (!s.empty() && s.back() != ' ')
            s += ' ';
    }
    while (!s.empty() && s.back() == ' ')
        s.pop_back();
    return s;
}

std::string conninfoValue(PQconninfoOption* options, const char* key)
{
    for (PQconninfoOption* o = options; o && o->keyword; ++o)
        if (std::string_view(o->keyword) == key && o->val)
            return o->val;
    return {};
}

// Encodes a part of a connection URI (RFC 3986 unreserved characters stay as they are).
std::string uriPart(const std::string& text)
{
    std::string out;
    for (unsigned char c : text) {
        if (std::isalnum(c) || c == '-' || c == '.' || c == '_' || c == '~') {
            out += static_cast<char>(c);
        } else {
            char buf[4];
            std::snprintf(buf, sizeof buf, "%%%02X", c);
            out += buf;
        }
    }
    return out;
}

[[noreturn]] void failResult(const std::string& location, PGconn* conn, const PGresult* result)
{
    const char* state = result ? PQresultErrorField(result, PG_DIAG_SQLSTATE) : nullptr;
    const std::string sqlState = state ? state : "";
    std::string message = trimmedMessage(result ? PQresultErrorMessage(result) : PQerrorMessage(conn));
    if (message.empty())
        message = trimmedMessage(PQerrorMessage(conn));
    const std::string where = " (database server " + describeServer(location) + ")";
    if (sqlState == "23505")
        throw UniqueKeyError(message + where);
    // A lock not granted within the wait, a deadlock, a transaction that lost a race.
    if (sqlState == "55P03" || sqlState == "40P01" || sqlState == "40001")
        throw BusyError(message + where);
    if (PQstatus(conn) != CONNECTION_OK || sqlState.rfind("08", 0) == 0 || sqlState.rfind("57P", 0) == 0)
        throw EngineError("The database server " + describeServer(location) +
                          " cannot be reached or dropped the connection: " + message);
    throw EngineError(message + where);
}

bool succeeded(const PGresult* result)
{
    const auto status = PQresultStatus(result);
    return status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK || status == PGRES_EMPTY_QUERY;
}

std::string valueText(const Value& value, bool& isNull)
{
    isNull = false;
    if (auto i = std::get_if<std::int64_t>(&value))
        return std::to_string(*i);
    if (auto d = std::get_if<double>(&value)) {
        char buf[64];
        std::snprintf(buf, sizeof buf, "%.17g", *d);
        return buf;
    }
    if (auto s = std::get_if<std::string>(&value))
        return *s;
    isNull = true;
    return {};
}

} // namespace

bool isServerLocation(std::string_view location)
{
    return location.rfind("postgresql://", 0) == 0 || location.rfind("postgres://", 0) == 0;
}

std::string serverLocation(const ServerParams& params)
{
    std::string uri = "postgresql://";
    if (!params.user.empty())
        uri += uriPart(params.user) + "@";
    const bool ipv6 = params.host.find(':') != std::string::npos;
    uri += ipv6 ? "[" + params.host + "]" : uriPart(params.host);
    if (params.port > 0)
        uri += ":" + std::to_string(params.port);
    uri += "/" + uriPart(params.database);
    uri += "?sslmode=" + uriPart(params.sslmode.empty() ? std::string("prefer") : params.sslmode);
    return uri;
}

void detail::serverColumns(const PGresult* result, std::vector<std::string>& names, std::vector<RowSource::Kind>& kinds)
{
    for (int i = 0, n = PQnfields(result); i < n; ++i) {
        names.emplace_back(PQfname(result, i));
        switch (PQftype(result, i)) {
        case kBoolOid:
            kinds.push_back(RowSource::Kind::Logical);
            break;
        case kTimestampOid:
            kinds.push_back(RowSource::Kind::TimeStamp);
            break;
        case kVarcharOid:
        case kBpcharOid:
            kinds.push_back(RowSource::Kind::Char);
            break;
        default:
            kinds.push_back(RowSource::Kind::Other);
        }
    }
}

ServerParams serverParamsOf(const std::string& location)
{
    ServerParams params;
    char* error = nullptr;
    PQconninfoOption* options = PQconninfoParse(location.c_str(), &error);
    if (!options) {
        PQfreemem(error);
        return params;
    }
    params.host = conninfoValue(options, "host");
    if (params.host.empty())
        params.host = conninfoValue(options, "hostaddr");
    if (const std::string port = conninfoValue(options, "port"); !port.empty())
        params.port = std::atoi(port.c_str());
    params.database = conninfoValue(options, "dbname");
    params.user = conninfoValue(options, "user");
    if (const std::string mode = conninfoValue(options, "sslmode"); !mode.empty())
        params.sslmode = mode;
    PQconninfoFree(options);
    return params;
}

namespace {

constexpr std::string_view kOptionsKey = "options=";
constexpr std::string_view kSearchPathOption = "-csearch_path%3D";

// Where the "options=" parameter of a location's query starts, npos when it has none.
size_t optionsAt(const std::string& location)
{
    const size_t query = location.find('?');
    if (query == std::string::npos)
        return std::string::npos;
    for (size_t at = query + 1; at < location.size();) {
        if (std::string_view(location).substr(at, kOptionsKey.size()) == kOptionsKey)
            return at;
        const size_t next = location.find('&', at);
        if (next == std::string::npos)
            break;
        at = next + 1;
    }
    return std::string::npos;
}

} // namespace

std::string serverDatabaseLocation(const std::string& location)
{
    const size_t at = optionsAt(location);
    if (at == std::string::npos)
        return location;
    const size_t end = location.find('&', at);
    std::string rest = location.substr(0, at);
    if (end != std::string::npos)
        rest += location.substr(end + 1);
    while (!rest.empty() && (rest.back() == '&' || rest.back() == '?'))
        rest.pop_back();
    return rest;
}

std::string serverSchemaLocation(const std::string& location, const std::string& schema)
{
    const std::string base = serverDatabaseLocation(location);
    return base + (base.find('?') == std::string::npos ? "?" : "&") + std::string(kOptionsKey) +
           std::string(kSearchPathOption) + uriPart(schema);
}

std::string serverSchemaOf(const std::string& location)
{
    char* error = nullptr;
    PQconninfoOption* options = PQconninfoParse(location.c_str(), &error);
    if (!options) {
        PQfreemem(error);
        return {};
    }
    const std::string value = conninfoValue(options, "options");
    PQconninfoFree(options);
    constexpr std::string_view key = "search_path=";
    const size_t at = value.find(key);
    if (at == std::string::npos)
        return {};
    const size_t start = at + key.size();
    const size_t end = value.find(' ', start);
    return value.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

std::string describeServer(const std::string& location)
{
    char* error = nullptr;
    PQconninfoOption* options = PQconninfoParse(location.c_str(), &error);
    if (!options) {
        PQfreemem(error);
        return location;
    }
    std::string host = conninfoValue(options, "host");
    if (host.empty())
        host = conninfoValue(options, "hostaddr");
    const std::string port = conninfoValue(options, "port");
    const std::string database = conninfoValue(options, "dbname");
    PQconninfoFree(options);
    return (host.empty() ? std::string("localhost") : host) + (port.empty() ? "" : ":" + port) + ", database " +
           (database.empty() ? std::string("(default)") : database);
}

namespace {

// Passwords given for this session, by location: memory only.
std::mutex g_passwordsMutex;
std::map<std::string, std::string> g_passwords;

std::string passwordFor(const std::string& location)
{
    std::lock_guard lock(g_passwordsMutex);
    auto found = g_passwords.find(location);
    if (found == g_passwords.end())
        found = g_passwords.find(serverDatabaseLocation(location)); // a schema of that database
    return found == g_passwords.end() ? std::string() : found->second;
}

} // namespace

void setServerPassword(const std::string& location, const std::string& password)
{
    std::lock_guard lock(g_passwordsMutex);
    if (password.empty())
        g_passwords.erase(location);
    else
        g_passwords[location] = password;
}

namespace detail {

namespace {

PGconn* connect(const std::string& location)
{
    const std::string password = passwordFor(location);
    const char* keys[] = {"dbname",
                          "fallback_application_name",
                          "client_encoding",
                          "connect_timeout",
                          password.empty() ? nullptr : "password",
                          nullptr};
    const char* values[] = {location.c_str(), "dovra", "UTF8", "10", password.c_str(), nullptr};
    PGconn* conn = PQconnectdbParams(keys, values, 1);
    if (!conn)
        throw EngineError("The database server " + describeServer(location) + " cannot be reached: out of memory");
    if (PQstatus(conn) != CONNECTION_OK) {
        const std::string message = trimmedMessage(PQerrorMessage(conn));
        // No password known, or one refused (given here, or found in ~/.pgpass).
        const bool askedForPassword =
            PQconnectionNeedsPassword(conn) ||
            (PQconnectionUsedPassword(conn) && message.find("password authentication failed") != std::string::npos);
        PQfinish(conn);
        const std::string text = "The database server " + describeServer(location) + " cannot be reached: " + message;
        if (askedForPassword)
            throw ServerPasswordError(text);
        throw EngineError(text);
    }
    // The server's notices ("... already exists, skipping") are no business of the user's.
    PQsetNoticeProcessor(
        conn, [](void*, const char*) {}, nullptr);
    return conn;
}

} // namespace

void makeServerTable(const std::string& location, const ServerTableDef& table)
{
    for (const std::string& sql : dialect::serverCreateTable(table.name, parseDefinition(table.definition)))
        serverExec(location, sql);
    for (const IndexDef& index : table.indexes)
        serverExec(location, dialect::serverCreateIndex(table.name, index));
    for (const std::string& sql : table.seedSql)
        serverExecText(location, dialect::serverSql(sql));
    for (const std::string& sql : table.serverSql)
        serverExecText(location, sql);
}

void rollbackServer(const std::string& location) noexcept
{
    const auto found = t_servers.byLocation.find(location);
    if (found == t_servers.byLocation.end() || !found->second.conn)
        return;
    PGconn* conn = found->second.conn;
    if (PQstatus(conn) == CONNECTION_OK && PQtransactionStatus(conn) != PQTRANS_IDLE)
        PQclear(PQexec(conn, "ROLLBACK"));
}

PGconn* serverConnection(const std::string& location)
{
    auto& kept = t_servers.byLocation[location];
    // A server that restarted or shut down since the last use has told its idle clients so:
    // reading that notice marks the connection lost, and a new one is made at once.
    // (The first read takes the server's last message, the second finds the connection closed.)
    if (kept.conn && PQtransactionStatus(kept.conn) == PQTRANS_IDLE && PQconsumeInput(kept.conn))
        PQconsumeInput(kept.conn);
    if (kept.conn && PQstatus(kept.conn) != CONNECTION_OK) {
        PQfinish(kept.conn);
        kept.conn = nullptr;
    }
    if (!kept.conn) {
        kept.conn = connect(location);
        kept.lockWaitMs = -1;
        kept.session = ++g_sessions;
    }
    // A workstation waits for a row another holds as long as it waits for a table file.
    if (kept.lockWaitMs != lockWaitMs() && PQtransactionStatus(kept.conn) == PQTRANS_IDLE) {
        const std::string set = "SET lock_timeout = " + std::to_string(std::max(1, lockWaitMs()));
        PgResult result(PQexec(kept.conn, set.c_str()));
        if (!succeeded(result.get()))
            failResult(location, kept.conn, result.get());
        kept.lockWaitMs = lockWaitMs();
    }
    return kept.conn;
}

std::uint64_t serverSession(const std::string& location)
{
    serverConnection(location);
    return t_servers.byLocation[location].session;
}

PgResult serverExec(const std::string& location, const std::string& sql, const std::vector<Value>& values,
                    const std::vector<bool>& asBytes)
{
    PGconn* conn = serverConnection(location);
    std::vector<std::string> texts(values.size());
    std::vector<const char*> pointers(values.size());
    std::vector<int> lengths(values.size()), formats(values.size());
    for (size_t i = 0; i < values.size(); ++i) {
        const auto* bytes = i < asBytes.size() && asBytes[i] ? std::get_if<std::string>(&values[i]) : nullptr;
        if (bytes) {
            pointers[i] = bytes->data(); // as they are, without a copy or a text form
            lengths[i] = static_cast<int>(bytes->size());
            formats[i] = 1;
            continue;
        }
        bool isNull = false;
        texts[i] = valueText(values[i], isNull);
        pointers[i] = isNull ? nullptr : texts[i].c_str();
    }
    PgResult result(PQexecParams(conn, sql.c_str(), static_cast<int>(values.size()), nullptr, pointers.data(),
                                 lengths.data(), formats.data(), 0));
    if (!result || !succeeded(result.get()))
        failResult(location, conn, result.get());
    return result;
}

void serverCommit(const std::string& location)
{
    PgResult result = serverExec(location, "COMMIT");
    if (std::string_view(PQcmdStatus(result.get())) != "COMMIT")
        throw EngineError("The database server " + describeServer(location) +
                          " rolled the transaction back: a statement in it had failed");
}

PgResult serverExecText(const std::string& location, const std::string& sql)
{
    PGconn* conn = serverConnection(location);
    PgResult result(PQexec(conn, sql.c_str()));
    if (!result || !succeeded(result.get()))
        failResult(location, conn, result.get());
    return result;
}

Value serverValue(const PGresult* result, int row, int column)
{
    if (PQgetisnull(result, row, column))
        return std::monostate{};
    const char* text = PQgetvalue(result, row, column);
    switch (PQftype(result, column)) {
    case kBoolOid:
        return std::int64_t(text[0] == 't' ? 1 : 0);
    case kInt2Oid:
    case kInt4Oid:
    case kInt8Oid:
    case kOidOid:
        return static_cast<std::int64_t>(std::strtoll(text, nullptr, 10));
    case kFloat4Oid:
    case kFloat8Oid:
    case kNumericOid:
        return std::strtod(text, nullptr);
    default:
        return std::string(text, static_cast<size_t>(PQgetlength(result, row, column)));
    }
}

} // namespace detail

std::string testServerConnection(const std::string& location)
{
    try {
        detail::serverExec(location, "SELECT 1");
        return {};
    } catch (const EngineError& e) {
        return e.what();
    }
}

ServerConnectionCheck checkServerConnection(const std::string& location)
{
    ServerConnectionCheck check;
    try {
        auto version = detail::serverExec(location, "SHOW server_version");
        check.version = PQgetvalue(version.get(), 0, 0);
    } catch (const ServerPasswordError& e) {
        check.error = e.what();
        check.needsPassword = true;
    } catch (const EngineError& e) {
        check.error = e.what();
    }
    return check;
}

void disconnectServers()
{
    t_servers.closeAll();
}

int serverSchemaVersion(const std::string& location)
{
    auto exists = detail::serverExec(location, "SELECT to_regclass('dovra_schema') IS NOT NULL");
    if (PQgetvalue(exists.get(), 0, 0)[0] != 't')
        return 0;
    auto version = detail::serverExec(location, "SELECT coalesce(max(version), 0) FROM dovra_schema");
    return std::atoi(PQgetvalue(version.get(), 0, 0));
}

ServerTransaction::ServerTransaction(const std::string& location) : location_(location)
{
    detail::serverExec(location_, "BEGIN");
}

ServerTransaction::~ServerTransaction()
{
    if (!done_)
        detail::rollbackServer(location_);
}

void ServerTransaction::commit()
{
    done_ = true;
    detail::serverCommit(location_);
}

bool createServerTables(const std::string& location, const std::vector<ServerTableDef>& tables, int version,
                        bool inOpenTransaction)
{
    // Nearly always the tables are there: one look, without taking the lock every start.
    if (!inOpenTransaction && serverSchemaVersion(location) > 0)
        return false;
    std::optional<ServerTransaction> transaction;
    if (!inOpenTransaction)
        transaction.emplace(location);
    // Two workstations making the tables at once: the second waits here, then finds them.
    detail::serverExec(location, "SELECT pg_advisory_xact_lock(hashtext('dovra_schema'))");
    auto exists = detail::serverExec(location, "SELECT to_regclass('dovra_schema') IS NOT NULL");
    if (PQgetvalue(exists.get(), 0, 0)[0] == 't')
        return false;
    for (const std::string& sql : dialect::serverPreamble())
        detail::serverExec(location, sql);
    for (const ServerTableDef& table : tables)
        detail::makeServerTable(location, table);
    detail::serverExec(location, "CREATE TABLE dovra_schema (version integer NOT NULL, "
                                 "made timestamp(0) without time zone NOT NULL DEFAULT localtimestamp)");
    detail::serverExec(location, "INSERT INTO dovra_schema (version) VALUES ($1)", {std::int64_t(version)});
    if (transaction)
        transaction->commit();
    return true;
}

void runOnServer(const std::string& location, const std::string& sql)
{
    detail::serverExecText(location, sql);
}

std::optional<std::vector<Value>> firstRowOnServer(const std::string& location, const std::string& sql,
                                                   const std::vector<Value>& values)
{
    detail::PgResult result = detail::serverExec(location, sql, values);
    if (PQresultStatus(result.get()) != PGRES_TUPLES_OK || PQntuples(result.get()) == 0)
        return std::nullopt;
    std::vector<Value> row;
    for (int i = 0, n = PQnfields(result.get()); i < n; ++i)
        row.push_back(detail::serverValue(result.get(), 0, i));
    return row;
}

namespace detail {

// The engine's table operations on a server location (see Engine.cpp).
TableCheck checkServerTable(const std::string& location, const std::string& table)
{
    try {
        auto found = serverExec(location, "SELECT to_regclass($1) IS NOT NULL", {dialect::serverName(table)});
        return {PQgetvalue(found.get(), 0, 0)[0] == 't' ? TableFileState::Present : TableFileState::Missing, {}};
    } catch (const BusyError& e) {
        return {TableFileState::Busy, e.what()};
    } catch (const EngineError& e) {
        return {TableFileState::Unreadable, e.what()};
    }
}

void createServerTable(const std::string& location, const std::string& table, std::string_view definition,
                       const std::vector<IndexDef>& indexes, const std::vector<std::string>& seedSql)
{
    if (checkServerTable(location, table).state == TableFileState::Present)
        throw EngineError("The table " + table + " already exists on the database server " + describeServer(location));
    ServerTransaction transaction(location);
    for (const std::string& sql : dialect::serverPreamble())
        serverExec(location, sql);
    makeServerTable(location, {table, std::string(definition), indexes, seedSql, {}});
    transaction.commit();
}

void addServerIndex(const std::string& location, const std::string& table, const IndexDef& index)
{
    serverExec(location, dialect::serverCreateIndex(table, index));
}

bool hasServerIndex(const std::string& location, const std::string& table, const std::string& index)
{
    auto found = serverExec(location, "SELECT to_regclass($1) IS NOT NULL", {dialect::serverIndexName(table, index)});
    return PQgetvalue(found.get(), 0, 0)[0] == 't';
}

} // namespace detail

} // namespace engine
