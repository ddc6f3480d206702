#include "widgets/DialogParts.h"

#include <QAction>
#include <QDialog>
#include <QFocusEvent>
#include <QHBoxLayout>
#include <QMenu>
#include <QPushButton>

void makeOkCancel(QDialog* dialog, QPushButton*& ok, QPushButton*& cancel)
{
    ok = new QPushButton("OK", dialog);
    ok->setObjectName("btnOK");
    ok->setDefault(true);
    cancel = new QPushButton("Cancel", dialog);
    cancel->setObjectName("btnCancel");
    cancel->setAutoDefault(false);
    QObject::connect(cancel, &QPushButton::clicked, dialog, &QDialog::reject);
}

QHBoxLayout* okCancelRow(QDialog* dialog, QPushButton*& ok, QPushButton*& cancel)
{
    makeOkCancel(dialog, ok, cancel);
    auto row = new QHBoxLayout;
    row->addStretch(1);
    row->addWidget(ok);
    row->addWidget(cancel);
    return row;
}

QPushButton* namedButton(QWidget* parent, const QString& caption, const char* name)
{
    auto b = new QPushButton(caption, parent);
    b->setObjectName(name);
    b->setAutoDefault(false);
    return b;
}

QAction* addMenuItem(QMenu* menu, const QString& caption, const char* name)
{
    QAction* a = menu->addAction(caption);
    a->setObjectName(name);
    return a;
}

void WholeTextEdit::focusInEvent(QFocusEvent* event)
{
    QLineEdit::focusInEvent(event);
    selectAll();
    focusedByPress_ = event->reason() == Qt::MouseFocusReason;
}

void WholeTextEdit::mousePressEvent(QMouseEvent* event)
{
    QLineEdit::mousePressEvent(event);
    // The press that brought the focus placed the cursor where it landed.
    if (focusedByPress_)
        selectAll();
}

void WholeTextEdit::mouseReleaseEvent(QMouseEvent* event)
{
    QLineEdit::mouseReleaseEvent(event);
    focusedByPress_ = false;
}
