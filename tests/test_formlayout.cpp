// Where the form and label layouts put each text, number and bar code, read from the
// recording canvas in printer dots.
#include "canvas/PdfCanvas.h"
#include "canvas/RecordingCanvas.h"
#include "printing/MailerForm.h"
#include "tests/support/TestSupport.h"

#include <QtTest>
#include <cmath>
#include <limits>

namespace {

// Customer ID 123456789, serial 0000001: the worked example of the number format.
const QString kNumberT = "9214712345678900000015";
const QString kGroupedT = "9214 7123 4567 8900 0000 15";
const QString kGroupedF = "9290 9123 4567 8900 0000 19";

using testsupport::sampleMailerPrintData;

// A 600-dot printer whose printable area starts a quarter inch from both edges.
RecordingCanvas quarterInchPrinter()
{
    return RecordingCanvas({600, 600}, QPoint(150, 150));
}

int dots(double inches)
{
    return static_cast<int>(std::trunc((inches - 0.25) * 600));
}

QList<CanvasOp> drawnTexts(const RecordingCanvas& canvas)
{
    return canvas.ops(CanvasOp::DrawText);
}

bool hasText(const RecordingCanvas& canvas, const QString& text)
{
    for (const CanvasOp& op : canvas.ops(CanvasOp::DrawText))
        if (op.text == text)
            return true;
    return false;
}

struct ExpectedText {
    QString face;
    int points;
    int angle;
    double x;
    double y;
    QString text;
};

// A recording canvas that also keeps the cell of every text and the rectangle of every image
// on the sheet, with the text measured either fixed-pitch or as the PDF print jobs set it.
class InkBoxCanvas : public RecordingCanvas {
public:
    explicit InkBoxCanvas(bool pdfMetrics) : pdfMetrics_(pdfMetrics) {}

    QList<QRect> boxes;
    QStringList drawn; // the operation of each box

    void SetFont(const QString& face, int points, int angle) override
    {
        RecordingCanvas::SetFont(face, points, angle);
        pdf_.SetFont(face, points, angle);
    }
    int TextWidth(const QString& text) const override
    {
        return pdfMetrics_ ? pdf_.TextWidth(text) : RecordingCanvas::TextWidth(text);
    }
    int TextHeight(const QString& text) const override
    {
        return pdfMetrics_ ? pdf_.TextHeight(text) : RecordingCanvas::TextHeight(text);
    }
    void DrawText(int x, int y, const QString& text) override
    {
        RecordingCanvas::DrawText(x, y, text);
        drawn.append(ops().last().toString());
        const int w = TextWidth(text);
        const int h = TextHeight(text);
        switch (ops().last().angle) {
        case 1800:
            boxes.append(QRect(x - w, y - h, w, h));
            break;
        case 2700:
            boxes.append(QRect(x - h, y, h, w));
            break;
        default:
            boxes.append(QRect(x, y, w, h));
        }
    }
    void DrawImage(int x, int y, int width, int height, const QImage& image) override
    {
        RecordingCanvas::DrawImage(x, y, width, height, image);
        drawn.append(ops().last().toString());
        boxes.append(QRect(x, y, width, height));
    }

    // The pairs of boxes that share dots, by their order of drawing.
    QSet<QPair<int, int>> overlaps() const
    {
        QSet<QPair<int, int>> found;
        for (int i = 0; i < boxes.size(); ++i)
            for (int j = i + 1; j < boxes.size(); ++j)
                if (!boxes[i].isEmpty() && !boxes[j].isEmpty() && boxes[i].intersects(boxes[j]))
                    found.insert({i, j});
        return found;
    }

private:
    bool pdfMetrics_;
    PdfJobCanvas pdf_{QDir::tempPath()}; // measures only: it never begins a job
};

} // namespace

