// Log reports: the column table and width budget, the pages a report draws (read from the
// recording canvas in dots), the ready-made reports' project file, and the Reports and
// Create Report windows over a real log table, printing to PDF.
#include "app/TF_Main.h"
#include "canvas/LandscapeCanvas.h"
#include "canvas/RecordingCanvas.h"
#include "core/ReportColumns.h"
#include "core/datamodule/Schemas.h"
#include "engine/Query.h"
#include "log/LogReport.h"
#include "log/ReportProject.h"
#include "log/TF_CreateReport.h"
#include "log/TF_Report.h"
#include "tests/support/TestSupport.h"
#include "widgets/Services.h"

#include <QAction>
#include <QDateEdit>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

namespace {

using testsupport::clickButton;

// A recording canvas whose page is a landscape Letter sheet.
class LandscapeRecording : public RecordingCanvas {
public:
    QSize PageSize() const override { return RecordingCanvas::PageSize().transposed(); }
};

// A program folder with a log table, its report tables and scripted message boxes.
struct LogFixture : testsupport::ProgramFixture {
    QString log = home.path() + "/Log";
    LogFixture()
    {
        QDir().mkpath(log);
        dm.CreateTable(log, "Log37", schema::Log37);
        settings.logDB = log;
        MessageService::setScripted(true);
        MessageService::clearShown();
    }
    void run(const QString& sql) const
    {
        engine::Query q;
        q.setFolder(log.toStdString());
        q.setSql(sql.toStdString());
        q.execSql();
    }
    // count rows, the i-th (from 1) at December 10, 2026 plus i minutes, with the given Total.
    void addRows(int count, const QString& total, const QString& day = "2026-12-10",
                 const QString& result = "None") const
    {
        // Built by joining, not QString::arg: printf's own % markers stay as they are.
        run("with recursive n(i) as (select 1 union all select i + 1 from n where i < " + QString::number(count) +
            ") insert into Log37 (DateTime, MailerNum, ToAddress1, ToCity, Total, Result, Batch) select " + q(day) +
            " || printf(' %02d:%02d:00', 8 + i / 60, i % 60), printf('9214 7123 4567 8900 %04d 00', 1000 - i), "
            "'Addressee ' || i, 'Springfield', " +
            q(total) + ", " + q(result) + ", False from n");
    }
    void defineReport(const QString& name, const QString& orientation, const QStringList& fields) const
    {
        run("insert into Reports (ReportName, Orientation) values(" + q(name) + ", " + q(orientation) + ")");
        for (int i = 0; i < fields.size(); ++i)
            run("insert into Report_Detail (ReportName, Field_Name, FieldOrder) values(" + q(name) + ", " +
                q(fields.at(i)) + ", " + QString::number(i + 1) + ")");
    }
    static QString q(const QString& text) { return QString::fromStdString(engine::quoted(text.toStdString())); }
    LogRowSelection all() const { return {log, QString()}; }
};

QString lastMessage()
{
    const auto shown = MessageService::shown();
    return shown.isEmpty() ? QString() : shown.last().text;
}

QStringList messages()
{
    QStringList texts;
    for (const auto& s : MessageService::shown())
        texts << s.text;
    return texts;
}

// The texts drawn on each page, with their y.
QList<QList<CanvasOp>> textsByPage(const RecordingCanvas& canvas)
{
    QList<QList<CanvasOp>> pages{{}};
    for (const CanvasOp& op : canvas.ops()) {
        if (op.kind == CanvasOp::NewPage)
            pages.append(QList<CanvasOp>());
        else if (op.kind == CanvasOp::DrawText)
            pages.last().append(op);
    }
    return pages;
}

const CanvasOp* findText(const QList<CanvasOp>& ops, const QString& start)
{
    for (const CanvasOp& op : ops)
        if (op.text.startsWith(start))
            return &op;
    return nullptr;
}

int lineHeight(int points)
{
    return fontPixelHeight(points, 600);
}

} // namespace

class TestReports : public QObject {
    Q_OBJECT

private slots:
    void columnTable();
    void fieldWidthAndHeading_data();
    void fieldWidthAndHeading();
    void budgetAddsUntilFull();
    void budgetOrientation();
    void budgetLabels_data();
    void budgetLabels();

    void landscapeColumnsCentredOnTheSheet();
    void onePageFooterOnTheLastLine();
    void twoPagesHeadingsEveryPageDateOnlyOnTheLast();
    void zeroFeesOmitTotals();
    void feeThatIsNoNumberPrintsNothing();
    void whereClauseLimitsTheRows();
    void unknownDefinitionFieldsAreLeftOut();
    void landscapeCanvasTurnsThePage();

    void shippedProjectFile();
    void damagedProjectFile_data();
    void damagedProjectFile();
    void firmMailingBookPrintsOneDayInNumberOrder();

