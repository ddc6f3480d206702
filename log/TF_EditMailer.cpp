#include "log/TF_EditMailer.h"

#include "widgets/DialogParts.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QLineEdit* feeEdit(QWidget* parent, const char* name)
{
    auto edit = new QLineEdit(parent);
    edit->setObjectName(name);
    edit->setAlignment(Qt::AlignRight);
    return edit;
}

} // namespace

TF_EditMailer::TF_EditMailer(const logmailers::MailerEdit& values, const QString& restrictedDefault, QWidget* parent)
    : QDialog(parent), restrictedDefault_(restrictedDefault)
{
    setObjectName("F_EditMailer");
    setWindowTitle("Edit Mailer");
    auto grid = new QGridLayout;
    editPostage = feeEdit(this, "editPostage");
    editCertFee = feeEdit(this, "editCertFee");
    editReturn = feeEdit(this, "editReturn");
    cbRestricted = new QCheckBox(this);
    cbRestricted->setObjectName("cbRestricted");
    lblRestricted = new QLabel("Restricted Delivery Fee", this);
    editRestricted = feeEdit(this, "editRestricted");
    editTotal = feeEdit(this, "editTotal");
    editTotal->setReadOnly(true);
    editTotal->setFocusPolicy(Qt::NoFocus);
    grid->addWidget(new QLabel("Postage", this), 0, 1);
    grid->addWidget(editPostage, 0, 2);
    grid->addWidget(new QLabel("Certified Fee", this), 1, 1);
    grid->addWidget(editCertFee, 1, 2);
    grid->addWidget(new QLabel("Return Receipt", this), 2, 1);
    grid->addWidget(editReturn, 2, 2);
    grid->addWidget(cbRestricted, 3, 0);
    grid->addWidget(lblRestricted, 3, 1);
    grid->addWidget(editRestricted, 3, 2);
    auto rule = new QFrame(this);
    rule->setFrameShape(QFrame::HLine);
    rule->setStyleSheet("color: red; background: red;");
    rule->setFixedHeight(2);
    grid->addWidget(rule, 4, 1, 1, 2);
    grid->addWidget(new QLabel("Total", this), 5, 1);
    grid->addWidget(editTotal, 5, 2);
    editComment = new QLineEdit(this);
    editComment->setObjectName("editComment");
    editComment->setMaxLength(35);
    cbResult = new QComboBox(this);
    cbResult->setObjectName("cbResult");
    cbResult->setEditable(true);
    cbResult->addItems({"None", "Received - Not Signed", "Received - Signed"});
    cbResult->lineEdit()->setMaxLength(22);
    grid->addWidget(new QLabel("Comment:", this), 6, 0, 1, 2);
    grid->addWidget(editComment, 6, 2);
    grid->addWidget(new QLabel("Result:", this), 7, 0, 1, 2);
    grid->addWidget(cbResult, 7, 2);
    auto layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addLayout(okCancelRow(this, btnOK, btnCancel));
    setTabOrder(editPostage, editCertFee);
    setTabOrder(editCertFee, editReturn);
    setTabOrder(editReturn, cbRestricted);
    setTabOrder(cbRestricted, editRestricted);
    setTabOrder(editRestricted, editComment);
    setTabOrder(editComment, cbResult);

    for (QLineEdit* edit : {editPostage, editCertFee, editReturn, editRestricted})
        fieldExits_.add(edit, [this, edit] { FormatEditFee(edit); });
    connect(cbRestricted, &QCheckBox::clicked, this, &TF_EditMailer::cbRestrictedClick);
    connect(btnOK, &QPushButton::clicked, this, &TF_EditMailer::btnOKClick);

    const std::pair<QLineEdit*, QString> fees[] = {
        {editPostage, values.postage}, {editCertFee, values.certified}, {editReturn, values.returnFee}};
    for (const auto& [edit, text] : fees) {
        edit->setText(text);
        FormatEditFee(edit);
    }
    lblRestricted->setEnabled(false);
    editRestricted->setEnabled(false);
    if (values.wishRest) {
        cbRestricted->setChecked(true);
        cbRestrictedClick();
    }
    editRestricted->setText(values.restricted);
    FormatEditFee(editRestricted);
    editComment->setText(values.comment);
    cbResult->setCurrentIndex(cbResult->findText(values.result));
    if (cbResult->currentIndex() < 0)
        cbResult->setEditText(QString());
}

bool TF_EditMailer::edit(logmailers::MailerEdit& values, const QString& restrictedDefault, QWidget* parent)
{
    TF_EditMailer dialog(values, restrictedDefault, parent);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    values = dialog.values();
    return true;
}

void TF_EditMailer::FormatEditFee(QLineEdit* edit)
{
    const auto formatted = logmailers::FormatEditFee(
        edit->text(), {editPostage->text(), editCertFee->text(), editReturn->text(), editRestricted->text()});
    editTotal->setText(formatted.total);
    edit->setText(formatted.field);
}

void TF_EditMailer::cbRestrictedClick()
{
    const bool on = cbRestricted->isChecked();
    lblRestricted->setEnabled(on);
    editRestricted->setEnabled(on);
    editRestricted->setText(on ? restrictedDefault_ : QString());
    FormatEditFee(editRestricted);
}

logmailers::MailerEdit TF_EditMailer::values() const
{
    return {editPostage->text().trimmed(),    editCertFee->text().trimmed(), editReturn->text().trimmed(),
            editRestricted->text().trimmed(), cbRestricted->isChecked(),     editComment->text().trimmed(),
            cbResult->currentText()};
}

void TF_EditMailer::btnOKClick()
{
    accept();
}
