#include "addressbook/AddressBook.h"
#include "app/datamodule/Schemas.h"
#include "app/datamodule/TdmDovraPro.h"
#include "engine/Engine.h"
#include "engine/MultiTableWrite.h"
#include "engine/Query.h"
#include "engine/Server.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cstring>
#include <optional>
#include <unordered_map>

// ---- address databases -----------------------------------------------------------------------

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

// ---- groups ----------------------------------------------------------------------------------

int GroupTree::addNode(const TGroupRec& rec, const QString& caption, int parent)
{
    const int index = count();
    nodes_.push_back(Node{rec, caption, parent, {}});
    if (parent < 0)
        roots_.push_back(index);
    else
        nodes_[parent].children.push_back(index);
    return index;
}

GroupTree GroupTree::build(const std::vector<GroupRow>& rows)
{
    GroupTree tree;
    tree.nodes_.reserve(rows.size() + 1);
    tree.addNode(TGroupRec{-1, -1}, kAllGroupsCaption, -1);
    // Keys are unique and every node is added after its parent, so the first node with a key
    // in tree order is the only one: a map finds it.
    std::unordered_map<qint32, int> byId;
    int previousParent = -1;
    for (const GroupRow& row : rows) {
        int parent = -1;
        if (row.parentId != -1) {
            if (previousParent >= 0 && tree.nodes_[previousParent].rec.ID == row.parentId) {
                parent = previousParent;
            } else {
                const auto found = byId.find(row.parentId);
                parent = found == byId.end() ? -1 : found->second;
            }
        }
        previousParent = parent;
        const int index = tree.addNode(TGroupRec{row.id, row.parentId}, row.name, parent);
        byId.emplace(row.id, index);
    }
    return tree;
}

std::vector<int> GroupTree::treeOrder() const
{
    std::vector<int> order;
    order.reserve(nodes_.size());
    for (int root : roots_) {
        const std::vector<int> below = subtree(root);
        order.insert(order.end(), below.begin(), below.end());
    }
    return order;
}

int GroupTree::findGroupNode(qint32 groupId) const
{
    for (int index : treeOrder())
        if (nodes_[index].rec.ID == groupId)
            return index;
    return -1;
}

std::vector<int> GroupTree::subtree(int index) const
{
    std::vector<int> order;
    std::vector<int> stack{index};
    while (!stack.empty()) {
        const int n = stack.back();
        stack.pop_back();
        order.push_back(n);
        const auto& children = nodes_.at(n).children;
        stack.insert(stack.end(), children.rbegin(), children.rend());
    }
    return order;
}

std::vector<qint32> subtreeGroupIds(const GroupTree& tree, const std::vector<int>& nodes)
{
    std::vector<qint32> ids;
    for (int index : nodes)
        for (int n : tree.subtree(index)) {
            const qint32 id = tree.node(n).rec.ID;
            if (id != -1 && std::find(ids.begin(), ids.end(), id) == ids.end())
                ids.push_back(id);
        }
    return ids;
}

bool groupCaptionContains(const QString& caption, const QString& text)
{
    return caption.contains(text, Qt::CaseInsensitive);
}

// ---- statements ------------------------------------------------------------------------------

std::string addressListSql(qint32 groupId)
{
    if (groupId == -1)
        return "select * from Address order by A_ID";
    return "select A.*  from Address A, Members M where M.G_ID = " + std::to_string(groupId) + " and " +
           "A.A_ID = M.A_ID " + "order by A.A_ID";
}

int AddressBookQueries::exec(const std::string& sql)
{
    q_.close();
    q_.setSql(sql);
    return q_.execSql();
}

std::vector<TAddressRec> AddressBookQueries::addresses(qint32 groupId)
{
    std::vector<TAddressRec> rows;
    q_.close();
    q_.setSql(addressListSql(groupId));
    q_.open();
    for (; !q_.eof(); q_.next())
        rows.push_back(addressRecOf(q_));
    q_.close();
    return rows;
}

