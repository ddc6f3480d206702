// The address-book panel: its two sides built (the address list with its search box, tool bar
// and popup menu; the group tree with its tool bar and popup menu), the address list loaded
// and searched, the selection rule that makes one address the recipient, and the address
// commands. The group tree's loading, selection, commands and memberships are in
// AddressBookPanel_Groups.cpp.
#include "addressbook/AddressBookPanel.h"
#include "addressbook/AddressListModel.h"
#include "core/SearchText.h"
#include "core/datamodule/TdmDovraPro.h"
#include "widgets/BusyCursor.h"
#include "widgets/DialogParts.h"
#include "widgets/ErrorBoundary.h"
#include "widgets/PathLabel.h"
#include "widgets/Services.h"
#include "widgets/TF_Address.h"
#include "widgets/TF_SingleEdit.h"

#include <QAction>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QHideEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QPushButton>
#include <QShortcut>
#include <QSplitter>
#include <QStyle>
#include <QToolBar>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <functional>

namespace {

// The group tree: a press runs the group click once the tree has updated its selection, and
// drags of the address list are answered by the panel.
class GroupTreeWidget : public QTreeWidget {
public:
    using QTreeWidget::QTreeWidget;
    std::function<void(const QPoint&)> pressed;
    std::function<bool(const QPoint&, const QMimeData*)> dragOver;
    std::function<void(const QPoint&, const QMimeData*)> dropped;

protected:
    void mousePressEvent(QMouseEvent* event) override
    {
        QTreeWidget::mousePressEvent(event);
        pressed(event->position().toPoint());
    }
    // A drag refused as it enters gets no move events for the rest of its pass, and a drag
    // straight down from the list enters over "All"; so any drag of addresses is taken in,
    // and each move decides whether the row under it takes the addresses.
    void dragEnterEvent(QDragEnterEvent* event) override
    {
        if (carriesAddresses(event))
            event->acceptProposedAction();
        else
            event->ignore();
    }
    void dragMoveEvent(QDragMoveEvent* event) override
    {
        if (carriesAddresses(event) && dragOver(event->position().toPoint(), event->mimeData()))
            event->acceptProposedAction();
        else
            event->ignore();
    }
    void dropEvent(QDropEvent* event) override
    {
        event->acceptProposedAction();
        dropped(event->position().toPoint(), event->mimeData());
    }

private:
    static bool carriesAddresses(const QDropEvent* event)
    {
        return event->mimeData() && event->mimeData()->hasFormat(AddressListModel::kMimeType);
    }
};

// The search box: taking the keyboard readies the list for the first keystroke.
class SearchBox : public QLineEdit {
public:
    using QLineEdit::QLineEdit;
    std::function<void()> focused;

protected:
    void focusInEvent(QFocusEvent* event) override
    {
        QLineEdit::focusInEvent(event);
        if (focused)
            focused();
    }
};

QAction* toolButton(QToolBar* bar, QStyle::StandardPixmap icon, const char* name, const QString& hint)
{
    QAction* a = bar->addAction(bar->style()->standardIcon(icon), hint);
    a->setObjectName(name);
    a->setToolTip(hint);
    return a;
}

QToolBar* verticalToolBar(QWidget* parent, const char* name)
{
    auto bar = new QToolBar(parent);
    bar->setObjectName(name);
    bar->setOrientation(Qt::Vertical);
    bar->setIconSize(QSize(16, 16));
    bar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    return bar;
}

// Runs the handler when the key is pressed in the widget.
void onKey(QWidget* widget, const QKeySequence& key, const std::function<void()>& handler)
{
    auto shortcut = new QShortcut(key, widget, nullptr, nullptr, Qt::WidgetShortcut);
    QObject::connect(shortcut, &QShortcut::activated, widget, [handler] { guarded(handler); });
}

void connectCommand(std::initializer_list<QAction*> actions, TAddressBookPanel* panel,
                    void (TAddressBookPanel::*slot)())
{
    for (QAction* a : actions)
        QObject::connect(a, &QAction::triggered, panel, [panel, slot] { guarded([&] { (panel->*slot)(); }); });
}

} // namespace

