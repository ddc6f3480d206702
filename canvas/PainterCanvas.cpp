#include "canvas/PainterCanvas.h"

#include <QPrinterInfo>

PainterCanvas::PainterCanvas(QPrinter& printer) : printer_(&printer) {}

PainterCanvas::PainterCanvas(std::unique_ptr<QPrinter> ownPrinter)
    : ownPrinter_(std::move(ownPrinter)), printer_(ownPrinter_.get())
{
}

PainterCanvas::~PainterCanvas()
{
    if (painter_.isActive())
        painter_.end();
}

void PainterCanvas::BeginDocument()
{
    if (jobOpen_)
        EndDocument();
    jobOpen_ = true;
}

void PainterCanvas::EndDocument()
{
    jobOpen_ = false;
    if (painter_.isActive() && !painter_.end())
        throw PrintError(QStringLiteral("The print job could not be finished."));
}

void PainterCanvas::AbortDocument()
{
    jobOpen_ = false;
    if (painter_.isActive()) {
        printer_->abort();
        painter_.end();
    }
}

void PainterCanvas::NewPage()
{
    painter();
    if (!printer_->newPage())
        throw PrintError(QStringLiteral("The printer could not start a new page."));
}

QPainter& PainterCanvas::painter()
{
    if (painter_.isActive())
        return painter_;
    if (!jobOpen_)
        throw PrintError(QStringLiteral("Drawing outside a print job."));
    if (!painter_.begin(printer_)) {
        jobOpen_ = false;
        const QString target =
            printer_->outputFileName().isEmpty() ? printer_->printerName() : printer_->outputFileName();
        throw PrintError(QStringLiteral("The print job could not be started on \"%1\".").arg(target));
    }
    return painter_;
}

QRect PainterCanvas::paintRect() const
{
    return printer_->pageLayout().paintRectPixels(printer_->resolution());
}

Resolution PainterCanvas::DotsPerInch() const
{
    return {printer_->logicalDpiX(), printer_->logicalDpiY()};
}

QPoint PainterCanvas::PrintableOffset() const
{
    return paintRect().topLeft();
}

QSize PainterCanvas::PageSize() const
{
    return paintRect().size();
}

void PainterCanvas::SetFont(const QString& face, int points, int angle)
{
    font_ = canvasFont(face, points, DotsPerInch().y);
    angle_ = angle;
    metrics_.emplace(font_, printer_);
}

void PainterCanvas::DrawText(int x, int y, const QString& text)
{
    QPainter& p = painter();
    const QFontMetrics metrics = metrics_ ? *metrics_ : QFontMetrics(font_, printer_);
    p.save();
    p.translate(x, y);
    p.rotate(-angle_ / 10.0);
    p.fillRect(QRect(0, 0, metrics.horizontalAdvance(text), metrics.ascent() + metrics.descent()), Qt::white);
    p.setFont(font_);
    p.setPen(Qt::black);
    p.drawText(0, metrics.ascent(), text);
    p.restore();
}

int PainterCanvas::TextWidth(const QString& text) const
{
    return (metrics_ ? *metrics_ : QFontMetrics(font_, printer_)).horizontalAdvance(text);
}

int PainterCanvas::TextHeight(const QString&) const
{
    const QFontMetrics metrics = metrics_ ? *metrics_ : QFontMetrics(font_, printer_);
    return metrics.ascent() + metrics.descent();
}

namespace {

// Qt's PDF writer keeps a one-bit image as one bit only when its colour table is
// [black, white]; any other table is widened to colour and may be stored as JPEG, which
// blurs bar edges. The same picture with the table reordered and the bits inverted.
QImage pageBitmap(const QImage& image)
{
    if (image.depth() != 1)
        return image;
    QImage bitmap = image.convertToFormat(QImage::Format_Mono);
    if (bitmap.colorCount() == 2 && qGray(bitmap.color(0)) > qGray(bitmap.color(1))) {
        bitmap.invertPixels();
        bitmap.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
    }
    return bitmap;
}
} // namespace

void PainterCanvas::DrawImage(int x, int y, int width, int height, const QImage& image)
{
    QPainter& p = painter();
    const QRect target(x, y, width, height);
    // A one-bit image may reach the page as a stencil that paints black only; the white
    // background makes it opaque either way.
    p.fillRect(target, Qt::white);
    p.drawImage(target, pageBitmap(image));
}

void PainterCanvas::DrawLine(int x1, int y1, int x2, int y2)
{
    QPainter& p = painter();
    p.setPen(QPen(Qt::black, 1));
    p.drawLine(x1, y1, x2, y2);
}

void PainterCanvas::FillRect(int x1, int y1, int x2, int y2)
{
    painter().fillRect(QRect(x1, y1, x2 - x1, y2 - y1).normalized(), Qt::black);
}

PrinterCanvas::PrinterCanvas(const QString& printerName)
    : PainterCanvas(std::make_unique<QPrinter>(QPrinter::HighResolution))
{
    if (!printerName.isEmpty())
        printer().setPrinterName(printerName);
    // Forms and labels are US postal forms: Letter whatever paper the printer takes by default.
    printer().setPageSize(QPageSize(QPageSize::Letter));
}

bool printsToPdf(const QStringList& installedPrinters)
{
    return !qEnvironmentVariableIsEmpty("DOVRA_PDF_DIR") || installedPrinters.isEmpty();
}

std::unique_ptr<PageCanvas> openPrintCanvas(const QString& printerName)
{
    // Asking the print system for its printers takes a round trip to it for every mailer;
    // with the PDF folder set their names do not matter.
    const QStringList installed =
        qEnvironmentVariableIsEmpty("DOVRA_PDF_DIR") ? QPrinterInfo::availablePrinterNames() : QStringList();
    if (printsToPdf(installed))
        return std::make_unique<PdfJobCanvas>(PdfJobCanvas::defaultFolder());
    // A stored printer that has since been removed falls back to the default one.
    return std::make_unique<PrinterCanvas>(installed.contains(printerName) ? printerName : QString());
}
