// The Printing menu's settings (alignment, printer, extra label), bar code labels from the
// File menu, and the label position fields of the main window.
#include "app/TF_Main.h"
#include "engine/Engine.h"
#include "printing/BarCodeLabels.h"
#include "printing/PrintTarget.h"
#include "printing/PrinterSetup.h"
#include "printing/TF_Align.h"
#include "printing/TF_ExtraLabel.h"
#include "printing/TF_PrintBarCode.h"
#include "widgets/BusyCursor.h"
#include "widgets/ErrorBoundary.h"
#include "widgets/Services.h"

#include <QAction>
#include <QLineEdit>

namespace {

// Row and Column show the label position plus one. An empty field becomes "1"; a value off
// the sheet is put back; anything but a number is refused and put back as well.
void labelPositionEdited(QLineEdit* field, int& index)
{
    const QString text = field->text();
    if (text.isEmpty()) {
        field->setText("1");
        return;
    }
    const auto value = engine::tryInt32(text.toStdString());
    if (!value || *value < 1 || *value > 3) {
        field->setText(QString::number(index + 1));
        if (!value)
            showException(engine::ConversionError("'" + text.toStdString() + "' is not a valid integer value"));
        return;
    }
    index = *value - 1;
}

} // namespace

void TF_Main::connectPrintSetupCommands()
{
    connect(miPrintBarCodes, &QAction::triggered, this, &TF_Main::miPrintBarCodesClick);
    connect(miPrintAlignment, &QAction::triggered, this, &TF_Main::miPrintAlignmentClick);
    connect(miPrinterSetup, &QAction::triggered, this, &TF_Main::miPrinterSetupClick);
    connect(miExtraLabel, &QAction::triggered, this, &TF_Main::miExtraLabelClick);
    connect(EDPosRow, &QLineEdit::textChanged, this, &TF_Main::EDPosRowChange);
    connect(EDPosCol, &QLineEdit::textChanged, this, &TF_Main::EDPosColChange);
}

void TF_Main::miPrintBarCodesClick()
{
    guarded([this] {
        // The dialog keeps the counter locked until the run is over; it writes nothing.
        TF_PrintBarCode dialog(settings, this);
        if (dialog.exec() != QDialog::Accepted)
            return;
        BarCodeLabelRun run = dialog.run();
        run.leftRight = settings.leftRight;
        run.topBottom = settings.topBottom;
        {
            BusyCursor busy;
            const auto canvas = openCurrentPrintCanvas();
            PrintBarCodeLabels(*canvas, run);
        }
        MessageService::information(BarCodesCompleteMessage, this);
    });
}

void TF_Main::miPrintAlignmentClick()
{
    TF_Align::edit(settings, this);
}

void TF_Main::miExtraLabelClick()
{
    TF_ExtraLabel::edit(settings, this);
}

// The chosen printer takes this run's print jobs at once; the settings keep it for the
// next start.
void TF_Main::miPrinterSetupClick()
{
    const std::optional<PrinterChoice> choice = PrintDialogService::choosePrinter(this, settings.printer);
    if (!choice)
        return;
    StorePrinterChoice(settings, *choice);
    const QString error = SelectStoredPrinter(choice->name, choice->tray);
    if (!error.isEmpty())
        MessageService::error(error, this);
}

void TF_Main::EDPosRowChange()
{
    labelPositionEdited(EDPosRow, settings.labelRow);
}

void TF_Main::EDPosColChange()
{
    labelPositionEdited(EDPosCol, settings.labelCol);
}
