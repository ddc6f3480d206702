// What every test shares: a program folder of its own in a temporary directory, the scripted
// answers for modal windows, the counter table read and written directly, and the tools
// that read printed PDF files back (pdftoppm, zbarimg).
#pragma once

#include "core/Settings.h"
#include "core/datamodule/TdmDovraPro.h"
#include "printing/MailerForm.h"

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QMap>
#include <QPair>
#include <QPointer>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>
#include <QWidget>
#include <functional>

namespace engine {
class Table;
}

class TF_Main;

namespace testsupport {

// An environment variable set, or unset, for the life of the object.
class EnvironmentValue {
public:
    EnvironmentValue(const char* name, const QString& value);
    explicit EnvironmentValue(const char* name);
    ~EnvironmentValue();
    EnvironmentValue(const EnvironmentValue&) = delete;
    EnvironmentValue& operator=(const EnvironmentValue&) = delete;

private:
    const char* name_;
    QByteArray previous_;
};

// Makes a fresh, empty program folder and points DOVRA_HOME at it for the test's life.
class TempProgramFolder {
public:
    QString path() const { return dir_.path(); }
    QString file(const QString& name) const { return dir_.filePath(name); }

private:
    QTemporaryDir dir_;
    EnvironmentValue home_{"DOVRA_HOME", dir_.path()};
};

// A program folder of its own with the data module and the default settings of that folder.
struct ProgramFixture {
    TempProgramFolder home;
    TdmDovraPro dm;
    Settings settings = Settings::defaults(home.path());
};

// Makes the program folder one that a second start finds ready: a sender chosen, a
// Customer ID set and the postal notice turned off, so the first showing asks nothing.
void prepareReadyProgramFolder(const QString& programFolder, const QString& customerId = "123456789");

// Waits until the main window's first showing has run its steps and no modal window is left.
bool waitForFirstShowing(TF_Main& w);

// What a program killed in the middle of a change leaves behind: the table's file partly
// rewritten and, beside it, the journal that undoes that (a hot journal).
void leaveChangeCutShort(const QString& file);

// Overwrites most of a page of a table file (numbered from 1) with garbage, as a failing disk would.
void damagePage(const QString& file, int pageNumber);

// The engine's wait for a locked table, changed for the life of the object.
class LockWait {
public:
    explicit LockWait(int ms);
    ~LockWait();
    LockWait(const LockWait&) = delete;
    LockWait& operator=(const LockWait&) = delete;

private:
    int previous_;
};

// The one row of the Mailer Number counter in a folder, read and written directly.
struct CounterRow {
    QString custId, serialNum;
    bool increment = true, barCodes = true;
};
CounterRow readRow(const QString& folder);
void writeRow(const QString& folder, const CounterRow& row);
// Opens the counter table of a folder on the given handle; exclusively, it holds the counter
// as another workstation does while it prints.
void openCounter(engine::Table& counter, const QString& folder, bool exclusive = false);
// True when another handle can take the counter's exclusive open at once.
bool counterIsFree(const QString& folder);

// A mailer filled in throughout: Customer ID 123456789, serial 0000001, bar codes on, all
// four fees, the extra label "Addressed To".
MailerPrintData sampleMailerPrintData();

// Runs a tool and returns its standard output; when it cannot run or ends with an exit code
// other than those that mean it did its work, a text that names the failure instead, so
// that the check which follows fails with that text.
QString runTool(const QString& program, const QStringList& arguments, const QList<int>& successCodes = {0});
// A page of a PDF file (the first unless told) as an image at the given resolution.
QImage rasterisePdf(const QString& pdf, int dpi, int page = 1);
// Every symbol zbarimg finds on the first page of a PDF file, as "CODE-128:<digits>", once
// each, sorted.
QStringList decodedSymbols(const QString& pdf);
// The same for an image, such as part of a rasterised page.
QStringList decodedSymbols(const QImage& image);
// The bounding box of the dark pixels of an image.
QRect inkBox(const QImage& page);

// Clicks the push button of that object name inside parent; fails the test when there is none.
void clickButton(QWidget* parent, const QString& name);

// Answers the modal windows that open while a command runs. Each handler acts once, on the
// first modal window that inherits its class; any other dialog is rejected and any other
// modal window closed. The class names of the windows seen are recorded in order.
class ModalDriver : public QObject {
public:
    using Handler = std::function<void(QWidget*)>;
    ModalDriver();
    void on(const char* className, Handler handler) { handlers_.append({className, std::move(handler)}); }
    QStringList seen;

private:
    void tick();
    QTimer timer_;
    QPointer<QWidget> last_;
    QList<QPair<const char*, Handler>> handlers_;
};

// The texts of the message boxes shown so far (scripted), in order.
QStringList shownMessageTexts();

// Every row of Log37 in a folder, in key order: column -> text, "<null>" for an empty column.
using LogRow = QMap<QString, QString>;
QList<LogRow> logRows(const QString& logFolder);

// Catches the addresses the program asks the desktop to open; install it with
// QDesktopServices::setUrlHandler(scheme, &catcher, "open").
class UrlCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> opened;
public slots:
    void open(const QUrl& url) { opened << url; }
};

// The folder of the built programs, where ZIPCODES.adt lies.
QString binDir();
QString sourceDir();

// A run of tests/crash_workstation: killed by the test, or ended with its exit code, and
// what it wrote to standard error.
struct Run {
    bool killed = false;
    int exitCode = 0;
    QByteArray errors;
};
// Starts the program through its own start-up (crash_workstation <home> <mode...>); killed
// killAfterMs after it began to print (never when negative).
Run runWorkstation(const QString& home, const QStringList& mode, int killAfterMs = -1);

// Every kind "T" Mailer Number printed in a finished PDF job of folder, in the order found. A
// job cut short by a kill (no end of file yet) reached no paper.
QStringList numbersOnPaper(const QString& folder);

} // namespace testsupport