    void createReportBudgetAndOrientation();
    void createReportStoresTheDefinition();
    void createReportRefusals_data();
    void createReportRefusals();
    void createReportFieldOrder();

    void reportsWindowListsAndDeletes();
    void noRowsNoWindow();
    void printUserReportToPdf();
    void printLandscapeProjectReportToPdf();
    void addresseeInAScriptWithoutAFacePrints();
    void previewMaximisedAtFullSize();
    void missingProjectFileSaysWhyOnce();
    void mainMenuOpensReports();
};

// ---- column table and budget ----------------------------------------------------------------

void TestReports::columnTable()
{
    const auto& table = reportColumnTable();
    QCOMPARE(table.size(), 29);
    QCOMPARE(QString(table.first().entryText), QString("Date and Time(1.4)"));
    QCOMPARE(QString(table.last().logColumn), QString("Result"));
    for (const ReportColumnEntry& e : table) {
        QCOMPARE(FieldWidth(e.entryText), e.width);
        QCOMPARE(reportColumnOfField(QString(e.logColumn).toUpper()), &e);
    }
}

void TestReports::fieldWidthAndHeading_data()
{
    QTest::addColumn<QString>("entry");
    QTest::addColumn<double>("width");
    QTest::addColumn<QString>("heading");
    QTest::newRow("mailer number") << "Mailer Number(1.65)" << 1.65 << "Mailer Number";
    QTest::newRow("short name") << "RE(1.85)" << 1.85 << "RE";
    QTest::newRow("one decimal") << "Customer ID(1.0)" << 1.0 << "Customer ID";
    QTest::newRow("no brackets") << "Comment" << 0.0 << "Comment";
}

void TestReports::fieldWidthAndHeading()
{
    QFETCH(QString, entry);
    QFETCH(double, width);
    QFETCH(QString, heading);
    QCOMPARE(FieldWidth(entry), width);
    QCOMPARE(reportHeading(entry), heading);
}

void TestReports::budgetAddsUntilFull()
{
    ReportWidthBudget b;
    for (int i = 0; i < 3; ++i)
        QVERIFY(b.add(2.2));
    QCOMPARE(ReportWidthBudget::label(b.used()), QString("6.6\""));
    QVERIFY(!b.add(2.2));
    QCOMPARE(ReportWidthBudget::label(b.available()), QString("0.4\""));
    // A width that fills the page exactly is taken despite the decimal sums.
    QVERIFY(b.add(0.4));
    QCOMPARE(ReportWidthBudget::label(b.available()), QString("0\""));
}

void TestReports::budgetOrientation()
{
    ReportWidthBudget b;
    QVERIFY(b.setLandscape(true));
    QVERIFY(b.add(2.2) && b.add(2.2) && b.add(2.2) && b.add(1.4));
    QVERIFY(!b.setLandscape(false));
    QVERIFY(b.landscape());
    QCOMPARE(ReportWidthBudget::label(b.available()), QString("2\""));
    b.remove(1.4);
    QVERIFY(b.setLandscape(false));
    QCOMPARE(ReportWidthBudget::label(b.available()), QString("0.4\""));
}

void TestReports::budgetLabels_data()
{
    QTest::addColumn<double>("inches");
    QTest::addColumn<QString>("label");
    QTest::newRow("seven") << 7.0 << "7\"";
    QTest::newRow("ten") << 10.0 << "10\"";
    QTest::newRow("two digits") << 5.35 << "5.3\"";
    QTest::newRow("rounding noise") << 2.2 + 2.2 + 2.2 - 6.6 << "0\"";
}

void TestReports::budgetLabels()
{
    QFETCH(double, inches);
    QFETCH(QString, label);
    QCOMPARE(ReportWidthBudget::label(inches), label);
}

// ---- pages ------------------------------------------------------------------------------------

void TestReports::landscapeColumnsCentredOnTheSheet()
{
    LogFixture f;
    f.addRows(2, "3.19");
    f.defineReport("Nine", "1", QStringList(6, "Department")); // 6 x 1.5 inches
    const auto layout = userReportLayout(f.log, "Nine", true);
    QVERIFY(layout);
    LandscapeRecording canvas;
    printLogReport(canvas, *layout, f.all(), "Date Printed : now");
    // The first vertical box line stands 1 inch from the left of the 11-inch sheet, the last
    // 1 inch from its right.
    int left = INT_MAX, right = 0;
    for (const CanvasOp& op : canvas.ops(CanvasOp::DrawLine))
        if (op.x == op.x2) {
            left = qMin(left, op.x);
            right = qMax(right, op.x);
        }
    QCOMPARE(left, 600);
    QCOMPARE(right, 6000);
    // The title centred on the page.
    const QList<CanvasOp> texts = canvas.ops(CanvasOp::DrawText);
    const CanvasOp* title = findText(texts, "Certified Mail Log Report");
    QVERIFY(title);
    QCOMPARE(title->face, QString("Arial"));
    QCOMPARE(title->points, 18);
    canvas.SetFont("Arial", 18, 0);
    QCOMPARE(title->x + canvas.TextWidth(title->text) / 2, 3300);
}

