#include "printing/TF_PrintBarCode.h"

#include "core/MailerNumber.h"
#include "core/NumberCounter.h"
#include "core/datamodule/TdmDovraPro.h"
#include "printing/CountField.h"
#include "widgets/DialogParts.h"
#include "widgets/Services.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

const QString ZeroCustomerIdLabelsMessage =
    QStringLiteral("You can not print the bar codes with a Customer ID of \"000000000\".");

namespace {

constexpr int kMaximumLabels = 9999;

// "123456789" -> "12-345-6789"
QString dashedCustomerId(const QString& customerId)
{
    const QString digits = CustomerIdWithoutDashes(customerId);
    return digits.left(2) + "-" + digits.mid(2, 3) + "-" + digits.mid(5, 4);
}

QLabel* caption(const QString& text, QWidget* parent, int x, int y, int w)
{
    auto label = new QLabel(text, parent);
    label->setGeometry(x, y, w, 20);
    return label;
}

QLineEdit* field(const char* name, QWidget* parent, int x, int y, int w)
{
    auto edit = new QLineEdit(parent);
    edit->setObjectName(name);
    edit->setGeometry(x, y, w, 22);
    return edit;
}

} // namespace

TF_PrintBarCode::TF_PrintBarCode(const Settings& settings, QWidget* parent) : QDialog(parent)
{
    setObjectName("F_PrintBarCode");
    setWindowTitle("Print Bar Codes");
    setFixedSize(360, 222);

    auto text = new QLabel("This feature will add the USPS  mailer number and bar code to a blank label. This feature "
                           "is usually used to prepare a blank label that can then be filled in by hand with out the "
                           "use of a computer.",
                           this);
    text->setObjectName("lblText");
    text->setWordWrap(true);
    text->setGeometry(10, 8, 340, 64);

    caption("Mailer ID", this, 10, 84, 190);
    editCustID = field("editCustID", this, 210, 82, 100);
    editCustID->setInputMask("99-999-9999"); // nine digits
    caption("Enter Identifier Serial Number", this, 10, 114, 190);
    editSerialNum = field("editSerialNum", this, 210, 112, 100);
    editSerialNum->setInputMask("9999999"); // seven digits
    caption("Number of Labels", this, 10, 144, 190);
    editNumLabels = field("editNumLabels", this, 210, 142, 60);
    editNumLabels->setMaxLength(4);
    editNumLabels->setText("1");

    makeOkCancel(this, btnOK, btnCancel);
    btnOK->setGeometry(184, 186, 75, 25);
    btnCancel->setGeometry(272, 186, 75, 25);
    connect(btnOK, &QPushButton::clicked, this, &TF_PrintBarCode::btnOKClick);
    count_ = new CountField(editNumLabels, btnOK, kMaximumLabels);
    UpDown1 = count_->upDown();
    fieldExits_.add(editCustID, [this] { editCustIDExit(); });
    fieldExits_.add(editNumLabels, [this] { editNumLabelsExit(); });

    OpenCounterTableExclusive(settings);
    try {
        const engine::Table& counter = dmDovraPro->adstMailerNum;
        editCustID->setText(dashedCustomerId(fromStd(counter.asString("CustID"))));
        editSerialNum->setText(fromStd(counter.asString("SerialNum")));
    } catch (...) {
        CloseNumberCounter();
        throw;
    }
    btnOK->setEnabled(true);
    editCustID->setFocus();
}

TF_PrintBarCode::~TF_PrintBarCode()
{
    fieldExits_.stop();
    CloseNumberCounter();
}

BarCodeLabelRun TF_PrintBarCode::run() const
{
    BarCodeLabelRun run;
    run.customerId = CustomerIdWithoutDashes(editCustID->text());
    run.serial = editSerialNum->text();
    run.count = count_->value();
    return run;
}

bool TF_PrintBarCode::acceptCustomerId()
{
    if (CustomerIdWithoutDashes(editCustID->text()) == "000000000") {
        MessageService::error(ZeroCustomerIdLabelsMessage, this);
        editCustID->setFocus();
        btnOK->setEnabled(false);
        return false;
    }
    btnOK->setEnabled(true);
    return true;
}

void TF_PrintBarCode::editCustIDExit()
{
    acceptCustomerId();
}

void TF_PrintBarCode::editNumLabelsExit()
{
    count_->accept();
}

// Enter reaches OK without leaving a field, so the fields are checked here as well. A
// number typed only in part would print labels numbered with zeros in its place.
void TF_PrintBarCode::btnOKClick()
{
    if (!acceptCustomerId() || !count_->accept())
        return;
    if (!editCustID->hasAcceptableInput()) {
        MessageService::error("Please enter all nine digits of the Mailer ID.", this);
        editCustID->setFocus();
        return;
    }
    if (!editSerialNum->hasAcceptableInput()) {
        MessageService::error("Please enter all seven digits of the Identifier Serial Number.", this);
        editSerialNum->setFocus();
        return;
    }
    accept();
}
