#include "log/LogFilter.h"

#include "engine/Engine.h"

#include <QRegularExpression>

namespace logfilter {

namespace {

const QStringList kEquals{"="};
const QStringList kCompare{">", ">=", "<", "<="};
const QStringList kAll{"=", ">", ">=", "<", "<="};

[[noreturn]] void notValid(const QString& value, const char* what)
{
    throw engine::ConversionError("'" + value.toStdString() + "' is not a valid " + what);
}

QString likeTest(const QString& column, const QString& value)
{
    return "(" + column + " like " + q("%" + value + "%") + ")";
}

// The contains-test on the four address lines, city, state and ZIP of the recipient or sender.
QString sevenColumnTest(const QString& prefix, const QString& value)
{
    const QString cityPrefix = prefix == "ToAddress" ? "To" : "Your";
    QStringList tests;
    for (int i = 1; i <= 4; ++i)
        tests << likeTest(prefix + QString::number(i), value);
    for (const char* part : {"City", "State", "Zip"})
        tests << likeTest(cityPrefix + part, value);
    return "(" + tests.join(" or ") + ")";
}

// The date format of stored values: the locale's short format with a four-digit year, so a
// value saved today still reads as this century.
QString dateFormat(const QLocale& locale)
{
    QString format = locale.dateFormat(QLocale::ShortFormat);
    if (!format.contains("yyyy"))
        format.replace("yy", "yyyy");
    return format;
}

// The long time format without the zone, which would not read back.
QString timeFormat(const QLocale& locale)
{
    QString format = locale.timeFormat(QLocale::LongFormat);
    format.remove(QRegularExpression("\\s*\\bt+\\b"));
    return format.trimmed();
}

} // namespace

QString q(const QString& text)
{
    return QString::fromStdString(engine::quoted(text.toStdString()));
}

const QList<FieldCode>& fieldCodes()
{
    using E = ValueEntry;
    static const QList<FieldCode> codes{
        {"Date/Time", "Date/Time", "DateTime", kCompare, E::DateTime},
        {"Mailer Number", "Mailer Number", "MailerNum", kEquals, E::MailerNumber},
        {"Customer ID", "Customer ID", "CustID", kEquals, E::CustomerId},
        {"Serial Number", "Serial Number", "SerialNum", kAll, E::SerialNumber},
        {"To", "To", "ToAddress", kEquals, E::Text},
        {"To City", "To City", "ToCity", kEquals, E::Text},
        {"To State", "To State", "ToState", kEquals, E::Text},
        {"To Zip", "To Zip", "ToZip", kEquals, E::Text},
        {"From", "From", "YourAddress", kEquals, E::Text},
        {"From City", "From City", "YourCity", kEquals, E::Text},
        {"From State", "From State", "YourState", kEquals, E::Text},
        {"From Zip", "FromZip", "YourZip", kEquals, E::Text},
        {"Department", "Department", "Department", kEquals, E::Text},
        {"Processed By", "Processed By", "ProcessedBy", kEquals, E::Text},
        {"RE", "RE", "RE", kEquals, E::Text},
        {"Comment", "Comment", "Comment", kEquals, E::Text},
        {"Batch", "Batch", "Batch", kEquals, E::TrueFalse},
        {"Result", "Result", "Result", kEquals, E::Result},
        {"Postage Fee", "Postage Fee", "Postage", kAll, E::Text, true},
        {"Certified Fee", "Certified Fee", "Certified", kAll, E::Text, true},
        {"Return Receipt", "Return Receipt", "Return", kAll, E::Text, true},
        {"Restricted Delivery Fee", "Restricted Delivery Fee", "Restricted", kAll, E::Text, true},
        {"Total Fee", "Total Fee", "Total", kAll, E::Text, true},
    };
    return codes;
}

int fieldCodeOf(const QString& text)
{
    bool ok = false;
    const int code = text.trimmed().toInt(&ok);
    return ok && code >= 0 && code < FieldCodeCount ? code : -1;
}

QString lineCaption(const TFilterLineRec& line)
{
    const int code = fieldCodeOf(line.fieldName);
    const QString name = code >= 0 ? fieldCodes()[code].captionName : line.fieldName;
    return name + " " + line.op + " '" + line.value + "'";
}

QString lineCondition(const TFilterLineRec& line, const QLocale& locale)
{
    const int code = fieldCodeOf(line.fieldName);
    if (code < 0)
        notValid(line.fieldName, "field code");
    const FieldCode& field = fieldCodes()[code];
    const QString& v = line.value;
    // The operator is written into the statement only where it plays a part.
    auto checkedOp = [&] {
        if (!field.operators.contains(line.op))
            notValid(line.op, "operator");
        return line.op;
    };
    switch (code) {
    case 0: {
        const auto when = readDateTimeValue(v, locale);
        if (!when)
            notValid(v, "date and time");
        return "(DateTime " + checkedOp() + " " + q(when->toString("yyyy-MM-dd HH:mm:ss")) + ")";
    }
    case 3: {
        static const QRegularExpression digits("^\\d{1,18}$");
        if (!digits.match(v.trimmed()).hasMatch())
            notValid(v, "integer value");
        return "(SerialNum " + checkedOp() + " " + v.trimmed() + ")";
    }
    case ToCode:
    case FromCode:
        return sevenColumnTest(field.column, v);
    case 16: {
        const QString word = v.trimmed();
        if (word.compare("True", Qt::CaseInsensitive) != 0 && word.compare("False", Qt::CaseInsensitive) != 0)
            notValid(v, "boolean value");
        return "(Batch = " + word + ")";
    }
    case 1:
    case 2:
    case 17:
        return "(" + field.column + " = " + q(v) + ")";
    default:
        if (field.numeric)
            return "(" + field.column + " " + checkedOp() + " " + q(v) + ")";
        return likeTest(field.column, v);
    }
}

QString whereClause(const QList<TFilterLineRec>& lines, const QString& combination, const QLocale& locale)
{
    // Only the two words join lines; anything else read from the table counts as AND.
    const QString word = combination.trimmed().compare("OR", Qt::CaseInsensitive) == 0 ? "OR" : "AND";
    QString where;
    for (const auto& line : lines) {
        if (!where.trimmed().isEmpty())
            where += " " + word + " ";
        where += lineCondition(line, locale);
    }
    return where;
}

QString searchCondition(const QString& text)
{
    const QString typed = text.trimmed();
    if (typed.isEmpty())
        return {};
    QString escaped = typed;
    escaped.replace("\\", "\\\\").replace("%", "\\%").replace("_", "\\_");
    const QString pattern = q("%" + escaped + "%") + " escape '\\'";
    QStringList tests;
    for (const char* column : {"MailerNum", "ToAddress1", "ToAddress2", "ToAddress3", "ToAddress4", "RE", "Comment",
                               "Department", "ProcessedBy"})
        tests << QString(column) + " like " + pattern;
    static const QRegularExpression number("^[0-9 ]+$");
    QString digits = typed;
    digits.remove(' ');
    if (number.match(typed).hasMatch())
        tests << "replace(MailerNum, ' ', '') like " + q("%" + digits + "%");
    return "(" + tests.join(" or ") + ")";
}

QString dateRangeCondition(const QDate& from, const QDate& to)
{
    QStringList parts;
    if (from.isValid())
        parts << "DateTime >= " + q(from.toString("yyyy-MM-dd") + " 00:00:00");
    if (to.isValid())
        parts << "DateTime < " + q(to.addDays(1).toString("yyyy-MM-dd") + " 00:00:00");
    return parts.isEmpty() ? QString() : "(" + parts.join(" and ") + ")";
}

QString logSelectSql(const QString& where)
{
    if (where.isEmpty())
        return "select * from Log37 order by DATETIME";
    return "select * from Log37 where " + where + " order by DATETIME";
}

QString dateTimeValue(const QDateTime& when, const QLocale& locale)
{
    return locale.toString(when.date(), dateFormat(locale)) + " " + locale.toString(when.time(), timeFormat(locale));
}

std::optional<QDateTime> readDateTimeValue(const QString& value, const QLocale& locale)
{
    const QString text = value.trimmed();
    const QString dates[] = {dateFormat(locale), locale.dateFormat(QLocale::ShortFormat)};
    const QString times[] = {timeFormat(locale), locale.timeFormat(QLocale::LongFormat),
                             locale.timeFormat(QLocale::ShortFormat)};
    // The date comes first; a date format may itself hold blanks ("10 Dec 2026").
    for (int blank = text.indexOf(' '); blank > 0; blank = text.indexOf(' ', blank + 1)) {
        const QString datePart = text.left(blank);
        const QString timePart = text.mid(blank + 1).trimmed();
        for (const QString& df : dates) {
            QDate date = locale.toDate(datePart, df);
            if (!date.isValid() || (df.contains("yyyy") && date.year() < 1000))
                continue;
            if (!df.contains("yyyy") && date.year() < 2000)
                date = date.addYears(100);
            for (const QString& tf : times) {
                const QTime time = locale.toTime(timePart, tf);
                if (time.isValid())
                    return QDateTime(date, time);
            }
        }
    }
    return std::nullopt;
}

QString insertFilterSql(const QString& name)
{
    return "insert into LogFilters (FILTERNAME, FILTERCOMBINATION) values(" + q(name) + ", " + q("AND") + ")";
}

QString insertLineSql(const QString& name, const TFilterLineRec& line)
{
    return "insert into LogFiltersDetail (FILTERNAME, FIELDNAME, OPERATOR, VALUE) values(" + q(name) + ", " +
           q(line.fieldName) + ", " + q(line.op) + ", " + q(line.value) + ")";
}

QString updateLineSql(const QString& name, const TFilterLineRec& oldLine, const TFilterLineRec& newLine)
{
    return "update LogFiltersDetail set FIELDNAME = " + q(newLine.fieldName) + ", " + "OPERATOR = " + q(newLine.op) +
           ", " + "VALUE = " + q(newLine.value) + " where FILTERNAME = " + q(name) +
           " and FIELDNAME = " + q(oldLine.fieldName) + " and OPERATOR = " + q(oldLine.op) +
           " and VALUE = " + q(oldLine.value);
}

QString deleteLineSql(const QString& name, const TFilterLineRec& line)
{
    return "delete from LogFiltersDetail where FILTERNAME = " + q(name) + " and FIELDNAME = " + q(line.fieldName) +
           " and OPERATOR = " + q(line.op) + " and VALUE = " + q(line.value);
}

QString deleteFilterSql(const QString& name)
{
    return "delete from LogFilters where FILTERNAME = " + q(name);
}

QString deleteFilterLinesSql(const QString& name)
{
    return "delete from LogFiltersDetail where FILTERNAME = " + q(name);
}

QString updateCombinationSql(const QString& name, const QString& combination)
{
    return "update LogFilters set FILTERCOMBINATION = " + q(combination) + " where FILTERNAME = " + q(name);
}

QString selectFiltersSql()
{
    return "select FILTERNAME, FILTERCOMBINATION from LogFilters order by FILTERNAME";
}

QString selectLinesSql(const QString& name)
{
    return "select * from LogFiltersDetail where FILTERNAME = " + q(name);
}

QString inOneTransaction(const QStringList& tables, const QStringList& statements)
{
    QString sql;
    for (const QString& table : tables)
        sql += "select 1 from " + table + " limit 0; ";
    return sql + "begin; " + statements.join("; ") + "; commit";
}

} // namespace logfilter
