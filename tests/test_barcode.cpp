// The bar-code renderer, checked against encoders and readers nobody here wrote: the zint
// command-line tool gives the expected modules, zbarimg reads our images back.
#include "printing/TBarcodeBmp.h"
#include "tests/support/TestSupport.h"

#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

using Bmp = TBarcodeBmp;

namespace {

const QString MailerNumber = QStringLiteral("9214712345678900000015");

using testsupport::runTool;

// zint's --dump prints each row of the symbol as hexadecimal nibbles, the last padded
// with zero bits.
QStringList zintRows(const QString& zint, const QString& symbology, const QString& data)
{
    QStringList rows;
    const QStringList lines = runTool(zint, {"--dump", "-b", symbology, "-d", data}).split('\n', Qt::SkipEmptyParts);
    for (const QString& line : lines) {
        const QString hex = QString(line).remove(' ');
        QString bits;
        for (QChar nibble : hex)
            bits += QString::number(QString(nibble).toInt(nullptr, 16), 2).rightJustified(4, '0');
        rows << bits;
    }
    return rows;
}

// A zint row without the zero bits that pad it to whole nibbles; the whole row when more
// than padding follows the symbol's modules, so that the comparison shows it.
QString unpadded(const QString& zintRow, qsizetype symbolModules)
{
    const QString rest = zintRow.mid(symbolModules);
    return rest.size() < 4 && !rest.contains('1') ? zintRow.left(symbolModules) : zintRow;
}

// The modules of one pixel row of an unturned image, sampled at module centres.
QString rowModules(const QImage& image, int y, int scale)
{
    QString modules;
    for (int x = scale / 2; x < image.width(); x += scale)
        modules += image.pixelIndex(x, y) ? '1' : '0';
    return modules;
}

QString symbolPart(const QString& modules)
{
    return modules.mid(Bmp::QuietZoneModules, modules.size() - 2 * Bmp::QuietZoneModules);
}

QString quietZones(const QString& modules)
{
    return modules.left(Bmp::QuietZoneModules) + modules.right(Bmp::QuietZoneModules);
}

const QString WhiteQuietZones(2 * Bmp::QuietZoneModules, '0');

bool allWhite(const QImage& image)
{
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixelIndex(x, y))
                return false;
    return true;
}

QString findTool(const QString& name)
{
    return QStandardPaths::findExecutable(name);
}

} // namespace

class TestBarcode : public QObject {
    Q_OBJECT
private slots:
    void code128MatchesZint_data();
    void code128MatchesZint();
    void code128Values();
    void postnetMatchesZint_data();
    void postnetMatchesZint();
    void decodesWithZbar_data();
    void decodesWithZbar();
    void widths_data();
    void widths();
    void rotations_data();
    void rotations();
    void emptyText();
    void filters_data();
    void filters();
    void propertyChangesRender();
};

void TestBarcode::code128MatchesZint_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected"); // empty: zint's output only

    // zint 2.11.1, "zint --dump -b 20 -d 9214712345678900000015": start C, pairs, check 91, stop.
    QTest::newRow("own number") << MailerNumber
                                << "11010011100"
                                   "10101111000"
                                   "10011001110"
                                   "10011010000"
                                   "11101101110"
                                   "10111011000"
                                   "10000101100"
                                   "11011011110"
                                   "11011001100"
                                   "11011001100"
                                   "11011001100"
                                   "10111001100"
                                   "11110110110"
                                   "1100011101011";
    QTest::newRow("return receipt number") << "9290912345678900000019"
                                           << "";
    QTest::newRow("zero serial") << "9214700000000000000003"
                                 << "";
    QTest::newRow("other customer") << "9214790123456700123457"
                                    << "";
    // Every code set C value once.
    QString low, high;
    for (int pair = 0; pair < 50; ++pair) {
        low += QString::number(pair).rightJustified(2, '0');
        high += QString::number(pair + 50);
    }
    QTest::newRow("pairs 00-49") << low << "";
    QTest::newRow("pairs 50-99") << high << "";
    QTest::newRow("code set B text") << "Code 128"
                                     << "";
}

