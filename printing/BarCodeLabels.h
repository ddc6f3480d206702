// Bar code labels: the Mailer Number texts and bar codes alone, printed onto a run of blank
// forms that are later filled in by hand. The run numbers its labels from the Customer ID
// and starting serial it is given; the counter is only read by the dialog, never written.
#pragma once

#include <QString>

class PageCanvas;

// The serial after this one, seven digits: "9999999" gives "0000001", since a label run
// never prints serial "0000000". Throws engine::ConversionError when the serial is not a
// whole number.
QString NextLabelSerial(const QString& serial);

struct BarCodeLabelRun {
    QString customerId; // nine digits, "-" allowed
    QString serial;     // the first label's serial, seven digits
    int count = 1;
    int leftRight = 0; // alignment offsets, three printer dots a unit
    int topBottom = 0;
};

// Prints count labels, each its own one-page print job with the kind "T" and "F" numbers of
// its serial. A serial that is not a whole number is refused before anything is printed
// (engine::ConversionError); a printer error ends the run, and the labels already printed
// stay printed.
void PrintBarCodeLabels(PageCanvas& canvas, const BarCodeLabelRun& run);

extern const QString BarCodesCompleteMessage;
