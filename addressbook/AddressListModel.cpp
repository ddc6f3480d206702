#include "addressbook/AddressListModel.h"
#include "addressbook/AddressBook.h"

#include <QMimeData>
#include <algorithm>

void AddressListModel::setAddresses(std::vector<TAddressRec> rows)
{
    beginResetModel();
    listed_ = std::move(rows);
    if (searching()) {
        index_.build(listed_);
        shown_ = index_.matching(words_);
    } else {
        index_.clear();
    }
    endResetModel();
}

bool AddressListModel::setSearchText(const QString& text)
{
    QStringList words = searchWords(text);
    if (words == words_)
        return false;
    beginResetModel();
    if (words.isEmpty()) {
        shown_ = {};
    } else if (!searching()) {
        prepareSearch();
        shown_ = index_.matching(words);
    } else if (searchNarrows(words, words_)) {
        shown_ = index_.matchingWithin(words, shown_);
    } else {
        shown_ = index_.matching(words);
    }
    words_ = std::move(words);
    endResetModel();
    return true;
}

std::vector<TAddressRec> AddressListModel::addresses() const
{
    if (!searching())
        return listed_;
    std::vector<TAddressRec> shown;
    shown.reserve(shown_.size());
    for (int i : shown_)
        shown.push_back(listed_[i]);
    return shown;
}

void AddressListModel::prepareSearch()
{
    if (!index_.built())
        index_.build(listed_);
}

void AddressListModel::listedChanged()
{
    if (searching())
        index_.build(listed_);
    else
        index_.clear();
}

void AddressListModel::updateAddress(int row, const TAddressLines& address)
{
    listed_.at(listedAt(row)).address = address;
    listedChanged();
    const QModelIndex i = index(row);
    emit dataChanged(i, i);
}

void AddressListModel::removeAddressRows(std::vector<int> rows)
{
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    std::vector<int> gone; // places in listed_, ascending
    for (int row : rows)
        gone.push_back(listedAt(row));
    beginResetModel();
    if (searching()) {
        // The rows shown that stay keep their places, moved up past the addresses gone.
        std::vector<int> shown;
        auto next = rows.begin();
        for (int row = 0; row < static_cast<int>(shown_.size()); ++row) {
            if (next != rows.end() && *next == row) {
                ++next;
                continue;
            }
            const int at = shown_[row];
            shown.push_back(at - static_cast<int>(std::lower_bound(gone.begin(), gone.end(), at) - gone.begin()));
        }
        shown_ = std::move(shown);
    }
    std::vector<TAddressRec> kept;
    kept.reserve(listed_.size() - std::min(listed_.size(), gone.size()));
    auto next = gone.begin();
    for (int i = 0; i < static_cast<int>(listed_.size()); ++i) {
        if (next != gone.end() && *next == i)
            ++next;
        else
            kept.push_back(std::move(listed_[i]));
    }
    listed_ = std::move(kept);
    listedChanged();
    endResetModel();
}

int AddressListModel::rowCount(const QModelIndex& parent) const
{
    if (parent.isValid())
        return 0;
    return static_cast<int>(searching() ? shown_.size() : listed_.size());
}

QVariant AddressListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const TAddressRec& rec = record(index.row());
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
        if (i.isValid() && i.row() < rowCount())
            ids << QString::number(record(i.row()).ID);
    auto mime = new QMimeData;
    mime->setData(kMimeType, ids.join('\n').toUtf8());
    return mime;
}
