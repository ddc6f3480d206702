#include "canvas/RecordingCanvas.h"

QString CanvasOp::toString() const
{
    static const char* const names[] = {"BeginDocument", "EndDocument", "NewPage",  "SetFont",      "DrawText",
                                        "DrawImage",     "DrawLine",    "FillRect", "AbortDocument"};
    const QString name = QString::fromLatin1(names[kind]);
    const QString font = QStringLiteral("%1/%2/%3").arg(face).arg(points).arg(angle);
    switch (kind) {
    case SetFont:
        return name + " " + font;
    case DrawText:
        return QStringLiteral("%1 %2,%3 %4 \"%5\"").arg(name).arg(x).arg(y).arg(font, text);
    case DrawImage:
        return QStringLiteral("%1 %2,%3 %4x%5 from %6x%7")
            .arg(name)
            .arg(x)
            .arg(y)
            .arg(width)
            .arg(height)
            .arg(image.width())
            .arg(image.height());
    case DrawLine:
    case FillRect:
        return QStringLiteral("%1 %2,%3 %4,%5").arg(name).arg(x).arg(y).arg(x2).arg(y2);
    default:
        return name;
    }
}

RecordingCanvas::RecordingCanvas(Resolution dotsPerInch, QPoint printableOffset)
    : dotsPerInch_(dotsPerInch), printableOffset_(printableOffset)
{
}

QSize RecordingCanvas::PageSize() const
{
    return QSize(dotsPerInch_.x * 17 / 2 - 2 * printableOffset_.x(), dotsPerInch_.y * 11 - 2 * printableOffset_.y());
}

CanvasOp& RecordingCanvas::record(CanvasOp::Kind kind)
{
    CanvasOp op{kind};
    op.face = face_;
    op.points = points_;
    op.angle = angle_;
    ops_.append(op);
    return ops_.last();
}

void RecordingCanvas::BeginDocument()
{
    record(CanvasOp::BeginDocument);
}
void RecordingCanvas::EndDocument()
{
    record(CanvasOp::EndDocument);
}
void RecordingCanvas::AbortDocument()
{
    record(CanvasOp::AbortDocument);
}
void RecordingCanvas::NewPage()
{
    record(CanvasOp::NewPage);
}

void RecordingCanvas::SetFont(const QString& face, int points, int angle)
{
    face_ = face;
    points_ = points;
    angle_ = angle;
    record(CanvasOp::SetFont);
}

void RecordingCanvas::DrawText(int x, int y, const QString& text)
{
    CanvasOp& op = record(CanvasOp::DrawText);
    op.x = x;
    op.y = y;
    op.text = text;
}

int RecordingCanvas::TextWidth(const QString& text) const
{
    return text.size() * (fontPixelHeight(points_, dotsPerInch_.y) / 2);
}

int RecordingCanvas::TextHeight(const QString&) const
{
    return fontPixelHeight(points_, dotsPerInch_.y);
}

void RecordingCanvas::DrawImage(int x, int y, int width, int height, const QImage& image)
{
    CanvasOp& op = record(CanvasOp::DrawImage);
    op.x = x;
    op.y = y;
    op.width = width;
    op.height = height;
    op.image = image;
}

void RecordingCanvas::DrawLine(int x1, int y1, int x2, int y2)
{
    recordCorners(CanvasOp::DrawLine, x1, y1, x2, y2);
}

void RecordingCanvas::FillRect(int x1, int y1, int x2, int y2)
{
    recordCorners(CanvasOp::FillRect, x1, y1, x2, y2);
}

void RecordingCanvas::recordCorners(CanvasOp::Kind kind, int x1, int y1, int x2, int y2)
{
    CanvasOp& op = record(kind);
    op.x = x1;
    op.y = y1;
    op.x2 = x2;
    op.y2 = y2;
}

QList<CanvasOp> RecordingCanvas::ops(CanvasOp::Kind kind) const
{
    QList<CanvasOp> found;
    for (const CanvasOp& op : ops_)
        if (op.kind == kind)
            found.append(op);
    return found;
}

QString RecordingCanvas::log() const
{
    QStringList lines;
    for (const CanvasOp& op : ops_)
        lines.append(op.toString());
    return lines.join('\n');
}
