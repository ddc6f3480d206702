#include "log/TF_Report.h"

#include "canvas/LandscapeCanvas.h"
#include "canvas/PainterCanvas.h"
#include "canvas/PdfCanvas.h"
#include "core/ProgramFolder.h"
#include "core/datamodule/Schemas.h"
#include "engine/Query.h"
#include "log/ReportProject.h"
#include "log/TF_CreateReport.h"
#include "widgets/BusyCursor.h"
#include "widgets/DialogParts.h"
#include "widgets/Services.h"

#include <QApplication>
#include <QDateEdit>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QPrinterInfo>
#include <QProgressDialog>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

namespace {

const char* const kProjectFileName = "Dovra3pro.rav";

QString dateTimeNow()
{
    return reportDateTime(QDateTime::currentDateTime());
}

// Asks for the day a report is run for; false when cancelled.
bool askDay(QWidget* parent, const QString& reportName, const QString& prompt, QDate& day)
{
    QDialog dialog(parent);
    dialog.setObjectName("F_ReportDay");
    dialog.setWindowTitle(reportName);
    auto edit = new QDateEdit(QDate::currentDate(), &dialog);
    edit->setObjectName("editReportDay");
    edit->setCalendarPopup(true);
    QPushButton *ok = nullptr, *cancel = nullptr;
    auto layout = new QVBoxLayout(&dialog);
    layout->addWidget(new QLabel(prompt + ":", &dialog));
    layout->addWidget(edit);
    layout->addLayout(okCancelRow(&dialog, ok, cancel));
    QObject::connect(ok, &QPushButton::clicked, &dialog, &QDialog::accept);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    day = edit->date();
    return true;
}

} // namespace

TF_Report::TF_Report(const Settings& settings, const QString& whereClause, QWidget* parent)
    : QDialog(parent), logFolder_(settings.logLocation()), where_(whereClause), printerName_(settings.printer)
{
    setObjectName("F_Report");
    setWindowTitle("Reports");

    lvReports = new QListWidget(this);
    lvReports->setObjectName("lvReports");
    lvReports->setSortingEnabled(true);
    btnNew = namedButton(this, "Create New...", "btnNew");
    btnDelete = namedButton(this, "Delete", "btnDelete");
    btnPreview = namedButton(this, "&Preview", "btnPreview");
    btnPreview->setToolTip("Preview the selected reports");
    btnPrint = namedButton(this, "P&rint", "btnPrint");
    btnPrint->setToolTip("Print the selected reports");
    btnClose = namedButton(this, "Close", "btnClose");
    connect(lvReports, &QListWidget::itemSelectionChanged, this, &TF_Report::lvReportsSelectItem);
    connect(lvReports, &QListWidget::itemDoubleClicked, this, &TF_Report::btnPreviewClick);
    connect(btnNew, &QPushButton::clicked, this, &TF_Report::btnNewClick);
    connect(btnDelete, &QPushButton::clicked, this, &TF_Report::btnDeleteClick);
    connect(btnPreview, &QPushButton::clicked, this, &TF_Report::btnPreviewClick);
    connect(btnPrint, &QPushButton::clicked, this, &TF_Report::btnPrintClick);
    connect(btnClose, &QPushButton::clicked, this, &QDialog::reject);

    auto buttons = new QVBoxLayout;
    for (QPushButton* b : {btnNew, btnDelete, btnPreview, btnPrint})
        buttons->addWidget(b);
    buttons->addStretch(1);
    buttons->addWidget(btnClose);
    auto layout = new QHBoxLayout(this);
    layout->addWidget(lvReports, 1);
    layout->addLayout(buttons);
    resize(420, 300);

    LoadReportList();
}

void TF_Report::showFor(QWidget* parent, const Settings& settings, const QString& whereClause, const QString& orderBy)
{
    if (!LogRowSelection{settings.logLocation(), whereClause}.hasRows()) {
        MessageService::error("No records available for report.", parent);
        return;
    }
    TF_Report window(settings, whereClause, parent);
    window.orderBy_ = orderBy;
    // The columns of a report are read only when it runs: their damage is told now.
    if (auto damage = engine::tableDamage(settings.logLocation().toStdString(), "Report_Detail", schema::Report_Detail))
        MessageService::error(QString::fromStdString(*damage) + "\nYour own reports cannot be run.", &window);
    // A project file that cannot be used is named once, when the window opens.
    if (!window.projectError_.isEmpty())
        MessageService::show(MessageKind::Warning, window.projectError_ + "\nOnly your own reports are listed.",
                             QMessageBox::Ok, &window);
    window.exec();
}

