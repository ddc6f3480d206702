#include "printing/MailerForm.h"

#include "canvas/FontFaces.h"
#include "canvas/RecentCache.h"
#include "printing/TBarcodeBmp.h"

#include <QTextBoundaryFinder>
#include <algorithm>
#include <cmath>

void LabelPosition::advance()
{
    if (++col > 2) {
        col = 0;
        if (++row > 2)
            row = 0;
    }
}

namespace {

const QString kOcr = QStringLiteral("OCR A Extended");
const QString kArial = QStringLiteral("Arial");

struct FontChoice {
    QString face;
    int points = 0;
    int angle = 0;

    bool operator==(const FontChoice&) const = default;
};

const FontChoice kBaseFont{kArial, 8, 0};

// Halves go to the even neighbour: round(4.5) = 4.
int roundHalfEven(double value)
{
    const double below = std::floor(value);
    const double fraction = value - below;
    double result = below;
    if (fraction > 0.5 || (fraction == 0.5 && std::fmod(below, 2.0) != 0.0))
        result = below + 1;
    return static_cast<int>(result);
}

struct BarcodeRender {
    TBarcodeBmp::TBarCodeType type;
    bool interpret;
    int scale;
    int height;
    TBarcodeBmp::TbcRotate rotate;

    bool operator==(const BarcodeRender&) const = default;
};

// A mailer's bar codes are drawn twice when its proof copy is kept, and the sender's ZIP
// code is the same on every mailer of a run: the images of the last few are kept.
QImage renderBarcode(const BarcodeRender& how, const QString& text)
{
    static RecentCache<std::pair<BarcodeRender, QString>, QImage, 16> recent;
    return recent.get({how, text}, [&] {
        TBarcodeBmp barcode;
        barcode.setBarcodeType(how.type);
        barcode.setInterpret(how.interpret);
        barcode.setScale(how.scale);
        barcode.setHeight(how.height);
        barcode.setRotate(how.rotate);
        barcode.setBarcodeText(text);
        return barcode.bitmap();
    });
}

// Positions on the sheet in inches from its top-left corner, turned into printer dots of the
// printable area and shifted by the alignment offsets; the font in use is remembered so that
// it is selected only when it changes.
class Sheet {
public:
    Sheet(PageCanvas& canvas, const MailerValues& values)
        : canvas_(canvas), dpi_(canvas.DotsPerInch()), leftRight_(values.leftRight), topBottom_(values.topBottom)
    {
        const QPoint offset = canvas.PrintableOffset();
        offsetX_ = static_cast<double>(offset.x()) / dpi_.x;
        offsetY_ = static_cast<double>(offset.y()) / dpi_.y;
    }

    const Resolution& dpi() const { return dpi_; }
    PageCanvas& canvas() { return canvas_; }

    int X(double inches) const { return 3 * leftRight_ + static_cast<int>(std::trunc((inches - offsetX_) * dpi_.x)); }
    int Y(double inches) const { return 3 * topBottom_ + static_cast<int>(std::trunc((inches - offsetY_) * dpi_.y)); }

    void selectBaseFont()
    {
        canvas_.SetFont(kBaseFont.face, kBaseFont.points, kBaseFont.angle);
        current_ = kBaseFont;
    }

    void use(const FontChoice& font)
    {
        if (font != current_) {
            canvas_.SetFont(font.face, font.points, font.angle);
            current_ = font;
        }
    }

    void text(const FontChoice& font, double x, double y, const QString& text)
    {
        use(font);
        canvas_.DrawText(X(x), Y(y), text);
    }

