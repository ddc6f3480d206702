#include "printing/PageCanvas.h"

QFont canvasFont(const QString& face, int points, int yDotsPerInch)
{
    QFont font(face.compare("OCR A Extended", Qt::CaseInsensitive) == 0 ? QStringLiteral("OCRA") : face);
    font.setPixelSize(fontPixelHeight(points, yDotsPerInch));
    font.setWeight(QFont::Normal);
    font.setItalic(false);
    font.setUnderline(false);
    font.setStrikeOut(false);
    font.setStyleStrategy(QFont::StyleStrategy(QFont::ForceOutline | QFont::PreferQuality));
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
