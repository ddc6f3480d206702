#include "addressbook/MassPrint.h"

#include "addressbook/AddressBook.h"
#include "engine/Query.h"

std::string massPrintGroupSql(bool allSelected, const std::vector<qint32>& groupIds)
{
    if (allSelected)
        return addressListSql(-1); // every address
    if (groupIds.empty())
        return {};
    std::string conditions;
    for (qint32 id : groupIds)
        conditions += "or (M.G_ID = " + std::to_string(id) + ")";
    conditions.erase(0, 3); // the leading "or "
    return "select a.* from Address a, Members m where (" + conditions + ") and " + "m.A_ID = a.A_ID " +
           "order by a.A_ID";
}

std::vector<TAddressRec> massPrintAddresses(engine::Query& query, const std::string& sql)
{
    std::vector<TAddressRec> rows;
    query.close();
    query.setSql(sql);
    query.open();
    for (; !query.eof(); query.next()) {
        TAddressRec rec = addressRecOf(query);
        if (rows.empty() || rows.back().ID != rec.ID)
            rows.push_back(std::move(rec));
    }
    query.close();
    return rows;
}

void MassPrintModel::AddMassPrintEntry(const TAddressRec& rec, bool checked)
{
    if (entered_.contains(rec.ID))
        return;
    entered_.insert(rec.ID);
    const int row = static_cast<int>(entries_.size());
    beginInsertRows({}, row, row);
    entries_.push_back({rec, checked});
    endInsertRows();
}

bool MassPrintModel::allChecked() const
{
    for (const Entry& e : entries_)
        if (!e.checked)
            return false;
    return true;
}

void MassPrintModel::setAllChecked(bool checked)
{
    for (Entry& e : entries_)
        e.checked = checked;
    if (!entries_.empty())
        emit dataChanged(index(0), index(rowCount() - 1), {Qt::CheckStateRole});
    emit checksChanged();
}

void MassPrintModel::setChecked(int row, bool checked)
{
    entries_.at(row).checked = checked;
    emit dataChanged(index(row), index(row), {Qt::CheckStateRole});
    emit checksChanged();
}

int MassPrintModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(entries_.size());
}

QVariant MassPrintModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const Entry& e = entries_[index.row()];
    switch (role) {
    case Qt::DisplayRole:
        return addressCaption(e.rec.address);
    case Qt::CheckStateRole:
        return e.checked ? Qt::Checked : Qt::Unchecked;
    case Qt::ToolTipRole:
        return addressHintShown(e.rec.address);
    default:
        return {};
    }
}

bool MassPrintModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (role != Qt::CheckStateRole || !index.isValid())
        return false;
    setChecked(index.row(), value.toInt() == Qt::Checked);
    return true;
}

Qt::ItemFlags MassPrintModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable;
}
