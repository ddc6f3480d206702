#include "addressbook/AddressListModel.h"
#include "addressbook/AddressBook.h"

#include <QMimeData>
#include <algorithm>

void AddressListModel::setAddresses(std::vector<TAddressRec> rows)
{
    beginResetModel();
    rows_ = std::move(rows);
    endResetModel();
}

void AddressListModel::updateAddress(int row, const TAddressLines& address)
{
    rows_.at(row).address = address;
    const QModelIndex i = index(row);
    emit dataChanged(i, i);
}

void AddressListModel::removeAddressRows(std::vector<int> rows)
{
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    beginResetModel();
    std::vector<TAddressRec> kept;
    kept.reserve(rows_.size() - std::min(rows_.size(), rows.size()));
    auto next = rows.begin();
    for (int i = 0; i < static_cast<int>(rows_.size()); ++i) {
        if (next != rows.end() && *next == i)
            ++next;
        else
            kept.push_back(std::move(rows_[i]));
    }
    rows_ = std::move(kept);
    endResetModel();
}

int AddressListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

QVariant AddressListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= static_cast<int>(rows_.size()))
        return {};
    const TAddressRec& rec = rows_[index.row()];
    switch (role) {
    case Qt::DisplayRole:
        return addressCaption(rec.address);
    case Qt::DecorationRole:
        return icon_;
    case Qt::ToolTipRole:
        return addressHintShown(rec.address);
    default:
        return {};
    }
}

Qt::ItemFlags AddressListModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled | Qt::ItemNeverHasChildren;
}

QStringList AddressListModel::mimeTypes() const
{
    return {kMimeType};
}

QMimeData* AddressListModel::mimeData(const QModelIndexList& indexes) const
{
    QStringList ids;
    for (const QModelIndex& i : indexes)
        if (i.isValid() && i.row() < static_cast<int>(rows_.size()))
            ids << QString::number(rows_[i.row()].ID);
    auto mime = new QMimeData;
    mime->setData(kMimeType, ids.join('\n').toUtf8());
    return mime;
}
