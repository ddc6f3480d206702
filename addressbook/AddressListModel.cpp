#include "addressbook/AddressListModel.h"
#include "addressbook/AddressBook.h"

#include <QMimeData>
#include <algorithm>

void AddressListModel::setAddresses(std::vector<TAddressRec> rows)
{
    beginResetModel();
    if (searching()) {
        listed_ = std::move(rows);
        index_.build(listed_);
        showMatches(index_.matching(words_));
    } else {
        rows_ = std::move(rows);
    }
    endResetModel();
}

void AddressListModel::setSearchText(const QString& text)
{
    searchText_ = text;
    QStringList words = searchWords(text);
    if (words == words_)
        return;
    beginResetModel();
    if (words.isEmpty()) {
        rows_ = std::move(listed_);
        listed_ = {};
        shownListed_ = {};
        index_.clear();
    } else if (!searching()) {
        listed_ = std::move(rows_);
        index_.build(listed_);
        showMatches(index_.matching(words));
    } else if (searchNarrows(words, words_)) {
        showMatches(index_.matchingWithin(words, shownListed_));
    } else {
        showMatches(index_.matching(words));
    }
    words_ = std::move(words);
    endResetModel();
}

void AddressListModel::showMatches(const std::vector<int>& matches)
{
    shownListed_ = matches;
    rows_.clear();
    rows_.reserve(matches.size());
    for (int i : matches)
        rows_.push_back(listed_[i]);
}

void AddressListModel::listedChanged()
{
    if (searching())
        index_.build(listed_);
}

void AddressListModel::updateAddress(int row, const TAddressLines& address)
{
    rows_.at(row).address = address;
    if (searching()) {
        listed_.at(shownListed_.at(row)).address = address;
        listedChanged();
    }
    const QModelIndex i = index(row);
    emit dataChanged(i, i);
}

namespace {

// The records without those at the (ascending, distinct) indexes.
std::vector<TAddressRec> without(std::vector<TAddressRec>& records, const std::vector<int>& gone)
{
    std::vector<TAddressRec> kept;
    kept.reserve(records.size() - std::min(records.size(), gone.size()));
    auto next = gone.begin();
    for (int i = 0; i < static_cast<int>(records.size()); ++i) {
        if (next != gone.end() && *next == i)
            ++next;
        else
            kept.push_back(std::move(records[i]));
    }
    return kept;
}

} // namespace

void AddressListModel::removeAddressRows(std::vector<int> rows)
{
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    beginResetModel();
    if (searching()) {
        // The shown rows left keep their places in listed_, moved up past the rows gone.
        std::vector<int> gone;
        for (int row : rows)
            gone.push_back(shownListed_.at(row));
        std::vector<int> shown;
        auto next = rows.begin();
        for (int row = 0; row < static_cast<int>(shownListed_.size()); ++row) {
            if (next != rows.end() && *next == row) {
                ++next;
                continue;
            }
            const int at = shownListed_[row];
            shown.push_back(at - static_cast<int>(std::lower_bound(gone.begin(), gone.end(), at) - gone.begin()));
        }
        listed_ = without(listed_, gone);
        shownListed_ = std::move(shown);
        listedChanged();
    }
    rows_ = without(rows_, rows);
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
