#include "app/TF_NetworkSettings.h"
#include "app/BusyCursor.h"
#include "app/DialogParts.h"
#include "app/ErrorBoundary.h"
#include "app/ProgramFolder.h"
#include "app/Services.h"
#include "app/datamodule/Schemas.h"
#include "app/datamodule/TdmDovraPro.h"

#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

using Location = TF_NetworkSettings::Location;

struct LocationInfo {
    const char* table;
    const char* definition;
    const char* boxCaption;
    const char* labelName;
    const char* buttonSuffix;
    const char* filter;
    const char* missingMessage;
    const char* existsMessage;
    const char* moveQuestion; // %1 the table in use, %2 the folder picked
};

const LocationInfo kLocations[3] = {
    {"MailerNum", schema::MailerNum, "Mailer Number Database Location", "lblMailerNumber", "MailerNumber",
     "Mailer Number DB|MailerNum.adt", "A Mailer Num DB does not exist in this directory.",
     "Mailer Number DB already exists in this folder.  Please select a folder to create a new Mailer Number DB.",
     "The Mailer Number counter in use, %1, can be moved to %2.\n\n"
     "Yes: move it there with its Mailer ID and next serial. The counter left behind is renamed "
     "MailerNum.adt.moved and keeps no Mailer ID, so no workstation takes a number from it again.\n\n"
     "No: create a blank counter there instead, with no Mailer ID and the serial 0000000. Nothing can be printed "
     "with it until the Mailer ID and the next serial are entered under Options, Mailer Number.\n\n"
     "Cancel: change nothing."},
    {"YourAddress", schema::YourAddress, "Your Address (Return Address) Database Location", "lblYourAddressDB",
     "YourAddress", "Your Address DB|YourAddress.adt", "A Your Address DB does not exist in this directory.",
     "Your Address DB already exists in this folder.  Please select a folder to create a new Your Address DB.",
     "The list of your names and addresses in use, %1, can be moved to %2.\n\n"
     "Yes: copy it there with every address, and use the copy. The list in the old folder stays as it is.\n\n"
     "No: create an empty list there instead.\n\nCancel: change nothing."},
    {"Log37", schema::Log37, "Log Database Location", "lblLogDB", "Log", "Log DB|Log37.adt",
     "A Log DB does not exist in this directory.",
     "Log DB already exists in this folder.  Please select a folder to create a new Log DB.",
     "The log in use, %1, can be moved to %2.\n\n"
     "Yes: copy it there with every mailer logged, its filters and its reports, and use the copy. The log in the "
     "old folder stays as it is.\n\n"
     "No: create an empty log there instead.\n\nCancel: change nothing."},
};

const LocationInfo& infoOf(Location location)
{
    return kLocations[static_cast<int>(location)];
}

QString& folderSetting(Settings& settings, Location location)
{
    switch (location) {
    case Location::MailerNum:
        return settings.mailerNumDB;
    case Location::YourAddress:
        return settings.yourAddressDB;
    case Location::Log:
        break;
    }
    return settings.logDB;
}

QString fileNameOf(const LocationInfo& info)
{
    return QString(info.table) + ".adt";
}

QString tableFileIn(const QString& folder, const LocationInfo& info)
{
    return folder + "/" + fileNameOf(info);
}

// The folder part of a table file's path, without one trailing separator.
QString folderOf(const QString& path)
{
    QString folder = path.left(qMax(0, path.lastIndexOf('/')));
    if (folder.endsWith('/'))
        folder.chop(1);
    return folder;
}

} // namespace

TF_NetworkSettings::TF_NetworkSettings(Settings& settings, QWidget* parent) : QDialog(parent), settings_(settings)
{
    setObjectName("F_NetworkSettings");
    setWindowTitle("Network Settings");
    auto layout = new QVBoxLayout(this);

    auto heading = new QLabel("Please select/create where you would like each database to reside.", this);
    heading->setObjectName("lblHeading");
    QPalette blue = heading->palette();
    blue.setColor(QPalette::WindowText, Qt::blue);
    heading->setPalette(blue);
    QFont bold = heading->font();
    bold.setBold(true);
    heading->setFont(bold);
    layout->addWidget(heading);

    for (Location location : {Location::MailerNum, Location::YourAddress, Location::Log}) {
        const LocationInfo& info = infoOf(location);
        auto box = new QGroupBox(info.boxCaption, this);
        auto row = new QHBoxLayout(box);
        auto label = new QLabel(box);
        label->setObjectName(info.labelName);
        label->setMinimumWidth(340);
        label->setTextInteractionFlags(Qt::TextSelectableByMouse);
        row->addWidget(label, 1);
        auto change = new QPushButton("Change", box);
        change->setObjectName(QString("btnChange") + info.buttonSuffix);
        auto create = new QPushButton("Create", box);
        create->setObjectName(QString("btnCreate") + info.buttonSuffix);
        row->addWidget(change);
        row->addWidget(create);
        connect(change, &QPushButton::clicked, this, [this, location] { changeClick(location); });
        connect(create, &QPushButton::clicked, this, [this, location] { createClick(location); });
        layout->addWidget(box);
        switch (location) {
        case Location::MailerNum:
            lblMailerNumber = label;
            break;
        case Location::YourAddress:
            lblYourAddressDB = label;
            break;
        case Location::Log:
            lblLogDB = label;
            break;
        }
        setTablePath(location, tableFileIn(folderSetting(settings_, location), info));
    }

    auto proofBox = new QGroupBox("Proof Copies of Printed Mailers Location", this);
    auto proofRow = new QHBoxLayout(proofBox);
    lblProofDB = new QLabel(proofBox);
    lblProofDB->setObjectName("lblProofDB");
    lblProofDB->setMinimumWidth(340);
    lblProofDB->setTextInteractionFlags(Qt::TextSelectableByMouse);
    proofRow->addWidget(lblProofDB, 1);
    auto changeProofs = new QPushButton("Change", proofBox);
    changeProofs->setObjectName("btnChangeProofDB");
    proofRow->addWidget(changeProofs);
    connect(changeProofs, &QPushButton::clicked, this, &TF_NetworkSettings::btnChangeProofDBClick);
    layout->addWidget(proofBox);
    proofFolder_ = settings_.proofDB;
    lblProofDB->setText(proofFolder_);
    lblProofDB->setToolTip(proofFolder_);

    layout->addLayout(okCancelRow(this, btnOK, btnCancel));
    connect(btnOK, &QPushButton::clicked, this, &TF_NetworkSettings::btnOKClick);
}

