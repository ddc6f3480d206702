#include "addressbook/AddressBook.h"
#include "core/datamodule/TdmDovraPro.h"
#include "engine/Engine.h"
#include "engine/MultiTableWrite.h"
#include "engine/Query.h"

#include <algorithm>
#include <unordered_map>

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
