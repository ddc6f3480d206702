// A mailer's values as the form and label print them, made once from what the print run
// hands over and before anything is laid out: the layouts only place them, and the paper and
// the proof copy of a mailer draw the same values.
#pragma once

#include <QString>
#include <array>
#include <optional>

// What the print run hands to the layout for one mailer.
struct MailerPrintData {
    std::array<QString, 5> senderLines;    // the sender block as the main window shows it
    QString senderZip;                     // as stored
    std::array<QString, 5> recipientLines; // the recipient block
    QString recipientZip;
    QString re; // the RE field, first 25 characters
    QString comment;
    QString department;  // "-1": the line is not printed
    QString processedBy; // "-1": the line is not printed
    // The fee texts as the entry fields hold them, leading blanks included.
    QString postage;
    QString certifiedFee;
    QString returnFee;
    QString restrictedFee;
    QString total;
    bool barCodes = true;
    QString customerId; // bar codes on: the Customer ID without "-"
    QString serial;     // bar codes on: the serial of the number state
    QString number;     // bar codes off: the kind "T" Mailer Number built by the print run
    int leftRight = 0;  // alignment offsets, three printer dots a unit
    int topBottom = 0;
    QString extraLabel = QStringLiteral("Yes");                 // "Yes" or "No"
    QString extraLabelAddress = QStringLiteral("Addressed To"); // or "Your Name and Address"
};

// A ZIP code's POSTNET bar code.
struct ZipBarcode {
    QString digits;    // what the bar code holds
    bool wide = false; // longer than five: the bar code starts further left
};

struct MailerValues {
    using Lines = std::array<QString, 5>;

    // The mailer's own kind "T" Mailer Number, 22 digits: the number the run logs and tells,
    // grouped in fours as it is printed.
    QString numberT;
    QString groupedT;
    // Bar codes on: the number block is printed, its Code 128 symbols holding the kind "T" and
    // the return receipt's kind "F" number, its texts their grouped forms.
    bool numberBlock = false;
    QString numberF; // empty with bar codes off
    QString groupedF;

    // The address panels of the form, in capitals.
    Lines senderCapitals;
    Lines recipientCapitals;
    // The receipt's sender line (the first) and recipient block, as typed.
    QString receiptSender;
    Lines receiptRecipient;
    // The label's two recipient lines.
    std::array<QString, 2> labelLines;
    // The form's extra label, when it is printed: the recipient's or the sender's panel.
    std::optional<Lines> extraLabel;

    QString reLine; // "RE: " and the RE field
    QString comment;
    // "DP: " and the department, "PB: " and who processed it; empty: the line is not printed.
    QString departmentLine;
    QString processedByLine;
    // Postage, certified fee, return receipt and restricted delivery, without blanks.
    std::array<QString, 4> fees;
    QString totalLine; // "$ " and the total

    ZipBarcode senderZip;
    std::optional<ZipBarcode> recipientZip; // only on an extra label addressed to the recipient

    // The alignment offsets, kept within what the Printer Alignment dialog allows.
    int leftRight = 0;
    int topBottom = 0;
};

// The values of a mailer: its numbers from the Customer ID and serial with bar codes on, or
// the number given with them off.
MailerValues mailerValues(const MailerPrintData& data);

// Capital letters as the form prints them.
QString capitals(const QString& text);
