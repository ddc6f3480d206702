// An office's address databases moved from their folders to its database server, each with
// its addresses, groups and memberships, in one server transaction per database (see
// AddressDatabases.h for how the server keeps them). The folders keep their tables as a backup.
#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

struct TMovedAddressDatabase {
    QString folder;   // where it was
    QString name;     // its name on the server: the folder's own name
    QString location; // where it is now
    qint64 addresses = 0, groups = 0, members = 0;
};

// The address databases a move takes along: the one in addressDB, those inside it and those
// beside it (the chooser's neighbourhood of the database in use), each once, in name order.
QStringList AddressDatabasesToMove(const QString& addressDB);

// Why the address databases cannot be moved to the server database of location: a database
// of the same name there (regardless of letter case) that holds rows already, or two folders
// of one name; empty when they can. Nothing is copied when this says no.
QString AddressDatabasesMoveRefusal(const QStringList& folders, const QString& location);

// Copies each database to the server, in one transaction of its own: the database is made
// there (a database of the same name without rows is filled instead), its rows copied with
// their keys, the counts checked against the folder's, then committed. A failure leaves that
// database's transaction undone and throws engine::EngineError naming it, after the databases
// before it were committed. progress, when given, is told of the rows copied so far out of all.
std::vector<TMovedAddressDatabase>
MoveAddressDatabasesToServer(const QStringList& folders, const QString& location,
                             const std::function<void(qint64 done, qint64 total)>& progress = {});
