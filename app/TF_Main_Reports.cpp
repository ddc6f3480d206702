// Options -> Reports: the reports window over the whole log.
#include "app/TF_Main.h"
#include "log/TF_Report.h"

#include <QAction>

void TF_Main::connectReportCommands()
{
    miReports->setEnabled(true);
    connect(miReports, &QAction::triggered, this, &TF_Main::miReportsClick);
}

void TF_Main::miReportsClick()
{
    TF_Report::showFor(this, settings, QString());
}
