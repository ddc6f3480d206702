// The mailer entry area of the main window: recipient, fees, free-text fields.
#include "app/TF_Main.h"

#include "app/TF_CalculatePostage.h"
#include "app/TF_PostageFees.h"
#include "core/MoneyText.h"
#include "widgets/AddressFields.h"
#include "widgets/ButtonDialog.h"
#include "widgets/ErrorBoundary.h"
#include "widgets/Services.h"

#include <QAction>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>

namespace {

QLabel* fieldLabel(const QString& caption, const char* name, QWidget* parent, int x, int y, int w = 90)
{
    auto l = new QLabel(caption, parent);
    l->setObjectName(name);
    l->setGeometry(x, y, w, 16);
    QFont f = l->font();
    f.setBold(true);
    l->setFont(f);
    // Green while enabled; a disabled label keeps the platform's grey.
    QPalette p = l->palette();
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive})
        p.setColor(group, QPalette::WindowText, QColor(0, 100, 0));
    l->setPalette(p);
    return l;
}

QLineEdit* lineEdit(const char* name, QWidget* parent, int x, int y, int w, int maxLength = 0)
{
    auto e = new QLineEdit(parent);
    e->setObjectName(name);
    e->setGeometry(x, y, w, 21);
    if (maxLength > 0)
        e->setMaxLength(maxLength);
    return e;
}

} // namespace

