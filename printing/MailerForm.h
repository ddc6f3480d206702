// Where every text, number and bar code of a mailer goes on the pre-printed stock: the full
// form (receipts, return receipt and address panels on one sheet) and the label sheet of
// three rows by three columns.
#pragma once

#include "canvas/PageCanvas.h"
#include "printing/MailerValues.h"

#include <QList>
#include <QString>

enum class MailerLayout { Form, Label };

// The next label of a label sheet, indices 0-2. Labels are taken column by column within
// a row; the row after the last one is the first of a new sheet.
struct LabelPosition {
    int row = 0;
    int col = 0;

    void advance();
    bool lastOnSheet() const { return row == 2 && col == 2; }
};

// Draws one mailer. The form layout is a print job of its own. For labels the caller begins
// the job before the first label, ends it after the last and advances the position after
// each; after the last label of a sheet the job is ended and a new one begun, so the next
// label starts a new sheet.
void PrintMailerForm(PageCanvas& canvas, const MailerValues& values, MailerLayout layout,
                     LabelPosition position = LabelPosition());

// Draws one mailer onto the page under way, the job and its pages left to the caller (a run
// that fills label sheets in one job starts each new sheet with NewPage).
void DrawMailerOnPage(PageCanvas& canvas, const MailerValues& values, MailerLayout layout,
                      LabelPosition position = LabelPosition());

// The number block of the form alone (the four bar codes and eight number texts of the
// kind "T" and "F" numbers, shifted by the alignment offsets) as one print job of one page;
// nothing else of the form. A job that fails part-way is taken back.
void PrintFormNumberBlock(PageCanvas& canvas, const MailerValues& values);

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