class TestFormLayout : public QObject {
    Q_OBJECT

private slots:
    void mailerNumbersOfTheValues_data();
    void mailerNumbersOfTheValues();
    void formDrawsEveryTextInOrder();
    void formFramesOneJobAndEndsOnBaseFont();
    void alignmentShiftsTheSheet_data();
    void alignmentShiftsTheSheet();
    void barcodeImagesFollowResolution_data();
    void barcodeImagesFollowResolution();
    void zipBarcodePlace_data();
    void zipBarcodePlace();
    void extraLabelAddress_data();
    void extraLabelAddress();
    void departmentAndProcessedByLines_data();
    void departmentAndProcessedByLines();
    void amountsEndAtPointThreeInch();
    void longRecipientLine();
    void longLinesStayInTheirPlaces_data();
    void longLinesStayInTheirPlaces();
    void barCodesOffDrawsNoNumber();
    void labelDrawsNumberAndTwoLines();
    void labelSheetEndsAfterNinthLabel_data();
    void labelSheetEndsAfterNinthLabel();
    void labelPositionAdvancesColumnByColumn();
};

void TestFormLayout::mailerNumbersOfTheValues_data()
{
    QTest::addColumn<bool>("barCodes");
    QTest::addColumn<QString>("numberT");
    QTest::addColumn<QString>("groupedT");
    QTest::addColumn<QString>("groupedF");
    QTest::newRow("bar codes on: T and F from the Customer ID and serial")
        << true << kNumberT << kGroupedT << kGroupedF;
    // The run still names the number in its messages, grouped.
    QTest::newRow("bar codes off: the number given, no F") << false << "9214700000000000000003"
                                                           << "9214 7000 0000 0000 0000 03" << QString();
}

// The numbers a mailer prints and the run logs and tells, made before the layout.
void TestFormLayout::mailerNumbersOfTheValues()
{
    QFETCH(bool, barCodes);
    QFETCH(QString, numberT);
    QFETCH(QString, groupedT);
    QFETCH(QString, groupedF);
    MailerPrintData data = sampleMailerPrintData();
    data.barCodes = barCodes;
    if (!barCodes)
        data.number = numberT;
    const MailerValues values = mailerValues(data);
    QCOMPARE(values.numberBlock, barCodes);
    QCOMPARE(values.numberT, numberT);
    QCOMPARE(values.groupedT, groupedT);
    QCOMPARE(values.numberF, QString(groupedF).remove(' '));
    QCOMPARE(values.groupedF, groupedF);
}