bool TF_NetworkSettings::edit(Settings& settings, QWidget* parent)
{
    TF_NetworkSettings dialog(settings, parent);
    return dialog.exec() == QDialog::Accepted;
}

QLabel* TF_NetworkSettings::labelOf(Location location) const
{
    switch (location) {
    case Location::MailerNum:
        return lblMailerNumber;
    case Location::YourAddress:
        return lblYourAddressDB;
    case Location::Log:
        break;
    }
    return lblLogDB;
}

QString TF_NetworkSettings::tablePath(Location location) const
{
    return paths_[static_cast<int>(location)];
}

void TF_NetworkSettings::setTablePath(Location location, const QString& path)
{
    paths_[static_cast<int>(location)] = path;
    labelOf(location)->setText(path);
    labelOf(location)->setToolTip(path);
}

void TF_NetworkSettings::changeClick(Location location)
{
    const LocationInfo& info = infoOf(location);
    const QString picked =
        FileDialogService::openFileName(this, info.boxCaption, folderOf(tablePath(location)), info.filter);
    if (picked.isEmpty())
        return;
    // The table is found by its exact file name (letter case counts): a file that only
    // contains the name, or spells it differently, is not the table the folder would hold.
    const QFileInfo file(picked);
    if (file.exists() && file.fileName() == fileNameOf(info))
        setTablePath(location, picked);
    else
        MessageService::error(info.missingMessage, this);
}

void TF_NetworkSettings::createClick(Location location)
{
    const LocationInfo& info = infoOf(location);
    // Only the folder counts, and the table's own file may be picked there: asking whether to
    // replace it would only lead to the message that it exists.
    const QString picked =
        FileDialogService::newFileName(this, info.boxCaption, programfolder::path(), info.filter, fileNameOf(info));
    if (picked.isEmpty())
        return;
    const QString folder = folderOf(picked);
    if (engine::tableExists(toStd(folder), info.table)) {
        MessageService::error(info.existsMessage, this);
        return;
    }
    // A table in use is offered to move along rather than to start over blank in the new place.
    const QString inUse = folderOf(tablePath(location));
    if (inUse != folder && engine::tableFileState(toStd(inUse), info.table) == engine::TableFileState::Present) {
        const auto answer = MessageService::confirmYesNoCancel(
            QString(info.moveQuestion).arg(tableFileIn(inUse, info), folder), this);
        if (answer == QMessageBox::Cancel)
            return;
        if (answer == QMessageBox::Yes) {
            if (guarded([&] {
                    BusyCursor busy;
                    dmDovraPro->MoveTable(inUse, folder, info.table);
                })) {
                // Moved for good: the location holds whatever way the dialog is left.
                folderSetting(settings_, location) = folder;
                setTablePath(location, tableFileIn(folder, info));
            }
            return;
        }
    }
    if (guarded([&] { dmDovraPro->CreateTable(folder, info.table, info.definition); }))
        setTablePath(location, tableFileIn(folder, info));
}

void TF_NetworkSettings::btnOKClick()
{
    for (Location location : {Location::MailerNum, Location::YourAddress, Location::Log})
        folderSetting(settings_, location) = folderOf(tablePath(location));
    settings_.proofDB = withoutTrailingSeparators(proofFolder_);
    accept();
}

void TF_NetworkSettings::btnChangeProofDBClick()
{
    const QString picked =
        FileDialogService::existingDirectory(this, "Proof Copies of Printed Mailers Location", proofFolder_);
    if (picked.isEmpty())
        return;
    proofFolder_ = withoutTrailingSeparators(picked);
    lblProofDB->setText(proofFolder_);
    lblProofDB->setToolTip(proofFolder_);
}
