// A table handle: opened by folder and name, shared or exclusive, read row by row in
// table order, edited, appended to, posted and deleted.
#pragma once

#include "engine/Engine.h"
#include "engine/RowSource.h"

#include <map>
#include <memory>
#include <string>

struct sqlite3;
struct sqlite3_stmt;

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
    bool active() const { return db_ != nullptr; }

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
};

} // namespace engine
