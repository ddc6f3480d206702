#include "app/Settings.h"
#include "app/IniFile.h"

QString settingsFilePath(const QString& programFolder) { return programFolder + "/dovra3.ini"; }

QString withoutTrailingSeparators(QString folder)
{
    while (folder.size() > 1 && (folder.endsWith('\\') || folder.endsWith('/')))
        folder.chop(1);
    return folder;
}

Settings Settings::defaults(const QString& programFolder)
{
    Settings s;
    s.yourAddressDB = programFolder + "/Addresses";
    s.mailerNumDB = programFolder;
    s.addressDB = programFolder + "/Addresses";
    s.logDB = programFolder + "/Log";
    return s;
}

Settings Settings::load(const QString& iniPath, const QString& programFolder)
{
    const Settings d = defaults(programFolder);
    const IniFile ini(iniPath);
    Settings s;
    s.company = ini.readString("Type", "Company", d.company);
    s.yourAddressDB = ini.readString("YourAddress", "DB", d.yourAddressDB);
    s.yourAddressID = ini.readString("YourAddress", "ID", d.yourAddressID);
    s.showValues = ini.readBool("Values", "Default", d.showValues);
    s.postage = ini.readString("Values", "Postage", d.postage);
    s.certFee = ini.readString("Values", "CertFee", d.certFee);
    s.returnFee = ini.readString("Values", "Return", d.returnFee);
    s.restricted = ini.readString("Values", "Restricted", d.restricted);
    s.addOunce = ini.readString("Values", "AddOunce", d.addOunce);
    s.restrictedCB = ini.readBool("Values", "RestrictedCB", d.restrictedCB);
    s.printBarCode = ini.readBool("Values", "PrintBarCode", d.printBarCode);
    s.printExtraLabel = ini.readString("Printing", "PrintExtraLabel", d.printExtraLabel);
    s.extraLabel = ini.readString("Printing", "ExtraLabel", d.extraLabel);
    s.leftRight = ini.readInteger("Print Align", "LeftRight", d.leftRight);
    s.topBottom = ini.readInteger("Print Align", "TopBottom", d.topBottom);
    s.labelRow = ini.readInteger("LabelPos", "Row", d.labelRow);
    s.labelCol = ini.readInteger("LabelPos", "Col", d.labelCol);
    s.barCodeApp = ini.readBool("Type", "BarCodeApp", d.barCodeApp);
    s.mailerNumDB = ini.readString("System Path", "MailerNumDB", d.mailerNumDB);
    s.databaseOn = ini.readBool("System Path", "DatabaseON", d.databaseOn);
    s.addressDB = ini.readString("System Path", "AddressDB", d.addressDB);
    s.zeros = ini.readBool("Printing", "Zeros", d.zeros);
    s.logDB = ini.readString("System Path", "LogDB", d.logDB);
    s.batch = ini.readBool("Printing", "Batch", d.batch);
    s.findMailerType = ini.readString("Type", "FindMailerType", d.findMailerType);
    s.pTray = ini.readInteger("Printer", "PTray", d.pTray);
    s.printer = ini.readString("Printer", "Printer", d.printer);
    // A folder written by hand with a trailing separator still names the same folder.
    for (QString* folder : {&s.yourAddressDB, &s.mailerNumDB, &s.addressDB, &s.logDB})
        *folder = withoutTrailingSeparators(*folder);
    return s;
}

QString Settings::save(const QString& iniPath) const
{
    IniFile ini(iniPath);
    ini.writeString("Type", "Company", company);
    ini.writeString("YourAddress", "DB", withoutTrailingSeparators(yourAddressDB));
    ini.writeString("YourAddress", "ID", yourAddressID);
    ini.writeBool("Values", "Default", showValues);
    ini.writeString("Values", "Postage", postage);
    ini.writeString("Values", "CertFee", certFee);
    ini.writeString("Values", "Return", returnFee);
    ini.writeString("Values", "Restricted", restricted);
    ini.writeString("Values", "AddOunce", addOunce);
    ini.writeBool("Values", "RestrictedCB", restrictedCB);
    ini.writeBool("Values", "PrintBarCode", printBarCode);
    ini.writeString("Printing", "PrintExtraLabel", printExtraLabel);
    ini.writeString("Printing", "ExtraLabel", extraLabel);
    ini.writeInteger("Print Align", "LeftRight", leftRight);
    ini.writeInteger("Print Align", "TopBottom", topBottom);
    ini.writeInteger("LabelPos", "Row", labelRow);
    ini.writeInteger("LabelPos", "Col", labelCol);
    ini.writeBool("type", "BarCodeApp", barCodeApp);
    ini.writeString("System Path", "MailerNumDB", withoutTrailingSeparators(mailerNumDB));
    ini.writeBool("System Path", "DatabaseON", databaseOn);
    ini.writeString("System Path", "AddressDB", withoutTrailingSeparators(addressDB));
    ini.writeBool("Printing", "Zeros", zeros);
    ini.writeString("System Path", "LogDB", withoutTrailingSeparators(logDB));
    ini.writeBool("Printing", "Batch", batch);
    ini.writeString("Type", "FindMailerType", findMailerType);
    ini.writeInteger("Printer", "PTray", pTray);
    ini.writeString("Printer", "Printer", printer);
    return ini.save();
}

void Settings::settleBranding(bool logoLoaded)
{
    if (company.isEmpty() && logoLoaded)
        company = QStringLiteral("Ostrel");
    if (company.isEmpty())
        company = QStringLiteral("Quelmar");
}
