// A page canvas that draws nothing and logs every operation with its dots, so that tests
// can see where a layout puts each piece. Text metrics are fixed-pitch and known in advance:
// a character is half the character height wide, and a cell is the character height high.
#pragma once

#include "canvas/PageCanvas.h"

#include <QList>

struct CanvasOp {
    enum Kind { BeginDocument, EndDocument, NewPage, SetFont, DrawText, DrawImage, DrawLine, FillRect, AbortDocument };
    Kind kind;
    int x = 0, y = 0;          // DrawText, DrawImage; the first corner of DrawLine and FillRect
    int x2 = 0, y2 = 0;        // the second corner of DrawLine and FillRect
    int width = 0, height = 0; // the rectangle of DrawImage
    QString text;              // DrawText
    QString face;              // SetFont, and the font in use for DrawText
    int points = 0;
    int angle = 0;
    QImage image; // DrawImage, as handed over

    // One line for test failure messages, such as "DrawText 2550,450 OCR A Extended/10/1800 \"RE: X\"".
    QString toString() const;
};

class RecordingCanvas : public PageCanvas {
public:
    // The printable area is a Letter sheet less the offset on every side.
    explicit RecordingCanvas(Resolution dotsPerInch = {600, 600}, QPoint printableOffset = QPoint());

    void BeginDocument() override;
    void EndDocument() override;
    void AbortDocument() override;
    void NewPage() override;
    Resolution DotsPerInch() const override { return dotsPerInch_; }
    QPoint PrintableOffset() const override { return printableOffset_; }
    QSize PageSize() const override;
    void SetFont(const QString& face, int points, int angle) override;
    void DrawText(int x, int y, const QString& text) override;
    int TextWidth(const QString& text) const override;
    int TextHeight(const QString& text) const override;
    void DrawImage(int x, int y, int width, int height, const QImage& image) override;
    void DrawLine(int x1, int y1, int x2, int y2) override;
    void FillRect(int x1, int y1, int x2, int y2) override;

    const QList<CanvasOp>& ops() const { return ops_; }
    QList<CanvasOp> ops(CanvasOp::Kind kind) const;
    // Every operation's toString(), one a line.
    QString log() const;
    void clear() { ops_.clear(); }

private:
    CanvasOp& record(CanvasOp::Kind kind);
    void recordCorners(CanvasOp::Kind kind, int x1, int y1, int x2, int y2);

    Resolution dotsPerInch_;
    QPoint printableOffset_;
    QString face_ = QStringLiteral("Arial");
    int points_ = 8;
    int angle_ = 0;
    QList<CanvasOp> ops_;
};
