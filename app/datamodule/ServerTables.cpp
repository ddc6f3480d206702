#include "app/datamodule/ServerTables.h"

#include "app/datamodule/Schemas.h"
#include "engine/MultiTableWrite.h"
#include "engine/ServerUpgrade.h"
#include "printing/MailerNumber.h"
#include "printing/NumberCounter.h"

#include <QDateTime>

namespace {

// A Mailer Number this program prints is its nine-digit Customer ID and its serial: the log
// takes each only once (the same index as the folder's log).
const engine::IndexDef kLogNumberIndex{"LogMailerNumber", "CustID;SerialNum", true, false,
                                       "length(CustID) = 9 AND SerialNum IS NOT NULL"};

QString textOf(const engine::Value& value)
{
    if (auto s = std::get_if<std::string>(&value))
        return QString::fromStdString(*s).trimmed();
    if (auto i = std::get_if<std::int64_t>(&value))
        return QString::number(*i);
    return {};
}

bool truthOf(const engine::Value& value)
{
    if (auto i = std::get_if<std::int64_t>(&value))
        return *i != 0;
    return false;
}

// The proof copies of printed mailers (printing/ProofArchive.h), looked up by their number. The
// copy's bytes are a column of a type the definitions do not name, made with the table.
engine::ServerTableDef proofTableDef()
{
    return {"Proofs",
            schema::Proofs,
            {{"Proofs_MailerNum", "MailerNum", false, false}},
            {"ALTER TABLE Proofs ADD COLUMN Pdf bytea NOT NULL",
             // A PDF is mostly compressed streams: the server stores it as it is, without trying again.
             "ALTER TABLE Proofs ALTER COLUMN Pdf SET STORAGE EXTERNAL"}};
}

} // namespace

std::vector<engine::ServerTableDef> ServerTableDefs()
{
    return {
        // The seed row is the folder counter's: no Customer ID yet, serial zero, counting up, bar codes on.
        {"MailerNum",
         schema::MailerNum,
         {},
         {"INSERT INTO MailerNum (CustID, SerialNum, Increment, BarCodes) VALUES ('000000000', '0000000', True, "
          "True)"}},
        {"YourAddress", schema::YourAddress, {}, {}},
        // The log window reads its rows in the order of DateTime.
        {"Log37", schema::Log37, {kLogNumberIndex, {"Log37_DateTime", "DateTime", false, false}}, {}},
        {"LogFilters", schema::LogFilters, {{"FilterName", "FilterName", true, false}}, {}},
        {"LogFiltersDetail", schema::LogFiltersDetail, {}, {}},
        {"Reports", schema::Reports, {{"ReportName", "ReportName", true, false}}, {}},
        {"Report_Detail", schema::Report_Detail, {}, {}},
        proofTableDef(),
    };
}

bool CreateServerTables(const QString& location)
{
    if (engine::createServerTables(location.toStdString(), ServerTableDefs(), ServerTablesVersion))
        return true;
    // A database made by an earlier version gains the tables it lacks (the proof copies).
    engine::addMissingServerTables(location.toStdString(), ServerTableDefs(), ServerTablesVersion);
    return false;
}

TServerNumber TakeServerNumber(const QString& location,
                               const std::vector<std::pair<std::string, engine::Value>>& logFields)
{
    const std::string where = location.toStdString();
    engine::MultiTableWrite write({{where, "MailerNum"}, {where, "Log37"}});
    // A workstation holding the counter through its table handle (an exclusive open) holds
    // this lock: the number is taken after it lets go.
    write.run("SELECT pg_advisory_xact_lock(hashtext('dovra table mailernum'))");
    const auto counter = write.firstRow("SELECT CustID, SerialNum, Increment, BarCodes FROM MailerNum FOR UPDATE");
    if (!counter)
        throw engine::EngineError("The table MailerNum on the database server " + engine::describeServer(where) +
                                  " holds no Mailer Number row");
    TServerNumber taken;
    TNumberState state;
    state.CustomerId = textOf((*counter)[0]);
    state.Serial = textOf((*counter)[1]).left(7);
    state.Increment = truthOf((*counter)[2]);
    state.BarCodes = truthOf((*counter)[3]);
    if (state.BarCodes && MailerCustomerId(state.CustomerId) == "000000000") {
        taken.refusal = NoCustomerIdMessage;
        return taken;
    }
    if (!IsPlainNumber(state.Serial)) {
        taken.refusal = SerialNotANumberMessage(state.Serial);
        return taken;
    }
    taken.customerId = MailerCustomerId(state.CustomerId);
    taken.serial = state.Serial.rightJustified(7, '0');
    taken.mailerNumber = MailerNumberOf(state);
    const QString next = AdvanceSerial(state.Serial, state.direction());
    write.run("UPDATE MailerNum SET SerialNum = ?", {next.left(7).toStdString()});

    std::string columns = "DateTime, MailerNum, CustID, SerialNum, Batch";
    std::string marks = "?, ?, ?, ?, ?";
    std::vector<engine::Value> values{
        QDateTime::currentDateTime().toString("yyyy-MM-dd HH:mm:ss").toStdString(),
        GroupMailerNumber(taken.mailerNumber).toStdString(),
        taken.customerId.toStdString(),
        std::int64_t(taken.serial.toInt()),
        std::int64_t(0),
    };
    for (const auto& [name, value] : logFields) {
        columns += ", " + name;
        marks += ", ?";
        values.push_back(value);
    }
    const auto id =
        write.firstValue("INSERT INTO Log37 (" + columns + ") VALUES (" + marks + ") RETURNING LID", values);
    taken.logId = id ? std::get<std::int64_t>(*id) : 0;
    write.commit();
    return taken;
}
