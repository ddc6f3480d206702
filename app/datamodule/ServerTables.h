// The shared tables on a database server: the counter (MailerNum), the senders (YourAddress),
// the log (Log37) with its filter and report tables and the proof copies (Proofs), made
// together on an empty server database; and the Mailer Number taken there in one server
// transaction.
#pragma once

#include "engine/Engine.h"
#include "engine/Server.h"

#include <QString>
#include <utility>
#include <vector>

// The version of the tables this program makes on a server; a later program that changes
// them reads it and knows what it finds. 2: the proof copies (Proofs).
inline constexpr int ServerTablesVersion = 2;

// The shared tables as a server database holds them, with their indexes and the counter's
// seed row.
std::vector<engine::ServerTableDef> ServerTableDefs();

// Makes them on an empty server database, in one transaction (see engine::createServerTables).
// Returns false when the database holds them already; a database made by an earlier version
// then gains the tables it lacks, in one transaction (see engine::addMissingServerTables).
bool CreateServerTables(const QString& location);

// A number taken: the grouped Mailer Number as logged, its Customer ID and serial, the log row.
struct TServerNumber {
    QString mailerNumber; // 22 digits
    QString customerId;   // nine digits
    QString serial;       // seven digits
    qint64 logId = 0;
    QString refusal; // set, and nothing taken, when the counter cannot number a mailer
};

// Takes the next Mailer Number on the server, in one transaction: the counter row is locked
// (SELECT ... FOR UPDATE; another workstation waits for it as long as for a table file),
// read, advanced, and the log row inserted with the number and the fields given; then all is
// committed. A failure anywhere leaves the counter and the log as they were. The log's unique
// index LogMailerNumber refuses a number it holds already (engine::UniqueKeyError), so no two
// rows ever carry one number, whatever a client does. A counter that cannot number a mailer
// (bar codes on without a Customer ID, a serial that is not a number) gives a refusal instead.
TServerNumber TakeServerNumber(const QString& location,
                               const std::vector<std::pair<std::string, engine::Value>>& logFields);
