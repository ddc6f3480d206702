#include "log/TF_Filter.h"

#include "core/MailerNumber.h"
#include "core/MoneyText.h"
#include "log/LogMailers.h"
#include "widgets/DialogParts.h"
#include "widgets/Services.h"

#include <QComboBox>
#include <QDateEdit>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QTimeEdit>
#include <QVBoxLayout>

using logfilter::ValueEntry;

namespace {

const QStringList kResults{"None", "Received - Not Signed", "Received - Signed"};

QLineEdit* maskedEdit(QWidget* parent, const char* name, const QString& mask)
{
    auto edit = new QLineEdit(parent);
    edit->setObjectName(name);
    edit->setInputMask(mask);
    return edit;
}

} // namespace

TF_Filter::TF_Filter(const logfilter::TFilterLineRec& line, QWidget* parent) : QDialog(parent)
{
    setObjectName("F_Filter");
    setWindowTitle("Filter");
    auto group = new QGroupBox("Filter", this);
    auto form = new QFormLayout(group);

    cbFieldName = new QComboBox(group);
    cbFieldName->setObjectName("cbFieldName");
    cbFieldName->setToolTip("Field name to filter on");
    for (const auto& code : logfilter::fieldCodes())
        cbFieldName->addItem(code.listName);
    cbFieldName->setCurrentIndex(-1);
    form->addRow("Field Name", cbFieldName);

    cbOperator = new QComboBox(group);
    cbOperator->setObjectName("cbOperator");
    cbOperator->setToolTip("Operator for filter operation");
    cbOperator->addItems({"=", "<>", ">", ">=", "<", "<="});
    form->addRow("Operator", cbOperator);

    auto values = new QWidget(group);
    auto valueRow = new QHBoxLayout(values);
    valueRow->setContentsMargins(0, 0, 0, 0);
    editValue = new QLineEdit(values);
    editValue->setObjectName("editValue");
    editValue->setMaxLength(50);
    editValue->setToolTip("Data value for filter operation");
    pickerDate = new QDateEdit(QDate::currentDate(), values);
    pickerDate->setObjectName("pickerDate");
    pickerDate->setCalendarPopup(true);
    pickerTime = new QTimeEdit(QTime::currentTime(), values);
    pickerTime->setObjectName("pickerTime");
    pickerTime->setDisplayFormat("HH:mm:ss");
    // In Qt's masks 9 is a required digit and 0 an optional one.
    // Five groups of four digits and an optional sixth of two: earlier editions' numbers
    // and this program's. The blanks between the groups are part of the value.
    maskeditMailerNum = maskedEdit(values, "maskeditMailerNum", "9999 9999 9999 9999 9999 00;_");
    editCustID = maskedEdit(values, "editCustID", "99-999-9999;_");
    editSerialNum = maskedEdit(values, "editSerialNum", "99999999;_");
    cbTrueFalse = new QComboBox(values);
    cbTrueFalse->setObjectName("cbTrueFalse");
    cbTrueFalse->addItems({"True", "False"});
    cbResult = new QComboBox(values);
    cbResult->setObjectName("cbResult");
    cbResult->setEditable(true);
    cbResult->addItems(kResults);
    cbResult->setCurrentText("None");
    for (QWidget* w : std::initializer_list<QWidget*>{editValue, pickerDate, pickerTime, maskeditMailerNum, editCustID,
                                                      editSerialNum, cbTrueFalse, cbResult})
        valueRow->addWidget(w);
    form->addRow("Value", values);

    auto layout = new QVBoxLayout(this);
    layout->addWidget(group);
    layout->addLayout(okCancelRow(this, btnOK, btnCancel));
    connect(btnOK, &QPushButton::clicked, this, &TF_Filter::btnOKClick);
    connect(cbFieldName, &QComboBox::currentIndexChanged, this, &TF_Filter::cbFieldNameChange);
    cbFieldNameChange();

    const int code = logfilter::fieldCodeOf(line.fieldName);
    if (code >= 0) {
        cbFieldName->setCurrentIndex(code);
        cbFieldName->setEnabled(false);
    }
    if (!line.op.isEmpty())
        cbOperator->setCurrentText(line.op);
    if (!line.value.isEmpty() && code >= 0) {
        switch (logfilter::fieldCodes()[code].entry) {
        case ValueEntry::DateTime:
            if (auto when = logfilter::readDateTimeValue(line.value)) {
                pickerDate->setDate(when->date());
                pickerTime->setTime(when->time());
            }
            break;
        case ValueEntry::MailerNumber:
            maskeditMailerNum->setText(line.value);
            break;
        case ValueEntry::CustomerId:
            editCustID->setText(line.value);
            break;
        case ValueEntry::SerialNumber:
            editSerialNum->setText(line.value);
            break;
        case ValueEntry::TrueFalse:
            cbTrueFalse->setCurrentText(line.value);
            break;
        case ValueEntry::Result:
            cbResult->setCurrentText(line.value);
            break;
        case ValueEntry::Text:
            editValue->setText(line.value);
            break;
        }
    }
}