void TF_Main::buildEntryArea()
{
    // Recipient, typed
    gbTo = new QGroupBox("To Address", central);
    gbTo->setObjectName("gbTo");
    gbTo->setGeometry(8, 166, 228, 200);
    memoToAddress = new QPlainTextEdit(gbTo);
    memoToAddress->setObjectName("memoToAddress");
    memoToAddress->setGeometry(8, 20, 212, 72);
    memoToAddress->setLineWrapMode(QPlainTextEdit::NoWrap);
    memoToAddress->setTabChangesFocus(true);
    fieldLabel("City", "labelToCity", gbTo, 8, 98, 40);
    editToCity = lineEdit("editToCity", gbTo, 50, 96, 170, 35);
    fieldLabel("State", "labelToState", gbTo, 8, 123, 40);
    editToState = lineEdit("editToState", gbTo, 50, 121, 40, 4);
    fieldLabel("ZIP", "labelToZip", gbTo, 98, 123, 28);
    editToZip = lineEdit("editToZip", gbTo, 128, 121, 92);
    AddressFields::setUpZipField(editToZip);
    btnToClear = new QPushButton("&Clear", gbTo);
    btnToClear->setObjectName("btnToClear");
    btnToClear->setGeometry(8, 160, 66, 25);
    btnCopy = new QPushButton("&Copy", gbTo);
    btnCopy->setObjectName("btnCopy");
    btnCopy->setGeometry(81, 160, 66, 25);
    btnToPaste = new QPushButton("&Paste", gbTo);
    btnToPaste->setObjectName("btnToPaste");
    btnToPaste->setGeometry(154, 160, 66, 25);

    // Recipient from an open address database, read-only
    gbToDB = new QGroupBox("To Address", central);
    gbToDB->setObjectName("gbToDB");
    gbToDB->setGeometry(8, 166, 228, 110);
    for (int i = 0; i < 5; ++i) {
        lblToAddress[i] = new QLabel(gbToDB);
        lblToAddress[i]->setObjectName(QString("lblToAddress%1").arg(i + 1));
        lblToAddress[i]->setGeometry(8, 20 + i * 16, 212, 16);
    }
    gbToDB->hide();

    // Free-text fields
    const int textX = 348, textW = 213, textLabelW = 102;
    labelDepartment = fieldLabel("Department:", "labelDepartment", central, 244, 109, textLabelW);
    editDepartment = lineEdit("editDepartment", central, textX, 103, textW, 20);
    labelProcessedBy = fieldLabel("Processed By:", "labelProcessedBy", central, 244, 134, textLabelW);
    editProcessedBy = lineEdit("editProcessedBy", central, textX, 128, textW, 20);
    labelComment = fieldLabel("Comment:", "labelComment", central, 244, 159, textLabelW);
    editComment = lineEdit("editComment", central, textX, 153, textW, 35);
    labelRE = fieldLabel("RE:", "labelRE", central, 244, 184, textLabelW);
    editRe = lineEdit("editRe", central, textX, 178, textW, 25);

    // Fees
    const int feeX = 428, feeW = 76;
    fieldLabel("Postage", "labelPostage", central, 244, 218, 150);
    editPostage = lineEdit("editPostage", central, feeX, 214, feeW);
    fieldLabel("Certified Fee", "labelCertFee", central, 244, 243, 150);
    editCertFee = lineEdit("editCertFee", central, feeX, 239, feeW);
    CBReturn = new QCheckBox(central);
    CBReturn->setObjectName("CBReturn");
    CBReturn->setGeometry(244, 266, 18, 18);
    CBReturn->setChecked(true);
    lblReturn = fieldLabel("Return Receipt", "lblReturn", central, 264, 268, 130);
    editReturn = lineEdit("editReturn", central, feeX, 264, feeW);
    cbRestricted = new QCheckBox(central);
    cbRestricted->setObjectName("cbRestricted");
    cbRestricted->setGeometry(244, 291, 18, 18);
    lblRestricted = fieldLabel("Restricted Delivery Fee", "lblRestricted", central, 264, 293, 162);
    editRestricted = lineEdit("editRestricted", central, feeX, 289, feeW);
    editRestricted->setEnabled(false);
    fieldLabel("Total", "labelTotal", central, 244, 318, 150);
    editTotal = lineEdit("editTotal", central, feeX, 314, feeW);
    editTotal->setReadOnly(true);
    editTotal->setFocusPolicy(Qt::NoFocus);

    // The label / envelope variant and the label position, shown without Return Receipt,
    // below the fees.
    CBLabel = new QCheckBox(central);
    CBLabel->setObjectName("CBLabel");
    CBLabel->setGeometry(244, 342, 18, 18);
    LabelLabel = fieldLabel("Label", "LabelLabel", central, 262, 343, 40);
    CBEnvelope = new QCheckBox(central);
    CBEnvelope->setObjectName("CBEnvelope");
    CBEnvelope->setGeometry(310, 342, 18, 18);
    LabelEnvelope = fieldLabel("Envelope", "LabelEnvelope", central, 328, 343, 70);
    labelRow = fieldLabel("Row", "labelRow", central, 244, 367, 32);
    EDPosRow = lineEdit("EDPosRow", central, 278, 363, 24);
    labelCol = fieldLabel("Column", "labelCol", central, 310, 367, 56);
    EDPosCol = lineEdit("EDPosCol", central, 368, 363, 24);
    for (QWidget* w : std::initializer_list<QWidget*>{CBLabel, LabelLabel, CBEnvelope, LabelEnvelope, labelRow,
                                                      EDPosRow, labelCol, EDPosCol}) {
        w->hide();
        w->setEnabled(false);
    }

    btnPrint = new QPushButton("&Print", central);
    btnPrint->setObjectName("btnPrint");
    btnPrint->setGeometry(461, 346, 100, 30);

    setTabOrder(memoToAddress, editToCity);
    setTabOrder(editToCity, editToState);
    setTabOrder(editToState, editToZip);
    setTabOrder(editToZip, editDepartment);
    setTabOrder(editDepartment, editProcessedBy);
    setTabOrder(editProcessedBy, editComment);
    setTabOrder(editComment, editRe);
    setTabOrder(editRe, editPostage);
    setTabOrder(editPostage, editCertFee);
    setTabOrder(editCertFee, CBReturn);
    setTabOrder(CBReturn, editReturn);
    setTabOrder(editReturn, cbRestricted);
    setTabOrder(cbRestricted, editRestricted);
    setTabOrder(editRestricted, btnPrint);
    central->setMinimumSize(569, 386);
    resize(569, 386 + menuBar()->sizeHint().height());
    connectEntryArea();
}

// Up to eleven positional arguments: four recipient lines, City, State, ZIP, Department,
// Processed By, Comment, RE. Further ones are ignored.
void TF_Main::applyCommandLineArguments()
{
    memoToAddress->clear();
    QStringList lines;
    for (int i = 0; i < arguments_.size() && i < 11; ++i) {
        const QString a = oneLine(arguments_[i]);
        switch (i) {
        case 0:
        case 1:
        case 2:
        case 3:
            lines << a;
            break;
        case 4:
            editToCity->setText(a);
            break;
        case 5:
            editToState->setText(a);
            break;
        case 6:
            if (!AddressFields::zipFieldText(a))
                MessageService::error(AddressFields::notAZipMessage(a) +
                                          " It was given on the command line; the ZIP field was left empty.",
                                      this);
            else
                editToZip->setText(*AddressFields::zipFieldText(a));
            break;
        case 7:
            editDepartment->setText(a);
            break;
        case 8:
            editProcessedBy->setText(a);
            break;
        case 9:
            editComment->setText(a);
            break;
        case 10:
            editRe->setText(a);
            break;
        }
    }
    if (!lines.isEmpty())
        memoToAddress->setPlainText(lines.join('\n'));
    argumentsApplied_ = true;
}

