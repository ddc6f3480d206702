// The page canvas on paper: PDF print jobs rasterised with pdftoppm, bar codes decoded with
// zbarimg, and the three font names resolved to the faces installed here.
#include "canvas/FontFaces.h"
#include "canvas/PainterCanvas.h"
#include "canvas/TrueTypeSubset.h"
#include "printing/MailerForm.h"
#include "tests/support/TestSupport.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QPainter>
#include <QtTest>

namespace {

using testsupport::inkBox;
using testsupport::rasterisePdf;
using testsupport::runTool;
using testsupport::sampleMailerPrintData;

// A temporary folder that the print jobs go to while the object lives.
class PdfFolder {
public:
    QString path() const { return dir_.path(); }
    QStringList files() const { return QDir(dir_.path()).entryList({"*.pdf"}, QDir::Files, QDir::Name); }

private:
    QTemporaryDir dir_;
    testsupport::EnvironmentValue pdfDir_{"DOVRA_PDF_DIR", dir_.path()};
};

// A rectangle as "x,y widthxheight", for failure messages.
QString rectText(const QRect& r)
{
    return QString("%1,%2 %3x%4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
}

} // namespace

class TestPdfCanvas : public QObject {
    Q_OBJECT

private slots:
    void fontNamesResolveToInstalledFaces_data();
    void fontNamesResolveToInstalledFaces();
    void mailerNumbersScan_data();
    void mailerNumbersScan();
    void textRunsAtItsAngle_data();
    void textRunsAtItsAngle();
    void textCellsAndImagesAreOpaque();
    void recipientInEveryScriptPrints_data();
    void recipientInEveryScriptPrints();
    void everyCharacterReachesThePage_data();
    void everyCharacterReachesThePage();
    void faceThatCannotBeEmbeddedGivesWay();
    void facesOfOneNameAreToldApartByFile();
    void jobFileCarriesTitleIdAndDate();
    void jobsInTurnEachDrawTheirOwnMailer();
    void bitmapsKeepTheirDotsOnEveryPage_data();
    void bitmapsKeepTheirDotsOnEveryPage();
    void jobFilesSortInPrintOrder();
    void fileWrittenMeanwhileIsLeftAlone();
    void defaultFolderIsBesideTheProgram();
    void unusableFolderIsReported();
};

void TestPdfCanvas::fontNamesResolveToInstalledFaces_data()
{
    QTest::addColumn<QString>("face");
    QTest::addColumn<QString>("family");
    QTest::newRow("OCR") << "OCR A Extended"
                         << "OCRA";
    QTest::newRow("sans") << "Arial"
                          << "Liberation Sans";
    QTest::newRow("serif") << "Times New Roman"
                           << "Liberation Serif";
}

void TestPdfCanvas::fontNamesResolveToInstalledFaces()
{
    QFETCH(QString, face);
    QFETCH(QString, family);
    const QFont font = canvasFont(face, 10, 600);
    const QFontInfo info(font);
    QCOMPARE(info.family(), family);
    QCOMPARE(info.italic(), false);
    QCOMPARE(info.weight(), int(QFont::Normal));
    QVERIFY(QFontDatabase::families().contains(family));
    if (family == "OCRA") {
        // Ten characters to the inch at 12 points, as the layouts expect: a grouped Mailer
        // Number at 11 points spans its 2.5-inch bar code.
        const QFontMetricsF metrics(canvasFont(face, 11, 600));
        QVERIFY(qAbs(metrics.horizontalAdvance("9214 7123 4567 8900 0000 15") - 27 * 0.6 * 11 / 72 * 600) < 10);
    } else {
        QCOMPARE(font.pixelSize(), 83); // 10 points at 600 dots per inch
    }
}

void TestPdfCanvas::mailerNumbersScan_data()
{
    QTest::addColumn<bool>("label");
    QTest::addColumn<QStringList>("symbols");
    QTest::newRow("form") << false << QStringList{"CODE-128:9214712345678900000015", "CODE-128:9290912345678900000019"};
    QTest::newRow("label") << true << QStringList{"CODE-128:9214712345678900000015"};
}

void TestPdfCanvas::mailerNumbersScan()
{
    QFETCH(bool, label);
    QFETCH(QStringList, symbols);
    PdfFolder folder;
    std::unique_ptr<PageCanvas> canvas = openPrintCanvas();
    QVERIFY(dynamic_cast<PdfJobCanvas*>(canvas.get()));
    if (label) {
        canvas->BeginDocument();
        PrintMailerForm(*canvas, mailerValues(sampleMailerPrintData()), MailerLayout::Label, {1, 1});
        canvas->EndDocument();
    } else {
        PrintMailerForm(*canvas, mailerValues(sampleMailerPrintData()), MailerLayout::Form);
    }
    QCOMPARE(folder.files(), QStringList{"print-00000001.pdf"});
    const QString pdf = folder.path() + "/print-00000001.pdf";

    QCOMPARE(testsupport::decodedSymbols(pdf), symbols);

    // The text reached the paper in the installed faces, embedded.
    const QString fonts = runTool("pdffonts", {pdf});
    QVERIFY2(fonts.contains("OCRA"), qPrintable(fonts));
    if (!label)
        QVERIFY2(fonts.contains("LiberationSans"), qPrintable(fonts));
}

void TestPdfCanvas::textRunsAtItsAngle_data()
{
    QTest::addColumn<int>("angle");
    QTest::newRow("0") << 0;
    QTest::newRow("1800") << 1800;
    QTest::newRow("2700") << 2700;
}

void TestPdfCanvas::textRunsAtItsAngle()
{
    QFETCH(int, angle);
    PdfFolder folder;
    PdfJobCanvas canvas(folder.path());
    QCOMPARE(canvas.DotsPerInch().x, 600);
    QCOMPARE(canvas.DotsPerInch().y, 600);
    QCOMPARE(canvas.PrintableOffset(), QPoint(0, 0));
    QCOMPARE(canvas.PageSize(), QSize(5100, 6600));

    const int x = 2400, y = 3000;
    canvas.BeginDocument();
    canvas.SetFont("Arial", 40, angle);
    const QString text = "HHHHHH";
    const int width = canvas.TextWidth(text);
    const int height = canvas.TextHeight(text);
    canvas.DrawText(x, y, text);
    canvas.EndDocument();

    // The cell the text must lie in, at 100 dots per inch.
    QRect cell;
    switch (angle) {
    case 0:
        cell = QRect(x, y, width, height);
        break;
    case 1800:
        cell = QRect(x - width, y - height, width, height);
        break;
    default:
        cell = QRect(x - height, y, height, width);
        break;
    }
    cell = QRect(cell.x() / 6, cell.y() / 6, cell.width() / 6, cell.height() / 6);
    const QRect ink = inkBox(rasterisePdf(canvas.lastFile(), 100));
    QVERIFY2(cell.adjusted(-2, -2, 2, 2).contains(ink),
             qPrintable(QString("ink %1 outside cell %2").arg(rectText(ink), rectText(cell))));
    // The text runs along the long side of the cell.
    const bool alongX = angle != 2700;
    QVERIFY((alongX ? ink.width() : ink.height()) > 0.8 * width / 6);
}

void TestPdfCanvas::textCellsAndImagesAreOpaque()
{
    PdfFolder folder;
    PdfJobCanvas canvas(folder.path());
    canvas.BeginDocument();
    canvas.FillRect(600, 600, 3000, 1800);
    canvas.SetFont("Arial", 40, 0);
    canvas.DrawText(900, 900, "H");
    QImage white(8, 8, QImage::Format_Mono);
    white.setColorTable({qRgb(255, 255, 255), qRgb(0, 0, 0)});
    white.fill(0);
    canvas.DrawImage(1800, 900, 600, 600, white);
    canvas.DrawLine(600, 2400, 3000, 2400);
    canvas.EndDocument();

    const QImage page = rasterisePdf(canvas.lastFile(), 100);
    const auto gray = [&page](int dotsX, int dotsY) { return qGray(page.pixel(dotsX / 6, dotsY / 6)); };
    QVERIFY(gray(700, 700) < 64);                                   // the filled rectangle
    QVERIFY(gray(900 + canvas.TextWidth("H") / 2, 900 + 24) > 192); // the cell above the letter
    QVERIFY(gray(2100, 1200) > 192);                                // the white image
    QVERIFY(gray(1800, 2400) < 192);                                // the line
    QVERIFY(gray(1800, 2460) > 192);
}

void TestPdfCanvas::recipientInEveryScriptPrints_data()
{
    // The recipient's name, the language fontconfig knows the script by, and whether an
    // installed face has the script (a machine that differs skips the row).
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("language");
    QTest::addColumn<bool>("covered");
    QTest::newRow("Latin") << QString("Zoë Müller-Łukasiewicz") << "pl" << true;
    QTest::newRow("Greek") << QString("Γιώργος Παπαδόπουλος") << "el" << true;
    QTest::newRow("Cyrillic") << QString("Светлана Иванова") << "ru" << true;
    QTest::newRow("Armenian") << QString("Արամ Խաչատրյան") << "hy" << true;
    QTest::newRow("Georgian") << QString("ნინო ბერიძე") << "ka" << true;
    QTest::newRow("Hebrew") << QString("דוד לוי") << "he" << true;
    QTest::newRow("Arabic") << QString("محمد علي") << "ar" << true;
    QTest::newRow("Chinese") << QString("王小明") << "zh" << true;
    QTest::newRow("Japanese") << QString("やまだ たろう") << "ja" << true;
    QTest::newRow("Devanagari") << QString("राम शर्मा") << "hi" << false;
    QTest::newRow("Gujarati") << QString("ૐ પટેલ") << "gu" << false;
    QTest::newRow("Bengali") << QString("অমিত রায়") << "bn" << false;
    QTest::newRow("Tamil") << QString("முருகன்") << "ta" << false;
    QTest::newRow("Sinhala") << QString("සුනිල් පෙරේරා") << "si" << false;
    QTest::newRow("Khmer") << QString("សុខ ចាន់") << "km" << false;
}

void TestPdfCanvas::recipientInEveryScriptPrints()
{
    QFETCH(QString, name);
    QFETCH(QString, language);
    QFETCH(bool, covered);
    if (runTool("fc-list", {":lang=" + language}).trimmed().isEmpty() == covered)
        QSKIP(qPrintable(QString("The faces for \"%1\" differ on this machine.").arg(language)));
    MailerPrintData data = sampleMailerPrintData();
    data.recipientLines[0] = name;

    // Told before printing, and only then.
    const QList<UnprintableLine> unprintable = unprintableLines(data, MailerLayout::Form);
    if (covered) {
        QVERIFY(unprintable.isEmpty());
    } else {
        QCOMPARE(unprintable.size(), 1);
        QCOMPARE(unprintable[0].line, QString("Recipient line 1"));
        QString letters; // each once, in the order of the name
        for (const QChar c : name)
            if (c != ' ' && !letters.contains(c))
                letters += c;
        QCOMPARE(unprintable[0].characters, letters);
    }

    // Form and label both print, every character kept in the file's text.
    PdfFolder folder;
    PdfJobCanvas canvas(folder.path());
    PrintMailerForm(canvas, mailerValues(data), MailerLayout::Form);
    canvas.BeginDocument();
    PrintMailerForm(canvas, mailerValues(data), MailerLayout::Label, {0, 0});
    canvas.EndDocument();
    QCOMPARE(folder.files().size(), 2);
    for (const QString& file : folder.files()) {
        const QString text =
            runTool("pdftotext", {folder.path() + "/" + file, "-"}).remove(QRegularExpression("[\\x{202A}-\\x{202E}]"));
        QVERIFY2(text.contains(name) || text.contains(name.toUpper()), qPrintable(text));
    }

    // The recipient's line on the address panel carries ink: glyphs, or marks for the
    // characters no face has.
    const QImage page = rasterisePdf(folder.path() + "/" + folder.files().first(), 100);
    QVERIFY(!inkBox(page.copy(QRect(QPoint(560, 655), QPoint(709, 669)))).isEmpty());
}

void TestPdfCanvas::everyCharacterReachesThePage_data()
{
    // The face asked for, the family that must be installed for the case, the text, and the
    // fonts the file must embed: the face's own first, then the fallback faces, if any.
    QTest::addColumn<QString>("face");
    QTest::addColumn<QString>("needed");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("fontNames");
    QTest::addColumn<QString>("fontType");
    QTest::newRow("sans") << "Arial"
                          << "Liberation Sans" << QString("José Muñoz, Ávila") << QStringList{"LiberationSans"}
                          << "CID TrueType";
    QTest::newRow("serif") << "Times New Roman"
                           << "Liberation Serif" << QString("Zoë & Sons, Öland") << QStringList{"LiberationSerif"}
                           << "CID TrueType";
    // OCR-A has no accented capitals, no ß and no €: they come from a fallback face.
    QTest::newRow("OCR accents") << "OCR A Extended"
                                 << "DejaVu Sans Mono" << QString("JOSÉ NÚÑEZ, 5 CALLE ÑANDÚ, STRAßE 3 €")
                                 << QStringList{"DejaVuSansMono", "OCRA"} << "CID TrueType";
    QTest::newRow("mixed scripts") << "Arial"
                                   << "Droid Sans Fallback" << QString("Zoë 北京 ひらがな Ωμέγα ★ 5")
                                   << QStringList{"DejaVuSans", "DroidSansFallback", "LiberationSans"}
                                   << "CID TrueType";
    QTest::newRow("right to left") << "Arial"
                                   << "DejaVu Sans" << QString("Tel Aviv תל אביב") << QStringList{"LiberationSans"}
                                   << "CID TrueType";
    QTest::newRow("Arabic") << "Arial"
                            << "DejaVu Sans" << QString("القاهرة") << QStringList{"DejaVuSans"} << "CID TrueType";
    // "Helvetica" resolves to a Type 1 face; the same face as an OpenType CFF file is embedded.
    QTest::newRow("CFF face") << "Helvetica"
                              << "Nimbus Sans" << QString("Helvetica Ünïcode 12") << QStringList{"NimbusSans-Regular"}
                              << "CID Type 0C";
}

void TestPdfCanvas::everyCharacterReachesThePage()
{
    QFETCH(QString, face);
    QFETCH(QString, needed);
    QFETCH(QString, text);
    QFETCH(QStringList, fontNames);
    QFETCH(QString, fontType);
    if (runTool("fc-list", {needed}).trimmed().isEmpty())
        QSKIP(qPrintable(QString("The face \"%1\" is not installed.").arg(needed)));
    PdfFolder folder;
    PdfJobCanvas canvas(folder.path());
    canvas.BeginDocument();
    canvas.SetFont(face, 20, 0);
    canvas.DrawText(600, 600, text);
    canvas.EndDocument();

    // The text of the file keeps every character (the reader marks right-to-left runs).
    QCOMPARE(
        runTool("pdftotext", {canvas.lastFile(), "-"}).remove(QRegularExpression("[\\x{202A}-\\x{202E}]")).trimmed(),
        text);
    const QString fonts = runTool("pdffonts", {canvas.lastFile()});
    QStringList fontLines = fonts.split('\n').mid(2).filter(QRegularExpression("\\S"));
    // In the order of their names, after the tag of the subset.
    std::sort(fontLines.begin(), fontLines.end(),
              [](const QString& a, const QString& b) { return a.mid(7) < b.mid(7); });
    std::sort(fontNames.begin(), fontNames.end());
    QCOMPARE(fontLines.size(), fontNames.size());
    for (int i = 0; i < fontNames.size(); ++i) {
        QVERIFY2(fontLines[i].contains("+" + fontNames[i] + " ") && fontLines[i].contains(fontType) &&
                     fontLines[i].contains(QRegularExpression("yes\\s+yes\\s+yes")),
                 qPrintable(fonts));
    }

    // The glyphs are those Qt's painter draws, fallbacks included: the ink covers what the
    // face drawn directly covers, at 100 dots per inch.
    const QFont font = canvasFont(face, 20, 600);
    QImage direct(850, 1100, QImage::Format_RGB32);
    direct.fill(Qt::white);
    {
        QPainter painter(&direct);
        painter.scale(1 / 6.0, 1 / 6.0);
        painter.setFont(font);
        painter.setPen(Qt::black);
        painter.drawText(QPointF(600, 600 + QFontMetricsF(font).ascent()), text);
    }
    const QRect expected = inkBox(direct);
    const QImage page = rasterisePdf(canvas.lastFile(), 100);
    const QRect ink = inkBox(page);
    const QMargins difference(ink.left() - expected.left(), ink.top() - expected.top(), ink.right() - expected.right(),
                              ink.bottom() - expected.bottom());
    QVERIFY2(qAbs(difference.left()) <= 2 && qAbs(difference.top()) <= 2 && qAbs(difference.right()) <= 2 &&
                 qAbs(difference.bottom()) <= 2,
             qPrintable(QString("ink %1, drawn directly %2").arg(rectText(ink), rectText(expected))));
    // Every glyph inked about as many dots as Qt's: no character left out or boxed.
    const auto inked = [](const QImage& image) {
        int count = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                count += qGray(image.pixel(x, y)) < 128;
        return count;
    };
    const double ratio = double(inked(page)) / inked(direct);
    QVERIFY2(ratio > 0.85 && ratio < 1.15, qPrintable(QString("ink ratio %1").arg(ratio)));
}

void TestPdfCanvas::faceThatCannotBeEmbeddedGivesWay()
{
    // A Type 1 face of a family that has no other file: renamed from an installed one.
    QFile original("/usr/share/fonts/type1/urw-base35/NimbusSans-Regular.t1");
    if (!original.open(QIODevice::ReadOnly))
        QSKIP("No Type 1 face in plain text is installed.");
    QByteArray type1 = original.readAll();
    type1.replace("(Nimbus Sans)", "(Dovra Type One)").replace("/NimbusSans-Regular", "/DovraTypeOne-Regular");
    QTemporaryDir dir;
    QFile renamed(dir.filePath("DovraTypeOne.t1"));
    QVERIFY(renamed.open(QIODevice::WriteOnly));
    renamed.write(type1);
    renamed.close();
    const int added = QFontDatabase::addApplicationFont(renamed.fileName());
    QVERIFY(QFontDatabase::applicationFontFamilies(added).contains("Dovra Type One"));

    PdfFolder folder;
    PdfJobCanvas canvas(folder.path());
    QTest::ignoreMessage(QtWarningMsg,
                         QRegularExpression("\"Dovra Type One\".*\"Liberation Sans\" is printed in PDF files instead"));
    canvas.BeginDocument();
    canvas.SetFont("Dovra Type One", 20, 0);
    canvas.DrawText(600, 600, "Never a lost job");
    canvas.EndDocument();
    QFontDatabase::removeApplicationFont(added);

    QCOMPARE(runTool("pdftotext", {canvas.lastFile(), "-"}).trimmed(), QString("Never a lost job"));
    const QString fonts = runTool("pdffonts", {canvas.lastFile()});
    QVERIFY2(fonts.contains("+LiberationSans "), qPrintable(fonts));
    // Placed where Qt places the face it drew with.
    QVERIFY(inkBox(rasterisePdf(canvas.lastFile(), 100)).left() - 100 <= 2);
}

namespace {

// A copy of a TrueType face under another family name and style, written in place of the
// names of the name table (they only get shorter), so that two files of different faces
// carry one name.
QString renamedFace(const QString& source, const QString& folder, const QString& family, const QString& style)
{
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly))
        return {};
    QByteArray data = in.readAll();
    const auto u16 = [&data](qsizetype at) { return int(uchar(data[at])) << 8 | uchar(data[at + 1]); };
    const auto u32 = [&](qsizetype at) { return qsizetype(u16(at)) << 16 | u16(at + 2); };
    qsizetype name = 0;
    for (int i = 0; i < u16(4); ++i)
        if (data.mid(12 + 16 * i, 4) == "name")
            name = u32(12 + 16 * i + 8);
    const qsizetype strings = name + u16(name + 4);
    for (int i = 0; i < u16(name + 2); ++i) {
        const qsizetype record = name + 6 + 12 * qsizetype(i);
        const int platform = u16(record);
        const int id = u16(record + 6);
        QString text = id == 2 || id == 17 ? style : id == 6 ? QString(family).remove(' ') : family;
        if (id != 1 && id != 2 && id != 4 && id != 6 && id != 16 && id != 17)
            continue;
        const QByteArray bytes =
            platform == 1 ? text.toLatin1()
                          : QByteArray(reinterpret_cast<const char*>(text.toStdU16String().data()), text.size() * 2);
        QByteArray stored = bytes;
        if (platform != 1) // UTF-16, big-endian
            for (qsizetype b = 0; b + 1 < stored.size(); b += 2)
                std::swap(stored[b], stored[b + 1]);
        if (stored.size() > u16(record + 8))
            return {};
        data.replace(strings + u16(record + 10), stored.size(), stored);
        data[record + 8] = char(stored.size() >> 8);
        data[record + 9] = char(stored.size());
    }
    QFile out(folder + "/" + QFileInfo(source).fileName());
    if (!out.open(QIODevice::WriteOnly))
        return {};
    out.write(data);
    return out.fileName();
}

} // namespace

