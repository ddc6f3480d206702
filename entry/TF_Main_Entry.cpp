// The mailer entry area of the main window: recipient, fees, free-text fields.
#include "entry/TF_Main.h"

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
    QPalette p = l->palette();
    p.setColor(QPalette::WindowText, QColor(0, 100, 0));
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
    labelDepartment = fieldLabel("Department:", "labelDepartment", central, 244, 109);
    editDepartment = lineEdit("editDepartment", central, 340, 103, 221, 20);
    labelProcessedBy = fieldLabel("Processed By:", "labelProcessedBy", central, 244, 134);
    editProcessedBy = lineEdit("editProcessedBy", central, 340, 128, 221, 20);
    labelComment = fieldLabel("Comment:", "labelComment", central, 244, 159);
    editComment = lineEdit("editComment", central, 340, 153, 221, 35);
    labelRE = fieldLabel("RE:", "labelRE", central, 244, 184);
    editRe = lineEdit("editRe", central, 340, 178, 221, 25);

    // Fees
    const int feeX = 400, feeW = 100;
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
    lblRestricted = fieldLabel("Restricted Delivery Fee", "lblRestricted", central, 264, 293, 134);
    editRestricted = lineEdit("editRestricted", central, feeX, 289, feeW);
    editRestricted->setEnabled(false);
    fieldLabel("Total", "labelTotal", central, 244, 318, 150);
    editTotal = lineEdit("editTotal", central, feeX, 314, feeW);
    editTotal->setReadOnly(true);
    editTotal->setFocusPolicy(Qt::NoFocus);

    // The label / envelope variant and the label position, shown without Return Receipt
    CBLabel = new QCheckBox(central);
    CBLabel->setObjectName("CBLabel");
    CBLabel->setGeometry(508, 216, 18, 18);
    LabelLabel = fieldLabel("Label", "LabelLabel", central, 526, 218, 40);
    CBEnvelope = new QCheckBox(central);
    CBEnvelope->setObjectName("CBEnvelope");
    CBEnvelope->setGeometry(508, 241, 18, 18);
    LabelEnvelope = fieldLabel("Envelope", "LabelEnvelope", central, 526, 243, 40);
    labelRow = fieldLabel("Row", "labelRow", central, 508, 268, 30);
    EDPosRow = lineEdit("EDPosRow", central, 540, 264, 21);
    labelCol = fieldLabel("Column", "labelCol", central, 508, 293, 30);
    EDPosCol = lineEdit("EDPosCol", central, 540, 289, 21);
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
}

// Up to eleven positional arguments: four recipient lines, City, State, ZIP, Department,
// Processed By, Comment, RE. Further ones are ignored.
void TF_Main::applyCommandLineArguments()
{
    memoToAddress->clear();
    QStringList lines;
    for (int i = 0; i < arguments_.size() && i < 11; ++i) {
        const QString& a = arguments_[i];
        switch (i) {
        case 0:
        case 1:
        case 2:
        case 3: lines << a; break;
        case 4: editToCity->setText(a); break;
        case 5: editToState->setText(a); break;
        case 6: editToZip->setText(a); break;
        case 7: editDepartment->setText(a); break;
        case 8: editProcessedBy->setText(a); break;
        case 9: editComment->setText(a); break;
        case 10: editRe->setText(a); break;
        }
    }
    if (!lines.isEmpty())
        memoToAddress->setPlainText(lines.join('\n'));
    argumentsApplied_ = true;
}

void TF_Main::miShowFeesOnClick()
{
    miShowFeesOn->setChecked(true);
    settings.showValues = true;
}

void TF_Main::miShowFeesOffClick()
{
    miShowFeesOff->setChecked(true);
    settings.showValues = false;
}

void TF_Main::miZerosOnClick() { miZerosOn->setChecked(true); }
void TF_Main::miZerosOffClick() { miZerosOff->setChecked(true); }

void TF_Main::firstShowingBarCodeNotice() {}
