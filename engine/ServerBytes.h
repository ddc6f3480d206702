// Files kept in a server table: values sent to the server as the bytes they hold (a bytea
// column) rather than as text, so that a file of some kilobytes crosses the connection once,
// as it is, and the server keeps it without reading a text form of it.
#pragma once

#include "engine/Engine.h"

#include <string>
#include <vector>

namespace engine {

// Runs one statement of the program's SQL (translated as any, see Dialect.h) on the server
// database of location, on this thread's connection, as a transaction of its own, with the
// values bound in order; those marked in asBytes (a std::string each) go as bytes. Returns the
// rows it changed. Throws the engine's error kinds (UniqueKeyError, BusyError, EngineError
// naming the server), as every statement on a server does.
int runWithBytes(const std::string& location, const std::string& sql, const std::vector<Value>& values,
                 const std::vector<bool>& asBytes);

} // namespace engine
