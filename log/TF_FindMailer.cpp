#include "log/TF_FindMailer.h"

#include "log/LogMailers.h"
#include "widgets/DialogParts.h"
#include "widgets/Services.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

using logmailers::logSearch;
using Mode = logmailers::SearchState::Mode;

TF_FindMailer::TF_FindMailer(QWidget* parent) : QDialog(parent)
{
    setObjectName("F_FindMailer");
    setWindowTitle("Find Mailer");
    auto group = new QGroupBox("Enter Data By", this);
    auto radios = new QVBoxLayout(group);
    rbMailer = new QRadioButton("Mailer #", group);
    rbMailer->setObjectName("rbMailer");
    rbAddresseeName = new QRadioButton("Addressee's Name", group);
    rbAddresseeName->setObjectName("rbAddresseeName");
    radios->addWidget(rbMailer);
    radios->addWidget(rbAddresseeName);
    editEnter = new QLineEdit(this);
    editEnter->setObjectName("editEnter");
    editEnter->setMaxLength(50);
    auto layout = new QVBoxLayout(this);
    layout->addWidget(group);
    layout->addWidget(new QLabel("Enter Data Here:", this));
    layout->addWidget(editEnter);
    layout->addLayout(okCancelRow(this, btnOK, btnCancel));
    connect(btnOK, &QPushButton::clicked, this, &TF_FindMailer::btnOKClick);
    for (QRadioButton* rb : {rbMailer, rbAddresseeName})
        connect(rb, &QRadioButton::clicked, editEnter, [this] { editEnter->setFocus(); });

    if (logSearch.mode == Mode::ByNumber) {
        rbMailer->setChecked(true);
    } else if (logSearch.mode == Mode::ByName) {
        rbAddresseeName->setChecked(true);
        editEnter->setText(logSearch.text);
    }
    editEnter->setFocus();
}

bool TF_FindMailer::ask(QWidget* parent)
{
    TF_FindMailer dialog(parent);
    return dialog.exec() == QDialog::Accepted;
}

void TF_FindMailer::btnOKClick()
{
    if (rbAddresseeName->isChecked()) {
        if (editEnter->text().trimmed().isEmpty()) {
            MessageService::error("Addressee name can not be empty.", this);
            editEnter->setFocus();
            return;
        }
        logSearch = {Mode::ByName, editEnter->text()};
        accept();
        return;
    }
    const auto digits = logmailers::mailerNumberDigits(editEnter->text());
    if (!digits) {
        MessageService::error("Mailer Number must contain 20 digits.", this);
        editEnter->setFocus();
        return;
    }
    logSearch = {Mode::ByNumber, *digits};
    accept();
}