// Our image read back, not just the encoder's string, against zint's modules.
void TestBarcode::code128MatchesZint()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    const QString zint = findTool("zint");
    if (zint.isEmpty())
        QSKIP("zint is not installed (Debian package zint; the set-up script installs it)");

    Bmp bmp;
    bmp.setInterpret(false);
    bmp.setScale(3);
    bmp.setHeight(12);
    bmp.setBarcodeText(text);
    const QImage image = bmp.bitmap();
    const QString top = rowModules(image, 0, 3);
    QCOMPARE(rowModules(image, image.height() - 1, 3), top);
    QCOMPARE(quietZones(top), WhiteQuietZones);

    const QStringList rows = zintRows(zint, "20", text);
    QCOMPARE(rows.size(), 1);
    QCOMPARE(unpadded(rows[0], symbolPart(top).size()), symbolPart(top));
    QCOMPARE(Bmp::code128Modules(text), symbolPart(top));
    if (!expected.isEmpty())
        QCOMPARE(symbolPart(top), expected);
}

void TestBarcode::code128Values()
{
    // Check character worked by hand: (105 + 1*92 + 2*14 + 3*71 + 4*23 + 5*45 + 6*67 + 7*89
    // + 11*15) mod 103 = 1945 mod 103 = 91.
    const std::vector<int> expected{105, 92, 14, 71, 23, 45, 67, 89, 0, 0, 0, 15, 91, 106};
    QCOMPARE(Bmp::code128Values(MailerNumber), expected);
    QVERIFY(Bmp::code128Values("").empty());
    // The encoders filter what they are given, as the component does.
    QCOMPARE(Bmp::code128Values(QString::fromUtf8("ü")), std::vector<int>{});
    QCOMPARE(Bmp::postnetBars("12345-6789"), Bmp::postnetBars("123456789"));
    QCOMPARE(Bmp::postnetCorrectionDigit("12345"), 5);
    QCOMPARE(Bmp::postnetCorrectionDigit("12345-6789"), 5);
    // Worked by hand, so that the case holds without zint: 1+2+3+4+6 = 16, and 16 + 4 ends in
    // 0. Bars by digit (USPS Publication 25): 1 HHHFF, 2 HHFHF, 3 HHFFH, 4 HFHHF, 6 HFFHH,
    // between two frame bars.
    QCOMPARE(Bmp::postnetCorrectionDigit("12346"), 4);
    QCOMPARE(Bmp::postnetBars("12346"), QString("FHHHFFHHFHFHHFFHHFHHFHFFHHHFHHFF"));
}

void TestBarcode::postnetMatchesZint_data()
{
    QTest::addColumn<QString>("zip");      // as the program feeds it
    QTest::addColumn<QString>("expected"); // F full, H half; empty: zint's output only

    // zint 2.11.1, "zint --dump -b 40 -d 12345": rows "80 A0 88 28 20 88 82 22" (full bars)
    // and "AA AA AA AA AA AA AA AA" (all bars); correction digit 5.
    QTest::newRow("5 digits") << "12345"
                              << "F"
                                 "HHHFF"
                                 "HHFHF"
                                 "HHFFH"
                                 "HFHHF"
                                 "HFHFH"
                                 "HFHFH"
                                 "F";
    QTest::newRow("ZIP+4 with dash") << "12345-6789"
                                     << "";
    QTest::newRow("11 digits") << "12345678901"
                               << "";
    QTest::newRow("zeros") << "00000-0000"
                           << "";
    QTest::newRow("Beverly Hills") << "90210"
                                   << "";
    QTest::newRow("nines, blanks") << " 99999 - 9999 99"
                                   << "";
}

