#include "engine/Table.h"
#include "engine/ConnectionPool.h"
#include "engine/Pg.h"
#include "engine/Server.h"
#include "engine/Sqlite.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace engine {

using namespace detail;

namespace {

struct Statement {
    sqlite3_stmt* stmt = nullptr;
    Statement(sqlite3* db, const std::string& sql, const std::string& context)
    {
        if (sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK)
            fail(db, context);
    }
    ~Statement() { sqlite3_finalize(stmt); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
};

mode_t lockFileMode(const std::string& tablePath)
{
    mode_t mode = S_IRUSR | S_IWUSR;
    struct stat table {
    }, folder{};
    const auto slash = tablePath.find_last_of('/');
    const std::string dir = slash == std::string::npos ? "." : tablePath.substr(0, slash == 0 ? 1 : slash);
    const mode_t writers = (::stat(tablePath.c_str(), &table) == 0 ? table.st_mode : 0) |
                           (::stat(dir.c_str(), &folder) == 0 ? folder.st_mode : 0);
    if (writers & S_IWGRP)
        mode |= S_IRGRP | S_IWGRP;
    if (writers & S_IWOTH)
        mode |= S_IROTH | S_IWOTH;
    return mode;
}

// A file beside a table that every user who may write the table must be able to write too
// (its lock file, its kept journal) takes the table's group where this user made it: in a
// folder shared through a group, the maker's own group would keep the others out.
void giveTablesGroup(const std::string& file, const std::string& tablePath)
{
    struct stat table = {};
    struct stat beside = {};
    if (::stat(tablePath.c_str(), &table) != 0 || ::stat(file.c_str(), &beside) != 0)
        return;
    if (beside.st_uid == ::geteuid() && beside.st_gid != table.st_gid)
        (void)::chown(file.c_str(), uid_t(-1), table.st_gid);
}

// The journal a table opened exclusively keeps between commits (see open) is written by
// whoever commits next; SQLite gives it the table's permission bits.
void shareKeptJournal(const std::string& tablePath)
{
    giveTablesGroup(tablePath + "-journal", tablePath);
}

} // namespace

Table::Table() = default;

Table::~Table()
{
    try {
        close();
    } catch (...) {
    }
}

void Table::setFolder(const std::string& folder)
{
    if (active())
        throw EngineError("The table must be closed to change its folder");
    folder_ = folder;
}

void Table::setTableName(const std::string& name)
{
    if (active())
        throw EngineError("The table must be closed to change its name");
    name_ = name;
}

void Table::setExclusive(bool exclusive)
{
    if (active())
        throw EngineError("The table must be closed to change how it is opened");
    exclusive_ = exclusive;
}

void Table::setFilter(const std::string& filter)
{
    filter_ = filter;
    if (active()) {
        dropSeek();
        first();
    }
}

void Table::requireActive() const
{
    if (!active())
        throw EngineError("The table " + fileName() + " is not open");
}

// An exclusive open is an open-file-description lock on a companion lock file, so it
// holds across commits (every post is durable at once) and excludes other processes
// and other handles of this process alike.
void Table::lock()
{
    const std::string lockPath = path_ + ".lck";
    lockFd_ = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (lockFd_ >= 0) {
        // Whoever may write the table must be able to take its lock, whatever this user's
        // umask: the lock file is writable for the classes of users that may write the
        // table file or its folder.
        ::fchmod(lockFd_, lockFileMode(path_));
        giveTablesGroup(lockPath, path_);
    } else if (errno == EEXIST) {
        lockFd_ = ::open(lockPath.c_str(), O_RDWR | O_CLOEXEC);
    }
    if (lockFd_ < 0)
        throw EngineError("Cannot open " + fileName() + " exclusively: its lock file " + lockPath +
                          " cannot be opened for writing (" + std::strerror(errno) + ")");
    struct flock fl {};
    fl.l_type = F_WRLCK;
    fl.l_whence = SEEK_SET;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(lockWaitMs());
    for (;;) {
        if (::fcntl(lockFd_, F_OFD_SETLK, &fl) == 0)
            return;
        const int err = errno;
        if ((err != EAGAIN && err != EACCES) || std::chrono::steady_clock::now() >= deadline) {
            ::close(lockFd_);
            lockFd_ = -1;
            if (err == EAGAIN || err == EACCES)
                throw EngineError("The table " + fileName() +
                                  " is in use by another user or workstation and cannot be opened exclusively");
            throw EngineError("Cannot open " + fileName() + " exclusively: " + std::strerror(err));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

void Table::unlock()
{
    if (lockFd_ >= 0) {
        ::close(lockFd_); // closing the description releases its lock
        lockFd_ = -1;
    }
}

void Table::open()
{
    if (active())
        return;
    if (name_.empty())
        throw EngineError("No table name set");
    if (isServerLocation(folder_))
        return serverOpen();
    path_ = findTableFile(folder_, name_);
    if (path_.empty())
        throw EngineError("The table " + fileName() + " does not exist");
    if (exclusive_)
        lock();
    try {
        Connection connection = takeConnection(path_);
        db_ = connection.db;
        statements_ = std::move(connection.statements);
        fileIdentity_ = connection.identity;
        // A table held exclusively is written again and again by its holder (the counter,
        // at every mailer): its journal file is kept between commits, its header cleared,
        // as creating and deleting it each time cost more than the commit's own writes.
        // The connection keeps the mode for its next use.
        if (exclusive_)
            exec(db_, "PRAGMA journal_mode=PERSIST", path_);
        std::vector<std::string> names;
        std::vector<Kind> kinds;
        {
            sqlite3_stmt* info = cached("SELECT name, type FROM pragma_table_info(" + quoted(name_) + ")");
            int rc;
            while ((rc = sqlite3_step(info)) == SQLITE_ROW) {
                names.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(info, 0)));
                kinds.push_back(kindOf(reinterpret_cast<const char*>(sqlite3_column_text(info, 1))));
            }
            sqlite3_reset(info);
            if (rc != SQLITE_DONE)
                fail(db_, path_);
        }
        if (names.empty())
            throw EngineError("The file " + path_ + " does not hold the table " + name_);
        setColumns(std::move(names), std::move(kinds));
        columnsFile_ = path_;
        state_ = State::Browse;
        pending_.clear();
        first();
    } catch (...) {
        dropSeek();
        Connection connection{db_, std::move(statements_), fileIdentity_};
        closeConnection(connection);
        db_ = nullptr;
        statements_.clear();
        unlock();
        throw;
    }
}

void Table::dropSeek()
{
    if (seekOwned_)
        sqlite3_finalize(seek_);
    else if (seek_)
        sqlite3_reset(seek_);
    seek_ = nullptr;
    seekOwned_ = false;
}

sqlite3_stmt* Table::cached(const std::string& sql)
{
    return keptStatement(db_, statements_, sql, path_);
}

void Table::close()
{
    if (serverOpen_) {
        serverClose();
        state_ = State::Browse;
        pending_.clear();
        eof_ = true;
        return;
    }
    if (inTransaction())
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    dropSeek();
    Connection connection{db_, std::move(statements_), fileIdentity_};
    db_ = nullptr;
    statements_.clear();
    releaseConnection(path_, connection);
    unlock();
    state_ = State::Browse;
    pending_.clear();
    eof_ = true;
    rowid_ = 0;
}

void Table::loadAfter(std::int64_t rowid)
{
    requireActive();
    if (!seek_) {
        std::string sql = "SELECT rowid, * FROM " + quoteIdent(name_) + " WHERE rowid > ?";
        if (!filter_.empty())
            sql += " AND (" + filter_ + ")";
        sql += " ORDER BY rowid LIMIT 1";
        // Filters are whatever a user typed, so only the unfiltered scan is kept with the
        // connection's statements.
        seekOwned_ = !filter_.empty();
        if (!seekOwned_)
            seek_ = cached(sql);
        else if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &seek_, nullptr) != SQLITE_OK)
            fail(db_, path_);
    }
    sqlite3_reset(seek_);
    sqlite3_bind_int64(seek_, 1, rowid);
    int rc = sqlite3_step(seek_);
    if (rc == SQLITE_ROW) {
        rowid_ = sqlite3_column_int64(seek_, 0);
        for (int i = 0; i < fieldCount(); ++i)
            row_[i] = columnValue(seek_, i + 1);
        eof_ = false;
    } else if (rc == SQLITE_DONE) {
        eof_ = true;
    } else {
        sqlite3_reset(seek_);
        fail(db_, path_);
    }
    sqlite3_reset(seek_);
}

