// The print run of the main window: Print, batch mode, multiple forms.
#include "entry/TF_Main.h"

#include <QAction>
#include <QPushButton>

void TF_Main::miBatchOnClick()
{
    settings.batch = true;
    miBatchOn->setChecked(true);
    btnPrint->setText("&Batch");
    miPrint->setText("&Print to Batch");
    miPrintBatch->setEnabled(true);
    miClearBatch->setEnabled(true);
}

void TF_Main::miBatchOffClick()
{
    settings.batch = false;
    miBatchOff->setChecked(true);
    btnPrint->setText("&Print");
    miPrint->setText("&Print");
    miPrintBatch->setEnabled(false);
    miClearBatch->setEnabled(false);
}