void TestPdfCanvas::facesOfOneNameAreToldApartByFile()
{
    QTemporaryDir dir;
    const QString sans =
        renamedFace("/usr/share/fonts/truetype/liberation2/LiberationSans-Regular.ttf", dir.path(), "Twin", "Book");
    const QString serif =
        renamedFace("/usr/share/fonts/truetype/liberation2/LiberationSerif-Regular.ttf", dir.path(), "Twin", "Book");
    if (sans.isEmpty() || serif.isEmpty())
        QSKIP("The Liberation faces are not installed.");
    const int first = QFontDatabase::addApplicationFont(sans);
    const int second = QFontDatabase::addApplicationFont(serif);
    QCOMPARE(QFontDatabase::applicationFontFamilies(first), QStringList{"Twin"});
    QCOMPARE(QFontDatabase::applicationFontFamilies(second), QStringList{"Twin"});

    // Each face is found as its own file, and embedded with its own glyphs.
    for (const QString& file : {sans, serif}) {
        const QRawFont raw(file, 83, QFont::PreferNoHinting);
        QCOMPARE(raw.familyName(), QString("Twin"));
        const std::optional<FaceFile> found = faceFileOf(raw);
        QVERIFY(found.has_value());
        QCOMPARE(found->path, file);
        const EmbeddedFace embedded = embeddedFaceFor(raw);
        QVERIFY(embedded.sameGlyphs);
        QCOMPARE(embedded.face->glyphCount(),
                 int(raw.fontTable("maxp").at(4) << 8 | uchar(raw.fontTable("maxp").at(5))));
        QCOMPARE(embedded.face->advance(1000 % embedded.face->glyphCount()),
                 qRound(raw.advancesForGlyphIndexes(QList<quint32>{quint32(1000 % embedded.face->glyphCount())},
                                                    QRawFont::KernedAdvances | QRawFont::UseDesignMetrics)
                            .first()
                            .x() *
                        raw.unitsPerEm() / 83));
    }
    QVERIFY(embeddedFaceFor(QRawFont(sans, 83)).face != embeddedFaceFor(QRawFont(serif, 83)).face);
    QFontDatabase::removeApplicationFont(first);
    QFontDatabase::removeApplicationFont(second);
}