void Table::reloadCurrent()
{
    sqlite3_stmt* stmt = cached("SELECT * FROM " + quoteIdent(name_) + " WHERE rowid = ?");
    sqlite3_bind_int64(stmt, 1, rowid_);
    const int rc = sqlite3_step(stmt);
    if (rc == SQLITE_ROW) {
        for (int i = 0; i < fieldCount(); ++i)
            row_[i] = columnValue(stmt, i);
        eof_ = false;
    }
    sqlite3_reset(stmt);
    if (rc == SQLITE_DONE)
        eof_ = true;
    else if (rc != SQLITE_ROW)
        fail(db_, path_);
}

void Table::first()
{
    if (editing())
        post();
    if (serverOpen_)
        return serverLoadFirst();
    loadAfter(INT64_MIN);
}

void Table::next()
{
    requireActive();
    if (editing())
        post();
    if (eof_)
        return;
    if (serverOpen_)
        return serverLoadNext();
    loadAfter(rowid_);
}

std::int64_t Table::recordCount()
{
    requireActive();
    if (serverOpen_)
        return serverCount();
    std::string sql = "SELECT count(*) FROM " + quoteIdent(name_);
    if (!filter_.empty())
        sql += " WHERE (" + filter_ + ")";
    Statement s(db_, sql, path_);
    if (sqlite3_step(s.stmt) != SQLITE_ROW)
        fail(db_, path_);
    return sqlite3_column_int64(s.stmt, 0);
}

