// The address book's rules without windows: what an address database is, the group tree
// built from the Groups rows, the statements on Address, Groups and Members, the outcomes
// of membership changes, and the names and messages the windows show.
#pragma once

#include "entry/TAddressRec.h"

#include <QString>
#include <QStringList>
#include <QtGlobal>
#include <vector>

namespace engine {
class Query;
}

// ---- address databases -----------------------------------------------------------------------

// The three tables of an address database, in the order they are created and deleted.
inline const char* const kAddressBookTables[3] = {"Address", "Groups", "Members"};

// Makes the three tables in folder, in that order, through the data module's CreateTable
// (which adds the Groups and Members indexes).
void createAddressDatabaseTables(const QString& folder);

// True when the folder holds Address.adt, Groups.adt and Members.adt.
bool IsAddressDatabase(const QString& folder);

// Why a typed name cannot become a new database folder inside parentFolder; empty when it
// can. A name must be one folder name (no "/" or "\", not "." or "..") that is not taken.
QString databaseNameRefusal(const QString& parentFolder, const QString& name);

// Deletes the table files of a database and the files the engine keeps beside them (lock
// and journal files). Returns the table files still there afterwards.
QStringList deleteAddressDatabaseFiles(const QString& folder);

// The folder that holds folder (its path up to the last "/"), or folder itself at the root.
QString parentFolderOf(const QString& folder);

// ---- address databases on a database server ------------------------------------------------
//
// With the shared tables on a server, an office keeps its address databases there too: each
// one a schema of the office's server database ("addressbook_1", "addressbook_2", ...), named
// as the user named it by the schema's comment, holding the same three tables. Its location
// is the office's location whose connections search that schema only (see
// engine::serverSchemaLocation), so every statement of the address book runs there as written
// for a folder, and the location alone (as AddressDB keeps it) names the server, the database
// and the address database.

// The version of the address database's tables, kept in its table dovra_schema.
inline constexpr int ServerAddressDatabaseVersion = 1;

struct ServerAddressDatabase {
    QString name;     // as the user named it
    QString location; // where its tables are
};

// Whether a location names an address database on a server (rather than a folder).
bool isServerAddressDatabase(const QString& location);

// The office's address databases on the server of location (the office's own location or one
// of its address databases), by name regardless of letter case.
std::vector<ServerAddressDatabase> serverAddressDatabases(const QString& location);

// Why a typed name cannot become a new address database on the server; empty when it can.
// The rule of folder names holds (so that a database can go back to a folder), and a name is
// taken when another database has it regardless of letter case.
QString serverDatabaseNameRefusal(const QString& location, const QString& name);

// Makes a new address database on the server, whole or not at all (one transaction: the
// schema, its name and the three tables with their indexes); returns its location. Throws
// engine::EngineError with the cause, or when the name is refused (serverDatabaseNameRefusal).
// inOpenTransaction: made within the transaction open on this thread's connection to the
// office's own location, committed or rolled back with it; its statements then name the new
// database's tables until it ends.
QString createServerAddressDatabase(const QString& location, const QString& name, bool inOpenTransaction = false);

// Deletes an address database on the server with every address, group and membership in it.
void deleteServerAddressDatabase(const QString& location);

// The name of an address database on the server as the user gave it; the schema's own name
// when the server does not tell.
QString serverAddressDatabaseName(const QString& location);

// What the window shows for an open database: its folder, or for one on a server its name
// and the server ("Clients on db.office:5432, database dovra").
QString addressDatabaseCaption(const QString& location);

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
