// "Edit Mailer": the fees, restricted delivery, comment and result of one logged mailer.
#pragma once

#include "log/LogMailers.h"
#include "widgets/FieldExit.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

class TF_EditMailer : public QDialog {
    Q_OBJECT
public:
    // restrictedDefault: the Restricted Delivery fee of the settings, filled in when the box
    // is checked.
    TF_EditMailer(const logmailers::MailerEdit& values, const QString& restrictedDefault, QWidget* parent = nullptr);

    // Opens the dialog modally; on OK values receives what the user left.
    static bool edit(logmailers::MailerEdit& values, const QString& restrictedDefault, QWidget* parent = nullptr);
    logmailers::MailerEdit values() const;

    QLineEdit* editPostage = nullptr;
    QLineEdit* editCertFee = nullptr;
    QLineEdit* editReturn = nullptr;
    QCheckBox* cbRestricted = nullptr;
    QLabel* lblRestricted = nullptr;
    QLineEdit* editRestricted = nullptr;
    QLineEdit* editTotal = nullptr;
    QLineEdit* editComment = nullptr;
    QComboBox* cbResult = nullptr;
    QPushButton* btnOK = nullptr;
    QPushButton* btnCancel = nullptr;

public slots:
    void cbRestrictedClick();
    void btnOKClick();

private:
    void FormatEditFee(QLineEdit* edit);
    QString restrictedDefault_;
    FieldExits fieldExits_;
};