void TestPdfCanvas::jobFileCarriesTitleIdAndDate()
{
    PdfFolder folder;
    std::unique_ptr<PageCanvas> canvas = openPrintCanvas();
    MailerPrintData data = sampleMailerPrintData();
    const QDateTime before = QDateTime::currentDateTime().addSecs(-1);
    PrintMailerForm(*canvas, mailerValues(data), MailerLayout::Form);
    // Two labels of one sheet: one job, both numbers.
    canvas->BeginDocument();
    PrintMailerForm(*canvas, mailerValues(data), MailerLayout::Label, {0, 0});
    data.serial = "0000002";
    PrintMailerForm(*canvas, mailerValues(data), MailerLayout::Label, {0, 1});
    canvas->EndDocument();
    QCOMPARE(folder.files(), QStringList({"print-00000001.pdf", "print-00000002.pdf"}));

    const QString form = folder.path() + "/print-00000001.pdf";
    const QString labels = folder.path() + "/print-00000002.pdf";
    const QString info = runTool("pdfinfo", {form});
    QVERIFY2(info.contains(QRegularExpression("Title:\\s+9214712345678900000015\\n")), qPrintable(info));
    QVERIFY2(info.contains(QRegularExpression("Producer:\\s+Dovra Pro 4.0\\n")), qPrintable(info));
    const QRegularExpressionMatch created = QRegularExpression("CreationDate:\\s+(.+)\\n").match(info);
    QVERIFY2(created.hasMatch(), qPrintable(info));
    const QString labelInfo = runTool("pdfinfo", {labels});
    QVERIFY2(labelInfo.contains(QRegularExpression("Title:\\s+9214712345678900000015, 9214712345678900000022\\n")),
             qPrintable(labelInfo));
    // The creation date as pdfinfo reads it back, in ISO form.
    const QString isoDate = runTool("pdfinfo", {"-isodates", form});
    const QRegularExpressionMatch iso = QRegularExpression("CreationDate:\\s+(\\S+)\\n").match(isoDate);
    QVERIFY(iso.hasMatch());
    const QDateTime when = QDateTime::fromString(iso.captured(1), Qt::ISODate);
    QVERIFY2(when >= before && when <= QDateTime::currentDateTime().addSecs(1), qPrintable(iso.captured(1)));

    // A document ID of two 16-byte strings in the trailer, different for each file.
    const auto idOf = [](const QString& path) {
        QFile file(path);
        file.open(QIODevice::ReadOnly);
        return QRegularExpression("/ID \\[<([0-9A-F]{32})> <\\1>\\]")
            .match(QString::fromLatin1(file.readAll()))
            .captured(1);
    };
    QVERIFY(!idOf(form).isEmpty());
    QVERIFY(!idOf(labels).isEmpty() && idOf(labels) != idOf(form));
    // Content and fonts are compressed: a form job fits in well under the 42 kB it took
    // without.
    QVERIFY2(QFileInfo(form).size() < 30000, qPrintable(QString::number(QFileInfo(form).size())));
    QCOMPARE(testsupport::decodedSymbols(form),
             QStringList({"CODE-128:9214712345678900000015", "CODE-128:9290912345678900000019"}));
}

