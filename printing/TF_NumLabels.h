// "Labels": how many forms Print Multiple forms with same Address prints, 1 to 100.
#pragma once

#include "widgets/FieldExit.h"

#include <QDialog>
#include <optional>

class CountField;
class QLineEdit;
class QPushButton;

class TF_NumLabels : public QDialog {
    Q_OBJECT
public:
    explicit TF_NumLabels(QWidget* parent = nullptr);

    // Shows the dialog modally; the count on OK, nothing on Cancel.
    static std::optional<int> ask(QWidget* parent = nullptr);

    QLineEdit* editNumLabels = nullptr;
    QWidget* UpDown1 = nullptr; // the up and down arrows beside the field
    QPushButton* btnOK = nullptr;
    QPushButton* btnCancel = nullptr;

public slots:
    void editNumLabelsExit();
    void UpDown1Click(int step);
    void btnOKClick();

private:
    CountField* count_ = nullptr;
    FieldExits fieldExits_;
};