void TestBarcode::postnetMatchesZint()
{
    QFETCH(QString, zip);
    QFETCH(QString, expected);
    const QString zint = findTool("zint");
    if (zint.isEmpty())
        QSKIP("zint is not installed (Debian package zint; the set-up script installs it)");

    const int scale = 2, height = 21;
    Bmp bmp;
    bmp.setBarcodeType(Bmp::bcPOSTNET);
    bmp.setScale(scale);
    bmp.setHeight(height);
    bmp.setBarcodeText(zip);
    const QImage image = bmp.bitmap();
    const QString full = rowModules(image, 0, scale);
    const QString all = rowModules(image, height - 1, scale);
    // Half bars stand on the base line and begin at half the height.
    QCOMPARE(rowModules(image, height / 2, scale), all);
    QCOMPARE(rowModules(image, height / 2 - 1, scale), full);
    QCOMPARE(quietZones(all), WhiteQuietZones);

    const QStringList rows = zintRows(zint, "40", bmp.barcodeText());
    QCOMPARE(rows.size(), 2);
    QCOMPARE(unpadded(rows[0], symbolPart(full).size()), symbolPart(full));
    QCOMPARE(unpadded(rows[1], symbolPart(all).size()), symbolPart(all));

    QString bars;
    for (qsizetype i = 0; i < symbolPart(all).size(); i += 2) {
        QCOMPARE(symbolPart(all)[i], '1'); // a bar on every other module
        bars += symbolPart(full)[i] == '1' ? 'F' : 'H';
    }
    QCOMPARE(Bmp::postnetBars(bmp.barcodeText()), bars);
    if (!expected.isEmpty())
        QCOMPARE(bars, expected);
}

void TestBarcode::decodesWithZbar_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<Bmp::TbcRotate>("rotate");

    QTest::newRow("number") << MailerNumber << Bmp::bcNoRotate;
    QTest::newRow("number turned 90") << MailerNumber << Bmp::bcRotate90;
    QTest::newRow("number turned 180") << MailerNumber << Bmp::bcRotate180;
    QTest::newRow("number turned 270") << "9290912345678900000019" << Bmp::bcRotate270;
    // Other text than the program's numbers: code sets B and C mixed.
    QTest::newRow("odd digits") << "12345" << Bmp::bcNoRotate;
    QTest::newRow("letters and digits") << "AB-12345678cd 9" << Bmp::bcNoRotate;
}

void TestBarcode::decodesWithZbar()
{
    QFETCH(QString, text);
    QFETCH(Bmp::TbcRotate, rotate);
    const QString zbarimg = findTool("zbarimg");
    if (zbarimg.isEmpty())
        QSKIP("zbarimg is not installed (Debian package zbar-tools; the set-up script installs it)");

    Bmp bmp;
    bmp.setInterpret(false);
    bmp.setScale(3);
    bmp.setHeight(60);
    bmp.setRotate(rotate);
    bmp.setBarcodeText(text);
    QTemporaryDir dir;
    const QString png = dir.filePath("symbol.png");
    QVERIFY(bmp.bitmap().save(png));
    QString decoded = runTool(zbarimg, {"--raw", "-q", png});
    if (decoded.endsWith('\n'))
        decoded.chop(1);
    QCOMPARE(decoded, text);
}

void TestBarcode::widths_data()
{
    QTest::addColumn<Bmp::TBarCodeType>("type");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("scale");
    QTest::addColumn<int>("modules");

    QTest::newRow("empty") << Bmp::bcCode128 << "" << 1 << 20;
    QTest::newRow("empty, scale 3") << Bmp::bcCode128 << "" << 3 << 20;
    QTest::newRow("number") << Bmp::bcCode128 << MailerNumber << 1 << 176;
    QTest::newRow("number at 600 dpi") << Bmp::bcCode128 << MailerNumber << 9 << 176; // 1584 pixels
    QTest::newRow("ZIP") << Bmp::bcPOSTNET << "12345" << 14 << 83;
    QTest::newRow("ZIP+4") << Bmp::bcPOSTNET << "12345-6789" << 14 << 123;
    QTest::newRow("11 digits") << Bmp::bcPOSTNET << "123456789012345" << 1 << 143;
    QTest::newRow("other symbology") << Bmp::bcEAN13 << "4006381333931" << 2 << 20;
}

