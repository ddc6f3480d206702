#include "printing/BarCodeLabels.h"

#include "core/MailerNumber.h"
#include "engine/Engine.h"
#include "printing/MailerForm.h"

const QString BarCodesCompleteMessage = QStringLiteral("Printing of bar codes is complete.");

namespace {

constexpr int kSerialDigits = 7;
constexpr int kSerialLimit = 10000000;

// Digits only: a serial with a sign or a gap in it numbers no label.
int serialValue(const QString& serial)
{
    const QString digits = serial.trimmed();
    if (!IsPlainNumber(digits))
        throw engine::ConversionError("'" + serial.toStdString() + "' is not a valid integer value");
    return digits.toInt();
}

} // namespace

QString NextLabelSerial(const QString& serial)
{
    int next = serialValue(serial) + 1;
    if (next >= kSerialLimit)
        next = 1;
    return QString::number(next).rightJustified(kSerialDigits, '0');
}

void PrintBarCodeLabels(PageCanvas& canvas, const BarCodeLabelRun& run)
{
    // A serial typed incompletely would print as zeros on the first label.
    serialValue(run.serial);
    MailerPrintData data;
    data.customerId = CustomerIdWithoutDashes(run.customerId);
    data.serial = run.serial.trimmed().rightJustified(kSerialDigits, '0');
    data.leftRight = run.leftRight;
    data.topBottom = run.topBottom;
    for (int i = 0; i < run.count; ++i) {
        PrintFormNumberBlock(canvas, mailerValues(data));
        data.serial = NextLabelSerial(data.serial);
    }
}
