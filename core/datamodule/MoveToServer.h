// An office's shared tables moved from their folders to a database server: the counter
// (MailerNum), the senders (YourAddress), the log (Log37) with its filters and reports, copied
// in one server transaction. The folder's tables keep their rows as a backup, and its counter is
// marked as moved, so that a workstation still set to that folder is refused, with a message
// naming the server, rather than handing out numbers the server hands out too.
#pragma once

#include "engine/Engine.h"

#include <QString>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace engine {
class MultiTableWrite;
class Query;
} // namespace engine

// The folders the tables are moved from (the settings' folders of each).
struct TMoveSource {
    QString mailerNumFolder;
    QString yourAddressFolder;
    QString logFolder;
    // The folder of the proof copies, whose copies go into the server's table Proofs with the
    // tables; empty where the copies stay in their folder.
    QString proofFolder;
};

struct TMovedTable {
    QString table;
    qint64 rows = 0;
};

// Rows are copied in batches of this many (the log is read row by row, never held whole).
inline constexpr int MoveBatchRows = 500;
// Proof copies are copied in batches of this many files.
inline constexpr int MoveBatchProofs = 16;

// The rows of a table at a location (a folder or a server), and a count a statement returned
// (a server gives some counts as text); 0 for none.
std::int64_t CountRows(const std::string& location, const std::string& table);
std::int64_t CountValue(const std::optional<engine::Value>& value);

// Rows written to a server table in multi-row INSERTs of up to perStatement rows each, on the
// write's transaction: each row's values are added one by one, then the row is ended; finish
// writes what is left. copied, when given, is told the rows written so far after each statement.
class TInsertBatches {
public:
    TInsertBatches(engine::MultiTableWrite& write, std::string table, const std::vector<std::string>& columns,
                   int perStatement, std::function<void(std::int64_t)> copied = {});
    void add(engine::Value value) { values_.push_back(std::move(value)); }
    void endRow();
    std::int64_t finish();

private:
    void flush();
    engine::MultiTableWrite& write_;
    std::string head_, rowMarks_, marks_;
    int perStatement_;
    std::function<void(std::int64_t)> copied_;
    std::vector<engine::Value> values_;
    int inBatch_ = 0;
    std::int64_t rows_ = 0;
};

// Copies the rows the open query reads (its columns in the order of columns) into the server
// table, MoveBatchRows to a statement. A NUL a file's text may hold has no place in the server's
// text and is dropped. Returns the rows copied.
std::int64_t CopyQueryRows(engine::MultiTableWrite& write, engine::Query& source, const std::string& table,
                           const std::vector<std::string>& columns, const std::function<void(std::int64_t)>& copied);

// Copies the tables to the server database of location, in one transaction: on an empty
// database the tables are made first (as CreateServerTables makes them), within the same
// transaction. Refused, changing nothing, when the server's tables hold rows already (beyond
// the seed row of a new counter), when the folder holds no counter, or when that counter was
// moved already. The folder's counter is held while the rest is copied, so that no number is
// taken from it meanwhile, and is marked as moved before the server's transaction commits
// (a failed commit takes the mark back). progress, when given, is told of rows copied so far
// out of the rows to copy. Returns the rows copied per table, in the order copied; throws
// engine::EngineError with the cause otherwise. The proof copies of source.proofFolder, when
// named, are copied within the same transaction, each a row of the table Proofs (its number
// from the file's name, its recipient and time from the copy), counted as "Proofs" last; a
// copy that cannot be read refuses the move, naming it. The folder keeps its files.
std::vector<TMovedTable> MoveToServer(const TMoveSource& source, const QString& location,
                                      const std::function<void(qint64 done, qint64 total)>& progress = {});

// The mark a moved counter leaves in its folder: a text file holding the server's name.
QString MovedToServerMarkFile(const QString& counterFolder);
// What a workstation whose counter is in this folder is told when the counter was moved to a
// server: a message naming the server; empty when it was not.
QString MovedToServerRefusal(const QString& counterFolder);
