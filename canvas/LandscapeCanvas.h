// A landscape page on a canvas whose sheets are portrait (the PDF print jobs): everything
// drawn is turned a quarter turn, the landscape page's top running down the portrait
// sheet's right edge, as a printer feeds a landscape job.
#pragma once

#include "canvas/PageCanvas.h"

class LandscapeCanvas : public PageCanvas {
public:
    // The portrait canvas stays the caller's and must outlive this one.
    explicit LandscapeCanvas(PageCanvas& portrait);

    void BeginDocument() override { portrait_.BeginDocument(); }
    void EndDocument() override { portrait_.EndDocument(); }
    void AbortDocument() override { portrait_.AbortDocument(); }
    void NewPage() override { portrait_.NewPage(); }
    Resolution DotsPerInch() const override;
    QPoint PrintableOffset() const override;
    QSize PageSize() const override;
    // Text at angle a here runs at a + 270 degrees on the portrait sheet; reports use 0.
    void SetFont(const QString& face, int points, int angle) override;
    void DrawText(int x, int y, const QString& text) override;
    int TextWidth(const QString& text) const override { return portrait_.TextWidth(text); }
    int TextHeight(const QString& text) const override { return portrait_.TextHeight(text); }
    void DrawImage(int x, int y, int width, int height, const QImage& image) override;
    void DrawLine(int x1, int y1, int x2, int y2) override;
    void FillRect(int x1, int y1, int x2, int y2) override;

private:
    // A landscape point of the printable area on the portrait canvas.
    QPoint onPortrait(int x, int y) const;

    PageCanvas& portrait_;
};