TAddressBookPanel::TAddressBookPanel(QWidget* parent) : QWidget(parent)
{
    setObjectName("panelDB");
    auto layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    auto header = new QWidget(this);
    header->setFixedHeight(33);
    auto headerRow = new QHBoxLayout(header);
    headerRow->setContentsMargins(2, 2, 2, 2);
    labelDatabaseName = new QLabel(header);
    labelDatabaseName->setObjectName("labelDatabaseName");
    QPalette blue = labelDatabaseName->palette();
    blue.setColor(QPalette::WindowText, Qt::blue);
    labelDatabaseName->setPalette(blue);
    btnCloseDB = new QPushButton("Close", header);
    btnCloseDB->setObjectName("btnCloseDB");
    QFont bold = btnCloseDB->font();
    bold.setBold(true);
    btnCloseDB->setFont(bold);
    QPalette green = btnCloseDB->palette();
    green.setColor(QPalette::ButtonText, QColor(0, 128, 0));
    btnCloseDB->setPalette(green);
    btnCloseDB->setFixedWidth(52);
    headerRow->addWidget(labelDatabaseName, 1);
    headerRow->addWidget(btnCloseDB);
    layout->addWidget(header);

    splitterDB = new QSplitter(Qt::Vertical, this);
    splitterDB->setObjectName("splitterDB");
    splitterDB->setChildrenCollapsible(false);
    auto addressSide = new QWidget(splitterDB);
    auto groupSide = new QWidget(splitterDB);
    buildAddressSide(addressSide);
    buildGroupSide(groupSide);
    splitterDB->addWidget(addressSide);
    splitterDB->addWidget(groupSide);
    splitterDB->setSizes({154, 200});
    layout->addWidget(splitterDB, 1);
    setGroupCommands(false, false);
}

