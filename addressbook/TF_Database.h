// The address database chooser: browse folders, create a database (a folder with the tables
// Address, Groups and Members), delete one, and choose one with OK.
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
    // Shows folder (or the nearest folder above it that exists).
    explicit TF_Database(const QString& folder, QWidget* parent = nullptr);

    // The folder shown, without a trailing separator.
    QString folder() const { return folder_; }
    // Shows another folder and runs dirlbDBChange.
    void setFolder(const QString& folder);

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
    void dirlbDBActivated(QListWidgetItem* item);
    QString folder_;
};