bool TF_Filter::edit(logfilter::TFilterLineRec& line, QWidget* parent)
{
    TF_Filter dialog(line, parent);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    line = dialog.result();
    return true;
}

void TF_Filter::cbFieldNameChange()
{
    const int code = cbFieldName->currentIndex();
    const auto entry = code >= 0 ? logfilter::fieldCodes()[code].entry : ValueEntry::Text;
    editValue->setVisible(entry == ValueEntry::Text);
    pickerDate->setVisible(entry == ValueEntry::DateTime);
    pickerTime->setVisible(entry == ValueEntry::DateTime);
    maskeditMailerNum->setVisible(entry == ValueEntry::MailerNumber);
    editCustID->setVisible(entry == ValueEntry::CustomerId);
    editSerialNum->setVisible(entry == ValueEntry::SerialNumber);
    cbTrueFalse->setVisible(entry == ValueEntry::TrueFalse);
    cbResult->setVisible(entry == ValueEntry::Result);
    if (code < 0)
        return;
    cbOperator->clear();
    cbOperator->addItems(logfilter::fieldCodes()[code].operators);
    cbOperator->setCurrentIndex(0);
}

bool TF_Filter::refuse(const QString& message, QWidget* control)
{
    MessageService::error(message, this);
    control->setFocus();
    return false;
}

void TF_Filter::btnOKClick()
{
    const int code = cbFieldName->currentIndex();
    if (code < 0) {
        refuse("Your must select a field name.", cbFieldName);
        return;
    }
    const auto& field = logfilter::fieldCodes()[code];
    QString value;
    switch (field.entry) {
    case ValueEntry::Text:
        value = editValue->text();
        if (value.trimmed().isEmpty()) {
            refuse("You must enter a value.", editValue);
            return;
        }
        // -1 is what an unreadable number used to read as, so it is refused too.
        if (const auto number = tryFeeNumber(value); field.numeric && (!number || *number == -1)) {
            refuse("Your must enter a numeric value.", editValue);
            return;
        }
        break;
    case ValueEntry::DateTime:
        value = logfilter::dateTimeValue(QDateTime(pickerDate->date(), pickerTime->time()));
        break;
    case ValueEntry::MailerNumber: {
        const auto digits = logmailers::mailerNumberDigits(maskeditMailerNum->text());
        if (!digits) {
            refuse("Your must enter a full Mailer Number.", maskeditMailerNum);
            return;
        }
        value = GroupMailerNumber(*digits);
        break;
    }
    case ValueEntry::CustomerId:
        if (!editCustID->hasAcceptableInput()) {
            refuse("Your must enter a full Customer ID.", editCustID);
            return;
        }
        value = editCustID->text();
        break;
    case ValueEntry::SerialNumber:
        if (!editSerialNum->hasAcceptableInput()) {
            refuse("Your must enter a Serial Number.", editSerialNum);
            return;
        }
        value = editSerialNum->text();
        break;
    case ValueEntry::TrueFalse:
        value = cbTrueFalse->currentText();
        break;
    case ValueEntry::Result:
        value = cbResult->currentText();
        break;
    }
    result_ = {QString::number(code), cbOperator->currentText(), value};
    accept();
}
