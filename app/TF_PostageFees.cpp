#include "app/TF_PostageFees.h"
#include "widgets/DialogParts.h"

#include "core/MoneyText.h"
#include "core/Settings.h"
#include "engine/Engine.h"
#include "widgets/ErrorBoundary.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {

// The money text of a stored default, or the stored text itself when it is not a number.
QString moneyTextOfSetting(const QString& value)
{
    try {
        return MoneyText(toFeeNumber(value));
    } catch (const engine::ConversionError& e) {
        showException(e);
        return value;
    }
}

} // namespace

TF_PostageFees::TF_PostageFees(Settings& settings, QWidget* parent) : QDialog(parent), settings_(settings)
{
    setObjectName("TF_PostageFees");
    setWindowTitle("Default Postage Fees");

    auto feeEdit = [this](const char* name) {
        auto edit = new QLineEdit(this);
        edit->setObjectName(name);
        fieldExits_.add(edit, [edit] {
            // Text that is not a number stays as typed.
            if (auto number = tryFeeNumber(edit->text()))
                edit->setText(MoneyText(*number));
        });
        return edit;
    };
    editPostage = feeEdit("editPostage");
    editAddOunce = feeEdit("editAddOunce");
    editCertFee = feeEdit("editCertFee");
    editReturn = feeEdit("editReturn");
    cbRestricted = new QCheckBox(this);
    cbRestricted->setObjectName("cbRestricted");
    lblRestricted = new QLabel("Restricted Delivery Fee", this);
    lblRestricted->setObjectName("lblRestricted");
    editRestricted = feeEdit("editRestricted");

    auto grid = new QGridLayout;
    const std::pair<const char*, QLineEdit*> fees[] = {{"Postage Fee", editPostage},
                                                       {"Each Additional Ounce Fee", editAddOunce},
                                                       {"Certified Fee", editCertFee},
                                                       {"Return Receipt", editReturn}};
    int row = 0;
    for (const auto& [caption, edit] : fees) {
        grid->addWidget(new QLabel(caption, this), row, 0, 1, 2);
        grid->addWidget(edit, row++, 2);
    }
    grid->addWidget(cbRestricted, row, 0);
    grid->addWidget(lblRestricted, row, 1);
    grid->addWidget(editRestricted, row, 2);
    grid->setColumnStretch(1, 1);

    auto main = new QVBoxLayout(this);
    main->addLayout(grid);
    main->addLayout(okCancelRow(this, btnOK, btnCancel));
    setFixedSize(sizeHint().expandedTo(QSize(330, 0)));

    editPostage->setText(moneyTextOfSetting(settings_.postage));
    editAddOunce->setText(moneyTextOfSetting(settings_.addOunce));
    editCertFee->setText(moneyTextOfSetting(settings_.certFee));
    editReturn->setText(moneyTextOfSetting(settings_.returnFee));
    cbRestricted->setChecked(settings_.restrictedCB);
    cbRestrictedClick();

    connect(cbRestricted, &QCheckBox::toggled, this, &TF_PostageFees::cbRestrictedClick);
    connect(btnOK, &QPushButton::clicked, this, &TF_PostageFees::btnOKClick);
}

void TF_PostageFees::cbRestrictedClick()
{
    const bool ticked = cbRestricted->isChecked();
    lblRestricted->setEnabled(ticked);
    editRestricted->setEnabled(ticked);
    editRestricted->setText(ticked ? moneyTextOfSetting(settings_.restricted) : QString());
}

void TF_PostageFees::btnOKClick()
{
    settings_.postage = editPostage->text();
    settings_.addOunce = editAddOunce->text();
    settings_.certFee = editCertFee->text();
    settings_.returnFee = editReturn->text();
    settings_.restrictedCB = cbRestricted->isChecked();
    if (settings_.restrictedCB)
        settings_.restricted = editRestricted->text();
    accept();
}