void TAddressBookPanel::buildAddressSide(QWidget* side)
{
    // The tool bar keeps the side's whole height; the search box sits above the list.
    auto row = new QHBoxLayout(side);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(1);
    auto column = new QVBoxLayout;
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(1);
    auto searchBox = new SearchBox(side);
    searchBox->focused = [this] { guarded([this] { addressModel_->prepareSearch(); }); };
    editSearchAddress = searchBox;
    editSearchAddress->setObjectName("editSearchAddress");
    editSearchAddress->setPlaceholderText("Search");
    editSearchAddress->setToolTip("Lists the addresses that hold every word typed, in any order; Esc clears");
    editSearchAddress->setClearButtonEnabled(true);
    column->addWidget(editSearchAddress);
    tbAddress = verticalToolBar(side, "tbAddress");
    tbtnNewAddress = toolButton(tbAddress, QStyle::SP_FileIcon, "tbtnNewAddress", "New Address");
    tbtnEditAddress = toolButton(tbAddress, QStyle::SP_FileDialogDetailedView, "tbtnEditAddress", "Edit Address");
    tbtnDeleteAddress = toolButton(tbAddress, QStyle::SP_DialogDiscardButton, "tbtnDeleteAddress", "Delete Address");
    tbtnFindAddress = toolButton(tbAddress, QStyle::SP_FileDialogContentsView, "tbtnFindAddress", "Find Address");
    tbtnMassPrintAddress = toolButton(tbAddress, QStyle::SP_DialogSaveButton, "tbtnMassPrintAddress", "Mass Print");
    tbtnSelectAllAddress = toolButton(tbAddress, QStyle::SP_DialogApplyButton, "tbtnSelectAllAddress", "Select All");
    row->addWidget(tbAddress);

    addressModel_ = new AddressListModel(this);
    addressModel_->setIcon(style()->standardIcon(QStyle::SP_FileIcon)); // icon 1 of the image list
    lvAddress = new QListView(side);
    lvAddress->setObjectName("lvAddress");
    lvAddress->setModel(addressModel_);
    lvAddress->setUniformItemSizes(true);
    lvAddress->setSelectionMode(QAbstractItemView::ExtendedSelection);
    lvAddress->setDragEnabled(true);
    lvAddress->setDragDropMode(QAbstractItemView::DragOnly);
    lvAddress->setDefaultDropAction(Qt::CopyAction);
    lvAddress->setContextMenuPolicy(Qt::CustomContextMenu);
    lvAddress->setMinimumHeight(80);
    column->addWidget(lvAddress, 1);
    row->addLayout(column, 1);

    popupAddress = new QMenu(this);
    popupAddress->setObjectName("popupAddress");
    miAddressNew = addMenuItem(popupAddress, "&New", "miAddressNew");
    popupAddress->addSeparator();
    miAddressEdit = addMenuItem(popupAddress, "&Edit", "miAddressEdit");
    miAddressDelete = addMenuItem(popupAddress, "&Delete", "miAddressDelete");
    popupAddress->addSeparator();
    miGroup = popupAddress->addMenu("&Group");
    miGroup->setObjectName("miGroup");
    miAddToGroup = miGroup->addMenu("&Add to Group");
    miAddToGroup->setObjectName("miAddToGroup");
    miDeleteFromGroup = miGroup->addMenu("&Delete from Group");
    miDeleteFromGroup->setObjectName("miDeleteFromGroup");
    miAssigned = addMenuItem(miGroup, "&Assigned Groups", "miAssigned");
    popupAddress->addSeparator();
    miAddressFind = addMenuItem(popupAddress, "&Find", "miAddressFind");
    popupAddress->addSeparator();
    miAddressMassPrint = addMenuItem(popupAddress, "&Mass Print", "miAddressMassPrint");
    popupAddress->addSeparator();
    miAddressSelectAll = addMenuItem(popupAddress, "&Select All", "miAddressSelectAll");

    connectCommand({tbtnNewAddress, miAddressNew}, this, &TAddressBookPanel::tbtnNewAddressClick);
    connectCommand({tbtnEditAddress, miAddressEdit}, this, &TAddressBookPanel::tbtnEditAddressClick);
    connectCommand({tbtnDeleteAddress, miAddressDelete}, this, &TAddressBookPanel::tbtnDeleteAddressClick);
    connectCommand({tbtnFindAddress, miAddressFind}, this, &TAddressBookPanel::tbtnFindAddressClick);
    connectCommand({tbtnSelectAllAddress, miAddressSelectAll}, this, &TAddressBookPanel::tbtnSelectAllAddressClick);
    connectCommand({miAssigned}, this, &TAddressBookPanel::miAssignedClick);
    connect(lvAddress->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &TAddressBookPanel::lvAddressChange);
    connect(lvAddress, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { popupAddress->popup(lvAddress->viewport()->mapToGlobal(pos)); });
    onKey(lvAddress, QKeySequence(Qt::Key_F3), [this] {
        if (!rememberedSearchText.trimmed().isEmpty())
            FindNextAddress();
    });
    onKey(lvAddress, QKeySequence(Qt::CTRL | Qt::Key_F), [this] { tbtnFindAddressClick(); });

    connect(editSearchAddress, &QLineEdit::textChanged, this,
            [this](const QString& text) { guarded([&] { editSearchAddressChange(text); }); });
    // Esc clears a search; in an empty box it is the main window's Esc, as anywhere else.
    escClearsSearch_ =
        new QShortcut(QKeySequence(Qt::Key_Escape), editSearchAddress, nullptr, nullptr, Qt::WidgetShortcut);
    escClearsSearch_->setEnabled(false);
    connect(escClearsSearch_, &QShortcut::activated, editSearchAddress, &QLineEdit::clear);
    connect(editSearchAddress, &QLineEdit::textChanged, escClearsSearch_,
            [this](const QString& text) { escClearsSearch_->setEnabled(!text.isEmpty()); });
    onKey(editSearchAddress, QKeySequence(Qt::Key_Down), [this] { lvAddress->setFocus(); });
}

