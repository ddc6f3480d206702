#include "widgets/TF_NetworkSettings.h"
#include "core/ProgramFolder.h"
#include "core/ServerSettings.h"
#include "core/datamodule/MoveAddressDatabases.h"
#include "core/datamodule/MoveToServer.h"
#include "core/datamodule/Schemas.h"
#include "core/datamodule/TdmDovraPro.h"
#include "widgets/BusyCursor.h"
#include "widgets/DialogParts.h"
#include "widgets/ErrorBoundary.h"
#include "widgets/ServerPassword.h"
#include "widgets/Services.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
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
    layout->addWidget(buildServerBox());

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
        folderBoxes_[static_cast<int>(location)] = box;
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
    auto proofColumn = new QVBoxLayout(proofBox);
    auto proofRow = new QHBoxLayout;
    proofColumn->addLayout(proofRow);
    // With "Server" the copies are kept on the server unless the office keeps them in this folder.
    cbProofsInFolder = new QCheckBox("Keep them in this folder, not on the server", proofBox);
    cbProofsInFolder->setObjectName("cbProofsInFolder");
    cbProofsInFolder->setChecked(settings_.proofsInFolder);
    proofColumn->addWidget(cbProofsInFolder);
    connect(cbProofsInFolder, &QCheckBox::toggled, this, &TF_NetworkSettings::showServerChoice);
    lblProofDB = new QLabel(proofBox);
    lblProofDB->setObjectName("lblProofDB");
    lblProofDB->setMinimumWidth(340);
    lblProofDB->setTextInteractionFlags(Qt::TextSelectableByMouse);
    proofRow->addWidget(lblProofDB, 1);
    btnChangeProofDB = new QPushButton("Change", proofBox);
    auto changeProofs = btnChangeProofDB;
    changeProofs->setObjectName("btnChangeProofDB");
    proofRow->addWidget(changeProofs);
    connect(changeProofs, &QPushButton::clicked, this, &TF_NetworkSettings::btnChangeProofDBClick);
    layout->addWidget(proofBox);
    proofFolder_ = settings_.proofDB;
    lblProofDB->setText(proofFolder_);
    lblProofDB->setToolTip(proofFolder_);

    layout->addLayout(okCancelRow(this, btnOK, btnCancel));
    connect(btnOK, &QPushButton::clicked, this, &TF_NetworkSettings::btnOKClick);
    showServerChoice();
}

QGroupBox* TF_NetworkSettings::buildServerBox()
{
    auto box = new QGroupBox("Shared Tables Location", this);
    box->setObjectName("gbSharedTables");
    auto column = new QVBoxLayout(box);
    auto choice = new QHBoxLayout;
    rbFolder = new QRadioButton("Folder", box);
    rbFolder->setObjectName("rbFolder");
    rbServer = new QRadioButton("Server", box);
    rbServer->setObjectName("rbServer");
    choice->addWidget(rbFolder);
    choice->addWidget(rbServer);
    choice->addStretch(1);
    column->addLayout(choice);

    auto fields = new QFormLayout;
    auto field = [&](QLineEdit*& edit, const char* name, const char* caption, const QString& text) {
        edit = new QLineEdit(text, box);
        edit->setObjectName(name);
        fields->addRow(caption, edit);
    };
    field(editServerHost, "editServerHost", "Host:", settings_.serverHost);
    field(editServerPort, "editServerPort", "Port:", QString::number(settings_.serverPort));
    field(editServerDatabase, "editServerDatabase", "Database:", settings_.serverDatabase);
    field(editServerUser, "editServerUser", "User:", settings_.serverUser);
    column->addLayout(fields);
    cbRequireTls = new QCheckBox("Require an encrypted connection (TLS)", box);
    cbRequireTls->setObjectName("cbRequireTls");
    cbRequireTls->setChecked(settings_.serverSslMode == "require");
    column->addWidget(cbRequireTls);
    auto hint = new QLabel("The password is not kept here: it comes from the user's ~/.pgpass file, the PGPASSWORD "
                           "setting, or is asked for when the program connects.",
                           box);
    hint->setObjectName("lblPasswordHint");
    hint->setWordWrap(true);
    column->addWidget(hint);
    auto buttons = new QHBoxLayout;
    btnTestConnection = namedButton(box, "Test Connection", "btnTestConnection");
    btnMoveToServer = namedButton(box, QString::fromUtf8("Move to Server\u2026"), "btnMoveToServer");
    buttons->addWidget(btnTestConnection);
    buttons->addWidget(btnMoveToServer);
    buttons->addStretch(1);
    column->addLayout(buttons);

    (settings_.onServer() ? rbServer : rbFolder)->setChecked(true);
    connect(rbServer, &QRadioButton::toggled, this, &TF_NetworkSettings::showServerChoice);
    connect(btnTestConnection, &QPushButton::clicked, this, &TF_NetworkSettings::btnTestConnectionClick);
    connect(btnMoveToServer, &QPushButton::clicked, this, &TF_NetworkSettings::btnMoveToServerClick);
    return box;
}

