// The address database chooser: browse folders, create a database (a folder with the tables
// Address, Groups and Members), delete one, and choose one with OK. With the office's shared
// tables on a database server, the drive list offers that server too: chosen, the list shows
// the address databases kept there, and Add, Delete and OK work on those.
#pragma once

#include <QDialog>

class QComboBox;
class QGroupBox;
class QLabel;
class QListWidget;
class QListWidgetItem;
class QPushButton;

class TF_Database : public QDialog {
    Q_OBJECT
public:
    // Shows folder (or the nearest folder above it that exists); a server address database's
    // location shows the server's list with that database chosen. server: the office's server
    // location, empty when its shared tables are kept in folders.
    explicit TF_Database(const QString& folder, QWidget* parent = nullptr, const QString& server = {});

    // The folder shown, without a trailing separator; on the server's list, the location of the
    // database chosen there (the server's own location while none is).
    QString folder() const { return folder_; }
    // Shows another folder (or the server's list, for a server location) and runs dirlbDBChange.
    void setFolder(const QString& folder);
    // Whether the list shows the server's address databases.
    bool onServer() const { return onServer_; }

    QGroupBox* gbDatabase = nullptr;
    QLabel* lblDirectory = nullptr;
    QComboBox* dcbDB = nullptr; // the drive selector
    QListWidget* dirlbDB = nullptr;
    QPushButton* btnAdd = nullptr;
    QPushButton* btnDelete = nullptr;
    QPushButton* btnOK = nullptr;
    QPushButton* btnCancel = nullptr;

signals:
    // Sent before the database in folder is deleted, so that whoever has it open closes it.
    void deletingDatabase(const QString& folder);

public slots:
    void dirlbDBChange();
    void btnAddClick();
    void btnDeleteClick();
    void btnOKClick();

private:
    void fillFolderList();
    void fillServerList();
    void dirlbDBActivated(QListWidgetItem* item);
    void serverItemChosen(QListWidgetItem* item);
    void addOnServer();
    void deleteOnServer();
    QString folder_;
    QString server_; // the office's server location, or the server of the database shown
    bool onServer_ = false;
};
