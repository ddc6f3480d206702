#include "core/datamodule/ServerTables.h"

#include "core/MailerNumber.h"
#include "core/NumberCounter.h"
#include "core/datamodule/Schemas.h"
#include "engine/Dialect.h"
#include "engine/MultiTableWrite.h"
#include "engine/Server.h"
#include "engine/ServerUpgrade.h"

#include <QDateTime>
#include <QJsonDocument>
#include <QJsonObject>
#include <set>

namespace {

// A Mailer Number this program prints is its nine-digit Customer ID and its serial: the log
// takes each only once (the same index as the folder's log).
const engine::IndexDef kLogNumberIndex{"LogMailerNumber", "CustID;SerialNum", true, false,
                                       "length(CustID) = 9 AND SerialNum IS NOT NULL"};

bool truthOf(const engine::Value& value)
{
    if (auto i = std::get_if<std::int64_t>(&value))
        return *i != 0;
    return false;
}

QJsonValue jsonOf(const engine::Value& value)
{
    if (auto i = std::get_if<std::int64_t>(&value))
        return QJsonValue(qint64(*i));
    if (auto d = std::get_if<double>(&value))
        return QJsonValue(*d);
    if (auto s = std::get_if<std::string>(&value))
        return QJsonValue(QString::fromStdString(*s));
    return QJsonValue(QJsonValue::Null);
}

// The counter as a table handle reads it: texts without their trailing blanks.
QString storedText(const engine::Value& value)
{
    QString text;
    if (auto s = std::get_if<std::string>(&value))
        text = QString::fromStdString(*s);
    while (!text.isEmpty() && text.back().isSpace())
        text.chop(1);
    return text;
}

// What the counter refuses to number, as a print run reads it; empty when it numbers.
QString refusalOf(const TNumberState& state)
{
    if (state.BarCodes && MailerCustomerId(state.CustomerId) == "000000000")
        return NoCustomerIdMessage;
    if (!IsPlainNumber(state.Serial))
        return SerialNotANumberMessage(state.Serial);
    return {};
}

// The Log37 columns the take fills from the entry given: all but the key and the number's.
std::string entryColumns(const std::string& prefix)
{
    static const std::set<std::string> setByTake{"lid", "mailernum", "custid", "serialnum", "batch"};
    std::string columns;
    for (const engine::FieldDef& field : engine::parseDefinition(schema::Log37)) {
        const QString name = QString::fromStdString(field.name).toLower();
        if (setByTake.count(name.toStdString()) == 0)
            columns += ", " + prefix + engine::dialect::serverName(field.name);
    }
    return columns;
}

// The server's reading of a Mailer Number and of a counter, as core/MailerNumber.cpp and
// the print run read them: a plain number is digits only within 32 bits; the Customer ID has
// its dashes dropped, then is padded on the left and cut on the right to nine digits (zeros
// when not a plain number), the serial likewise to seven; the check digit is GS1 modulo 10.
const char* kPlainNumberFunction =
    "CREATE OR REPLACE FUNCTION dovra_plain_number(t text) RETURNS boolean LANGUAGE sql IMMUTABLE AS $f$ "
    "SELECT CASE WHEN t ~ '^[0-9]+$' THEN t::numeric <= 2147483647 ELSE false END $f$";
const char* kMailerNumberFunction =
    "CREATE OR REPLACE FUNCTION dovra_mailer_number(customer_id text, serial text) RETURNS text "
    "LANGUAGE plpgsql IMMUTABLE AS $f$ "
    "DECLARE id text := replace(coalesce(customer_id, ''), '-', ''); body text; total integer := 0; "
    "BEGIN "
    "body := '92147' || CASE WHEN dovra_plain_number(id) THEN left(lpad(id, 9, '0'), 9) ELSE '000000000' END || "
    "CASE WHEN dovra_plain_number(serial) THEN left(lpad(serial, 7, '0'), 7) ELSE '0000000' END; "
    "FOR i IN 1..length(body) LOOP "
    "total := total + substr(body, i, 1)::integer * CASE WHEN (length(body) - i) % 2 = 0 THEN 3 ELSE 1 END; "
    "END LOOP; "
    "RETURN body || ((10 - total % 10) % 10)::text; "
    "END $f$";

// The take itself. The advisory lock is the one a table handle's exclusive open of the counter
// holds; lock_timeout (the engine's wait) bounds the wait for it and for the row. The counter's
// first row (a scan's first, as a table handle's) is the one. Each statement of the function
// reads what was committed before it began, so the log is asked after the locks are granted.
// Nothing is changed when it refuses.
std::string takeNumberFunction()
{
    return "CREATE OR REPLACE FUNCTION dovra_take_number(p_entry jsonb) "
           "RETURNS TABLE (outcome text, cust_id text, serial_num text, incrementing boolean, bar_codes boolean, "
           "log_id bigint, mailer_num text) LANGUAGE plpgsql AS $f$ "
           "DECLARE v_row tid; v_serial text; v_number text; "
           "BEGIN "
           "PERFORM pg_advisory_xact_lock(hashtext(" +
           engine::quoted(engine::serverTableLockName("MailerNum")) + ")); "
           "SELECT m.ctid, m.custid, m.serialnum, coalesce(m.increment, false), coalesce(m.barcodes, false) "
           "INTO v_row, cust_id, serial_num, incrementing, bar_codes "
           "FROM mailernum m LIMIT 1 FOR UPDATE; "
           "IF NOT FOUND THEN outcome := 'no row'; RETURN NEXT; RETURN; END IF; "
           "v_serial := left(coalesce(serial_num, ''), 7); "
           "v_number := dovra_mailer_number(cust_id, v_serial); "
           "IF (bar_codes AND substr(v_number, 6, 9) = '000000000') OR NOT dovra_plain_number(v_serial) THEN "
           "outcome := 'refused'; RETURN NEXT; RETURN; END IF; "
           "mailer_num := concat_ws(' ', substr(v_number, 1, 4), substr(v_number, 5, 4), substr(v_number, 9, 4), "
           "substr(v_number, 13, 4), substr(v_number, 17, 4), substr(v_number, 21)); "
           // The log's unique index LogMailerNumber, asked before it would refuse the row.
           "IF length(cust_id) = 9 AND EXISTS (SELECT 1 FROM log37 l WHERE l.custid = cust_id AND "
           "l.serialnum = v_serial::integer AND length(l.custid) = 9) THEN "
           "outcome := 'used'; RETURN NEXT; RETURN; END IF; "
           "UPDATE mailernum m SET serialnum = lpad((((v_serial::bigint + CASE WHEN bar_codes OR incrementing "
           "THEN 1 ELSE -1 END) % 10000000 + 10000000) % 10000000)::text, 7, '0') WHERE m.ctid = v_row; "
           "INSERT INTO log37 AS l (mailernum, custid, serialnum, batch" +
           entryColumns("") + ") SELECT mailer_num, cust_id, v_serial::integer, false" + entryColumns("r.") +
           " FROM jsonb_populate_record(NULL::log37, p_entry) r RETURNING l.lid, l.mailernum INTO log_id, mailer_num; "
           "outcome := 'taken'; RETURN NEXT; "
           "END $f$";
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
             "ALTER TABLE Proofs ALTER COLUMN Pdf SET STORAGE EXTERNAL"},
            {}};
}

} // namespace

