// A log report: one boxed column per chosen log column, centred on the sheet, a title on the
// first page, headings on every page, and a footer with the page number and, on the last
// page, the date line, the number of rows and the sum of their total fees.
#pragma once

#include "canvas/PageCanvas.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <functional>
#include <optional>
#include <string>

struct LogReportColumn {
    QString field;    // the Log37 field
    QString heading;  // printed above the column
    double width = 0; // inches
};

struct LogReportLayout {
    QString title = QStringLiteral("Certified Mail Log Report");
    bool landscape = false;
    QList<LogReportColumn> columns;
};

// The log rows a report covers.
struct LogRowSelection {
    QString folder; // the log folder
    QString where;  // a condition on Log37; empty for the whole log
    QString orderBy = QStringLiteral("DateTime");
    // "select <fields> from Log37[ where (<where>)] order by <orderBy>"
    QString sql(const QString& fields = QStringLiteral("*")) const;
    // Whether the selection holds any row.
    bool hasRows() const;
};

struct LogReportTotals {
    qint64 rows = 0;
    double fees = 0;
    int pages = 0;
};

// The layout of a report defined by the user: the rows of Report_Detail for the name, in
// FieldOrder; a field that is no log column is left out. Nothing when the name has no rows.
std::optional<LogReportLayout> userReportLayout(const QString& logFolder, const QString& reportName, bool landscape);

// Text as an SQL literal: in single quotes, embedded ones doubled.
QString quotedSql(const QString& text);

// A Total fee as a number: blank is no fee; anything else that does not read as a number
// throws the engine's conversion error.
double feeAmount(const std::string& text);
// An amount as the system writes currency, with two decimals.
QString reportCurrency(double amount);
// A date and time in the system's format.
QString reportDateTime(const QDateTime& when);

// Reads the Total of every row; throws the conversion error of the first that is no number.
void checkReportFees(const LogRowSelection& rows);

// Prints the report over the rows, streaming them from the log table. The canvas's page must
// already be in the layout's orientation. Every Total is read before anything is drawn, so a
// fee that is not a number stops the report with nothing printed. dateLine is printed at the
// left of the last page's footer. onPage, told each page number as the page starts, may
// return false to stop: the job is then taken back.
LogReportTotals printLogReport(PageCanvas& canvas, const LogReportLayout& layout, const LogRowSelection& rows,
                               const QString& dateLine, const std::function<bool(int)>& onPage = {});
