// The report project file "Dovra3pro.rav": the ready-made reports the Reports window lists
// beside the user's own. It is a small text file of our own, read by the same drawer as the
// user's reports; data/Dovra3pro.rav describes the format in its opening comment.
#pragma once

#include "log/LogReport.h"

#include <QDate>
#include <QList>
#include <QMap>
#include <QString>

struct ProjectReport {
    QString displayName; // as the Reports window lists it
    LogReportLayout layout;
    QString orderBy;   // Log37 fields, each with an optional "desc"
    QString condition; // SQL on Log37, may name parameters as :Name; empty for every row
    struct Parameter {
        QString name;   // without the colon
        QString prompt; // what the user is asked for: a day
    };
    QList<Parameter> parameters;

    // The name the project runs a report by: the display name without blanks.
    QString runName() const;
    // The condition with every parameter as a quoted ISO date ('2026-12-10').
    QString conditionWith(const QMap<QString, QDate>& values) const;
    // The title with every parameter as a date in the system's short format.
    QString titleWith(const QMap<QString, QDate>& values) const;
};

struct ReportProject {
    QList<ProjectReport> reports;
    QString error; // why the file could not be used; empty when it was read

    // Reads the file; a missing or damaged file gives no reports and the reason.
    static ReportProject load(const QString& path);
    // The report run by that name (blanks ignored); nullptr when there is none.
    const ProjectReport* find(const QString& name) const;
};
