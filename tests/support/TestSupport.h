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

// The one row of the Mailer Number counter in a folder, read and written directly.
struct CounterRow {
    QString custId, serialNum;
    bool increment = true, barCodes = true;
};
CounterRow readRow(const QString& folder);
void writeRow(const QString& folder, const CounterRow& row);
// True when another handle can take the counter's exclusive open at once.
bool counterIsFree(const QString& folder);

// The folder of the built programs, where ZIPCODES.adt lies.
QString binDir();
QString sourceDir();

} // namespace testsupport