void TF_Main::connectEntryArea()
{
    fieldExits_.add(editPostage, [this] { editPostageExit(); });
    fieldExits_.add(editCertFee, [this] { editCertFeeExit(); });
    fieldExits_.add(editReturn, [this] { editReturnExit(); });
    fieldExits_.add(editRestricted, [this] { editRestrictedExit(); });
    fieldExits_.add(editToZip, [this] { editToZipExit(); });

    for (QLineEdit* e : {editPostage, editCertFee, editRestricted, editReturn, editComment, editRe, editDepartment,
                         editProcessedBy, editToCity, editToState, editToZip})
        connect(e, &QLineEdit::textChanged, this, &TF_Main::MarkEntryChanged);
    connect(memoToAddress, &QPlainTextEdit::textChanged, this, &TF_Main::memoToAddressChange);

    // Programmatic ticks run the handlers too: Reset Values and Return Receipt rely on it.
    connect(CBReturn, &QCheckBox::toggled, this, &TF_Main::CBReturnClick);
    connect(cbRestricted, &QCheckBox::toggled, this, &TF_Main::cbRestrictedClick);
    connect(CBLabel, &QCheckBox::toggled, this, &TF_Main::CBLabelClick);
    connect(CBEnvelope, &QCheckBox::toggled, this, &TF_Main::CBEnvelopeClick);

    connect(btnToClear, &QPushButton::clicked, this, &TF_Main::btnToClearClick);
    connect(btnCopy, &QPushButton::clicked, this, &TF_Main::btnCopyClick);
    connect(btnToPaste, &QPushButton::clicked, this, &TF_Main::btnToPasteClick);

    connect(miResetValues, &QAction::triggered, this, &TF_Main::miResetValuesClick);
    connect(miSaveValues, &QAction::triggered, this, &TF_Main::miSaveValuesClick);
    miCalculate = new QAction("Calculate Postage", editPostage);
    miCalculate->setObjectName("miCalculate");
    connect(miCalculate, &QAction::triggered, this, &TF_Main::miCalculateClick);
    editPostage->setContextMenuPolicy(Qt::ActionsContextMenu);
    editPostage->addAction(miCalculate);

    setEntryState(false);
}

// ---- fees ----------------------------------------------------------------------------------

QString TF_Main::FormatFee(const QString& text)
{
    const FormattedFee out =
        formatFeeTexts(text, {editPostage->text(), editCertFee->text(), editRestricted->text(), editReturn->text()},
                       !miZerosOff->isChecked());
    editTotal->setText(out.total);
    return out.field;
}

void TF_Main::editPostageExit()
{
    editPostage->setText(FormatFee(editPostage->text()));
}
void TF_Main::editCertFeeExit()
{
    editCertFee->setText(FormatFee(editCertFee->text()));
}
void TF_Main::editReturnExit()
{
    editReturn->setText(FormatFee(editReturn->text()));
}
void TF_Main::editRestrictedExit()
{
    editRestricted->setText(FormatFee(editRestricted->text()));
}

void TF_Main::ResetFeeValues()
{
    editPostage->setText(settings.postage);
    editPostageExit();
    editCertFee->setText(settings.certFee);
    editCertFeeExit();
    editReturn->setText(settings.returnFee);
    editReturnExit();
    cbRestricted->setChecked(settings.restrictedCB);
}

void TF_Main::CBReturnClick()
{
    const bool ticked = CBReturn->isChecked();
    returnReceiptMode = ticked;
    lblReturn->setEnabled(ticked);
    editReturn->setEnabled(ticked);
    // Without a return receipt the mailer is a label or envelope at a label position.
    for (QWidget* w : std::initializer_list<QWidget*>{CBLabel, CBEnvelope, LabelLabel, LabelEnvelope, labelRow,
                                                      labelCol, EDPosRow, EDPosCol}) {
        w->setEnabled(!ticked);
        w->setVisible(!ticked);
    }
    if (!ticked)
        CBLabel->setChecked(true);
    editReturn->setText(ticked ? settings.returnFee : QString());
    editReturnExit();
}

