// The log window and the tracking of returned receipts, opened from the Options menu.
#include "entry/TF_Main.h"
#include "log/TF_IncomingMailers.h"
#include "log/TF_Log.h"

#include <QAction>

void TF_Main::connectLogCommands()
{
    connect(miLogFile, &QAction::triggered, this, &TF_Main::miLogFileClick);
    connect(miTrackIncoming, &QAction::triggered, this, &TF_Main::miTrackIncomingClick);
}

void TF_Main::miLogFileClick()
{
    TF_Log::browse(settings, this);
}

void TF_Main::miTrackIncomingClick()
{
    TF_IncomingMailers::track(settings.logDB, this);
}
