#include "core/datamodule/MoveAddressDatabases.h"

#include "core/datamodule/AddressDatabases.h"
#include "core/datamodule/MoveToServer.h"
#include "core/datamodule/Schemas.h"
#include "engine/MultiTableWrite.h"
#include "engine/Query.h"
#include "engine/Server.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

namespace {

const char* const kDefinitions[3] = {schema::Address, schema::Groups, schema::Members};

QString nameOf(const QString& folder)
{
    return QFileInfo(QDir::cleanPath(folder)).fileName();
}

// The server's database of that name regardless of letter case, if there is one.
const ServerAddressDatabase* sameName(const std::vector<ServerAddressDatabase>& onServer, const QString& name)
{
    for (const ServerAddressDatabase& d : onServer)
        if (engine::equalNoCase(d.name.toStdString(), name.toStdString()))
            return &d;
    return nullptr;
}

std::int64_t rowsOf(const QString& location)
{
    std::int64_t rows = 0;
    for (const char* table : kAddressBookTables)
        rows += CountRows(location.toStdString(), table);
    return rows;
}

// Copies one table of the folder into the write's table of that name, MoveBatchRows rows to a
// statement, keys as they are; the table's key then goes on after the highest one copied.
std::int64_t copyTable(engine::MultiTableWrite& write, const std::string& folder, const char* table,
                       const char* definition, const std::function<void(std::int64_t)>& copied)
{
    const auto fields = engine::parseDefinition(definition);
    std::vector<std::string> columnNames;
    std::string columns, order = " order by rowid";
    std::string key;
    for (size_t i = 0; i < fields.size(); ++i) {
        columnNames.push_back(fields[i].name);
        columns += (i ? ", " : "") + fields[i].name;
        if (fields[i].type == engine::FieldType::AutoInc) {
            key = fields[i].name;
            order = " order by " + key;
        }
    }
    engine::Query source;
    source.setFolder(folder);
    source.setSql("select " + columns + " from " + table + order);
    source.open();
    const std::int64_t rows = CopyQueryRows(write, source, table, columnNames, copied);
    source.close();
    if (!key.empty()) {
        std::string lowerTable = table, lowerKey = key;
        for (std::string* s : {&lowerTable, &lowerKey})
            std::transform(s->begin(), s->end(), s->begin(), [](unsigned char c) { return char(std::tolower(c)); });
        write.firstValue("select setval(pg_get_serial_sequence('" + lowerTable + "', '" + lowerKey +
                         "'), (select coalesce(max(" + key + "), 0) + 1 from " + table + "), false)");
    }
    return rows;
}

} // namespace

QStringList AddressDatabasesToMove(const QString& addressDB)
{
    if (addressDB.isEmpty() || engine::isServerLocation(addressDB.toStdString()))
        return {};
    const QString database = QDir::cleanPath(addressDB);
    QStringList found;
    const auto consider = [&found](const QString& folder) {
        if (!found.contains(folder) && IsAddressDatabase(folder))
            found << folder;
    };
    consider(database);
    for (const QString& around : {database, parentFolderOf(database)})
        for (const QString& name : QDir(around).entryList(QDir::Dirs | QDir::NoDotAndDotDot))
            consider(QDir(around).filePath(name));
    std::sort(found.begin(), found.end(), [](const QString& a, const QString& b) {
        const int order = nameOf(a).compare(nameOf(b), Qt::CaseInsensitive);
        return order != 0 ? order < 0 : a < b;
    });
    return found;
}