void TestReports::onePageFooterOnTheLastLine()
{
    LogFixture f;
    f.addRows(3, "3.19");
    f.defineReport("Short", "0", {"MailerNum", "Total"});
    RecordingCanvas canvas;
    const LogReportTotals totals =
        printLogReport(canvas, *userReportLayout(f.log, "Short", false), f.all(), "Date Printed : 12/10/26 9:00 AM");
    QCOMPARE(totals.rows, qint64(3));
    QCOMPARE(totals.pages, 1);
    const auto pages = textsByPage(canvas);
    QCOMPARE(pages.size(), 1);
    const CanvasOp* date = findText(pages[0], "Date Printed : ");
    const CanvasOp* page = findText(pages[0], "Page ");
    const CanvasOp* sums = findText(pages[0], "Total Count: ");
    QVERIFY(date && page && sums);
    QCOMPARE(date->text, QString("Date Printed : 12/10/26 9:00 AM"));
    QCOMPARE(page->text, QString("Page 1"));
    QCOMPARE(sums->text, QString("Total Count: 3   Total Fees: $9.57"));
    // One line, the last above the bottom margin (10.5 inches down the sheet).
    QCOMPARE(page->y, date->y);
    QCOMPARE(sums->y, date->y);
    const int h = lineHeight(10);
    QVERIFY(date->y + h <= 6300);
    QVERIFY(date->y + 2 * h > 6300);
    QCOMPARE(date->x, 300);                                     // the left margin
    QCOMPARE(sums->x + canvas.TextWidth(sums->text), 4800);     // ends half an inch from the right
    QCOMPARE(page->x + canvas.TextWidth(page->text) / 2, 2550); // centred
    QCOMPARE(canvas.ops().last().kind, CanvasOp::EndDocument);
}

void TestReports::twoPagesHeadingsEveryPageDateOnlyOnTheLast()
{
    LogFixture f;
    f.addRows(90, "1.5");
    f.defineReport("Long", "0", {"DateTime", "MailerNum", "Total"});
    RecordingCanvas canvas;
    const LogReportTotals totals =
        printLogReport(canvas, *userReportLayout(f.log, "Long", false), f.all(), "Date Printed : today");
    QCOMPARE(totals.pages, 2);
    const auto pages = textsByPage(canvas);
    QCOMPARE(pages.size(), 2);
    QVERIFY(findText(pages[0], "Certified Mail Log Report"));
    QVERIFY(!findText(pages[1], "Certified Mail Log Report"));
    for (const auto& page : pages) {
        const CanvasOp* heading = findText(page, "Mailer Number");
        QVERIFY(heading);
        QCOMPARE(heading->face, QString("Times New Roman"));
        QVERIFY(findText(page, "Date and Time"));
    }
    QCOMPARE(findText(pages[0], "Mailer Number")->points, 12);
    QCOMPARE(findText(pages[1], "Mailer Number")->points, 10);
    QCOMPARE(findText(pages[0], "Page ")->text, QString("Page 1"));
    QVERIFY(!findText(pages[0], "Date Printed"));
    QVERIFY(!findText(pages[0], "Total Count"));
    QCOMPARE(findText(pages[1], "Page ")->text, QString("Page 2"));
    QVERIFY(findText(pages[1], "Date Printed : today"));
    QCOMPARE(findText(pages[1], "Total Count")->text, QString("Total Count: 90   Total Fees: $135.00"));
    // Every row once, in time order; rows stop above the footer line.
    int rows = 0;
    int lastRowY = 0;
    for (const CanvasOp& op : pages[0])
        if (op.text.startsWith("9214")) {
            ++rows;
            lastRowY = op.y;
        }
    // A Mailer Number wider than its cell is printed smaller, whole.
    const CanvasOp* first = findText(pages[0], "9214");
    QCOMPARE(first->text, QString("9214 7123 4567 8900 0999 00"));
    QVERIFY(first->points < 10);
    QCOMPARE(findText(pages[0], "Page ")->points, 10);
    QVERIFY(lastRowY < findText(pages[0], "Page ")->y);
    for (const CanvasOp& op : pages[1])
        rows += op.text.startsWith("9214");
    QCOMPARE(rows, 90);
}

