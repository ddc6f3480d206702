// A server database made by an earlier version of the program, brought up to this one.
#pragma once

#include "engine/Server.h"

#include <string>
#include <vector>

namespace engine {

// Brings a database whose tables an earlier program made up to version, in one transaction
// under the lock the tables are first made under: the steps past the version it records run,
// the tables of the list it lacks are made, and the new version is recorded; so a database is
// upgraded whole or not at all. Another workstation doing the same at the same moment waits,
// then finds it done. A database without the program's tables (createServerTables makes
// them), or at this version or a later one with every table, is left as it is. Returns true
// when it was upgraded now.
bool upgradeServerTables(const std::string& location, const std::vector<ServerTableDef>& tables,
                         const std::vector<ServerTablesStep>& steps, int version);

} // namespace engine
