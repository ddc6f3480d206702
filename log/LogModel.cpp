#include "log/LogModel.h"

#include "log/LogFilter.h"

#include <QScopeGuard>

namespace {

// The grid's columns: caption and log column.
const struct {
    const char* caption;
    const char* column;
} kGridColumns[] = {
    {"Date/Time", "DateTime"}, {"Mailer Number", "MailerNum"}, {"To", "ToAddress1"}, {"From", "YourAddress1"}};

// The window's order, with the key to break ties so pages never overlap.
const QString kOrder = " order by DATETIME, LID";
// The sort key of a row as one comparable expression: rows without a date come first.
const QString kSortKeyDate = "ifnull(DateTime, '')";
const QString kSortKey = "(" + kSortKeyDate + ", LID)";

} // namespace

void ensureLogOrderIndex(const QString& folder)
{
    engine::Query query;
    query.setFolder(folder.toStdString());
    // The select attaches the table file, so the index can be named in its schema.
    query.setSql("select LID from Log37 limit 0; create index if not exists Log37.Log37_DateTime on Log37 (DateTime)");
    try {
        query.execSql();
    } catch (const engine::EngineError&) {
        // Without the index the window still shows every row, only slower.
    }
}

LogModel::LogModel(engine::Query& query, QObject* parent) : QAbstractTableModel(parent), query_(query) {}

void LogModel::setFolder(const QString& folder)
{
    folder_ = folder;
    query_.close();
    query_.setFolder(folder.toStdString());
    ensureLogOrderIndex(folder);
}

QString LogModel::selectSql() const
{
    return logfilter::logSelectSql(where_);
}

void LogModel::setWhere(const QString& where)
{
    where_ = where;
    refresh();
}

QString LogModel::deleteSql() const
{
    return "delete from Log37" + whereWith(QString());
}

QString LogModel::whereWith(const QString& extra) const
{
    QStringList parts{"LID <= " + QString::number(lastLid_)};
    if (!where_.isEmpty())
        parts << "(" + where_ + ")";
    if (!extra.isEmpty())
        parts << "(" + extra + ")";
    return " where " + parts.join(" and ");
}

int LogModel::countWhere(const QString& condition) const
{
    const auto closeQuery = qScopeGuard([this] { query_.close(); });
    query_.setSql(("select count(*) from Log37" + whereWith(condition)).toStdString());
    query_.open();
    return query_.eof() ? 0 : static_cast<int>(query_.asInteger(query_.fieldName(0)));
}

void LogModel::refresh()
{
    beginResetModel();
    pages_.clear();
    rows_ = 0;
    try {
        const auto closeQuery = qScopeGuard([this] { query_.close(); });
        // Column names first, so a view without rows still knows its fields.
        query_.setSql("select * from Log37 limit 0");
        query_.open();
        columns_.clear();
        columnIndex_.clear();
        for (int i = 0; i < query_.fieldCount(); ++i) {
            columns_ << QString::fromStdString(query_.fieldName(i));
            columnIndex_.insert(columns_.last().toLower(), i);
        }
        query_.setSql("select ifnull(max(LID), 0) from Log37");
        query_.open();
        lastLid_ = query_.asInteger(query_.fieldName(0));
        query_.close();
        rows_ = countWhere(QString());
    } catch (...) {
        endResetModel();
        throw;
    }
    endResetModel();
}

void LogModel::close()
{
    beginResetModel();
    pages_.clear();
    rows_ = 0;
    query_.close();
    endResetModel();
}

const LogModel::Page& LogModel::page(int index) const
{
    auto it = pages_.find(index);
    if (it == pages_.end()) {
        if (pages_.size() >= KeptPages) {
            auto oldest = pages_.begin();
            for (auto p = pages_.begin(); p != pages_.end(); ++p)
                if (p->used < oldest->used)
                    oldest = p;
            pages_.erase(oldest);
        }
        Page fresh;
        const auto closeQuery = qScopeGuard([this] { query_.close(); });
        query_.setSql(("select * from Log37" + whereWith(QString()) + kOrder + " limit " + QString::number(PageSize) +
                       " offset " + QString::number(qint64(index) * PageSize))
                          .toStdString());
        query_.open();
        const int n = query_.fieldCount();
        for (; !query_.eof(); query_.next()) {
            QStringList row;
            row.reserve(n);
            for (int i = 0; i < n; ++i)
                row << QString::fromStdString(query_.asString(i));
            fresh.rows << row;
        }
        it = pages_.insert(index, fresh);
    }
    it->used = ++clock_;
    return *it;
}

int LogModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : rows_;
}

int LogModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(std::size(kGridColumns));
}

QString LogModel::field(int row, const QString& name) const
{
    if (row < 0 || row >= rows_)
        return QString();
    const int column = columnIndex_.value(name.toLower(), -1);
    const Page& p = page(row / PageSize);
    const int offset = row % PageSize;
    // Rows deleted by another workstation since the count leave the page short.
    if (column < 0 || offset >= p.rows.size())
        return QString();
    return p.rows[offset][column];
}

qint64 LogModel::lid(int row) const
{
    return field(row, "LID").toLongLong();
}

QVariant LogModel::data(const QModelIndex& index, int role) const
{
    if (role != Qt::DisplayRole || !index.isValid() || index.column() >= columnCount())
        return QVariant();
    return field(index.row(), kGridColumns[index.column()].column);
}

QVariant LogModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal || section < 0 || section >= columnCount())
        return QAbstractTableModel::headerData(section, orientation, role);
    return QString(kGridColumns[section].caption);
}

// Rows of the view before a row, counted along the index on DateTime.
int LogModel::rowsBefore(const QString& dateTime, qint64 lid) const
{
    const QString before = "LID < " + QString::number(lid);
    if (dateTime.isEmpty())
        return countWhere("DateTime is null and " + before);
    const QString d = logfilter::q(dateTime);
    return countWhere("DateTime is null") + countWhere("DateTime < " + d) +
           countWhere("DateTime = " + d + " and " + before);
}

std::optional<int> LogModel::findRow(int start, const QString& condition, bool includeStart)
{
    if (rows_ == 0)
        return std::nullopt;
    start = std::clamp(start, 0, rows_ - 1);
    const QString key = "(" + logfilter::q(field(start, "DateTime")) + ", " + QString::number(lid(start)) + ")";
    // The first match in the window's order within a range of rows. Ordering by the key
    // expression makes SQLite read the table straight through and keep only the best
    // match, far quicker than walking the index and fetching every row it names.
    auto firstMatch = [&](const QString& range) -> std::optional<std::pair<QString, qint64>> {
        query_.setSql(("select " + kSortKeyDate + ", LID from Log37" + whereWith(condition + ") and (" + range) +
                       " order by " + kSortKeyDate + ", LID limit 1")
                          .toStdString());
        const auto closeQuery = qScopeGuard([this] { query_.close(); });
        query_.open();
        std::optional<std::pair<QString, qint64>> found;
        if (!query_.eof())
            found.emplace(QString::fromStdString(query_.asString(0)), query_.asInteger(query_.fieldName(1)));
        return found;
    };
    // From the start row (or the row after it) to the last, then from the first row on.
    auto found = firstMatch(kSortKey + (includeStart ? " >= " : " > ") + key);
    if (!found)
        found = firstMatch(kSortKey + " < " + key);
    if (!found)
        return std::nullopt;
    return rowsBefore(found->first, found->second);
}