    // Lines of the mailer's own text, each at its place (x, y in inches) with the room the
    // places have: the length along the text from the place, in inches, up to the edge of the
    // printable area. Lines too long for it set the lines, all alike, in a smaller size, down
    // to the smallest legible size of the face; a line that does not fit even then is cut at
    // the last character that fits.
    void fittedLines(const FontChoice& font, const QList<QPointF>& places, double room, const QStringList& texts)
    {
        QList<int> rooms;
        for (const QPointF& place : places)
            rooms.append(roomInDots(font.angle, place.x(), place.y(), room));
        FontChoice size = font;
        const auto allFit = [&] {
            use(size);
            for (qsizetype i = 0; i < texts.size(); ++i)
                if (canvas_.TextWidth(texts[i]) > rooms[i])
                    return false;
            return true;
        };
        while (!allFit() && size.points > smallestLegible(font.face))
            --size.points;
        for (qsizetype i = 0; i < texts.size(); ++i) {
            const QString& text = texts[i];
            canvas_.DrawText(X(places[i].x()), Y(places[i].y()),
                             canvas_.TextWidth(text) <= rooms[i] ? text : longestStartThatFits(text, rooms[i]));
        }
    }

    void fitted(const FontChoice& font, double x, double y, double room, const QString& text)
    {
        fittedLines(font, {QPointF(x, y)}, room, {text});
    }

    // Turned by 180 degrees, the text lies left of its reference point; putting that point one
    // text width right of x makes the text cover the sheet from x onward.
    void amountFrom(const FontChoice& font, double x, double y, const QString& amount)
    {
        use(font);
        canvas_.DrawText(X(x) + canvas_.TextWidth(amount), Y(y), amount);
    }

    void image(double x, double y, int width, int height, const QImage& image)
    {
        canvas_.DrawImage(X(x), Y(y), width, height, image);
    }

private:
    static int smallestLegible(const QString& face) { return face == kOcr ? 6 : 4; }

    // The room in dots, kept on the printable area: text turned by 180 degrees runs towards
    // its left edge, text at 270 degrees towards its bottom edge.
    int roomInDots(int angle, double x, double y, double room) const
    {
        if (angle == 2700)
            return std::min(Y(y + room), canvas_.PageSize().height()) - Y(y);
        return X(x) - std::max(X(x - room), 0);
    }

    // The longest start of the text, cut between characters as a reader sees them, that
    // fits the room in the font in use.
    QString longestStartThatFits(const QString& text, int roomDots) const
    {
        QTextBoundaryFinder boundaries(QTextBoundaryFinder::Grapheme, text);
        QString fitting;
        for (qsizetype end = boundaries.toNextBoundary(); end > 0; end = boundaries.toNextBoundary()) {
            if (canvas_.TextWidth(text.left(end)) > roomDots)
                break;
            fitting = text.left(end);
        }
        return fitting;
    }

