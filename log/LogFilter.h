// Saved log filters: the 23 field codes a filter line may test, the condition each line
// becomes, the where-clause of a whole filter, and the statements that keep filters in the
// tables LogFilters and LogFiltersDetail. No widgets, so every rule is tested directly.
#pragma once

#include <QDateTime>
#include <QList>
#include <QLocale>
#include <QString>
#include <QStringList>
#include <optional>

namespace logfilter {

// How a line's value is entered in the filter line dialog.
enum class ValueEntry { DateTime, MailerNumber, CustomerId, SerialNumber, Text, TrueFalse, Result };

struct FieldCode {
    QString listName;    // in the dialog's field list
    QString captionName; // in the line list
    QString column;      // "ToAddress" and "YourAddress" stand for seven columns each
    QStringList operators;
    ValueEntry entry;
    bool numeric = false; // a fee: the typed value must read as a number
};

inline constexpr int FieldCodeCount = 23;
inline constexpr int ToCode = 4;
inline constexpr int FromCode = 8;

// The field codes in dialog order; the index is the code.
const QList<FieldCode>& fieldCodes();
// The code of a stored field text ("0" to "22"), or -1.
int fieldCodeOf(const QString& text);

// One filter line as stored: the field code as decimal text, the operator, the value.
struct TFilterLineRec {
    QString fieldName, op, value;
    bool operator==(const TFilterLineRec&) const = default;
};

// The line list's caption: caption name, operator and the value in single quotes,
// such as To City = 'Boston'.
QString lineCaption(const TFilterLineRec& line);

// The condition of one line. Throws engine::ConversionError for a value that cannot stand
// in its condition (a Date/Time that does not read, a serial that is not a number, a
// Batch value other than True or False) and for an operator the field does not offer, so
// that no stored text can change the statement.
QString lineCondition(const TFilterLineRec& line, const QLocale& locale = QLocale());
// The lines' conditions joined by the combination word, in the order given; empty when
// there are no lines.
QString whereClause(const QList<TFilterLineRec>& lines, const QString& combination, const QLocale& locale = QLocale());

// The log window's search: the rows whose Mailer Number, recipient lines, RE, comment,
// department or processed-by contain the text, letter case ignored ("%" and "_" are plain
// characters); a text of digits and blanks also finds a Mailer Number whatever its blanks.
// Empty for a blank text.
QString searchCondition(const QString& text);
// The rows logged on the days from..to; a null date leaves that end open. Empty when both are.
QString dateRangeCondition(const QDate& from, const QDate& to);

// The log window's query: the whole log, or the rows of a where-clause, oldest first.
QString logSelectSql(const QString& where = QString());

// A Date/Time value as stored: the date in the short date format (years always with four
// digits), one blank, the time in the long time format without its zone.
QString dateTimeValue(const QDateTime& when, const QLocale& locale = QLocale());
// Reads a stored Date/Time value back; nothing when it does not read under the formats.
std::optional<QDateTime> readDateTimeValue(const QString& value, const QLocale& locale = QLocale());

// Statements on the filter tables.
QString insertFilterSql(const QString& name);
QString insertLineSql(const QString& name, const TFilterLineRec& line);
QString updateLineSql(const QString& name, const TFilterLineRec& oldLine, const TFilterLineRec& newLine);
QString deleteLineSql(const QString& name, const TFilterLineRec& line);
QString deleteFilterSql(const QString& name);      // the filter's row
QString deleteFilterLinesSql(const QString& name); // its lines
QString updateCombinationSql(const QString& name, const QString& combination);
QString selectFiltersSql();
QString selectLinesSql(const QString& name);

// Statements on tables of one folder run as one: every table is reached first (a table
// file cannot be attached inside a transaction), then all statements commit together.
QString inOneTransaction(const QStringList& tables, const QStringList& statements);

// Text in single quotes, embedded single quotes doubled.
QString q(const QString& text);

} // namespace logfilter
