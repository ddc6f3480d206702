// Where the button dialog puts its message and buttons, from text widths alone.
#pragma once

#include <QList>
#include <QRect>
#include <QSize>

struct ButtonDialogLayout {
    QSize window;         // the client area; the frame is the window manager's
    QRect message;        // the word-wrapped message
    QList<QRect> buttons; // buttons[i] is the button of caption i + 1, the first the rightmost
};

// widestCaption: the text width of the widest caption; messageWidth: the message's width
// written on one line; lineHeight: the height of one text line.
ButtonDialogLayout layoutButtonDialog(int widestCaption, int buttonCount, int messageWidth, int lineHeight);