TReportRec TF_Report::recordOf(const QListWidgetItem* item)
{
    return item ? item->data(Qt::UserRole).value<TReportRec>() : TReportRec();
}

void TF_Report::LoadReportList()
{
    lvReports->clear();
    const ReportProject project = ReportProject::load(programfolder::sideFile(kProjectFileName));
    projectError_ = project.error;
    for (const ProjectReport& r : project.reports) {
        auto item = new QListWidgetItem(r.displayName);
        item->setData(Qt::UserRole, QVariant::fromValue(TReportRec{QString(), false}));
        lvReports->addItem(item);
    }
    engine::Query query;
    query.setFolder(logFolder_.toStdString());
    query.setSql("select * from Reports");
    for (query.open(); !query.eof(); query.next()) {
        auto item = new QListWidgetItem(QString::fromStdString(query.asString("ReportName")));
        item->setData(Qt::UserRole,
                      QVariant::fromValue(TReportRec{QString::fromStdString(query.asString("Orientation")), true}));
        lvReports->addItem(item);
    }
    query.close();
    lvReports->clearSelection();
    lvReportsSelectItem();
}

void TF_Report::lvReportsSelectItem()
{
    const QList<QListWidgetItem*> selected = lvReports->selectedItems();
    btnPreview->setEnabled(!selected.isEmpty());
    btnPrint->setEnabled(!selected.isEmpty());
    btnDelete->setEnabled(!selected.isEmpty() && recordOf(selected.first()).UserDefined);
}

void TF_Report::btnNewClick()
{
    TF_CreateReport dialog(logFolder_, this);
    if (dialog.exec() == QDialog::Accepted)
        LoadReportList();
}

void TF_Report::btnDeleteClick()
{
    const QList<QListWidgetItem*> selected = lvReports->selectedItems();
    if (selected.isEmpty() || !recordOf(selected.first()).UserDefined)
        return;
    QListWidgetItem* item = selected.first();
    const QString name = item->text();
    if (MessageService::confirmYesNoCancel(QString("Are you sure you want to delete report \"%1\"?").arg(name), this) !=
        QMessageBox::Yes)
        return;
    engine::Query query;
    query.setFolder(logFolder_.toStdString());
    query.setSql(("delete from Reports where REPORTNAME = " + quotedSql(name)).toStdString());
    query.execSql();
    query.setSql(("delete from Report_Detail where REPORTNAME = " + quotedSql(name)).toStdString());
    query.execSql();
    MessageService::information(QString("Report \"%1\" has been deleted.").arg(name), this);
    delete item;
    if (lvReports->count() > 0)
        lvReports->setCurrentRow(0);
    lvReportsSelectItem();
}

bool TF_Report::prepareProjectRun(const ProjectReport& report, Run& run)
{
    QMap<QString, QDate> values;
    for (const ProjectReport::Parameter& p : report.parameters) {
        QDate day;
        if (!askDay(this, report.displayName, p.prompt, day))
            return false;
        values.insert(p.name, day);
    }
    run.layout = report.layout;
    run.layout.title = report.titleWith(values);
    run.rows = {logFolder_, where_};
    if (!orderBy_.isEmpty())
        run.rows.orderBy = orderBy_;
    const QString condition = report.conditionWith(values);
    if (!condition.isEmpty())
        run.rows.where = where_.trimmed().isEmpty() ? condition : "(" + where_ + ") and (" + condition + ")";
    if (!report.orderBy.isEmpty())
        run.rows.orderBy = report.orderBy;
    // The project's reports take "MyTime" as the line of their print date.
    run.dateLine = "Date Printed: " + dateTimeNow();
    return true;
}