// With the tables on a server, the folders name only the backup the move left; the move
// itself is from folders.
void TF_NetworkSettings::showServerChoice()
{
    const bool server = rbServer->isChecked();
    for (QGroupBox* box : folderBoxes_)
        if (box)
            box->setEnabled(!server);
    btnMoveToServer->setEnabled(!server);
    // The proofs' folder counts where the copies are kept in a folder.
    if (cbProofsInFolder) {
        cbProofsInFolder->setEnabled(server);
        const bool inFolder = !server || cbProofsInFolder->isChecked();
        lblProofDB->setEnabled(inFolder);
        btnChangeProofDB->setEnabled(inFolder);
    }
}

engine::ServerParams TF_NetworkSettings::fieldServerParams() const
{
    Settings fields;
    fields.serverHost = editServerHost->text();
    bool number = false;
    fields.serverPort = editServerPort->text().trimmed().toInt(&number);
    if (!number)
        fields.serverPort = 0;
    fields.serverDatabase = editServerDatabase->text();
    fields.serverUser = editServerUser->text();
    fields.serverSslMode = cbRequireTls->isChecked() ? "require" : "prefer";
    return serverParams(fields);
}

std::optional<std::string> TF_NetworkSettings::checkedServerLocation()
{
    const engine::ServerParams params = fieldServerParams();
    if (const QString problem = serverParamsProblem(params); !problem.isEmpty()) {
        MessageService::error(problem, this);
        return std::nullopt;
    }
    return engine::serverLocation(params);
}

void TF_NetworkSettings::btnTestConnectionClick()
{
    const auto location = checkedServerLocation();
    if (!location)
        return;
    const engine::ServerConnectionCheck check = connectToServer(*location, this);
    const QString message = connectionMessage(*location, check);
    if (check.error.empty())
        MessageService::information(message, this);
    else
        MessageService::error(message, this);
}

