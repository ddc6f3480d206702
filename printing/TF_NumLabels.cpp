#include "printing/TF_NumLabels.h"

#include "printing/CountField.h"
#include "widgets/DialogParts.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {

constexpr int kMaximum = 100;

} // namespace

TF_NumLabels::TF_NumLabels(QWidget* parent) : QDialog(parent)
{
    setObjectName("F_NumLabels");
    setWindowTitle("Labels");
    setFixedSize(280, 130);

    auto text = new QLabel("Please enter the number of labels you want to print with these Addresses.", this);
    text->setObjectName("lblText");
    text->setWordWrap(true);
    text->setGeometry(10, 8, 260, 34);
    auto caption = new QLabel("Number of Labels", this);
    caption->setObjectName("lblNumLabels");
    caption->setGeometry(10, 54, 110, 20);
    editNumLabels = new QLineEdit("1", this);
    editNumLabels->setObjectName("editNumLabels");
    editNumLabels->setMaxLength(3);
    editNumLabels->setGeometry(124, 52, 44, 22);
    fieldExits_.add(editNumLabels, [this] { editNumLabelsExit(); });

    makeOkCancel(this, btnOK, btnCancel);
    btnOK->setGeometry(104, 94, 75, 25);
    btnCancel->setGeometry(194, 94, 75, 25);
    connect(btnOK, &QPushButton::clicked, this, &TF_NumLabels::btnOKClick);
    count_ = new CountField(editNumLabels, btnOK, kMaximum, "You can not enter a number greater than 100.");
    UpDown1 = count_->upDown();
    editNumLabels->setFocus();
}

std::optional<int> TF_NumLabels::ask(QWidget* parent)
{
    TF_NumLabels dialog(parent);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.editNumLabels->text().trimmed().toInt();
}

void TF_NumLabels::editNumLabelsExit()
{
    count_->accept();
}

void TF_NumLabels::UpDown1Click(int step)
{
    count_->step(step);
}

// Enter reaches OK without leaving the field, so the field is checked here as well.
void TF_NumLabels::btnOKClick()
{
    if (count_->accept())
        accept();
}
