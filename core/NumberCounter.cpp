#include "core/NumberCounter.h"

#include "core/Settings.h"
#include "core/datamodule/MoveToServer.h"
#include "core/datamodule/TdmDovraPro.h"
#include "engine/Engine.h"
#include "engine/Query.h"
#include "engine/Server.h"

const QString NoCustomerIdMessage =
    QStringLiteral("You can not print a Mailer with \"00-000-0000\" as a Customer ID.\r\r"
                   "Please enter in a Customer ID, and try again.");

QString SerialNotANumberMessage(const QString& serial)
{
    return QStringLiteral("The next serial number \"%1\" of the Mailer Number counter is not a number.\r\r"
                          "Please correct the Starting Identifier Serial Number under Options, Mailer Number, "
                          "and try again.")
        .arg(serial);
}

QString MailerNumberOf(const TNumberState& state)
{
    return BuildMailerNumber(CustomerIdWithoutDashes(state.CustomerId), state.Serial, "T");
}

namespace {

engine::Table& counterTable()
{
    return dmDovraPro->adstMailerNum;
}

// Closes the table when a step fails before it has been handed to the caller.
class CloseUnlessKept {
public:
    ~CloseUnlessKept()
    {
        if (!kept_)
            CloseNumberCounter();
    }
    void keep() { kept_ = true; }

private:
    bool kept_ = false;
};

} // namespace

void OpenCounterTableExclusive(const Settings& settings)
{
    CloseNumberCounter();
    CloseUnlessKept guard;
    engine::Table& table = counterTable();
    table.setFolder(toStd(settings.mailerNumLocation()));
    table.setTableName("MailerNum");
    table.setExclusive(true);
    table.open(); // on the first row
    guard.keep();
}

bool OpenNumberCounter(const Settings& settings, TNumberState& state, QString& refusal)
{
    refusal.clear();
    // A counter moved to a database server hands out no more numbers from its folder.
    if (!settings.onServer())
        if (const QString moved = MovedToServerRefusal(settings.mailerNumDB); !moved.isEmpty())
            throw engine::EngineError(toStd(moved + "\n\nNothing has been printed; no Mailer Number was used."));
    CloseUnlessKept guard;
    try {
        OpenCounterTableExclusive(settings);
    } catch (const engine::BusyError& e) {
        throw engine::BusyError(engine::inUseMessage(engine::tableFile(toStd(settings.mailerNumLocation()), "MailerNum"),
                                                     e.what()) +
                                "\n\nNothing has been printed; no Mailer Number was used.");
    } catch (const engine::EngineError& e) {
        // A server that cannot be reached hands out no number: the program never makes one up.
        if (!engine::isServerLocation(toStd(settings.mailerNumLocation())))
            throw;
        throw engine::EngineError(std::string(e.what()) + "\n\nNothing has been printed; no Mailer Number was used.");
    }
    const engine::Table& table = counterTable();
    // A counter without its row would hand out numbers it cannot record.
    if (table.eof())
        throw engine::EngineError("The table " + table.fileName() + " holds no Mailer Number row");
    state.CustomerId = fromStd(table.asString("CustID"));
    state.Serial = fromStd(table.asString("SerialNum")).left(7);
    state.BarCodes = table.asBoolean("BarCodes");
    state.Increment = table.asBoolean("Increment");
    // Whatever would put nine zeros into the bar-coded number counts as no Customer ID, such
    // as what the nine-character field keeps of the older form "00-000-0000".
    if (state.BarCodes && MailerCustomerId(state.CustomerId) == "000000000") {
        refusal = NoCustomerIdMessage;
        return false;
    }
    // Such a serial would print as "0000000" and could not be advanced afterwards, so every
    // following mailer would carry that same number again.
    if (!IsPlainNumber(state.Serial)) {
        refusal = SerialNotANumberMessage(state.Serial);
        return false;
    }
    guard.keep();
    return true;
}

void CommitSerial(TNumberState& state)
{
    TNumberCounterRelease release;
    const QString next = AdvanceSerial(state.Serial, state.direction());
    engine::Table& table = counterTable();
    table.edit();
    table.setText("SerialNum", toStd(next.left(7)));
    table.post();
    state.Serial = next;
}

void CloseNumberCounter()
{
    if (!dmDovraPro)
        return;
    engine::Table& table = counterTable();
    table.close();
    table.setExclusive(false);
}

LoggedSerials SerialsInLog(const QString& logFolder, const QString& customerId)
{
    LoggedSerials logged;
    const QString id = CustomerIdWithoutDashes(customerId);
    if (!engine::tableExists(toStd(logFolder), "Log37"))
        return logged;
    engine::Query q;
    q.setFolder(toStd(logFolder));
    // Rows brought in from earlier editions write the Customer ID with dashes.
    q.setSql("select count(*) as Rows, min(SerialNum) as Lowest, max(SerialNum) as Highest from Log37 "
             "where replace(CustID, '-', '') = " +
             engine::quoted(toStd(id)) + " and SerialNum is not null and MailerNum is not null");
    q.open();
    if (!q.eof()) {
        logged.count = int(q.asInteger("Rows"));
        if (logged.count > 0) {
            logged.lowest = int(q.asInteger("Lowest"));
            logged.highest = int(q.asInteger("Highest"));
        }
    }
    q.close();
    return logged;
}

QString UnusedSerialFrom(const LoggedSerials& logged, const QString& serial, SerialDirection direction)
{
    if (logged.count == 0)
        return {};
    const auto seven = [](int value) { return QString("%1").arg(value, 7, 10, QChar('0')); };
    const int value = serial.toInt();
    if (direction == SerialDirection::Up)
        return value > logged.highest ? QString() : AdvanceSerial(seven(logged.highest), direction);
    return value < logged.lowest ? QString() : AdvanceSerial(seven(logged.lowest), direction);
}

QString SerialUsedQuestion(const QString& logFolder, const QString& customerId, const LoggedSerials& logged,
                           const QString& serial, const QString& proposed)
{
    return QStringLiteral("The log %1 already holds %2 Mailer Numbers with the Mailer ID %3, serials %4 to %5, so "
                          "counting on from serial %6 would hand out a number a second time.\n\n"
                          "Use the next serial the log has not used, %7?")
        .arg(fromStd(engine::tableFile(toStd(logFolder), "Log37")))
        .arg(logged.count)
        .arg(CustomerIdWithoutDashes(customerId))
        .arg(logged.lowest, 7, 10, QChar('0'))
        .arg(logged.highest, 7, 10, QChar('0'))
        .arg(serial, proposed);
}

bool LogHoldsPrintedMailers(const QString& logFolder)
{
    if (!engine::tableExists(toStd(logFolder), "Log37"))
        return false;
    engine::Query q;
    q.setFolder(toStd(logFolder));
    q.setSql("select 1 from Log37 where MailerNum is not null and SerialNum is not null limit 1");
    q.open();
    const bool any = !q.eof();
    q.close();
    return any;
}

QString CounterMadeAnewMessage(const QString& counterFolder)
{
    return QStringLiteral("The Mailer Number counter %1 was missing or empty and has been made anew, with no Mailer "
                          "ID and the serial 0000000. Nothing is printed with it until the Mailer ID and the next "
                          "serial are entered under Options, Mailer Number; the log already holds Mailer Numbers, "
                          "and the serials it holds are not handed out again.")
        .arg(fromStd(engine::tableFile(toStd(counterFolder), "MailerNum")));
}
