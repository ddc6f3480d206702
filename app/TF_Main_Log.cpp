// The log window and the tracking of returned receipts, opened from the Options menu.
#include "app/TF_Main.h"
#include "log/TF_IncomingMailers.h"
#include "log/TF_Log.h"
#include "log/TF_Report.h"

#include <QAction>

void TF_Main::connectLogCommands()
{
    connect(miLogFile, &QAction::triggered, this, &TF_Main::miLogFileClick);
    connect(miTrackIncoming, &QAction::triggered, this, &TF_Main::miTrackIncomingClick);
    // The log window's Report button reports on the rows it shows, in its order.
    TF_Log::openReports = [this](TF_Log& log) {
        TF_Report::showFor(&log, settings, log.currentWhere(), log.currentOrderBy());
    };
}

void TF_Main::miLogFileClick()
{
    TF_Log::browse(settings, this);
}

void TF_Main::miTrackIncomingClick()
{
    TF_IncomingMailers::track(settings.logLocation(), this);
}
