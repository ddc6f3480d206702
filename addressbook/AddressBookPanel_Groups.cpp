// The group tree of the address-book panel: loading it from the database with the group
// menus of the address list, what a click in it selects and lists, the group commands (new,
// edit, delete, find, select all), and the membership of the selected addresses in groups,
// by the popup menu or by dragging them onto a group.
#include "addressbook/AddressBookPanel.h"
#include "addressbook/AddressListModel.h"
#include "addressbook/TF_GroupSummary.h"
#include "core/SearchText.h"
#include "core/datamodule/TdmDovraPro.h"
#include "widgets/BusyCursor.h"
#include "widgets/ErrorBoundary.h"
#include "widgets/Services.h"
#include "widgets/TF_SingleEdit.h"

#include <QAction>
#include <QMenu>
#include <QMimeData>
#include <QStyle>
#include <QTreeWidget>
#include <algorithm>

namespace {

constexpr int kNodeRole = Qt::UserRole; // a tree item's node in groupTree()

} // namespace

// ---- reading the tree ----------------------------------------------------------------------------

int TAddressBookPanel::nodeOf(const QTreeWidgetItem* item) const
{
    return item ? item->data(0, kNodeRole).toInt() : -1;
}

std::vector<int> TAddressBookPanel::selectedGroupNodes() const
{
    std::vector<int> nodes;
    for (int node : groupTree_.treeOrder())
        if (items_[node]->isSelected())
            nodes.push_back(node);
    return nodes;
}

int TAddressBookPanel::groupNodeAt(const QPoint& pos) const
{
    return nodeOf(tvGroups->itemAt(pos));
}

// ---- loading -----------------------------------------------------------------------------------

void TAddressBookPanel::AddGroupMenuItem(QMenu* menu, const GroupRow& group, void (TAddressBookPanel::*handler)(qint32))
{
    QAction* a = menu->addAction(group.name);
    a->setData(group.id);
    const qint32 id = group.id;
    connect(a, &QAction::triggered, this, [this, handler, id] { guarded([&] { (this->*handler)(id); }); });
}

void TAddressBookPanel::LoadGroupTree()
{
    // Read before anything is cleared, so that a table that cannot be read leaves the tree.
    const std::vector<GroupRow> rows = queries().groups();
    // A search belongs to the database it was typed in.
    if (dmDovraPro->adsqToAddress.folder() != loadedFolder_) {
        loadedFolder_ = dmDovraPro->adsqToAddress.folder();
        clearSearch();
    }
    tvGroups->clear();
    items_.clear();
    groupTree_ = GroupTree::build(rows);
    miAddToGroup->clear();
    miDeleteFromGroup->clear();
    miGroup->menuAction()->setVisible(!rows.empty());
    for (const GroupRow& row : rows) {
        AddGroupMenuItem(miAddToGroup, row, &TAddressBookPanel::AddToGroupClick);
        AddGroupMenuItem(miDeleteFromGroup, row, &TAddressBookPanel::DeleteFromGroupClick);
    }
    const QIcon groupIcon = style()->standardIcon(QStyle::SP_DirIcon); // icon 0, also when selected
    items_.resize(groupTree_.count());
    for (int node : groupTree_.treeOrder()) {
        const GroupTree::Node& n = groupTree_.node(node);
        auto item = n.parent < 0 ? new QTreeWidgetItem(tvGroups) : new QTreeWidgetItem(items_[n.parent]);
        item->setText(0, n.caption);
        item->setData(0, kNodeRole, node);
        item->setIcon(0, groupIcon);
        items_[node] = item;
    }
    tvGroups->expandAll();
    selectOnlyGroup(0);
    FillAddressList(-1);
    setGroupCommands(false, false);
}

// ---- selection -----------------------------------------------------------------------------------

void TAddressBookPanel::setGroupCommands(bool edit, bool remove)
{
    tbtnEditGroup->setEnabled(edit);
    miGroupEdit->setVisible(edit);
    tbtnDeleteGroup->setEnabled(remove);
    miGroupDelete->setVisible(remove);
}

void TAddressBookPanel::tvGroupsMouseDown(const QPoint& pos)
{
    setGroupCommands(false, false);
    const int node = groupNodeAt(pos);
    const auto selected = tvGroups->selectedItems();
    if (node >= 0 && selected.size() == 1) {
        FillAddressList(groupTree_.node(node).rec.ID);
        if (node != 0)
            setGroupCommands(true, true);
    } else if (selected.size() >= 2) {
        setGroupCommands(false, true);
    }
}

// Another node became current: the entry is fresh again, and Print still follows the list.
void TAddressBookPanel::tvGroupsChange()
{
    emit entryChanged();
    lvAddressSelectItem();
}

void TAddressBookPanel::selectOnlyGroup(int node)
{
    tvGroups->clearSelection();
    tvGroups->setCurrentItem(items_.at(node), 0, QItemSelectionModel::ClearAndSelect);
    tvGroups->scrollToItem(items_[node]);
}

// ---- group commands ---------------------------------------------------------------------------------

void TAddressBookPanel::tbtnNewGroupClick()
{
    QString name;
    if (!TF_SingleEdit::ask("New", "New Group Name", name, window(), kGroupNameWidth))
        return;
    if (name == kAllGroupsCaption) {
        MessageService::error(kReservedGroupNewMessage, window());
        return;
    }
    const std::vector<int> selected = selectedGroupNodes();
    const qint32 parentId = selected.empty() ? -1 : groupTree_.node(selected.front()).rec.ID;
    if (!queries().insertGroup(parentId, name)) {
        MessageService::error(duplicateGroupMessage(name), window());
        return;
    }
    LoadGroupTree();
}

