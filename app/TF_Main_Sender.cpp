// The sender box of the main window and the choice of sender.
#include "app/TF_Main.h"
#include "app/TF_YourAddress.h"
#include "core/datamodule/TdmDovraPro.h"
#include "widgets/ErrorBoundary.h"
#include "widgets/TF_NetworkSettings.h"

#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>

void TF_Main::showCurrentSender()
{
    const auto lines = displayLines(currentSender);
    for (int i = 0; i < 5; ++i)
        lblYourAddress[i]->setText(lines[i]);
}

// Without a sender key the user is asked for one (with an empty list, for a new address).
void TF_Main::firstShowingSelectSender()
{
    if (settings.yourAddressID.isEmpty() && TF_YourAddress::select(settings, currentSender, this))
        showCurrentSender();
}

void TF_Main::connectSenderCommands()
{
    connect(btnSelectYourAddress, &QPushButton::clicked, this, &TF_Main::btnSelectYourAddressClick);
    connect(miSelectYourAddress, &QAction::triggered, this, &TF_Main::btnSelectYourAddressClick);
    connect(miNetworkSettings, &QAction::triggered, this, &TF_Main::miNetworkSettingsClick);
}

void TF_Main::btnSelectYourAddressClick()
{
    if (TF_YourAddress::select(settings, currentSender, this)) {
        showCurrentSender();
        MarkEntryChanged();
    }
    gbYour->setFocus();
}

void TF_Main::miNetworkSettingsClick()
{
    TF_NetworkSettings::edit(settings, this);
    // Move to Server takes the open address database along: from now on the window shows the
    // server's copy, not the folder's backup.
    if (settings.databaseOn && toStd(settings.addressDB) != dmDovraPro->adsqToAddress.folder())
        guarded([this] { openAddressDatabase(false); });
}
