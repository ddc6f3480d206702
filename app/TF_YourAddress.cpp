#include "app/TF_YourAddress.h"
#include "core/SearchText.h"
#include "core/datamodule/TdmDovraPro.h"
#include "engine/Query.h"
#include "widgets/DialogParts.h"
#include "widgets/ErrorBoundary.h"
#include "widgets/PathLabel.h"
#include "widgets/Services.h"
#include "widgets/TF_Address.h"
#include "widgets/TF_NetworkSettings.h"
#include "widgets/TF_SingleEdit.h"

#include <QAction>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QShortcut>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>

namespace {

// A list item owns the record of its row.
class AddressItem : public QListWidgetItem {
public:
    explicit AddressItem(const TAddressRec& rec) : rec(rec) { refresh(); }
    void refresh()
    {
        setText(addressCaption(rec.address));
        QStringList shown;
        for (const QString& line : displayLines(rec.address))
            if (!line.isEmpty())
                shown << line;
        setToolTip(shown.join('\n'));
    }
    TAddressRec rec;
};

AddressItem* addressItem(QListWidgetItem* item)
{
    return static_cast<AddressItem*>(item);
}

// Runs a statement on the sender table in the folder the settings name now.
void runOnSenderTable(const Settings& settings, const std::string& sql)
{
    engine::Query& q = dmDovraPro->adsqYourAddress;
    q.close();
    q.setFolder(toStd(settings.yourAddressLocation()));
    q.setSql(sql);
    q.execSql();
}

QAction* addTool(QToolBar* bar, const QString& caption, const char* name, const QString& tip)
{
    QAction* a = bar->addAction(caption);
    a->setObjectName(name);
    a->setToolTip(tip);
    return a;
}

} // namespace

