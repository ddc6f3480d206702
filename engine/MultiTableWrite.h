// Changes to several table files that commit together or not at all. SQLite commits the
// files of one connection atomically through a super-journal in rollback-journal mode, so a
// crash at any instant leaves every file as it was before or as it is after.
#pragma once

#include "engine/Engine.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace engine {

// The table files are named by folder and table; statements name the tables as usual. The
// write holds every file's reserved lock from the start, waiting for other workstations
// as long as the engine's wait allows. What is not committed is rolled back.
// Tables on a server (all on one, see Server.h) are written in one transaction of the
// server; there rows are locked as statements reach them ("SELECT ... FOR UPDATE"). A table
// handle's post on the same server meanwhile (this thread's connection) is part of that
// transaction. A connection the server dropped during the write fails every later statement
// and the commit: nothing of the write is committed.
class MultiTableWrite {
public:
    struct TableRef {
        std::string folder;
        std::string table;
    };
    explicit MultiTableWrite(const std::vector<TableRef>& tables);
    ~MultiTableWrite();
    MultiTableWrite(const MultiTableWrite&) = delete;
    MultiTableWrite& operator=(const MultiTableWrite&) = delete;

    // Runs one statement with the values bound in order; returns the rows it changed.
    int run(const std::string& sql, const std::vector<Value>& values = {});
    // Runs a select with the values bound in order; the first column of its first row, if any.
    std::optional<Value> firstValue(const std::string& sql, const std::vector<Value>& values = {});
    std::int64_t lastInsertId() const;
    void commit();

private:
    sqlite3* db_ = nullptr;
    // A write to one file takes its connection from the kept ones and gives it back with
    // the statements prepared on it, as table handles do; one across files opens its own,
    // since attached files stay attached.
    std::string keptPath_;
    std::map<std::string, sqlite3_stmt*> statements_;
    std::string context_; // the files, for messages
    std::string server_;  // the server location, when the tables are there
    bool serverOpen_ = false; // a server transaction begun and not yet ended
    std::uint64_t serverSession_ = 0; // the connection it was begun on
    void requireServerSession();
};

// Throws EngineError with the cause when the table file cannot be written by this user: it
// is missing, write-protected, or its folder is (a commit writes a journal beside the file).
void requireWritable(const std::string& folder, const std::string& table);

} // namespace engine