bool TF_Report::prepareRun(Run& run)
{
    const QList<QListWidgetItem*> selected = lvReports->selectedItems();
    if (selected.isEmpty())
        return false;
    const QString name = selected.first()->text();
    const TReportRec rec = recordOf(selected.first());
    if (!rec.UserDefined) {
        const ReportProject project = ReportProject::load(programfolder::sideFile(kProjectFileName));
        const ProjectReport* report = project.find(name);
        if (!report) {
            MessageService::error(
                project.error.isEmpty() ? QString("Error with report \"%1\"").arg(name) : project.error, this);
            return false;
        }
        return prepareProjectRun(*report, run);
    }
    const std::optional<LogReportLayout> layout = userReportLayout(logFolder_, name, rec.orientation != "0");
    if (!layout) {
        MessageService::error(QString("Error with report \"%1\"").arg(name), this);
        return false;
    }
    run.layout = *layout;
    run.rows = {logFolder_, where_};
    if (!orderBy_.isEmpty())
        run.rows.orderBy = orderBy_;
    run.dateLine = "Date Printed : " + dateTimeNow();
    return true;
}

void TF_Report::btnPreviewClick()
{
    Run run;
    if (prepareRun(run))
        preview(run);
}

void TF_Report::btnPrintClick()
{
    Run run;
    if (prepareRun(run))
        print(run);
}

void TF_Report::preview(const Run& run)
{
    {
        BusyCursor busy;
        checkReportFees(run.rows);
    }
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageOrientation(run.layout.landscape ? QPageLayout::Landscape : QPageLayout::Portrait);
    QPrintPreviewDialog dialog(&printer, this);
    dialog.setObjectName("F_ReportPreview");
    dialog.setWindowTitle("Report Preview");
    QString failure;
    connect(&dialog, &QPrintPreviewDialog::paintRequested, this, [&](QPrinter* target) {
        BusyCursor busy;
        PainterCanvas canvas(*target);
        try {
            printLogReport(canvas, run.layout, run.rows, run.dateLine);
        } catch (const std::exception& e) {
            failure = QString::fromStdString(e.what());
        }
    });
    if (auto view = dialog.findChild<QPrintPreviewWidget*>()) {
        view->setZoomMode(QPrintPreviewWidget::CustomZoom);
        view->setZoomFactor(1.0);
    }
    // The whole screen also where no window manager maximises windows.
    if (QScreen* screen = QGuiApplication::primaryScreen())
        dialog.setGeometry(screen->availableGeometry());
    dialog.setWindowState(Qt::WindowMaximized);
    dialog.exec();
    if (!failure.isEmpty())
        MessageService::error(failure, this);
}

void TF_Report::print(const Run& run)
{
    const QStringList installed = QPrinterInfo::availablePrinterNames();
    if (printsToPdf(installed)) {
        PdfJobCanvas pdf(PdfJobCanvas::defaultFolder());
        if (run.layout.landscape) {
            LandscapeCanvas landscape(pdf);
            printWithStatus(landscape, run);
        } else {
            printWithStatus(pdf, run);
        }
        return;
    }
    QPrinter printer(QPrinter::HighResolution);
    if (installed.contains(printerName_))
        printer.setPrinterName(printerName_);
    printer.setPageOrientation(run.layout.landscape ? QPageLayout::Landscape : QPageLayout::Portrait);
    QPrintDialog dialog(&printer, this);
    dialog.setWindowTitle("Output Options");
    dialog.setOption(QAbstractPrintDialog::PrintCollateCopies);
    dialog.setOption(QAbstractPrintDialog::PrintShowPageSize);
    if (dialog.exec() != QDialog::Accepted)
        return;
    PainterCanvas canvas(printer);
    printWithStatus(canvas, run);
}

void TF_Report::printWithStatus(PageCanvas& canvas, const Run& run)
{
    BusyCursor busy;
    QProgressDialog status(this);
    status.setObjectName("F_ReportStatus");
    status.setWindowTitle("Report Status");
    status.setRange(0, 0);
    status.setMinimumDuration(1000);
    printLogReport(canvas, run.layout, run.rows, run.dateLine, [&](int page) {
        status.setLabelText(QString("Printing page %1").arg(page));
        QApplication::processEvents();
        return !status.wasCanceled();
    });
}