// Jobs that follow one another share the fonts and bar codes they have in common: each job
// still draws its own mailer, and the same mailer again draws the same page.
void TestPdfCanvas::jobsInTurnEachDrawTheirOwnMailer()
{
    PdfFolder folder;
    PdfJobCanvas canvas(folder.path());
    MailerPrintData first = sampleMailerPrintData();
    MailerPrintData second = first;
    second.recipientLines = {"Quill Vexby", "Zephyr Works", "88 Kiwi Jct", "", "Waxhaw, NC 28173-9876"};
    second.recipientZip = "28173-9876";
    second.serial = "0000002";
    for (const MailerPrintData* data : {&first, &second, &first})
        PrintMailerForm(canvas, mailerValues(*data), MailerLayout::Form);
    QCOMPARE(folder.files().size(), 3);
    const auto job = [&](int n) { return folder.path() + "/" + folder.files()[n]; };

    const QString text = runTool("pdftotext", {job(1), "-"});
    QVERIFY2(text.contains("QUILL VEXBY") || text.contains("Quill Vexby"), qPrintable(text));
    QVERIFY2(!text.contains("Jane Roe", Qt::CaseInsensitive), qPrintable(text));
    QVERIFY(testsupport::decodedSymbols(job(1)).contains("CODE-128:9214712345678900000022"));
    const QImage firstPage = rasterisePdf(job(0), 100);
    QCOMPARE(rasterisePdf(job(2), 100), firstPage);
    QVERIFY(rasterisePdf(job(1), 100) != firstPage);
    // The embedded subsets hold the glyphs of each job's own text.
    const auto fontPrograms = [](const QString& path) {
        QFile file(path);
        file.open(QIODevice::ReadOnly);
        const QByteArray bytes = file.readAll();
        QList<QByteArray> programs;
        static const QRegularExpression stream("/Length1 \\d+ /Filter /FlateDecode /Length (\\d+) >>\nstream\n");
        for (QRegularExpressionMatchIterator it = stream.globalMatch(QString::fromLatin1(bytes)); it.hasNext();) {
            const QRegularExpressionMatch m = it.next();
            programs << bytes.mid(m.capturedEnd(), m.captured(1).toInt());
        }
        return programs;
    };
    const QList<QByteArray> firstFonts = fontPrograms(job(0));
    QVERIFY(!firstFonts.isEmpty());
    QCOMPARE(fontPrograms(job(2)), firstFonts);
    for (const QByteArray& program : fontPrograms(job(1)))
        QVERIFY(!firstFonts.contains(program));
}

