// "Name and Address": edits one address (four lines, City, State, ZIP) for the sender list
// and the address book. The caller sets the caption of the box gbAddress.
#pragma once

#include "widgets/AddressFields.h"
#include "widgets/FieldExit.h"

#include <QDialog>
#include <functional>

class QGroupBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

class TF_Address : public QDialog {
    Q_OBJECT
public:
    TF_Address(const TAddressLines& address, QWidget* parent = nullptr);

    // Opens the dialog modally on address with the box captioned groupCaption. On OK the
    // edited address is put into address and true returned; Cancel leaves it alone.
    static bool edit(const QString& groupCaption, TAddressLines& address, QWidget* parent = nullptr);
    // Shows the dialog until what was typed is stored or the dialog is cancelled: an address
    // that could not be stored (the table held by another workstation, say) is offered again
    // as typed. Returns true when store succeeded.
    static bool editUntilStored(const QString& groupCaption, TAddressLines& address, QWidget* parent,
                                const std::function<void()>& store);

    // What OK hands back: memo lines 1-4, City, State and the tidied ZIP, each cut to its
    // column's width.
    TAddressLines address() const;
    // An address without line 1, City, State and ZIP.
    bool addressEmpty() const;

    QGroupBox* gbAddress = nullptr;
    QPushButton* btnClear = nullptr;
    QPushButton* btnCopy = nullptr;
    QPushButton* btnPaste = nullptr;
    QPlainTextEdit* memoAddress = nullptr;
    QLineEdit* editCity = nullptr;
    QLineEdit* editState = nullptr;
    QLineEdit* editZip = nullptr;
    QPushButton* btnOK = nullptr;
    QPushButton* btnCancel = nullptr;

public slots:
    void btnClearClick();
    void btnCopyClick();
    void btnPasteClick();
    // Leaving City, State or ZIP.
    void addressFieldExit();
    void btnOKClick();

private:
    AddressFields fields_;
    FieldExits fieldExits_;
};
