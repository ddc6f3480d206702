// The mailer-number counter: the one row of MailerNum, shared by every workstation that
// points "System Path" / "MailerNumDB" at the same folder. Whoever takes or changes a
// number holds the table open exclusively (dmDovraPro->adstMailerNum); that is the only
// lock between workstations.
#pragma once

#include "core/MailerNumber.h"

#include <QString>

struct Settings;

// What a print run reads from the counter and builds its numbers from.
struct TNumberState {
    QString CustomerId; // as stored, possibly with "-"
    QString Serial;     // the first seven characters of SerialNum
    bool BarCodes = true;
    bool Increment = true;

    SerialDirection direction() const { return CountingDirection(BarCodes, Increment); }
};

// The kind "T" Mailer Number the state's serial gives.
QString MailerNumberOf(const TNumberState& state);

// Shown when bar codes are on and no Customer ID has been set.
extern const QString NoCustomerIdMessage;
// Shown when the stored serial is not a whole number: nothing can be numbered from it.
QString SerialNotANumberMessage(const QString& serial);

// Closes the counter table if open, points it at the settings' "MailerNumDB" folder, opens
// it exclusively and goes to its row. Throws engine::EngineError (table locked elsewhere,
// missing, ...) with the table closed.
void OpenCounterTableExclusive(const Settings& settings);

// Opens the counter exclusively and reads it into state. Returns false when printing must
// be refused (bar codes on and Customer ID "000000000", or a serial that is not a whole
// number): refusal then holds the message to
// show and the table is already closed and released. On true the table stays open and
// locked until CommitSerial or CloseNumberCounter. Throws engine::EngineError with the
// table closed.
bool OpenNumberCounter(const Settings& settings, TNumberState& state, QString& refusal);

// Advances state.Serial (up with bar codes on, else by Increment), writes its first seven
// characters to SerialNum and posts. The table is closed and released on every way out;
// a serial that is not a whole number throws engine::ConversionError and leaves the row
// unchanged.
void CommitSerial(TNumberState& state);

// Closes the counter table and releases the exclusive open without writing.
void CloseNumberCounter();

// Releases the counter when it goes out of scope, whatever way the scope is left.
class TNumberCounterRelease {
public:
    TNumberCounterRelease() = default;
    ~TNumberCounterRelease() { CloseNumberCounter(); }
    TNumberCounterRelease(const TNumberCounterRelease&) = delete;
    TNumberCounterRelease& operator=(const TNumberCounterRelease&) = delete;
};

// The log is the witness of every number handed out: the serials it holds for one Customer ID,
// whether printed by this program or brought in from the log of an earlier edition.
struct LoggedSerials {
    int count = 0;
    int lowest = 0;
    int highest = 0;
};
LoggedSerials SerialsInLog(const QString& logFolder, const QString& customerId);

// The serial to start from instead of serial so that counting on from it never meets one the
// log holds: counting up, one past the highest; counting down, one below the lowest. Empty when
// serial is clear of them already.
QString UnusedSerialFrom(const LoggedSerials& logged, const QString& serial, SerialDirection direction);

// The question put when a counter is set to serial although the log holds later ones.
QString SerialUsedQuestion(const QString& logFolder, const QString& customerId, const LoggedSerials& logged,
                           const QString& serial, const QString& proposed);

// Whether the log holds any mailer printed with a number.
bool LogHoldsPrintedMailers(const QString& logFolder);

// Said at start when the counter had to be made anew while the log holds numbers already.
QString CounterMadeAnewMessage(const QString& counterFolder);
