// The ZIP lookup of the recipient fields and of the address dialog: a five-digit ZIP fills
// a blank City and a blank State from the ZIPCODES table beside the program.
#pragma once

#include "core/AddressCheck.h"

#include <QString>

// zipText: the ZIP field's text as shown ("62704-    "). Nothing happens when City and State
// are both filled, when the first five characters, trimmed, are not five characters, or
// when ZIPCODES has no such ZIP. A field that is not blank is never overwritten. Errors of
// the query (a missing ZIPCODES table) are raised as engine errors.
void LookupZip(const QString& zipText, QString& city, QString& state);

// The ZIPCODES table beside the program, for the checks before printing; an empty function
// when the table is not there.
ZipTable zipCodesTable();
