// A typed address: a four-line memo, City, State and the masked ZIP field, with what the
// recipient box of the main window and the address dialog both do with them: Clear, Copy,
// Paste and the ZIP lookup.
#pragma once

#include "core/AddressLines.h"

#include <QString>
#include <optional>

class QLineEdit;
class QPlainTextEdit;

struct AddressFields {
    // The width of an address line in the tables that keep it (Log37, YourAddress, Address).
    static constexpr int kLineWidth = 50;

    QPlainTextEdit* memo = nullptr;
    QLineEdit* city = nullptr;
    QLineEdit* state = nullptr;
    QLineEdit* zip = nullptr;

    // Five digits, "-", four digits, each digit optional; "_" marks an open place. A key
    // that is not a digit, and a pasted text that is not a ZIP code, are refused with a hint
    // at the field, rather than dropped or cut without a word.
    static void setUpZipField(QLineEdit* zip);
    // The field's text for a ZIP code given whole (pasted, on the command line): up to five
    // digits, then up to four after a dash, a blank or nothing. Nothing when the text is not
    // such a ZIP code (letters, more digits).
    static std::optional<QString> zipFieldText(const QString& text);
    // Puts a ZIP code given whole into the field; one that is not a ZIP code leaves the
    // field as it was, shows the hint and gives false.
    static bool setZip(QLineEdit* zip, const QString& text);
    static QString notAZipMessage(const QString& text);
    // A memo keeps four lines of kLineWidth characters at most, so that what is printed is
    // what is stored: whatever follows the fourth line or the width of a line is removed at
    // once, typed, pasted or set alike. Returns true when it removed something (the memo has
    // changed once more).
    static bool keepAddressLines(QPlainTextEdit* memo);

    // The ZIP field's text, blanks in the open places: "     -    " when empty.
    QString zipText() const;
    // Memo lines 1-4 (a missing line is empty), City, State and zipText().
    TAddressLines address() const;
    // The memo receives, in order, each of the four lines that is not empty.
    void showAddress(const TAddressLines& address);

    void clear();
    // The clipboard text of the address; nothing when it would reach 256 characters.
    void copy() const;
    // Clear, then the address read from the clipboard text.
    void paste();
    // Fills a blank City and State from ZIPCODES; raises the engine's error when the
    // table cannot be read.
    void lookupZip();
};
