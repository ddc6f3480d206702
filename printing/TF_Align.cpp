#include "printing/TF_Align.h"

#include "core/Settings.h"
#include "widgets/DialogParts.h"

#include <QLabel>
#include <QPushButton>
#include <QSpinBox>

namespace {

QSpinBox* offsetBox(const char* name, int value, QWidget* parent, int x)
{
    auto box = new QSpinBox(parent);
    box->setObjectName(name);
    box->setRange(-Settings::kAlignmentLimit, Settings::kAlignmentLimit);
    box->setValue(value);
    box->setGeometry(x, 112, 80, 24);
    return box;
}

} // namespace

TF_Align::TF_Align(const Settings& settings, QWidget* parent) : QDialog(parent)
{
    setObjectName("F_Align");
    setWindowTitle("Printer Alignment");
    setFixedSize(330, 190);
    auto text = new QLabel("The numbers below will move the text on the form either 1/100\" to the right if a negative "
                           "number or to the left if a positive number.  It also can move the text  1/100\" up if a "
                           "positive number and down if a negative number.",
                           this);
    text->setObjectName("lblText");
    text->setWordWrap(true);
    text->setGeometry(10, 8, 310, 80);
    auto leftRight = new QLabel("Left & Right", this);
    leftRight->setGeometry(40, 92, 100, 18);
    auto upDown = new QLabel("Up and Down", this);
    upDown->setGeometry(190, 92, 100, 18);
    spinLeftRight = offsetBox("spinLeftRight", settings.leftRight, this, 40);
    SpinUpDown = offsetBox("SpinUpDown", settings.topBottom, this, 190);
    makeOkCancel(this, btnOK, btnCancel);
    btnOK->setGeometry(150, 154, 75, 25);
    btnCancel->setGeometry(240, 154, 75, 25);
    connect(btnOK, &QPushButton::clicked, this, &QDialog::accept);
}

bool TF_Align::edit(Settings& settings, QWidget* parent)
{
    TF_Align dialog(settings, parent);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    dialog.spinLeftRight->interpretText();
    dialog.SpinUpDown->interpretText();
    settings.leftRight = dialog.spinLeftRight->value();
    settings.topBottom = dialog.SpinUpDown->value();
    return true;
}
