// The print run on the real main window: each mailer printed to a PDF file, its bar codes
// decoded from the rasterised page, its log row and the counter read back from the tables.
#include "app/TF_Main.h"
#include "canvas/PdfCanvas.h"
#include "canvas/RecordingCanvas.h"
#include "core/ProofCopies.h"
#include "core/datamodule/TdmDovraPro.h"
#include "engine/Query.h"
#include "engine/Table.h"
#include "log/LogModel.h"
#include "log/TF_Log.h"
#include "printing/PrintRun.h"
#include "printing/TF_NumLabels.h"
#include "tests/support/TestSupport.h"
#include "widgets/ButtonDialog.h"
#include "widgets/Services.h"

#include <QCheckBox>
#include <QDesktopServices>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>
#include <QToolButton>
#include <QtTest>
#include <chrono>
#include <sqlite3.h>
#include <thread>
#include <unistd.h>

namespace {

using testsupport::decodedSymbols;
using testsupport::inkBox;
using testsupport::rasterisePdf;

using testsupport::LogRow;

// The main window in a program folder of its own, printing PDF files into pdfFolder().
class PrintFixture {
public:
    PrintFixture() : pdfDir_("DOVRA_PDF_DIR", home.path() + "/Printed")
    {
        MessageService::setScripted(true);
        MessageService::clearShown();
        ButtonDialogService::setScripted(true);
        setCounter("123456789", "0000041", true, true);
        compose("Jane Roe");
    }

    QString pdfFolder() const { return home.path() + "/Printed"; }
    QStringList pdfFiles() const { return QDir(pdfFolder()).entryList({"*.pdf"}, QDir::Files, QDir::Name); }

    void setCounter(const QString& custId, const QString& serial, bool barCodes, bool increment)
    {
        testsupport::writeRow(w.settings.mailerNumDB, {custId, serial, increment, barCodes});
    }

    QString counterSerial() const { return testsupport::readRow(w.settings.mailerNumDB).serialNum; }

    QList<LogRow> logRows() const { return testsupport::logRows(home.path() + "/Log"); }

    void compose(const QString& name)
    {
        w.currentSender = {{"Acme Supply", "12 Mill Rd", "", ""}, "Springfield", "IL", "62701-1234"};
        w.showCurrentSender();
        w.memoToAddress->setPlainText(name + "\n4 Elm St");
        w.editToCity->setText("Dover");
        w.editToState->setText("DE");
        w.editToZip->setText("19901-0001");
        w.editDepartment->setText("Legal");
        w.editProcessedBy->setText("kb");
        w.editRe->setText("Lease 7");
        w.editComment->setText("Second notice");
    }

    QStringList messages() const { return testsupport::shownMessageTexts(); }

    testsupport::TempProgramFolder home;

private:
    testsupport::EnvironmentValue pdfDir_;

public:
    TdmDovraPro dm;
    TF_Main w;
};

QString numberT(const QString& serial)
{
    return BuildMailerNumber("123456789", serial, "T");
}

QString numberT(int serial)
{
    return numberT(QString("%1").arg(serial, 7, 10, QChar('0')));
}

// The window's mailer to "Client 1" ... "Client <count>", as a mass print makes them.
std::vector<RunMailer> clients(const TF_Main& w, int count)
{
    std::vector<RunMailer> mailers;
    for (int i = 1; i <= count; ++i)
        mailers.push_back(
            mailerOfWindowTo(w, {{QString("Client %1").arg(i), "4 Elm St", "", ""}, "Dover", "DE", "19901"}));
    return mailers;
}

// A print job as its operations: B begins it, x is a label's bar code, | a new page, E the
// end, A dropping it.
QString jobOutline(const RecordingCanvas& canvas)
{
    QString outline;
    for (const CanvasOp& op : canvas.ops()) {
        switch (op.kind) {
        case CanvasOp::BeginDocument:
            outline += 'B';
            break;
        case CanvasOp::DrawImage:
            outline += 'x';
            break;
        case CanvasOp::NewPage:
            outline += '|';
            break;
        case CanvasOp::EndDocument:
            outline += 'E';
            break;
        case CanvasOp::AbortDocument:
            outline += 'A';
            break;
        default:
            break;
        }
    }
    return outline;
}

QStringList loggedRecipients(const QList<LogRow>& rows)
{
    QStringList names;
    for (const LogRow& row : rows)
        names << row["ToAddress1"];
    return names;
}

// Makes every later write to the counter row fail, as a share that drops would, while the
// counter still opens and reads.
void refuseCounterWrites(const QString& folder)
{
    sqlite3* db = nullptr;
    QCOMPARE(sqlite3_open(qPrintable(folder + "/MailerNum.adt"), &db), SQLITE_OK);
    QCOMPARE(sqlite3_exec(db,
                          "create trigger NoWrites before update on MailerNum "
                          "begin select raise(abort, 'disk I/O error'); end",
                          nullptr, nullptr, nullptr),
             SQLITE_OK);
    sqlite3_close(db);
}

// Fails the chosen print job, as a printer that goes offline part-way would.
// Stands in for the desktop's viewer: records what it is asked to open.
class UrlRecorder : public QObject {
    Q_OBJECT
public:
    QList<QUrl> opened;
public slots:
    void open(const QUrl& url) { opened << url; }
};

class FailingCanvas : public RecordingCanvas {
public:
    explicit FailingCanvas(int failingJob) : failingJob_(failingJob) {}
    void BeginDocument() override
    {
        if (++jobs_ == failingJob_)
            throw PrintError("The printer is offline.");
        RecordingCanvas::BeginDocument();
    }

private:
    int failingJob_;
    int jobs_ = 0;
};

// A printer that fails a label job at one step: its start, its n-th new page, its end, or the
// bar code of its n-th label.
class LabelJobFailingCanvas : public RecordingCanvas {
public:
    enum Step { Begin, NextPage, End, BarCode };
    LabelJobFailingCanvas(Step step, int n) : step_(step), n_(n) {}
    void BeginDocument() override
    {
        fail(Begin);
        RecordingCanvas::BeginDocument();
    }
    void NewPage() override
    {
        fail(NextPage);
        RecordingCanvas::NewPage();
    }
    void EndDocument() override
    {
        fail(End);
        RecordingCanvas::EndDocument();
    }
    void DrawImage(int x, int y, int width, int height, const QImage& image) override
    {
        fail(BarCode);
        RecordingCanvas::DrawImage(x, y, width, height, image);
    }

private:
    void fail(Step step)
    {
        if (step == step_ && ++seen_ == n_)
            throw PrintError("The printer is offline.");
    }
    Step step_;
    int n_;
    int seen_ = 0;
};

// A PDF printer that fails at the first text of a job, after the bar codes are drawn.
class PdfCanvasFailingAtText : public PdfJobCanvas {
public:
    using PdfJobCanvas::PdfJobCanvas;
    void DrawText(int, int, const QString&) override { throw PrintError("The printer ran out of memory."); }
};

} // namespace

