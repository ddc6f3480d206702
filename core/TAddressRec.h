// The record behind each address list item (the sender list, the address book, mass
// printing), and what those lists share: reading a row, the item caption, the SQL that
// stores an address, and the search over the items.
#pragma once

#include "core/AddressLines.h"

#include <QtGlobal>
#include <functional>
#include <string>

namespace engine {
class RowSource;
}

struct TAddressRec {
    qint32 ID = 0; // the row's A_ID
    TAddressLines address;
};

// The current row of a select on YourAddress or Address.
TAddressRec addressRecOf(const engine::RowSource& row);

// Address1 trimmed, or, when it is blank, City, State and Zip joined by blanks and trimmed.
QString addressCaption(const TAddressLines& address);

// The seven fields by index, in table order: Address1-Address4, City, State, Zip.
const QString& addressField(const TAddressLines& address, int index);
QString& addressField(TAddressLines& address, int index);
// The seven values quoted and joined by ", ".
std::string addressValuesSql(const TAddressLines& address);

// "insert into <table> (Address1, ..., Zip) values('...', ...) " with every value quoted.
std::string addressInsertSql(const std::string& table, const TAddressLines& address);
// "update <table> set Address1 = '...', ..., Zip = '...' where A_ID = <id>".
std::string addressUpdateSql(const std::string& table, const TAddressLines& address, qint32 id);

// Whether any of the seven fields holds the text, without regard to letter case.
bool addressContains(const TAddressLines& address, const QString& text);

// The search of the lists' Find and F3: visits every index once, starting after selected
// (-1: before the first) and wrapping round, so the selected one comes last. Returns the
// first index that matches, or -1.
int findNextIndex(int count, int selected, const std::function<bool(int)>& matches);
