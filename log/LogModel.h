// The rows of the log window: the whole log or the rows of a filter, narrowed further by a
// search text and a date range, in the order of one grid column (oldest first unless the user
// sorts). Rows are read from Log37 a page at a time as the grid asks for them, so a log of a
// million rows costs a count and the pages in sight, never a copy of the table. Where no
// index serves the view (a search that matches few rows, a sort by another column), the keys
// of the rows shown are read once in their order and the pages by their keys; in the date
// order they are read a slice at a time on idle turns of the event loop, so the first rows
// show as soon as they are found and typing is never held up by a scan of the whole log.
#pragma once

#include "engine/Query.h"

#include <QAbstractTableModel>
#include <QDate>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <optional>

class LogModel : public QAbstractTableModel {
    Q_OBJECT
public:
    // query: the handle the rows are read through (the data module's adsqLog in the
    // program); the model points it at its folder.
    explicit LogModel(engine::Query& query, QObject* parent = nullptr);

    // The folder of Log37. Makes sure the index that serves the window's order exists.
    void setFolder(const QString& folder);
    QString folder() const { return folder_; }

    // Shows the rows of the where-clause (all rows when empty), from the first.
    void setWhere(const QString& where);
    QString where() const { return where_; }
    // Narrows the rows to those whose number, recipient lines, RE, comment, department or
    // processed-by contain the text (letter case ignored); empty shows them all.
    void setSearch(const QString& text);
    QString search() const { return search_; }
    // Narrows the rows to the days from..to; a null date leaves that end open.
    void setDateRange(const QDate& from, const QDate& to);
    QDate dateFrom() const { return from_; }
    QDate dateTo() const { return to_; }
    // Orders the rows by a grid column (ties by the order they were logged in).
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;
    int sortColumn() const { return sortColumn_; }
    Qt::SortOrder sortOrder() const { return sortOrder_; }

    // The condition of the rows shown (filter, search and dates together; empty for the
    // whole log) and their order, for reports and exports of what the window shows.
    QString viewCondition() const;
    QString orderBy() const;
    // The statement behind the rows shown, as the window states it.
    QString selectSql() const;
    // How many rows the view holds; the grid may not have read them all yet. A search still
    // reading its rows is read to its end first.
    int totalRows();
    // The statement that deletes exactly the rows shown: the same where-clause, and no row
    // another workstation added since the rows were read.
    QString deleteSql() const;
    // Reads the rows again (after rows were changed or deleted), to the last.
    void refresh();

    // A search whose rows are read in slices: whether rows may still follow those shown, one
    // more slice read now, and every slice left read now.
    bool scanning() const { return scan_.phase != Phase::Done; }
    void scanStep();
    void finishScan();
    // Rows of the log a slice looks at: 0 (as the program runs) sizes each slice to take about
    // SliceMs; tests make them small.
    void setSliceRows(int rows) { sliceRows_ = rows; }
    static constexpr int SliceMs = 25;
    // Lets go of the table (the window closes).
    void close();

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    bool canFetchMore(const QModelIndex& parent) const override;
    void fetchMore(const QModelIndex& parent) override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // Any column of a row by name (letter case ignored), as text; Logical reads True/False.
    QString field(int row, const QString& name) const;
    qint64 lid(int row) const;

    // The first row after (or, with includeStart, from) row start, wrapping past the last
    // row to the first, that meets condition; never row start itself unless includeStart.
    // Nothing when no row of the view meets it.
    std::optional<int> findRow(int start, const QString& condition, bool includeStart);

    static constexpr int PageSize = 256;
    static constexpr int KeptPages = 32;
    // Rows looked at in the view's order to judge whether a search matches densely enough
    // to walk the index on DateTime.
    static constexpr int ProbeRows = 4096;
    // The grid column of each sortable log column.
    static int columnOf(const QString& logColumn);

signals:
    // Rows were added to a search still being read, or it came to its end.
    void scanProgressed();
    // A slice read on an idle turn failed; the rows found so far stay, the rest is read
    // again by the next action that needs every row.
    void scanFailed(const QString& message);

private:
    struct Page {
        QList<QStringList> rows;
        quint64 used = 0;
    };
    // How the rows are reached: by offset along the index on DateTime (the count known, or
    // only the rows read so far while more may follow), or by the keys read in order.
    enum class Access { Counted, Growing, Keyed };
    const Page& page(int index) const;
    Page readPage(int index) const;
    QString whereWith(const QString& extra) const;
    QString sortColumnName() const;
    QString direction() const;
    int countWhere(const QString& condition) const;
    void reload();
    void chooseAccess();
    void startScan();
    void readSlice(bool announce);
    void idleSlice();
    void readKeys(const QString& order);
    int rowsBefore(const QString& value, bool null, qint64 lid) const;
    std::optional<int> findKeyed(int start, const QString& condition, bool includeStart);

    engine::Query& query_;
    QString folder_, where_, search_;
    QDate from_, to_;
    int sortColumn_ = 0;
    Qt::SortOrder sortOrder_ = Qt::AscendingOrder;
    Access access_ = Access::Counted;
    bool more_ = false;  // Growing: rows past those read may follow
    QList<qint64> keys_; // Keyed: the LID of every row, in the view's order
    int rows_ = 0;
    qint64 lastLid_ = 0; // the highest key when the rows were read; later rows are not shown
    QStringList columns_;
    QHash<QString, int> columnIndex_; // lower-case name -> position
    // The scan of a keyed search in the date order: the rows without a date and those with
    // one are walked along the index on DateTime, each part in the view's order; the last row
    // looked at is where the next slice goes on.
    enum class Phase { Undated, Dated, Done };
    struct Scan {
        Phase phase = Phase::Done;
        bool started = false; // a row of this phase has been looked at
        QString at;           // its DateTime as an SQL literal
        qint64 lid = 0;
    } scan_;
    QTimer scanTimer_;
    int sliceRows_ = 0;
    int timedRows_ = 2000; // rows a slice took about SliceMs to look at, last time
    mutable QHash<int, Page> pages_;
    mutable quint64 clock_ = 0;
};

// Makes sure Log37 has the index on DateTime that serves the log window's order. A log
// another workstation holds, or one on a read-only share, is left as it is.
void ensureLogOrderIndex(const QString& folder);
