#include "canvas/PageCanvas.h"

#include <QFontMetricsF>

namespace {

const QString kOcrFamily = QStringLiteral("OCRA");

// OCR A Extended sets every character 0.6 em wide (ten to the inch at 12 points), and the
// layouts rely on it: each Mailer Number line spans its 2.5-inch bar code, a 40-character
// label line fits its label. The installed OCR-A face is wider per em, so it is set smaller
// by the ratio of the two pitches, keeping the OCR-A shapes undistorted.
double ocrSizeFactor()
{
    static const double factor = [] {
        QFont reference(kOcrFamily);
        reference.setPixelSize(1000);
        const double pitch = QFontMetricsF(reference).horizontalAdvance(QLatin1Char('0')) / 1000.0;
        return pitch > 0 ? 0.6 / pitch : 1.0;
    }();
    return factor;
}

} // namespace

QFont canvasFont(const QString& face, int points, int yDotsPerInch)
{
    const bool ocr = face.compare("OCR A Extended", Qt::CaseInsensitive) == 0;
    QFont font(ocr ? kOcrFamily : face);
    const int pixelHeight = fontPixelHeight(points, yDotsPerInch);
    font.setPixelSize(ocr ? qMax(1, qRound(pixelHeight * ocrSizeFactor())) : pixelHeight);
    font.setWeight(QFont::Normal);
    font.setItalic(false);
    font.setUnderline(false);
    font.setStrikeOut(false);
    font.setStyleStrategy(QFont::StyleStrategy(QFont::ForceOutline | QFont::PreferQuality));
    // Pages are drawn at printer resolution: grid-fitting the outlines buys nothing there
    // and costs the font interpreter on every glyph of every job.
    font.setHintingPreference(QFont::PreferNoHinting);
    return font;
}

int fontPixelHeight(int points, int yDotsPerInch)
{
    // points × dpi / 72, halves rounded away from zero.
    const long long product = static_cast<long long>(points) * yDotsPerInch;
    return static_cast<int>((2 * product + (product >= 0 ? 72 : -72)) / 144);
}

void PageCanvas::DrawTextAligned(int x, int y, const QString& text, TextAlignment alignment)
{
    switch (alignment) {
    case TextAlignment::Left:
        break;
    case TextAlignment::Center:
        x -= TextWidth(text) / 2;
        break;
    case TextAlignment::Right:
        x -= TextWidth(text);
        break;
    }
    DrawText(x, y, text);
}
