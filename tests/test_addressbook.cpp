// The address book's rules on real address databases in a temporary program folder: what
// an address database is, names for new ones, the group tree, the statements on Address,
// Groups and Members, membership outcomes and the texts they are told with. Run with
// DOVRA_TEST_BACKEND=server, the databases are made on a throwaway PostgreSQL server instead.
#include "addressbook/AddressBook.h"
#include "addressbook/AddressListModel.h"
#include "addressbook/AddressSearch.h"
#include "core/datamodule/Schemas.h"
#include "engine/Engine.h"
#include "engine/Query.h"
#include "engine/Server.h"
#include "tests/support/PgCluster.h"
#include "tests/support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QMimeData>
#include <QtTest>
#include <sqlite3.h>

namespace {

TAddressLines addressOf(const QString& line1, const QString& line2 = {}, const QString& city = {},
                        const QString& state = {}, const QString& zip = {})
{
    TAddressLines a;
    a.address[0] = line1;
    a.address[1] = line2;
    a.city = city;
    a.state = state;
    a.zip = zip;
    return a;
}

// The office's database on the test server, when the tests run against one.
QString g_office;

// An address database made the way the chooser makes one, with its own query: in a folder,
// or on the server.
struct Database {
    testsupport::ProgramFixture fixture;
    QString folder = fixture.home.path() + "/Addresses/Clients";
    engine::Query query;
    AddressBookQueries q{query};

    Database()
    {
        static int made = 0;
        if (!g_office.isEmpty()) {
            folder = createServerAddressDatabase(g_office, "Clients " + QString::number(++made));
        } else {
            QDir().mkpath(folder);
            createAddressDatabaseTables(folder);
        }
        query.setFolder(folder.toStdString());
    }
    bool onServer() const { return !g_office.isEmpty(); }
    // Takes a table of the database away, as a lost file or a dropped table.
    void removeTable(const char* table)
    {
        query.disconnect();
        if (onServer())
            engine::runOnServer(folder.toStdString(), std::string("DROP TABLE ") + table);
        else
            QVERIFY(QFile::remove(folder + "/" + table + ".adt"));
    }
    qint32 group(const QString& name, qint32 parent = -1)
    {
        if (!q.insertGroup(parent, name))
            return -2;
        for (const GroupRow& row : q.groups())
            if (row.name == name)
                return row.id;
        return -2;
    }
    qint32 address(const QString& name)
    {
        q.insertAddress(addressOf(name));
        return q.lastAddressId();
    }
    QStringList listed(qint32 groupId)
    {
        QStringList names;
        for (const TAddressRec& rec : q.addresses(groupId))
            names << rec.address.address[0];
        return names;
    }
    int count(const std::string& sql)
    {
        engine::Query c;
        c.setFolder(folder.toStdString());
        c.setSql(sql);
        c.open();
        return static_cast<int>(c.asInteger("n"));
    }
};

// The tree's nodes in tree order, each as its caption indented by two blanks per level.
QStringList outline(const GroupTree& tree)
{
    QStringList lines;
    for (int index : tree.treeOrder()) {
        int depth = 0;
        for (int p = tree.node(index).parent; p >= 0; p = tree.node(p).parent)
            ++depth;
        lines << QString(depth * 2, ' ') + tree.node(index).caption;
    }
    return lines;
}

} // namespace

class TestAddressBook : public QObject {
    Q_OBJECT
    std::unique_ptr<testsupport::PgCluster> cluster_;

private slots:
    void initTestCase()
    {
        if (testsupport::serverBackend()) {
            cluster_ = std::make_unique<testsupport::PgCluster>();
            g_office = cluster_->newDatabase();
        }
    }
    void cleanupTestCase()
    {
        engine::disconnectServers();
        cluster_.reset();
    }

    // ---- databases -------------------------------------------------------------------------

    void isAddressDatabase_data()
    {
        QTest::addColumn<QStringList>("tables");
        QTest::addColumn<bool>("database");
        QTest::newRow("all three") << QStringList{"Address", "Groups", "Members"} << true;
        QTest::newRow("no Members") << QStringList{"Address", "Groups"} << false;
        QTest::newRow("none") << QStringList{} << false;
    }
    void isAddressDatabase()
    {
        QFETCH(QStringList, tables);
        QFETCH(bool, database);
        Database db;
        for (const char* table : kAddressBookTables)
            if (!tables.contains(table))
                db.removeTable(table);
        QCOMPARE(IsAddressDatabase(db.folder), database);
    }

