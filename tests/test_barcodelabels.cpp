// Bar code labels, printer alignment, the extra label, printer setup and the label position
// fields: the dialogs on a real counter and main window, the labels on a recording canvas
// and in PDF files read back with zbarimg.
#include "app/TF_Main.h"
#include "canvas/RecordingCanvas.h"
#include "core/MailerNumber.h"
#include "engine/Engine.h"
#include "printing/BarCodeLabels.h"
#include "printing/PrintRun.h"
#include "printing/PrinterSetup.h"
#include "printing/TF_Align.h"
#include "printing/TF_ExtraLabel.h"
#include "printing/TF_PrintBarCode.h"
#include "tests/support/TestSupport.h"
#include "widgets/Services.h"

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QtTest>

namespace {

using testsupport::counterIsFree;
using testsupport::decodedSymbols;

// The main window of a ready program folder, printing PDF files into pdfFolder().
class WindowFixture {
public:
    WindowFixture() : pdfDir_("DOVRA_PDF_DIR", home.path() + "/Printed")
    {
        MessageService::setScripted(true);
        MessageService::clearShown();
        testsupport::prepareReadyProgramFolder(home.path());
        testsupport::writeRow(home.path(), {"123456789", "0000041", true, true});
        window = std::make_unique<TF_Main>();
    }
    ~WindowFixture() { window.reset(); }

    QString pdfFolder() const { return home.path() + "/Printed"; }
    QStringList pdfFiles() const { return QDir(pdfFolder()).entryList({"*.pdf"}, QDir::Files, QDir::Name); }
    QStringList messages() const { return testsupport::shownMessageTexts(); }

    testsupport::TempProgramFolder home;

private:
    testsupport::EnvironmentValue pdfDir_;

public:
    TdmDovraPro dm;
    std::unique_ptr<TF_Main> window;
};

// The texts and images of each print job of a recording.
struct Job {
    QStringList texts;
    int images = 0;
};

QList<Job> jobsOf(const RecordingCanvas& canvas)
{
    QList<Job> jobs;
    for (const CanvasOp& op : canvas.ops()) {
        if (op.kind == CanvasOp::BeginDocument)
            jobs.append(Job());
        else if (op.kind == CanvasOp::DrawText)
            jobs.last().texts << op.text;
        else if (op.kind == CanvasOp::DrawImage)
            ++jobs.last().images;
    }
    return jobs;
}

// Every drawing position of a recording, in order.
QList<QPoint> positionsOf(const RecordingCanvas& canvas)
{
    QList<QPoint> points;
    for (const CanvasOp& op : canvas.ops())
        if (op.kind == CanvasOp::DrawText || op.kind == CanvasOp::DrawImage)
            points << QPoint(op.x, op.y);
    return points;
}

} // namespace

class TestBarCodeLabels : public QObject {
    Q_OBJECT
private slots:
    void nextLabelSerial_data();
    void nextLabelSerial();
    void runPrintsOneJobPerLabel_data();
    void runPrintsOneJobPerLabel();
    void serialThatIsNoNumberPrintsNothing();
    void dialogPrintsLabelsAndLeavesTheCounter();
    void dialogRefusesBadEntries();
    void alignmentMovesEveryLaterPrint();
    void extremeAlignmentStillPrints_data();
    void extremeAlignmentStillPrints();
    void extraLabelDialog_data();
    void extraLabelDialog();
    void labelPositionFields_data();
    void labelPositionFields();
    void printerSetupStoresPrinterAndTray();
};

void TestBarCodeLabels::nextLabelSerial_data()
{
    QTest::addColumn<QString>("serial");
    QTest::addColumn<QString>("next");
    QTest::newRow("first") << "0000001"
                           << "0000002";
    QTest::newRow("carry") << "0001999"
                           << "0002000";
    QTest::newRow("last wraps past nought") << "9999999"
                                            << "0000001";
    QTest::newRow("nought") << "0000000"
                            << "0000001";
}

void TestBarCodeLabels::nextLabelSerial()
{
    QFETCH(QString, serial);
    QFETCH(QString, next);
    QCOMPARE(NextLabelSerial(serial), next);
}

void TestBarCodeLabels::runPrintsOneJobPerLabel_data()
{
    QTest::addColumn<QString>("first");
    QTest::addColumn<int>("count");
    QTest::addColumn<QStringList>("serials");
    QTest::newRow("three labels") << "0000001" << 3 << QStringList{"0000001", "0000002", "0000003"};
    QTest::newRow("wrap skips nought") << "9999999" << 2 << QStringList{"9999999", "0000001"};
}

