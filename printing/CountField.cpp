#include "printing/CountField.h"

#include "widgets/Services.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>

const QString InvalidLabelCountMessage = QStringLiteral("Please enter a valid number for \"Number of Labels\".");

namespace {

constexpr int kMinimum = 1;

QToolButton* arrowButton(Qt::ArrowType arrow, const char* name, QWidget* parent, int y)
{
    auto button = new QToolButton(parent);
    button->setObjectName(name);
    button->setArrowType(arrow);
    button->setAutoRepeat(true);
    button->setFocusPolicy(Qt::NoFocus);
    button->setGeometry(0, y, 17, 11);
    return button;
}

} // namespace

CountField::CountField(QLineEdit* field, QPushButton* ok, int maximum, const QString& tooLarge)
    : QObject(field), field_(field), ok_(ok), maximum_(maximum), tooLarge_(tooLarge)
{
    upDown_ = new QWidget(field->parentWidget());
    upDown_->setObjectName("UpDown1");
    const QRect g = field->geometry();
    upDown_->setGeometry(g.right() + 2, g.top(), 17, 22);
    connect(arrowButton(Qt::UpArrow, "UpDown1Up", upDown_, 0), &QToolButton::clicked, this, [this] { step(1); });
    connect(arrowButton(Qt::DownArrow, "UpDown1Down", upDown_, 11), &QToolButton::clicked, this, [this] { step(-1); });
    field->installEventFilter(this);
}

int CountField::value() const
{
    return field_->text().trimmed().toInt();
}

// Only digits and editing keys reach the field; Enter goes on to the OK button.
bool CountField::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == field_ && event->type() == QEvent::KeyPress) {
        const auto key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter || key->key() == Qt::Key_Escape)
            return false;
        const QString text = key->text();
        const bool printable = !text.isEmpty() && text.at(0).isPrint();
        if (printable && !text.at(0).isDigit())
            return true;
        ok_->setEnabled(true);
    }
    return false;
}

bool CountField::accept()
{
    const QString text = field_->text().trimmed();
    QString refusal;
    // A count of nought would print nothing and still report the labels as printed.
    if (text.isEmpty() || text.toInt() < kMinimum) {
        refusal = InvalidLabelCountMessage;
        field_->setText("1");
    } else if (text.toInt() > maximum_) {
        refusal = tooLarge_;
        field_->clear();
    }
    if (refusal.isEmpty()) {
        ok_->setEnabled(true);
        return true;
    }
    ok_->setEnabled(false);
    MessageService::error(refusal, field_->window());
    field_->setFocus();
    return false;
}

void CountField::step(int by)
{
    bool ok = false;
    const int current = field_->text().trimmed().toInt(&ok);
    field_->setText(QString::number(qBound(kMinimum, (ok ? current : kMinimum - by) + by, maximum_)));
    ok_->setEnabled(true);
}