class TestPrintRun : public QObject {
    Q_OBJECT

private slots:
    // A counter set back onto a serial already printed refuses the mailer: the log takes each
    // printed number once, whatever wrote the counter.
    void numberTheLogHoldsIsRefused()
    {
        PrintFixture f;
        QVERIFY(f.w.btnPrintClick());
        f.setCounter("123456789", "0000041", true, true); // as a restored or hand-edited counter would
        MessageService::clearShown();
        QVERIFY(!f.w.btnPrintClick());
        const QStringList messages = f.messages();
        QCOMPARE(messages.size(), 1);
        QVERIFY2(messages[0].contains(GroupMailerNumber(numberT("0000041")) + " is already in the log") &&
                     messages[0].contains("Nothing has been printed"),
                 qPrintable(messages[0]));
        QCOMPARE(f.pdfFiles().size(), 1);
        QCOMPARE(f.logRows().size(), 1);
        QCOMPARE(f.counterSerial(), QString("0000041"));
    }

    void formReachesPaperLogAndCounter();
    void serialSequences_data();
    void serialSequences();
    void zipWithoutPlusFourHasNoDash_data();
    void zipWithoutPlusFourHasNoDash();
    void noticeTurnedOffLeavesTheEntryPrinted();
    void batchIsStoredThenPrintedInTableOrder_data();
    void batchIsStoredThenPrintedInTableOrder();
    void clearBatchAsksFirst();
    void multipleForms_data();
    void multipleForms();
    void numLabelsChecksTheCount();
    void labelsAdvanceColumnByColumn();
    void failuresKeepCounterAndLogInStep_data();
    void failuresKeepCounterAndLogInStep();
    void formFailingPartWayLeavesNoPaper();
    void batchFailingPartWayKeepsCounterWithCompletedRows_data();
    void batchFailingPartWayKeepsCounterWithCompletedRows();
    void batchPrintedElsewhereWhileWaitingForTheCounter();
    void unprintableCharactersAskBeforeTheNumber_data();
    void unprintableCharactersAskBeforeTheNumber();
    void longNamePrintsAndTheLogKeepsItWhole();
    void labelRunFillsSheetsInOneJob_data();
    void labelRunFillsSheetsInOneJob();
    void labelJobThatFailsTakesBackItsLabels_data();
    void labelJobThatFailsTakesBackItsLabels();
    void runOfManySumsUp_data();
    void runOfManySumsUp();
};

void TestPrintRun::formReachesPaperLogAndCounter()
{
    PrintFixture f;
    QVERIFY(f.w.btnPrintClick());

    QCOMPARE(f.pdfFiles(), QStringList{"print-00000001.pdf"});
    const QString t = numberT("0000041");
    const QString fNumber = BuildMailerNumber("123456789", "0000041", "F");
    QCOMPARE(decodedSymbols(f.pdfFolder() + "/print-00000001.pdf"),
             QStringList({"CODE-128:" + t, "CODE-128:" + fNumber}));

    const auto notices = ButtonDialogService::shown();
    QCOMPARE(notices.size(), 1);
    QCOMPARE(notices[0].title, QString("Printing"));
    QCOMPARE(notices[0].message, "Mailer has been sent to printer.  The Mailer Number was:\n\n" + t);
    QCOMPARE(notices[0].captions, QStringList({"&Do not show this screen again", "&OK"}));
    QVERIFY(!f.w.entryPrinted());

    const QList<LogRow> rows = f.logRows();
    QCOMPARE(rows.size(), 1);
    const LogRow& row = rows[0];
    QCOMPARE(row["MailerNum"], GroupMailerNumber(t));
    QCOMPARE(row["CustID"], QString("123456789"));
    QCOMPARE(row["SerialNum"], QString("41"));
    QVERIFY(QDateTime::fromString(row["DateTime"], "yyyy-MM-dd HH:mm:ss").secsTo(QDateTime::currentDateTime()) < 60);
    QCOMPARE(row["ToAddress1"], QString("Jane Roe"));
    QCOMPARE(row["ToAddress2"], QString("4 Elm St"));
    QCOMPARE(row["ToAddress3"], QString());
    QCOMPARE(row["ToCity"], QString("Dover"));
    QCOMPARE(row["ToState"], QString("DE"));
    QCOMPARE(row["ToZip"], QString("19901-0001"));
    QCOMPARE(row["YourAddress1"], QString("Acme Supply"));
    QCOMPARE(row["YourAddress2"], QString("12 Mill Rd"));
    QCOMPARE(row["YourCity"], QString("Springfield"));
    QCOMPARE(row["YourZip"], QString("62701-1234"));
    QCOMPARE(row["Postage"], QString("0.39"));
    QCOMPARE(row["Certified"], QString("2.40"));
    QCOMPARE(row["Return"], QString("1.85"));
    QCOMPARE(row["Restricted"], QString());
    QCOMPARE(row["Total"], f.w.editTotal->text().trimmed());
    QVERIFY(!row["Total"].isEmpty());
    QCOMPARE(row["Department"], QString("Legal"));
    QCOMPARE(row["ProcessedBy"], QString("kb"));
    QCOMPARE(row["RE"], QString("Lease 7"));
    QCOMPARE(row["Comment"], QString("Second notice"));
    QCOMPARE(row["WishRest"], QString("False"));
    QCOMPARE(row["Batch"], QString("False"));
    QCOMPARE(row["Result"], QString("None"));

    QCOMPARE(f.counterSerial(), QString("0000042"));
    QVERIFY(f.messages().isEmpty());
}

// The ZIP typed without its +4 is logged, and exported, as its five digits.
void TestPrintRun::zipWithoutPlusFourHasNoDash_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("batch");
    QTest::addColumn<QString>("logged");
    QTest::newRow("five digits") << "60614" << false << "60614";
    QTest::newRow("five digits, batch") << "60614" << true << "60614";
    QTest::newRow("ZIP+4") << "606141234" << false << "60614-1234";
    QTest::newRow("none") << "" << false << "";
}

