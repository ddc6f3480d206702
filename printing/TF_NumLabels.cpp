#include "printing/TF_NumLabels.h"

#include "app/DialogParts.h"
#include "app/Services.h"
#include "entry/FieldExit.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>

namespace {

constexpr int kMinimum = 1;
constexpr int kMaximum = 100;

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

TF_NumLabels::TF_NumLabels(QWidget* parent) : QDialog(parent)
{
    setObjectName("F_NumLabels");
    setWindowTitle("Labels");
    setFixedSize(280, 130);

    auto text = new QLabel("Please enter the number of labels you want to print with these Addresses.", this);
    text->setObjectName("lblText");
    text->setWordWrap(true);
    text->setGeometry(10, 8, 260, 34);
    auto caption = new QLabel("Number of Labels", this);
    caption->setObjectName("lblNumLabels");
    caption->setGeometry(10, 54, 110, 20);
    editNumLabels = new QLineEdit("1", this);
    editNumLabels->setObjectName("editNumLabels");
    editNumLabels->setMaxLength(3);
    editNumLabels->setGeometry(124, 52, 44, 22);
    editNumLabels->installEventFilter(this);
    onFieldExit(editNumLabels, [this] { editNumLabelsExit(); });

    UpDown1 = new QWidget(this);
    UpDown1->setObjectName("UpDown1");
    UpDown1->setGeometry(169, 52, 17, 22);
    connect(arrowButton(Qt::UpArrow, "UpDown1Up", UpDown1, 0), &QToolButton::clicked, this,
            [this] { UpDown1Click(1); });
    connect(arrowButton(Qt::DownArrow, "UpDown1Down", UpDown1, 11), &QToolButton::clicked, this,
            [this] { UpDown1Click(-1); });

    makeOkCancel(this, btnOK, btnCancel);
    btnOK->setGeometry(104, 94, 75, 25);
    btnCancel->setGeometry(194, 94, 75, 25);
    connect(btnOK, &QPushButton::clicked, this, &TF_NumLabels::btnOKClick);
    editNumLabels->setFocus();
}

std::optional<int> TF_NumLabels::ask(QWidget* parent)
{
    TF_NumLabels dialog(parent);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.editNumLabels->text().trimmed().toInt();
}

// Only digits and editing keys reach the field; Enter goes on to the OK button.
bool TF_NumLabels::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == editNumLabels && event->type() == QEvent::KeyPress) {
        const auto key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter || key->key() == Qt::Key_Escape)
            return QDialog::eventFilter(watched, event);
        const QString text = key->text();
        const bool printable = !text.isEmpty() && text.at(0).isPrint();
        if (printable && !text.at(0).isDigit())
            return true;
        btnOK->setEnabled(true);
    }
    return QDialog::eventFilter(watched, event);
}

bool TF_NumLabels::acceptNumber()
{
    const QString text = editNumLabels->text().trimmed();
    QString refusal;
    // A count of nought would print nothing and still report the labels as sent.
    if (text.isEmpty() || text.toInt() < kMinimum) {
        refusal = "Please enter a valid number for \"Number of Labels\".";
        editNumLabels->setText("1");
    } else if (text.toInt() > kMaximum) {
        refusal = "You can not enter a number greater than 100.";
        editNumLabels->clear();
    }
    if (refusal.isEmpty()) {
        btnOK->setEnabled(true);
        return true;
    }
    btnOK->setEnabled(false);
    MessageService::error(refusal, this);
    editNumLabels->setFocus();
    return false;
}

void TF_NumLabels::editNumLabelsExit()
{
    acceptNumber();
}

void TF_NumLabels::UpDown1Click(int step)
{
    bool ok = false;
    const int current = editNumLabels->text().trimmed().toInt(&ok);
    editNumLabels->setText(QString::number(qBound(kMinimum, (ok ? current : kMinimum - step) + step, kMaximum)));
    btnOK->setEnabled(true);
}

// Enter reaches OK without leaving the field, so the field is checked here as well.
void TF_NumLabels::btnOKClick()
{
    if (acceptNumber())
        accept();
}
