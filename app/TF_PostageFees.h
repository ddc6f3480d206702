// Default Postage Fees: edits the default fee values kept in the settings.
#pragma once

#include "widgets/FieldExit.h"

#include <QDialog>

struct Settings;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

class TF_PostageFees : public QDialog {
    Q_OBJECT
public:
    // Fills the fields from the settings; a stored value that is not a number is reported
    // in the error box and shown as it is stored.
    explicit TF_PostageFees(Settings& settings, QWidget* parent = nullptr);

    QLineEdit* editPostage = nullptr;
    QLineEdit* editAddOunce = nullptr;
    QLineEdit* editCertFee = nullptr;
    QLineEdit* editReturn = nullptr;
    QCheckBox* cbRestricted = nullptr;
    QLabel* lblRestricted = nullptr;
    QLineEdit* editRestricted = nullptr;
    QPushButton* btnOK = nullptr;
    QPushButton* btnCancel = nullptr;

public slots:
    void cbRestrictedClick();
    // Stores the fields' texts as shown into the settings.
    void btnOKClick();

private:
    Settings& settings_;
    FieldExits fieldExits_;
};
