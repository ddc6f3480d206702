#include "core/Settings.h"
#include "core/IniFile.h"
#include "core/ServerSettings.h"
#include "engine/Server.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <cstdlib>
#include <variant>

QString settingsFilePath(const QString& programFolder)
{
    return programFolder + "/dovra3.ini";
}

QString withoutTrailingSeparators(QString folder)
{
    while (folder.size() > 1 && (folder.endsWith('\\') || folder.endsWith('/')))
        folder.chop(1);
    return folder;
}

namespace {

// A stored folder that names a place relative to the program folder; Windows paths of earlier
// editions ("C:\Dovra", "\\server\share") are not.
bool isStoredRelative(const QString& stored)
{
    if (engine::isServerLocation(stored.toStdString()))
        return false;
    const bool windowsAbsolute = stored.startsWith('\\') || (stored.size() >= 2 && stored.at(1) == ':');
    return !stored.isEmpty() && QDir::isRelativePath(stored) && !windowsAbsolute;
}

} // namespace

bool isInsideFolder(const QString& path, const QString& folder)
{
    const QString p = QDir::cleanPath(path);
    const QString f = QDir::cleanPath(folder);
    return p == f || p.startsWith(f.endsWith('/') ? f : f + '/');
}

QString storedFolder(const QString& folder, const QString& programFolder)
{
    if (folder.isEmpty() || !QDir::isAbsolutePath(folder) || !isInsideFolder(folder, programFolder))
        return folder;
    const QString relative = QDir(QDir::cleanPath(programFolder)).relativeFilePath(QDir::cleanPath(folder));
    return relative.isEmpty() ? QStringLiteral(".") : relative;
}

QString resolvedFolder(const QString& stored, const QString& programFolder)
{
    if (!isStoredRelative(stored))
        return stored;
    return QDir::cleanPath(programFolder + '/' + stored);
}

Settings Settings::defaults(const QString& programFolder)
{
    Settings s;
    s.yourAddressDB = programFolder + "/Addresses";
    s.mailerNumDB = programFolder;
    s.addressDB = programFolder + "/Addresses";
    s.logDB = programFolder + "/Log";
    s.proofDB = programFolder + "/Proofs";
    return s;
}

namespace {

// Every key of the settings file, in the order in which it is read and written.
struct Key {
    const char* section;
    const char* name;
    std::variant<QString Settings::*, bool Settings::*, int Settings::*> field;
    bool folder = false;
};

const Key kKeys[] = {
    {"Type", "Company", &Settings::company},
    {"YourAddress", "DB", &Settings::yourAddressDB, true},
    {"YourAddress", "ID", &Settings::yourAddressID},
    {"Values", "Default", &Settings::showValues},
    {"Values", "Postage", &Settings::postage},
    {"Values", "CertFee", &Settings::certFee},
    {"Values", "Return", &Settings::returnFee},
    {"Values", "Restricted", &Settings::restricted},
    {"Values", "AddOunce", &Settings::addOunce},
    {"Values", "RestrictedCB", &Settings::restrictedCB},
    {"Values", "PrintBarCode", &Settings::printBarCode},
    {"Printing", "PrintExtraLabel", &Settings::printExtraLabel},
    {"Printing", "ExtraLabel", &Settings::extraLabel},
    {"Print Align", "LeftRight", &Settings::leftRight},
    {"Print Align", "TopBottom", &Settings::topBottom},
    {"LabelPos", "Row", &Settings::labelRow},
    {"LabelPos", "Col", &Settings::labelCol},
    {"type", "BarCodeApp", &Settings::barCodeApp}, // the same section as "Type"
    {"System Path", "MailerNumDB", &Settings::mailerNumDB, true},
    {"System Path", "DatabaseON", &Settings::databaseOn},
    {"System Path", "AddressDB", &Settings::addressDB, true},
    {"Printing", "Zeros", &Settings::zeros},
    {"System Path", "LogDB", &Settings::logDB, true},
    {"Printing", "Batch", &Settings::batch},
    {"Type", "FindMailerType", &Settings::findMailerType},
    {"Printer", "PTray", &Settings::pTray},
    {"Printer", "Printer", &Settings::printer},
    {"Server", "Tables", &Settings::sharedTables},
    {"Server", "Host", &Settings::serverHost},
    {"Server", "Port", &Settings::serverPort},
    {"Server", "Database", &Settings::serverDatabase},
    {"Server", "User", &Settings::serverUser},
    {"Server", "SSLMode", &Settings::serverSslMode},
    {"System Path", "ProofDB", &Settings::proofDB, true},
    {"Printing", "ProofCopies", &Settings::proofCopies},
    {"Printing", "ProofsInFolder", &Settings::proofsInFolder},
    {"Printing", "CheckAddresses", &Settings::checkAddresses},
};

// The windows whose places are remembered, by the prefix of their keys in section "Window".
struct PlacementKey {
    const char* prefix;
    WindowPlacement Settings::*placement;
};

const PlacementKey kPlacementKeys[] = {
    {"Main", &Settings::mainWindow},
    {"Log", &Settings::logWindow},
};

const char kWindowSection[] = "Window";

QString placementKey(const PlacementKey& k, const char* name)
{
    return QLatin1String(k.prefix) + QLatin1String(name);
}

// A place edited by hand into a size no window has (negative, or beyond any screen) counts
// as none remembered.
WindowPlacement readPlacement(const IniFile& ini, const PlacementKey& k)
{
    constexpr int kLargest = 100000;
    auto number = [&](const char* name) { return ini.readInteger(kWindowSection, placementKey(k, name), 0); };
    WindowPlacement p;
    p.rect = QRect(number("Left"), number("Top"), number("Width"), number("Height"));
    p.maximized = ini.readBool(kWindowSection, placementKey(k, "Maximized"), false);
    if (p.rect.width() <= 0 || p.rect.height() <= 0 || p.rect.width() > kLargest || p.rect.height() > kLargest ||
        std::abs(p.rect.left()) > kLargest || std::abs(p.rect.top()) > kLargest)
        p = {};
    return p;
}

void writePlacement(IniFile& ini, const PlacementKey& k, const WindowPlacement& p)
{
    ini.writeInteger(kWindowSection, placementKey(k, "Left"), p.rect.left());
    ini.writeInteger(kWindowSection, placementKey(k, "Top"), p.rect.top());
    ini.writeInteger(kWindowSection, placementKey(k, "Width"), p.rect.width());
    ini.writeInteger(kWindowSection, placementKey(k, "Height"), p.rect.height());
    ini.writeBool(kWindowSection, placementKey(k, "Maximized"), p.maximized);
}

} // namespace

