// The settings record: every preference and data location, read at start from dovra3.ini
// and written back whenever it changes, so a crash or a killed session loses nothing.
#pragma once

#include "core/WindowPlacement.h"

#include <QList>
#include <QPair>
#include <QString>

struct Settings {
    // Type
    QString company;
    // YourAddress
    QString yourAddressDB;
    QString yourAddressID;
    // Values
    bool showValues = true; // "Values" / "Default"
    QString postage = "0.39";
    QString certFee = "2.40";
    QString returnFee = "1.85";
    QString restricted = "3.50";
    QString addOunce = "0.24";
    bool restrictedCB = false;
    bool printBarCode = true;
    // Printing
    QString printExtraLabel = "Yes";
    QString extraLabel = "Addressed To";
    // Print Align, in units of three printer dots, within the Printer Alignment dialog's range
    static constexpr int kAlignmentLimit = 999;
    int leftRight = 0;
    int topBottom = 0;
    // LabelPos
    int labelRow = 0;
    int labelCol = 0;
    // Type
    bool barCodeApp = true;
    // System Path
    QString mailerNumDB;
    bool databaseOn = false;
    QString addressDB;
    // Printing
    bool zeros = true;
    // System Path
    QString logDB;
    // Printing
    bool batch = false;
    // Type
    QString findMailerType = "1";
    // Printer
    int pTray = 0;
    QString printer;
    // Where the counter, the senders and the log live: in the folders above ("Folder") or on a
    // database server ("Server"). The server's password is never kept here.
    QString sharedTables = QStringLiteral("Folder");  // "Server" / "Tables"
    QString serverHost;                               // "Server" / "Host"
    int serverPort = 5432;                            // "Server" / "Port"
    QString serverDatabase;                           // "Server" / "Database"
    QString serverUser;                               // "Server" / "User"
    QString serverSslMode = QStringLiteral("prefer"); // "Server" / "SSLMode": "prefer" or "require"

    bool onServer() const { return sharedTables == QLatin1String("Server"); }
    // Where a shared table kept in folder lives: that folder, or with "Server" the server's
    // location (a connection URI, see engine/Server.h) whatever the folder.
    QString sharedLocation(const QString& folder) const;
    QString mailerNumLocation() const { return sharedLocation(mailerNumDB); }
    QString yourAddressLocation() const { return sharedLocation(yourAddressDB); }
    QString logLocation() const { return sharedLocation(logDB); }
    // Proof copies of printed mailers
    QString proofDB;         // "System Path" / "ProofDB"
    bool proofCopies = true; // "Printing" / "ProofCopies"
    // With "Server", the copies are kept in a table on the server, unless the office keeps
    // them in the folder proofDB all the same ("Printing" / "ProofsInFolder").
    bool proofsInFolder = false;
    // Where the copies go: the folder proofDB, or with "Server" the server's location.
    QString proofLocation() const { return proofsInFolder ? proofDB : sharedLocation(proofDB); }
    // Addresses checked before a mailer takes its number ("Printing" / "CheckAddresses")
    bool checkAddresses = true;
    // Where the main window and the log window stood when they last closed: section
    // "Window", keys "MainLeft", "MainTop", "MainWidth", "MainHeight", "MainMaximized" and
    // the same with "Log".
    WindowPlacement mainWindow;
    WindowPlacement logWindow;

    bool operator==(const Settings&) const = default;

    // Every key at its default for a program folder.
    static Settings defaults(const QString& programFolder);

    // Reads every key, in the file's order; missing or unreadable values are defaults. Folders
    // stored relative to the program folder, and absolute ones, come back absolute.
    static Settings load(const QString& iniPath, const QString& programFolder);
    // Writes every key, folders without trailing separators, and those inside the folder of
    // the settings file (the program folder) relative to it, so that a copied program folder
    // works where it lands. Returns an error text, empty on success.
    QString save(const QString& iniPath) const;

    // The branding, settled once per settings file: an empty company becomes "Ostrel" when
    // the logo picture loaded, else "Quelmar".
    void settleBranding(bool logoLoaded);
};

// The section and key of every folder setting.
QList<QPair<QString, QString>> folderSettingKeys();

// The settings file's path in a program folder.
QString settingsFilePath(const QString& programFolder);

// A folder value without trailing "/" or "\" characters.
QString withoutTrailingSeparators(QString folder);

// Whether a path is the folder or lies inside it (compared as written, cleaned).
bool isInsideFolder(const QString& path, const QString& folder);
// A folder as the settings file stores it: relative to the program folder ("Log", "." for
// the program folder itself) when inside it, else as it is.
QString storedFolder(const QString& folder, const QString& programFolder);
// A stored folder as the program uses it: relative ones resolved against the program folder.
QString resolvedFolder(const QString& stored, const QString& programFolder);
