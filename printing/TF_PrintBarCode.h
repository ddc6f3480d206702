// "Print Bar Codes": the Customer ID, first serial and count of a run of bar code labels.
// The counter stays locked (opened exclusively) from opening until the dialog is destroyed,
// which the main window does after the run; it is never written.
#pragma once

#include "printing/BarCodeLabels.h"
#include "widgets/FieldExit.h"

#include <QDialog>

struct Settings;
class CountField;
class QLineEdit;
class QPushButton;

class TF_PrintBarCode : public QDialog {
    Q_OBJECT
public:
    // Locks the counter and fills the fields from it; throws engine::EngineError when it
    // cannot be opened exclusively.
    explicit TF_PrintBarCode(const Settings& settings, QWidget* parent = nullptr);
    ~TF_PrintBarCode() override;

    // What OK hands back (alignment offsets left at 0 for the caller).
    BarCodeLabelRun run() const;

    QLineEdit* editCustID = nullptr;
    QLineEdit* editSerialNum = nullptr;
    QLineEdit* editNumLabels = nullptr;
    QWidget* UpDown1 = nullptr;
    QPushButton* btnOK = nullptr;
    QPushButton* btnCancel = nullptr;

public slots:
    void editCustIDExit();
    void editNumLabelsExit();
    void btnOKClick();

private:
    // Checks the Customer ID as leaving the field does; false when refused.
    bool acceptCustomerId();
    CountField* count_ = nullptr;
    FieldExits fieldExits_;
};

extern const QString ZeroCustomerIdLabelsMessage;
