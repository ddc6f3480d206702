// The address list's rows: one TAddressRec per row, in the order of the query (ascending
// A_ID), captioned by the caption rule. Filled in one pass, so a database of a hundred
// thousand addresses lists at once; the view asks only for the rows it shows.
#pragma once

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

    // Replaces every row; the previous records are freed.
    void setAddresses(std::vector<TAddressRec> rows);
    const std::vector<TAddressRec>& addresses() const { return rows_; }
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
    std::vector<TAddressRec> rows_;
    QIcon icon_;
};