void TestFormLayout::formDrawsEveryTextInOrder()
{
    RecordingCanvas canvas = quarterInchPrinter();
    const MailerValues values = mailerValues(sampleMailerPrintData());
    PrintMailerForm(canvas, values, MailerLayout::Form);
    QCOMPARE(values.numberT, kNumberT);

    const QString ocr = "OCR A Extended";
    const QStringList senderUpper{"ACME SUPPLY", "12 MILL RD", "", "", "SPRINGFIELD, IL 62701-1234"};
    const QStringList recipientUpper{"JANE ROE", "ROE & SONS", "4 ELM ST", "APT 2", "DOVER, DE 19901"};
    const QStringList recipient{"Jane Roe", "Roe & Sons", "4 Elm St", "Apt 2", "Dover, DE 19901"};
    QList<ExpectedText> expected{
        {ocr, 11, 1800, 3.08, 4.02, kGroupedT}, {ocr, 11, 1800, 7.2, 4.92, kGroupedF},
        {ocr, 11, 1800, 4.9, 1.98, kGroupedT},  {ocr, 11, 1800, 4.9, 0.35, kGroupedF},
        {ocr, 10, 1800, 4.55, 2.8, kGroupedT},  {ocr, 10, 2700, 7.91, 3.8, kGroupedT},
        {ocr, 8, 2700, 8.1, 1.56, kGroupedT},   {"Arial", 6, 1800, 1.47, 3.17, kGroupedT},
    };
    const auto lines = [&](const QString& face, int points, int angle, double x, QList<double> ys,
                           const QStringList& texts) {
        for (int i = 0; i < 5; ++i)
            expected.append({face, points, angle, x, ys[i], texts[i]});
    };
    lines(ocr, 10, 1800, 7.1, {4.5, 4.35, 4.2, 4.05, 3.9}, senderUpper);
    lines(ocr, 10, 1800, 7.55, {3.45, 3.3, 3.15, 3.0, 2.85}, senderUpper);
    lines(ocr, 10, 1800, 7.1, {6.7, 6.55, 6.4, 6.25, 6.1}, recipientUpper);
    lines(ocr, 10, 1800, 4.9, {1.45, 1.3, 1.15, 1.0, 0.85}, recipientUpper);
    lines(ocr, 10, 1800, 2.8, {6.6, 6.45, 6.3, 6.15, 6.0}, recipientUpper);
    expected.append({ocr, 10, 1800, 7.1, 4.72, "RE: Lease 7"});
    const QList<double> senderXs{4.3, 4.15, 4.0, 3.85, 3.7};
    for (int i = 0; i < 5; ++i)
        expected.append({ocr, 10, 2700, senderXs[i], 3.8, senderUpper[i]});
    expected.append({ocr, 10, 2700, 8.21, 3.8, "RE: Lease 7"});
    expected.append({ocr, 10, 2700, 8.06, 3.8, "Second notice"});
    expected.append({"Arial", 6, 1800, 1.45, 2.88, "Acme Supply"});
    expected.append({"Arial", 6, 1800, 1.45, 2.78, "RE: Lease 7"});
    expected.append({"Arial", 6, 1800, 1.45, 2.68, "Second notice"});
    expected.append({"Arial", 6, 1800, 1.45, 2.58, "DP: Legal"});
    expected.append({"Arial", 6, 1800, 1.45, 2.48, "PB: kb"});
    lines("Arial", 6, 1800, 1.45, {2.13, 2.03, 1.93, 1.83, 1.73}, recipient);
    // Amounts are placed by their right end in the recording canvas's fixed-pitch metrics
    // (checked on their own below); here only their y and order.
    const QStringList amounts{"0.39", "2.40", "1.85", "3.50"};
    const QList<double> feeYs{1.43, 1.33, 1.23, 1.13};
    for (int i = 0; i < 4; ++i)
        expected.append({"Arial", 6, 1800, -1, feeYs[i], amounts[i]});
    const QStringList captions{"Postage", "Certified Fee", "Return Receipt", "Restricted"};
    for (int i = 0; i < 4; ++i)
        expected.append({"Arial", 6, 1800, 1.45, feeYs[i], captions[i]});
    expected.append({"Arial", 8, 1800, 1.3, 3.3, "RECEIPT"});
    expected.append({"Arial", 8, 1800, 1.4, 3.02, "FROM:"});
    expected.append({"Arial", 8, 1800, 1.4, 2.28, "SEND TO:"});
    expected.append({"Arial", 8, 1800, 1.4, 1.58, "FEES:"});
    expected.append({"Arial", 8, 1800, 1.4, 0.98, "TOTAL"});
    expected.append({"Arial", 8, 1800, 1.4, 0.78, "POSTMARK OR DATE"});
    expected.append({"Arial", 8, 1800, -1, 0.98, "$ 8.14"});

    const QList<CanvasOp> texts = drawnTexts(canvas);
    QCOMPARE(texts.size(), expected.size());
    for (int i = 0; i < expected.size(); ++i) {
        const ExpectedText& e = expected[i];
        const CanvasOp& op = texts[i];
        const QString where = QStringLiteral("#%1 %2").arg(i).arg(op.toString());
        QVERIFY2(op.text == e.text && op.face == e.face && op.points == e.points && op.angle == e.angle,
                 qPrintable(where));
        QVERIFY2(op.y == dots(e.y), qPrintable(where));
        if (e.x >= 0)
            QVERIFY2(op.x == dots(e.x), qPrintable(where));
    }
}

void TestFormLayout::formFramesOneJobAndEndsOnBaseFont()
{
    RecordingCanvas canvas = quarterInchPrinter();
    PrintMailerForm(canvas, mailerValues(sampleMailerPrintData()), MailerLayout::Form);
    const QList<CanvasOp>& ops = canvas.ops();
    QCOMPARE(ops.first().kind, CanvasOp::BeginDocument);
    QCOMPARE(ops.last().kind, CanvasOp::EndDocument);
    QCOMPARE(canvas.ops(CanvasOp::BeginDocument).size(), 1);
    QCOMPARE(canvas.ops(CanvasOp::NewPage).size(), 0);
    // The base font is selected first and last.
    const QList<CanvasOp> fonts = canvas.ops(CanvasOp::SetFont);
    for (const CanvasOp& font : {fonts.first(), fonts.last()})
        QCOMPARE(font.toString(), QString("SetFont Arial/8/0"));
    QCOMPARE(ops[ops.size() - 2].kind, CanvasOp::SetFont);
}

