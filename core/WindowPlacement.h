// Where a window stands on the desktop, remembered between starts: the rectangle of its
// contents when it is neither maximised nor minimised, and whether it was maximised.
// The rules that bring a remembered place back onto today's screens live here, without
// widgets, so that they can be tried on any set of screens.
#pragma once

#include <QList>
#include <QRect>
#include <QSize>
#include <optional>

struct WindowPlacement {
    QRect rect; // empty: nothing remembered
    bool maximized = false;

    bool operator==(const WindowPlacement&) const = default;
};

// The screen area of availableScreens on which a window at rect can still be taken by its
// top edge (where its title bar is): at least kGripWidth pixels of that edge, or the whole
// edge of a narrower window, kGripHeight pixels deep. Of several, the one with the most of
// the window. None when the window is off every screen.
constexpr int kGripWidth = 100;
constexpr int kGripHeight = 20;
std::optional<QRect> screenHolding(const QRect& rect, const QList<QRect>& availableScreens);

// What a remembered rectangle becomes on today's screens. Its size is grown to minimum and
// shrunk to the screen that holds it (never below minimum); it is then moved just far
// enough to lie wholly on that screen. None when nothing was remembered or the window would
// be off every screen: the window keeps the place it is given at start.
std::optional<QRect> restoredRect(const QRect& remembered, const QSize& minimum, const QList<QRect>& availableScreens);
