#include "addressbook/TF_MassPrint.h"

#include "widgets/DialogParts.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <QVBoxLayout>

TF_MassPrint::TF_MassPrint(QWidget* parent) : QDialog(parent)
{
    setObjectName("F_MassPrint");
    setWindowTitle("Mass Print");
    auto layout = new QVBoxLayout(this);

    gbMassPrint = new QGroupBox(this);
    gbMassPrint->setObjectName("gbMassPrint");
    auto box = new QVBoxLayout(gbMassPrint);
    lblMassPrint = new QLabel("Select the Addresses you want to Mass Print", gbMassPrint);
    lblMassPrint->setObjectName("lblMassPrint");
    box->addWidget(lblMassPrint);

    model_ = new MassPrintModel(this);
    lvMassPrint = new QListView(gbMassPrint);
    lvMassPrint->setObjectName("lvMassPrint");
    lvMassPrint->setModel(model_);
    lvMassPrint->setUniformItemSizes(true);
    lvMassPrint->setSelectionMode(QAbstractItemView::ExtendedSelection);
    lvMassPrint->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // The selection stays visible when the list loses the focus.
    QPalette p = lvMassPrint->palette();
    p.setColor(QPalette::Inactive, QPalette::Highlight, p.color(QPalette::Active, QPalette::Highlight));
    p.setColor(QPalette::Inactive, QPalette::HighlightedText, p.color(QPalette::Active, QPalette::HighlightedText));
    lvMassPrint->setPalette(p);
    box->addWidget(lvMassPrint, 1);

    cbAll = new QCheckBox("Check All", gbMassPrint);
    cbAll->setObjectName("cbAll");
    box->addWidget(cbAll);
    layout->addWidget(gbMassPrint, 1);
    layout->addLayout(okCancelRow(this, btnOK, btnCancel));
    connect(btnOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(cbAll, &QCheckBox::clicked, this, &TF_MassPrint::cbAllClick);
    resize(300, 380);
}

void TF_MassPrint::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    FormShow();
}

// Setting the box here does not check or uncheck any entry.
void TF_MassPrint::FormShow()
{
    cbAll->setChecked(model_->allChecked());
}

void TF_MassPrint::cbAllClick()
{
    model_->setAllChecked(cbAll->isChecked());
}
