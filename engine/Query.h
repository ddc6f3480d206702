// SQL text run against the tables of one folder (or of one server database, see Server.h). Each table the statement names is the
// file folder/Name.adt, attached on first use. A select is read row by row as it runs;
// any other statement reports the rows it affected.
#pragma once

#include "engine/Engine.h"
#include "engine/RowSource.h"

#include <functional>
#include <map>
#include <optional>
#include <string>

struct sqlite3;
struct sqlite3_stmt;
struct pg_result;

namespace engine {

class Query : public RowSource {
public:
    Query();
    ~Query() override;
    Query(const Query&) = delete;
    Query& operator=(const Query&) = delete;

    void setFolder(const std::string& folder);
    const std::string& folder() const { return folder_; }
    void setSql(const std::string& sql);
    const std::string& sql() const { return sql_; }

    void open();       // runs the statement and stands on its first row
    int execSql();     // runs every statement of the text, returns the rows the last affected
    // Runs the one statement of the text (with ? parameters) once for each of rows, with
    // the values valuesOf gives for that row bound in order, all in one transaction: every
    // row is written, or after a failure none. Returns the rows affected.
    int execEach(size_t rows, const std::function<void(size_t row, std::vector<Value>& values)>& valuesOf);
    void close();      // ends the statement; the folder's files stay attached
    void disconnect(); // also lets go of the folder's files
    bool active() const { return stmt_ != nullptr || serverRows_ != nullptr; }

    void first();
    void next();

private:
    void connect();
    sqlite3_stmt* prepare(const char* sql, const char** tail);
    bool attachFor(const std::string& message);
    void step();
    // Throws the engine's error for the statement that failed; a damaged table file is
    // named, with what is wrong with it, rather than given as SQLite's text.
    [[noreturn]] void failStatement();

    std::string folder_, sql_;
    sqlite3* db_ = nullptr;
    sqlite3_stmt* stmt_ = nullptr;
    struct Attached {
        std::string path;
        detail::FileIdentity identity;
    };
    void dropStaleFiles();
    std::map<std::string, Attached> attached_; // schema (the table name) -> its file

    // On a server: the rows of the open select, and the one the query stands on.
    bool onServer() const;
    void serverOpen();
    int serverExecSql();
    int serverExecEach(size_t rows, const std::function<void(size_t row, std::vector<Value>& values)>& valuesOf);
    void serverLoadRow();
    pg_result* serverRows_ = nullptr;
    int serverRow_ = 0;
};

// Reads a table through once and compares its columns with its definition string: what is
// wrong with its file, named, or nothing for a sound table and for one that does not exist.
// For the windows that show a table only on demand, so that its damage is told when they open.
std::optional<std::string> tableDamage(const std::string& folder, const std::string& table,
                                       std::string_view definition);

} // namespace engine
