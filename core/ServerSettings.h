// The database server's part of the settings, without widgets: the settings as the engine's
// connection parameters and back, what is wrong with them, and what a connection found.
#pragma once

#include "core/Settings.h"
#include "engine/Server.h"

#include <QString>
#include <functional>
#include <optional>

// The server the settings name (whichever way the shared tables are kept).
engine::ServerParams serverParams(const Settings& settings);
void setServerParams(Settings& settings, const engine::ServerParams& params);

// Values written by hand into the settings file brought to the program's own: "Server" in any
// letter case, else "Folder"; "require" in any letter case, else "prefer"; a port outside 1 to
// 65535 is 5432; names without surrounding blanks.
void settleServerSettings(Settings& settings);

// What is missing or wrong in the server's part before a connection is tried; empty when nothing.
QString serverParamsProblem(const engine::ServerParams& params);

// The message of a connection tried: connected, with the server's version, or the cause.
QString connectionMessage(const std::string& location, const engine::ServerConnectionCheck& check);

// Connects to the server of location. When the server asks for a password that neither
// ~/.pgpass nor the PG* environment gives, askPassword is asked (with the reason shown), up to
// three times; the answer is kept in memory for this session only (engine::setServerPassword).
// An empty answer (cancelled) stops asking. Returns what the last try found.
engine::ServerConnectionCheck
connectAskingPassword(const std::string& location,
                      const std::function<std::optional<QString>(const QString& reason)>& askPassword);

// Why a command that works on the folders' tables only is refused while the shared tables are
// on a server (what: "Import Log File", "Back Up"); empty in Folder mode.
QString folderOnlyRefusal(const Settings& settings, const QString& what);
