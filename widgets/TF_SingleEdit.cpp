#include "widgets/TF_SingleEdit.h"
#include "core/SearchText.h"
#include "widgets/DialogParts.h"
#include "widgets/Services.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

TF_SingleEdit::TF_SingleEdit(const QString& caption, const QString& prompt, const QString& text, QWidget* parent)
    : QDialog(parent)
{
    setObjectName("F_SingleEdit");
    setWindowTitle(caption);
    auto layout = new QVBoxLayout(this);
    TheGroupBox = new QGroupBox(prompt, this);
    TheGroupBox->setObjectName("TheGroupBox");
    auto boxLayout = new QVBoxLayout(TheGroupBox);
    TheEdit = new QLineEdit(text, TheGroupBox);
    TheEdit->setObjectName("TheEdit");
    TheEdit->setMinimumWidth(260);
    TheEdit->selectAll();
    boxLayout->addWidget(TheEdit);
    layout->addWidget(TheGroupBox);

    layout->addLayout(okCancelRow(this, btnOK, btnCancel));
    connect(btnOK, &QPushButton::clicked, this, &TF_SingleEdit::btnOKClick);
    setFixedSize(sizeHint());
}

bool TF_SingleEdit::ask(const QString& caption, const QString& prompt, QString& text, QWidget* parent, int maxLength)
{
    TF_SingleEdit dialog(caption, prompt, text, parent);
    if (maxLength > 0)
        dialog.TheEdit->setMaxLength(maxLength);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    text = dialog.text();
    return true;
}

bool TF_SingleEdit::askSearchText(QWidget* parent)
{
    QString text = rememberedSearchText;
    if (!ask("Find", "Text to find", text, parent))
        return false;
    rememberedSearchText = text;
    return true;
}

QString TF_SingleEdit::text() const
{
    return TheEdit->text();
}

void TF_SingleEdit::btnOKClick()
{
    if (TheEdit->text().trimmed().isEmpty()) {
        MessageService::error("Field cannot be blank.", this);
        TheEdit->setFocus();
        return;
    }
    accept();
}