    PageCanvas& canvas_;
    Resolution dpi_;
    int leftRight_;
    int topBottom_;
    double offsetX_ = 0;
    double offsetY_ = 0;
    FontChoice current_;
};

// The Mailer Number symbol: Code 128 without a human-readable line, 15/1000 inch a module.
QImage mailerNumberImage(const Sheet& sheet, const QString& number, double heightInches, TBarcodeBmp::TbcRotate rotate)
{
    const BarcodeRender how{TBarcodeBmp::bcCode128, false, roundHalfEven(sheet.dpi().x * 15 / 1000.0),
                            roundHalfEven(sheet.dpi().y * heightInches), rotate};
    return renderBarcode(how, number);
}

int mailerNumberLength(const Sheet& sheet)
{
    return roundHalfEven(sheet.dpi().x * 2.5);
}

using Lines = MailerValues::Lines;
using LineSpots = std::array<double, 5>;

void formNumberBlock(Sheet& sheet, const MailerValues& values)
{
    const int length = mailerNumberLength(sheet);
    const QImage fullT = mailerNumberImage(sheet, values.numberT, 0.75, TBarcodeBmp::bcRotate180);
    const QImage fullF = mailerNumberImage(sheet, values.numberF, 0.75, TBarcodeBmp::bcNoRotate);
    const QImage smallT = mailerNumberImage(sheet, values.numberT, 0.4, TBarcodeBmp::bcRotate180);
    const QImage smallF = mailerNumberImage(sheet, values.numberF, 0.4, TBarcodeBmp::bcNoRotate);
    sheet.image(0.62, 4.1, length, fullT.height(), fullT);
    sheet.image(4.7, 5.0, length, fullF.height(), fullF);
    sheet.image(2.4, 2.06, length, smallT.height(), smallT);
    sheet.image(2.4, 0.4, length, smallF.height(), smallF);

    const QString& groupedT = values.groupedT;
    const QString& groupedF = values.groupedF;
    const FontChoice ocr11{kOcr, 11, 1800};
    sheet.text(ocr11, 3.08, 4.02, groupedT);
    sheet.text(ocr11, 7.2, 4.92, groupedF);
    sheet.text(ocr11, 4.9, 1.98, groupedT);
    sheet.text(ocr11, 4.9, 0.35, groupedF);
    sheet.text({kOcr, 10, 1800}, 4.55, 2.8, groupedT);
    sheet.text({kOcr, 10, 2700}, 7.91, 3.8, groupedT);
    sheet.text({kOcr, 8, 2700}, 8.1, 1.56, groupedT);
    sheet.text({kArial, 6, 1800}, 1.47, 3.17, groupedT);
}

void formZipBarcodes(Sheet& sheet, const MailerValues& values)
{
    const BarcodeRender how{TBarcodeBmp::bcPOSTNET, true, roundHalfEven(sheet.dpi().x * 23 / 1000.0),
                            roundHalfEven(sheet.dpi().y * 0.14), TBarcodeBmp::bcRotate180};
    const QImage sender = renderBarcode(how, values.senderZip.digits);
    sheet.image(values.senderZip.wide ? 4.5 : 5.3, 3.55, sender.width(), sender.height(), sender);

    if (values.recipientZip) {
        const QImage recipient = renderBarcode(how, values.recipientZip->digits);
        sheet.image(values.recipientZip->wide ? 0.15 : 1.08, 5.63, recipient.width(), recipient.height(), recipient);
    }
}

// The room of each line of the mailer's own text, in inches along the text: up to the
// nearest other text, bar code or sheet edge the line would otherwise run into.
namespace room {
constexpr double kSenderTop = 2.75;         // towards the sender's lines turned a quarter
constexpr double kSenderSide = 2.95;        // towards the number under the return receipt's bar code
constexpr double kRecipientTop = 4.25;      // towards the extra label
constexpr double kRecipientReceipt = 3.4;   // towards the receipt's captions
constexpr double kExtraLabel = 2.7;         // towards the sheet's edge
constexpr double kSenderTurned = 2.15;      // towards the recipient's lines
constexpr double kReAndCommentTurned = 7.1; // towards the sheet's edge
constexpr double kReceipt = 1.35;           // towards the sheet's edge
constexpr double kLabel = 3.0;              // towards the next label
} // namespace room

void formTextBlock(Sheet& sheet, const MailerValues& values)
{
    const auto lines = [&sheet](const FontChoice& font, double x, const LineSpots& ys, double room,
                                const Lines& texts) {
        QList<QPointF> places;
        for (const double y : ys)
            places.append(QPointF(x, y));
        sheet.fittedLines(font, places, room, QStringList(texts.begin(), texts.end()));
    };
    const Lines& sender = values.senderCapitals;
    const Lines& recipient = values.recipientCapitals;
    const QString& re = values.reLine;

    const FontChoice ocr180{kOcr, 10, 1800};
    lines(ocr180, 7.1, {4.5, 4.35, 4.2, 4.05, 3.9}, room::kSenderTop, sender);
    lines(ocr180, 7.55, {3.45, 3.3, 3.15, 3.0, 2.85}, room::kSenderSide, sender);
    lines(ocr180, 7.1, {6.7, 6.55, 6.4, 6.25, 6.1}, room::kRecipientTop, recipient);
    lines(ocr180, 4.9, {1.45, 1.3, 1.15, 1.0, 0.85}, room::kRecipientReceipt, recipient);
    if (values.extraLabel)
        lines(ocr180, 2.8, {6.6, 6.45, 6.3, 6.15, 6.0}, room::kExtraLabel, *values.extraLabel);
    sheet.fitted(ocr180, 7.1, 4.72, room::kSenderTop, re);

    const FontChoice ocr270{kOcr, 10, 2700};
    const LineSpots senderXs{4.3, 4.15, 4.0, 3.85, 3.7};
    QList<QPointF> senderTurned;
    for (const double x : senderXs)
        senderTurned.append(QPointF(x, 3.8));
    sheet.fittedLines(ocr270, senderTurned, room::kSenderTurned, QStringList(sender.begin(), sender.end()));
    sheet.fitted(ocr270, 8.21, 3.8, room::kReAndCommentTurned, re);
    sheet.fitted(ocr270, 8.06, 3.8, room::kReAndCommentTurned, values.comment);

    const FontChoice small{kArial, 6, 1800};
    sheet.fitted(small, 1.45, 2.88, room::kReceipt, values.receiptSender);
    sheet.fitted(small, 1.45, 2.78, room::kReceipt, re);
    sheet.fitted(small, 1.45, 2.68, room::kReceipt, values.comment);
    if (!values.departmentLine.isEmpty())
        sheet.fitted(small, 1.45, 2.58, room::kReceipt, values.departmentLine);
    if (!values.processedByLine.isEmpty())
        sheet.fitted(small, 1.45, 2.48, room::kReceipt, values.processedByLine);
    lines(small, 1.45, {2.13, 2.03, 1.93, 1.83, 1.73}, room::kReceipt, values.receiptRecipient);
    const std::array<double, 4> feeYs{1.43, 1.33, 1.23, 1.13};
    for (int i = 0; i < 4; ++i)
        sheet.amountFrom(small, 0.3, feeYs[i], values.fees[i]);
    const std::array<QString, 4> captions{"Postage", "Certified Fee", "Return Receipt", "Restricted"};
    for (int i = 0; i < 4; ++i)
        sheet.text(small, 1.45, feeYs[i], captions[i]);

    const FontChoice caption{kArial, 8, 1800};
    sheet.text(caption, 1.3, 3.3, "RECEIPT");
    sheet.text(caption, 1.4, 3.02, "FROM:");
    sheet.text(caption, 1.4, 2.28, "SEND TO:");
    sheet.text(caption, 1.4, 1.58, "FEES:");
    sheet.text(caption, 1.4, 0.98, "TOTAL");
    sheet.text(caption, 1.4, 0.78, "POSTMARK OR DATE");
    sheet.amountFrom(caption, 0.3, 0.98, values.totalLine);
}

void labelNumberBlock(Sheet& sheet, const MailerValues& values, double a, double b)
{
    const QImage image = mailerNumberImage(sheet, values.numberT, 0.75, TBarcodeBmp::bcRotate90);
    sheet.image(6.1 - a, b + 0.5, roundHalfEven(sheet.dpi().y * 0.75), mailerNumberLength(sheet), image);
    sheet.text({kOcr, 11, 2700}, 6.0 - a, b + 0.6, values.groupedT);
    sheet.text({kOcr, 8, 2700}, 8.1 - a, b + 0.6, values.groupedT);
}

void labelTextBlock(Sheet& sheet, const MailerValues& values, double a, double b)
{
    const FontChoice ocr8{kOcr, 8, 2700};
    sheet.fittedLines(ocr8, {QPointF(8.0 - a, b + 0.5), QPointF(7.9 - a, b + 0.5)}, room::kLabel,
                      {values.labelLines[0], values.labelLines[1]});
}

// Draws the mailer on the page under way.
void drawMailer(PageCanvas& canvas, const MailerValues& values, MailerLayout layout, LabelPosition position)
{
    const bool form = layout == MailerLayout::Form;
    Sheet sheet(canvas, values);
    sheet.selectBaseFont();

    // The label's place on its sheet, in inches.
    const double a = 2.75 * position.row;
    const double b = 3.7 * position.col;

    if (values.numberBlock) {
        if (form)
            formNumberBlock(sheet, values);
        else
            labelNumberBlock(sheet, values, a, b);
    }
    if (form) {
        formZipBarcodes(sheet, values);
        formTextBlock(sheet, values);
    } else {
        labelTextBlock(sheet, values, a, b);
    }
    sheet.selectBaseFont();
    canvas.AddToJobTitle(values.numberT);
}

// One page as a print job of its own; a page whose drawing fails is taken back, since its
// number was never recorded and no paper may carry it.
template <typename Draw> void printOwnJob(PageCanvas& canvas, Draw draw)
{
    canvas.BeginDocument();
    try {
        draw();
    } catch (...) {
        canvas.AbortDocument();
        throw;
    }
    canvas.EndDocument();
}

} // namespace