void TestPrintRun::zipWithoutPlusFourHasNoDash()
{
    QFETCH(QString, typed);
    QFETCH(bool, batch);
    QFETCH(QString, logged);
    PrintFixture f;
    FileDialogService::setScripted(true);
    f.w.miCheckAddresses->trigger(); // ZIPs of other places, and none, go through unchecked
    f.w.editToZip->clear();
    f.w.editToZip->setFocus();
    f.w.editToZip->home(false);
    QTest::keyClicks(f.w.editToZip, typed);
    if (batch)
        f.w.miBatchOnClick();
    QVERIFY(f.w.btnPrintClick());
    QCOMPARE(f.logRows().value(0)["ToZip"], logged);
    const QString exported = f.home.file("log.txt");
    FileDialogService::queueAnswer(exported);
    f.w.miLogExport->trigger();
    QFile file(exported);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(QString::fromLatin1(file.readAll()).contains("\r\nTo Address Zip = " + logged + "\r\n"));
}

void TestPrintRun::serialSequences_data()
{
    QTest::addColumn<bool>("barCodes");
    QTest::addColumn<bool>("increment");
    QTest::addColumn<int>("prints");
    QTest::addColumn<QStringList>("loggedSerials");
    QTest::addColumn<QString>("counterAfter");
    QTest::newRow("bar codes on, two prints") << true << true << 2 << QStringList{"41", "42"} << "0000043";
    QTest::newRow("bar codes on count up whatever Increment says")
        << true << false << 1 << QStringList{"41"} << "0000042";
    QTest::newRow("bar codes off, decrement") << false << false << 1 << QStringList{"41"} << "0000040";
}

void TestPrintRun::serialSequences()
{
    QFETCH(bool, barCodes);
    QFETCH(bool, increment);
    QFETCH(int, prints);
    QFETCH(QStringList, loggedSerials);
    QFETCH(QString, counterAfter);
    PrintFixture f;
    f.setCounter("123456789", "0000041", barCodes, increment);
    f.w.settings.printBarCode = !barCodes;
    for (int i = 0; i < prints; ++i)
        QVERIFY(f.w.btnPrintClick());
    // The setting follows the counter's switch at every print.
    QCOMPARE(f.w.settings.printBarCode, barCodes);
    QStringList logged;
    for (const LogRow& row : f.logRows()) {
        logged << row["SerialNum"];
        QCOMPARE(row["MailerNum"],
                 GroupMailerNumber(numberT(QString("%1").arg(row["SerialNum"].toInt(), 7, 10, QChar('0')))));
    }
    QCOMPARE(logged, loggedSerials);
    QCOMPARE(f.counterSerial(), counterAfter);
    QCOMPARE(f.pdfFiles().size(), prints);
    if (!barCodes) // the forms carry pre-printed numbers
        QCOMPARE(decodedSymbols(f.pdfFolder() + "/" + f.pdfFiles().first()), QStringList());
}

void TestPrintRun::noticeTurnedOffLeavesTheEntryPrinted()
{
    PrintFixture f;
    ButtonDialogService::queueAnswer(1); // "&Do not show this screen again"
    QVERIFY(f.w.btnPrintClick());
    QVERIFY(!f.w.entryPrinted());
    QVERIFY(f.w.btnPrintClick());
    QCOMPARE(ButtonDialogService::shown().size(), 1);
    QVERIFY(f.w.entryPrinted());
    QVERIFY(!f.w.btnPrint->isEnabled());
    f.w.editComment->setText("Third notice");
    QVERIFY(!f.w.entryPrinted());
    QCOMPARE(f.logRows().size(), 2);
}

void TestPrintRun::batchIsStoredThenPrintedInTableOrder_data()
{
    QTest::addColumn<bool>("labels");
    QTest::addColumn<int>("printJobs");
    QTest::newRow("forms: a job each") << false << 3;
    QTest::newRow("labels: one job") << true << 1;
}

void TestPrintRun::batchIsStoredThenPrintedInTableOrder()
{
    QFETCH(bool, labels);
    QFETCH(int, printJobs);
    PrintFixture f;
    if (labels)
        f.w.CBReturn->setChecked(false);
    f.w.miBatchOnClick();
    QCOMPARE(f.w.btnPrint->text(), QString("&Batch"));
    QCOMPARE(f.w.miPrint->text(), QString("&Print to Batch"));
    QVERIFY(f.w.miPrintBatch->isEnabled());
    const QStringList names{"Ann First", "Bob Second", "Cy Third"};
    for (const QString& name : names) {
        f.compose(name);
        QVERIFY(f.w.btnPrintClick());
    }
    QCOMPARE(f.messages(), QStringList(3, "Record has been added to the Batch File."));
    QVERIFY(f.pdfFiles().isEmpty());
    QCOMPARE(f.counterSerial(), QString("0000041"));
    for (const LogRow& row : f.logRows()) {
        QCOMPARE(row["Batch"], QString("True"));
        QCOMPARE(row["DateTime"], QString("<null>"));
        QCOMPARE(row["MailerNum"], QString("<null>"));
        QCOMPARE(row["CustID"], QString("<null>"));
        QCOMPARE(row["SerialNum"], QString("<null>"));
        QCOMPARE(row["Result"], QString("None"));
        QCOMPARE(row["Department"], QString("Legal"));
    }

    MessageService::clearShown();
    f.w.miPrintBatchClick();
    QCOMPARE(f.pdfFiles().size(), printJobs);
    const QList<LogRow> rows = f.logRows();
    QCOMPARE(rows.size(), 3);
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(rows[i]["ToAddress1"], names[i]);
        QCOMPARE(rows[i]["MailerNum"], numberT(QString("00000%1").arg(41 + i)));
        QCOMPARE(rows[i]["SerialNum"], QString::number(41 + i));
        QCOMPARE(rows[i]["CustID"], QString("123456789"));
        QCOMPARE(rows[i]["Batch"], QString("False"));
        QVERIFY(rows[i]["DateTime"] != "<null>");
    }
    QCOMPARE(f.counterSerial(), QString("0000044"));
    QCOMPARE(f.messages(), QStringList{"3 Mailers from Batch has been sent to printer.\n\nFirst Mailer Number: " +
                                       numberT("0000041") + "\nLast Mailer Number: " + numberT("0000043")});
    if (labels) {
        QCOMPARE(f.w.EDPosRow->text(), QString("2"));
        QCOMPARE(f.w.EDPosCol->text(), QString("1"));
    }

    MessageService::clearShown();
    f.w.miPrintBatchClick();
    QCOMPARE(f.messages(), QStringList{"There are no records in the Batch file."});
    QCOMPARE(f.counterSerial(), QString("0000044"));

    MessageService::clearShown();
    f.w.btnPrintClick();
    f.w.miPrintBatchClick();
    QCOMPARE(f.messages().last(),
             "1 Mailer from Batch has been sent to printer.  The Mailer Number was:\n\n" + numberT("0000044"));

    f.w.miBatchOffClick();
    QCOMPARE(f.w.btnPrint->text(), QString("&Print"));
    QCOMPARE(f.w.miPrint->text(), QString("&Print"));
    QVERIFY(!f.w.miPrintBatch->isEnabled());
    QVERIFY(!f.w.miClearBatch->isEnabled());
}

