// The Mailer Number dialog from the main window.
#include "app/TF_Main.h"
#include "core/MailerNumber.h"
#include "core/datamodule/TdmDovraPro.h"
#include "printing/TF_ProMailer.h"
#include "widgets/ErrorBoundary.h"

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
