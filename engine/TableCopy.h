// A consistent copy of a table file, taken while other workstations may be writing to it.
#pragma once

#include <string>

namespace engine {

// Copies folder/table.adt to toFolder/table.adt through SQLite's online backup, so that the
// copy holds the table as one committed state. The copy appears whole or not at all, and never
// replaces a file there. Throws EngineError.
void copyTable(const std::string& folder, const std::string& table, const std::string& toFolder);

} // namespace engine
