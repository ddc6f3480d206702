// Address files saved by spreadsheets and other programs, whose first line names the columns
// ("Name,Company,Street,City,State,Zip Code"): the header told from an address line, the
// cells of a line, and which columns fill each of the seven address fields. Files without
// such a line are read as the program's own address files (TextFiles.h).
#pragma once

#include "core/TAddressRec.h"

#include <QString>
#include <QStringList>
#include <QStringView>
#include <array>
#include <optional>
#include <vector>

// A first line that names the columns, and the character between its cells.
struct HeaderLine {
    QChar delimiter;
    QStringList columns; // as written, trimmed
};

// The line read as column names, with the delimiter (comma, tab or semicolon) that makes the
// most of its cells known names such as Name, Company, Street, City, State or Zip Code
// (letter case aside). None when fewer than two cells are known names, or when a cell that is
// not one holds a digit (a line of data: a house number, a ZIP).
std::optional<HeaderLine> detectHeaderLine(const QString& line);

// The cells of a line, split at the delimiter and trimmed. A cell in double quotes may hold the
// delimiter, and a doubled quote inside it stands for one, as spreadsheets write them.
QStringList splitDelimitedLine(QStringView line, QChar delimiter);

// For each of the seven fields (Address1-Address4, City, State, Zip), the columns that fill
// it, in order; several are joined by a blank ("First Name" and "Last Name"), none leaves
// the field empty.
struct ColumnMapping {
    std::array<std::vector<int>, 7> sources;
    bool operator==(const ColumnMapping&) const = default;
};

// The mapping read from the names: the recipient's name (one Name column, or first, middle
// and last names joined), the company, the street and its second line fill Address1 to
// Address4 in that order, those missing leaving no gap; City, State and ZIP their own
// fields. A file that names "Address 3" or "Address 4" is in the program's own seven
// fields, and "Address 1" to "Address 4" fill Address1 to Address4. Other columns (phone,
// e-mail, notes) are left out.
ColumnMapping matchColumns(const QStringList& columns);

// The address of a line's cells by the mapping, each field cut to its column's width. A ZIP
// of four digits, whose leading zero a spreadsheet dropped, gets it back.
TAddressLines mapAddressCells(const QStringList& cells, const ColumnMapping& mapping);

// What a field's column choice offers: "(none)", each column on its own, and, when the
// mapping read from the names joins several columns for the field, that choice too.
std::vector<std::vector<int>> columnChoices(int columnCount, const std::vector<int>& matched);
// A choice as its list shows it: the column names joined by " + ", or "(none)".
QString columnChoiceCaption(const QStringList& columns, const std::vector<int>& choice);
