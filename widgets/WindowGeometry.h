// Remembering where a window stood: read from the window as it closes, put back before it
// is shown again (the rules are in core/WindowPlacement.h).
#pragma once

#include "core/WindowPlacement.h"

class QWidget;

// Where the window stands now: its normal rectangle also while it is maximised.
WindowPlacement placementOf(const QWidget* window);

// Puts a window that is not shown yet at its remembered place, maximised when it was. A
// place off every screen of this desktop is ignored: only the remembered size applies,
// within the primary screen, and false tells the caller to place the window itself (a
// dialog is centred over its parent as it shows). Nothing remembered changes nothing.
bool restorePlacement(QWidget* window, const WindowPlacement& placement);

// The available areas of this desktop's screens.
QList<QRect> availableScreenAreas();