void TestPdfCanvas::bitmapsKeepTheirDotsOnEveryPage_data()
{
    // A 2 by 2 bitmap, row by row, true for black; the colour table may list either colour
    // first.
    QTest::addColumn<QImage::Format>("format");
    QTest::addColumn<bool>("blackFirst");
    QTest::addColumn<QList<bool>>("black");
    QTest::newRow("rows alike, as bar codes") << QImage::Format_Mono << false << QList<bool>{true, false, true, false};
    QTest::newRow("columns alike, as turned bar codes")
        << QImage::Format_MonoLSB << true << QList<bool>{true, true, false, false};
    QTest::newRow("every row its own") << QImage::Format_Mono << true << QList<bool>{true, false, false, true};
}

void TestPdfCanvas::bitmapsKeepTheirDotsOnEveryPage()
{
    QFETCH(QImage::Format, format);
    QFETCH(bool, blackFirst);
    QFETCH(QList<bool>, black);
    QImage bitmap(2, 2, format);
    bitmap.setColorTable(
        {blackFirst ? qRgb(0, 0, 0) : qRgb(255, 255, 255), blackFirst ? qRgb(255, 255, 255) : qRgb(0, 0, 0)});
    for (int i = 0; i < 4; ++i)
        bitmap.setPixel(i % 2, i / 2, black[i] == blackFirst ? 0 : 1);

    // The same bitmap twice on the first page and once on the second, each stretched to
    // 2 by 2 inches.
    PdfFolder folder;
    PdfJobCanvas canvas(folder.path());
    const QList<QList<QPoint>> placesByPage{{{600, 600}, {2400, 600}}, {{600, 3000}}};
    canvas.BeginDocument();
    for (const QList<QPoint>& places : placesByPage) {
        if (&places != &placesByPage.first())
            canvas.NewPage();
        for (const QPoint& place : places)
            canvas.DrawImage(place.x(), place.y(), 1200, 1200, bitmap);
    }
    canvas.EndDocument();

    QVERIFY(runTool("pdfinfo", {canvas.lastFile()}).contains(QRegularExpression("Pages:\\s+2\\n")));
    for (int page = 0; page < placesByPage.size(); ++page) {
        const QImage image = rasterisePdf(canvas.lastFile(), 100, page + 1);
        for (const QPoint& place : placesByPage[page]) {
            for (int i = 0; i < 4; ++i) {
                const QPoint centre = (place + QPoint(300 + 600 * (i % 2), 300 + 600 * (i / 2))) / 6;
                const int gray = qGray(image.pixel(centre));
                QVERIFY2(black[i] ? gray < 64 : gray > 192,
                         qPrintable(QString("page %1, dot %2 of the bitmap at %3,%4: gray %5")
                                        .arg(page + 1)
                                        .arg(i)
                                        .arg(place.x())
                                        .arg(place.y())
                                        .arg(gray)));
            }
        }
    }
}