void TestPrintRun::clearBatchAsksFirst()
{
    PrintFixture f;
    f.w.btnPrintClick(); // a printed row, which Clear leaves alone
    f.w.miBatchOnClick();
    f.w.btnPrintClick();
    f.w.btnPrintClick();
    MessageService::clearShown();
    MessageService::queueAnswer(QMessageBox::No);
    f.w.miClearBatchClick();
    QCOMPARE(f.logRows().size(), 3);
    MessageService::queueAnswer(QMessageBox::Yes);
    f.w.miClearBatchClick();
    const auto shown = MessageService::shown();
    QCOMPARE(shown.size(), 2);
    QCOMPARE(shown[1].text, QString("Are you sure you want to clear the Batch file?"));
    QCOMPARE(shown[1].kind, MessageKind::Information);
    QCOMPARE(shown[1].buttons, QMessageBox::Yes | QMessageBox::No);
    const QList<LogRow> rows = f.logRows();
    QCOMPARE(rows.size(), 1);
    QCOMPARE(rows[0]["Batch"], QString("False"));
}

void TestPrintRun::multipleForms_data()
{
    QTest::addColumn<bool>("batch");
    QTest::addColumn<bool>("labels");
    QTest::newRow("printed") << false << false;
    QTest::newRow("labels") << false << true;
    QTest::newRow("batch mode") << true << false;
}

void TestPrintRun::multipleForms()
{
    QFETCH(bool, batch);
    QFETCH(bool, labels);
    PrintFixture f;
    if (batch)
        f.w.miBatchOnClick();
    if (labels) {
        f.w.CBReturn->click();
        f.w.EDPosRow->setText("3");
        f.w.EDPosCol->setText("3");
    }
    QTimer::singleShot(0, [] {
        auto dialog = qobject_cast<TF_NumLabels*>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        QCOMPARE(dialog->windowTitle(), QString("Labels"));
        dialog->editNumLabels->setText("3");
        dialog->btnOK->click();
    });
    f.w.miPrintMultipleFormsClick();

    QStringList expected = batch ? QStringList(3, "Record has been added to the Batch File.") : QStringList();
    expected << "3 labels have been sent to the printer.";
    QCOMPARE(f.messages(), expected);
    QVERIFY(ButtonDialogService::shown().isEmpty());
    QCOMPARE(f.logRows().size(), 3);
    QCOMPARE(f.pdfFiles().size(), batch ? 0 : labels ? 1 : 3);
    QCOMPARE(f.counterSerial(), QString(batch ? "0000041" : "0000044"));
    QVERIFY(!f.w.entryPrinted());
    // Labels: one job from the last place of the sheet on, the second sheet a page of it.
    if (labels) {
        const QString pdf = f.pdfFolder() + "/" + f.pdfFiles().first();
        QVERIFY(testsupport::runTool("pdfinfo", {pdf}).contains(QRegularExpression("Pages: +2\n")));
        QCOMPARE(decodedSymbols(pdf), QStringList{"CODE-128:" + numberT(41)});
        QCOMPARE(f.w.EDPosRow->text() + f.w.EDPosCol->text(), QString("13"));
    }

    // Refused by the counter: the repetition stops at once and no summary follows.
    if (!batch) {
        MessageService::clearShown();
        f.setCounter("000000000", "0000044", true, true);
        QTimer::singleShot(0, [] {
            auto dialog = qobject_cast<TF_NumLabels*>(QApplication::activeModalWidget());
            dialog->editNumLabels->setText("3");
            dialog->btnOK->click();
        });
        f.w.miPrintMultipleFormsClick();
        QCOMPARE(f.messages(), QStringList{NoCustomerIdMessage});
        QCOMPARE(f.pdfFiles().size(), labels ? 1 : 3);
    }
}

void TestPrintRun::numLabelsChecksTheCount()
{
    MessageService::setScripted(true);
    MessageService::clearShown();
    TF_NumLabels d;
    QCOMPARE(d.editNumLabels->text(), QString("1"));
    QCOMPARE(d.editNumLabels->maxLength(), 3);

    for (const QString& empty : {"  ", "000"}) {
        d.editNumLabels->setText(empty);
        d.editNumLabelsExit();
        QCOMPARE(d.editNumLabels->text(), QString("1"));
        QVERIFY(!d.btnOK->isEnabled());
    }

    d.editNumLabels->setText("101");
    d.editNumLabelsExit();
    QCOMPARE(d.editNumLabels->text(), QString());
    QVERIFY(!d.btnOK->isEnabled());

    QTest::keyClicks(d.editNumLabels, "4x2-");
    QCOMPARE(d.editNumLabels->text(), QString("42"));
    QVERIFY(d.btnOK->isEnabled());
    d.editNumLabelsExit();
    QVERIFY(d.btnOK->isEnabled());

    const QStringList expected{"Please enter a valid number for \"Number of Labels\".",
                               "Please enter a valid number for \"Number of Labels\".",
                               "You can not enter a number greater than 100."};
    QStringList texts;
    for (const auto& m : MessageService::shown())
        texts << m.text;
    QCOMPARE(texts, expected);

    auto up = d.UpDown1->findChild<QToolButton*>("UpDown1Up");
    auto down = d.UpDown1->findChild<QToolButton*>("UpDown1Down");
    d.editNumLabels->setText("100");
    up->click();
    QCOMPARE(d.editNumLabels->text(), QString("100"));
    d.editNumLabels->setText("1");
    down->click();
    QCOMPARE(d.editNumLabels->text(), QString("1"));
    up->click();
    QCOMPARE(d.editNumLabels->text(), QString("2"));

    // OK by Enter checks the field too: an over-large count does not close the dialog.
    d.editNumLabels->setText("500");
    d.btnOK->click();
    QVERIFY(d.result() != QDialog::Accepted);
    QCOMPARE(MessageService::shown().size(), 4);
}