std::vector<std::string> TakeNumberFunctions()
{
    return {kPlainNumberFunction, kMailerNumberFunction, takeNumberFunction()};
}

std::vector<engine::ServerTableDef> ServerTableDefs()
{
    return {
        // The seed row is the folder counter's: no Customer ID yet, serial zero, counting up, bar codes on.
        {"MailerNum",
         schema::MailerNum,
         {},
         {"INSERT INTO MailerNum (CustID, SerialNum, Increment, BarCodes) VALUES ('000000000', '0000000', True, "
          "True)"},
         {}},
        {"YourAddress", schema::YourAddress, {}, {}, {}},
        // The log window reads its rows in the order of DateTime.
        {"Log37",
         schema::Log37,
         {kLogNumberIndex, {"Log37_DateTime", "DateTime", false, false}},
         {},
         TakeNumberFunctions()},
        {"LogFilters", schema::LogFilters, {{"FilterName", "FilterName", true, false}}, {}, {}},
        {"LogFiltersDetail", schema::LogFiltersDetail, {}, {}, {}},
        {"Reports", schema::Reports, {{"ReportName", "ReportName", true, false}}, {}, {}},
        {"Report_Detail", schema::Report_Detail, {}, {}, {}},
        proofTableDef(),
    };
}

void UpgradeServerTables(const QString& location)
{
    // 2: the functions that take a number in one statement; 3: the proof copies' table Proofs.
    engine::upgradeServerTables(location.toStdString(), ServerTableDefs(), {{2, TakeNumberFunctions()}},
                                ServerTablesVersion);
}