void TestFormLayout::alignmentShiftsTheSheet_data()
{
    QTest::addColumn<int>("leftRight");
    QTest::addColumn<int>("topBottom");
    QTest::addColumn<int>("zipX");
    QTest::addColumn<int>("receiptLine4Y");
    QTest::newRow("no offsets") << 0 << 0 << 2550 << 450;
    QTest::newRow("right 5, up 2") << 5 << -2 << 2565 << 444;
    // Offsets beyond the dialog's range, as a settings file edited by hand may hold them, move
    // the sheet as far as the dialog's limits do.
    QTest::newRow("at the limits") << 999 << -999 << 2550 + 2997 << 450 - 2997;
    QTest::newRow("int extremes") << std::numeric_limits<int>::max() << std::numeric_limits<int>::min() << 2550 + 2997
                                  << 450 - 2997;
}

void TestFormLayout::alignmentShiftsTheSheet()
{
    QFETCH(int, leftRight);
    QFETCH(int, topBottom);
    QFETCH(int, zipX);
    QFETCH(int, receiptLine4Y);
    MailerPrintData data = sampleMailerPrintData();
    data.leftRight = leftRight;
    data.topBottom = topBottom;
    RecordingCanvas canvas = quarterInchPrinter();
    PrintMailerForm(canvas, mailerValues(data), MailerLayout::Form);

    // Images: four Mailer Numbers, then the sender's ZIP+4.
    const CanvasOp senderZip = canvas.ops(CanvasOp::DrawImage).at(4);
    QCOMPARE(senderZip.x, zipX);
    QCOMPARE(senderZip.y, receiptLine4Y - dots(1.0) + dots(3.55));

    bool found = false;
    for (const CanvasOp& op : drawnTexts(canvas))
        if (op.text == "APT 2" && op.x == zipX - dots(4.5) + dots(4.9))
            found = op.y == receiptLine4Y;
    QVERIFY(found);
}

void TestFormLayout::barcodeImagesFollowResolution_data()
{
    QTest::addColumn<int>("dpi");
    QTest::addColumn<int>("module");
    QTest::addColumn<int>("fullHeight");
    QTest::addColumn<int>("smallHeight");
    QTest::addColumn<int>("stretched");
    QTest::addColumn<int>("postnetModule");
    QTest::addColumn<int>("postnetHeight");
    // round(r × 15/1000) and round(r × 23/1000): 13.8 is 14; 4.5 goes to the even 4.
    QTest::newRow("600 dpi") << 600 << 9 << 450 << 240 << 1500 << 14 << 84;
    QTest::newRow("300 dpi") << 300 << 4 << 225 << 120 << 750 << 7 << 42;
}

void TestFormLayout::barcodeImagesFollowResolution()
{
    QFETCH(int, dpi);
    QFETCH(int, module);
    QFETCH(int, fullHeight);
    QFETCH(int, smallHeight);
    QFETCH(int, stretched);
    QFETCH(int, postnetModule);
    QFETCH(int, postnetHeight);
    RecordingCanvas canvas({dpi, dpi}, QPoint(dpi / 4, dpi / 4));
    PrintMailerForm(canvas, mailerValues(sampleMailerPrintData()), MailerLayout::Form);

    const QList<CanvasOp> images = canvas.ops(CanvasOp::DrawImage);
    QCOMPARE(images.size(), 6);
    const QList<int> heights{fullHeight, fullHeight, smallHeight, smallHeight};
    for (int i = 0; i < 4; ++i) {
        // A 22-digit number is 176 modules with its quiet zones.
        QCOMPARE(images[i].image.width(), 176 * module);
        QCOMPARE(images[i].image.height(), heights[i]);
        QCOMPARE(images[i].width, stretched);
        QCOMPARE(images[i].height, heights[i]);
    }
    // POSTNET at its own size: nine digits are 123 modules, five digits 83.
    const QList<int> postnetModules{123, 83};
    for (int i = 4; i < 6; ++i) {
        QCOMPARE(images[i].image.width(), postnetModules[i - 4] * postnetModule);
        QCOMPARE(images[i].image.height(), postnetHeight);
        QCOMPARE(images[i].width, images[i].image.width());
        QCOMPARE(images[i].height, postnetHeight);
    }
    // The T copies are turned by 180 degrees, the F copies not: the T image is the F image's
    // turned twin in the bars that do not depend on the prefix, the stop pattern first.
    const QImage t = images[0].image;
    const QImage f = images[1].image;
    const int quiet = 10 * module;
    QCOMPARE(f.pixelIndex(quiet, 0), 1);                 // start character's first bar
    QCOMPARE(t.pixelIndex(t.width() - quiet - 1, 0), 1); // the same bar, turned to the right
    QCOMPARE(t.pixelIndex(quiet + 2 * module, 0), 0);    // turned stop pattern "11 0 1..."
    QCOMPARE(t.pixelIndex(quiet + 3 * module, 0), 1);
}

