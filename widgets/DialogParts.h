// Pieces every dialog of the program builds the same way.
#pragma once

#include <QLineEdit>
#include <QString>

class QAction;
class QDialog;
class QHBoxLayout;
class QMenu;
class QPushButton;
class QWidget;

// The "OK" (default) and "Cancel" buttons, named btnOK and btnCancel; Cancel rejects.
void makeOkCancel(QDialog* dialog, QPushButton*& ok, QPushButton*& cancel);
// OK and Cancel made as above, at the right of a row.
QHBoxLayout* okCancelRow(QDialog* dialog, QPushButton*& ok, QPushButton*& cancel);

// A push button named for tests that does not take Enter from the dialog's default button.
QPushButton* namedButton(QWidget* parent, const QString& caption, const char* name);

// A menu item named for tests and for the program's own look-ups.
QAction* addMenuItem(QMenu* menu, const QString& caption, const char* name);

// A field whose whole text is selected when it takes the focus, by the keyboard or by a click
// anywhere in it, so that what is typed replaces the text. (A masked field of fixed length
// would otherwise be overwritten from where the cursor landed, dropping what does not fit.)
class WholeTextEdit : public QLineEdit {
public:
    using QLineEdit::QLineEdit;

protected:
    void focusInEvent(QFocusEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    bool focusedByPress_ = false;
};
