#include "addressbook/TF_Database.h"
#include "addressbook/AddressBook.h"
#include "engine/Server.h"
#include "widgets/BusyCursor.h"
#include "widgets/DialogParts.h"
#include "widgets/ErrorBoundary.h"
#include "widgets/Services.h"
#include "widgets/TF_SingleEdit.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QStorageInfo>
#include <QStyle>
#include <QVBoxLayout>

namespace {

// The folder itself when it exists, else the nearest folder above it that does.
QString existingFolder(QString folder)
{
    folder = QDir::cleanPath(QDir(folder).absolutePath());
    while (!QFileInfo(folder).isDir() && folder != "/")
        folder = parentFolderOf(folder);
    return folder;
}

} // namespace

TF_Database::TF_Database(const QString& folder, QWidget* parent, const QString& server) : QDialog(parent)
{
    // A server database remembered open names its server even when the office went back to folders.
    server_ = !server.isEmpty() ? QString::fromStdString(engine::serverDatabaseLocation(server.toStdString()))
              : isServerAddressDatabase(folder)
                  ? QString::fromStdString(engine::serverDatabaseLocation(folder.toStdString()))
                  : QString();
    setObjectName("F_Database");
    setWindowTitle("Open 'To Address' Database");
    auto layout = new QVBoxLayout(this);

    gbDatabase = new QGroupBox("Database (Directory)", this);
    gbDatabase->setObjectName("gbDatabase");
    auto box = new QVBoxLayout(gbDatabase);
    lblDirectory = new QLabel(gbDatabase);
    lblDirectory->setObjectName("lblDirectory");
    lblDirectory->setWordWrap(true);
    box->addWidget(lblDirectory);
    dirlbDB = new QListWidget(gbDatabase);
    dirlbDB->setObjectName("dirlbDB");
    dirlbDB->setMinimumSize(300, 200);
    box->addWidget(dirlbDB, 1);
    dcbDB = new QComboBox(gbDatabase);
    dcbDB->setObjectName("dcbDB");
    QStringList drives;
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes())
        if (volume.isValid() && volume.isReady())
            drives << volume.rootPath();
    drives.removeDuplicates();
    drives.sort();
    if (!server_.isEmpty())
        dcbDB->addItem(style()->standardIcon(QStyle::SP_DriveNetIcon),
                       "Database server " + QString::fromStdString(engine::describeServer(server_.toStdString())),
                       server_);
    dcbDB->addItems(drives);
    box->addWidget(dcbDB);
    auto addDelete = new QHBoxLayout;
    btnAdd = new QPushButton("Add", gbDatabase);
    btnAdd->setObjectName("btnAdd");
    btnDelete = new QPushButton("Delete", gbDatabase);
    btnDelete->setObjectName("btnDelete");
    addDelete->addWidget(btnAdd);
    addDelete->addWidget(btnDelete);
    addDelete->addStretch();
    box->addLayout(addDelete);
    layout->addWidget(gbDatabase, 1);
    layout->addLayout(okCancelRow(this, btnOK, btnCancel));

    connect(dirlbDB, &QListWidget::itemActivated, this, &TF_Database::dirlbDBActivated);
    connect(dirlbDB, &QListWidget::currentItemChanged, this, [this](QListWidgetItem* item) {
        if (onServer_)
            serverItemChosen(item);
    });
    connect(dcbDB, &QComboBox::activated, this, [this](int index) {
        const QString server = dcbDB->itemData(index).toString();
        setFolder(server.isEmpty() ? dcbDB->itemText(index) : server);
    });
    connect(btnAdd, &QPushButton::clicked, this, &TF_Database::btnAddClick);
    connect(btnDelete, &QPushButton::clicked, this, &TF_Database::btnDeleteClick);
    connect(btnOK, &QPushButton::clicked, this, &TF_Database::btnOKClick);
    setFolder(folder);
}

void TF_Database::setFolder(const QString& folder)
{
    onServer_ = engine::isServerLocation(folder.toStdString());
    if (onServer_) {
        folder_ = folder;
        guarded([this] { fillServerList(); });
    } else {
        folder_ = existingFolder(folder);
        fillFolderList();
    }
    dirlbDBChange();
}

void TF_Database::fillServerList()
{
    lblDirectory->setText("Address databases on the database server " +
                          QString::fromStdString(engine::describeServer(folder_.toStdString())));
    const QSignalBlocker quiet(dirlbDB);
    dirlbDB->clear();
    for (int i = 0; i < dcbDB->count(); ++i)
        if (!dcbDB->itemData(i).toString().isEmpty())
            dcbDB->setCurrentIndex(i);
    const QIcon icon = style()->standardIcon(QStyle::SP_DriveNetIcon);
    const std::vector<ServerAddressDatabase> databases = serverAddressDatabases(folder_);
    for (const ServerAddressDatabase& database : databases) {
        auto item = new QListWidgetItem(icon, database.name, dirlbDB);
        item->setData(Qt::UserRole, database.location);
        if (database.location == folder_)
            dirlbDB->setCurrentItem(item);
    }
}

