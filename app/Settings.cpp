#include "app/Settings.h"
#include "app/IniFile.h"
#include "engine/Server.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
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
    {"System Path", "ProofDB", &Settings::proofDB, true},
    {"Printing", "ProofCopies", &Settings::proofCopies},
    {"Printing", "CheckAddresses", &Settings::checkAddresses},
};

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
    // A label position edited by hand beyond the 3 x 3 sheet would print off the sheet and
    // never reach the sheet's last label.
    for (int Settings::*index : {&Settings::labelRow, &Settings::labelCol})
        if (s.*index < 0 || s.*index > 2)
            s.*index = d.*index;
    // An alignment offset edited by hand is kept to what the dialog can set: beyond it the
    // print leaves the sheet, and the layout's dots would overflow.
    for (int Settings::*offset : {&Settings::leftRight, &Settings::topBottom})
        s.*offset = std::clamp(s.*offset, -kAlignmentLimit, kAlignmentLimit);
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
    return ini.save();
}

QString Settings::sharedLocation() const
{
    return engine::isServerLocation(mailerNumDB.toStdString()) ? mailerNumDB : QString();
}

void Settings::settleBranding(bool logoLoaded)
{
    if (company.isEmpty() && logoLoaded)
        company = QStringLiteral("Ostrel");
    if (company.isEmpty())
        company = QStringLiteral("Quelmar");
}