void TestBarCodeLabels::runPrintsOneJobPerLabel()
{
    QFETCH(QString, first);
    QFETCH(int, count);
    QFETCH(QStringList, serials);
    RecordingCanvas canvas;
    PrintBarCodeLabels(canvas, {"12-345-6789", first, count, 0, 0});
    const QList<Job> jobs = jobsOf(canvas);
    QCOMPARE(jobs.size(), count);
    QCOMPARE(canvas.ops(CanvasOp::EndDocument).size(), count);
    for (int i = 0; i < count; ++i) {
        const QString t = GroupMailerNumber(BuildMailerNumber("123456789", serials[i], "T"));
        const QString f = GroupMailerNumber(BuildMailerNumber("123456789", serials[i], "F"));
        // The number block alone: four bar codes, six texts of T and two of F; no ZIP
        // bar codes, addresses, fees or captions.
        QCOMPARE(jobs[i].images, 4);
        QCOMPARE(jobs[i].texts.size(), 8);
        QCOMPARE(jobs[i].texts.count(t), 6);
        QCOMPARE(jobs[i].texts.count(f), 2);
    }
}

void TestBarCodeLabels::serialThatIsNoNumberPrintsNothing()
{
    RecordingCanvas canvas;
    QVERIFY_THROWS_EXCEPTION(engine::ConversionError, PrintBarCodeLabels(canvas, {"123456789", "12 4", 2, 0, 0}));
    QVERIFY(canvas.ops().isEmpty());
}

void TestBarCodeLabels::dialogPrintsLabelsAndLeavesTheCounter()
{
    WindowFixture f;
    bool lockedWhileOpen = false;
    QString shownId, shownSerial;
    testsupport::ModalDriver driver;
    driver.on("TF_PrintBarCode", [&](QWidget* w) {
        auto d = static_cast<TF_PrintBarCode*>(w);
        lockedWhileOpen = !counterIsFree(f.home.path());
        shownId = d->editCustID->text();
        shownSerial = d->editSerialNum->text();
        d->editSerialNum->setText("0000007");
        d->editNumLabels->setText("3");
        d->btnOK->click();
    });
    f.window->miPrintBarCodes->trigger();
    QCOMPARE(driver.seen, QStringList{"TF_PrintBarCode"});
    QVERIFY(lockedWhileOpen);
    QCOMPARE(shownId, QString("12-345-6789"));
    QCOMPARE(shownSerial, QString("0000041"));
    QCOMPARE(f.messages(), QStringList{BarCodesCompleteMessage});
    const QStringList files = f.pdfFiles();
    QCOMPARE(files.size(), 3);
    for (int i = 0; i < 3; ++i) {
        const QString serial = QString("000000%1").arg(7 + i);
        const QStringList expected{"CODE-128:" + BuildMailerNumber("123456789", serial, "T"),
                                   "CODE-128:" + BuildMailerNumber("123456789", serial, "F")};
        QCOMPARE(decodedSymbols(f.pdfFolder() + "/" + files[i]), expected);
    }
    QCOMPARE(testsupport::readRow(f.home.path()).serialNum, QString("0000041"));
    QVERIFY(counterIsFree(f.home.path()));

    // Cancel prints nothing and releases the counter as well.
    MessageService::clearShown();
    testsupport::ModalDriver cancel;
    cancel.on("TF_PrintBarCode", [](QWidget* w) { static_cast<TF_PrintBarCode*>(w)->btnCancel->click(); });
    f.window->miPrintBarCodes->trigger();
    QCOMPARE(f.pdfFiles().size(), 3);
    QVERIFY(f.messages().isEmpty());
    QVERIFY(counterIsFree(f.home.path()));
}

