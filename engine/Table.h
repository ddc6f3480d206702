// A table handle: opened by folder and name, shared or exclusive, read row by row in
// table order, edited, appended to, posted and deleted.
// On a database server (a server location for a folder, see Server.h) the handle works the
// same through this thread's connection to the server: rows are read a page at a time in the
// order of the table's AutoInc key (the row's place where it has none), never all at once;
// each post is committed at once unless a transaction is open on the connection (the handle's
// own, or a MultiTableWrite's, which then commits the post with its own changes). An exclusive
// open holds a lock of the server's for the table until close, across commits; another
// workstation waits for it as for a table file. A connection the server dropped meanwhile
// (a restart) loses that lock: the handle's next use then fails with a message naming the
// server, and nothing more is written through it.
#pragma once

#include "engine/Engine.h"
#include "engine/RowSource.h"

#include <map>
#include <memory>
#include <string>

struct sqlite3;
struct sqlite3_stmt;
struct pg_result;

namespace engine {

class Table : public RowSource {
public:
    Table();
    ~Table() override;
    Table(const Table&) = delete;
    Table& operator=(const Table&) = delete;

    void setFolder(const std::string& folder);
    void setTableName(const std::string& name);
    const std::string& folder() const { return folder_; }
    const std::string& tableName() const { return name_; }
    std::string fileName() const { return tableFile(folder_, name_); }
    // Exclusive: no other exclusive open of the same table, from any process, until close.
    void setExclusive(bool exclusive);
    bool exclusive() const { return exclusive_; }
    // A condition in SQL, such as "Batch = True"; empty for all rows.
    void setFilter(const std::string& filter);

    void open();
    void close();
    bool active() const { return db_ != nullptr || serverOpen_; }

    void first();
    void next();
    std::int64_t recordCount();

    void append();
    void edit();
    void setValue(const std::string& field, Value value);
    void setText(const std::string& field, const std::string& text) { setValue(field, text); }
    void setInteger(const std::string& field, std::int64_t v) { setValue(field, v); }
    void setBoolean(const std::string& field, bool v) { setValue(field, std::int64_t(v ? 1 : 0)); }
    void setDateTime(const std::string& field, const DateTime& v) { setValue(field, v.iso()); }
    void post();
    void cancel();
    void remove(); // deletes the current row and moves to the one after it
    bool editing() const { return state_ != State::Browse; }

    // Many posts as one: nothing is durable until commit; rollback undoes them all.
    void startTransaction();
    void commit();
    void rollback();
    bool inTransaction() const;

private:
    enum class State { Browse, Edit, Insert };
    void requireActive() const;
    void loadAfter(std::int64_t rowid);
    void reloadCurrent();
    void lock();
    void unlock();
    std::string path_;

    std::string folder_, name_, filter_;
    bool exclusive_ = false;
    sqlite3* db_ = nullptr;
    sqlite3_stmt* seek_ = nullptr;
    bool seekOwned_ = false; // else it is one of statements_
    void dropSeek();
    int lockFd_ = -1;
    std::int64_t rowid_ = 0;
    State state_ = State::Browse;
    std::map<std::string, Value> pending_; // field (as declared) -> new value
    // Posts repeat the same few statements; compiling them once keeps appends cheap.
    sqlite3_stmt* cached(const std::string& sql);
    std::map<std::string, sqlite3_stmt*> statements_;
    detail::FileIdentity fileIdentity_; // of the file the connection was made on

    // On a server (ServerTable.cpp).
    void serverOpen();
    void serverClose();
    void serverLoadFirst();
    void serverLoadNext();
    void serverLoadPage(const std::string* afterKey);
    void serverTakeRow(const pg_result* rows, int row);
    void serverPost();
    void serverRemove();
    std::int64_t serverCount();
    void serverRequireSession() const;
    std::string serverWhere(bool after) const;
    bool serverOpen_ = false;
    bool serverLocked_ = false;      // holds the exclusive lock
    bool serverTransaction_ = false; // startTransaction begun
    std::uint64_t serverSession_ = 0;
    std::string serverKey_;   // the key column in the server's SQL, qualified: an identity column, or ctid
    std::string serverKeyAt_; // the current row's key, as text
    std::vector<std::string> serverPageKeys_;
    std::vector<std::vector<Value>> serverPage_;
    size_t serverPageAt_ = 0;
    bool serverPageLast_ = true; // no rows after the page
};

} // namespace engine
