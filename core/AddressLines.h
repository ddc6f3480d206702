// Address lines: the four lines, City, State and ZIP of a recipient or sender, the five
// display lines made from them, and their clipboard text.
#pragma once

#include <QString>
#include <array>
#include <optional>

// Text for one line of an address: line breaks, line and paragraph separators and other
// control characters become blanks, so that the text cannot add or move a line.
QString oneLine(const QString& text);

// The seven address fields of a sender or recipient.
struct TAddressLines {
    QString address[4];
    QString city, state, zip;
    bool operator==(const TAddressLines&) const = default;
};

// A ZIP without a dangling dash: "62704-" -> "62704", "-" -> "", "62704-1234" unchanged.
QString TidyZip(const QString& zip);

// Builds the city line (city, state and tidied ZIP) and stores it into the first of
// lines[0..3] that is blank, else into lines[4].
void PlaceCityLine(std::array<QString, 5>& lines, const QString& city, const QString& state, const QString& zip);

// The five display lines of an address.
std::array<QString, 5> displayLines(const TAddressLines& address);

// Splits clipboard text into an address: lines end with CR LF or LF CR, the last line is
// the city line. A text without a complete line gives seven empty fields.
TAddressLines ParseClipboardText(const QString& text);
// The same, read from the clipboard.
TAddressLines ParseClipboardAddress();

// The clipboard text of an address: the first display line, then each further non-blank
// one after LF CR. Nothing when it would reach 256 characters.
std::optional<QString> addressCopyText(const TAddressLines& address);
