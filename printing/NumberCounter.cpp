#include "printing/NumberCounter.h"

#include "app/Settings.h"
#include "app/datamodule/TdmDovraPro.h"
#include "engine/Engine.h"

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
    table.setFolder(toStd(settings.mailerNumDB));
    table.setTableName("MailerNum");
    table.setExclusive(true);
    table.open(); // on the first row
    guard.keep();
}

bool OpenNumberCounter(const Settings& settings, TNumberState& state, QString& refusal)
{
    refusal.clear();
    CloseUnlessKept guard;
    OpenCounterTableExclusive(settings);
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