void TestFormLayout::zipBarcodePlace_data()
{
    QTest::addColumn<QString>("senderZip");
    QTest::addColumn<QString>("recipientZip");
    QTest::addColumn<int>("senderX");
    QTest::addColumn<int>("recipientX");
    // The sender's place goes by the length of the text, the recipient's by the digits kept.
    QTest::newRow("five digits") << "12345"
                                 << "12345" << dots(5.3) << dots(1.08);
    QTest::newRow("ZIP+4") << "12345-6789"
                           << "12345-6789" << dots(4.5) << dots(0.15);
    QTest::newRow("blank +4") << "12345-    "
                              << "12345-    " << dots(4.5) << dots(1.08);
    QTest::newRow("empty") << ""
                           << "" << dots(5.3) << dots(1.08);
}

void TestFormLayout::zipBarcodePlace()
{
    QFETCH(QString, senderZip);
    QFETCH(QString, recipientZip);
    QFETCH(int, senderX);
    QFETCH(int, recipientX);
    MailerPrintData data = sampleMailerPrintData();
    data.senderZip = senderZip;
    data.recipientZip = recipientZip;
    RecordingCanvas canvas = quarterInchPrinter();
    PrintMailerForm(canvas, mailerValues(data), MailerLayout::Form);
    const QList<CanvasOp> images = canvas.ops(CanvasOp::DrawImage);
    QCOMPARE(images.size(), 6);
    QCOMPARE(images[4].x, senderX);
    QCOMPARE(images[4].y, dots(3.55));
    QCOMPARE(images[5].x, recipientX);
    QCOMPARE(images[5].y, dots(5.63));
    if (senderZip.isEmpty()) // an empty ZIP code is a white image 20 modules wide
        QCOMPARE(images[4].image.width(), 20 * 14);
}

void TestFormLayout::extraLabelAddress_data()
{
    QTest::addColumn<QString>("extraLabel");
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("firstLine");
    QTest::addColumn<bool>("recipientZip");
    QTest::newRow("recipient") << "Yes"
                               << "Addressed To"
                               << "JANE ROE" << true;
    QTest::newRow("sender") << "Yes"
                            << "Your Name and Address"
                            << "ACME SUPPLY" << false;
    QTest::newRow("none") << "No"
                          << "Addressed To" << QString() << false;
}

void TestFormLayout::extraLabelAddress()
{
    QFETCH(QString, extraLabel);
    QFETCH(QString, address);
    QFETCH(QString, firstLine);
    QFETCH(bool, recipientZip);
    MailerPrintData data = sampleMailerPrintData();
    data.extraLabel = extraLabel;
    data.extraLabelAddress = address;
    RecordingCanvas canvas = quarterInchPrinter();
    PrintMailerForm(canvas, mailerValues(data), MailerLayout::Form);

    QStringList atExtraLabel;
    for (const CanvasOp& op : drawnTexts(canvas))
        if (op.x == dots(2.8))
            atExtraLabel.append(op.text);
    QCOMPARE(atExtraLabel.size(), firstLine.isEmpty() ? 0 : 5);
    if (!firstLine.isEmpty())
        QCOMPARE(atExtraLabel.first(), firstLine);
    QCOMPARE(canvas.ops(CanvasOp::DrawImage).size(), recipientZip ? 6 : 5);
}

void TestFormLayout::departmentAndProcessedByLines_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("department");
    QTest::addColumn<QString>("processedBy");
    QTest::newRow("-1 leaves the line out") << "-1" << QString() << QString();
    QTest::newRow("empty prints the prefix alone") << ""
                                                   << "DP: "
                                                   << "PB: ";
    QTest::newRow("text") << "Claims"
                          << "DP: Claims"
                          << "PB: Claims";
}

