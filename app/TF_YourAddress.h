// "Your Address": the sender list, kept in the table YourAddress (possibly in a folder shared
// by several workstations). The chosen sender is printed as the return address.
#pragma once

#include "core/Settings.h"
#include "core/TAddressRec.h"

#include <QDialog>

class QAction;
class QLabel;
class QListWidget;
class QListWidgetItem;
class QMenu;
class QPushButton;
class QToolBar;

class TF_YourAddress : public QDialog {
    Q_OBJECT
public:
    // Loads the list from the sender table in the settings' folder; the stored key is selected.
    explicit TF_YourAddress(Settings& settings, QWidget* parent = nullptr);

    // Opens the list modally. On OK the settings hold the chosen sender's key, sender holds its
    // address, and true is returned.
    static bool select(Settings& settings, TAddressLines& sender, QWidget* parent = nullptr);

    // The sender chosen by OK.
    const TAddressLines& chosenAddress() const { return chosen_; }
    // The record of a list item.
    static const TAddressRec& recordOf(const QListWidgetItem* item);

    QLabel* labelDatabaseName = nullptr;
    QPushButton* btnChange = nullptr;
    QToolBar* tbYourAddress = nullptr;
    QAction* btnNew = nullptr;
    QAction* btnEdit = nullptr;
    QAction* btnDelete = nullptr;
    QAction* btnFind = nullptr;
    QListWidget* lvYourAddress = nullptr;
    QMenu* pmYourAddress = nullptr;
    QAction* miNew = nullptr;
    QAction* miEdit = nullptr;
    QAction* miDelete = nullptr;
    QAction* miFind = nullptr;
    QLabel* lblYourAddress[5] = {};
    QPushButton* btnOK = nullptr;
    QPushButton* btnCancel = nullptr;

public slots:
    void btnChangeClick();
    void btnNewClick();
    void btnEditClick();
    void btnDeleteClick();
    void btnFindClick();
    // Searches with the remembered search text (F3 repeats it).
    void findNext();
    void lvYourAddressSelectItem();
    void btnOKClick();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void loadList();
    void showSelection(const TAddressRec* rec);
    QListWidgetItem* onlySelectedItem() const;
    void selectOnly(QListWidgetItem* item);

    Settings& settings_;
    TAddressLines chosen_;
    bool loaded_ = false; // the list holds the table's rows
    bool shownBefore_ = false;
};
