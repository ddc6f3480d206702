// The page canvas: the few drawing operations through which forms, labels and reports reach
// the paper. Positions are printer dots of the printable area, origin at its top-left corner,
// x to the right, y downward.
#pragma once

#include "core/PrintError.h"

#include <QFont>
#include <QImage>
#include <QPoint>
#include <QSize>
#include <QString>

// Horizontal and vertical resolution in dots per inch.
struct Resolution {
    int x = 0;
    int y = 0;
};

enum class TextAlignment { Left, Center, Right };

// The font the canvas selects for a face name, size in points and resolution: regular weight,
// outlines only, character height (not cell height) of size points at yDotsPerInch. "OCR A
// Extended", the font the forms were laid out for, is mapped to the OCR-A face installed here
// (family "OCRA", which fontconfig does not alias), sized to the same 0.6 em character pitch.
QFont canvasFont(const QString& face, int points, int yDotsPerInch);
// Character height in dots of a font of the given size, rounded as the printer driver does.
int fontPixelHeight(int points, int yDotsPerInch);

class PageCanvas {
public:
    virtual ~PageCanvas() = default;

    // Starts a print job on the canvas's printer and opens its first page.
    virtual void BeginDocument() = 0;
    // Closes the current page and finishes the job.
    virtual void EndDocument() = 0;
    // Drops the job begun: nothing drawn since BeginDocument reaches the paper, so that a
    // form whose drawing failed part-way leaves no half-printed Mailer Number behind.
    virtual void AbortDocument() = 0;
    // Closes the current page and opens the next one in the same job.
    virtual void NewPage() = 0;
    // Adds a Mailer Number to the title of the job begun, for canvases whose jobs keep one.
    virtual void AddToJobTitle(const QString& number) { Q_UNUSED(number); }

    virtual Resolution DotsPerInch() const = 0;
    // Dots from the sheet's left and top edges to the printable area.
    virtual QPoint PrintableOffset() const = 0;
    // Width and height of the printable area in dots.
    virtual QSize PageSize() const = 0;

    // Selects the font for the following text: face name, size in points, and the angle the
    // text runs at, in tenths of a degree counter-clockwise from the x axis (0, 1800, 2700).
    // Text is black.
    virtual void SetFont(const QString& face, int points, int angle) = 0;
    // Draws text with (x, y) the top-left corner of its cell in the text's own frame: at 0
    // the text lies right of and below the point, at 1800 left of and above it, at 2700 it
    // runs downward and lies left of it. The cell is painted white first.
    virtual void DrawText(int x, int y, const QString& text) = 0;
    // DrawText for angle 0 with the text's left end, centre or right end at x.
    void DrawTextAligned(int x, int y, const QString& text, TextAlignment alignment);
    // Advance width along the base line and cell height, in dots, with the current font.
    virtual int TextWidth(const QString& text) const = 0;
    virtual int TextHeight(const QString& text) const = 0;

    // Draws a black-and-white image stretched to the rectangle at (x, y); white pixels paint
    // white.
    virtual void DrawImage(int x, int y, int width, int height, const QImage& image) = 0;
    // A thin black line, and a black rectangle filled between two corners.
    virtual void DrawLine(int x1, int y1, int x2, int y2) = 0;
    virtual void FillRect(int x1, int y1, int x2, int y2) = 0;
};
