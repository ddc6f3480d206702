// "Find Mailer": what the log window looks for, a Mailer Number or the addressee's name.
#pragma once

#include <QDialog>

class QLineEdit;
class QPushButton;
class QRadioButton;

class TF_FindMailer : public QDialog {
    Q_OBJECT
public:
    explicit TF_FindMailer(QWidget* parent = nullptr);

    // Opens the dialog on the log window's search state; OK stores the new search there.
    static bool ask(QWidget* parent = nullptr);

    QRadioButton* rbMailer = nullptr;
    QRadioButton* rbAddresseeName = nullptr;
    QLineEdit* editEnter = nullptr;
    QPushButton* btnOK = nullptr;
    QPushButton* btnCancel = nullptr;

public slots:
    void btnOKClick();
};
