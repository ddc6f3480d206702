// Leaving a field: the user moved the focus to another control of the same window. Opening
// a popup menu or switching windows is no exit; the focus comes back to the field.
#pragma once

#include <functional>

class QWidget;

// Runs handler each time field is left; the handler lives as long as the field.
void onFieldExit(QWidget* field, std::function<void()> handler);
