// "Reports": the ready-made reports of the project file and the user's own, previewed,
// printed, created and deleted, over the whole log or the rows the log window shows.
#pragma once

#include "core/Settings.h"
#include "log/LogReport.h"

#include <QDialog>
#include <QMetaType>

class QListWidget;
class QListWidgetItem;
class QPushButton;
class PageCanvas;
struct ProjectReport;

// The record behind each entry of the report list.
struct TReportRec {
    QString orientation; // "0" portrait, "1" landscape; empty for a project report
    bool UserDefined = false;
};
Q_DECLARE_METATYPE(TReportRec)

class TF_Report : public QDialog {
    Q_OBJECT
public:
    // whereClause: a condition on Log37 (as the log window filters with), empty for the
    // whole log.
    TF_Report(const Settings& settings, const QString& whereClause, QWidget* parent = nullptr);

    // The way in from the main menu (empty where-clause) and from the log window (its
    // where-clause and order): "No records available for report." when the rows are none,
    // else the window, modal, until it is closed. orderBy, when given, orders the rows of the
    // reports that do not name an order of their own.
    static void showFor(QWidget* parent, const Settings& settings, const QString& whereClause,
                        const QString& orderBy = QString());

    QListWidget* lvReports = nullptr;
    QPushButton* btnNew = nullptr;
    QPushButton* btnDelete = nullptr;
    QPushButton* btnPreview = nullptr;
    QPushButton* btnPrint = nullptr;
    QPushButton* btnClose = nullptr;

    // The record of a list entry.
    static TReportRec recordOf(const QListWidgetItem* item);

public slots:
    void LoadReportList();
    void lvReportsSelectItem();
    void btnNewClick();
    void btnDeleteClick();
    void btnPreviewClick();
    void btnPrintClick();

private:
    // What one run prints: layout, rows and the date line of the last page.
    struct Run {
        LogReportLayout layout;
        LogRowSelection rows;
        QString dateLine;
    };
    // The run of the selected entry; false when it was refused or the user cancelled.
    bool prepareRun(Run& run);
    bool prepareProjectRun(const ProjectReport& report, Run& run);
    void preview(const Run& run);
    void print(const Run& run);
    // Prints with the page progress shown; the user may stop it.
    void printWithStatus(PageCanvas& canvas, const Run& run);

    QString logFolder_;
    QString where_;
    QString orderBy_;
    QString printerName_;
    QString projectError_;
};