void TestBarcode::widths()
{
    QFETCH(Bmp::TBarCodeType, type);
    QFETCH(QString, text);
    QFETCH(int, scale);
    QFETCH(int, modules);

    Bmp bmp;
    bmp.setBarcodeType(type);
    bmp.setScale(scale);
    bmp.setHeight(84);
    bmp.setBarcodeText(text);
    QCOMPARE(bmp.bitmap().width(), modules * scale);
    QCOMPARE(bmp.bitmap().height(), 84);
    QCOMPARE(bmp.bitmap().depth(), 1);
}

void TestBarcode::rotations_data()
{
    QTest::addColumn<Bmp::TBarCodeType>("type");
    QTest::addColumn<QString>("text");
    QTest::addColumn<Bmp::TbcRotate>("rotate");

    for (auto rotate : {Bmp::bcRotate90, Bmp::bcRotate180, Bmp::bcRotate270}) {
        const QByteArray turn = QByteArray::number(rotate);
        QTest::newRow(("number " + turn).constData()) << Bmp::bcCode128 << MailerNumber << rotate;
        QTest::newRow(("ZIP " + turn).constData()) << Bmp::bcPOSTNET << "12345-6789" << rotate;
    }
}

// Every pixel of the turned image is the pixel of the plain image that the turn moves there.
void TestBarcode::rotations()
{
    QFETCH(Bmp::TBarCodeType, type);
    QFETCH(QString, text);
    QFETCH(Bmp::TbcRotate, rotate);

    Bmp bmp;
    bmp.setBarcodeType(type);
    bmp.setScale(2);
    bmp.setHeight(31);
    bmp.setBarcodeText(text);
    const QImage plain = bmp.bitmap();
    bmp.setRotate(rotate);
    const QImage turned = bmp.bitmap();

    const int w = plain.width(), h = plain.height();
    const bool quarter = rotate != Bmp::bcRotate180;
    QCOMPARE(turned.size(), quarter ? QSize(h, w) : QSize(w, h));
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const QPoint to = rotate == Bmp::bcRotate90    ? QPoint(h - 1 - y, x)
                              : rotate == Bmp::bcRotate180 ? QPoint(w - 1 - x, h - 1 - y)
                                                           : QPoint(y, w - 1 - x);
            if (turned.pixelIndex(to) != plain.pixelIndex(x, y))
                QFAIL(qPrintable(QString("pixel %1,%2 not turned").arg(x).arg(y)));
        }
    }
}

void TestBarcode::emptyText()
{
    Bmp fresh;
    QCOMPARE(fresh.bitmap().size(), QSize(20, 50));
    QVERIFY(allWhite(fresh.bitmap()));

    // POSTNET keeps no digit of "-": empty too.
    const std::pair<Bmp::TBarCodeType, QString> cases[] = {{Bmp::bcCode128, ""}, {Bmp::bcPOSTNET, "-"}};
    for (const auto& [type, text] : cases) {
        Bmp bmp;
        bmp.setBarcodeType(type);
        bmp.setScale(14);
        bmp.setHeight(84);
        bmp.setBarcodeText(text);
        QCOMPARE(bmp.bitmap().size(), QSize(20 * 14, 84));
        QVERIFY(allWhite(bmp.bitmap()));
        bmp.setRotate(Bmp::bcRotate90);
        QCOMPARE(bmp.bitmap().size(), QSize(84, 20 * 14));
        QVERIFY(allWhite(bmp.bitmap()));
    }
    // A Code 128 text of only dropped characters draws nothing either.
    Bmp dropped;
    dropped.setBarcodeText(QString::fromUtf8("ü€"));
    QCOMPARE(dropped.barcodeText(), QString());
    QVERIFY(allWhite(dropped.bitmap()));
}

