// The address book's rules without windows: the group tree built from the Groups rows, the
// statements on Address, Groups and Members, the outcomes of membership changes, and the
// names and messages the windows show. Where the databases are kept is the data module's
// (core/datamodule/AddressDatabases.h).
#pragma once

#include "core/TAddressRec.h"
#include "core/datamodule/AddressDatabases.h"

#include <QString>
#include <QStringList>
#include <QtGlobal>
#include <vector>

namespace engine {
class Query;
}

// ---- groups ----------------------------------------------------------------------------------

// The record behind each tree node: the group's G_ID and Parent_ID; -1 and -1 for "All".
struct TGroupRec {
    qint32 ID = -1;
    qint32 ParentID = -1;
};

// One row of Groups.
struct GroupRow {
    qint32 id = 0;
    qint32 parentId = -1;
    QString name;
};

inline const QString kAllGroupsCaption = QStringLiteral("All");

// The group tree: node 0 is "All"; top-level groups are further roots after it, and every
// other group is the last child of its parent at the time it was read. Groups come in
// G_ID order, so a parent is always read before its children.
class GroupTree {
public:
    struct Node {
        TGroupRec rec;
        QString caption;
        int parent = -1;           // index of the parent node, -1 for a root
        std::vector<int> children; // indexes, in the order they were added
    };

    static GroupTree build(const std::vector<GroupRow>& rows);

    const std::vector<Node>& nodes() const { return nodes_; }
    const Node& node(int index) const { return nodes_.at(index); }
    const std::vector<int>& roots() const { return roots_; }
    int count() const { return static_cast<int>(nodes_.size()); }

    // Every node from the top: each root, then its children's subtrees ("All" first).
    std::vector<int> treeOrder() const;
    // The first node in tree order whose record ID is groupId; -1 when none.
    int findGroupNode(qint32 groupId) const;
    // The node and every node underneath it, in tree order.
    std::vector<int> subtree(int index) const;
    void rename(int index, const QString& caption) { nodes_.at(index).caption = caption; }

private:
    int addNode(const TGroupRec& rec, const QString& caption, int parent);
    std::vector<Node> nodes_;
    std::vector<int> roots_;
};

// The group keys of DeleteGroupSubtree for each of the nodes given, in their order: the
// node's own key and then those of the nodes underneath it, each key once (a node under a
// selected ancestor goes with it). "All" contributes nothing.
std::vector<qint32> subtreeGroupIds(const GroupTree& tree, const std::vector<int>& nodes);

// Whether a group caption holds the search text, without regard to letter case.
bool groupCaptionContains(const QString& caption, const QString& text);

// ---- statements ------------------------------------------------------------------------------

// The select of FillAddressList: every address for -1, else the members of the group.
std::string addressListSql(qint32 groupId);

// What a membership change came to.
enum class MembershipOutcome { Done, Already, Failed };
struct MembershipResult {
    MembershipOutcome outcome = MembershipOutcome::Done;
    QString message; // the error's text when Failed
};

// The statements of the address book, run through one query on the open database's folder.
class AddressBookQueries {
public:
    explicit AddressBookQueries(engine::Query& query) : q_(query) {}

    std::vector<TAddressRec> addresses(qint32 groupId);
    std::vector<GroupRow> groups(); // in G_ID order

    void insertAddress(const TAddressLines& address);
    void updateAddress(qint32 addressId, const TAddressLines& address);
    // The addresses and all their memberships.
    void deleteAddressRows(const std::vector<qint32>& addressIds);
    // The groups and all their memberships; no address.
    void deleteGroupRows(const std::vector<qint32>& groupIds);
    // The largest A_ID, -1 when there is none.
    qint32 lastAddressId();

    // False when another group has that name (letter case ignored); nothing is stored then.
    bool insertGroup(qint32 parentId, const QString& name);
    bool renameGroup(qint32 groupId, const QString& name);
    // Whether a group other than exceptGroupId has the name, letter case ignored for every letter.
    bool groupNameTaken(const QString& name, qint32 exceptGroupId);

    MembershipResult addMembership(qint32 addressId, qint32 groupId);
    MembershipResult removeMembership(qint32 addressId, qint32 groupId);
    // The names of the address's groups, in G_ID order.
    QStringList assignedGroups(qint32 addressId);

private:
    int exec(const std::string& sql);
    engine::Query& q_;
};

// ---- texts -----------------------------------------------------------------------------------

// The address hint: line 1, then each further non-empty display line after LF CR.
QString addressHint(const TAddressLines& address);
// The hint as a list shows it: its LF CR pairs as line breaks.
QString addressHintShown(const TAddressLines& address);

// The texts a membership outcome is told with: for one address the box's text (and
// whether it is an error box), for several the summary line's text.
struct MembershipText {
    bool error = false;
    QString text;
};
MembershipText membershipMessage(bool adding, const MembershipResult& result, const QString& groupName);
MembershipText membershipSummaryLine(bool adding, const MembershipResult& result, const QString& groupName);

// "Address found in Groups:" and the names, or "Address not found in any Group.".
QString assignedGroupsMessage(const QStringList& names);

// The summary window's status bar and label.
QString summaryStatusText(int successes, int errors);
QString summaryLabelText(int errors);

QString searchNotFoundMessage(const QString& text);
QString duplicateGroupMessage(const QString& name);
inline const QString kReservedGroupNewMessage = QStringLiteral("You can not add a Group named \"All\"");
inline const QString kReservedGroupRenameMessage = QStringLiteral("Can't change Group name to \"All\"");
inline constexpr int kGroupNameWidth = 40; // Group_Name's width
