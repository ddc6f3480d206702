#include "canvas/LandscapeCanvas.h"

#include <QTransform>

LandscapeCanvas::LandscapeCanvas(PageCanvas& portrait) : portrait_(portrait) {}

Resolution LandscapeCanvas::DotsPerInch() const
{
    const Resolution r = portrait_.DotsPerInch();
    return {r.y, r.x};
}

QPoint LandscapeCanvas::PrintableOffset() const
{
    const QPoint o = portrait_.PrintableOffset();
    return {o.y(), o.x()};
}

QSize LandscapeCanvas::PageSize() const
{
    return portrait_.PageSize().transposed();
}

QPoint LandscapeCanvas::onPortrait(int x, int y) const
{
    // Landscape x runs down the portrait sheet, landscape y from its right edge leftward.
    return {portrait_.PageSize().width() - y, x};
}

void LandscapeCanvas::SetFont(const QString& face, int points, int angle)
{
    portrait_.SetFont(face, points, (angle + 2700) % 3600);
}

void LandscapeCanvas::DrawText(int x, int y, const QString& text)
{
    const QPoint p = onPortrait(x, y);
    portrait_.DrawText(p.x(), p.y(), text);
}

void LandscapeCanvas::DrawImage(int x, int y, int width, int height, const QImage& image)
{
    // The image's top-left corner lands at the portrait rectangle's top-right one.
    const QPoint corner = onPortrait(x, y + height);
    portrait_.DrawImage(corner.x(), corner.y(), height, width, image.transformed(QTransform().rotate(90)));
}

void LandscapeCanvas::DrawLine(int x1, int y1, int x2, int y2)
{
    const QPoint a = onPortrait(x1, y1), b = onPortrait(x2, y2);
    portrait_.DrawLine(a.x(), a.y(), b.x(), b.y());
}

void LandscapeCanvas::FillRect(int x1, int y1, int x2, int y2)
{
    const QPoint a = onPortrait(x1, y1), b = onPortrait(x2, y2);
    portrait_.FillRect(a.x(), a.y(), b.x(), b.y());
}
