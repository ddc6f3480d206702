// The rows of the log window: the whole log or the rows of a filter, oldest first, read
// from Log37 a page at a time as the grid asks for them, so a log of a million rows costs a
// count and the pages in sight, never a copy of the table.
#pragma once

#include "engine/Query.h"

#include <QAbstractTableModel>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
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
    // The statement behind the rows shown, as the window states it.
    QString selectSql() const;
    // The statement that deletes exactly the rows shown: the same where-clause, and no row
    // another workstation added since the rows were read.
    QString deleteSql() const;
    // Reads the rows again (after rows were changed or deleted).
    void refresh();
    // Lets go of the table (the window closes).
    void close();

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
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

private:
    struct Page {
        QList<QStringList> rows;
        quint64 used = 0;
    };
    const Page& page(int index) const;
    QString whereWith(const QString& extra) const;
    int countWhere(const QString& condition) const;
    int rowsBefore(const QString& dateTime, qint64 lid) const;

    engine::Query& query_;
    QString folder_, where_;
    int rows_ = 0;
    qint64 lastLid_ = 0; // the highest key when the rows were read; later rows are not shown
    QStringList columns_;
    QHash<QString, int> columnIndex_; // lower-case name -> position
    mutable QHash<int, Page> pages_;
    mutable quint64 clock_ = 0;
};

// Makes sure Log37 has the index on DateTime that serves the log window's order. A log
// another workstation holds, or one on a read-only share, is left as it is.
void ensureLogOrderIndex(const QString& folder);
