#include "log/ReportProject.h"

#include "core/ReportColumns.h"
#include "engine/Engine.h"

#include <QDate>
#include <QFile>
#include <QLocale>
#include <QMap>
#include <QRegularExpression>
#include <QTextStream>

namespace {

const QString kMagic = QStringLiteral("Dovra Report Project 1");

class ProjectError : public std::runtime_error {
public:
    explicit ProjectError(const QString& text) : std::runtime_error(text.toStdString()) {}
};

QString withoutBlanks(QString text)
{
    text.remove(' ');
    return text;
}

// "Field", "Field width" or either with a heading in double quotes: a log column, with the
// printed width in inches and the heading when they differ from the column's usual ones.
LogReportColumn parseColumn(QString item)
{
    QString heading;
    const qsizetype quote = item.indexOf('"');
    if (quote >= 0) {
        const qsizetype end = item.indexOf('"', quote + 1);
        if (end < 0 || !item.mid(end + 1).trimmed().isEmpty())
            throw ProjectError(QString("the heading of \"%1\" must stand in double quotes at its end").arg(item));
        heading = item.mid(quote + 1, end - quote - 1);
        item = item.left(quote);
    }
    const QStringList parts = item.split(' ', Qt::SkipEmptyParts);
    const ReportColumnEntry* entry = parts.isEmpty() ? nullptr : reportColumnOfField(parts.first());
    if (!entry || parts.size() > 2)
        throw ProjectError(QString("\"%1\" is not a log column").arg(item.trimmed()));
    LogReportColumn column{QLatin1String(entry->logColumn),
                           quote >= 0 ? heading : reportHeading(QLatin1String(entry->entryText)), entry->width};
    if (parts.size() == 2) {
        bool ok = false;
        column.width = parts.at(1).toDouble(&ok);
        if (!ok || column.width <= 0 || column.width > ReportWidthBudget::kLandscape)
            throw ProjectError(QString("\"%1\" is not a column width").arg(parts.at(1)));
    }
    return column;
}

// "Field[ desc], ...": only log columns, so the file cannot slip other SQL into the order.
QString parseOrder(const QString& value)
{
    QStringList fields;
    for (const QString& item : value.split(',', Qt::SkipEmptyParts)) {
        const QStringList parts = item.split(' ', Qt::SkipEmptyParts);
        const ReportColumnEntry* entry = parts.isEmpty() ? nullptr : reportColumnOfField(parts.first());
        const bool descending = parts.size() == 2 && parts.at(1).compare("desc", Qt::CaseInsensitive) == 0;
        if (!entry || parts.size() > 2 || (parts.size() == 2 && !descending))
            throw ProjectError(QString("\"%1\" is not a log column to sort by").arg(item.trimmed()));
        fields << QLatin1String(entry->logColumn) + (descending ? " desc" : "");
    }
    return fields.join(", ");
}

const QRegularExpression& parameterPattern()
{
    static const QRegularExpression pattern(":([A-Za-z][A-Za-z0-9_]*)");
    return pattern;
}

QString substituted(QString text, const QMap<QString, QDate>& values, bool asSql)
{
    QString result;
    qsizetype from = 0;
    for (auto it = parameterPattern().globalMatch(text); it.hasNext();) {
        const auto match = it.next();
        result += text.mid(from, match.capturedStart() - from);
        const QDate day = values.value(match.captured(1));
        result += asSql ? quotedSql(day.toString(Qt::ISODate)) : QLocale::system().toString(day, QLocale::ShortFormat);
        from = match.capturedEnd();
    }
    return result + text.mid(from);
}

void finish(ProjectReport& report, int line)
{
    if (report.layout.columns.isEmpty())
        throw ProjectError(QString("report \"%1\" (line %2) has no Columns").arg(report.displayName).arg(line));
    double sum = 0;
    for (const LogReportColumn& c : report.layout.columns)
        sum += c.width;
    const double budget = report.layout.landscape ? ReportWidthBudget::kLandscape : ReportWidthBudget::kPortrait;
    if (sum > budget + 1e-9)
        throw ProjectError(QString("the columns of report \"%1\" take %2 inches, more than the %3 of its page")
                               .arg(report.displayName)
                               .arg(sum)
                               .arg(budget));
    QStringList asked;
    for (const auto& p : report.parameters)
        asked << p.name;
    for (const QString& text : {report.condition, report.layout.title})
        for (auto it = parameterPattern().globalMatch(text); it.hasNext();) {
            const QString name = it.next().captured(1);
            if (!asked.contains(name))
                throw ProjectError(
                    QString("report \"%1\" uses :%2, which no Ask line names").arg(report.displayName, name));
        }
}

QList<ProjectReport> parse(QTextStream& in)
{
    QList<ProjectReport> reports;
    bool magicSeen = false;
    int lineNumber = 0, reportLine = 0;
    while (!in.atEnd()) {
        const QString line = in.readLine().trimmed();
        ++lineNumber;
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        if (!magicSeen) {
            if (line != kMagic)
                throw ProjectError(QString("it does not begin with \"%1\"").arg(kMagic));
            magicSeen = true;
            continue;
        }
        const auto where = [&] { return QString("line %1: ").arg(lineNumber); };
        if (line.startsWith('[')) {
            if (!line.endsWith(']') || line.size() < 3)
                throw ProjectError(where() + "a report name must stand between [ and ]");
            if (!reports.isEmpty())
                finish(reports.last(), reportLine);
            ProjectReport report;
            report.displayName = line.mid(1, line.size() - 2).trimmed();
            for (const ProjectReport& r : reports)
                if (r.runName().compare(report.runName(), Qt::CaseInsensitive) == 0)
                    throw ProjectError(where() + QString("a second report named \"%1\"").arg(report.displayName));
            reports.append(report);
            reportLine = lineNumber;
            continue;
        }
        const qsizetype equals = line.indexOf('=');
        if (equals < 0)
            throw ProjectError(where() + "expected Key = Value");
        if (reports.isEmpty())
            throw ProjectError(where() + "a setting before the first [report]");
        ProjectReport& report = reports.last();
        const QString key = line.left(equals).trimmed().toLower();
        const QString value = line.mid(equals + 1).trimmed();
        if (key == "title") {
            report.layout.title = value;
        } else if (key == "orientation") {
            if (value.compare("Portrait", Qt::CaseInsensitive) != 0 &&
                value.compare("Landscape", Qt::CaseInsensitive) != 0)
                throw ProjectError(where() + "Orientation is Portrait or Landscape");
            report.layout.landscape = value.compare("Landscape", Qt::CaseInsensitive) == 0;
        } else if (key == "columns") {
            try {
                for (const QString& item : value.split(',', Qt::SkipEmptyParts))
                    report.layout.columns.append(parseColumn(item.trimmed()));
            } catch (const ProjectError& e) {
                throw ProjectError(where() + e.what());
            }
        } else if (key == "order") {
            try {
                report.orderBy = parseOrder(value);
            } catch (const ProjectError& e) {
                throw ProjectError(where() + e.what());
            }
        } else if (key == "condition") {
            report.condition = value;
        } else if (key == "ask") {
            const qsizetype colon = value.indexOf(':');
            const QString name = value.left(colon).trimmed();
            if (colon < 0 || !QRegularExpression("^[A-Za-z][A-Za-z0-9_]*$").match(name).hasMatch())
                throw ProjectError(where() + "Ask is Name: prompt");
            report.parameters.append({name, value.mid(colon + 1).trimmed()});
        } else {
            throw ProjectError(where() + QString("unknown setting \"%1\"").arg(line.left(equals).trimmed()));
        }
    }
    if (!magicSeen)
        throw ProjectError(QString("it does not begin with \"%1\"").arg(kMagic));
    if (!reports.isEmpty())
        finish(reports.last(), reportLine);
    return reports;
}

} // namespace

QString ProjectReport::runName() const
{
    return withoutBlanks(displayName);
}

QString ProjectReport::conditionWith(const QMap<QString, QDate>& values) const
{
    return substituted(condition, values, true);
}

QString ProjectReport::titleWith(const QMap<QString, QDate>& values) const
{
    return substituted(layout.title, values, false);
}

ReportProject ReportProject::load(const QString& path)
{
    ReportProject project;
    QFile file(path);
    if (!file.exists()) {
        project.error = QString("The report file \"%1\" was not found.").arg(path);
        return project;
    }
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        project.error = QString("The report file \"%1\" could not be read: %2.").arg(path, file.errorString());
        return project;
    }
    QTextStream in(&file);
    in.setEncoding(QStringConverter::Utf8);
    try {
        project.reports = parse(in);
    } catch (const ProjectError& e) {
        project.error = QString("The report file \"%1\" is damaged: %2.").arg(path, QString::fromStdString(e.what()));
    }
    return project;
}

const ProjectReport* ReportProject::find(const QString& name) const
{
    for (const ProjectReport& r : reports)
        if (r.runName() == withoutBlanks(name))
            return &r;
    return nullptr;
}