void TestBarCodeLabels::dialogRefusesBadEntries()
{
    testsupport::ProgramFixture program;
    MessageService::setScripted(true);
    testsupport::prepareReadyProgramFolder(program.home.path(), "000000000");
    TF_PrintBarCode d(program.settings);
    const auto lastMessage = [] {
        return MessageService::shown().isEmpty() ? QString() : MessageService::shown().last().text;
    };

    MessageService::clearShown();
    d.editCustIDExit();
    QCOMPARE(lastMessage(), ZeroCustomerIdLabelsMessage);
    QVERIFY(!d.btnOK->isEnabled());
    d.editCustID->setText("98-765-4321");
    d.editCustIDExit();
    QVERIFY(d.btnOK->isEnabled());

    // Only digits reach the count; blank and nought are refused and become 1.
    d.editNumLabels->clear();
    QTest::keyClicks(d.editNumLabels, "1x2-");
    QCOMPARE(d.editNumLabels->text(), QString("12"));
    for (const QString& bad : {QString(), QString("0")}) {
        MessageService::clearShown();
        d.editNumLabels->setText(bad);
        d.editNumLabelsExit();
        QCOMPARE(lastMessage(), QString("Please enter a valid number for \"Number of Labels\"."));
        QCOMPARE(d.editNumLabels->text(), QString("1"));
        QVERIFY(!d.btnOK->isEnabled());
    }
    QCOMPARE(d.editNumLabels->maxLength(), 4);

    // A serial typed in part would number the labels with zeros: OK refuses it.
    d.editSerialNum->setText("12");
    MessageService::clearShown();
    d.btnOKClick();
    QCOMPARE(d.result(), int(QDialog::Rejected));
    QCOMPARE(lastMessage(), QString("Please enter all seven digits of the Identifier Serial Number."));
    d.editSerialNum->setText("0000012");
    d.btnOKClick();
    QCOMPARE(d.result(), int(QDialog::Accepted));
    const BarCodeLabelRun run = d.run();
    QCOMPARE(run.customerId, QString("987654321"));
    QCOMPARE(run.serial, QString("0000012"));
    QCOMPARE(run.count, 1);
}

void TestBarCodeLabels::alignmentMovesEveryLaterPrint()
{
    testsupport::ProgramFixture program;
    Settings& settings = program.settings;
    const auto drawForm = [&settings] {
        MailerPrintData data = testsupport::sampleMailerPrintData();
        applyPrintSettings(data, settings);
        RecordingCanvas canvas;
        PrintMailerForm(canvas, mailerValues(data), MailerLayout::Form);
        return positionsOf(canvas);
    };
    const QList<QPoint> before = drawForm();

    TF_Align shown(settings);
    QCOMPARE(shown.spinLeftRight->minimum(), -999);
    QCOMPARE(shown.spinLeftRight->maximum(), 999);
    testsupport::ModalDriver driver;
    driver.on("TF_Align", [](QWidget* w) {
        auto d = static_cast<TF_Align*>(w);
        d->spinLeftRight->setValue(5);
        d->SpinUpDown->setValue(-2);
        d->btnOK->click();
    });
    QVERIFY(TF_Align::edit(settings));
    QCOMPARE(settings.leftRight, 5);
    QCOMPARE(settings.topBottom, -2);

    const QList<QPoint> after = drawForm();
    QCOMPARE(after.size(), before.size());
    for (int i = 0; i < before.size(); ++i)
        QCOMPARE(after[i] - before[i], QPoint(15, -6));

    // Cancel changes nothing.
    testsupport::ModalDriver cancel;
    cancel.on("TF_Align", [](QWidget* w) {
        auto d = static_cast<TF_Align*>(w);
        d->spinLeftRight->setValue(100);
        d->btnCancel->click();
    });
    QVERIFY(!TF_Align::edit(settings));
    QCOMPARE(settings.leftRight, 5);
}

void TestBarCodeLabels::extremeAlignmentStillPrints_data()
{
    QTest::addColumn<int>("offset");
    QTest::newRow("999") << 999;
    QTest::newRow("-999") << -999;
}

// Everything lands off the sheet; the job is still a sound one-page PDF file.
void TestBarCodeLabels::extremeAlignmentStillPrints()
{
    QFETCH(int, offset);
    WindowFixture f;
    f.window->settings.leftRight = offset;
    f.window->settings.topBottom = offset;
    testsupport::ModalDriver driver;
    driver.on("TF_PrintBarCode", [](QWidget* w) { static_cast<TF_PrintBarCode*>(w)->btnOK->click(); });
    f.window->miPrintBarCodes->trigger();
    QCOMPARE(f.messages(), QStringList{BarCodesCompleteMessage});
    QCOMPARE(f.pdfFiles().size(), 1);
    const QImage page = testsupport::rasterisePdf(f.pdfFolder() + "/" + f.pdfFiles().first(), 20);
    QVERIFY(!page.isNull());
}

