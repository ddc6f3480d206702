// Where every text, number and bar code of a mailer goes on the pre-printed stock: the full
// form (receipts, return receipt and address panels on one sheet) and the label sheet of
// three rows by three columns.
#pragma once

#include "canvas/PageCanvas.h"

#include <QList>
#include <QString>
#include <array>

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

enum class MailerLayout { Form, Label };

// The next label of a label sheet, indices 0-2. Labels are taken column by column within
// a row; the row after the last one is the first of a new sheet.
struct LabelPosition {
    int row = 0;
    int col = 0;

    void advance();
    bool lastOnSheet() const { return row == 2 && col == 2; }
};

// Draws one mailer and returns its kind "T" Mailer Number (22 digits). The form layout is a
// print job of its own. For labels the caller begins the job before the first label, ends
// it after the last and advances the position after each; after the last label of a sheet
// the job is ended and a new one begun, so the next label starts a new sheet.
QString PrintMailerForm(PageCanvas& canvas, const MailerPrintData& data, MailerLayout layout,
                        LabelPosition position = LabelPosition());

// Draws one mailer onto the page under way, the job and its pages left to the caller (a run
// that fills label sheets in one job starts each new sheet with NewPage). Returns the kind
// "T" Mailer Number.
QString DrawMailerOnPage(PageCanvas& canvas, const MailerPrintData& data, MailerLayout layout,
                         LabelPosition position = LabelPosition());

// The number block of the form alone (the four bar codes and eight number texts of the
// kind "T" and "F" numbers of data's Customer ID and serial, shifted by its alignment
// offsets) as one print job of one page; nothing else of the form. Returns the kind "T"
// number. A job that fails part-way is taken back.
QString PrintFormNumberBlock(PageCanvas& canvas, const MailerPrintData& data);

// A line of a mailer with characters that no installed face can draw: they print as
// replacement marks.
struct UnprintableLine {
    QString line;       // as the user knows it: "Recipient line 1", "Comment", ...
    QString characters; // each once, in the order of the line
};

// The lines of the mailer that the layout prints and that hold such characters.
QList<UnprintableLine> unprintableLines(const MailerPrintData& data, MailerLayout layout);
// The question asked before such a mailer takes its number; empty when there are none.
QString unprintableLinesQuestion(const QList<UnprintableLine>& lines);
