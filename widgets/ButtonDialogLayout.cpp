#include "widgets/ButtonDialogLayout.h"

ButtonDialogLayout layoutButtonDialog(int widestCaption, int buttonCount, int messageWidth, int lineHeight)
{
    const int buttonWidth = widestCaption + 10;
    int width = 325;
    width = qMax(width, buttonCount * buttonWidth + (buttonCount + 1) * 10);
    // A message wider than the window gets one line per window width it needs, and three
    // lines to spare for word breaks.
    const int lines = messageWidth > width ? messageWidth / width + 3 : 3;
    const int messageHeight = lines * lineHeight;
    const int height = messageHeight + 4 * lineHeight + 22;

    ButtonDialogLayout layout;
    layout.window = QSize(width, height);
    layout.message = QRect(10, 10, width - 20, messageHeight);
    for (int i = 1; i <= buttonCount; ++i)
        layout.buttons << QRect(width - i * (widestCaption + 20), height - 35, buttonWidth, 25);
    return layout;
}