void TestReports::zeroFeesOmitTotals()
{
    LogFixture f;
    f.addRows(2, "0.00");
    f.defineReport("Zero", "0", {"MailerNum"});
    RecordingCanvas canvas;
    printLogReport(canvas, *userReportLayout(f.log, "Zero", false), f.all(), "Date Printed : x");
    const auto page = canvas.ops(CanvasOp::DrawText);
    QVERIFY(findText(page, "Date Printed : x"));
    QVERIFY(findText(page, "Page 1"));
    QVERIFY(!findText(page, "Total Count"));
}

void TestReports::feeThatIsNoNumberPrintsNothing()
{
    LogFixture f;
    f.addRows(70, "3.19");
    f.run("update Log37 set Total = '3,19x' where LID = 69");
    f.defineReport("Bad", "0", {"MailerNum"});
    RecordingCanvas canvas;
    try {
        printLogReport(canvas, *userReportLayout(f.log, "Bad", false), f.all(), "x");
        QFAIL("printed a fee that is no number");
    } catch (const engine::ConversionError& e) {
        QCOMPARE(QString(e.what()), QString("'3,19x' is not a valid floating point value"));
    }
    QVERIFY(canvas.ops().isEmpty());
    // A blank fee is no fee.
    QCOMPARE(feeAmount("  "), 0.0);
    QCOMPARE(feeAmount("12.5"), 12.5);
}

void TestReports::whereClauseLimitsTheRows()
{
    LogFixture f;
    f.addRows(5, "2");
    f.run("update Log37 set ToCity = 'O''Fallon' where LID in (2, 4)");
    f.defineReport("City", "0", {"ToCity", "Total"});
    RecordingCanvas canvas;
    const LogReportTotals totals =
        printLogReport(canvas, *userReportLayout(f.log, "City", false), {f.log, "ToCity = 'O''Fallon'"}, "x");
    QCOMPARE(totals.rows, qint64(2));
    QVERIFY(findText(canvas.ops(CanvasOp::DrawText), "Total Count: 2   Total Fees: $4.00"));
    QVERIFY(!findText(canvas.ops(CanvasOp::DrawText), "Springfield"));
}

void TestReports::unknownDefinitionFieldsAreLeftOut()
{
    LogFixture f;
    f.defineReport("Odd", "1", {"Nonsense", "RE"});
    const auto layout = userReportLayout(f.log, "Odd", true);
    QVERIFY(layout);
    QCOMPARE(layout->columns.size(), 1);
    QCOMPARE(layout->columns.first().heading, QString("RE"));
    QVERIFY(!userReportLayout(f.log, "Missing", false));
}

void TestReports::landscapeCanvasTurnsThePage()
{
    RecordingCanvas portrait;
    LandscapeCanvas landscape(portrait);
    QCOMPARE(landscape.PageSize(), QSize(6600, 5100));
    landscape.SetFont("Arial", 10, 0);
    landscape.DrawText(600, 300, "A");
    landscape.DrawLine(0, 0, 6600, 0);
    const CanvasOp text = portrait.ops(CanvasOp::DrawText).first();
    QCOMPARE(text.angle, 2700); // runs down the portrait sheet
    QCOMPARE(QPoint(text.x, text.y), QPoint(4800, 600));
    const CanvasOp line = portrait.ops(CanvasOp::DrawLine).first();
    QCOMPARE(QRect(QPoint(line.x, line.y), QPoint(line.x2, line.y2)), QRect(QPoint(5100, 0), QPoint(5100, 6600)));
}

// ---- project file ------------------------------------------------------------------------------

void TestReports::shippedProjectFile()
{
    const ReportProject project = ReportProject::load(testsupport::sourceDir() + "/data/Dovra3pro.rav");
    QCOMPARE(project.error, QString());
    QStringList names;
    for (const ProjectReport& r : project.reports)
        names << r.displayName;
    QCOMPARE(names, QStringList({"Certified Mail Log", "Receipts Outstanding", "Firm Mailing Book"}));
    QVERIFY(project.find("ReceiptsOutstanding"));
    QCOMPARE(project.find("Receipts Outstanding")->condition, QString("Result = 'None' and Batch = False"));
    const ProjectReport* book = project.find("Firm Mailing Book");
    QCOMPARE(book->orderBy, QString("MailerNum"));
    QCOMPARE(book->parameters.size(), 1);
    QCOMPARE(book->conditionWith({{"Day", QDate(2026, 12, 10)}}),
             QString("DateTime between '2026-12-10' || ' 00:00:00' and '2026-12-10' || ' 23:59:59' and Batch = False"));
    QCOMPARE(book->layout.columns.first().heading, QString("Article Number"));
    // The build puts the file beside the program.
    QVERIFY(QFile::exists(testsupport::binDir() + "/Dovra3pro.rav"));
}

