// The shared tables on a database server: the counter (MailerNum), the senders (YourAddress),
// the log (Log37) with its filter and report tables and the proof copies (Proofs), made
// together on an empty server database; and the Mailer Number taken there in one server
// transaction.
#pragma once

#include "core/NumberCounter.h"
#include "engine/Engine.h"
#include "engine/Server.h"

#include <QString>
#include <utility>
#include <vector>

// The version of the tables this program makes on a server; a later program that changes
// them reads it and knows what it finds. Version 2 added the functions that take a Mailer
// Number in one statement (dovra_take_number), 3 the proof copies (Proofs).
inline constexpr int ServerTablesVersion = 3;

// The shared tables as a server database holds them, with their indexes and the counter's
// seed row.
std::vector<engine::ServerTableDef> ServerTableDefs();

// Makes them on an empty server database, in one transaction (see engine::createServerTables).
// Returns false when the database holds them already; tables made by an earlier version of
// the program are then brought up to this one's (see UpgradeServerTables).
bool CreateServerTables(const QString& location);

// Brings tables an earlier version of the program made up to this one's, whole or not at all
// (see engine::upgradeServerTables); a database without them, or up to date, is left alone.
void UpgradeServerTables(const QString& location);

// A number taken: the Mailer Number, its Customer ID and serial, the log row.
struct TServerNumber {
    QString mailerNumber; // 22 digits
    QString customerId;   // nine digits
    QString serial;       // seven digits
    qint64 logId = 0;
    TNumberState state; // the counter as it stood when the number was taken
    QString refusal;    // set, and nothing taken, when the counter cannot number a mailer
};

// The counter stands at a number the log holds already: nothing was taken or changed.
class UsedNumberError : public engine::UniqueKeyError {
public:
    UsedNumberError(const std::string& message, const QString& mailerNumber)
        : engine::UniqueKeyError(message), mailerNumber(mailerNumber)
    {
    }
    QString mailerNumber; // 22 digits
};

// Takes the next Mailer Number on the server, in one statement and so one round trip: the
// server's function dovra_take_number locks the counter row (another workstation waits for
// it, and for a workstation holding the counter through its table handle, as long as for a
// table file: engine::BusyError), reads and advances it and inserts the log row with the
// number, the current time and the fields given, in one transaction committed before it
// answers. A failure anywhere leaves the counter and the log as they were. A number the log
// holds already is refused (UsedNumberError), and the log's unique index LogMailerNumber
// refuses it whatever a client does, so no two rows ever carry one number. A counter that
// cannot number a mailer (bar codes on without a Customer ID, a serial that is not a number)
// gives a refusal instead. The number is built here as well from the counter the server read:
// a row whose number differs is taken back and the take fails, so that nothing is printed
// with a number other than its row's.
TServerNumber TakeServerNumber(const QString& location,
                               const std::vector<std::pair<std::string, engine::Value>>& logFields);

// The server's functions that take a number (made with the tables; see TakeServerNumber).
std::vector<std::string> TakeNumberFunctions();
