// The mass print dialog: the candidate addresses with check marks and "Check All".
#pragma once

#include "addressbook/MassPrint.h"

#include <QDialog>

class QCheckBox;
class QGroupBox;
class QLabel;
class QListView;
class QPushButton;

class TF_MassPrint : public QDialog {
    Q_OBJECT
public:
    explicit TF_MassPrint(QWidget* parent = nullptr);

    void AddMassPrintEntry(const TAddressRec& rec, bool checked) { model_->AddMassPrintEntry(rec, checked); }
    const std::vector<MassPrintModel::Entry>& entries() const { return model_->entries(); }
    MassPrintModel* model() const { return model_; }

    QGroupBox* gbMassPrint = nullptr;
    QLabel* lblMassPrint = nullptr;
    QListView* lvMassPrint = nullptr;
    QCheckBox* cbAll = nullptr;
    QPushButton* btnOK = nullptr;
    QPushButton* btnCancel = nullptr;

public slots:
    void cbAllClick();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void FormShow();
    MassPrintModel* model_ = nullptr;
};