    void databaseNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("refusalStart"); // empty: accepted
        const QString invalid = "\"%1\" is not a valid name for a database.";
        QTest::newRow("plain") << "Clients"
                               << "";
        QTest::newRow("quote and blanks") << "O'Brien & Sons"
                                          << "";
        QTest::newRow("slash") << "a/b" << invalid.arg("a/b");
        QTest::newRow("backslash") << "a\\b" << invalid.arg("a\\b");
        QTest::newRow("dot dot") << ".." << invalid.arg("..");
        QTest::newRow("dot") << " . " << invalid.arg(" . ");
        QTest::newRow("blanks") << "   " << invalid.arg("   ");
        QTest::newRow("too long") << QString(300, 'x') << invalid.arg(QString(300, 'x'));
        QTest::newRow("existing folder") << "Taken"
                                         << "A folder named \"Taken\" already exists in ";
        QTest::newRow("existing file") << "notes.txt"
                                       << "A folder named \"notes.txt\" already exists in ";
    }
    void databaseNames()
    {
        QFETCH(QString, name);
        QFETCH(QString, refusalStart);
        if (!g_office.isEmpty()) {
            // On a server, a name is taken by a database of that name regardless of letter case.
            static const QString taken = createServerAddressDatabase(g_office, "Taken");
            static const QString umlaut = createServerAddressDatabase(g_office, "Ärzte");
            QVERIFY(!taken.isEmpty() && !umlaut.isEmpty());
            const QString refusal = serverDatabaseNameRefusal(g_office, name);
            if (name == "Taken")
                QVERIFY2(refusal.startsWith("An address database named \"Taken\" already exists"), qPrintable(refusal));
            else if (refusalStart.isEmpty())
                QCOMPARE(refusal, QString());
            else if (!refusalStart.startsWith("A folder"))
                QVERIFY2(refusal.startsWith(refusalStart), qPrintable(refusal));
            QVERIFY(serverDatabaseNameRefusal(g_office, "tAKEN").contains("already exists"));
            QVERIFY(serverDatabaseNameRefusal(g_office, "ÄRZTE").contains("already exists"));
            QCOMPARE(serverDatabaseNameRefusal(g_office, "Arzte"), QString());
            QVERIFY_THROWS_EXCEPTION(engine::EngineError, createServerAddressDatabase(g_office, "taken"));
            return;
        }
        testsupport::TempProgramFolder home;
        QDir(home.path()).mkdir("Taken");
        QFile file(home.file("notes.txt"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        const QString refusal = databaseNameRefusal(home.path(), name);
        if (refusalStart.isEmpty())
            QCOMPARE(refusal, QString());
        else
            QVERIFY2(refusal.startsWith(refusalStart), qPrintable(refusal));
    }

    void tablesOfNewDatabase()
    {
        Database db;
        QVERIFY(IsAddressDatabase(db.folder));
        // Group names are unique without regard to case; member pairs are unique.
        QVERIFY(db.q.insertGroup(-1, "Sales"));
        QVERIFY(!db.q.insertGroup(-1, "sales"));
        QVERIFY(db.q.insertGroup(-1, "all"));
        QCOMPARE(db.q.addMembership(1, 1).outcome, MembershipOutcome::Done);
        QCOMPARE(db.q.addMembership(1, 1).outcome, MembershipOutcome::Already);
        QCOMPARE(db.count("select count(*) as n from Members"), 1);
    }

    void deleteDatabaseFiles()
    {
        Database db;
        if (db.onServer()) {
            // The list of the server's databases, by name; a deleted one is gone with its tables.
            db.q.insertAddress(addressOf("Ann"));
            const QString name = serverAddressDatabaseName(db.folder);
            const auto names = [] {
                QStringList listed;
                for (const ServerAddressDatabase& d : serverAddressDatabases(g_office))
                    listed << d.name;
                return listed;
            };
            QVERIFY(names().contains(name));
            QVERIFY(isServerAddressDatabase(db.folder));
            QVERIFY(!isServerAddressDatabase(g_office));
            QVERIFY(addressDatabaseCaption(db.folder).startsWith(name + " on 127.0.0.1:"));
            db.query.disconnect();
            deleteServerAddressDatabase(db.folder);
            QVERIFY(!names().contains(name));
            QVERIFY(!IsAddressDatabase(db.folder));
            return;
        }
        QFile extra(db.folder + "/Address.adt.lck");
        QVERIFY(extra.open(QIODevice::WriteOnly));
        extra.close();
        db.query.disconnect();
        QCOMPARE(deleteAddressDatabaseFiles(db.folder), QStringList());
        QCOMPARE(QDir(db.folder).entryList(QDir::Files), QStringList());
        QCOMPARE(parentFolderOf(db.folder), db.fixture.home.path() + "/Addresses");
        QCOMPARE(parentFolderOf("/top"), QString("/"));
    }

    // ---- group tree --------------------------------------------------------------------------

    void groupTree_data()
    {
        QTest::addColumn<QList<int>>("ids");
        QTest::addColumn<QList<int>>("parents");
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<int>("roots");
        QTest::newRow("north east south west")
            << QList<int>{1, 2, 3, 4} << QList<int>{-1, 1, -1, 2} << QStringList{"North", "East", "South", "West"}
            << QStringList{"All", "North", "  East", "    West", "South"} << 3;
        QTest::newRow("parent missing: a root") << QList<int>{5, 7} << QList<int>{-1, 99} << QStringList{"A", "Lost"}
                                                << QStringList{"All", "A", "Lost"} << 3;
        QTest::newRow("parent found again after a sibling")
            << QList<int>{1, 2, 3, 4, 5} << QList<int>{-1, 1, 2, 1, 1} << QStringList{"P", "C1", "G", "C2", "C3"}
            << QStringList{"All", "P", "  C1", "    G", "  C2", "  C3"} << 2;
        QTest::newRow("no groups") << QList<int>{} << QList<int>{} << QStringList{} << QStringList{"All"} << 1;
    }
    void groupTree()
    {
        QFETCH(QList<int>, ids);
        QFETCH(QList<int>, parents);
        QFETCH(QStringList, names);
        QFETCH(QStringList, expected);
        QFETCH(int, roots);
        std::vector<GroupRow> rows;
        for (int i = 0; i < ids.size(); ++i)
            rows.push_back(GroupRow{ids[i], parents[i], names[i]});
        const GroupTree tree = GroupTree::build(rows);
        QCOMPARE(outline(tree), expected);
        QCOMPARE(static_cast<int>(tree.roots().size()), roots);
        QCOMPARE(tree.node(0).rec.ID, -1);
        QCOMPARE(tree.node(0).rec.ParentID, -1);
        for (int i = 0; i < ids.size(); ++i) {
            const int node = tree.findGroupNode(ids[i]);
            QCOMPARE(tree.node(node).caption, names[i]);
            QCOMPARE(tree.node(node).rec.ParentID, parents[i]);
        }
        QCOMPARE(tree.findGroupNode(12345), -1);
    }

    void subtreeIds()
    {
        const GroupTree tree =
            GroupTree::build({{1, -1, "North"}, {2, 1, "East"}, {3, -1, "South"}, {4, 2, "West"}, {5, 2, "Far"}});
        const int north = tree.findGroupNode(1), east = tree.findGroupNode(2), west = tree.findGroupNode(4);
        QCOMPARE(subtreeGroupIds(tree, {east}), (std::vector<qint32>{2, 4, 5}));
        QCOMPARE(subtreeGroupIds(tree, {west}), (std::vector<qint32>{4}));
        // East is selected with its parent North: every group once, "All" never.
        QCOMPARE(subtreeGroupIds(tree, {0, north, east}), (std::vector<qint32>{1, 2, 4, 5}));
    }

    // ---- statements on real tables -------------------------------------------------------------

    void listsAndDeletes()
    {
        Database db;
        const qint32 ann = db.address("Ann"), bob = db.address("Bob"), cy = db.address("Cy");
        const qint32 north = db.group("North"), east = db.group("East", north), west = db.group("West", east);
        const qint32 south = db.group("South");
        for (auto [a, g] : {std::pair{cy, east}, {ann, east}, {bob, west}, {ann, south}})
            QCOMPARE(db.q.addMembership(a, g).outcome, MembershipOutcome::Done);
        QCOMPARE(db.listed(-1), (QStringList{"Ann", "Bob", "Cy"}));
        QCOMPARE(db.listed(east), (QStringList{"Ann", "Cy"})); // A_ID order, not the order of joining
        QCOMPARE(db.q.assignedGroups(ann), (QStringList{"East", "South"}));
        QCOMPARE(db.q.assignedGroups(bob), QStringList{"West"});

        // Deleting East with West removes both and their memberships, no address.
        const GroupTree tree = GroupTree::build(db.q.groups());
        db.q.deleteGroupRows(subtreeGroupIds(tree, {tree.findGroupNode(east)}));
        QStringList left;
        for (const GroupRow& g : db.q.groups())
            left << g.name;
        QCOMPARE(left, (QStringList{"North", "South"}));
        QCOMPARE(db.listed(-1), (QStringList{"Ann", "Bob", "Cy"}));
        QCOMPARE(db.count("select count(*) as n from Members"), 1);

        // Deleting an address removes it from every group.
        db.q.deleteAddressRows({ann});
        QCOMPARE(db.listed(-1), (QStringList{"Bob", "Cy"}));
        QCOMPARE(db.count("select count(*) as n from Members"), 0);
        QCOMPARE(db.q.lastAddressId(), cy);
        db.q.deleteAddressRows({bob, cy});
        QCOMPARE(db.q.lastAddressId(), -1);
    }

    void deleteManyAddresses()
    {
        Database db;
        std::vector<qint32> ids;
        for (int i = 0; i < 12000; ++i)
            ids.push_back(i + 1);
        engine::Query insert;
        insert.setFolder(db.folder.toStdString());
        insert.setSql("with recursive n(i) as (select 1 union all select i + 1 from n where i < 12001) "
                      "insert into Address (Address1) select 'A' || i from n");
        insert.execSql();
        insert.setSql("insert into Members (A_ID, G_ID) select A_ID, 1 from Address");
        insert.execSql();
        db.q.deleteAddressRows(ids); // more keys than one statement takes
        QCOMPARE(db.listed(-1), QStringList{"A12001"});
        QCOMPARE(db.count("select count(*) as n from Members"), 1);
    }

    void groupNames()
    {
        Database db;
        const qint32 sales = db.group("Sales");
        QVERIFY(sales > 0);
        QVERIFY(!db.q.insertGroup(-1, "SALES"));
        const QString quoted = "O'Brien \"/\\\" ; drop table Groups";
        QVERIFY(db.q.insertGroup(sales, quoted));
        const qint32 other = db.group("Other");
        QVERIFY(!db.q.renameGroup(other, "sales"));
        QVERIFY(db.q.renameGroup(other, "Others"));
        QStringList names;
        for (const GroupRow& g : db.q.groups())
            names << g.name;
        QCOMPARE(names, (QStringList{"Sales", quoted, "Others"}));
        // A name wider than the column is cut by the table to its width.
        QVERIFY(db.q.insertGroup(-1, QString(41, 'g')));
        QCOMPARE(db.q.groups().back().name, QString(kGroupNameWidth, 'g'));
    }

    // Group names are the same name when they differ only in the case of their letters, any
    // letters: the table's index refuses the second one, and so does the program's own check
    // on a database whose index (made by an earlier version) folds ASCII letters only.
    void groupNamesIgnoreCaseOfEveryLetter_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("taken");
        QTest::newRow("ASCII") << "Sales"
                               << "sALES" << true;
        QTest::newRow("accented") << "Café"
                                  << "CAFÉ" << true;
        QTest::newRow("Greek, final sigma") << "Σίσυφος"
                                            << "ΣΊΣΥΦΟΣ" << true;
        QTest::newRow("Cyrillic") << "Москва"
                                  << "мОСКВА" << true;
        QTest::newRow("another accent") << "Café"
                                        << "Cafe" << false;
        QTest::newRow("German umlaut") << "Ärzte"
                                       << "ärzte" << true;
        QTest::newRow("umlaut is not its base letter") << "Ärzte"
                                                       << "Arzte" << false;
        QTest::newRow("sharp s is not ss") << "Straße"
                                           << "STRASSE" << false;
        QTest::newRow("ligature is not its letters") << "ﬁnance"
                                                     << "FINANCE" << false;
        QTest::newRow("dotless i") << "ıssız"
                                   << "ISSIZ" << true;
        QTest::newRow("title-case digraph") << "ǅemal"
                                            << "ǆEMAL" << true;
        QTest::newRow("Armenian") << "Երևան"
                                  << "ԵՐԵՎԱՆ" << false;
        QTest::newRow("the same once cut to the width")
            << QString(kGroupNameWidth, QChar(0xE9)) << QString(kGroupNameWidth, QChar(0xC9)) + "Z" << true;
    }
    void groupNamesIgnoreCaseOfEveryLetter()
    {
        QFETCH(QString, stored);
        QFETCH(QString, typed);
        QFETCH(bool, taken);
        for (const bool olderIndex : {false, true}) {
            if (olderIndex && !g_office.isEmpty())
                break; // a server's index was never made another way
            Database db;
            if (olderIndex) {
                sqlite3* raw = nullptr;
                QCOMPARE(sqlite3_open(qPrintable(db.folder + "/Groups.adt"), &raw), SQLITE_OK);
                const int rc = sqlite3_exec(raw,
                                            "drop index Group_Name; create unique index Group_Name on Groups "
                                            "(Group_Name collate nocase)",
                                            nullptr, nullptr, nullptr);
                sqlite3_close(raw);
                QCOMPARE(rc, SQLITE_OK);
            }
            const qint32 id = db.group(stored);
            QVERIFY(id > 0);
            // A group may take its own name in other letter cases.
            QVERIFY(db.q.renameGroup(id, typed));
            QVERIFY(db.q.renameGroup(id, stored));
            if (olderIndex) {
                // The program's own check.
                QCOMPARE(db.q.insertGroup(-1, typed), !taken);
            } else {
                // The index itself, for statements that do not ask first.
                bool refused = false;
                try {
                    db.query.setSql("insert into Groups (Parent_ID, Group_Name) values(-1, " +
                                    engine::quoted(typed.toStdString()) + ")");
                    db.query.execSql();
                } catch (const engine::UniqueKeyError&) {
                    refused = true;
                }
                QCOMPARE(refused, taken);
            }
            if (taken) {
                const qint32 other = db.group("Other");
                QVERIFY(other > 0);
                QVERIFY(!db.q.renameGroup(other, typed));
            }
        }
    }

    void membershipOutcomes()
    {
        Database db;
        const qint32 a = db.address("Ann"), g = db.group("G");
        QCOMPARE(db.q.removeMembership(a, g).outcome, MembershipOutcome::Already);
        QCOMPARE(db.q.addMembership(a, g).outcome, MembershipOutcome::Done);
        QCOMPARE(db.q.addMembership(a, g).outcome, MembershipOutcome::Already);
        QCOMPARE(db.count("select count(*) as n from Members"), 1);
        QCOMPARE(db.q.removeMembership(a, g).outcome, MembershipOutcome::Done);
        QCOMPARE(db.q.removeMembership(a, g).outcome, MembershipOutcome::Already);

        // A Members table that is gone is an error with the engine's words, not "already".
        db.removeTable("Members");
        for (const MembershipResult& r : {db.q.addMembership(a, g), db.q.removeMembership(a, g)}) {
            QCOMPARE(r.outcome, MembershipOutcome::Failed);
            QVERIFY2(r.message.contains("Members"), qPrintable(r.message));
        }
        // Deleting the address then fails whole: the address is kept.
        QVERIFY_THROWS_EXCEPTION(engine::EngineError, db.q.deleteAddressRows({a}));
        QCOMPARE(db.listed(-1), QStringList{"Ann"});
    }

    // ---- texts ------------------------------------------------------------------------------------

    void membershipTexts_data()
    {
        QTest::addColumn<bool>("adding");
        QTest::addColumn<int>("outcome");
        QTest::addColumn<bool>("error");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("summaryLine");
        QTest::newRow("added") << true << int(MembershipOutcome::Done) << false << "Address added to Group \"G\""
                               << "Added to Group \"G\"";
        QTest::newRow("already") << true << int(MembershipOutcome::Already) << true << "Already a member of \"G\"."
                                 << "Already a member of \"G\".";
        QTest::newRow("deleted") << false << int(MembershipOutcome::Done) << false << "Address deleted from Group \"G\""
                                 << "Deleted from Group \"G\"";
        QTest::newRow("not a member") << false << int(MembershipOutcome::Already) << true << "Not a member of \"G\"."
                                      << "Not a member of \"G\".";
        QTest::newRow("failed") << true << int(MembershipOutcome::Failed) << true << "disk gone"
                                << "disk gone";
    }
    void membershipTexts()
    {
        QFETCH(bool, adding);
        QFETCH(int, outcome);
        QFETCH(bool, error);
        QFETCH(QString, message);
        QFETCH(QString, summaryLine);
        const MembershipResult result{MembershipOutcome(outcome), "disk gone"};
        const MembershipText box = membershipMessage(adding, result, "G");
        QCOMPARE(box.error, error);
        QCOMPARE(box.text, message);
        QCOMPARE(membershipSummaryLine(adding, result, "G").text, summaryLine);
    }

    void otherTexts()
    {
        QCOMPARE(summaryStatusText(2, 1), QString("3 item(s) processed; 1 error(s)"));
        QCOMPARE(summaryLabelText(1), QString("Action completed with errors. See details below for more information."));
        QCOMPARE(summaryLabelText(0), QString("Action completed sucessfully."));
        QCOMPARE(assignedGroupsMessage({"East", "South"}), QString("Address found in Groups:\n\r\n\rEast\n\rSouth"));
        QCOMPARE(assignedGroupsMessage({}), QString("Address not found in any Group."));
        QCOMPARE(duplicateGroupMessage("sales"), QString("A Group name of \"sales\" already exists."));
        QCOMPARE(searchNotFoundMessage("zz"), QString("Search string \"zz\" not found."));
        QCOMPARE(addressListSql(-1), std::string("select * from Address order by A_ID"));
        QCOMPARE(addressListSql(7), std::string("select A.*  from Address A, Members M where M.G_ID = 7 and "
                                                "A.A_ID = M.A_ID order by A.A_ID"));
    }

    void hintsAndCaptions_data()
    {
        QTest::addColumn<QStringList>("fields"); // Address1..4, City, State, Zip
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("hint");
        QTest::newRow("Address2 blank") << QStringList{"Ann Lee", "", "", "", "Springfield", "IL", "62701"} << "Ann Lee"
                                        << "Ann Lee\n\rSpringfield IL 62701";
        QTest::newRow("Address1 blank") << QStringList{"", "Suite 5", "", "", "Springfield", "IL", "62701-"}
                                        << "Springfield IL 62701-"
                                        << "Springfield IL 62701\n\rSuite 5";
        QTest::newRow("four lines") << QStringList{" Ann ", "B", "C", "D", "Erie", "PA", "16501"} << "Ann"
                                    << " Ann \n\rB\n\rC\n\rD\n\rErie PA 16501";
    }
    void hintsAndCaptions()
    {
        QFETCH(QStringList, fields);
        QFETCH(QString, caption);
        QFETCH(QString, hint);
        TAddressLines a;
        for (int i = 0; i < 4; ++i)
            a.address[i] = fields[i];
        a.city = fields[4];
        a.state = fields[5];
        a.zip = fields[6];
        QCOMPARE(addressCaption(a), caption);
        QCOMPARE(addressHint(a), hint);
    }

    // Find over five addresses with the third selected looks at 4, 5, 1, 2, 3.
    void findOrder()
    {
        QList<int> visited;
        QCOMPARE(findNextIndex(5, 2,
                               [&](int i) {
                                   visited << i;
                                   return false;
                               }),
                 -1);
        QCOMPARE(visited, (QList<int>{3, 4, 0, 1, 2}));
        QCOMPARE(findNextIndex(5, 2, [](int i) { return i == 0 || i == 1; }), 0);
        QCOMPARE(findNextIndex(5, -1, [](int i) { return i == 4; }), 4);
        QVERIFY(groupCaptionContains("North East", "th e"));
        QVERIFY(groupCaptionContains("All", "all"));
    }

    void listModel()
    {
        AddressListModel model;
        std::vector<TAddressRec> rows;
        for (int i = 1; i <= 5; ++i)
            rows.push_back(TAddressRec{i * 10, addressOf("N" + QString::number(i), {}, "Erie", "PA", "16501")});
        model.setAddresses(std::move(rows));
        QCOMPARE(model.rowCount(), 5);
        QCOMPARE(model.data(model.index(1)).toString(), QString("N2"));
        QCOMPARE(model.data(model.index(1), Qt::ToolTipRole).toString(), QString("N2\nErie PA 16501"));
        std::unique_ptr<QMimeData> mime(model.mimeData({model.index(0), model.index(3)}));
        QCOMPARE(mime->data(AddressListModel::kMimeType), QByteArray("10\n40"));
        model.removeAddressRows({3, 0, 3});
        QCOMPARE(model.rowCount(), 3);
        QCOMPARE(model.record(0).ID, 20);
        QCOMPARE(model.record(2).ID, 50);
        model.updateAddress(1, addressOf("", "", "Erie", "PA", "16501"));
        QCOMPARE(model.data(model.index(1)).toString(), QString("Erie PA 16501"));
        QCOMPARE(model.record(1).ID, 30);
    }

    void foldsForSearch_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("folded");
        QTest::newRow("ascii") << "ACME Inc. 12 Main St"
                               << "acme inc. 12 main st";
        QTest::newRow("accents") << QString::fromUtf8("José GARCÍA, Zoë Ångström") << "jose garcia, zoe angstrom";
        QTest::newRow("capital with accent") << QString::fromUtf8("ÉCOLE Über") << "ecole uber";
        QTest::newRow("letters with their own mark")
            << QString::fromUtf8("Søren Łukasz Straße Æbeltoft") << "soren lukasz strasse aebeltoft";
        QTest::newRow("compatibility forms") << QString::fromUtf8("ﬁrst №5") << "first no5";
        QTest::newRow("not latin") << QString::fromUtf8("Ωμέγα") << QString::fromUtf8("ωμεγα");
    }
    void foldsForSearch()
    {
        QFETCH(QString, text);
        QFETCH(QString, folded);
        QCOMPARE(foldForSearch(text), folded);
    }

    void searchWordsAndNarrowing()
    {
        QCOMPARE(searchWords(QString::fromUtf8("  Main  GARCÍA\tmain ma ")), (QStringList{"garcia", "main"}));
        QCOMPARE(searchWords(u"   "), QStringList{});
        QVERIFY(searchNarrows(searchWords(u"smith jo"), searchWords(u"smit")));
        QVERIFY(searchNarrows(searchWords(u"erie smith"), searchWords(u"smith")));
        QVERIFY(!searchNarrows(searchWords(u"smit"), searchWords(u"smith")));
        QVERIFY(!searchNarrows(searchWords(u"smith"), searchWords(u"smith erie")));
    }

    // While a search narrows the model, edits and deletions reach the addresses behind it,
    // and clearing the search shows every address as it now stands.
    void listModelSearch()
    {
        AddressListModel model;
        std::vector<TAddressRec> rows;
        const QStringList names = {"Ann Smith", "Bob Jones", "Cy Smith", "Di Smithers", "Ed Brown", "Fay Smith"};
        for (int i = 0; i < names.size(); ++i)
            rows.push_back(TAddressRec{i + 1, addressOf(names[i], {}, "Erie", "PA", "16501")});
        model.setAddresses(std::move(rows));
        const auto ids = [&model] {
            QList<int> shown;
            for (const TAddressRec& rec : model.addresses())
                shown << rec.ID;
            return shown;
        };
        model.setSearchText("smith");
        QCOMPARE(ids(), (QList<int>{1, 3, 4, 6}));
        QCOMPARE(model.listedCount(), 6);
        model.setSearchText("smith ");
        QCOMPARE(ids(), (QList<int>{1, 3, 4, 6}));
        model.removeAddressRows({2, 0}); // Di and Ann
        QCOMPARE(ids(), (QList<int>{3, 6}));
        model.updateAddress(1, addressOf("Fay Jones", {}, "Erie", "PA", "16501"));
        QCOMPARE(model.record(1).ID, 6);
        model.setSearchText("smith c"); // narrows what is shown
        QCOMPARE(ids(), QList<int>{3});
        model.setSearchText("jones"); // looks through every address again
        QCOMPARE(ids(), (QList<int>{2, 6}));
        model.setSearchText("");
        QCOMPARE(ids(), (QList<int>{2, 3, 5, 6}));
        QCOMPARE(model.data(model.index(3)).toString(), QString("Fay Jones"));
        // New rows (another group) are narrowed by the search that stands.
        model.setSearchText("brown");
        std::vector<TAddressRec> group = {TAddressRec{7, addressOf("Gil Brown")}, TAddressRec{8, addressOf("Hal")}};
        model.setAddresses(std::move(group));
        QCOMPARE(ids(), QList<int>{7});
    }
};

QTEST_MAIN(TestAddressBook)
#include "test_addressbook.moc"
