// Where an office keeps its address databases: each one three tables (Address, Groups,
// Members) in a folder of its own, or a schema of the office's database server. What the
// tables hold and how the windows use them is the address book's (addressbook/AddressBook.h).
#pragma once

#include <QString>
#include <QStringList>
#include <vector>

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
