#include "app/TF_CalculatePostage.h"
#include "widgets/DialogParts.h"

#include "core/MoneyText.h"
#include "core/Settings.h"
#include "engine/Engine.h"
#include "widgets/ErrorBoundary.h"
#include "widgets/Services.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

TUpDown::TUpDown(QLineEdit* associate, int minimum, int maximum, QWidget* parent)
    : QWidget(parent), associate_(associate), minimum_(minimum), maximum_(maximum), position_(minimum)
{
    auto layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    for (auto [arrow, by] : {std::pair{Qt::UpArrow, 1}, std::pair{Qt::DownArrow, -1}}) {
        auto button = new QToolButton(this);
        button->setArrowType(arrow);
        button->setAutoRepeat(true);
        button->setFocusPolicy(Qt::NoFocus);
        button->setFixedSize(16, 11);
        connect(button, &QToolButton::clicked, this, [this, by = by] { step(by); });
        layout->addWidget(button);
    }
    associate_->setText(QString::number(position_));
    connect(associate_, &QLineEdit::textChanged, this, &TUpDown::associateChanged);
}

void TUpDown::step(int by)
{
    position_ = qBound(minimum_, position_ + by, maximum_);
    associate_->setText(QString::number(position_));
}

void TUpDown::associateChanged(const QString& text)
{
    const auto number = engine::tryInt32(text.toStdString());
    if (number && *number >= minimum_ && *number <= maximum_)
        position_ = *number;
}

TF_CalculatePostage::TF_CalculatePostage(const Settings& settings, QWidget* parent)
    : QDialog(parent), settings_(settings)
{
    setObjectName("TF_CalculatePostage");
    setWindowTitle("Calculate Postage");

    editOunces = new QLineEdit(this);
    editOunces->setObjectName("editOunces");
    editOunces->setMaxLength(2);
    editOunces->setFixedWidth(32);
    editOunces->installEventFilter(this);
    UpDownOunces = new TUpDown(editOunces, 1, 99, this);
    UpDownOunces->setObjectName("UpDownOunces");
    // A field left blank shows the arrows' position again at once.
    connect(editOunces, &QLineEdit::textChanged, this, [this](const QString& text) {
        if (text.trimmed().isEmpty())
            editOunces->setText(QString::number(UpDownOunces->position()));
    });

    makeOkCancel(this, btnOK, btnCancel);
    connect(btnOK, &QPushButton::clicked, this, &TF_CalculatePostage::btnOKClick);

    auto weight = new QHBoxLayout;
    weight->addWidget(new QLabel("Enter mail weight:", this));
    weight->addWidget(editOunces);
    weight->addWidget(UpDownOunces);
    weight->addWidget(new QLabel("ounces", this));
    weight->addStretch();
    auto buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnOK);
    buttons->addWidget(btnCancel);
    auto main = new QVBoxLayout(this);
    main->addLayout(weight);
    main->addLayout(buttons);
    setFixedSize(sizeHint().expandedTo(QSize(260, 0)));
}

// The weight field takes digits and control keys; every other character, and Enter, is
// dropped. Escape still closes the dialog.
bool TF_CalculatePostage::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == editOunces && event->type() == QEvent::KeyPress) {
        auto key = static_cast<QKeyEvent*>(event);
        switch (key->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            return true;
        case Qt::Key_Up:
            UpDownOunces->step(1);
            return true;
        case Qt::Key_Down:
            UpDownOunces->step(-1);
            return true;
        case Qt::Key_Escape:
            return false;
        }
        const QString text = key->text();
        if (!text.isEmpty() && text[0].isPrint() && !(text[0] >= '0' && text[0] <= '9'))
            return true;
    }
    return QDialog::eventFilter(watched, event);
}

void TF_CalculatePostage::btnOKClick()
{
    result_.clear();
    const int ounces = UpDownOunces->position();
    if (ounces > 13)
        MessageService::information(
            "For weights over 13 ounces, please consult your local Post Office for the Postage Fee.", this);
    else
        guarded([&] {
            result_ = postageForWeight(toFeeNumber(settings_.postage), toFeeNumber(settings_.addOunce), ounces);
        });
    accept();
}
