// The Mailer Number dialog from the main window.
#include "app/ErrorBoundary.h"
#include "app/datamodule/TdmDovraPro.h"
#include "entry/TF_Main.h"
#include "printing/MailerNumber.h"
#include "printing/TF_ProMailer.h"

void TF_Main::miMailerNumberClick()
{
    // A counter locked by another workstation is reported and the dialog not opened.
    guarded([this] { TF_ProMailer::edit(settings, this); });
}

// Until a Customer ID is set, bar-coded mailers cannot be printed: ask for it at once.
void TF_Main::firstShowingCheckCustomerId()
{
    QString custId;
    {
        TNumberCounterRelease release;
        engine::Table& table = dmDovraPro->adstMailerNum;
        table.close();
        table.setFolder(toStd(settings.mailerNumLocation()));
        table.setTableName("MailerNum");
        table.open();
        table.first();
        custId = fromStd(table.asString("CustID"));
    }
    // "000000000", or the same zeros in the older dashed form, means not set up yet.
    if (MailerCustomerId(custId) == "000000000")
        miMailerNumberClick();
}