void TestPdfCanvas::jobFilesSortInPrintOrder()
{
    PdfFolder folder;
    QFile earlier(folder.path() + "/print-00000041.pdf");
    QVERIFY(earlier.open(QIODevice::WriteOnly));
    earlier.close();
    PdfJobCanvas canvas(folder.path());
    QCOMPARE(canvas.lastFile(), QString());
    for (int job = 0; job < 2; ++job) {
        canvas.BeginDocument();
        canvas.SetFont("Arial", 8, 0);
        canvas.DrawText(600, 600, QString("job %1").arg(job));
        canvas.EndDocument();
    }
    QCOMPARE(canvas.lastFile(), folder.path() + "/print-00000043.pdf");
    // A job with nothing drawn, as after the last label of a sheet, writes no file.
    canvas.BeginDocument();
    canvas.EndDocument();
    QCOMPARE(folder.files(), QStringList({"print-00000041.pdf", "print-00000042.pdf", "print-00000043.pdf"}));
    QVERIFY(runTool("pdftotext", {canvas.lastFile(), "-"}).contains("job 1"));
}

void TestPdfCanvas::fileWrittenMeanwhileIsLeftAlone()
{
    PdfFolder folder;
    PdfJobCanvas canvas(folder.path());
    const auto printJob = [&canvas](const QString& text) {
        canvas.BeginDocument();
        canvas.SetFont("Arial", 8, 0);
        canvas.DrawText(600, 600, text);
        canvas.EndDocument();
    };
    printJob("first");
    // Another program writes into the folder after the canvas has read it, taking the
    // name of the next job among others.
    for (const QString name : {"print-00000002.pdf", "print-00000007.pdf"}) {
        QFile other(folder.path() + "/" + name);
        QVERIFY(other.open(QIODevice::WriteOnly));
        other.write("other");
    }
    printJob("second");

    QCOMPARE(canvas.lastFile(), folder.path() + "/print-00000008.pdf");
    QCOMPARE(folder.files(),
             QStringList({"print-00000001.pdf", "print-00000002.pdf", "print-00000007.pdf", "print-00000008.pdf"}));
    QFile other(folder.path() + "/print-00000002.pdf");
    QVERIFY(other.open(QIODevice::ReadOnly));
    QCOMPARE(other.readAll(), QByteArray("other"));
    QVERIFY(runTool("pdftotext", {canvas.lastFile(), "-"}).contains("second"));
    try {
        canvas.DrawLine(0, 0, 100, 100);
        QFAIL("drawing after the job went unnoticed");
    } catch (const PrintError& e) {
        QCOMPARE(QString(e.what()), QString("Drawing outside a print job."));
    }
}

