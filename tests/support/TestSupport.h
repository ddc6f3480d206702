// What every test shares: a program folder of its own in a temporary directory, and the
// scripted answers for message boxes and file dialogs.
#pragma once

#include <QString>
#include <QTemporaryDir>

namespace testsupport {

// Makes a fresh, empty program folder and points DOVRA_HOME at it for the test's life.
class TempProgramFolder {
public:
    TempProgramFolder();
    ~TempProgramFolder();
    QString path() const { return dir_.path(); }
    QString file(const QString& name) const { return dir_.filePath(name); }

private:
    QTemporaryDir dir_;
    QByteArray previous_;
};

// Makes the program folder one that a second start finds ready: a sender chosen, a
// Customer ID set and the postal notice turned off, so the first showing asks nothing.
void prepareReadyProgramFolder(const QString& programFolder, const QString& customerId = "123456789");

// The folder of the built programs, where ZIPCODES.adt lies.
QString binDir();
QString sourceDir();

} // namespace testsupport
