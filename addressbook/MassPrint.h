// Mass printing without windows: the group query, reading its rows once per address, and
// the dialog's entries (a copy of each address record with its check mark) as a list model.
#pragma once

#include "core/TAddressRec.h"

#include <QAbstractListModel>
#include <QSet>
#include <string>
#include <vector>

namespace engine {
class Query;
}

inline const QString kNoMassPrintAddressesMessage = QStringLiteral("No addresses are selected to Mass Print.");

// The select of a group mass print: every address when "All" is among the selected nodes,
// else the members of the selected groups (groupIds in tree order). Empty when nothing is
// selected, so that the caller can answer that no address is selected.
std::string massPrintGroupSql(bool allSelected, const std::vector<qint32>& groupIds);

// Runs the select and returns its addresses, an address that comes in several consecutive
// rows (a member of several selected groups) once.
std::vector<TAddressRec> massPrintAddresses(engine::Query& query, const std::string& sql);

// The entries of lvMassPrint: caption, record and check mark, in the order they were added.
class MassPrintModel : public QAbstractListModel {
    Q_OBJECT
public:
    using QAbstractListModel::QAbstractListModel;

    struct Entry {
        TAddressRec rec;
        bool checked = false;
    };

    // Adds an entry with a copy of the record unless its A_ID is already entered.
    void AddMassPrintEntry(const TAddressRec& rec, bool checked);
    const std::vector<Entry>& entries() const { return entries_; }
    bool allChecked() const;
    void setAllChecked(bool checked);
    void setChecked(int row, bool checked);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

signals:
    void checksChanged();

private:
    std::vector<Entry> entries_;
    QSet<qint32> entered_;
};
