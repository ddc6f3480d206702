// The address-book panel of the main window (panelDB): the open database's name and its
// Close button, the address list with its tool bar and popup menu, and the group tree with
// its tool bar and popup menu. Selecting exactly one address makes it the current recipient:
// the panel tells so by its signals, which the main window connects. The panel and its address
// list are in AddressBookPanel.cpp; the group tree's commands and the memberships of addresses
// in groups in AddressBookPanel_Groups.cpp.
#pragma once

#include "addressbook/AddressBook.h"

#include <QWidget>
#include <array>
#include <vector>

class AddressListModel;
class QAction;
class QLabel;
class QLineEdit;
class QListView;
class QMenu;
class QMimeData;
class QPushButton;
class QShortcut;
class QSplitter;
class QToolBar;
class QTreeWidget;
class QTreeWidgetItem;

class TAddressBookPanel : public QWidget {
    Q_OBJECT
public:
    explicit TAddressBookPanel(QWidget* parent);

    // ---- what other commands read (mass printing, text files) ------------------------------
    // The statements on the open database (the data module's address query).
    AddressBookQueries queries() const;
    AddressListModel* addressModel() const { return addressModel_; }
    // Rows of the list that are selected, in list order.
    std::vector<int> selectedAddressRows() const;
    // The group key whose members the list shows, -1 for every address.
    qint32 listedGroupId() const { return listedGroupId_; }
    const GroupTree& groupTree() const { return groupTree_; }
    // Selected nodes (indexes into groupTree()), in tree order.
    std::vector<int> selectedGroupNodes() const;
    QTreeWidgetItem* groupItem(int node) const { return items_.at(node); }
    // Selects the list row alone and scrolls to it; the selection rule follows.
    void selectOnlyAddress(int row);
    // Shows the database folder in labelDatabaseName, shortened from the left when long; a
    // database on a server by its name.
    void showDatabaseName(const QString& folder);

    QLabel* labelDatabaseName = nullptr;
    QPushButton* btnCloseDB = nullptr;
    // Narrows the list to the addresses that hold the typed words (within the group listed).
    QLineEdit* editSearchAddress = nullptr;
    QToolBar* tbAddress = nullptr;
    QListView* lvAddress = nullptr;
    QSplitter* splitterDB = nullptr;
    QToolBar* tbGroups = nullptr;
    QTreeWidget* tvGroups = nullptr;

    QAction* tbtnNewAddress = nullptr;
    QAction* tbtnEditAddress = nullptr;
    QAction* tbtnDeleteAddress = nullptr;
    QAction* tbtnFindAddress = nullptr;
    QAction* tbtnMassPrintAddress = nullptr;
    QAction* tbtnSelectAllAddress = nullptr;
    QAction* tbtnNewGroup = nullptr;
    QAction* tbtnEditGroup = nullptr;
    QAction* tbtnDeleteGroup = nullptr;
    QAction* tbtnFindGroup = nullptr;
    QAction* tbtnMassPrintGroup = nullptr;
    QAction* tbtnSelectAllGroup = nullptr;

    QMenu* popupAddress = nullptr;
    QAction* miAddressNew = nullptr;
    QAction* miAddressEdit = nullptr;
    QAction* miAddressDelete = nullptr;
    QMenu* miGroup = nullptr;
    QMenu* miAddToGroup = nullptr;
    QMenu* miDeleteFromGroup = nullptr;
    QAction* miAssigned = nullptr;
    QAction* miAddressFind = nullptr;
    QAction* miAddressMassPrint = nullptr;
    QAction* miAddressSelectAll = nullptr;

    QMenu* popupGroups = nullptr;
    QAction* miGroupEdit = nullptr;
    QAction* miGroupNew = nullptr;
    QAction* miGroupDelete = nullptr;
    QAction* miGroupFind = nullptr;
    QAction* miGroupMassPrint = nullptr;
    QAction* miGroupSelectAll = nullptr;

signals:
    // The recipient's lines as the entry shows them; blank lines when no one address is selected.
    void recipientLinesShown(const std::array<QString, 5>& lines);
    // The one selected address became the recipient.
    void recipientChosen(const TAddressLines& address);
    // Whether Print can print for the selection (told while the panel is shown).
    void printEnabledChanged(bool enabled);
    // The selection changed: the entry is fresh again.
    void entryChanged();

public slots:
    void LoadGroupTree();
    void FillAddressList(qint32 groupId);
    void FindNextAddress();
    void FindNextGroup();
    void editSearchAddressChange(const QString& text);

    // The selection rule: the recipient box, Print and the address commands.
    void lvAddressSelectItem();
    void lvAddressChange();
    void tvGroupsMouseDown(const QPoint& pos);
    void tvGroupsChange();

    void tbtnNewAddressClick();
    void tbtnEditAddressClick();
    void tbtnDeleteAddressClick();
    void tbtnFindAddressClick();
    void tbtnSelectAllAddressClick();
    void tbtnNewGroupClick();
    void tbtnEditGroupClick();
    void tbtnDeleteGroupClick();
    void tbtnFindGroupClick();
    void tbtnSelectAllGroupClick();

    // Membership of the selected addresses in a group.
    void AddToGroupClick(qint32 groupId);
    void DeleteFromGroupClick(qint32 groupId);
    void miAssignedClick();
    // Whether a drag carrying mime may drop at pos (viewport coordinates of the tree).
    bool tvGroupsDragOver(const QPoint& pos, const QMimeData* mime) const;
    void tvGroupsDragDrop(const QPoint& pos, const QMimeData* mime);

protected:
    void hideEvent(QHideEvent* event) override;

private:
    void clearSearch();
    void buildAddressSide(QWidget* side);
    void buildGroupSide(QWidget* side);
    void AddGroupMenuItem(QMenu* menu, const GroupRow& group, void (TAddressBookPanel::*handler)(qint32));
    void setGroupCommands(bool edit, bool remove);
    void setAddressCommand(QAction* button, QAction* item, bool on);
    void showRecipient(const TAddressRec* rec);
    void setPrintEnabled(bool enabled);
    int groupNodeAt(const QPoint& pos) const;
    int nodeOf(const QTreeWidgetItem* item) const;
    void selectOnlyGroup(int node);
    void changeMembership(bool adding, qint32 groupId);
    void DeleteGroupSubtree(const std::vector<int>& nodes);

    AddressListModel* addressModel_ = nullptr;
    GroupTree groupTree_;
    std::vector<QTreeWidgetItem*> items_; // the tree's items by node index
    qint32 listedGroupId_ = -1;
    QShortcut* escClearsSearch_ = nullptr;
    std::string loadedFolder_;          // the database the tree was last loaded from
    QString shownLocation_, shownName_; // the server database labelDatabaseName shows, and its name
};
