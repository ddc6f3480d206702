// A server database made by an earlier version of the program, brought up to this one.
#pragma once

#include "engine/Server.h"

#include <string>
#include <vector>

namespace engine {

// Makes the tables of the list that a database holding the program's tables lacks, with the
// row of the new version, in one transaction: the database gains them all, or stays as it
// was. Another workstation doing the same at the same moment waits, then finds them made.
// A database without the program's tables is left alone (createServerTables makes them).
// Returns the names of the tables made; none when it had them all.
std::vector<std::string> addMissingServerTables(const std::string& location, const std::vector<ServerTableDef>& tables,
                                                int version);

} // namespace engine