void TF_NetworkSettings::btnMoveToServerClick()
{
    const auto location = checkedServerLocation();
    if (!location)
        return;
    const QString server = QString::fromStdString(engine::describeServer(*location));
    // The proof copies go along unless the office keeps them in their folder.
    const QString proofs = cbProofsInFolder->isChecked() ? QString() : withoutTrailingSeparators(proofFolder_);
    const TMoveSource source{folderOf(tablePath(Location::MailerNum)), folderOf(tablePath(Location::YourAddress)),
                             folderOf(tablePath(Location::Log)), proofs};
    // The address databases go too, each in a transaction of its own, once the shared tables are there.
    const QStringList addressDatabases = AddressDatabasesToMove(settings_.addressDB);
    const QString what =
        proofs.isEmpty()
            ? QString("the Mailer Number counter (%1), the list of your names and addresses (%2) and the log with "
                      "its filters and reports (%3)")
                  .arg(source.mailerNumFolder, source.yourAddressFolder, source.logFolder)
            : QString("the Mailer Number counter (%1), the list of your names and addresses (%2), the log with its "
                      "filters and reports (%3) and the proof copies of printed mailers (%4)")
                  .arg(source.mailerNumFolder, source.yourAddressFolder, source.logFolder, proofs);
    if (!MessageService::confirmYesNo(
            QString("Copy %1 to the database server %2, and use the server from now on?%3\n\n"
                    "The folders keep their tables as a backup, and the counter there is marked as moved: a "
                    "workstation still set to that folder prints nothing until it is set to the server.")
                .arg(what, server,
                     addressDatabases.isEmpty() ? QString()
                                                : "\n\nThe address databases go too, each under its folder's name: " +
                                                      addressDatabases.join(", ") + "."),
            this))
        return;
    const engine::ServerConnectionCheck check = connectToServer(*location, this);
    if (!check.error.empty()) {
        MessageService::error(connectionMessage(*location, check), this);
        return;
    }
    QString addressRefusal;
    if (!guarded(
            [&] { addressRefusal = AddressDatabasesMoveRefusal(addressDatabases, QString::fromStdString(*location)); }))
        return;
    if (!addressRefusal.isEmpty()) {
        MessageService::error(addressRefusal, this);
        return;
    }
    std::vector<TMovedTable> moved;
    const bool done = guarded([&] {
        BusyCursor busy;
        QProgressDialog progress(QString("Copying the tables to the database server %1...").arg(server), QString(), 0,
                                 0, this);
        progress.setObjectName("progressMoveToServer");
        progress.setWindowTitle("Move to Server");
        progress.setWindowModality(Qt::WindowModal);
        progress.setMinimumDuration(500);
        progress.setCancelButton(nullptr);
        moved = MoveToServer(source, QString::fromStdString(*location), [&](qint64 copied, qint64 total) {
            // The bar counts in thousands: a progress dialog counts in int.
            progress.setMaximum(int(std::max<qint64>(1, total / 1000)));
            progress.setValue(int(std::min(copied, total) / 1000));
            QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        });
    });
    if (!done)
        return;
    // Moved for good: the tables are on the server whatever way the dialog is left.
    setServerParams(settings_, fieldServerParams());
    settings_.sharedTables = "Server";
    rbServer->setChecked(true);
    QString counts;
    for (const TMovedTable& table : moved) {
        const bool copies = table.table == "Proofs";
        counts += QString("\n%1: %2 %3")
                      .arg(copies ? QString("Proof copies") : table.table)
                      .arg(table.rows)
                      .arg(table.rows == 1 ? (copies ? "copy" : "row") : (copies ? "copies" : "rows"));
    }
    std::vector<TMovedAddressDatabase> movedDatabases;
    guarded([&] {
        BusyCursor busy;
        movedDatabases = MoveAddressDatabasesToServer(addressDatabases, QString::fromStdString(*location));
    });
    for (const TMovedAddressDatabase& database : movedDatabases) {
        const auto rows = [](qint64 n, const char* one, const char* many) {
            return QString("%1 %2").arg(n).arg(n == 1 ? one : many);
        };
        counts +=
            QString("\nAddress database %1: %2, %3, %4")
                .arg(database.name, rows(database.addresses, "address", "addresses"),
                     rows(database.groups, "group", "groups"), rows(database.members, "membership", "memberships"));
        // The database in use is used on the server from now on.
        if (QDir::cleanPath(database.folder) == QDir::cleanPath(settings_.addressDB))
            settings_.addressDB = database.location;
    }
    MessageService::information(
        QString("The tables have been copied to the database server %1:\n%2\n\nThis workstation uses the server "
                "from now on. Set every other workstation to it under Options, Network Settings, Server.")
            .arg(server, counts),
        this);
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
        const auto answer =
            MessageService::confirmYesNoCancel(QString(info.moveQuestion).arg(tableFileIn(inUse, info), folder), this);
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
    if (rbServer->isChecked()) {
        if (const QString problem = serverParamsProblem(fieldServerParams()); !problem.isEmpty()) {
            MessageService::error(problem, this);
            return;
        }
    }
    engine::ServerParams params = fieldServerParams();
    if (params.port < 1 || params.port > 65535)
        params.port = settings_.serverPort; // a port half typed in Folder mode is not kept
    setServerParams(settings_, params);
    settings_.sharedTables = rbServer->isChecked() ? "Server" : "Folder";
    for (Location location : {Location::MailerNum, Location::YourAddress, Location::Log})
        folderSetting(settings_, location) = folderOf(tablePath(location));
    settings_.proofDB = withoutTrailingSeparators(proofFolder_);
    settings_.proofsInFolder = cbProofsInFolder->isChecked();
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