TF_YourAddress::TF_YourAddress(Settings& settings, QWidget* parent) : QDialog(parent), settings_(settings)
{
    setObjectName("F_YourAddress");
    setWindowTitle("Your Address");
    auto layout = new QVBoxLayout(this);

    auto pathRow = new QHBoxLayout;
    labelDatabaseName = new QLabel(this);
    labelDatabaseName->setObjectName("labelDatabaseName");
    QPalette blue = labelDatabaseName->palette();
    blue.setColor(QPalette::WindowText, Qt::blue);
    labelDatabaseName->setPalette(blue);
    labelDatabaseName->setMinimumWidth(240);
    btnChange = new QPushButton("Change", this);
    btnChange->setObjectName("btnChange");
    btnChange->setToolTip("Choose the folder of the sender list");
    pathRow->addWidget(labelDatabaseName, 1);
    pathRow->addWidget(btnChange);
    layout->addLayout(pathRow);

    tbYourAddress = new QToolBar(this);
    tbYourAddress->setObjectName("tbYourAddress");
    tbYourAddress->setToolButtonStyle(Qt::ToolButtonTextOnly);
    btnNew = addTool(tbYourAddress, "New", "btnNew", "Add a new name and address");
    btnEdit = addTool(tbYourAddress, "Edit", "btnEdit", "Edit the selected name and address");
    btnDelete = addTool(tbYourAddress, "Delete", "btnDelete", "Delete the selected name and address");
    btnFind = addTool(tbYourAddress, "Find", "btnFind", "Find a name and address (Ctrl+F, F3 finds the next)");
    layout->addWidget(tbYourAddress);

    lvYourAddress = new QListWidget(this);
    lvYourAddress->setObjectName("lvYourAddress");
    lvYourAddress->setSelectionMode(QAbstractItemView::SingleSelection);
    lvYourAddress->setContextMenuPolicy(Qt::CustomContextMenu);
    lvYourAddress->setMinimumHeight(150);
    layout->addWidget(lvYourAddress, 1);

    pmYourAddress = new QMenu(this);
    pmYourAddress->setObjectName("pmYourAddress");
    miNew = addMenuItem(pmYourAddress, "&New", "miNew");
    miEdit = addMenuItem(pmYourAddress, "&Edit", "miEdit");
    miDelete = addMenuItem(pmYourAddress, "&Delete", "miDelete");
    miFind = addMenuItem(pmYourAddress, "&Find", "miFind");

    auto preview = new QVBoxLayout;
    preview->setSpacing(0);
    for (int i = 0; i < 5; ++i) {
        lblYourAddress[i] = new QLabel(this);
        lblYourAddress[i]->setObjectName(QString("lblYourAddress%1").arg(i + 1));
        lblYourAddress[i]->setMinimumHeight(lblYourAddress[i]->fontMetrics().height());
        preview->addWidget(lblYourAddress[i]);
    }
    layout->addLayout(preview);

    layout->addLayout(okCancelRow(this, btnOK, btnCancel));
    resize(300, 420);

    connect(btnChange, &QPushButton::clicked, this, &TF_YourAddress::btnChangeClick);
    for (QAction* a : {btnNew, miNew})
        connect(a, &QAction::triggered, this, &TF_YourAddress::btnNewClick);
    for (QAction* a : {btnEdit, miEdit})
        connect(a, &QAction::triggered, this, &TF_YourAddress::btnEditClick);
    for (QAction* a : {btnDelete, miDelete})
        connect(a, &QAction::triggered, this, &TF_YourAddress::btnDeleteClick);
    for (QAction* a : {btnFind, miFind})
        connect(a, &QAction::triggered, this, &TF_YourAddress::btnFindClick);
    connect(lvYourAddress, &QListWidget::itemSelectionChanged, this, &TF_YourAddress::lvYourAddressSelectItem);
    connect(lvYourAddress, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { pmYourAddress->popup(lvYourAddress->viewport()->mapToGlobal(pos)); });
    auto f3 = new QShortcut(QKeySequence(Qt::Key_F3), lvYourAddress, nullptr, nullptr, Qt::WidgetShortcut);
    connect(f3, &QShortcut::activated, this, [this] {
        if (!rememberedSearchText.trimmed().isEmpty())
            findNext();
    });
    auto ctrlF = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_F), lvYourAddress, nullptr, nullptr, Qt::WidgetShortcut);
    connect(ctrlF, &QShortcut::activated, this, &TF_YourAddress::btnFindClick);
    connect(btnOK, &QPushButton::clicked, this, &TF_YourAddress::btnOKClick);

    loaded_ = guarded([this] { loadList(); });
    lvYourAddressSelectItem();
    lvYourAddress->setFocus();
}

bool TF_YourAddress::select(Settings& settings, TAddressLines& sender, QWidget* parent)
{
    TF_YourAddress dialog(settings, parent);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    sender = dialog.chosenAddress();
    return true;
}

const TAddressRec& TF_YourAddress::recordOf(const QListWidgetItem* item)
{
    return static_cast<const AddressItem*>(item)->rec;
}

void TF_YourAddress::loadList()
{
    const QString path = fromStd(engine::tableFile(toStd(settings_.yourAddressLocation()), "YourAddress"));
    labelDatabaseName->setText(ShortenPathFromLeft(path, labelDatabaseName->fontMetrics(), 238, 224));
    labelDatabaseName->setToolTip(path);

    // Read every row before touching the list, so that a table that cannot be read leaves
    // the list as it was.
    std::vector<TAddressRec> rows;
    engine::Query& q = dmDovraPro->adsqYourAddress;
    q.close();
    q.setFolder(toStd(settings_.yourAddressLocation()));
    q.setSql("select * from YourAddress order by A_ID");
    q.open();
    for (; !q.eof(); q.next())
        rows.push_back(addressRecOf(q));
    q.close();

    lvYourAddress->clear();
    const auto key = engine::tryInt32(toStd(settings_.yourAddressID));
    QListWidgetItem* keyed = nullptr;
    for (const TAddressRec& rec : rows) {
        auto item = new AddressItem(rec);
        lvYourAddress->addItem(item);
        if (key && *key == rec.ID)
            keyed = item;
    }
    if (keyed)
        selectOnly(keyed);
    lvYourAddressSelectItem();
}