void TestFormLayout::departmentAndProcessedByLines()
{
    QFETCH(QString, value);
    QFETCH(QString, department);
    QFETCH(QString, processedBy);
    MailerPrintData data = sampleMailerPrintData();
    data.department = value;
    data.processedBy = value;
    RecordingCanvas canvas = quarterInchPrinter();
    PrintMailerForm(canvas, mailerValues(data), MailerLayout::Form);
    QString atDepartment, atProcessedBy;
    for (const CanvasOp& op : drawnTexts(canvas)) {
        if (op.x == dots(1.45) && op.y == dots(2.58))
            atDepartment = op.text;
        if (op.x == dots(1.45) && op.y == dots(2.48))
            atProcessedBy = op.text;
    }
    QCOMPARE(atDepartment, department);
    QCOMPARE(atProcessedBy, processedBy);
}

void TestFormLayout::amountsEndAtPointThreeInch()
{
    MailerPrintData data = sampleMailerPrintData();
    data.certifiedFee = "";
    data.total = " 12.50";
    RecordingCanvas canvas = quarterInchPrinter();
    PrintMailerForm(canvas, mailerValues(data), MailerLayout::Form);

    // Fixed pitch: Arial 6 pt at 600 dpi is 50 dots high, 25 a character; 8 pt 67 and 33.
    QMap<int, CanvasOp> amountsByY;
    for (const CanvasOp& op : drawnTexts(canvas))
        if (op.x < dots(1.0))
            amountsByY.insert(op.y, op);
    const int from = dots(0.3);
    QCOMPARE(amountsByY.value(dots(1.43)).text, QString("0.39"));
    QCOMPARE(amountsByY.value(dots(1.43)).x, from + 4 * 25);
    QCOMPARE(amountsByY.value(dots(1.33)).text, QString()); // empty fee: empty amount ...
    QCOMPARE(amountsByY.value(dots(1.33)).x, from);
    QVERIFY(hasText(canvas, "Certified Fee")); // ... and its caption
    QCOMPARE(amountsByY.value(dots(0.98)).text, QString("$ 12.50"));
    QCOMPARE(amountsByY.value(dots(0.98)).x, from + 7 * 33);
    QCOMPARE(amountsByY.value(dots(0.98)).points, 8);
}

void TestFormLayout::longRecipientLine()
{
    const QString line = QString("Northwestern Regional Medical Center Annex B").leftJustified(45, 'X');
    MailerPrintData data = sampleMailerPrintData();
    data.recipientLines[0] = line;
    data.recipientLines[1] = line.toLower();

    RecordingCanvas form = quarterInchPrinter();
    PrintMailerForm(form, mailerValues(data), MailerLayout::Form);
    QVERIFY(hasText(form, line.toUpper()));
    QVERIFY(hasText(form, line));

    RecordingCanvas label = quarterInchPrinter();
    PrintMailerForm(label, mailerValues(data), MailerLayout::Label, {1, 1});
    const QList<CanvasOp> texts = drawnTexts(label);
    QCOMPARE(texts.size(), 4);
    QCOMPARE(texts[2].text, line.left(40)); // labels cut to 40 characters, keeping the case
    QCOMPARE(texts[3].text, line.toLower().left(40));
}

void TestFormLayout::longLinesStayInTheirPlaces_data()
{
    QTest::addColumn<bool>("pdfMetrics");
    QTest::addColumn<bool>("form");
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("col");
    QTest::newRow("form, fixed pitch") << false << true << 0 << 0;
    QTest::newRow("form, PDF faces") << true << true << 0 << 0;
    QTest::newRow("first label, fixed pitch") << false << false << 0 << 0;
    QTest::newRow("first label, PDF faces") << true << false << 0 << 0;
    QTest::newRow("last label, PDF faces") << true << false << 2 << 2;
}

