// Where print jobs go. Printer setup stores a printer and its paper source ("Printer" /
// "Printer" and "PTray"); from start-up on, jobs go to that printer and tray when a tray
// was stored. PDF files stand in for the printer when DOVRA_PDF_DIR is set or no printer
// is installed (see openPrintCanvas).
#pragma once

#include "canvas/PainterCanvas.h"

#include <QPrinter>
#include <memory>

// "PTray" holds a paper source as printers number them in the settings files this program
// reads: 1 upper (or the only one), 2 lower, 3 middle, 4 manual, 5 envelope, 6 manual
// envelope, 7 automatic, 8 tractor, 9 small format, 10 large format, 11 large capacity,
// 14 cassette, 15 form source; higher numbers are the driver's own. 0 stores none.
QPrinter::PaperSource paperSourceOfTray(int tray);
int trayOfPaperSource(QPrinter::PaperSource source);

// Start-up, when a tray other than 0 is stored: later jobs go to the named printer (the
// default one when the name is empty) with that paper source. Returns an error text when
// the named printer is not installed (jobs then go to the default printer).
QString SelectStoredPrinter(const QString& printerName, int tray);

// The canvas for the next print command: the selected printer and tray, or PDF files.
std::unique_ptr<PageCanvas> openCurrentPrintCanvas();