QString AddressDatabasesMoveRefusal(const QStringList& folders, const QString& location)
{
    const std::vector<ServerAddressDatabase> onServer = serverAddressDatabases(location);
    QStringList problems;
    for (qsizetype i = 0; i < folders.size(); ++i) {
        const QString name = nameOf(folders[i]);
        for (qsizetype j = 0; j < i; ++j)
            if (engine::equalNoCase(nameOf(folders[j]).toStdString(), name.toStdString()))
                problems
                    << QString("%1 and %2 would both be named \"%3\" on the server").arg(folders[j], folders[i], name);
        if (const ServerAddressDatabase* there = sameName(onServer, name))
            if (const std::int64_t rows = rowsOf(there->location); rows > 0)
                problems << QString("the server's address database \"%1\" holds %2 %3 already")
                                .arg(there->name)
                                .arg(rows)
                                .arg(rows == 1 ? "row" : "rows");
    }
    if (problems.isEmpty())
        return {};
    return "The address databases cannot be moved to the database server " +
           QString::fromStdString(engine::describeServer(location.toStdString())) + ": " + problems.join("; ") +
           ". Nothing has been copied. Rename the folder, or delete that database on the server, and move again.";
}

std::vector<TMovedAddressDatabase>
MoveAddressDatabasesToServer(const QStringList& folders, const QString& location,
                             const std::function<void(qint64 done, qint64 total)>& progress)
{
    if (const QString refusal = AddressDatabasesMoveRefusal(folders, location); !refusal.isEmpty())
        throw engine::EngineError(refusal.toStdString());
    const std::string office = engine::serverDatabaseLocation(location.toStdString());
    std::int64_t total = 0;
    for (const QString& folder : folders)
        for (const char* table : kAddressBookTables)
            total += CountRows(folder.toStdString(), table);
    std::int64_t before = 0;
    std::vector<TMovedAddressDatabase> moved;
    for (const QString& folder : folders) {
        TMovedAddressDatabase database{folder, nameOf(folder), {}, 0, 0, 0};
        try {
            engine::MultiTableWrite write({{office, "Address"}, {office, "Groups"}, {office, "Members"}});
            // The name is settled under the lock that new databases are made under.
            write.firstValue("select pg_advisory_xact_lock(hashtext('dovra address databases'))");
            const ServerAddressDatabase* there = nullptr;
            const std::vector<ServerAddressDatabase> onServer = serverAddressDatabases(location);
            there = sameName(onServer, database.name);
            if (there) {
                // Made there already, and empty (else refused above): filled now.
                database.location = there->location;
                write.run("set local search_path = " + engine::serverSchemaOf(there->location.toStdString()));
                std::int64_t rows = 0;
                for (const char* table : kAddressBookTables)
                    rows += CountValue(write.firstValue(std::string("select count(*) from ") + table));
                if (rows > 0)
                    throw engine::EngineError("the server's address database \"" + there->name.toStdString() +
                                              "\" holds rows already");
            } else {
                database.location = createServerAddressDatabase(location, database.name, true);
            }
            qint64* const counts[3] = {&database.addresses, &database.groups, &database.members};
            for (int i = 0; i < 3; ++i) {
                const char* table = kAddressBookTables[i];
                *counts[i] = copyTable(write, folder.toStdString(), table, kDefinitions[i], [&](std::int64_t done) {
                    if (progress)
                        progress(before + done, total);
                });
                before += *counts[i];
                const std::int64_t onServerRows =
                    CountValue(write.firstValue(std::string("select count(*) from ") + table));
                if (onServerRows != *counts[i])
                    throw engine::EngineError("the table " + std::string(table) + " holds " +
                                              std::to_string(onServerRows) + " rows on the server after " +
                                              std::to_string(*counts[i]) + " were copied");
            }
            write.commit();
        } catch (const std::exception& e) {
            QString done;
            for (const TMovedAddressDatabase& d : moved)
                done += (done.isEmpty() ? "" : ", ") + d.name;
            throw engine::EngineError(
                "The address database " + folder.toStdString() +
                " could not be copied to the database server: " + e.what() + ". Nothing of it is on the server." +
                (done.isEmpty() ? std::string() : " Copied before it: " + done.toStdString() + "."));
        }
        moved.push_back(database);
    }
    return moved;
}