std::vector<GroupRow> AddressBookQueries::groups()
{
    std::vector<GroupRow> rows;
    q_.close();
    q_.setSql("select * from Groups order by G_ID");
    q_.open();
    for (; !q_.eof(); q_.next())
        rows.push_back(GroupRow{static_cast<qint32>(q_.asInteger("G_ID")),
                                static_cast<qint32>(q_.asInteger("Parent_ID")),
                                QString::fromStdString(q_.asString("Group_Name"))});
    q_.close();
    return rows;
}

void AddressBookQueries::insertAddress(const TAddressLines& address)
{
    exec(addressInsertSql("Address", address));
}

void AddressBookQueries::updateAddress(qint32 addressId, const TAddressLines& address)
{
    exec(addressUpdateSql("Address", address, addressId));
}

namespace {

// "<column> = <id>" for one key, "<column> in (<ids>)" for several.
std::string keyCondition(const char* column, const std::vector<qint32>& ids, size_t from, size_t to)
{
    if (to - from == 1)
        return std::string(column) + " = " + std::to_string(ids[from]);
    std::string in = std::string(column) + " in (";
    for (size_t i = from; i < to; ++i)
        in += (i > from ? ", " : "") + std::to_string(ids[i]);
    return in + ")";
}

// Deletes the rows of both tables by key in one commit across both files, a slice of keys
// per statement, so that a selection of many thousand addresses goes at once and a crash
// leaves no membership of a deleted address.
void deleteByKeys(const std::string& folder, const char* firstTable, const char* secondTable, const char* column,
                  const std::vector<qint32>& ids)
{
    if (ids.empty())
        return;
    engine::MultiTableWrite write({{folder, firstTable}, {folder, secondTable}});
    constexpr size_t slice = 5000;
    for (size_t from = 0; from < ids.size(); from += slice) {
        const size_t to = std::min(ids.size(), from + slice);
        write.run(std::string("delete from ") + firstTable + " where " + keyCondition(column, ids, from, to));
        write.run(std::string("delete from ") + secondTable + " where " + keyCondition(column, ids, from, to));
    }
    write.commit();
}

} // namespace

void AddressBookQueries::deleteAddressRows(const std::vector<qint32>& addressIds)
{
    q_.close();
    deleteByKeys(q_.folder(), "Address", "Members", "A_ID", addressIds);
}

void AddressBookQueries::deleteGroupRows(const std::vector<qint32>& groupIds)
{
    q_.close();
    deleteByKeys(q_.folder(), "Groups", "Members", "G_ID", groupIds);
}

qint32 AddressBookQueries::lastAddressId()
{
    q_.close();
    q_.setSql("select max(A_ID) as LastID from Address");
    q_.open();
    const qint32 id = q_.eof() || q_.isNull("LastID") ? -1 : static_cast<qint32>(q_.asInteger("LastID"));
    q_.close();
    return id;
}

bool AddressBookQueries::groupNameTaken(const QString& name, qint32 exceptGroupId)
{
    // The name as the table keeps it (cut to its width, no trailing blanks), compared as the
    // index compares, every letter without its case (engine::equalNoCase): the same rule in a
    // folder and on a server, and for a database whose index, made by an earlier version, folds
    // ASCII letters only.
    const std::u32string letters = name.toStdU32String().substr(0, kGroupNameWidth);
    QString kept = QString::fromStdU32String(letters);
    while (kept.endsWith(' '))
        kept.chop(1);
    const std::string wanted = kept.toStdString();
    q_.close();
    q_.setSql("select G_ID, Group_Name from Groups where G_ID <> " + std::to_string(exceptGroupId));
    q_.open();
    bool taken = false;
    for (; !taken && !q_.eof(); q_.next())
        taken = engine::equalNoCase(q_.asString("Group_Name"), wanted);
    q_.close();
    return taken;
}

bool AddressBookQueries::insertGroup(qint32 parentId, const QString& name)
{
    if (groupNameTaken(name, -1))
        return false;
    try {
        exec("insert into Groups (Parent_ID, Group_Name) values(" + std::to_string(parentId) + ", " +
             engine::quoted(name.toStdString()) + ") ");
    } catch (const engine::UniqueKeyError&) {
        return false;
    }
    return true;
}