void TAddressBookPanel::buildGroupSide(QWidget* side)
{
    auto row = new QHBoxLayout(side);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(1);
    tbGroups = verticalToolBar(side, "tbGroups");
    tbtnNewGroup = toolButton(tbGroups, QStyle::SP_FileDialogNewFolder, "tbtnNewGroup", "New Group");
    tbtnEditGroup = toolButton(tbGroups, QStyle::SP_FileDialogDetailedView, "tbtnEditGroup", "Edit Group");
    tbtnDeleteGroup = toolButton(tbGroups, QStyle::SP_DialogDiscardButton, "tbtnDeleteGroup", "Delete Group");
    tbtnFindGroup = toolButton(tbGroups, QStyle::SP_FileDialogContentsView, "tbtnFindGroup", "Find Group");
    tbtnMassPrintGroup = toolButton(tbGroups, QStyle::SP_DialogSaveButton, "tbtnMassPrintGroup", "Mass Print");
    tbtnSelectAllGroup = toolButton(tbGroups, QStyle::SP_DialogApplyButton, "tbtnSelectAllGroup", "Select All");
    row->addWidget(tbGroups);

    auto tree = new GroupTreeWidget(side);
    tvGroups = tree;
    tvGroups->setObjectName("tvGroups");
    tvGroups->setHeaderHidden(true);
    tvGroups->setSelectionMode(QAbstractItemView::ExtendedSelection);
    tvGroups->setAcceptDrops(true);
    tvGroups->viewport()->setAcceptDrops(true);
    tvGroups->setDropIndicatorShown(false);
    tvGroups->setContextMenuPolicy(Qt::CustomContextMenu);
    tvGroups->setMinimumHeight(60);
    // The selection stays visible when the tree loses the focus.
    QPalette p = tvGroups->palette();
    p.setColor(QPalette::Inactive, QPalette::Highlight, p.color(QPalette::Active, QPalette::Highlight));
    p.setColor(QPalette::Inactive, QPalette::HighlightedText, p.color(QPalette::Active, QPalette::HighlightedText));
    tvGroups->setPalette(p);
    tree->pressed = [this](const QPoint& pos) { guarded([&] { tvGroupsMouseDown(pos); }); };
    tree->dragOver = [this](const QPoint& pos, const QMimeData* mime) { return tvGroupsDragOver(pos, mime); };
    tree->dropped = [this](const QPoint& pos, const QMimeData* mime) { guarded([&] { tvGroupsDragDrop(pos, mime); }); };
    row->addWidget(tvGroups, 1);

    popupGroups = new QMenu(this);
    popupGroups->setObjectName("popupGroups");
    miGroupEdit = addMenuItem(popupGroups, "&Edit", "miGroupEdit");
    miGroupNew = addMenuItem(popupGroups, "&New", "miGroupNew");
    popupGroups->addSeparator();
    miGroupDelete = addMenuItem(popupGroups, "&Delete", "miGroupDelete");
    popupGroups->addSeparator();
    miGroupFind = addMenuItem(popupGroups, "&Find", "miGroupFind");
    popupGroups->addSeparator();
    miGroupMassPrint = addMenuItem(popupGroups, "&Mass Print", "miGroupMassPrint");
    popupGroups->addSeparator();
    miGroupSelectAll = addMenuItem(popupGroups, "&Select All", "miGroupSelectAll");

    connectCommand({tbtnNewGroup, miGroupNew}, this, &TAddressBookPanel::tbtnNewGroupClick);
    connectCommand({tbtnEditGroup, miGroupEdit}, this, &TAddressBookPanel::tbtnEditGroupClick);
    connectCommand({tbtnDeleteGroup, miGroupDelete}, this, &TAddressBookPanel::tbtnDeleteGroupClick);
    connectCommand({tbtnFindGroup, miGroupFind}, this, &TAddressBookPanel::tbtnFindGroupClick);
    connectCommand({tbtnSelectAllGroup, miGroupSelectAll}, this, &TAddressBookPanel::tbtnSelectAllGroupClick);
    connect(tvGroups, &QTreeWidget::currentItemChanged, this, &TAddressBookPanel::tvGroupsChange);
    connect(tvGroups, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { popupGroups->popup(tvGroups->viewport()->mapToGlobal(pos)); });
    onKey(tvGroups, QKeySequence(Qt::Key_F3), [this] {
        if (!rememberedSearchText.trimmed().isEmpty())
            FindNextGroup();
    });
    onKey(tvGroups, QKeySequence(Qt::CTRL | Qt::Key_F), [this] { tbtnFindGroupClick(); });
}