void PrintFormNumberBlock(PageCanvas& canvas, const MailerValues& values)
{
    printOwnJob(canvas, [&] {
        Sheet sheet(canvas, values);
        sheet.selectBaseFont();
        formNumberBlock(sheet, values);
        sheet.selectBaseFont();
    });
}

void DrawMailerOnPage(PageCanvas& canvas, const MailerValues& values, MailerLayout layout, LabelPosition position)
{
    drawMailer(canvas, values, layout, position);
}

void PrintMailerForm(PageCanvas& canvas, const MailerValues& values, MailerLayout layout, LabelPosition position)
{
    if (layout == MailerLayout::Form) {
        printOwnJob(canvas, [&] { drawMailer(canvas, values, layout, position); });
        return;
    }
    drawMailer(canvas, values, layout, position);
    if (position.lastOnSheet()) {
        canvas.EndDocument();
        canvas.BeginDocument();
    }
}

QList<UnprintableLine> unprintableLines(const MailerPrintData& data, MailerLayout layout)
{
    // Printers differ in resolution, not in the faces that have a character.
    constexpr int kDotsPerInch = 600;
    const QFont ocr = canvasFont(kOcr, 10, kDotsPerInch);
    const QFont small = canvasFont(kArial, 6, kDotsPerInch);
    QList<std::pair<QString, QString>> printed;
    const bool form = layout == MailerLayout::Form;
    for (int i = 0; i < (form ? 5 : 2); ++i)
        printed.append({QStringLiteral("Recipient line %1").arg(i + 1), data.recipientLines[i]});
    if (form) {
        for (int i = 0; i < 5; ++i)
            printed.append({QStringLiteral("Sender line %1").arg(i + 1), data.senderLines[i]});
        printed.append({QStringLiteral("RE"), data.re});
        printed.append({QStringLiteral("Comment"), data.comment});
        if (data.department != "-1")
            printed.append({QStringLiteral("Department"), data.department});
        if (data.processedBy != "-1")
            printed.append({QStringLiteral("Processed By"), data.processedBy});
    }
    QList<UnprintableLine> found;
    for (const auto& [line, text] : printed) {
        // The form prints most lines in capitals in the OCR face and some as they are in the
        // small face; the label only the former, as typed.
        QString missing = charactersWithoutFace(form ? capitals(text) : text, ocr);
        if (form) {
            for (const char32_t c : charactersWithoutFace(text, small).toUcs4()) {
                const QString character = QString::fromUcs4(&c, 1);
                if (!missing.contains(character))
                    missing += character;
            }
        }
        if (!missing.isEmpty())
            found.append({line, missing});
    }
    return found;
}

QString unprintableLinesQuestion(const QList<UnprintableLine>& lines)
{
    if (lines.isEmpty())
        return {};
    QStringList listed;
    // The screen may lack the face as well: each character is also named by its number.
    for (const UnprintableLine& line : lines) {
        QStringList numbers;
        for (const char32_t c : line.characters.toUcs4())
            numbers.append(QStringLiteral("U+%1").arg(uint(c), 4, 16, QLatin1Char('0')).toUpper());
        // On a line of their own: a character of a script without a face draws the blanks and
        // brackets next to it as boxes too.
        listed.append(line.line + ": " + line.characters + "\n(" + numbers.join(' ') + ")");
    }
    return QStringLiteral("These characters cannot be printed with the fonts installed on this computer; a mark "
                          "stands in for each of them:\n\n%1\n\nPrint anyway?")
        .arg(listed.join('\n'));
}