void TestPrintRun::labelsAdvanceColumnByColumn()
{
    PrintFixture f;
    f.w.CBReturn->setChecked(false);
    f.w.settings.labelRow = 0;
    f.w.settings.labelCol = 2;
    for (int i = 0; i < 3; ++i)
        QVERIFY(f.w.btnPrintClick());
    QCOMPARE(f.w.EDPosRow->text(), QString("2"));
    QCOMPARE(f.w.EDPosCol->text(), QString("3"));
    QCOMPARE(f.w.settings.labelRow, 1);
    QCOMPARE(f.w.settings.labelCol, 2);

    // Each label is a job of its own, at (1, 3), (2, 1) and (2, 2): the recipient's first
    // line ends at 8.1 - 2.75 (row - 1) inches, the label starts 0.5 inch into its column.
    const QList<QPoint> places{{0, 2}, {1, 0}, {1, 1}};
    QCOMPARE(f.pdfFiles().size(), 3);
    const int dpi = 100;
    for (int i = 0; i < 3; ++i) {
        const QString pdf = f.pdfFolder() + "/" + f.pdfFiles()[i];
        const QRect ink = inkBox(rasterisePdf(pdf, dpi));
        const double right = (8.1 - 2.75 * places[i].x()) * dpi;
        const double top = (3.7 * places[i].y() + 0.5) * dpi;
        QVERIFY2(qAbs(ink.right() - right) < 0.1 * dpi,
                 qPrintable(QString("label %1 right %2").arg(i).arg(ink.right())));
        QVERIFY2(qAbs(ink.top() - top) < 0.1 * dpi, qPrintable(QString("label %1 top %2").arg(i).arg(ink.top())));
        QCOMPARE(decodedSymbols(pdf), QStringList{"CODE-128:" + numberT(QString("00000%1").arg(41 + i))});
    }
    QCOMPARE(f.logRows().size(), 3);
}

void TestPrintRun::failuresKeepCounterAndLogInStep_data()
{
    QTest::addColumn<QString>("failure");
    QTest::addColumn<bool>("printed");
    QTest::addColumn<bool>("logged");
    QTest::addColumn<QString>("counterAfter");
    QTest::addColumn<QString>("message");
    QTest::newRow("no Customer ID") << "no customer id" << false << false << "0000041" << NoCustomerIdMessage;
    QTest::newRow("no Customer ID, older form")
        << "no customer id with dashes" << false << false << "0000041" << NoCustomerIdMessage;
    QTest::newRow("log folder missing") << "log folder missing" << false << false << "0000041"
                                        << "Nothing has been printed";
    QTest::newRow("log folder read-only") << "log folder read-only" << false << false << "0000041"
                                          << "write-protected";
    QTest::newRow("counter locked by another workstation") << "counter locked" << false << false << "0000041"
                                                           << "is in use by another user or workstation";
    // The number was taken before the job failed: the log row is taken back and the number
    // left unused for good.
    QTest::newRow("printer fails") << "printer fails" << false << false << "0000042"
                                   << "its number will not be used again";
    // Refused before printing: it would print "0000000" again at every try.
    QTest::newRow("stored serial not a number")
        << "serial not a number" << false << false << "12a4567" << SerialNotANumberMessage("12a4567");
    // A log or counter that cannot take the number refuses the mailer before it is printed.
    QTest::newRow("log held by another program")
        << "log locked" << false << false << "0000041"
        << "Log/Log37.adt is in use by another program or workstation";
    QTest::newRow("counter cannot be written") << "counter write fails" << false << false << "0000041"
                                               << "disk I/O error";
}

