#include "log/LogReport.h"

#include "core/ReportColumns.h"
#include "engine/Query.h"
#include "log/ReportWriter.h"

#include <QLocale>

namespace {

class ReportStopped : public std::exception {};

// The query's column index of each report column, looked up once.
QList<int> columnIndexes(const engine::Query& query, const LogReportLayout& layout)
{
    QList<int> indexes;
    for (const LogReportColumn& column : layout.columns) {
        int found = -1;
        for (int i = 0; i < query.fieldCount() && found < 0; ++i)
            if (column.field.compare(QString::fromStdString(query.fieldName(i)), Qt::CaseInsensitive) == 0)
                found = i;
        indexes.append(found);
    }
    return indexes;
}

QString displayText(const engine::Query& query, int index, bool isDateTime)
{
    if (index < 0)
        return QString();
    const std::string text = query.asString(index);
    if (isDateTime)
        if (const auto when = engine::DateTime::parse(text))
            return reportDateTime(
                QDateTime(QDate(when->year, when->month, when->day), QTime(when->hour, when->minute, when->second)));
    return QString::fromStdString(text);
}

} // namespace

QString LogRowSelection::sql(const QString& fields) const
{
    QString text = "select " + fields + " from Log37";
    if (!where.trimmed().isEmpty())
        text += " where (" + where + ")";
    if (!orderBy.isEmpty())
        text += " order by " + orderBy;
    return text;
}

bool LogRowSelection::hasRows() const
{
    LogRowSelection first = *this;
    first.orderBy.clear();
    engine::Query query;
    query.setFolder(folder.toStdString());
    query.setSql((first.sql("LID") + " limit 1").toStdString());
    query.open();
    const bool any = !query.eof();
    query.close();
    return any;
}

std::optional<LogReportLayout> userReportLayout(const QString& logFolder, const QString& reportName, bool landscape)
{
    bool defined = false;
    LogReportLayout layout;
    layout.landscape = landscape;
    engine::Query query;
    query.setFolder(logFolder.toStdString());
    query.setSql(("select * from Report_Detail where REPORTNAME = " + quotedSql(reportName) + " order by FieldOrder")
                     .toStdString());
    for (query.open(); !query.eof(); query.next()) {
        defined = true;
        if (const ReportColumnEntry* entry = reportColumnOfField(QString::fromStdString(query.asString("Field_Name"))))
            layout.columns.append(
                {QLatin1String(entry->logColumn), reportHeading(QLatin1String(entry->entryText)), entry->width});
    }
    query.close();
    if (!defined)
        return std::nullopt;
    return layout;
}

QString quotedSql(const QString& text)
{
    return QString::fromStdString(engine::quoted(text.toStdString()));
}

double feeAmount(const std::string& text)
{
    const QString trimmed = QString::fromStdString(text).trimmed();
    if (trimmed.isEmpty())
        return 0;
    bool ok = false;
    const double amount = QLocale::c().toDouble(trimmed, &ok);
    if (!ok)
        throw engine::ConversionError("'" + text + "' is not a valid floating point value");
    return amount;
}

QString reportCurrency(double amount)
{
    // Without a country (the C locale of a bare session), the dollars of the US postal fees.
    const QLocale system = QLocale::system();
    const QLocale locale = system.language() == QLocale::C ? QLocale(QLocale::English, QLocale::UnitedStates) : system;
    return locale.toCurrencyString(amount, locale.currencySymbol(), 2);
}

QString reportDateTime(const QDateTime& when)
{
    return QLocale::system().toString(when, QLocale::ShortFormat);
}

void checkReportFees(const LogRowSelection& rows)
{
    LogRowSelection unordered = rows;
    unordered.orderBy.clear();
    engine::Query query;
    query.setFolder(rows.folder.toStdString());
    query.setSql(unordered.sql("Total").toStdString());
    for (query.open(); !query.eof(); query.next())
        feeAmount(query.asString(0));
    query.close();
}

LogReportTotals printLogReport(PageCanvas& canvas, const LogReportLayout& layout, const LogRowSelection& rows,
                               const QString& dateLine, const std::function<bool(int)>& onPage)
{
    // Every fee read first: a Total that is no number stops the report before a page exists.
    checkReportFees(rows);

    engine::Query query;
    query.setFolder(rows.folder.toStdString());
    query.setSql(rows.sql().toStdString());
    query.open();
    const QList<int> indexes = columnIndexes(query, layout);
    QList<bool> isDateTime;
    for (const LogReportColumn& column : layout.columns)
        isDateTime.append(column.field.compare("DateTime", Qt::CaseInsensitive) == 0);

    ReportWriter out(canvas);
    LogReportTotals totals;
    bool started = false;
    out.onFooter = [&] {
        while (out.linesLeft() > 0)
            out.newLine();
        const bool finished = started && query.eof();
        if (finished)
            out.print(dateLine);
        out.printCenter("Page " + QString::number(out.pageNumber()), out.pageWidth() / 2);
        if (finished && totals.fees > 0)
            out.printRight("Total Count: " + QString::number(totals.rows) + "   " +
                               "Total Fees: " + reportCurrency(totals.fees),
                           out.pageWidth() - ReportWriter::kMargin);
    };

    try {
        out.begin();
        if (onPage && !onPage(1))
            throw ReportStopped();
        started = true;
        out.clearTabs();
        double sum = 0;
        for (const LogReportColumn& column : layout.columns)
            sum += column.width;
        const double left = (out.pageWidth() - sum) / 2;
        for (const LogReportColumn& column : layout.columns)
            out.addTab(out.tabs().isEmpty() ? std::optional<double>(left) : std::nullopt, column.width,
                       TextAlignment::Center, 0.05, true);

        out.setFont("Arial", 18);
        out.home();
        out.printCenter(layout.title, out.pageWidth() / 2);
        out.newLine();
        out.newLine();
        out.setFont("Times New Roman", 12);
        out.realignLine();

        while (!query.eof()) {
            out.setTabJustify(TextAlignment::Center);
            for (const LogReportColumn& column : layout.columns)
                out.printTab(column.heading);
            out.setTabJustify(std::nullopt);
            out.newLine();
            out.setFont("Times New Roman", 10);
            out.realignLine();

            // At least one row a page, however little room a canvas leaves.
            bool rowOnPage = false;
            while ((out.linesLeft() > 0 || !rowOnPage) && !query.eof()) {
                totals.fees += feeAmount(query.asString("Total"));
                ++totals.rows;
                for (qsizetype i = 0; i < layout.columns.size(); ++i)
                    out.printTab(displayText(query, indexes.at(i), isDateTime.at(i)));
                out.newLine();
                rowOnPage = true;
                query.next();
            }
            if (!query.eof()) {
                out.newPage();
                if (onPage && !onPage(out.pageNumber()))
                    throw ReportStopped();
            }
        }
        out.end();
    } catch (const ReportStopped&) {
        out.abort();
        totals.pages = 0;
        return totals;
    } catch (...) {
        out.abort();
        throw;
    }
    totals.pages = out.pageNumber();
    return totals;
}