void TestBarcode::filters_data()
{
    QTest::addColumn<QStringList>("steps"); // "text:..." sets the text, "type:..." the symbology
    QTest::addColumn<QString>("stored");

    QTest::newRow("Code 128 keeps ASCII") << QStringList{"text:Box 7-a\t"} << "Box 7-a\t";
    QTest::newRow("Code 128 drops above 128")
        << QStringList{QString::fromUtf8("text:Zürich €5") + QChar(0x80)} << QString("Zrich 5") + QChar(0x80);
    QTest::newRow("POSTNET ZIP+4") << QStringList{"type:POSTNET", "text:12345-6789"} << "123456789";
    QTest::newRow("POSTNET first eleven digits")
        << QStringList{"type:POSTNET", "text:1234 5678 9012 34"} << "12345678901";
    QTest::newRow("switch keeps digits") << QStringList{"type:POSTNET", "text:12345-6789", "type:Code128"}
                                         << "123456789";
    QTest::newRow("switch re-filters") << QStringList{"text:AB12-3", "type:POSTNET"} << "123";
    QTest::newRow("dropped stay dropped") << QStringList{"text:AB12-3", "type:POSTNET", "type:Code128"} << "123";
}

void TestBarcode::filters()
{
    QFETCH(QStringList, steps);
    QFETCH(QString, stored);

    Bmp bmp;
    for (const QString& step : steps) {
        const QString value = step.section(':', 1);
        if (step.startsWith("text:"))
            bmp.setBarcodeText(value);
        else
            bmp.setBarcodeType(value == "POSTNET" ? Bmp::bcPOSTNET : Bmp::bcCode128);
    }
    QCOMPARE(bmp.barcodeText(), stored);
}

void TestBarcode::propertyChangesRender()
{
    Bmp bmp;
    QCOMPARE(bmp.height(), 50);
    QCOMPARE(bmp.barcodeType(), Bmp::bcCode128);
    QCOMPARE(bmp.font().family(), QString("Courier New"));
    QCOMPARE(bmp.scale(), 1);
    QVERIFY(bmp.interpret());
    QCOMPARE(bmp.rotate(), Bmp::bcNoRotate);

    // The text first, then each geometry change renders again at once.
    bmp.setBarcodeText(MailerNumber);
    QCOMPARE(bmp.bitmap().size(), QSize(176, 50));
    bmp.setScale(9);
    QCOMPARE(bmp.bitmap().size(), QSize(1584, 50));
    bmp.setHeight(450);
    QCOMPARE(bmp.bitmap().size(), QSize(1584, 450));

    // Interpret leaves 5 modules of white under the bars; the first bar is at module 10.
    const int firstBar = 10 * 9;
    QCOMPARE(bmp.bitmap().pixelIndex(firstBar, 450 - 5 * 9 - 1), 1);
    QCOMPARE(bmp.bitmap().pixelIndex(firstBar, 450 - 5 * 9), 0);
    bmp.setInterpret(false);
    QCOMPARE(bmp.bitmap().pixelIndex(firstBar, 449), 1);

    // A quarter turn puts the start character at the top.
    bmp.setRotate(Bmp::bcRotate90);
    QCOMPARE(bmp.bitmap().size(), QSize(450, 1584));
    QCOMPARE(bmp.bitmap().pixelIndex(0, firstBar - 1), 0);
    QCOMPARE(bmp.bitmap().pixelIndex(0, firstBar), 1);

    // A new font renders the same bars: no human-readable line is drawn.
    const QImage before = bmp.bitmap();
    bmp.setFont(QFont("Liberation Sans"));
    QCOMPARE(bmp.bitmap(), before);

    // POSTNET ignores Interpret.
    Bmp zip;
    zip.setBarcodeType(Bmp::bcPOSTNET);
    zip.setBarcodeText("12345");
    const QImage withRoom = zip.bitmap();
    zip.setInterpret(false);
    QCOMPARE(zip.bitmap(), withRoom);

    // A module width or height below one pixel would give no image at all.
    zip.setScale(0);
    zip.setHeight(-3);
    QCOMPARE(zip.scale(), 1);
    QCOMPARE(zip.height(), 1);
    QCOMPARE(zip.bitmap().size(), QSize(83, 1));
}

QTEST_MAIN(TestBarcode)
#include "test_barcode.moc"
