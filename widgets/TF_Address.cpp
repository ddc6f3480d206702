#include "widgets/TF_Address.h"
#include "widgets/DialogParts.h"
#include "widgets/ErrorBoundary.h"
#include "widgets/Services.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

// The widths of the City and State columns of YourAddress and Address.
constexpr int kCityWidth = 35;
constexpr int kStateWidth = 4;

QPushButton* toolButton(const QString& caption, const char* name, QWidget* parent)
{
    auto b = new QPushButton(caption, parent);
    b->setObjectName(name);
    b->setAutoDefault(false);
    return b;
}

} // namespace

TF_Address::TF_Address(const TAddressLines& address, QWidget* parent) : QDialog(parent)
{
    setObjectName("F_Address");
    setWindowTitle("Name and Address");
    auto layout = new QVBoxLayout(this);

    gbAddress = new QGroupBox(this);
    gbAddress->setObjectName("gbAddress");
    auto grid = new QGridLayout(gbAddress);
    auto tools = new QHBoxLayout;
    btnClear = toolButton("&Clear", "btnClear", gbAddress);
    btnCopy = toolButton("&Copy", "btnCopy", gbAddress);
    btnPaste = toolButton("&Paste", "btnPaste", gbAddress);
    tools->addWidget(btnClear);
    tools->addWidget(btnCopy);
    tools->addWidget(btnPaste);
    tools->addStretch(1);
    grid->addLayout(tools, 0, 0, 1, 4);

    memoAddress = new QPlainTextEdit(gbAddress);
    memoAddress->setObjectName("memoAddress");
    memoAddress->setLineWrapMode(QPlainTextEdit::NoWrap);
    memoAddress->setTabChangesFocus(true);
    memoAddress->setFixedHeight(memoAddress->fontMetrics().lineSpacing() * 4 + 14);
    memoAddress->setMinimumWidth(300);
    grid->addWidget(memoAddress, 1, 0, 1, 4);

    editCity = new QLineEdit(gbAddress);
    editCity->setObjectName("editCity");
    editCity->setMaxLength(kCityWidth);
    editState = new QLineEdit(gbAddress);
    editState->setObjectName("editState");
    editState->setMaxLength(kStateWidth);
    editState->setFixedWidth(50);
    editZip = new QLineEdit(gbAddress);
    editZip->setObjectName("editZip");
    AddressFields::setUpZipField(editZip);
    editZip->setFixedWidth(100);
    grid->addWidget(new QLabel("City", gbAddress), 2, 0);
    grid->addWidget(editCity, 2, 1, 1, 3);
    grid->addWidget(new QLabel("State", gbAddress), 3, 0);
    grid->addWidget(editState, 3, 1);
    auto zipLabel = new QLabel("ZIP", gbAddress);
    zipLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    grid->addWidget(zipLabel, 3, 2);
    grid->addWidget(editZip, 3, 3);
    layout->addWidget(gbAddress);

    layout->addLayout(okCancelRow(this, btnOK, btnCancel));

    setTabOrder(memoAddress, editCity);
    setTabOrder(editCity, editState);
    setTabOrder(editState, editZip);
    setTabOrder(editZip, btnOK);
    setTabOrder(btnOK, btnCancel);

    fields_ = {memoAddress, editCity, editState, editZip};
    fields_.showAddress(address);
    connect(memoAddress, &QPlainTextEdit::textChanged, this, [this] { AddressFields::keepAddressLines(memoAddress); });
    for (QWidget* field : std::initializer_list<QWidget*>{editCity, editState, editZip})
        fieldExits_.add(field, [this] { addressFieldExit(); });
    connect(btnClear, &QPushButton::clicked, this, &TF_Address::btnClearClick);
    connect(btnCopy, &QPushButton::clicked, this, &TF_Address::btnCopyClick);
    connect(btnPaste, &QPushButton::clicked, this, &TF_Address::btnPasteClick);
    connect(btnOK, &QPushButton::clicked, this, &TF_Address::btnOKClick);
    memoAddress->setFocus();
}

bool TF_Address::edit(const QString& groupCaption, TAddressLines& address, QWidget* parent)
{
    TF_Address dialog(address, parent);
    dialog.gbAddress->setTitle(groupCaption);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    address = dialog.address();
    return true;
}

bool TF_Address::editUntilStored(const QString& groupCaption, TAddressLines& address, QWidget* parent,
                                 const std::function<void()>& store)
{
    bool stored = false;
    while (!stored && edit(groupCaption, address, parent))
        stored = guarded(store);
    return stored;
}

TAddressLines TF_Address::address() const
{
    TAddressLines a = fields_.address();
    for (QString& line : a.address)
        line.truncate(AddressFields::kLineWidth);
    a.zip = TidyZip(a.zip);
    return a;
}

bool TF_Address::addressEmpty() const
{
    const TAddressLines a = fields_.address();
    return a.address[0].trimmed().isEmpty() && a.city.trimmed().isEmpty() && a.state.trimmed().isEmpty() &&
           TidyZip(a.zip).isEmpty();
}

void TF_Address::btnClearClick()
{
    fields_.clear();
}

void TF_Address::btnCopyClick()
{
    fields_.copy();
}

void TF_Address::btnPasteClick()
{
    fields_.paste();
}

void TF_Address::addressFieldExit()
{
    guarded([this] { fields_.lookupZip(); });
}

void TF_Address::btnOKClick()
{
    if (addressEmpty()) {
        MessageService::error("Address can not be empty.", this);
        memoAddress->setFocus();
        return;
    }
    accept();
}
