#include "core/ReportColumns.h"

namespace {

// Sums of widths such as 2.2 + 2.2 + 2.2 are compared with a small allowance, so that a
// budget filled exactly by decimal widths is not refused by a rounding error.
constexpr double kEpsilon = 1e-9;

} // namespace

const QList<ReportColumnEntry>& reportColumnTable()
{
    static const QList<ReportColumnEntry> table = {
        {"Date and Time(1.4)", "DateTime", 1.4},
        {"Mailer Number(1.65)", "MailerNum", 1.65},
        {"Customer ID(1.0)", "CustID", 1.0},
        {"Serial Number(1.1)", "SerialNum", 1.1},
        {"To Address Line 1(2.2)", "ToAddress1", 2.2},
        {"To Address Line 2(2.2)", "ToAddress2", 2.2},
        {"To Address Line 3(2.2)", "ToAddress3", 2.2},
        {"To Address Line 4(2.2)", "ToAddress4", 2.2},
        {"To Address City(2.2)", "ToCity", 2.2},
        {"To Address State(0.7)", "ToState", 0.7},
        {"To Address Zip(0.8)", "ToZip", 0.8},
        {"From Address Line 1(2.2)", "YourAddress1", 2.2},
        {"From Address Line 2(2.2)", "YourAddress2", 2.2},
        {"From Address Line 3(2.2)", "YourAddress3", 2.2},
        {"From Address Line 4(2.2)", "YourAddress4", 2.2},
        {"From Address City(2.2)", "YourCity", 2.2},
        {"From Address State(0.85)", "YourState", 0.85},
        {"From Address Zip(0.8)", "YourZip", 0.8},
        {"Postage Fee(0.65)", "Postage", 0.65},
        {"Certified Fee(0.7)", "Certified", 0.7},
        {"Return Receipt Fee(1.1)", "Return", 1.1},
        {"Restricted Delivery(0.8)", "Restricted", 0.8},
        {"Total Fee(0.5)", "Total", 0.5},
        {"Department(1.5)", "Department", 1.5},
        {"Processed By(1.5)", "ProcessedBy", 1.5},
        {"RE(1.85)", "RE", 1.85},
        {"Comment(2.2)", "Comment", 2.2},
        {"Batch(0.5)", "Batch", 0.5},
        {"Result(1.4)", "Result", 1.4},
    };
    return table;
}

const ReportColumnEntry* reportColumnOfField(const QString& logColumn)
{
    for (const ReportColumnEntry& e : reportColumnTable())
        if (logColumn.compare(QLatin1String(e.logColumn), Qt::CaseInsensitive) == 0)
            return &e;
    return nullptr;
}

const ReportColumnEntry* reportColumnOfEntry(const QString& entryText)
{
    for (const ReportColumnEntry& e : reportColumnTable())
        if (entryText == QLatin1String(e.entryText))
            return &e;
    return nullptr;
}

double FieldWidth(const QString& entryText)
{
    const qsizetype open = entryText.indexOf('(');
    const qsizetype close = entryText.indexOf(')', open + 1);
    if (open < 0 || close < 0)
        return 0;
    return entryText.mid(open + 1, close - open - 1).toDouble();
}

QString reportHeading(const QString& entryText)
{
    return entryText.left(entryText.indexOf('('));
}

bool ReportWidthBudget::add(double width)
{
    if (width > available_ + kEpsilon)
        return false;
    used_ += width;
    available_ -= width;
    return true;
}

void ReportWidthBudget::remove(double width)
{
    used_ -= width;
    available_ += width;
}

bool ReportWidthBudget::setLandscape(bool landscape)
{
    if (!landscape && used_ > kPortrait + kEpsilon)
        return false;
    landscape_ = landscape;
    available_ = (landscape ? kLandscape : kPortrait) - used_;
    return true;
}

QString ReportWidthBudget::label(double inches)
{
    // Sums of decimal widths carry rounding noise ("6.6000000000000005"); two significant
    // digits hide it, and a value that is zero but for the noise shows as 0.
    if (qAbs(inches) < kEpsilon)
        inches = 0;
    return QString::number(inches, 'g', 2) + '"';
}