bool CreateServerTables(const QString& location)
{
    const std::string where = location.toStdString();
    if (engine::createServerTables(where, ServerTableDefs(), ServerTablesVersion))
        return true;
    UpgradeServerTables(location);
    return false;
}

TServerNumber TakeServerNumber(const QString& location,
                               const std::vector<std::pair<std::string, engine::Value>>& logFields)
{
    const std::string where = location.toStdString();
    const std::string counterFile = engine::tableFile(where, "MailerNum");
    // This thread's connection holds the server's lock of a table handle of this process.
    if (engine::heldExclusivelyHere(where, "MailerNum"))
        throw engine::BusyError("The table " + counterFile +
                                " is in use by another user or workstation and cannot be opened exclusively");
    QJsonObject entry;
    for (const auto& [name, value] : logFields)
        entry.insert(QString::fromStdString(name).toLower(), jsonOf(value));
    entry.insert("datetime", QDateTime::currentDateTime().toString("yyyy-MM-dd HH:mm:ss"));
    const auto row = engine::firstRowOnServer(where, "SELECT * FROM dovra_take_number($1)",
                                              {QJsonDocument(entry).toJson(QJsonDocument::Compact).toStdString()});
    const QString outcome = row ? storedText((*row)[0]) : QString();
    if (!row || outcome == "no row")
        throw engine::EngineError("The table " + counterFile + " holds no Mailer Number row");
    TServerNumber taken;
    TNumberState& state = taken.state;
    state.CustomerId = storedText((*row)[1]);
    state.Serial = storedText((*row)[2]).left(7);
    state.Increment = truthOf((*row)[3]);
    state.BarCodes = truthOf((*row)[4]);
    taken.refusal = refusalOf(state);
    const QString number = taken.refusal.isEmpty() ? MailerNumberOf(state) : QString();
    const QString logged = storedText((*row)[6]);
    const bool agreed = outcome == "refused" ? !taken.refusal.isEmpty()
                        : outcome == "used" || outcome == "taken"
                            ? taken.refusal.isEmpty() && logged == GroupMailerNumber(number)
                            : false;
    if (!agreed) {
        if (outcome == "taken")
            engine::firstRowOnServer(where, "DELETE FROM log37 WHERE lid = $1", {(*row)[5]});
        throw engine::EngineError("The database server " + engine::describeServer(where) + " numbered the mailer \"" +
                                  logged.toStdString() + "\" (" + outcome.toStdString() +
                                  ") from the counter it read, where this program makes \"" +
                                  GroupMailerNumber(number).toStdString() + "\"" +
                                  (taken.refusal.isEmpty() ? "" : " (" + taken.refusal.toStdString() + ")") +
                                  ": its function dovra_take_number does not match this program");
    }
    if (outcome == "used")
        throw UsedNumberError("The Mailer Number " + logged.toStdString() + " is already in the log " +
                                  engine::tableFile(where, "Log37"),
                              number);
    if (outcome == "refused")
        return taken;
    taken.mailerNumber = number;
    taken.customerId = MailerCustomerId(state.CustomerId);
    taken.serial = state.Serial.rightJustified(7, '0');
    taken.logId = std::get<std::int64_t>((*row)[5]);
    return taken;
}