void TestBarCodeLabels::extraLabelDialog_data()
{
    QTest::addColumn<QString>("storedChoice");
    QTest::addColumn<bool>("shownYes");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("storedAddress");
    QTest::newRow("yes, typed text") << "Yes" << true << "Sender"
                                     << "Addressed To";
    QTest::newRow("no, sender") << "No" << false << "Your Name and Address"
                                << "Your Name and Address";
    QTest::newRow("neither opens with No") << "Maybe" << false << "Addressed To"
                                           << "Addressed To";
}

void TestBarCodeLabels::extraLabelDialog()
{
    QFETCH(QString, storedChoice);
    QFETCH(bool, shownYes);
    QFETCH(QString, typed);
    QFETCH(QString, storedAddress);
    testsupport::ProgramFixture program;
    program.settings.printExtraLabel = storedChoice;
    bool yesShown = false, comboEnabled = false, comboAfterNo = true;
    testsupport::ModalDriver driver;
    driver.on("TF_ExtraLabel", [&](QWidget* w) {
        auto d = static_cast<TF_ExtraLabel*>(w);
        yesShown = d->rbYes->isChecked();
        QVERIFY(d->rbYes->isChecked() || d->rbNo->isChecked());
        comboEnabled = d->cbExtraLabel->isEnabled();
        d->rbNo->click();
        comboAfterNo = d->cbExtraLabel->isEnabled();
        (shownYes ? d->rbYes : d->rbNo)->click();
        d->cbExtraLabel->setCurrentText(typed);
        d->btnOK->click();
    });
    QVERIFY(TF_ExtraLabel::edit(program.settings));
    QCOMPARE(yesShown, shownYes);
    QVERIFY(comboEnabled);
    QVERIFY(!comboAfterNo);
    QCOMPARE(program.settings.printExtraLabel, QString(shownYes ? "Yes" : "No"));
    QCOMPARE(program.settings.extraLabel, storedAddress);
}

void TestBarCodeLabels::labelPositionFields_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<int>("index");
    QTest::addColumn<bool>("error");
    QTest::newRow("2 sets index 1") << "2"
                                    << "2" << 1 << false;
    QTest::newRow("4 is put back") << "4"
                                   << "3" << 2 << false;
    QTest::newRow("0 is put back") << "0"
                                   << "3" << 2 << false;
    QTest::newRow("empty becomes 1") << ""
                                     << "1" << 0 << false;
    QTest::newRow("letter refused") << "x"
                                    << "3" << 2 << true;
}

void TestBarCodeLabels::labelPositionFields()
{
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    QFETCH(int, index);
    QFETCH(bool, error);
    WindowFixture f;
    TF_Main& w = *f.window;
    w.EDPosRow->setText("3");
    w.EDPosCol->setText("3");
    QCOMPARE(w.settings.labelRow, 2);
    MessageService::clearShown();
    for (QLineEdit* field : {w.EDPosRow, w.EDPosCol})
        field->setText(typed);
    QCOMPARE(w.EDPosRow->text(), shown);
    QCOMPARE(w.EDPosCol->text(), shown);
    QCOMPARE(w.settings.labelRow, index);
    QCOMPARE(w.settings.labelCol, index);
    QCOMPARE(MessageService::shown().size(), error ? 2 : 0);
    if (error)
        QCOMPARE(MessageService::shown().first().text, QString("'x' is not a valid integer value"));
}

void TestBarCodeLabels::printerSetupStoresPrinterAndTray()
{
    WindowFixture f;
    TF_Main& w = *f.window;
    PrintDialogService::setScripted(true);
    const QString longName = "Front Office Laser Printer on the Second Floor";
    PrintDialogService::queueAnswer(PrinterChoice{longName, 2});
    w.miPrinterSetup->trigger();
    QCOMPARE(w.settings.printer, longName.left(32));
    QCOMPARE(w.settings.pTray, 2);
    // Cancelled, or a printer whose settings cannot be read: nothing changes.
    PrintDialogService::queueAnswer(std::nullopt);
    w.miPrinterSetup->trigger();
    QCOMPARE(w.settings.printer, longName.left(32));
    QCOMPARE(w.settings.pTray, 2);
    QCOMPARE(PrintDialogService::requests(), (QStringList{QString(), longName.left(32)}));
    PrintDialogService::setScripted(false);
}

QTEST_MAIN(TestBarCodeLabels)
#include "test_barcodelabels.moc"
