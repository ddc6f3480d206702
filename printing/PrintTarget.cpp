#include "printing/PrintTarget.h"

#include <QPrinterInfo>
#include <array>
#include <utility>

namespace {

struct StoredPrinter {
    QString name;
    int tray = 0;
};

StoredPrinter& storedPrinter()
{
    static StoredPrinter printer;
    return printer;
}

// Tray numbers and Qt's paper sources, in the order both number them.
constexpr std::array<std::pair<int, QPrinter::PaperSource>, 13> kTrays{{
    {1, QPrinter::OnlyOne},
    {2, QPrinter::Lower},
    {3, QPrinter::Middle},
    {4, QPrinter::Manual},
    {5, QPrinter::Envelope},
    {6, QPrinter::EnvelopeManual},
    {7, QPrinter::Auto},
    {8, QPrinter::Tractor},
    {9, QPrinter::SmallFormat},
    {10, QPrinter::LargeFormat},
    {11, QPrinter::LargeCapacity},
    {14, QPrinter::Cassette},
    {15, QPrinter::FormSource},
}};

} // namespace

QPrinter::PaperSource paperSourceOfTray(int tray)
{
    for (const auto& [number, source] : kTrays)
        if (number == tray)
            return source;
    return QPrinter::CustomSource;
}

int trayOfPaperSource(QPrinter::PaperSource source)
{
    for (const auto& [number, paperSource] : kTrays)
        if (paperSource == source)
            return number;
    return 0;
}

QString SelectStoredPrinter(const QString& printerName, int tray)
{
    storedPrinter() = {printerName, tray};
    const QStringList installed = QPrinterInfo::availablePrinterNames();
    if (printsToPdf(installed) || printerName.isEmpty() || installed.contains(printerName))
        return QString();
    return QStringLiteral("The printer \"%1\" chosen in Printer Setup is not installed. Mailers will be printed on "
                          "the default printer.")
        .arg(printerName);
}

std::unique_ptr<PageCanvas> openCurrentPrintCanvas()
{
    const StoredPrinter& stored = storedPrinter();
    std::unique_ptr<PageCanvas> canvas = openPrintCanvas(stored.name);
    auto* printerCanvas = dynamic_cast<PrinterCanvas*>(canvas.get());
    if (stored.tray != 0 && printerCanvas)
        printerCanvas->printer().setPaperSource(paperSourceOfTray(stored.tray));
    return canvas;
}