void TestFormLayout::longLinesStayInTheirPlaces()
{
    QFETCH(bool, pdfMetrics);
    QFETCH(bool, form);
    QFETCH(int, row);
    QFETCH(int, col);
    const MailerLayout layout = form ? MailerLayout::Form : MailerLayout::Label;
    InkBoxCanvas shortLines(pdfMetrics);
    PrintMailerForm(shortLines, mailerValues(sampleMailerPrintData()), layout, {row, col});

    // A law firm writes in capitals, to the field's full width of 50 characters.
    MailerPrintData data = sampleMailerPrintData();
    const QString firm = "BARTHOLOMEW, WINTERBOURNE, MCALISTER & KWIATKOWSKI";
    QCOMPARE(firm.size(), 50);
    data.recipientLines = {
        firm, "ATTN: MANAGING PARTNER, LITIGATION DEPARTMENT W-12", "ONE THOUSAND WESTMINSTER BOULEVARD, SUITE 4400 NW",
        "BUILDING C, FLOOR 17, MAIL STOP 17-204-WEST-WING", "SOUTH WILLIAMSPORT HEIGHTS, MA 01234-5678901234"};
    data.recipientZip = "01234-5678901234";
    data.senderLines = data.recipientLines;
    data.senderZip = data.recipientZip;
    data.re = firm.left(25);
    data.comment = firm;
    data.department = firm;
    data.processedBy = firm;
    InkBoxCanvas longLines(pdfMetrics);
    PrintMailerForm(longLines, mailerValues(data), layout, {row, col});

    // The same pieces in the same order; none runs into a piece it keeps clear of with
    // short lines, or off the sheet.
    QCOMPARE(longLines.boxes.size(), shortLines.boxes.size());
    const QSet<QPair<int, int>> allowed = shortLines.overlaps();
    for (const auto& [i, j] : longLines.overlaps())
        QVERIFY2(allowed.contains({i, j}), qPrintable(longLines.drawn[i] + "\nruns into\n" + longLines.drawn[j]));
    const QRect sheet(QPoint(0, 0), longLines.PageSize());
    for (int i = 0; i < longLines.boxes.size(); ++i)
        QVERIFY2(sheet.contains(longLines.boxes[i]), qPrintable(longLines.drawn[i]));
    // A label's lines stay on their own label.
    if (!form) {
        const int nextLabel = int((3.7 * col + 3.7) * 600);
        for (int i = 0; i < longLines.boxes.size(); ++i)
            QVERIFY2(longLines.boxes[i].bottom() < nextLabel, qPrintable(longLines.drawn[i]));
    }

    // Each line is set smaller before it is cut, and cut only at the smallest size.
    QStringList full;
    for (const QString& line : data.recipientLines)
        full << line << line.toUpper() << line.left(40);
    full << "RE: " + data.re << data.comment << "DP: " + firm << "PB: " + firm;
    int smaller = 0;
    for (const CanvasOp& op : longLines.ops(CanvasOp::DrawText)) {
        if (full.contains(op.text))
            continue;
        bool cut = false;
        for (const QString& line : full)
            cut = cut || (line.startsWith(op.text) && op.text.size() >= 10);
        if (!cut)
            continue; // a number, caption or amount
        ++smaller;
        QVERIFY2(op.points == (op.face == "Arial" ? 4 : 6), qPrintable(op.toString()));
    }
    if (form)
        QVERIFY(smaller > 0); // the receipt's small print cannot hold 50 capitals at any legible size

    // The lines of one address stay alike: the return receipt's five in one size.
    if (form) {
        QSet<int> sizes;
        for (const CanvasOp& op : longLines.ops(CanvasOp::DrawText))
            if (op.angle == 1800 && op.x == int(4.9 * 600) && op.y >= int(0.85 * 600) && op.y <= int(1.45 * 600))
                sizes.insert(op.points);
        QCOMPARE(sizes.size(), 1);
        QVERIFY(*sizes.begin() < 10);
    }
}

void TestFormLayout::barCodesOffDrawsNoNumber()
{
    MailerPrintData data = sampleMailerPrintData();
    data.barCodes = false;
    data.customerId.clear();
    data.number = "9214700000000000000003";

    const MailerValues values = mailerValues(data);
    QCOMPARE(values.numberT, data.number);
    RecordingCanvas form = quarterInchPrinter();
    PrintMailerForm(form, values, MailerLayout::Form);
    QCOMPARE(form.ops(CanvasOp::DrawImage).size(), 2); // the two ZIP codes only
    for (const CanvasOp& op : drawnTexts(form))
        QVERIFY2(!op.text.contains("9214") && !op.text.contains("9290"), qPrintable(op.toString()));
    QCOMPARE(drawnTexts(form).size(), 58); // every text but the eight numbers

    RecordingCanvas label = quarterInchPrinter();
    PrintMailerForm(label, values, MailerLayout::Label, {0, 0});
    QCOMPARE(label.ops(CanvasOp::DrawImage).size(), 0);
    const QList<CanvasOp> texts = drawnTexts(label);
    QCOMPARE(texts.size(), 2);
    QCOMPARE(texts[0].text, QString("Jane Roe"));
    QCOMPARE(texts[1].text, QString("Roe & Sons"));
}