void TestReports::damagedProjectFile_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("why");
    const QString head = "# comment\nDovra Report Project 1\n";
    QTest::newRow("no header") << "[A]\nColumns = RE\n"
                               << "it does not begin with \"Dovra Report Project 1\"";
    QTest::newRow("empty") << ""
                           << "it does not begin with";
    QTest::newRow("unknown column") << head + "[A]\nColumns = RE, Nowhere\n"
                                    << "line 4: \"Nowhere\" is not a log column";
    QTest::newRow("too wide") << head + "[A]\nColumns = Comment, Comment, Comment, Comment\n"
                              << "take 8.8 inches, more than the 7 of its page";
    QTest::newRow("no columns") << head + "[A]\nTitle = x\n"
                                << "report \"A\" (line 3) has no Columns";
    QTest::newRow("unknown key") << head + "[A]\nColour = red\n"
                                 << "line 4: unknown setting \"Colour\"";
    QTest::newRow("order with SQL") << head + "[A]\nColumns = RE\nOrder = RE; drop table Log37\n"
                                    << "is not a log column to sort by";
    QTest::newRow("parameter not asked") << head + "[A]\nColumns = RE\nCondition = DateTime > :Since\n"
                                         << "uses :Since, which no Ask line names";
    QTest::newRow("same name but blanks") << head + "[A B]\nColumns = RE\n[AB]\nColumns = RE\n"
                                          << "a second report named \"AB\"";
    QTest::newRow("bad heading") << head + "[A]\nColumns = RE 1.0 \"Re\" x\n"
                                 << "must stand in double quotes";
}

void TestReports::damagedProjectFile()
{
    QFETCH(QString, text);
    QFETCH(QString, why);
    QTemporaryDir dir;
    const QString path = dir.filePath("Dovra3pro.rav");
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(text.toUtf8());
    file.close();
    const ReportProject project = ReportProject::load(path);
    QVERIFY(project.reports.isEmpty());
    QVERIFY2(project.error.contains(why), qPrintable(project.error));
    QVERIFY(project.error.contains(path));
}

void TestReports::firmMailingBookPrintsOneDayInNumberOrder()
{
    LogFixture f;
    f.addRows(3, "4.00", "2026-12-09");
    f.addRows(4, "5.25", "2026-12-10");
    const ReportProject project = ReportProject::load(testsupport::sourceDir() + "/data/Dovra3pro.rav");
    const ProjectReport* book = project.find("FirmMailingBook");
    QVERIFY(book);
    const QMap<QString, QDate> day{{"Day", QDate(2026, 12, 10)}};
    LandscapeRecording canvas;
    LogReportLayout layout = book->layout;
    layout.title = book->titleWith(day);
    const LogReportTotals totals =
        printLogReport(canvas, layout, {f.log, book->conditionWith(day), book->orderBy}, "Date Printed: now");
    QCOMPARE(totals.rows, qint64(4));
    QCOMPARE(totals.fees, 21.0);
    QStringList numbers;
    for (const CanvasOp& op : canvas.ops(CanvasOp::DrawText))
        if (op.text.startsWith("9214"))
            numbers << op.text;
    QStringList sorted = numbers;
    sorted.sort();
    QCOMPARE(numbers, sorted);
    QCOMPARE(numbers.size(), 4);
    QVERIFY(findText(canvas.ops(CanvasOp::DrawText), "Firm Mailing Book for Accountable Mail - "));
    QVERIFY(findText(canvas.ops(CanvasOp::DrawText), "Date Printed: now"));
}

// ---- Create Report -------------------------------------------------------------------------------

void TestReports::createReportBudgetAndOrientation()
{
    LogFixture f;
    TF_CreateReport dialog(f.log);
    QCOMPARE(dialog.lbAvailable->count(), 29);
    QCOMPARE(dialog.lblUsed->text(), QString("0\""));
    QCOMPARE(dialog.lblAvailable->text(), QString("7\""));
    QVERIFY(dialog.rbPortrait->isChecked());
    dialog.lbAvailable->setCurrentRow(4); // To Address Line 1(2.2)
    for (int i = 0; i < 3; ++i)
        dialog.btnAddField->click();
    QCOMPARE(dialog.lbFields->count(), 3);
    QCOMPARE(dialog.lblUsed->text(), QString("6.6\""));
    QVERIFY(messages().isEmpty());
    dialog.btnAddField->click();
    QCOMPARE(lastMessage(), QString("You don't have any available space in the Report to add this field."));
    QCOMPARE(dialog.lbFields->count(), 3);

    dialog.rbLandscape->click();
    QCOMPARE(dialog.lblAvailable->text(), QString("3.4\""));
    dialog.lbAvailable->setCurrentRow(0); // 1.4
    dialog.btnAddField->click();
    QCOMPARE(dialog.lblUsed->text(), QString("8\""));
    MessageService::clearShown();
    dialog.rbPortrait->click();
    QCOMPARE(lastMessage(), QString("Cant change Orientation to \"Portrait\", used space is greater than 7."));
    QVERIFY(dialog.rbLandscape->isChecked());
    QCOMPARE(dialog.lblAvailable->text(), QString("2\""));

    dialog.lbFields->setCurrentRow(3);
    dialog.btnRemoveField->click();
    QCOMPARE(dialog.lblUsed->text(), QString("6.6\""));
    dialog.rbPortrait->click();
    QCOMPARE(dialog.lblAvailable->text(), QString("0.4\""));
    QVERIFY(dialog.lblUsed->toolTip().contains("150 characters"));
}

