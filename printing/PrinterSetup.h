// Printer Setup: the system's print dialog chooses the printer and paper source that the
// settings keep ("Printer" / "Printer" and "PTray"). The dialog goes through a service so
// that tests can answer it from a script.
#pragma once

#include <QList>
#include <QString>
#include <optional>

struct Settings;
class QWidget;

struct PrinterChoice {
    QString name; // the printer's name as the system knows it
    int tray = 0; // its paper source, numbered as "PTray" keeps it
};

// The settings keep at most 32 characters of the name.
void StorePrinterChoice(Settings& settings, const PrinterChoice& choice);

class PrintDialogService {
public:
    // The print dialog for the named printer (the default one when empty). Nothing when it
    // is cancelled or the chosen printer's settings cannot be read (output to a file), or
    // when no printer is installed (which it says: print jobs then become PDF files).
    static std::optional<PrinterChoice> choosePrinter(QWidget* parent, const QString& printerName);

    // For tests: answered from the queue (an empty answer cancels); printer names asked
    // for are recorded.
    static void setScripted(bool scripted);
    static void queueAnswer(const std::optional<PrinterChoice>& answer);
    static QStringList requests();
};
