#include "printing/PrinterSetup.h"

#include "canvas/PdfCanvas.h"
#include "core/Settings.h"
#include "printing/PrintTarget.h"
#include "widgets/Services.h"

#include <QDialogButtonBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QPushButton>

namespace {

constexpr int kStoredNameLength = 32;

struct Script {
    bool on = false;
    QList<std::optional<PrinterChoice>> answers;
    QStringList requests;
};

Script& script()
{
    static Script s;
    return s;
}

} // namespace

void StorePrinterChoice(Settings& settings, const PrinterChoice& choice)
{
    settings.printer = choice.name.left(kStoredNameLength);
    settings.pTray = choice.tray;
}

std::optional<PrinterChoice> PrintDialogService::choosePrinter(QWidget* parent, const QString& printerName)
{
    if (script().on) {
        script().requests << printerName;
        return script().answers.isEmpty() ? std::nullopt : script().answers.takeFirst();
    }
    if (QPrinterInfo::availablePrinterNames().isEmpty()) {
        MessageService::information("No printer is installed on this computer. Mailers are written as PDF files into "
                                    "the folder " +
                                        PdfJobCanvas::defaultFolder() + ".",
                                    parent);
        return std::nullopt;
    }
    QPrinter printer(QPrinter::HighResolution);
    if (!printerName.isEmpty())
        printer.setPrinterName(printerName);
    QPrintDialog dialog(&printer, parent);
    dialog.setWindowTitle("Printer Setup");
    dialog.setOption(QAbstractPrintDialog::PrintToFile, false);
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, false);
    // The dialog chooses a printer here and prints nothing: its confirm button says so.
    if (auto buttons = dialog.findChild<QDialogButtonBox*>())
        if (QPushButton* confirm = buttons->button(QDialogButtonBox::Ok))
            confirm->setText("OK");
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    if (printer.outputFormat() != QPrinter::NativeFormat || printer.printerName().isEmpty())
        return std::nullopt;
    return PrinterChoice{printer.printerName(), trayOfPaperSource(printer.paperSource())};
}

void PrintDialogService::setScripted(bool scripted)
{
    script() = Script{scripted, {}, {}};
}

void PrintDialogService::queueAnswer(const std::optional<PrinterChoice>& answer)
{
    script().answers << answer;
}

QStringList PrintDialogService::requests()
{
    return script().requests;
}