void TAddressBookPanel::tbtnEditGroupClick()
{
    const std::vector<int> selected = selectedGroupNodes();
    if (selected.empty() || selected.front() == 0)
        return;
    const int node = selected.front();
    QString name = groupTree_.node(node).caption;
    if (!TF_SingleEdit::ask("Edit", "Edit Group Name", name, window(), kGroupNameWidth))
        return;
    if (name == kAllGroupsCaption) {
        MessageService::error(kReservedGroupRenameMessage, window());
        return;
    }
    const qint32 id = groupTree_.node(node).rec.ID;
    if (!queries().renameGroup(id, name)) {
        MessageService::error(duplicateGroupMessage(name), window());
        return;
    }
    groupTree_.rename(node, name);
    items_[node]->setText(0, name);
    for (QMenu* menu : {miAddToGroup, miDeleteFromGroup})
        for (QAction* a : menu->actions())
            if (a->data().toInt() == id)
                a->setText(name);
}

void TAddressBookPanel::DeleteGroupSubtree(const std::vector<int>& nodes)
{
    queries().deleteGroupRows(subtreeGroupIds(groupTree_, nodes));
}

void TAddressBookPanel::tbtnDeleteGroupClick()
{
    std::vector<int> selected = selectedGroupNodes();
    selected.erase(std::remove(selected.begin(), selected.end(), 0), selected.end()); // "All" stays
    if (selected.empty())
        return;
    const bool several = selectedGroupNodes().size() > 1;
    QString question = "Are you sure you want to delete all the selected Groups?";
    if (!several)
        question = groupTree_.node(selected.front()).children.empty()
                       ? "Are you sure you want to delete this Group?"
                       : "Are you sure you want to delete this Group and all Groups underneath it?";
    if (MessageService::confirmYesNoCancel(question, window()) != QMessageBox::Yes)
        return;
    DeleteGroupSubtree(selected);
    if (several) {
        setPrintEnabled(false);
        showRecipient(nullptr);
    }
    LoadGroupTree();
}

void TAddressBookPanel::tbtnFindGroupClick()
{
    if (TF_SingleEdit::askSearchText(window()))
        FindNextGroup();
}

void TAddressBookPanel::FindNextGroup()
{
    const std::vector<int> order = groupTree_.treeOrder();
    const std::vector<int> selected = selectedGroupNodes();
    const int start = selected.empty()
                          ? -1
                          : static_cast<int>(std::find(order.begin(), order.end(), selected.front()) - order.begin());
    const QString wanted = rememberedSearchText;
    const int found = findNextIndex(static_cast<int>(order.size()), start, [&](int i) {
        return groupCaptionContains(groupTree_.node(order[i]).caption, wanted);
    });
    if (found < 0) {
        MessageService::information(searchNotFoundMessage(rememberedSearchText), window());
        return;
    }
    selectOnlyGroup(order[found]);
    FillAddressList(groupTree_.node(order[found]).rec.ID);
}

void TAddressBookPanel::tbtnSelectAllGroupClick()
{
    tvGroups->clearSelection();
    for (int node : groupTree_.treeOrder())
        if (node != 0)
            items_[node]->setSelected(true);
    tvGroups->setFocus();
    setPrintEnabled(false);
    showRecipient(nullptr);
}

// ---- membership ---------------------------------------------------------------------------------------

void TAddressBookPanel::changeMembership(bool adding, qint32 groupId)
{
    const int node = groupTree_.findGroupNode(groupId);
    if (node < 0)
        return;
    const QString name = groupTree_.node(node).caption;
    AddressBookQueries q = queries();
    const auto change = [&](qint32 addressId) {
        return adding ? q.addMembership(addressId, groupId) : q.removeMembership(addressId, groupId);
    };
    const std::vector<int> rows = selectedAddressRows();
    if (rows.size() == 1) {
        const MembershipText told = membershipMessage(adding, change(addressModel_->record(rows.front()).ID), name);
        if (told.error)
            MessageService::error(told.text, window());
        else
            MessageService::information(told.text, window());
        return;
    }
    TF_GroupSummary summary(window());
    {
        BusyCursor busy;
        for (int row : rows) {
            const TAddressRec& rec = addressModel_->record(row);
            const MembershipResult result = change(rec.ID);
            summary.AddSummaryLine(result.outcome == MembershipOutcome::Done, addressCaption(rec.address),
                                   membershipSummaryLine(adding, result, name).text);
        }
    }
    summary.exec();
}

void TAddressBookPanel::AddToGroupClick(qint32 groupId)
{
    changeMembership(true, groupId);
}

void TAddressBookPanel::DeleteFromGroupClick(qint32 groupId)
{
    changeMembership(false, groupId);
}

void TAddressBookPanel::miAssignedClick()
{
    const std::vector<int> rows = selectedAddressRows();
    if (rows.empty())
        return;
    const QStringList names = queries().assignedGroups(addressModel_->record(rows.front()).ID);
    MessageService::information(assignedGroupsMessage(names), window());
}

bool TAddressBookPanel::tvGroupsDragOver(const QPoint& pos, const QMimeData* mime) const
{
    if (!mime || !mime->hasFormat(AddressListModel::kMimeType))
        return false;
    const int node = groupNodeAt(pos);
    return node >= 0 && groupTree_.node(node).caption != kAllGroupsCaption;
}

void TAddressBookPanel::tvGroupsDragDrop(const QPoint& pos, const QMimeData* mime)
{
    if (!tvGroupsDragOver(pos, mime))
        return;
    AddToGroupClick(groupTree_.node(groupNodeAt(pos)).rec.ID);
}