void TestFormLayout::labelDrawsNumberAndTwoLines()
{
    RecordingCanvas canvas = quarterInchPrinter();
    const MailerValues values = mailerValues(sampleMailerPrintData());
    PrintMailerForm(canvas, values, MailerLayout::Label, {1, 2});
    QCOMPARE(values.numberT, kNumberT);
    // Row 1, column 2: 2.75 inches up the x axis, 7.4 inches down.
    const double a = 2.75, b = 7.4;
    QCOMPARE(canvas.ops().first().toString(), QString("SetFont Arial/8/0")); // the caller owns the job
    const QList<CanvasOp> images = canvas.ops(CanvasOp::DrawImage);
    QCOMPARE(images.size(), 1);
    QCOMPARE(images[0].x, dots(6.1 - a));
    QCOMPARE(images[0].y, dots(b + 0.5));
    QCOMPARE(images[0].width, 450);
    QCOMPARE(images[0].height, 1500);
    QCOMPARE(images[0].image.width(), 450); // turned a quarter: height and length swap
    QCOMPARE(images[0].image.height(), 176 * 9);

    const QList<CanvasOp> texts = drawnTexts(canvas);
    const QStringList expected{
        QString("DrawText %1,%2 OCR A Extended/11/2700 \"%3\"").arg(dots(6.0 - a)).arg(dots(b + 0.6)).arg(kGroupedT),
        QString("DrawText %1,%2 OCR A Extended/8/2700 \"%3\"").arg(dots(8.1 - a)).arg(dots(b + 0.6)).arg(kGroupedT),
        QString("DrawText %1,%2 OCR A Extended/8/2700 \"Jane Roe\"").arg(dots(8.0 - a)).arg(dots(b + 0.5)),
        QString("DrawText %1,%2 OCR A Extended/8/2700 \"Roe & Sons\"").arg(dots(7.9 - a)).arg(dots(b + 0.5)),
    };
    QStringList drawn;
    for (const CanvasOp& op : texts)
        drawn.append(op.toString());
    QCOMPARE(drawn, expected);
    QCOMPARE(canvas.ops().last().toString(), QString("SetFont Arial/8/0"));
}

void TestFormLayout::labelSheetEndsAfterNinthLabel_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("col");
    QTest::addColumn<bool>("newSheet");
    QTest::newRow("row 3, column 3") << 2 << 2 << true;
    QTest::newRow("row 3, column 2") << 2 << 1 << false;
    QTest::newRow("row 2, column 3") << 1 << 2 << false;
}

void TestFormLayout::labelSheetEndsAfterNinthLabel()
{
    QFETCH(int, row);
    QFETCH(int, col);
    QFETCH(bool, newSheet);
    RecordingCanvas canvas = quarterInchPrinter();
    PrintMailerForm(canvas, mailerValues(sampleMailerPrintData()), MailerLayout::Label, {row, col});
    const QList<CanvasOp>& ops = canvas.ops();
    if (newSheet) {
        QCOMPARE(ops[ops.size() - 2].kind, CanvasOp::EndDocument);
        QCOMPARE(ops.last().kind, CanvasOp::BeginDocument);
        QCOMPARE(canvas.ops(CanvasOp::EndDocument).size(), 1);
    } else {
        QCOMPARE(canvas.ops(CanvasOp::EndDocument).size(), 0);
        QCOMPARE(canvas.ops(CanvasOp::BeginDocument).size(), 0);
    }
}

void TestFormLayout::labelPositionAdvancesColumnByColumn()
{
    LabelPosition position{0, 2};
    QStringList visited;
    for (int i = 0; i < 8; ++i) {
        position.advance();
        visited.append(QString("%1,%2").arg(position.row + 1).arg(position.col + 1));
    }
    QCOMPARE(visited, QStringList({"2,1", "2,2", "2,3", "3,1", "3,2", "3,3", "1,1", "1,2"}));
}

QTEST_MAIN(TestFormLayout)
#include "test_formlayout.moc"