void TestPdfCanvas::defaultFolderIsBesideTheProgram()
{
    testsupport::TempProgramFolder program;
    const testsupport::EnvironmentValue noPdfFolder("DOVRA_PDF_DIR");
    QCOMPARE(PdfJobCanvas::defaultFolder(), program.path() + "/Printed");
    PdfJobCanvas canvas(PdfJobCanvas::defaultFolder());
    canvas.BeginDocument();
    canvas.DrawLine(0, 0, 100, 100);
    canvas.EndDocument();
    QVERIFY(QFile::exists(program.path() + "/Printed/print-00000001.pdf"));
}

void TestPdfCanvas::unusableFolderIsReported()
{
    QTemporaryDir dir;
    QFile blocker(dir.filePath("taken"));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const QString folder = dir.filePath("taken/Printed");
    PdfJobCanvas canvas(folder);
    canvas.BeginDocument();
    try {
        canvas.DrawLine(0, 0, 100, 100);
        QFAIL("drawing into an unusable folder went unnoticed");
    } catch (const PrintError& e) {
        QCOMPARE(QString(e.what()), QString("The folder \"%1\" for printed files could not be created.").arg(folder));
    }
    canvas.EndDocument(); // nothing was started, so nothing to finish
}

QTEST_MAIN(TestPdfCanvas)
#include "test_pdfcanvas.moc"
