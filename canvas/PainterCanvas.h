// The page canvas on a QPainter over a QPrinter: a CUPS printer, or a printer someone else
// owns (a print preview). PDF print jobs are written by PdfJobCanvas.
#pragma once

#include "canvas/PageCanvas.h"
#include "canvas/PdfCanvas.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPrinter>
#include <memory>
#include <optional>

class PainterCanvas : public PageCanvas {
public:
    // Draws on a printer the caller owns and keeps alive, such as a preview's.
    explicit PainterCanvas(QPrinter& printer);
    // Ends a job still open.
    ~PainterCanvas() override;

    void BeginDocument() override;
    void EndDocument() override;
    // Qt's CUPS printing cannot take back what was drawn once the page is under way; the
    // PDF files can.
    void AbortDocument() override;
    void NewPage() override;
    Resolution DotsPerInch() const override;
    QPoint PrintableOffset() const override;
    QSize PageSize() const override;
    void SetFont(const QString& face, int points, int angle) override;
    void DrawText(int x, int y, const QString& text) override;
    int TextWidth(const QString& text) const override;
    int TextHeight(const QString& text) const override;
    void DrawImage(int x, int y, int width, int height, const QImage& image) override;
    void DrawLine(int x1, int y1, int x2, int y2) override;
    void FillRect(int x1, int y1, int x2, int y2) override;

    QPrinter& printer() { return *printer_; }

protected:
    explicit PainterCanvas(std::unique_ptr<QPrinter> ownPrinter);

private:
    // The job reaches the printer at its first drawing, so a job with nothing drawn (the one
    // left open after the last label of a sheet) feeds no blank sheet.
    QPainter& painter();
    QRect paintRect() const;

    std::unique_ptr<QPrinter> ownPrinter_;
    QPrinter* printer_;
    QPainter painter_;
    bool jobOpen_ = false;
    QFont font_;
    int angle_ = 0;
    std::optional<QFontMetrics> metrics_;
};

// The system's printer of the given name, or the default printer when the name is empty, on
// US Letter paper (forms and labels are US postal forms).
class PrinterCanvas : public PainterCanvas {
public:
    explicit PrinterCanvas(const QString& printerName = QString());
};

// Whether printing goes to PDF files: DOVRA_PDF_DIR is set or no printer is installed.
bool printsToPdf(const QStringList& installedPrinters);
// The canvas printing goes to: PDF files in PdfJobCanvas::defaultFolder() when DOVRA_PDF_DIR
// is set or no printer is installed, else the named (or default) printer.
std::unique_ptr<PageCanvas> openPrintCanvas(const QString& printerName = QString());