bool AddressBookQueries::renameGroup(qint32 groupId, const QString& name)
{
    if (groupNameTaken(name, groupId))
        return false;
    try {
        exec("update Groups set Group_Name = " + engine::quoted(name.toStdString()) +
             " where G_ID = " + std::to_string(groupId));
    } catch (const engine::UniqueKeyError&) {
        return false;
    }
    return true;
}

// Only the unique index's refusal means "already a member": a Members table that is gone or
// held elsewhere is told as the error it is.
MembershipResult AddressBookQueries::addMembership(qint32 addressId, qint32 groupId)
{
    try {
        exec("insert into Members (A_ID, G_ID) values(" + std::to_string(addressId) + ", " + std::to_string(groupId) +
             ")");
    } catch (const engine::UniqueKeyError&) {
        return {MembershipOutcome::Already, {}};
    } catch (const std::exception& e) {
        return {MembershipOutcome::Failed, QString::fromUtf8(e.what())};
    }
    return {MembershipOutcome::Done, {}};
}

MembershipResult AddressBookQueries::removeMembership(qint32 addressId, qint32 groupId)
{
    try {
        const int affected = exec("delete from Members where A_ID = " + std::to_string(addressId) + " and " +
                                  "G_ID = " + std::to_string(groupId));
        return {affected == 1 ? MembershipOutcome::Done : MembershipOutcome::Already, {}};
    } catch (const std::exception& e) {
        return {MembershipOutcome::Failed, QString::fromUtf8(e.what())};
    }
}

QStringList AddressBookQueries::assignedGroups(qint32 addressId)
{
    QStringList names;
    q_.close();
    q_.setSql("select g.Group_Name from Groups g, Members m where m.A_ID = " + std::to_string(addressId) +
              " and m.G_ID = g.G_ID " + "order by g.G_ID");
    q_.open();
    for (; !q_.eof(); q_.next())
        names << QString::fromStdString(q_.asString("Group_Name"));
    q_.close();
    return names;
}

// ---- texts -----------------------------------------------------------------------------------

QString addressHint(const TAddressLines& address)
{
    const auto lines = displayLines(address);
    QString hint = lines[0];
    for (int i = 1; i < 5; ++i)
        if (!lines[i].isEmpty())
            hint += "\n\r" + lines[i];
    return hint;
}

QString addressHintShown(const TAddressLines& address)
{
    return addressHint(address).replace("\n\r", "\n");
}

MembershipText membershipMessage(bool adding, const MembershipResult& result, const QString& groupName)
{
    const QString quotedName = "\"" + groupName + "\"";
    switch (result.outcome) {
    case MembershipOutcome::Done:
        return {false, (adding ? "Address added to Group " : "Address deleted from Group ") + quotedName};
    case MembershipOutcome::Already:
        return {true, (adding ? "Already a member of " : "Not a member of ") + quotedName + "."};
    case MembershipOutcome::Failed:
        break;
    }
    return {true, result.message};
}

MembershipText membershipSummaryLine(bool adding, const MembershipResult& result, const QString& groupName)
{
    if (result.outcome == MembershipOutcome::Done)
        return {false, (adding ? "Added to Group \"" : "Deleted from Group \"") + groupName + "\""};
    return membershipMessage(adding, result, groupName);
}

QString assignedGroupsMessage(const QStringList& names)
{
    QString text;
    for (const QString& name : names)
        text += "\n\r" + name;
    return text.isEmpty() ? QStringLiteral("Address not found in any Group.") : "Address found in Groups:\n\r" + text;
}

QString summaryStatusText(int successes, int errors)
{
    return QString::number(successes + errors) + " item(s) processed; " + QString::number(errors) + " error(s)";
}

QString summaryLabelText(int errors)
{
    return errors > 0 ? QStringLiteral("Action completed with errors. See details below for more information.")
                      : QStringLiteral("Action completed sucessfully.");
}

QString searchNotFoundMessage(const QString& text)
{
    return "Search string \"" + text + "\" not found.";
}

QString duplicateGroupMessage(const QString& name)
{
    return "A Group name of \"" + name + "\" already exists.";
}
