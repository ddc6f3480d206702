// "Network Settings": where the mailer-number counter, the sender list and the log live.
// Several workstations share them by pointing these three folders at one shared folder, or
// by keeping them on a database server ("Server": host, port, database, user).
#pragma once

#include "core/Settings.h"

#include "engine/Server.h"

#include <QDialog>
#include <optional>
#include <string>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

class TF_NetworkSettings : public QDialog {
    Q_OBJECT
public:
    // The three tables the dialog places, in the order of its boxes.
    enum class Location { MailerNum, YourAddress, Log };

    TF_NetworkSettings(Settings& settings, QWidget* parent = nullptr);

    // Opens the dialog modally; on OK the three folders are stored into the in-memory
    // settings (the settings file is written at exit). Returns true on OK.
    static bool edit(Settings& settings, QWidget* parent = nullptr);

    // The working copy: the full path of each table file, as its label shows it.
    QString tablePath(Location location) const;

    QLabel* lblMailerNumber = nullptr;
    QLabel* lblYourAddressDB = nullptr;
    QLabel* lblLogDB = nullptr;
    QLabel* lblProofDB = nullptr; // the folder of the proof copies
    QPushButton* btnChangeProofDB = nullptr;
    QCheckBox* cbProofsInFolder = nullptr; // with "Server": the copies in that folder all the same
    QString proofFolder() const { return proofFolder_; }
    QPushButton* btnOK = nullptr;
    QPushButton* btnCancel = nullptr;

    // Where the shared tables live: the folders above, or a database server.
    QRadioButton* rbFolder = nullptr;
    QRadioButton* rbServer = nullptr;
    QLineEdit* editServerHost = nullptr;
    QLineEdit* editServerPort = nullptr;
    QLineEdit* editServerDatabase = nullptr;
    QLineEdit* editServerUser = nullptr;
    QCheckBox* cbRequireTls = nullptr; // sslmode=require, else prefer
    QPushButton* btnTestConnection = nullptr;
    QPushButton* btnMoveToServer = nullptr;
    // The server as the fields name it.
    engine::ServerParams fieldServerParams() const;

public slots:
    // Points the table at an existing file.
    void changeClick(TF_NetworkSettings::Location location);
    // Creates the table in a chosen folder at once; it stays even after Cancel.
    void createClick(TF_NetworkSettings::Location location);
    void btnOKClick();
    // Picks the folder of the proof copies; workstations that share a log share it too.
    void btnChangeProofDBClick();
    // Connects to the server the fields name and says what it found.
    void btnTestConnectionClick();
    // Copies the folders' tables to the (empty) server the fields name, then uses the server.
    void btnMoveToServerClick();

private:
    QLabel* labelOf(Location location) const;
    void setTablePath(Location location, const QString& path);
    QGroupBox* buildServerBox();
    void showServerChoice();
    // The server the fields name, checked; empty (after a message) when something is missing.
    std::optional<std::string> checkedServerLocation();

    QGroupBox* folderBoxes_[3] = {};

    Settings& settings_;
    QString paths_[3];
    QString proofFolder_;
};
