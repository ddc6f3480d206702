// The access keys (the "&" letters of captions) of one window that collide. Alt with a
// letter that two captions share does not run either: the keyboard only moves between them.
#pragma once

#include <QStringList>

class QWidget;

// One line per letter that two or more captions share within one scope, as
// "<scope>: Alt+C: &Clear, &Copy". The scopes: the window itself (its menu bar's menus and
// its shown buttons, check boxes, group boxes and labels that lead to a field), and each
// menu and popup menu of the window (all its items, hidden ones too, since a menu shows
// different items in turn). Sorted.
QStringList accessKeyCollisions(QWidget* window);
