#include "core/datamodule/AddressDatabases.h"
#include "core/datamodule/Schemas.h"
#include "core/datamodule/TdmDovraPro.h"
#include "engine/Engine.h"
#include "engine/Query.h"
#include "engine/Server.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cstring>
#include <optional>

void createAddressDatabaseTables(const QString& folder)
{
    dmDovraPro->CreateTable(folder, "Address", schema::Address);
    dmDovraPro->CreateTable(folder, "Groups", schema::Groups);
    dmDovraPro->CreateTable(folder, "Members", schema::Members);
}

bool IsAddressDatabase(const QString& folder)
{
    for (const char* table : kAddressBookTables)
        if (!engine::tableExists(folder.toStdString(), table))
            return false;
    return true;
}

QString databaseNameRefusal(const QString& parentFolder, const QString& name)
{
    const QString trimmed = name.trimmed();
    const bool separators = trimmed.contains('/') || trimmed.contains('\\');
    bool control = false;
    for (QChar c : trimmed)
        control = control || c.unicode() < 32;
    if (trimmed.isEmpty() || trimmed == "." || trimmed == ".." || separators || control ||
        trimmed.toUtf8().size() > 255)
        return "\"" + name +
               "\" is not a valid name for a database. The name becomes the name of a folder: it may "
               "not contain \"/\" or \"\\\" and may not be \".\" or \"..\".";
    if (QFileInfo::exists(QDir(parentFolder).filePath(trimmed)))
        return "A folder named \"" + trimmed + "\" already exists in " + parentFolder +
               ". Please enter another name for the new database.";
    return QString();
}

QStringList deleteAddressDatabaseFiles(const QString& folder)
{
    QStringList left;
    for (const char* table : kAddressBookTables) {
        const QString file = QString::fromStdString(engine::tableFile(folder.toStdString(), table));
        QFile::remove(file);
        for (const char* companion : {"-journal", ".lck"})
            QFile::remove(file + companion);
        if (QFileInfo::exists(file))
            left << file;
    }
    return left;
}

QString parentFolderOf(const QString& folder)
{
    QString path = QDir::cleanPath(folder);
    const qsizetype slash = path.lastIndexOf('/');
    if (slash <= 0)
        return "/";
    return path.left(slash);
}

// ---- address databases on a database server ------------------------------------------------

namespace {

constexpr const char* kSchemaPrefix = "addressbook_";

std::string officeOf(const QString& location)
{
    return engine::serverDatabaseLocation(location.toStdString());
}

struct SchemaRow {
    std::string schema;
    QString name;
};

std::vector<SchemaRow> addressSchemas(const std::string& office)
{
    engine::Query q;
    q.setFolder(office);
    q.setSql(std::string("select nspname as schema_name, obj_description(oid, 'pg_namespace') as db_name "
                         "from pg_namespace where nspname ~ '^") +
             kSchemaPrefix + "[0-9]+$'");
    q.open();
    std::vector<SchemaRow> rows;
    for (; !q.eof(); q.next()) {
        const std::string schema = q.asString("schema_name");
        const QString name =
            q.isNull("db_name") ? QString::fromStdString(schema) : QString::fromStdString(q.asString("db_name"));
        rows.push_back({schema, name});
    }
    return rows;
}

QString nameRefusalOf(const std::vector<SchemaRow>& taken, const QString& name)
{
    const QString invalid = databaseNameRefusal(QStringLiteral("/nonexistent-folder-for-names"), name);
    if (!invalid.isEmpty())
        return invalid;
    const std::string wanted = name.trimmed().toStdString();
    for (const SchemaRow& row : taken)
        if (engine::equalNoCase(row.name.toStdString(), wanted))
            return "An address database named \"" + row.name +
                   "\" already exists on the database server. Please enter another name for the new database.";
    return {};
}

} // namespace

bool isServerAddressDatabase(const QString& location)
{
    const std::string where = location.toStdString();
    return engine::isServerLocation(where) && !engine::serverSchemaOf(where).empty();
}

std::vector<ServerAddressDatabase> serverAddressDatabases(const QString& location)
{
    const std::string office = officeOf(location);
    std::vector<ServerAddressDatabase> databases;
    for (const SchemaRow& row : addressSchemas(office))
        databases.push_back({row.name, QString::fromStdString(engine::serverSchemaLocation(office, row.schema))});
    std::sort(databases.begin(), databases.end(), [](const auto& a, const auto& b) {
        const int order = a.name.compare(b.name, Qt::CaseInsensitive);
        return order != 0 ? order < 0 : a.location < b.location;
    });
    return databases;
}

QString serverDatabaseNameRefusal(const QString& location, const QString& name)
{
    return nameRefusalOf(addressSchemas(officeOf(location)), name);
}

QString createServerAddressDatabase(const QString& location, const QString& name, bool inOpenTransaction)
{
    const std::string office = officeOf(location);
    std::optional<engine::ServerTransaction> work;
    if (!inOpenTransaction)
        work.emplace(office);
    // Two workstations making databases at once: the second waits here, then sees the first's.
    engine::runOnServer(office, "SELECT pg_advisory_xact_lock(hashtext('dovra address databases'))");
    const std::vector<SchemaRow> taken = addressSchemas(office);
    if (const QString refusal = nameRefusalOf(taken, name); !refusal.isEmpty())
        throw engine::EngineError(refusal.toStdString());
    int number = 0;
    for (const SchemaRow& row : taken)
        number = std::max(number, std::atoi(row.schema.c_str() + std::strlen(kSchemaPrefix)));
    const std::string schema = kSchemaPrefix + std::to_string(number + 1);
    engine::runOnServer(office, "CREATE SCHEMA " + schema);
    engine::runOnServer(office, "COMMENT ON SCHEMA " + schema + " IS " + engine::quoted(name.trimmed().toStdString()));
    // The tables are made in the new schema, within this transaction.
    engine::runOnServer(office, "SET LOCAL search_path = " + schema);
    std::vector<engine::ServerTableDef> tables;
    const char* const definitions[3] = {schema::Address, schema::Groups, schema::Members};
    for (int i = 0; i < 3; ++i)
        tables.push_back({kAddressBookTables[i], definitions[i], TdmDovraPro::TableIndexes(kAddressBookTables[i]), {}});
    engine::createServerTables(office, tables, ServerAddressDatabaseVersion, true);
    if (work)
        work->commit();
    return QString::fromStdString(engine::serverSchemaLocation(office, schema));
}

void deleteServerAddressDatabase(const QString& location)
{
    const std::string where = location.toStdString();
    const std::string schema = engine::serverSchemaOf(where);
    if (schema.rfind(kSchemaPrefix, 0) != 0)
        throw engine::EngineError("The location " + where + " names no address database on the server");
    engine::runOnServer(engine::serverDatabaseLocation(where), "DROP SCHEMA IF EXISTS " + schema + " CASCADE");
}

QString serverAddressDatabaseName(const QString& location)
{
    const std::string where = location.toStdString();
    const std::string schema = engine::serverSchemaOf(where);
    try {
        for (const SchemaRow& row : addressSchemas(engine::serverDatabaseLocation(where)))
            if (row.schema == schema)
                return row.name;
    } catch (const engine::EngineError&) {
    }
    return QString::fromStdString(schema);
}

QString addressDatabaseCaption(const QString& location)
{
    if (!isServerAddressDatabase(location))
        return location;
    return serverAddressDatabaseName(location) + " on " +
           QString::fromStdString(engine::describeServer(location.toStdString()));
}