void TestReports::createReportStoresTheDefinition()
{
    LogFixture f;
    TF_CreateReport dialog(f.log);
    dialog.editReportName->setText("Smith's \"Wide\"");
    for (int row : {28, 1, 22}) {
        dialog.lbAvailable->setCurrentRow(row);
        dialog.btnAddField->click();
    }
    dialog.rbLandscape->click();
    dialog.btnOK->click();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QVERIFY(messages().isEmpty());
    engine::Query q;
    q.setFolder(f.log.toStdString());
    q.setSql("select * from Reports");
    q.open();
    QCOMPARE(QString::fromStdString(q.asString("ReportName")), QString("Smith's \"Wide\""));
    QCOMPARE(QString::fromStdString(q.asString("Orientation")), QString("1"));
    q.close();
    const auto layout = userReportLayout(f.log, "Smith's \"Wide\"", true);
    QVERIFY(layout);
    QStringList fields;
    for (const auto& c : layout->columns)
        fields << c.field;
    QCOMPARE(fields, QStringList({"Result", "MailerNum", "Total"}));

    // The same name again is refused, and nothing of the second definition is stored.
    TF_CreateReport again(f.log);
    again.editReportName->setText("Smith's \"Wide\"");
    again.lbAvailable->setCurrentRow(0);
    again.btnAddField->click();
    again.btnOK->click();
    QCOMPARE(lastMessage(), QString("A Report name of \"Smith's \"Wide\"\" already exists."));
    QCOMPARE(again.result(), int(QDialog::Rejected));
    QCOMPARE(userReportLayout(f.log, "Smith's \"Wide\"", true)->columns.size(), 3);
}

void TestReports::createReportRefusals_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("withField");
    QTest::addColumn<QString>("message");
    QTest::newRow("blank name") << "   " << true << "Please enter a report name.";
    QTest::newRow("no fields") << "Mine" << false << "You must have at least one field selected for the report.";
}

void TestReports::createReportRefusals()
{
    LogFixture f;
    TF_CreateReport dialog(f.log);
    QFETCH(QString, name);
    QFETCH(bool, withField);
    QFETCH(QString, message);
    dialog.editReportName->setText(name);
    if (withField) {
        dialog.lbAvailable->setCurrentRow(2);
        dialog.btnAddField->click();
    }
    dialog.btnOK->click();
    QCOMPARE(lastMessage(), message);
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
}

void TestReports::createReportFieldOrder()
{
    LogFixture f;
    TF_CreateReport dialog(f.log);
    dialog.btnAddField->click();
    QCOMPARE(lastMessage(), QString("You must select a field."));
    MessageService::clearShown();
    dialog.btnRemoveField->click();
    QCOMPARE(lastMessage(), QString("You must select a field."));
    MessageService::clearShown();
    dialog.btnFieldDown->click(); // nothing selected: nothing happens
    for (int row : {0, 1, 2}) {
        dialog.lbAvailable->setCurrentRow(row);
        dialog.btnAddField->click();
    }
    dialog.lbFields->clearSelection();
    dialog.btnFieldDown->click();
    auto texts = [&] {
        QStringList t;
        for (int i = 0; i < dialog.lbFields->count(); ++i)
            t << reportHeading(dialog.lbFields->item(i)->text());
        return t;
    };
    QCOMPARE(texts(), QStringList({"Date and Time", "Mailer Number", "Customer ID"}));
    dialog.lbFields->setCurrentRow(0);
    dialog.btnFieldDown->click();
    QCOMPARE(texts(), QStringList({"Mailer Number", "Date and Time", "Customer ID"}));
    dialog.lbFields->setCurrentRow(2);
    dialog.btnFieldDown->click(); // the last stays
    dialog.btnFieldUp->click();
    QCOMPARE(texts(), QStringList({"Mailer Number", "Customer ID", "Date and Time"}));
    dialog.lbFields->setCurrentRow(0);
    dialog.btnFieldUp->click(); // the first stays
    QCOMPARE(texts(), QStringList({"Mailer Number", "Customer ID", "Date and Time"}));
    QVERIFY(messages().isEmpty());
}

// ---- Reports window ------------------------------------------------------------------------------

