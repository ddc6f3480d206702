// The address list's rows: one TAddressRec per row, in the order of the query (ascending
// A_ID), captioned by the caption rule. Filled in one pass, so a database of a hundred
// thousand addresses lists at once; the view asks only for the rows it shows.
//
// A search text narrows the rows to the addresses that hold its words (AddressSearch.h).
// The rows shown are what every command of the list sees (rows, records, addresses()); the
// addresses read from the database wait behind them until the search is cleared.
#pragma once

#include "addressbook/AddressSearch.h"
#include "entry/TAddressRec.h"

#include <QAbstractListModel>
#include <QIcon>
#include <vector>

class AddressListModel : public QAbstractListModel {
    Q_OBJECT
public:
    // What a drag of the list carries: the A_IDs of the dragged rows, one per line.
    static inline const QString kMimeType = QStringLiteral("application/x-dovra-address-ids");

    using QAbstractListModel::QAbstractListModel;

    // Replaces every row; the previous records are freed. The search text stays and narrows
    // the new rows.
    void setAddresses(std::vector<TAddressRec> rows);
    // Narrows the rows to the addresses that hold every word of text; an empty text shows
    // them all again.
    void setSearchText(const QString& text);
    const QString& searchText() const { return searchText_; }
    // The rows shown, in order.
    const std::vector<TAddressRec>& addresses() const { return rows_; }
    // Every address read, whether the search shows it or not.
    int listedCount() const { return searching() ? static_cast<int>(listed_.size()) : static_cast<int>(rows_.size()); }
    const TAddressRec& record(int row) const { return rows_.at(row); }
    // Gives the row new fields; its key and place stay.
    void updateAddress(int row, const TAddressLines& address);
    // Removes the rows (any order) in one reset.
    void removeAddressRows(std::vector<int> rows);
    void setIcon(const QIcon& icon) { icon_ = icon; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;
    Qt::DropActions supportedDragActions() const override { return Qt::CopyAction; }

private:
    bool searching() const { return !words_.isEmpty(); }
    void showMatches(const std::vector<int>& matches);
    // While searching, a change to a row is made to its record in listed_ too, and the
    // folded lines are made again.
    void listedChanged();

    std::vector<TAddressRec> rows_;   // the rows shown
    std::vector<TAddressRec> listed_; // while searching: every address read
    std::vector<int> shownListed_;    // while searching: the index in listed_ of each row shown
    AddressSearchIndex index_;        // while searching: listed_ folded
    QString searchText_;
    QStringList words_;
    QIcon icon_;
};
