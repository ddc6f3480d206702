// Pieces every dialog of the program builds the same way.
#pragma once

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
