#include "printing/MailerValues.h"

#include "core/MailerNumber.h"
#include "core/Settings.h"
#include "printing/TBarcodeBmp.h"

#include <QList>
#include <algorithm>

namespace {

MailerValues::Lines capitalLines(MailerValues::Lines lines)
{
    for (QString& line : lines)
        line = capitals(line);
    return lines;
}

// The sender's bar code takes its place by the ZIP code as stored, the recipient's by the
// digits it holds.
ZipBarcode zipBarcode(const QString& zip, bool measureDigits)
{
    const QString digits = TBarcodeBmp::filterText(TBarcodeBmp::bcPOSTNET, zip);
    return {digits, (measureDigits ? digits : zip).size() > 5};
}

} // namespace

// Georgian keeps the letters it is written in: its capitals (Mtavruli) are a recent addition
// to Unicode that few faces have.
QString capitals(const QString& text)
{
    const QList<uint> characters = text.toUcs4();
    if (std::none_of(characters.begin(), characters.end(),
                     [](uint c) { return QChar::script(c) == QChar::Script_Georgian; }))
        return text.toUpper();
    QString upper;
    for (const char32_t c : characters) {
        const QString character = QString::fromUcs4(&c, 1);
        upper += QChar::script(c) == QChar::Script_Georgian ? character : character.toUpper();
    }
    return upper;
}

MailerValues mailerValues(const MailerPrintData& data)
{
    MailerValues values;
    values.numberBlock = data.barCodes;
    if (data.barCodes) {
        values.numberT = BuildMailerNumber(data.customerId, data.serial, "T");
        values.numberF = BuildMailerNumber(data.customerId, data.serial, "F");
    } else {
        values.numberT = data.number;
    }
    values.groupedT = GroupMailerNumber(values.numberT);
    values.groupedF = GroupMailerNumber(values.numberF);

    values.senderCapitals = capitalLines(data.senderLines);
    values.recipientCapitals = capitalLines(data.recipientLines);
    values.receiptSender = data.senderLines[0];
    values.receiptRecipient = data.recipientLines;
    // The label cuts its lines; the form fits them to their room.
    values.labelLines = {data.recipientLines[0].left(40), data.recipientLines[1].left(40)};
    const bool toRecipient = data.extraLabelAddress == "Addressed To";
    if (data.extraLabel == "Yes")
        values.extraLabel = toRecipient ? values.recipientCapitals : values.senderCapitals;
    values.reLine = "RE: " + data.re;
    values.comment = data.comment;
    if (data.department != "-1")
        values.departmentLine = "DP: " + data.department;
    if (data.processedBy != "-1")
        values.processedByLine = "PB: " + data.processedBy;
    values.fees = {data.postage.trimmed(), data.certifiedFee.trimmed(), data.returnFee.trimmed(),
                   data.restrictedFee.trimmed()};
    values.totalLine = "$ " + data.total.trimmed();

    values.senderZip = zipBarcode(data.senderZip, false);
    if (data.extraLabel == "Yes" && toRecipient)
        values.recipientZip = zipBarcode(data.recipientZip, true);

    // Three times one beyond the dialog's limits could exceed an int.
    values.leftRight = std::clamp(data.leftRight, -Settings::kAlignmentLimit, Settings::kAlignmentLimit);
    values.topBottom = std::clamp(data.topBottom, -Settings::kAlignmentLimit, Settings::kAlignmentLimit);
    return values;
}