QList<QPair<QString, QString>> folderSettingKeys()
{
    QList<QPair<QString, QString>> keys;
    for (const Key& k : kKeys)
        if (k.folder)
            keys.append(qMakePair(QString::fromLatin1(k.section), QString::fromLatin1(k.name)));
    return keys;
}

Settings Settings::load(const QString& iniPath, const QString& programFolder)
{
    const Settings d = defaults(programFolder);
    const IniFile ini(iniPath);
    Settings s;
    for (const Key& k : kKeys) {
        if (auto text = std::get_if<QString Settings::*>(&k.field)) {
            s.*(*text) = ini.readString(k.section, k.name, d.*(*text));
            // A folder written by hand with a trailing separator still names the same folder;
            // one inside the program folder is stored relative to it.
            if (k.folder)
                s.*(*text) = resolvedFolder(withoutTrailingSeparators(s.*(*text)), programFolder);
        } else if (auto flag = std::get_if<bool Settings::*>(&k.field)) {
            s.*(*flag) = ini.readBool(k.section, k.name, d.*(*flag));
        } else if (auto number = std::get_if<int Settings::*>(&k.field)) {
            s.*(*number) = ini.readInteger(k.section, k.name, d.*(*number));
        }
    }
    // The server's part, edited by hand: words other than the program's own, in any letter case,
    // mean the defaults (the folders; TLS when the server offers it).
    settleServerSettings(s);
    // A label position edited by hand beyond the 3 x 3 sheet would print off the sheet and
    // never reach the sheet's last label.
    for (int Settings::*index : {&Settings::labelRow, &Settings::labelCol})
        if (s.*index < 0 || s.*index > 2)
            s.*index = d.*index;
    // An alignment offset edited by hand is kept to what the dialog can set: beyond it the
    // print leaves the sheet, and the layout's dots would overflow.
    for (int Settings::*offset : {&Settings::leftRight, &Settings::topBottom})
        s.*offset = std::clamp(s.*offset, -kAlignmentLimit, kAlignmentLimit);
    for (const PlacementKey& k : kPlacementKeys)
        s.*(k.placement) = readPlacement(ini, k);
    return s;
}

QString Settings::save(const QString& iniPath) const
{
    IniFile ini(iniPath);
    const QString programFolder = QFileInfo(iniPath).absolutePath();
    for (const Key& k : kKeys) {
        if (auto text = std::get_if<QString Settings::*>(&k.field))
            ini.writeString(k.section, k.name,
                            k.folder ? storedFolder(withoutTrailingSeparators(this->*(*text)), programFolder)
                                     : this->*(*text));
        else if (auto flag = std::get_if<bool Settings::*>(&k.field))
            ini.writeBool(k.section, k.name, this->*(*flag));
        else if (auto number = std::get_if<int Settings::*>(&k.field))
            ini.writeInteger(k.section, k.name, this->*(*number));
    }
    // A window never shown keeps the file free of its keys.
    for (const PlacementKey& k : kPlacementKeys)
        if (!(this->*(k.placement)).rect.isEmpty())
            writePlacement(ini, k, this->*(k.placement));
    return ini.save();
}

QString Settings::sharedLocation(const QString& folder) const
{
    return onServer() ? QString::fromStdString(engine::serverLocation(serverParams(*this))) : folder;
}

void Settings::settleBranding(bool logoLoaded)
{
    if (company.isEmpty() && logoLoaded)
        company = QStringLiteral("Ostrel");
    if (company.isEmpty())
        company = QStringLiteral("Quelmar");
}