void TF_Main::cbRestrictedClick()
{
    const bool ticked = cbRestricted->isChecked();
    lblRestricted->setEnabled(ticked);
    editRestricted->setEnabled(ticked);
    editRestricted->setText(ticked ? settings.restricted : QString());
    editRestrictedExit();
}

// Exactly one of Label and Envelope is ticked.
void TF_Main::CBLabelClick()
{
    CBEnvelope->setChecked(!CBLabel->isChecked());
}
void TF_Main::CBEnvelopeClick()
{
    CBLabel->setChecked(!CBEnvelope->isChecked());
}

void TF_Main::miShowFeesOnClick()
{
    miShowFeesOn->setChecked(true);
    settings.showValues = true;
    ResetFeeValues();
}

void TF_Main::miShowFeesOffClick()
{
    miShowFeesOff->setChecked(true);
    settings.showValues = false;
    editPostage->clear();
    editCertFee->clear();
    editReturn->clear();
    cbRestricted->setChecked(false);
    editPostageExit();
}

// The check mark alone; the fee fields follow when one is next left.
void TF_Main::miZerosOnClick()
{
    miZerosOn->setChecked(true);
    settings.zeros = true;
}

void TF_Main::miZerosOffClick()
{
    miZerosOff->setChecked(true);
    settings.zeros = false;
}

void TF_Main::miResetValuesClick()
{
    ResetFeeValues();
}

void TF_Main::miSaveValuesClick()
{
    TF_PostageFees dialog(settings, this);
    if (dialog.exec() == QDialog::Accepted)
        ResetFeeValues();
}

void TF_Main::miCalculateClick()
{
    TF_CalculatePostage dialog(settings, this);
    if (dialog.exec() == QDialog::Accepted && !dialog.result().isEmpty()) {
        editPostage->setText(dialog.result());
        editPostageExit();
    }
}

// ---- entry state ---------------------------------------------------------------------------

void TF_Main::setEntryState(bool printed)
{
    entryPrinted_ = printed;
    const QColor colour = printed ? QColor(192, 192, 192) : QColor(Qt::white);
    QList<QWidget*> controls = {editPostage,    editCertFee,     editReturn,  editRestricted, editTotal,
                                editDepartment, editProcessedBy, editComment, editRe,         memoToAddress,
                                editToCity,     editToState,     editToZip};
    // The address book's list and tree, while they exist.
    for (const char* name : {"lvAddress", "tvGroups"})
        if (auto w = findChild<QWidget*>(name))
            controls << w;
    for (QWidget* w : controls) {
        QPalette p = w->palette();
        p.setColor(QPalette::Base, colour);
        w->setPalette(p);
    }
    btnPrint->setEnabled(!printed);
}

void TF_Main::MarkEntryChanged()
{
    setEntryState(false);
}
void TF_Main::MarkEntryPrinted()
{
    setEntryState(true);
}

// ---- recipient -----------------------------------------------------------------------------

namespace {
AddressFields typedFields(const TF_Main& w)
{
    return {w.memoToAddress, w.editToCity, w.editToState, w.editToZip};
}
} // namespace

// The recipient memo keeps four lines as wide as the log's: more is removed at once.
void TF_Main::memoToAddressChange()
{
    if (!AddressFields::keepAddressLines(memoToAddress)) // a removal changes the memo again
        MarkEntryChanged();
}

QString TF_Main::zipText() const
{
    return typedFields(*this).zipText();
}
TAddressLines TF_Main::typedRecipient() const
{
    return typedFields(*this).address();
}

// Fills a blank City and State from the ZIP code table.
void TF_Main::editToZipExit()
{
    guarded([this] { typedFields(*this).lookupZip(); });
}

void TF_Main::btnToClearClick()
{
    typedFields(*this).clear();
    focusRecipient();
}
void TF_Main::btnCopyClick()
{
    typedFields(*this).copy();
}
void TF_Main::btnToPasteClick()
{
    typedFields(*this).paste();
}

// ---- first showing -------------------------------------------------------------------------

void TF_Main::firstShowingBarCodeNotice()
{
    if (!settings.barCodeApp)
        return;
    const int answer = ButtonDialog(
        "Bar Code Printing Registration",
        "This software prints the newly required Bar Code on the your Certified Mailer. Thus the U.S. Postal "
        "Service Requires that you register with them.  The DUNS numbers are no longer used. You must have a "
        "mailer ID issued by the U.S. Postal Server.  If you do not have a USPS mailer ID contact them at 800 522 "
        "9085 option 3 then option 6. ",
        {"&Never Print again"}, this);
    if (answer == 1)
        settings.barCodeApp = false;
}
