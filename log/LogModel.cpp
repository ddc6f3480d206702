#include "log/LogModel.h"

#include "engine/Server.h"
#include "log/LogFilter.h"

#include <QElapsedTimer>
#include <QScopeGuard>
#include <QSet>

#include <algorithm>
#include <exception>

namespace {

// The grid's columns: caption and log column.
const struct {
    const char* caption;
    const char* column;
} kGridColumns[] = {{"Date/Time", "DateTime"},
                    {"Mailer Number", "MailerNum"},
                    {"To", "ToAddress1"},
                    {"From", "YourAddress1"},
                    {"Result", "Result"}};

// Keys of one page, as a list for "LID in (...)".
QString keyList(const QList<qint64>& keys, qsizetype from, qsizetype count)
{
    QStringList texts;
    texts.reserve(count);
    for (qsizetype i = from; i < from + count && i < keys.size(); ++i)
        texts << QString::number(keys[i]);
    return texts.join(", ");
}

} // namespace

void ensureLogOrderIndex(const QString& folder)
{
    if (engine::isServerLocation(folder.toStdString()))
        return; // made with the server's tables
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

LogModel::LogModel(engine::Query& query, QObject* parent) : QAbstractTableModel(parent), query_(query)
{
    // A slice on each idle turn: what the user does comes first.
    scanTimer_.setInterval(0);
    connect(&scanTimer_, &QTimer::timeout, this, &LogModel::idleSlice);
}

void LogModel::setFolder(const QString& folder)
{
    folder_ = folder;
    query_.close();
    query_.setFolder(folder.toStdString());
    ensureLogOrderIndex(folder);
}

int LogModel::columnOf(const QString& logColumn)
{
    for (int i = 0; i < int(std::size(kGridColumns)); ++i)
        if (logColumn.compare(QLatin1String(kGridColumns[i].column), Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

QString LogModel::sortColumnName() const
{
    return kGridColumns[sortColumn_].column;
}

QString LogModel::direction() const
{
    return sortOrder_ == Qt::AscendingOrder ? " asc" : " desc";
}

QString LogModel::viewCondition() const
{
    QStringList parts;
    for (const QString& part : {where_, logfilter::searchCondition(search_), logfilter::dateRangeCondition(from_, to_)})
        if (!part.trimmed().isEmpty())
            parts << part;
    // A filter alone stays as the filter states it.
    if (parts.size() == 1)
        return parts.first();
    for (QString& part : parts)
        part = "(" + part + ")";
    return parts.join(" and ");
}

QString LogModel::orderBy() const
{
    return sortColumnName() + direction() + ", LID" + direction();
}

QString LogModel::selectSql() const
{
    // The window's own order reads as it always has; any other as it is.
    if (sortColumn_ == 0 && sortOrder_ == Qt::AscendingOrder)
        return logfilter::logSelectSql(viewCondition());
    const QString where = viewCondition();
    return "select * from Log37" + (where.isEmpty() ? QString() : " where " + where) + " order by " + orderBy();
}

void LogModel::setWhere(const QString& where)
{
    where_ = where;
    reload();
}

void LogModel::setSearch(const QString& text)
{
    search_ = text;
    reload();
}

void LogModel::setDateRange(const QDate& from, const QDate& to)
{
    from_ = from;
    to_ = to;
    reload();
}

void LogModel::sort(int column, Qt::SortOrder order)
{
    if (column < 0 || column >= columnCount())
        return;
    sortColumn_ = column;
    sortOrder_ = order;
    if (!folder_.isEmpty())
        reload();
}

QString LogModel::deleteSql() const
{
    return "delete from Log37" + whereWith(QString());
}

QString LogModel::whereWith(const QString& extra) const
{
    QStringList parts{"LID <= " + QString::number(lastLid_)};
    const QString view = viewCondition();
    if (!view.isEmpty())
        parts << "(" + view + ")";
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

int LogModel::totalRows()
{
    finishScan();
    if (access_ != Access::Growing || !more_)
        return rows_;
    return countWhere(QString());
}

// The index on DateTime serves the date order: walked in order it gives the first rows of a
// view at once, provided the rows it passes over mostly belong to the view. A search that
// matches few rows would walk the whole index for a page; such a view reads its keys along
// the index a slice at a time (see startScan), and an order no index serves reads its keys
// once.
void LogModel::chooseAccess()
{
    keys_.clear();
    more_ = false;
    const QString search = logfilter::searchCondition(search_);
    if (sortColumn_ != 0) {
        readKeys(sortColumnName() + direction() + ", LID" + direction());
        return;
    }
    if (search.isEmpty()) {
        access_ = Access::Counted;
        rows_ = countWhere(QString());
        return;
    }
    // The first rows of the date order that the filter and dates let through: how many of
    // them the search keeps.
    QStringList inner{"LID <= " + QString::number(lastLid_)};
    for (const QString& part : {where_, logfilter::dateRangeCondition(from_, to_)})
        if (!part.trimmed().isEmpty())
            inner << "(" + part + ")";
    const auto closeQuery = qScopeGuard([this] { query_.close(); });
    query_.setSql(("select count(*), ifnull(sum(kept), 0) from (select " + search + " as kept from Log37 where " +
                   inner.join(" and ") + " order by DateTime" + direction() + ", LID" + direction() + " limit " +
                   QString::number(ProbeRows) + ")")
                      .toStdString());
    query_.open();
    const qint64 looked = query_.asInteger(query_.fieldName(0));
    const qint64 kept = query_.asInteger(query_.fieldName(1));
    query_.close();
    if (looked < ProbeRows) {
        // The probe saw every row of the filter and dates.
        access_ = Access::Counted;
        rows_ = int(kept);
    } else if (kept >= PageSize) {
        access_ = Access::Growing;
        rows_ = 0;
        more_ = true;
        const Page& first = page(0);
        rows_ = int(first.rows.size());
        more_ = rows_ == PageSize;
    } else {
        startScan();
    }
}

// The keys of a search that few rows meet, in the date order: the index on DateTime is
// walked a slice at a time, each slice looking at a bounded number of rows and keeping those
// the view holds. Each slice is a statement of its own, so the log is never held between them.
void LogModel::startScan()
{
    access_ = Access::Keyed;
    const bool dated = !logfilter::dateRangeCondition(from_, to_).isEmpty();
    scan_ = {};
    // Rows without a date come first in rising order and last in falling order; days chosen
    // leave them out.
    scan_.phase = sortOrder_ == Qt::AscendingOrder && !dated ? Phase::Undated : Phase::Dated;
    readSlice(false);
    if (scanning())
        scanTimer_.start();
}

void LogModel::readSlice(bool announce)
{
    const bool up = sortOrder_ == Qt::AscendingOrder;
    const QString dates = logfilter::dateRangeCondition(from_, to_);
    const QString lid = QString::number(scan_.lid);
    QStringList range;
    if (scan_.phase == Phase::Undated) {
        range << "DateTime is null";
        if (scan_.started)
            range << "LID" + QString(up ? " > " : " < ") + lid;
    } else {
        range << "DateTime is not null";
        if (!dates.isEmpty())
            range << "(" + dates + ")";
        if (scan_.started) {
            const QString& at = scan_.at;
            range << (up ? "DateTime >= " + at + " and (DateTime > " + at + " or LID > " + lid + ")"
                         : "DateTime <= " + at + " and (DateTime < " + at + " or LID < " + lid + ")");
        }
    }
    // Kept: not added since the view was read, within the filter, and matching the search.
    // The filter is judged here rather than in the where-clause so that a slice never looks
    // at more rows than its limit.
    QStringList kept{"LID <= " + QString::number(lastLid_)};
    for (const QString& part : {where_, logfilter::searchCondition(search_)})
        if (!part.trimmed().isEmpty())
            kept << "(" + part + ")";
    const int limit = sliceRows_ > 0 ? sliceRows_ : timedRows_;
    QElapsedTimer clock;
    clock.start();
    QList<qint64> found;
    int looked = 0;
    {
        const auto closeQuery = qScopeGuard([this] { query_.close(); });
        query_.setSql(("select LID, quote(DateTime) as at, case when " + kept.join(" and ") +
                       " then 1 else 0 end as kept from Log37 where " + range.join(" and ") + " order by DateTime" +
                       direction() + ", LID" + direction() + " limit " + QString::number(limit))
                          .toStdString());
        for (query_.open(); !query_.eof(); query_.next()) {
            ++looked;
            scan_.lid = query_.asInteger("LID");
            scan_.at = QString::fromStdString(query_.asString("at"));
            if (query_.asInteger("kept") != 0)
                found << scan_.lid;
        }
    }
    if (looked == limit) {
        scan_.started = true;
    } else {
        // This part of the log is read to its end.
        scan_.started = false;
        scan_.lid = 0;
        scan_.at.clear();
        if (scan_.phase == Phase::Undated)
            scan_.phase = up ? Phase::Dated : Phase::Done;
        else
            scan_.phase = up || !dates.isEmpty() ? Phase::Done : Phase::Undated;
    }
    if (sliceRows_ == 0 && looked >= 256) {
        // The next slice sized to take about SliceMs, growing or shrinking by at most half.
        const double ratio = std::clamp(SliceMs / std::max(double(clock.nsecsElapsed()) / 1e6, 0.5), 0.5, 2.0);
        timedRows_ = std::clamp(int(looked * ratio), 256, 200000);
    }
    if (!found.isEmpty()) {
        // The last page may have been read short.
        pages_.remove(rows_ / PageSize);
        if (announce)
            beginInsertRows(QModelIndex(), rows_, rows_ + int(found.size()) - 1);
        keys_ += found;
        rows_ = int(keys_.size());
        if (announce)
            endInsertRows();
    }
    if (!scanning())
        scanTimer_.stop();
    if (announce)
        emit scanProgressed();
}

void LogModel::idleSlice()
{
    try {
        readSlice(true);
    } catch (const std::exception& e) {
        // Read again by the next action that needs every row.
        scanTimer_.stop();
        emit scanFailed(QString::fromStdString(e.what()));
    }
}

void LogModel::scanStep()
{
    if (scanning())
        readSlice(true);
}

void LogModel::finishScan()
{
    while (scanning())
        readSlice(true);
}

void LogModel::readKeys(const QString& order)
{
    access_ = Access::Keyed;
    const auto closeQuery = qScopeGuard([this] { query_.close(); });
    query_.setSql(("select LID from Log37" + whereWith(QString()) + " order by " + order).toStdString());
    for (query_.open(); !query_.eof(); query_.next())
        keys_.append(query_.asInteger(query_.fieldName(0)));
    rows_ = int(keys_.size());
}

void LogModel::refresh()
{
    reload();
    finishScan();
}

void LogModel::reload()
{
    // A search still being read gives way to the new view.
    scanTimer_.stop();
    scan_ = {};
    beginResetModel();
    pages_.clear();
    keys_.clear();
    rows_ = 0;
    more_ = false;
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
        chooseAccess();
    } catch (...) {
        scanTimer_.stop();
        scan_ = {};
        pages_.clear();
        keys_.clear();
        rows_ = 0;
        more_ = false;
        endResetModel();
        throw;
    }
    endResetModel();
}

void LogModel::close()
{
    scanTimer_.stop();
    scan_ = {};
    beginResetModel();
    pages_.clear();
    keys_.clear();
    rows_ = 0;
    more_ = false;
    query_.close();
    endResetModel();
}

LogModel::Page LogModel::readPage(int index) const
{
    Page fresh;
    const auto closeQuery = qScopeGuard([this] { query_.close(); });
    const qint64 first = qint64(index) * PageSize;
    if (access_ == Access::Keyed) {
        if (first >= keys_.size())
            return fresh;
        query_.setSql(("select * from Log37 where LID in (" + keyList(keys_, first, PageSize) + ")").toStdString());
    } else {
        query_.setSql(("select * from Log37" + whereWith(QString()) + " order by " + orderBy() + " limit " +
                       QString::number(PageSize) + " offset " + QString::number(first))
                          .toStdString());
    }
    query_.open();
    const int n = query_.fieldCount();
    for (; !query_.eof(); query_.next()) {
        QStringList row;
        row.reserve(n);
        for (int i = 0; i < n; ++i)
            row << QString::fromStdString(query_.asString(i));
        fresh.rows << row;
    }
    if (access_ == Access::Keyed) {
        // Back into the view's order; a row deleted meanwhile leaves an empty line.
        const int lid = columnIndex_.value("lid", 0);
        QHash<qint64, qsizetype> at;
        for (qsizetype i = 0; i < fresh.rows.size(); ++i)
            at.insert(fresh.rows[i][lid].toLongLong(), i);
        QList<QStringList> ordered;
        for (qint64 k = first; k < first + PageSize && k < keys_.size(); ++k) {
            const auto it = at.find(keys_[k]);
            ordered << (it == at.end() ? QStringList(QList<QString>(n)) : fresh.rows[*it]);
        }
        fresh.rows = ordered;
    }
    return fresh;
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
        it = pages_.insert(index, readPage(index));
    }
    it->used = ++clock_;
    return *it;
}

int LogModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : rows_;
}

bool LogModel::canFetchMore(const QModelIndex& parent) const
{
    return !parent.isValid() && access_ == Access::Growing && more_;
}

void LogModel::fetchMore(const QModelIndex& parent)
{
    if (!canFetchMore(parent))
        return;
    const int index = rows_ / PageSize;
    const Page& p = page(index);
    const int end = index * PageSize + int(p.rows.size());
    more_ = p.rows.size() == PageSize;
    if (end > rows_) {
        beginInsertRows(QModelIndex(), rows_, end - 1);
        rows_ = end;
        endInsertRows();
    }
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
    if (orientation != Qt::Horizontal || section < 0 || section >= columnCount())
        return QAbstractTableModel::headerData(section, orientation, role);
    // A heading clicked for the first time sorts from the smallest.
    if (role == Qt::InitialSortOrderRole)
        return int(Qt::AscendingOrder);
    if (role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    return QString(kGridColumns[section].caption);
}

// Rows of the view before a row in the date order, counted along the index on DateTime. A
// row without a date comes first in rising order and last in falling order.
int LogModel::rowsBefore(const QString& value, bool null, qint64 lid) const
{
    const QString id = QString::number(lid);
    if (sortOrder_ == Qt::AscendingOrder) {
        if (null)
            return countWhere("DateTime is null and LID < " + id);
        const QString d = logfilter::q(value);
        return countWhere("DateTime is null") + countWhere("DateTime < " + d) +
               countWhere("DateTime = " + d + " and LID < " + id);
    }
    if (null)
        return countWhere("DateTime is not null") + countWhere("DateTime is null and LID > " + id);
    const QString d = logfilter::q(value);
    return countWhere("DateTime > " + d) + countWhere("DateTime = " + d + " and LID > " + id);
}

// Keyed views: the keys are walked in order from the start, a slice at a time, each slice
// asking the table which of its rows meet the condition.
std::optional<int> LogModel::findKeyed(int start, const QString& condition, bool includeStart)
{
    constexpr qsizetype Slice = 4096;
    const qsizetype n = keys_.size();
    qsizetype from = includeStart ? start : start + 1;
    const qsizetype stop = from + (includeStart ? n : n - 1);
    for (; from < stop; from += Slice) {
        const qsizetype count = std::min(Slice, stop - from);
        // The slice may run past the last key and on from the first.
        QStringList keys;
        for (qsizetype i = from; i < from + count; ++i)
            keys << QString::number(keys_[i % n]);
        QSet<qint64> hits;
        {
            const auto closeQuery = qScopeGuard([this] { query_.close(); });
            query_.setSql(
                ("select LID from Log37 where LID in (" + keys.join(", ") + ") and (" + condition + ")").toStdString());
            for (query_.open(); !query_.eof(); query_.next())
                hits.insert(query_.asInteger(query_.fieldName(0)));
        }
        for (qsizetype i = from; i < from + count; ++i)
            if (hits.contains(keys_[i % n]))
                return int(i % n);
    }
    return std::nullopt;
}

std::optional<int> LogModel::findRow(int start, const QString& condition, bool includeStart)
{
    finishScan();
    if (rows_ == 0)
        return std::nullopt;
    start = std::clamp(start, 0, rows_ - 1);
    if (access_ == Access::Keyed)
        return findKeyed(start, condition, includeStart);
    const QString startDate = field(start, "DateTime");
    const bool null = startDate.isEmpty();
    const QString id = QString::number(lid(start));
    const QString d = logfilter::q(startDate);
    const bool up = sortOrder_ == Qt::AscendingOrder;
    // The rows after the start row in the view's order, and those before it.
    QString after, before;
    if (up) {
        after = null ? "(DateTime is null and LID > " + id + ") or DateTime is not null"
                     : "DateTime > " + d + " or (DateTime = " + d + " and LID > " + id + ")";
        before = null ? "DateTime is null and LID < " + id
                      : "DateTime is null or DateTime < " + d + " or (DateTime = " + d + " and LID < " + id + ")";
    } else {
        after = null ? "DateTime is null and LID < " + id
                     : "DateTime is null or DateTime < " + d + " or (DateTime = " + d + " and LID < " + id + ")";
        before = null ? "(DateTime is null and LID > " + id + ") or DateTime is not null"
                      : "DateTime > " + d + " or (DateTime = " + d + " and LID > " + id + ")";
    }
    if (includeStart)
        after = "LID = " + id + " or " + after;
    // The first match in the view's order within a range of rows. "+DateTime" makes SQLite
    // read the table straight through and keep only the best match, far quicker than walking
    // the index and fetching every row it names.
    auto firstMatch = [&](const QString& range) -> std::optional<std::pair<QString, qint64>> {
        query_.setSql(("select DateTime, LID from Log37" + whereWith(condition + ") and (" + range) +
                       " order by +DateTime" + direction() + ", LID" + direction() + " limit 1")
                          .toStdString());
        const auto closeQuery = qScopeGuard([this] { query_.close(); });
        query_.open();
        std::optional<std::pair<QString, qint64>> found;
        if (!query_.eof())
            found.emplace(QString::fromStdString(query_.asString(0)), query_.asInteger(query_.fieldName(1)));
        return found;
    };
    auto found = firstMatch(after);
    if (!found)
        found = firstMatch(before);
    if (!found)
        return std::nullopt;
    const int row = rowsBefore(found->first, found->first.isEmpty(), found->second);
    if (access_ == Access::Growing && row >= rows_) {
        // Every row before it belongs to the view, so the grid may reach it at once.
        beginInsertRows(QModelIndex(), rows_, row);
        rows_ = row + 1;
        endInsertRows();
        more_ = true;
    }
    return row;
}
