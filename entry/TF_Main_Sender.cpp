// The sender box of the main window and the choice of sender.
#include "entry/TF_Main.h"

#include <QLabel>

void TF_Main::showCurrentSender()
{
    QString lines[5];
    for (int i = 0; i < 4; ++i)
        lines[i] = currentSender.address[i];
    QString cityLine = (currentSender.city + " " + currentSender.state + " " + currentSender.zip).simplified();
    int free = 4;
    for (int i = 0; i < 4; ++i)
        if (lines[i].trimmed().isEmpty()) {
            free = i;
            break;
        }
    lines[free] = cityLine;
    for (int i = 0; i < 5; ++i)
        lblYourAddress[i]->setText(lines[i]);
}

void TF_Main::firstShowingSelectSender() {}
