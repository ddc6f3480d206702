// The address book in the main window: the database chooser, opening and closing the
// database in AddressDB, and the window's two layouts.
#include "addressbook/AddressBook.h"
#include "addressbook/AddressBookPanel.h"
#include "addressbook/AddressListModel.h"
#include "addressbook/TF_Database.h"
#include "app/TF_Main.h"
#include "core/datamodule/Schemas.h"
#include "core/datamodule/TdmDovraPro.h"
#include "engine/Query.h"
#include "widgets/BusyCursor.h"
#include "widgets/ErrorBoundary.h"
#include "widgets/Services.h"

#include <QAction>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>

namespace {

// The tops of the four free-text fields in the two layouts (their captions sit 6 lower).
// With the database open they spread out beside the smaller recipient box, as far as the
// fees below them allow.
constexpr int kClosedTops[4] = {103, 128, 153, 178};
constexpr int kOpenTops[4] = {110, 136, 162, 188};

bool sameFolder(const QString& a, const QString& b)
{
    if (isServerAddressDatabase(a) || isServerAddressDatabase(b))
        return a == b;
    return QDir::cleanPath(QDir(a).absolutePath()) == QDir::cleanPath(QDir(b).absolutePath());
}

} // namespace

void TF_Main::buildAddressBook()
{
    panelDB = new TAddressBookPanel(central);
    panelDB->hide();
    connect(panelDB, &TAddressBookPanel::recipientLinesShown, this, [this](const std::array<QString, 5>& lines) {
        for (int i = 0; i < 5; ++i)
            lblToAddress[i]->setText(lines[i]);
    });
    connect(panelDB, &TAddressBookPanel::recipientChosen, this,
            [this](const TAddressLines& address) { currentRecipient = address; });
    connect(panelDB, &TAddressBookPanel::printEnabledChanged, this, [this](bool enabled) {
        btnPrint->setEnabled(enabled);
        miPrint->setEnabled(enabled);
    });
    connect(panelDB, &TAddressBookPanel::entryChanged, this, &TF_Main::MarkEntryChanged);
    placeAddressBook();
    panelDB->lvAddressSelectItem(); // the commands of an empty list
    connect(miOpenToDB, &QAction::triggered, this, [this] { guarded([this] { miOpenToDBClick(); }); });
    connect(miCloseToDB, &QAction::triggered, this, &TF_Main::miCloseToDBClick);
    connect(panelDB->btnCloseDB, &QPushButton::clicked, this, &TF_Main::btnCloseDBClick);
    connectMassPrintCommands();
}

void TF_Main::miOpenToDBClick()
{
    TF_Database chooser(settings.addressDB, this, settings.onServer() ? settings.sharedLocation({}) : QString());
    // Deleting the open database closes it first, so the window never shows a database
    // that is gone.
    connect(&chooser, &TF_Database::deletingDatabase, this, [this](const QString& folder) {
        if (settings.databaseOn && sameFolder(folder, settings.addressDB))
            CloseAddressDatabase();
    });
    if (chooser.exec() != QDialog::Accepted)
        return;
    settings.addressDB = chooser.folder();
    OpenAddressDatabase();
    MarkEntryChanged();
    panelDB->lvAddressSelectItem(); // Print follows the selected address
}

void TF_Main::OpenAddressDatabase()
{
    openAddressDatabase(true);
}

void TF_Main::openAddressDatabase(bool askForFirstAddress)
{
    settings.databaseOn = true;
    try {
        dmDovraPro->adstToAddress.close();
        dmDovraPro->adstToAddress.setFolder(toStd(settings.addressDB));
        dmDovraPro->adsqToAddress.close();
        dmDovraPro->adsqToAddress.setFolder(toStd(settings.addressDB));
        BusyCursor busy;
        setLayoutWidth(true);
        panelDB->show();
        panelDB->showDatabaseName(settings.addressDB);
        panelDB->LoadGroupTree();
    } catch (...) {
        // A database that cannot be read is not left half open.
        CloseAddressDatabase();
        throw;
    }
    applyDatabaseLayout(true);
    // Group membership is read only when a group is chosen: its damage is told now.
    if (auto damage = engine::tableDamage(toStd(settings.addressDB), "Members", schema::Members))
        MessageService::error(QString::fromStdString(*damage) + "\nThe groups' addresses cannot be shown.", this);
    if (askForFirstAddress && panelDB->addressModel()->rowCount() == 0)
        panelDB->tbtnNewAddressClick();
}

void TF_Main::applyDatabaseLayout(bool open)
{
    miToTextFiles->setEnabled(open);
    gbTo->setVisible(!open);
    gbToDB->setVisible(open);
    const int* tops = open ? kOpenTops : kClosedTops;
    QLineEdit* const edits[4] = {editDepartment, editProcessedBy, editComment, editRe};
    QLabel* const captions[4] = {labelDepartment, labelProcessedBy, labelComment, labelRE};
    for (int i = 0; i < 4; ++i) {
        edits[i]->move(edits[i]->x(), tops[i]);
        captions[i]->move(captions[i]->x(), tops[i] + 6);
    }
    miCloseToDB->setVisible(open);
}

void TF_Main::CloseAddressDatabase()
{
    settings.databaseOn = false;
    panelDB->hide();
    panelDB->lvAddressSelectItem(); // the commands of an empty list
    setLayoutWidth(false);
    applyDatabaseLayout(false);
    dmDovraPro->adsqToAddress.disconnect();
    dmDovraPro->adstToAddress.close();
    miPrint->setEnabled(true);
    MarkEntryChanged();
}

void TF_Main::btnCloseDBClick()
{
    CloseAddressDatabase();
}

void TF_Main::miCloseToDBClick()
{
    panelDB->btnCloseDB->click();
}

// A database remembered open whose tables are gone starts closed, with a word why.
void TF_Main::firstShowingReopenDatabase()
{
    gbToDB->hide();
    if (!settings.databaseOn)
        return;
    QString unreadable;
    const bool present = [&] {
        try {
            return IsAddressDatabase(settings.addressDB);
        } catch (const std::exception& e) {
            unreadable = QString::fromUtf8(e.what());
            return false;
        }
    }();
    if (!present && isServerAddressDatabase(settings.addressDB)) {
        settings.databaseOn = false;
        setLayoutWidth(false);
        MessageService::error(
            "The address database " + addressDatabaseCaption(settings.addressDB) + " could not be opened: " +
                (unreadable.isEmpty() ? QStringLiteral("it is no longer on the server.") : unreadable) +
                " The program starts without an address database.",
            this);
        return;
    }
    if (!present) {
        settings.databaseOn = false;
        setLayoutWidth(false); // the window came back as wide as it was with the database
        MessageService::error("The address database in " + settings.addressDB +
                                  " could not be opened: the folder does not hold its tables Address, Groups and "
                                  "Members. The program starts without an address database.",
                              this);
        return;
    }
    openAddressDatabase(false);
}