void Table::append()
{
    requireActive();
    if (editing())
        post();
    state_ = State::Insert;
    pending_.clear();
}

void Table::edit()
{
    requireActive();
    if (state_ != State::Browse)
        return;
    if (eof_)
        throw EngineError("The table " + fileName() + " has no current row to edit");
    state_ = State::Edit;
    pending_.clear();
}

void Table::setValue(const std::string& field, Value value)
{
    requireActive();
    if (state_ == State::Browse)
        throw EngineError("The table " + fileName() + " is not in edit or append mode");
    const int i = fieldIndex(field);
    pending_[names_[i]] = std::move(value);
}

void Table::post()
{
    requireActive();
    if (state_ == State::Browse)
        return;
    if (serverOpen_)
        return serverPost();
    const State state = state_;
    std::string sql;
    if (state == State::Insert) {
        if (pending_.empty()) {
            sql = "INSERT INTO " + quoteIdent(name_) + " DEFAULT VALUES";
        } else {
            std::string cols, marks;
            for (const auto& [name, v] : pending_) {
                cols += (cols.empty() ? "" : ", ") + quoteIdent(name);
                marks += marks.empty() ? "?" : ", ?";
            }
            sql = "INSERT INTO " + quoteIdent(name_) + " (" + cols + ") VALUES (" + marks + ")";
        }
    } else {
        if (pending_.empty()) {
            state_ = State::Browse;
            return;
        }
        std::string set;
        for (const auto& [name, v] : pending_)
            set += (set.empty() ? "" : ", ") + quoteIdent(name) + " = ?";
        sql = "UPDATE " + quoteIdent(name_) + " SET " + set + " WHERE rowid = ?";
    }
    sqlite3_stmt* stmt = cached(sql);
    int index = 1;
    for (const auto& [name, v] : pending_)
        bindValue(stmt, index++, v);
    if (state == State::Edit)
        sqlite3_bind_int64(stmt, index, rowid_);
    const int rc = sqlite3_step(stmt);
    sqlite3_reset(stmt);
    sqlite3_clear_bindings(stmt);
    if (rc != SQLITE_DONE)
        fail(db_, path_); // the row stays in edit or append mode, as typed
    if (state == State::Insert)
        rowid_ = sqlite3_last_insert_rowid(db_);
    state_ = State::Browse;
    pending_.clear();
    if (exclusive_)
        shareKeptJournal(path_);
    reloadCurrent();
}

void Table::cancel()
{
    state_ = State::Browse;
    pending_.clear();
}

void Table::remove()
{
    requireActive();
    if (state_ == State::Insert) {
        cancel();
        return;
    }
    cancel();
    if (eof_)
        throw EngineError("The table " + fileName() + " has no current row to delete");
    if (serverOpen_)
        return serverRemove();
    Statement s(db_, "DELETE FROM " + quoteIdent(name_) + " WHERE rowid = ?", path_);
    sqlite3_bind_int64(s.stmt, 1, rowid_);
    if (sqlite3_step(s.stmt) != SQLITE_DONE)
        fail(db_, path_);
    loadAfter(rowid_);
}

void Table::startTransaction()
{
    requireActive();
    if (serverOpen_) {
        serverRequireSession();
        serverExec(folder_, "BEGIN");
        serverTransaction_ = true;
        return;
    }
    exec(db_, "BEGIN IMMEDIATE", path_);
}

void Table::commit()
{
    requireActive();
    if (editing())
        post();
    if (serverOpen_) {
        serverTransaction_ = false;
        serverRequireSession();
        serverCommit(folder_);
        return;
    }
    exec(db_, "COMMIT", path_);
    if (exclusive_)
        shareKeptJournal(path_);
}

void Table::rollback()
{
    requireActive();
    cancel();
    if (serverOpen_) {
        serverTransaction_ = false;
        serverRequireSession();
        serverExec(folder_, "ROLLBACK");
        return;
    }
    exec(db_, "ROLLBACK", path_);
}

bool Table::inTransaction() const
{
    if (serverOpen_)
        return serverTransaction_;
    return db_ && !sqlite3_get_autocommit(db_);
}

} // namespace engine