void TF_YourAddress::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (shownBefore_)
        return;
    shownBefore_ = true;
    // An empty list asks for the first sender at once; a list that failed to load does not.
    if (loaded_ && lvYourAddress->count() == 0)
        QTimer::singleShot(0, this, &TF_YourAddress::btnNewClick);
}

QListWidgetItem* TF_YourAddress::onlySelectedItem() const
{
    const auto selected = lvYourAddress->selectedItems();
    return selected.size() == 1 ? selected.first() : nullptr;
}

void TF_YourAddress::selectOnly(QListWidgetItem* item)
{
    lvYourAddress->clearSelection();
    lvYourAddress->setCurrentItem(item, QItemSelectionModel::ClearAndSelect);
    lvYourAddress->scrollToItem(item);
}

void TF_YourAddress::lvYourAddressSelectItem()
{
    QListWidgetItem* item = onlySelectedItem();
    const bool one = item != nullptr;
    const auto lines = one ? displayLines(recordOf(item).address) : std::array<QString, 5>{};
    for (int i = 0; i < 5; ++i)
        lblYourAddress[i]->setText(lines[i]);
    btnOK->setEnabled(one);
    btnEdit->setEnabled(one);
    btnDelete->setEnabled(one);
    miEdit->setVisible(one);
    miDelete->setVisible(one);
}

void TF_YourAddress::btnNewClick()
{
    TAddressLines address;
    TF_Address::editUntilStored("Your Name and Address", address, this, [&] {
        runOnSenderTable(settings_, addressInsertSql("YourAddress", address));
        loadList();
        if (lvYourAddress->count() > 0)
            selectOnly(lvYourAddress->item(lvYourAddress->count() - 1));
    });
}

void TF_YourAddress::btnEditClick()
{
    QListWidgetItem* item = onlySelectedItem();
    if (!item)
        return;
    TAddressRec& rec = addressItem(item)->rec;
    TAddressLines address = rec.address;
    TF_Address::editUntilStored("Edit Name and Address", address, this, [&] {
        runOnSenderTable(settings_, addressUpdateSql("YourAddress", address, rec.ID));
        rec.address = address;
        addressItem(item)->refresh();
        lvYourAddressSelectItem();
    });
}

void TF_YourAddress::btnDeleteClick()
{
    QListWidgetItem* item = onlySelectedItem();
    if (!item)
        return;
    if (MessageService::confirmYesNoCancel("Are you sure you want to delete this address?", this) != QMessageBox::Yes)
        return;
    guarded([&] {
        runOnSenderTable(settings_, "delete from YourAddress where A_ID = " + std::to_string(recordOf(item).ID));
        delete item;
        if (lvYourAddress->count() == 0) {
            settings_.yourAddressID.clear();
            lvYourAddressSelectItem();
        } else {
            selectOnly(lvYourAddress->item(0));
        }
    });
}

void TF_YourAddress::btnFindClick()
{
    if (TF_SingleEdit::askSearchText(this))
        findNext();
}

void TF_YourAddress::findNext()
{
    QListWidgetItem* selected = onlySelectedItem();
    const int start = selected ? lvYourAddress->row(selected) : -1;
    const int found = findNextIndex(lvYourAddress->count(), start, [this](int row) {
        return addressContains(recordOf(lvYourAddress->item(row)).address, rememberedSearchText);
    });
    if (found >= 0)
        selectOnly(lvYourAddress->item(found));
    else
        MessageService::information("Search string \"" + rememberedSearchText + "\" not found.", this);
}

void TF_YourAddress::btnChangeClick()
{
    if (TF_NetworkSettings::edit(settings_, this)) {
        loaded_ = guarded([this] { loadList(); });
        if (!loaded_) // the rows shown belong to the previous folder: edits must not reach the new one
            lvYourAddress->clear();
        lvYourAddressSelectItem();
    }
    lvYourAddress->setFocus();
}

void TF_YourAddress::btnOKClick()
{
    QListWidgetItem* item = onlySelectedItem();
    if (!item)
        return;
    settings_.yourAddressID = QString::number(recordOf(item).ID);
    chosen_ = recordOf(item).address;
    accept();
}