void TestPrintRun::failuresKeepCounterAndLogInStep()
{
    QFETCH(QString, failure);
    QFETCH(bool, printed);
    QFETCH(bool, logged);
    QFETCH(QString, counterAfter);
    QFETCH(QString, message);
    PrintFixture f;
    const testsupport::LockWait shortWait(100);
    std::optional<testsupport::EnvironmentValue> brokenPdfFolder;
    engine::Table otherWorkstation;
    if (failure == "no customer id") {
        f.setCounter("000000000", "0000041", true, true);
    } else if (failure == "no customer id with dashes") {
        f.setCounter("00-000-00", "0000041", true, true); // "00-000-0000" cut to the field
    } else if (failure == "counter write fails") {
        refuseCounterWrites(f.w.settings.mailerNumDB);
    } else if (failure == "log folder missing") {
        f.w.settings.logDB = f.home.path() + "/Gone";
    } else if (failure == "log folder read-only") {
        if (geteuid() == 0)
            QSKIP("write protection does not hold for root");
        QVERIFY(QFile::setPermissions(f.home.path() + "/Log", QFile::ReadOwner | QFile::ExeOwner));
    } else if (failure == "counter locked") {
        testsupport::openCounter(otherWorkstation, f.w.settings.mailerNumDB, true);
    } else if (failure == "printer fails") {
        QFile blocker(f.home.file("blocker"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        brokenPdfFolder.emplace("DOVRA_PDF_DIR", blocker.fileName() + "/Printed");
    } else if (failure == "serial not a number") {
        f.setCounter("123456789", "12a4567", true, true);
    } else if (failure == "log locked") {
        otherWorkstation.setFolder(toStd(f.home.path() + "/Log"));
        otherWorkstation.setTableName("Log37");
        otherWorkstation.open();
        otherWorkstation.startTransaction();
    }

    QVERIFY(!f.w.btnPrintClick());
    otherWorkstation.close();
    QFile::setPermissions(f.home.path() + "/Log", QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    const QStringList messages = f.messages();
    QCOMPARE(messages.size(), 1);
    QVERIFY2(messages[0].contains(message), qPrintable(messages[0]));
    if (QStringList{"log folder missing", "log folder read-only", "log locked", "counter write fails"}.contains(failure))
        QVERIFY2(messages[0].contains("Nothing has been printed"), qPrintable(messages[0]));
    QCOMPARE(f.pdfFiles().size(), printed ? 1 : 0);
    QVERIFY(ButtonDialogService::shown().isEmpty());
    QCOMPARE(f.counterSerial(), counterAfter);
    const QList<LogRow> rows = f.logRows();
    QCOMPARE(rows.size(), logged ? 1 : 0);
    if (logged)
        QCOMPARE(rows[0]["MailerNum"], GroupMailerNumber(numberT("0000041")));
    QVERIFY(!dmDovraPro->adstMailerNum.active());
    QVERIFY(!dmDovraPro->adstLog.active());

    // Once the cause is gone the next mailer takes the next free number.
    if (!failure.startsWith("no customer id") && failure != "serial not a number" && failure != "counter write fails") {
        brokenPdfFolder.reset();
        f.w.settings.logDB = f.home.path() + "/Log";
        QVERIFY(f.w.btnPrintClick());
        const QList<LogRow> rows = f.logRows();
        QCOMPARE(rows.size(), 1);
        QCOMPARE(rows[0]["SerialNum"], QString::number(counterAfter.toInt()));
    }
}

void TestPrintRun::formFailingPartWayLeavesNoPaper()
{
    PrintFixture f;
    MailerLogEntry entry;
    entry.recipient.address[0] = "Ann First";
    PdfCanvasFailingAtText failing(f.pdfFolder());
    QVERIFY_THROWS_EXCEPTION(PrintError, PrintMailer(failing, f.w.settings, testsupport::sampleMailerPrintData(),
                                                     MailerLayout::Form, entry));
    // The bar codes had reached the job's file; it is gone, and the number is still free.
    // Its number stays used: the counter is past it, and its log row was taken back.
    QVERIFY(!failing.lastFile().isEmpty());
    QCOMPARE(f.pdfFiles(), QStringList());
    QCOMPARE(f.counterSerial(), QString("0000042"));
    QCOMPARE(f.logRows().size(), 0);

    PdfJobCanvas working(f.pdfFolder());
    const PrintOutcome outcome =
        PrintMailer(working, f.w.settings, testsupport::sampleMailerPrintData(), MailerLayout::Form, entry);
    QCOMPARE(outcome.number, numberT("0000042"));
    QCOMPARE(decodedSymbols(working.lastFile()).first(), "CODE-128:" + numberT("0000042"));
}

void TestPrintRun::batchFailingPartWayKeepsCounterWithCompletedRows_data()
{
    QTest::addColumn<QString>("serial");
    QTest::addColumn<int>("failingJob");
    QTest::addColumn<int>("completedRows");
    QTest::addColumn<QString>("counterAfter");
    QTest::addColumn<QString>("message");
    // The failing row had its number already: it goes back into the batch, its number unused.
    QTest::newRow("printer fails at the second form")
        << "0000041" << 2 << 1 << "0000043"
        << "offline.\n\nThe mailer with the Mailer Number 9214 7123 4567 8900 0004 28 was not printed; its number "
           "will not be used again.\n\n1 Mailer from Batch had been sent to printer and logged before the run "
           "stopped.  The Mailer Number was:\n\n9214712345678900000411\n\nThe other entries are still in the batch.";
    QTest::newRow("printer fails at the third form")
        << "0000041" << 3 << 2 << "0000044"
        << "2 Mailers from Batch had been sent to printer and logged before the run stopped.\n\nFirst Mailer "
           "Number: 9214712345678900000411\nLast Mailer Number: 9214712345678900000428";
    QTest::newRow("serial not a number") << "12a4567" << 0 << 0 << "12a4567" << SerialNotANumberMessage("12a4567");
    // Nothing is completed or printed when the counter cannot take the first number.
    QTest::newRow("counter cannot be written") << "counter write fails" << 0 << 0 << "0000041"
                                               << "Nothing has been printed";
}

void TestPrintRun::batchFailingPartWayKeepsCounterWithCompletedRows()
{
    QFETCH(QString, serial);
    QFETCH(int, failingJob);
    QFETCH(int, completedRows);
    QFETCH(QString, counterAfter);
    QFETCH(QString, message);
    PrintFixture f;
    if (serial == "counter write fails")
        refuseCounterWrites(f.w.settings.mailerNumDB);
    else
        f.setCounter("123456789", serial, true, true);
    MailerLogEntry entry;
    entry.recipient.address[0] = "Ann First";
    for (int i = 0; i < 3; ++i)
        StoreMailerInBatch(f.w.settings, entry);

    FailingCanvas canvas(failingJob);
    QString stop;
    try {
        stop = PrintBatch(canvas, f.w.settings, MailerLayout::Form).refusal;
    } catch (const std::exception& e) {
        stop = e.what();
    }
    QVERIFY2(stop.contains(message), qPrintable(stop));
    QCOMPARE(f.counterSerial(), counterAfter);
    const QList<LogRow> rows = f.logRows();
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(rows[i]["Batch"], QString(i < completedRows ? "False" : "True"));
        if (i >= completedRows) // as stored: no number, no time
            QCOMPARE(rows[i]["MailerNum"] + rows[i]["DateTime"] + rows[i]["SerialNum"], QString("<null><null><null>"));
    }
    if (completedRows)
        QCOMPARE(rows[0]["SerialNum"], QString("41"));
    QVERIFY(!dmDovraPro->adstMailerNum.active());
    QVERIFY(!dmDovraPro->adstLog.active());
}

void TestPrintRun::batchPrintedElsewhereWhileWaitingForTheCounter()
{
    PrintFixture f;
    MailerLogEntry entry;
    entry.recipient.address[0] = "Ann First";
    StoreMailerInBatch(f.w.settings, entry);
    engine::Table otherWorkstation;
    testsupport::openCounter(otherWorkstation, f.w.settings.mailerNumDB, true);
    const testsupport::LockWait wait(5000);
    // The other workstation completes the batch row and lets go of the counter while this
    // run waits for it.
    std::thread other([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        sqlite3* db = nullptr;
        sqlite3_open(qPrintable(f.home.path() + "/Log/Log37.adt"), &db);
        sqlite3_exec(db, "update Log37 set Batch = 0, MailerNum = 'printed elsewhere'", nullptr, nullptr, nullptr);
        sqlite3_close(db);
        otherWorkstation.close();
    });
    RecordingCanvas canvas;
    const BatchOutcome outcome = PrintBatch(canvas, f.w.settings, MailerLayout::Form);
    other.join();

    QVERIFY(outcome.empty);
    QVERIFY(canvas.ops().isEmpty());
    QCOMPARE(f.logRows()[0]["MailerNum"], QString("printed elsewhere"));
    QCOMPARE(f.counterSerial(), QString("0000041"));
    QVERIFY(!dmDovraPro->adstMailerNum.active());
    QVERIFY(!dmDovraPro->adstLog.active());
}

void TestPrintRun::unprintableCharactersAskBeforeTheNumber_data()
{
    QTest::addColumn<bool>("batch");
    QTest::newRow("printed") << false;
    QTest::newRow("batch mode") << true;
}

void TestPrintRun::unprintableCharactersAskBeforeTheNumber()
{
    QFETCH(bool, batch);
    if (!testsupport::runTool("fc-list", {":lang=hi"}).trimmed().isEmpty())
        QSKIP("A Devanagari face is installed here.");
    PrintFixture f;
    if (batch)
        f.w.miBatchOnClick();
    // A recipient typed in Hindi, on a machine without a Devanagari face.
    const QString name = QString("राम शर्मा");
    f.compose(name);
    const QString question =
        "These characters cannot be printed with the fonts installed on this computer; a mark "
        "stands in for each of them:\n\nRecipient line 1: रामश्\n(U+0930 U+093E U+092E U+0936 U+094D)\n\n"
        "Print anyway?";

    // No: nothing takes a number, nothing is stored or printed.
    MessageService::queueAnswer(QMessageBox::No);
    QVERIFY(!f.w.btnPrintClick());
    const QList<MessageService::Shown> asked = MessageService::shown();
    QCOMPARE(asked.size(), 1);
    QCOMPARE(asked[0].kind, MessageKind::Confirmation);
    QCOMPARE(asked[0].text, question);
    QCOMPARE(asked[0].buttons, QMessageBox::Yes | QMessageBox::No);
    QVERIFY(f.logRows().isEmpty());
    QVERIFY(f.pdfFiles().isEmpty());
    QCOMPARE(f.counterSerial(), QString("0000041"));

    // Yes: the mailer goes its usual way, its name whole in the log and in the file's text.
    MessageService::clearShown();
    MessageService::queueAnswer(QMessageBox::Yes);
    QVERIFY(f.w.btnPrintClick());
    if (batch)
        f.w.miPrintBatchClick();
    QCOMPARE(f.messages().first(), question);
    QCOMPARE(f.pdfFiles().size(), 1);
    QCOMPARE(f.counterSerial(), QString("0000042"));
    const QList<LogRow> rows = f.logRows();
    QCOMPARE(rows.size(), 1);
    QCOMPARE(rows[0]["ToAddress1"], name);
    const QString pdf = f.pdfFolder() + "/" + f.pdfFiles().first();
    QVERIFY(testsupport::runTool("pdftotext", {pdf, "-"}).contains(name));
    QVERIFY(decodedSymbols(pdf).contains("CODE-128:" + numberT("0000041")));
    // The proof copy too.
    const QString proof = ProofCopies::proofFile(f.home.path() + "/Proofs", numberT("0000041"));
    QVERIFY(testsupport::runTool("pdftotext", {proof, "-"}).contains(name));
}

void TestPrintRun::longNamePrintsAndTheLogKeepsItWhole()
{
    PrintFixture f;
    const QString firm = "BARTHOLOMEW, WINTERBOURNE, MCALISTER & KWIATKOWSKI";
    f.compose(firm);
    f.w.miCheckAddresses->trigger(); // the long city is not the ZIP's
    f.w.editToCity->setText("SOUTH WILLIAMSPORT HEIGHTS");
    QVERIFY(f.w.btnPrintClick());
    QVERIFY(f.messages().isEmpty());
    const QList<LogRow> rows = f.logRows();
    QCOMPARE(rows.size(), 1);
    QCOMPARE(rows[0]["ToAddress1"], firm);
    QCOMPARE(rows[0]["ToCity"], QString("SOUTH WILLIAMSPORT HEIGHTS"));
    // The address panel, where the line fits, prints it whole.
    const QString text = testsupport::runTool("pdftotext", {f.pdfFolder() + "/" + f.pdfFiles().first(), "-"});
    QVERIFY2(text.contains(firm), qPrintable(text));
}

void TestPrintRun::labelRunFillsSheetsInOneJob_data()
{
    QTest::addColumn<QPoint>("start"); // row and column index of the first label
    QTest::addColumn<int>("count");
    QTest::addColumn<QString>("job");
    QTest::addColumn<QPoint>("end");
    QTest::newRow("one at the last place") << QPoint(2, 2) << 1 << "BxE" << QPoint(0, 0);
    QTest::newRow("two from the last place") << QPoint(2, 2) << 2 << "Bx|xE" << QPoint(0, 1);
    QTest::newRow("a full sheet") << QPoint(0, 0) << 9 << "BxxxxxxxxxE" << QPoint(0, 0);
    QTest::newRow("ten from the first place") << QPoint(0, 0) << 10 << "Bxxxxxxxxx|xE" << QPoint(0, 1);
    QTest::newRow("twelve from the third place") << QPoint(0, 2) << 12 << "Bxxxxxxx|xxxxxE" << QPoint(1, 2);
    QTest::newRow("twenty from the fifth place") << QPoint(1, 1) << 20 << "Bxxxxx|xxxxxxxxx|xxxxxxE" << QPoint(2, 0);
}

// The labels of a run share one job, a page per sheet, each with its number and log row.
void TestPrintRun::labelRunFillsSheetsInOneJob()
{
    QFETCH(QPoint, start);
    QFETCH(int, count);
    QFETCH(QString, job);
    QFETCH(QPoint, end);
    PrintFixture f;
    f.w.settings.labelRow = start.x();
    f.w.settings.labelCol = start.y();
    RecordingCanvas canvas;
    const RunOutcome outcome = PrintMailers(canvas, f.w.settings, clients(f.w, count), MailerLayout::Label);
    QCOMPARE(jobOutline(canvas), job);
    QCOMPARE(outcome.printed, count);
    QCOMPARE(outcome.firstNumber, numberT(41));
    QCOMPARE(outcome.lastNumber, numberT(41 + count - 1));
    QVERIFY(outcome.refusals.isEmpty() && outcome.stop.isEmpty() && outcome.counterRefusal.isEmpty());
    QCOMPARE(QPoint(f.w.settings.labelRow, f.w.settings.labelCol), end);
    QCOMPARE(f.counterSerial(), QString("%1").arg(41 + count, 7, 10, QChar('0')));
    const QList<LogRow> rows = f.logRows();
    QCOMPARE(rows.size(), count);
    for (int i = 0; i < count; ++i) {
        QCOMPARE(rows[i]["ToAddress1"], QString("Client %1").arg(i + 1));
        QCOMPARE(rows[i]["MailerNum"], GroupMailerNumber(numberT(41 + i)));
    }
    QVERIFY(!dmDovraPro->adstMailerNum.active());
}

void TestPrintRun::labelJobThatFailsTakesBackItsLabels_data()
{
    QTest::addColumn<int>("step");
    QTest::addColumn<int>("n");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("kept"); // labels printed and logged
    QTest::addColumn<QString>("message");
    const auto dropped = [](int first, int last) {
        return QString("The printer is offline.\n\nThe print job was dropped: its %1 mailers, Mailer Numbers %2 to %3, "
                       "were not printed; their numbers will not be used again.")
            .arg(last - first + 1)
            .arg(GroupMailerNumber(numberT(first)), GroupMailerNumber(numberT(last)));
    };
    QTest::newRow("printer offline at the start")
        << int(LabelJobFailingCanvas::Begin) << 1 << 3 << 0
        << "The printer is offline.\n\nThe mailer with the Mailer Number " + GroupMailerNumber(numberT(41)) +
               " was not printed; its number will not be used again.\n\nThe 2 mailers after it were not printed.";
    QTest::newRow("fails at the second sheet") << int(LabelJobFailingCanvas::NextPage) << 1 << 12 << 0
                                               << dropped(41, 49) + "\n\nThe 3 mailers after it were not printed.";
    QTest::newRow("fails at the third label") << int(LabelJobFailingCanvas::BarCode) << 3 << 5 << 0
                                              << dropped(41, 43) + "\n\nThe 2 mailers after it were not printed.";
    QTest::newRow("job cannot be finished") << int(LabelJobFailingCanvas::End) << 1 << 4 << 0 << dropped(41, 44);
    // The number of the fourth cannot be taken: the three before it reach the paper.
    QTest::newRow("disk full at the fourth number")
        << -1 << 0 << 6 << 3
        << "3 mailers had been sent to the printer and logged before the run stopped.\n\nFirst Mailer Number: " +
               numberT(41) + "\nLast Mailer Number: " + numberT(43) + "\n\nThe 2 mailers after it were not printed.";
}

// A label job that fails reaches no paper: no row is left for its labels, their numbers stay
// unused and the next label goes where the job began.
void TestPrintRun::labelJobThatFailsTakesBackItsLabels()
{
    QFETCH(int, step);
    QFETCH(int, n);
    QFETCH(int, count);
    QFETCH(int, kept);
    QFETCH(QString, message);
    PrintFixture f;
    f.w.settings.labelRow = 0;
    f.w.settings.labelCol = 1;
    if (step < 0) {
        sqlite3* db = nullptr;
        QCOMPARE(sqlite3_open(qPrintable(f.w.settings.mailerNumDB + "/MailerNum.adt"), &db), SQLITE_OK);
        QCOMPARE(sqlite3_exec(db,
                              "create trigger Full before update on MailerNum when NEW.SerialNum > '0000044' "
                              "begin select raise(abort, 'database or disk is full'); end",
                              nullptr, nullptr, nullptr),
                 SQLITE_OK);
        sqlite3_close(db);
    }
    LabelJobFailingCanvas canvas(LabelJobFailingCanvas::Step(qMax(step, 0)), step < 0 ? 0 : n);
    const RunOutcome outcome = PrintMailers(canvas, f.w.settings, clients(f.w, count), MailerLayout::Label);
    const QString summary = massPrintSummary(outcome);
    QVERIFY2(summary.endsWith(message), qPrintable(summary));
    QCOMPARE(outcome.printed, kept);
    QStringList printed;
    for (int i = 1; i <= kept; ++i)
        printed << QString("Client %1").arg(i);
    QCOMPARE(loggedRecipients(f.logRows()), printed);
    QCOMPARE(QPoint(f.w.settings.labelRow, f.w.settings.labelCol), kept ? QPoint(1, 1) : QPoint(0, 1));
    if (!kept)
        QVERIFY2(!jobOutline(canvas).contains('E'), qPrintable(jobOutline(canvas)));
    QVERIFY(!dmDovraPro->adstMailerNum.active());

    // Once the cause is gone, the next label takes the next free number at the place after
    // the last one printed.
    if (step >= 0) {
        const int next = f.counterSerial().toInt();
        RecordingCanvas working;
        const RunOutcome again = PrintMailers(working, f.w.settings, clients(f.w, 1), MailerLayout::Label);
        QCOMPARE(again.firstNumber, numberT(next));
        QCOMPARE(QPoint(f.w.settings.labelRow, f.w.settings.labelCol), QPoint(0, 2));
    }
}

void TestPrintRun::runOfManySumsUp_data()
{
    QTest::addColumn<QString>("run");
    QTest::addColumn<QStringList>("logged");
    QTest::addColumn<QString>("summary");
    QTest::newRow("two refused") << "refusals" << QStringList{"Client 1", "Client 3", "Client 5"}
                                 << "3 mailers have been sent to the printer.\n\nFirst Mailer Number: " + numberT(41) +
                                        "\nLast Mailer Number: " + numberT(43) +
                                        "\n\n2 mailers were refused:\nClient 2: the ZIP is missing\nClient 4: no "
                                        "sender is selected";
    QTest::newRow("cancelled after two") << "cancel" << QStringList{"Client 1", "Client 2"}
                                         << "2 mailers have been sent to the printer.\n\nFirst Mailer Number: " +
                                                numberT(41) + "\nLast Mailer Number: " + numberT(42) +
                                                "\n\nThe mass print was cancelled: 3 mailers were not printed.";
    QTest::newRow("one, then cancelled") << "cancel after one" << QStringList{"Client 1"}
                                         << "1 mailer has been sent to the printer.  The Mailer Number was:\n\n" +
                                                numberT(41) +
                                                "\n\nThe mass print was cancelled: 4 mailers were not "
                                                "printed.";
    QTest::newRow("no Customer ID") << "no customer id" << QStringList{}
                                    << NoCustomerIdMessage + "\n\n5 mailers were not printed.";
}

// A run of five forms: refusals of the check take no number and the run goes on; a Cancel
// keeps what was printed; a counter that refuses ends it.
void TestPrintRun::runOfManySumsUp()
{
    QFETCH(QString, run);
    QFETCH(QStringList, logged);
    QFETCH(QString, summary);
    PrintFixture f;
    if (run == "no customer id")
        f.setCounter("000000000", "0000041", true, true);
    QList<int> progress;
    RunHooks hooks;
    hooks.progress = [&](int done, int total) {
        progress << done;
        Q_UNUSED(total);
        return !(run == "cancel" && done == 2) && !(run == "cancel after one" && done == 1);
    };
    if (run == "refusals")
        hooks.precheck = [](const MailerLogEntry& entry, const MailerPrintData& data) {
            if (data.recipientLines[0] != entry.recipient.address[0])
                return QString("the check was not given the mailer's print data");
            if (entry.recipient.address[0] == "Client 2")
                return QString("the ZIP is missing");
            return entry.recipient.address[0] == "Client 4" ? QString("no sender is selected") : QString();
        };
    PdfJobCanvas canvas(f.pdfFolder());
    const RunOutcome outcome = PrintMailers(canvas, f.w.settings, clients(f.w, 5), MailerLayout::Form, hooks);
    QCOMPARE(massPrintSummary(outcome), summary);
    QCOMPARE(loggedRecipients(f.logRows()), logged);
    QCOMPARE(f.pdfFiles().size(), logged.size());
    QCOMPARE(f.counterSerial(), QString("%1").arg(41 + logged.size(), 7, 10, QChar('0')));
    if (!logged.isEmpty())
        QCOMPARE(decodedSymbols(f.pdfFolder() + "/" + f.pdfFiles().last()).first(),
                 "CODE-128:" + numberT(41 + logged.size() - 1));
    // Progress before each mailer tried and once at the end.
    const int tried = run == "refusals" ? 5 : run == "no customer id" ? 1 : logged.size() + 1;
    QList<int> expected;
    for (int i = 0; i < tried; ++i)
        expected << i;
    expected << 5;
    QCOMPARE(progress, expected);
    QVERIFY(!dmDovraPro->adstMailerNum.active());
}

QTEST_MAIN(TestPrintRun)
#include "test_printrun.moc"