void TestReports::reportsWindowListsAndDeletes()
{
    LogFixture f;
    f.addRows(1, "1");
    f.defineReport("Zed's", "0", {"RE"});
    f.defineReport("Alpha", "1", {"RE"});
    TF_Report window(f.settings, QString());
    QStringList names;
    for (int i = 0; i < window.lvReports->count(); ++i)
        names << window.lvReports->item(i)->text();
    QCOMPARE(names, QStringList({"Alpha", "Certified Mail Log", "Firm Mailing Book", "Receipts Outstanding", "Zed's"}));
    QVERIFY(!window.btnPreview->isEnabled() && !window.btnPrint->isEnabled() && !window.btnDelete->isEnabled());
    window.lvReports->setCurrentRow(1);
    QVERIFY(window.btnPreview->isEnabled() && window.btnPrint->isEnabled() && !window.btnDelete->isEnabled());
    window.lvReports->setCurrentRow(4);
    QVERIFY(window.btnDelete->isEnabled());
    QCOMPARE(TF_Report::recordOf(window.lvReports->item(4)).orientation, QString("0"));

    MessageService::queueAnswer(QMessageBox::No);
    window.btnDelete->click();
    QCOMPARE(window.lvReports->count(), 5);
    MessageService::queueAnswer(QMessageBox::Yes);
    window.btnDelete->click();
    const auto shown = MessageService::shown();
    QCOMPARE(shown.at(shown.size() - 2).text, QString("Are you sure you want to delete report \"Zed's\"?"));
    QCOMPARE(shown.at(shown.size() - 2).buttons, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    QCOMPARE(shown.last().text, QString("Report \"Zed's\" has been deleted."));
    QCOMPARE(window.lvReports->count(), 4);
    QCOMPARE(window.lvReports->currentRow(), 0);
    QVERIFY(!userReportLayout(f.log, "Zed's", false));
    QVERIFY(userReportLayout(f.log, "Alpha", true));
}

void TestReports::noRowsNoWindow()
{
    LogFixture f;
    testsupport::ModalDriver driver;
    TF_Report::showFor(nullptr, f.settings, QString());
    QCOMPARE(lastMessage(), QString("No records available for report."));
    f.addRows(2, "1");
    MessageService::clearShown();
    TF_Report::showFor(nullptr, f.settings, "Result = 'Received - Signed'");
    QCOMPARE(lastMessage(), QString("No records available for report."));
    QVERIFY(driver.seen.isEmpty());
}

void TestReports::printUserReportToPdf()
{
    LogFixture f;
    f.addRows(3, "2.50");
    f.run("update Log37 set Result = 'Received - Signed' where LID = 3");
    f.defineReport("O'Brien", "0", {"MailerNum", "ToAddress1", "Result", "Total"});
    QTemporaryDir out;
    testsupport::EnvironmentValue pdfDir("DOVRA_PDF_DIR", out.path());
    TF_Report window(f.settings, "Result = 'None'");
    window.lvReports->setCurrentItem(window.lvReports->findItems("O'Brien", Qt::MatchExactly).first());
    window.btnPrint->click();
    QVERIFY(messages().isEmpty());
    const QStringList files = QDir(out.path()).entryList({"*.pdf"});
    QCOMPARE(files.size(), 1);
    const QString text = testsupport::runTool("pdftotext", {"-layout", out.filePath(files.first()), "-"});
    QVERIFY2(text.contains("Certified Mail Log Report"), qPrintable(text));
    QVERIFY(text.contains("Addressee 2"));
    QVERIFY(!text.contains("Addressee 3"));
    QVERIFY(text.contains("Date Printed : "));
    QVERIFY(text.contains(QRegularExpression("Total Count: 2 +Total Fees: \\$5\\.00")));
    QVERIFY(text.contains("Page 1"));

    // A definition without columns is refused by name.
    f.run("delete from Report_Detail");
    window.btnPrint->click();
    QCOMPARE(lastMessage(), QString("Error with report \"O'Brien\""));
    QCOMPARE(QDir(out.path()).entryList({"*.pdf"}).size(), 1);
}

void TestReports::addresseeInAScriptWithoutAFacePrints()
{
    LogFixture f;
    f.addRows(2, "2.50");
    const QString name = QString("\u0AD0 राम शर्मा");
    f.run("update Log37 set ToAddress1 = " + LogFixture::q(name) + " where LID = 1");
    f.defineReport("Hindi", "0", {"MailerNum", "ToAddress1", "Total"});
    QTemporaryDir out;
    testsupport::EnvironmentValue pdfDir("DOVRA_PDF_DIR", out.path());
    TF_Report window(f.settings, QString());
    window.lvReports->setCurrentItem(window.lvReports->findItems("Hindi", Qt::MatchExactly).first());
    window.btnPrint->click();
    QVERIFY(messages().isEmpty());
    const QStringList files = QDir(out.path()).entryList({"*.pdf"});
    QCOMPARE(files.size(), 1);
    const QString text = testsupport::runTool("pdftotext", {out.filePath(files.first()), "-"});
    QVERIFY2(text.contains(name) && text.contains("Addressee 2"), qPrintable(text));
}

void TestReports::printLandscapeProjectReportToPdf()
{
    LogFixture f;
    f.addRows(2, "3.00", "2026-12-09");
    f.addRows(3, "4.00", "2026-12-10");
    QTemporaryDir out;
    testsupport::EnvironmentValue pdfDir("DOVRA_PDF_DIR", out.path());
    TF_Report window(f.settings, QString());
    window.lvReports->setCurrentItem(window.lvReports->findItems("Firm Mailing Book", Qt::MatchExactly).first());
    testsupport::ModalDriver driver;
    driver.on("QDialog", [](QWidget* w) {
        auto edit = w->findChild<QDateEdit*>("editReportDay");
        QVERIFY(edit);
        edit->setDate(QDate(2026, 12, 9));
        clickButton(w, "btnOK");
    });
    window.btnPrint->click();
    QCOMPARE(driver.seen, QStringList({"QDialog"}));
    const QStringList files = QDir(out.path()).entryList({"*.pdf"});
    QCOMPARE(files.size(), 1);
    const QString pdf = out.filePath(files.first());
    const QString text = testsupport::runTool("pdftotext", {"-layout", pdf, "-"});
    QVERIFY2(text.contains(QRegularExpression("Total Count: 2 +Total Fees: \\$6\\.00")), qPrintable(text));
    QVERIFY(text.contains("Date Printed: "));
    // The page is turned: the ink of the title runs down the sheet.
    const QImage page = testsupport::rasterisePdf(pdf, 40);
    const QRect ink = testsupport::inkBox(page);
    QVERIFY(ink.height() > ink.width());
}

void TestReports::previewMaximisedAtFullSize()
{
    LogFixture f;
    f.addRows(2, "1");
    f.defineReport("Mine", "1", {"MailerNum", "Total"});
    TF_Report window(f.settings, QString());
    window.lvReports->setCurrentItem(window.lvReports->findItems("Mine", Qt::MatchExactly).first());
    testsupport::ModalDriver driver;
    int pages = -1;
    qreal zoom = 0;
    bool maximised = false;
    QString title;
    driver.on("QPrintPreviewDialog", [&](QWidget* w) {
        auto view = w->findChild<QPrintPreviewWidget*>();
        QTRY_VERIFY(view->pageCount() > 0);
        pages = view->pageCount();
        zoom = view->zoomFactor();
        maximised = w->windowState() & Qt::WindowMaximized;
        title = w->windowTitle();
        w->close();
    });
    window.btnPreview->click();
    QCOMPARE(pages, 1);
    QCOMPARE(zoom, 1.0);
    QVERIFY(maximised);
    QCOMPARE(title, QString("Report Preview"));
}

void TestReports::missingProjectFileSaysWhyOnce()
{
    LogFixture f;
    f.addRows(1, "1");
    f.defineReport("Mine", "0", {"RE"});
    // A damaged project file in the program folder is found before the one beside the program.
    QFile damaged(f.home.file("Dovra3pro.rav"));
    QVERIFY(damaged.open(QIODevice::WriteOnly));
    damaged.write("not a report file\n");
    damaged.close();
    testsupport::ModalDriver driver;
    QStringList listed;
    driver.on("TF_Report", [&](QWidget* w) {
        auto list = w->findChild<QListWidget*>("lvReports");
        for (int i = 0; i < list->count(); ++i)
            listed << list->item(i)->text();
        // Creating a report lists again without a second word about the file.
        static_cast<TF_Report*>(w)->LoadReportList();
        static_cast<QDialog*>(w)->reject();
    });
    TF_Report::showFor(nullptr, f.settings, QString());
    QCOMPARE(listed, QStringList({"Mine"}));
    QCOMPARE(MessageService::shown().size(), 1);
    QVERIFY(lastMessage().contains("is damaged: it does not begin with"));
    QVERIFY(lastMessage().endsWith("Only your own reports are listed."));
}

void TestReports::mainMenuOpensReports()
{
    testsupport::TempProgramFolder home;
    testsupport::prepareReadyProgramFolder(home.path());
    TdmDovraPro dm;
    MessageService::setScripted(true);
    MessageService::clearShown();
    TF_Main w;
    QVERIFY(w.miReports->isEnabled());
    w.miReports->trigger();
    QCOMPARE(lastMessage(), QString("No records available for report."));
}

QTEST_MAIN(TestReports)
#include "test_reports.moc"
