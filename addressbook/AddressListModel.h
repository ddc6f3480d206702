// The address list's rows: one TAddressRec per row, in the order of the query (ascending
// A_ID), captioned by the caption rule. Filled in one pass, so a database of a hundred
// thousand addresses lists at once; the view asks only for the rows it shows.
//
// A search text narrows the rows to the addresses that hold its words (AddressSearch.h).
// The rows shown are what every command of the list sees (rows, records, addresses()); the
// other addresses read from the database wait behind them until the search is cleared. The
// rows shown are kept as places among the addresses read, so that a search that keeps most
// of a hundred thousand addresses copies none of them.
#pragma once

#include "addressbook/AddressSearch.h"
#include "core/TAddressRec.h"

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
    // them all again. False when the rows stay as they were (the same words).
    bool setSearchText(const QString& text);
    // Folds the addresses for a search ahead of its first keystroke (the search box took the
    // keyboard); kept until the rows change.
    void prepareSearch();
    // A copy of the rows shown, in order.
    std::vector<TAddressRec> addresses() const;
    // Every address read, whether the search shows it or not.
    int listedCount() const { return static_cast<int>(listed_.size()); }
    const TAddressRec& record(int row) const { return listed_.at(listedAt(row)); }
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
    int listedAt(int row) const { return searching() ? shown_.at(row) : row; }
    // While searching, the addresses read are folded again after a change.
    void listedChanged();

    std::vector<TAddressRec> listed_; // every address read, in order
    std::vector<int> shown_;          // while searching: the place in listed_ of each row shown
    AddressSearchIndex index_;        // listed_ folded, while searching or prepared for it
    QStringList words_;
    QIcon icon_;
};