void TF_Database::serverItemChosen(QListWidgetItem* item)
{
    folder_ = item ? item->data(Qt::UserRole).toString() : server_;
    dirlbDBChange();
}

void TF_Database::fillFolderList()
{
    lblDirectory->setText(folder_);
    dirlbDB->clear();
    const QIcon icon = style()->standardIcon(QStyle::SP_DirIcon);
    if (folder_ != "/")
        new QListWidgetItem(icon, "..", dirlbDB);
    const QStringList names = QDir(folder_).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);
    for (const QString& name : names)
        new QListWidgetItem(icon, name, dirlbDB);
    for (int i = 0; i < dcbDB->count(); ++i)
        if (folder_.startsWith(dcbDB->itemText(i)))
            dcbDB->setCurrentIndex(i); // the longest root that holds the folder comes last
}

void TF_Database::dirlbDBActivated(QListWidgetItem* item)
{
    if (!item)
        return;
    if (onServer_) {
        serverItemChosen(item);
        return;
    }
    setFolder(item->text() == ".." ? parentFolderOf(folder_) : QDir(folder_).filePath(item->text()));
}

void TF_Database::dirlbDBChange()
{
    bool database = false;
    if (!onServer_ || isServerAddressDatabase(folder_))
        guarded([&] { database = IsAddressDatabase(folder_); });
    // On the server a new database is never made inside another.
    btnAdd->setEnabled(onServer_ || !database);
    btnDelete->setEnabled(database);
    btnOK->setEnabled(database);
}

void TF_Database::btnAddClick()
{
    if (onServer_) {
        addOnServer();
        return;
    }
    QString name;
    QString refusal;
    do {
        if (!TF_SingleEdit::ask("New Database", "Enter Name for New Database", name, this))
            return;
        refusal = databaseNameRefusal(folder_, name);
        if (!refusal.isEmpty())
            MessageService::error(refusal, this);
    } while (!refusal.isEmpty());

    const QString parent = folder_;
    const QString created = QDir(parent).filePath(name.trimmed());
    if (!QDir(parent).mkdir(name.trimmed())) {
        MessageService::error("The folder " + created + " could not be created. Please check that the folder " +
                                  parent + " can be written to.",
                              this);
        return;
    }
    setFolder(created);
    const bool made = guarded([&] {
        BusyCursor busy;
        createAddressDatabaseTables(created);
    });
    if (!made) {
        // Half a database would pass for none and block "Add" in its folder: take it back.
        deleteAddressDatabaseFiles(created);
        setFolder(parent);
        QDir(parent).rmdir(name.trimmed());
        fillFolderList();
    }
    dirlbDBChange();
}

void TF_Database::addOnServer()
{
    QString name;
    QString refusal;
    do {
        if (!TF_SingleEdit::ask("New Database", "Enter Name for New Database", name, this))
            return;
        if (!guarded([&] { refusal = serverDatabaseNameRefusal(folder_, name); }))
            return;
        if (!refusal.isEmpty())
            MessageService::error(refusal, this);
    } while (!refusal.isEmpty());
    QString created;
    const bool made = guarded([&] {
        BusyCursor busy;
        created = createServerAddressDatabase(folder_, name);
    });
    setFolder(made ? created : folder_);
}

void TF_Database::deleteOnServer()
{
    const QString database = folder_;
    const QString name = serverAddressDatabaseName(database);
    if (MessageService::confirmYesNoCancel("Are you sure you want to delete this database?\n\n" + name +
                                               " on the database server " +
                                               QString::fromStdString(engine::describeServer(database.toStdString())) +
                                               " will be deleted, with every address, group and membership in it.",
                                           this, QMessageBox::No) != QMessageBox::Yes)
        return;
    emit deletingDatabase(database);
    guarded([&] {
        BusyCursor busy;
        deleteServerAddressDatabase(database);
    });
    setFolder(server_);
}

void TF_Database::btnDeleteClick()
{
    if (onServer_) {
        deleteOnServer();
        return;
    }
    // What cannot be undone is not done by Enter alone, and the question names what goes.
    if (MessageService::confirmYesNoCancel("Are you sure you want to delete this database?\n\n" + folder_ +
                                               " will be deleted, with every address, group and membership in it.",
                                           this, QMessageBox::No) != QMessageBox::Yes)
        return;
    const QString database = folder_;
    emit deletingDatabase(database);
    QStringList left;
    {
        BusyCursor busy;
        left = deleteAddressDatabaseFiles(database);
        setFolder(parentFolderOf(database));
        QDir().rmdir(database);
        fillFolderList();
        dirlbDBChange();
    }
    if (!left.isEmpty())
        MessageService::error("These files of the database could not be deleted:\n" + left.join('\n'), this);
}

void TF_Database::btnOKClick()
{
    bool database = false;
    if (!onServer_ || isServerAddressDatabase(folder_))
        guarded([&] { database = IsAddressDatabase(folder_); });
    if (!database)
        return;
    accept();
}