// ---- reading the panel -------------------------------------------------------------------------

AddressBookQueries TAddressBookPanel::queries() const
{
    return AddressBookQueries(dmDovraPro->adsqToAddress);
}

std::vector<int> TAddressBookPanel::selectedAddressRows() const
{
    std::vector<int> rows;
    for (const QItemSelectionRange& range : lvAddress->selectionModel()->selection())
        for (int r = range.top(); r <= range.bottom(); ++r)
            rows.push_back(r);
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

void TAddressBookPanel::showDatabaseName(const QString& folder)
{
    // The label is narrower than the 190 pixels the name was once fitted to; both limits
    // scale with it.
    const int limit = labelDatabaseName->width() > 0 ? labelDatabaseName->width() : 135;
    if (isServerAddressDatabase(folder)) {
        // A database on the server shows its name, the tip names the server too; asked once.
        if (shownLocation_ != folder) {
            shownLocation_ = folder;
            shownName_ = serverAddressDatabaseName(folder);
            labelDatabaseName->setToolTip(addressDatabaseCaption(folder));
        }
        labelDatabaseName->setText(
            labelDatabaseName->fontMetrics().elidedText(shownName_, Qt::ElideRight, limit * 176 / 190));
        return;
    }
    shownLocation_.clear();
    labelDatabaseName->setText(ShortenPathFromLeft(folder, labelDatabaseName->fontMetrics(), limit, limit * 176 / 190));
    labelDatabaseName->setToolTip(folder);
}

// ---- loading -----------------------------------------------------------------------------------

void TAddressBookPanel::FillAddressList(qint32 groupId)
{
    std::vector<TAddressRec> rows = queries().addresses(groupId);
    listedGroupId_ = groupId;
    {
        const QSignalBlocker quiet(lvAddress->selectionModel());
        addressModel_->setAddresses(std::move(rows));
    }
    // An empty list leaves no address selected: the rule clears the labels and Print.
    if (addressModel_->rowCount() > 0)
        selectOnlyAddress(0);
    else
        lvAddressSelectItem();
}

void TAddressBookPanel::clearSearch()
{
    const QSignalBlocker quiet(editSearchAddress);
    editSearchAddress->clear();
    escClearsSearch_->setEnabled(false);
    addressModel_->setSearchText(QString());
}

void TAddressBookPanel::hideEvent(QHideEvent* event)
{
    // Closing the database ends its search; the next open lists every address.
    if (!event->spontaneous())
        clearSearch();
    QWidget::hideEvent(event);
}

void TAddressBookPanel::editSearchAddressChange(const QString& text)
{
    // The one address selected stays selected while the search still shows it, so that Esc
    // after finding a client keeps that client; otherwise the first address shown is.
    const std::vector<int> rows = selectedAddressRows();
    const qint32 kept = rows.size() == 1 ? addressModel_->record(rows.front()).ID : -1;
    {
        const QSignalBlocker quiet(lvAddress->selectionModel());
        if (!addressModel_->setSearchText(text))
            return;
    }
    const int count = addressModel_->rowCount();
    int row = 0;
    while (row < count && addressModel_->record(row).ID != kept)
        ++row;
    if (row < count)
        selectOnlyAddress(row);
    else if (count > 0)
        selectOnlyAddress(0);
    else
        lvAddressSelectItem();
}

// ---- selection -----------------------------------------------------------------------------------

void TAddressBookPanel::selectOnlyAddress(int row)
{
    const QModelIndex index = addressModel_->index(row);
    lvAddress->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
    lvAddress->scrollTo(index);
}

void TAddressBookPanel::showRecipient(const TAddressRec* rec)
{
    emit recipientLinesShown(rec ? displayLines(rec->address) : std::array<QString, 5>{});
    if (rec)
        emit recipientChosen(rec->address);
}

// Print follows the list only while the panel is shown: a closed database leaves Print to
// the typed recipient.
void TAddressBookPanel::setPrintEnabled(bool enabled)
{
    if (isHidden())
        return;
    emit printEnabledChanged(enabled);
}

void TAddressBookPanel::setAddressCommand(QAction* button, QAction* item, bool on)
{
    button->setEnabled(on);
    item->setVisible(on);
}

void TAddressBookPanel::lvAddressChange()
{
    emit entryChanged();
    lvAddressSelectItem();
}

void TAddressBookPanel::lvAddressSelectItem()
{
    const std::vector<int> rows = selectedAddressRows();
    const size_t n = rows.size();
    const TAddressRec* one = n == 1 ? &addressModel_->record(rows.front()) : nullptr;
    showRecipient(one);
    setPrintEnabled(one != nullptr);
    setAddressCommand(tbtnNewAddress, miAddressNew, n <= 1);
    setAddressCommand(tbtnEditAddress, miAddressEdit, n == 1);
    setAddressCommand(tbtnDeleteAddress, miAddressDelete, n >= 1);
    miGroup->menuAction()->setVisible(n >= 1);
    miAssigned->setVisible(n == 1);
}

// ---- address commands -------------------------------------------------------------------------------

void TAddressBookPanel::tbtnNewAddressClick()
{
    TAddressLines address;
    const std::vector<int> selectedNodes = selectedGroupNodes();
    const int node = selectedNodes.empty() ? -1 : selectedNodes.front();
    const qint32 groupId = node < 0 ? -1 : groupTree_.node(node).rec.ID;
    const bool stored = TF_Address::editUntilStored("New Name and Address", address, window(),
                                                    [&] { queries().insertAddress(address); });
    if (!stored)
        return;
    if (groupId != -1 &&
        MessageService::confirmYesNo("Add new address to Group \"" + groupTree_.node(node).caption + "\"?", window()))
        queries().addMembership(queries().lastAddressId(), groupId);
    FillAddressList(groupId);
    if (addressModel_->rowCount() > 0)
        selectOnlyAddress(addressModel_->rowCount() - 1);
}

void TAddressBookPanel::tbtnEditAddressClick()
{
    const std::vector<int> rows = selectedAddressRows();
    if (rows.empty())
        return;
    const int row = rows.front();
    TAddressLines address = addressModel_->record(row).address;
    const qint32 id = addressModel_->record(row).ID;
    TF_Address::editUntilStored("Edit Name and Address", address, window(), [&] {
        queries().updateAddress(id, address);
        addressModel_->updateAddress(row, address);
        lvAddressSelectItem();
    });
}

void TAddressBookPanel::tbtnDeleteAddressClick()
{
    const std::vector<int> rows = selectedAddressRows();
    if (rows.empty())
        return;
    const QString question = rows.size() == 1 ? "Are you sure you want to delete this address?"
                                              : "Are you sure you want to delete all the selected addresses?";
    if (MessageService::confirmYesNoCancel(question, window()) != QMessageBox::Yes)
        return;
    BusyCursor busy;
    std::vector<qint32> ids;
    for (int row : rows)
        ids.push_back(addressModel_->record(row).ID);
    queries().deleteAddressRows(ids);
    {
        const QSignalBlocker quiet(lvAddress->selectionModel());
        addressModel_->removeAddressRows(rows);
    }
    lvAddressSelectItem();
}

void TAddressBookPanel::tbtnFindAddressClick()
{
    if (TF_SingleEdit::askSearchText(window()))
        FindNextAddress();
}

void TAddressBookPanel::FindNextAddress()
{
    const std::vector<int> rows = selectedAddressRows();
    const int start = rows.empty() ? -1 : rows.front();
    const QString wanted = rememberedSearchText;
    const int found = findNextIndex(addressModel_->rowCount(), start, [&](int row) {
        return addressContains(addressModel_->record(row).address, wanted);
    });
    if (found >= 0)
        selectOnlyAddress(found);
    else
        MessageService::information(searchNotFoundMessage(rememberedSearchText), window());
}

void TAddressBookPanel::tbtnSelectAllAddressClick()
{
    lvAddress->selectAll();
    setPrintEnabled(false);
    showRecipient(nullptr);
}
