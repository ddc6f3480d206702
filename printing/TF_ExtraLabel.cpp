#include "printing/TF_ExtraLabel.h"

#include "core/Settings.h"
#include "widgets/DialogParts.h"

#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>

namespace {

const QString kAddressedTo = QStringLiteral("Addressed To");
const QString kYourAddress = QStringLiteral("Your Name and Address");

} // namespace

QString ExtraLabelAddressOf(const QString& typed)
{
    return typed == kYourAddress ? kYourAddress : kAddressedTo;
}

TF_ExtraLabel::TF_ExtraLabel(const Settings& settings, QWidget* parent) : QDialog(parent)
{
    setObjectName("F_ExtraLabel");
    setWindowTitle("Extra Label");
    setFixedSize(340, 250);
    auto text = new QLabel("Use this window to print an Address on the \"Extra Label\" located on the upper right "
                           "corner of the form.  This label is intended for the postage label.  If you are printing "
                           "the Postage on this label, you don't want to print an address here.",
                           this);
    text->setObjectName("lblText");
    text->setWordWrap(true);
    text->setGeometry(10, 8, 320, 80);

    rgExtraLabel = new QGroupBox("Print Address on Extra Label?", this);
    rgExtraLabel->setObjectName("rgExtraLabel");
    rgExtraLabel->setGeometry(10, 94, 320, 50);
    auto choices = new QHBoxLayout(rgExtraLabel);
    rbYes = new QRadioButton("Yes", rgExtraLabel);
    rbYes->setObjectName("rbYes");
    rbNo = new QRadioButton("No", rgExtraLabel);
    rbNo->setObjectName("rbNo");
    choices->addWidget(rbYes);
    choices->addWidget(rbNo);
    choices->addStretch(1);

    auto caption = new QLabel("Address for Extra Label:", this);
    caption->setGeometry(10, 152, 200, 18);
    cbExtraLabel = new QComboBox(this);
    cbExtraLabel->setObjectName("cbExtraLabel");
    cbExtraLabel->setEditable(true);
    cbExtraLabel->setInsertPolicy(QComboBox::NoInsert);
    cbExtraLabel->addItems({kAddressedTo, kYourAddress});
    cbExtraLabel->setGeometry(10, 172, 220, 24);

    makeOkCancel(this, btnOK, btnCancel);
    btnOK->setGeometry(160, 214, 75, 25);
    btnCancel->setGeometry(250, 214, 75, 25);
    connect(btnOK, &QPushButton::clicked, this, &QDialog::accept);

    // A stored value that is neither choice prints no address, so the dialog shows "No".
    (settings.printExtraLabel == "Yes" ? rbYes : rbNo)->setChecked(true);
    cbExtraLabel->setCurrentText(settings.extraLabel);
    for (QRadioButton* rb : {rbYes, rbNo})
        connect(rb, &QRadioButton::clicked, this, &TF_ExtraLabel::rgExtraLabelClick);
}

void TF_ExtraLabel::rgExtraLabelClick()
{
    cbExtraLabel->setEnabled(rbYes->isChecked());
}

bool TF_ExtraLabel::edit(Settings& settings, QWidget* parent)
{
    TF_ExtraLabel dialog(settings, parent);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    settings.printExtraLabel = dialog.rbYes->isChecked() ? "Yes" : "No";
    settings.extraLabel = ExtraLabelAddressOf(dialog.cbExtraLabel->currentText());
    return true;
}
