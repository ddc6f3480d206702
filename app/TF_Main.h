// The main window: one mailer composed on the left and middle, the sender above, the
// address book to the right (outside the window until a database is open).
#pragma once

#include "core/AddressLines.h"
#include "core/Settings.h"
#include "widgets/FieldExit.h"

#include <QMainWindow>
#include <QStringList>
#include <functional>
#include <string>

class QAction;
class QCheckBox;
class QGroupBox;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class TF_About;
class ProofArchive;
class TAddressBookPanel;
class TF_MassPrint;
class MassPrintModel;
struct TAddressRec;
struct MailerPrintData;
struct MailerLogEntry;
struct RunMailer;
class TextFileWriter;
struct RowsOutsideEncoding;
namespace engine {
class Query;
}

class TF_Main : public QMainWindow {
    Q_OBJECT
public:
    // Runs the whole main-window start-up. arguments: the command line without the program.
    explicit TF_Main(const QStringList& arguments = {}, TF_About* splash = nullptr, QWidget* parent = nullptr);
    ~TF_Main() override;

    Settings settings;      // the in-memory settings record
    QString programFolder;  // without a trailing separator
    TAddressLines currentSender;
    bool returnReceiptMode = true;
    bool confirmSentToPrinter = true; // "Mailer has been sent to printer" still wanted this run
    bool firstShowingPending() const { return firstShowingPending_; }

    void LoadSettings();
    void SaveSettings();
    // Writes the settings file when the record differs from what was last written.
    void saveSettingsIfChanged();

    // ---- shell -------------------------------------------------------------------------
    QWidget* central = nullptr;
    QLabel* imageBanner = nullptr;
    QLabel* imageCompany = nullptr;

    QMenu* miFile = nullptr;
    QAction* miOpenToDB = nullptr;
    QAction* miCloseToDB = nullptr;
    QAction* miPrint = nullptr;
    QAction* miPrintBarCodes = nullptr;
    QAction* miPrintMultipleForms = nullptr;
    QAction* miExit = nullptr;
    QMenu* miPostageValues = nullptr;
    QAction* miResetValues = nullptr;
    QAction* miSaveValues = nullptr;
    QAction* miShowFeesOn = nullptr;
    QAction* miShowFeesOff = nullptr;
    QAction* miMailerNumber = nullptr;
    QAction* miSelectYourAddress = nullptr;
    QAction* miNetworkSettings = nullptr;
    QAction* miLogFile = nullptr;
    QAction* miReports = nullptr;
    QAction* miTrackIncoming = nullptr;
    QAction* miProofCopies = nullptr;
    QAction* miCheckAddresses = nullptr;
    QAction* miPrintAlignment = nullptr;
    QAction* miPrinterSetup = nullptr;
    QAction* miExtraLabel = nullptr;
    QAction* miZerosOn = nullptr;
    QAction* miZerosOff = nullptr;
    QAction* miBatchOn = nullptr;
    QAction* miBatchOff = nullptr;
    QAction* miPrintBatch = nullptr;
    QAction* miClearBatch = nullptr;
    QMenu* miToTextFiles = nullptr;
    QAction* miToImport = nullptr;
    QAction* miToExport = nullptr;
    QAction* miYourImport = nullptr;
    QAction* miYourExport = nullptr;
    QAction* miLogExport = nullptr;
    QAction* miImportPro25 = nullptr;
    QAction* miImport3 = nullptr;
    QAction* miImportPro3 = nullptr;
    QAction* Track = nullptr;
    QAction* miBackUp = nullptr;
    QAction* miRestore = nullptr;
    QAction* miOrderSupplies = nullptr;
    QAction* miTechSupport = nullptr;
    QAction* miAbout = nullptr;

    // ---- sender box ----------------------------------------------------------------------
    QGroupBox* gbYour = nullptr;
    QPushButton* btnSelectYourAddress = nullptr;
    QLabel* lblYourAddress[5] = {};
    // Shows the current sender's five display lines.
    void showCurrentSender();

    // ---- entry area ------------------------------------------------------------------------
    QGroupBox* gbTo = nullptr;
    QPlainTextEdit* memoToAddress = nullptr;
    QLineEdit* editToCity = nullptr;
    QLineEdit* editToState = nullptr;
    QLineEdit* editToZip = nullptr;
    QPushButton* btnToClear = nullptr;
    QPushButton* btnCopy = nullptr;
    QPushButton* btnToPaste = nullptr;
    QGroupBox* gbToDB = nullptr;
    TAddressLines currentRecipient; // the address selected in the open address database
    QLabel* lblToAddress[5] = {};
    // The address book (app/TF_Main_AddressBook.cpp): the panel, and opening and closing
    // the database in AddressDB with the window's two layouts.
    TAddressBookPanel* panelDB = nullptr;
    void OpenAddressDatabase();
    void CloseAddressDatabase();
    // One mailer for each checked entry, in order, to that address (one print run, one
    // summary); the address selected before is selected again at the end.
    void PrintMarkedAddresses(const MassPrintModel& entries);
    QLineEdit* editPostage = nullptr;
    QLineEdit* editCertFee = nullptr;
    QCheckBox* CBReturn = nullptr;
    QLabel* lblReturn = nullptr;
    QLineEdit* editReturn = nullptr;
    QCheckBox* cbRestricted = nullptr;
    QLabel* lblRestricted = nullptr;
    QLineEdit* editRestricted = nullptr;
    QLineEdit* editTotal = nullptr;
    QCheckBox* CBLabel = nullptr;
    QCheckBox* CBEnvelope = nullptr;
    QLabel* LabelLabel = nullptr;
    QLabel* LabelEnvelope = nullptr;
    QLabel* labelRow = nullptr;
    QLabel* labelCol = nullptr;
    QLineEdit* EDPosRow = nullptr;
    QLineEdit* EDPosCol = nullptr;
    QLabel* labelDepartment = nullptr;
    QLineEdit* editDepartment = nullptr;
    QLabel* labelProcessedBy = nullptr;
    QLineEdit* editProcessedBy = nullptr;
    QLabel* labelComment = nullptr;
    QLineEdit* editComment = nullptr;
    QLabel* labelRE = nullptr;
    QLineEdit* editRe = nullptr;
    QPushButton* btnPrint = nullptr;
    QAction* miCalculate = nullptr; // context menu of editPostage
    // The window's width without and with the address book; a user may make it larger.
    static constexpr int kClosedWidth = 569;
    static constexpr int kOpenWidth = 769;
    // Entry operations (app/TF_Main_Entry.cpp).
    QString FormatFee(const QString& text); // the fee text to show; renews the total
    void ResetFeeValues();
    void MarkEntryChanged();
    void MarkEntryPrinted(); // entry silver and Print disabled until the next change
    bool entryPrinted() const { return entryPrinted_; }
    QString zipText() const;              // the ZIP field's text: "     -    " when empty
    TAddressLines typedRecipient() const; // memo lines 1-4, City, State and zipText()

public slots:
    // shell
    void miExitClick();
    void miAboutClick();
    // entry (app/TF_Main_Entry.cpp)
    void miShowFeesOnClick();
    void miShowFeesOffClick();
    void miZerosOnClick();
    void miZerosOffClick();
    void editPostageExit();
    void editCertFeeExit();
    void editReturnExit();
    void editRestrictedExit();
    void editToZipExit();
    void memoToAddressChange();
    void CBReturnClick();
    void cbRestrictedClick();
    void CBLabelClick();
    void CBEnvelopeClick();
    void btnToClearClick();
    void btnCopyClick();
    void btnToPasteClick();
    void miResetValuesClick();
    void miSaveValuesClick();
    void miCalculateClick();
    // print run (app/TF_Main_Print.cpp)
    void miBatchOnClick();
    void miBatchOffClick();
    // True when the mailer was printed or stored.
    bool btnPrintClick();
    void miPrintMultipleFormsClick();
    void miPrintBatchClick();
    void miClearBatchClick();
    // sender box (app/TF_Main_Sender.cpp): the button and Options -> Select Your Name & Address
    void btnSelectYourAddressClick();
    // shared data locations (app/TF_Main_Sender.cpp)
    void miNetworkSettingsClick();
    void miProofCopiesClick();
    // Options -> Check Addresses Before Printing (app/TF_Main_Print.cpp)
    void miCheckAddressesClick();
    // Options -> Mailer Number (app/TF_Main_MailerNumber.cpp)
    void miMailerNumberClick();
    // Options -> Reports over the whole log (app/TF_Main_Reports.cpp)
    void miReportsClick();
    // Options -> Log File and Options -> Track Incoming Mailers (app/TF_Main_Log.cpp)
    void miLogFileClick();
    void miTrackIncomingClick();
    // Printing menu, bar code labels and label position (app/TF_Main_PrintSetup.cpp)
    void miPrintBarCodesClick();
    void miPrintAlignmentClick();
    void miPrinterSetupClick();
    void miExtraLabelClick();
    void EDPosRowChange();
    void EDPosColChange();
    // Utilities: imports of earlier logs, tracking (app/TF_Main_Utilities.cpp)
    void miImportPro25Click();
    void miImport3Click();
    void miImportPro3Click();
    void TrackClick();
    // Utilities -> Back Up and Restore (app/TF_Main_Backup.cpp)
    void miBackUpClick();
    void miRestoreClick();
    // address book (app/TF_Main_AddressBook.cpp)
    void miOpenToDBClick();
    void miCloseToDBClick();
    void btnCloseDBClick();
    // mass printing (app/TF_Main_MassPrint.cpp)
    void tbtnMassPrintAddressClick();
    void tbtnMassPrintGroupClick();
    // Utilities -> Text Files (app/TF_Main_TextFiles.cpp)
    void miToImportClick();
    void miToExportClick();
    void miYourImportClick();
    void miYourExportClick();
    void miLogExportClick();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildMenus();
    void buildWindow();
    void buildEntryArea();            // app/TF_Main_Entry.cpp
    void applyCommandLineArguments(); // app/TF_Main_Entry.cpp
    void connectEntryArea();          // app/TF_Main_Entry.cpp
    void setEntryState(bool printed); // app/TF_Main_Entry.cpp
    void startUp();
    void firstShowing();
    void createMissingTables();
    void startLogPageScan();
    void loadCurrentSender();

    // First-showing steps that open other windows, each in the file of the window it opens.
    void firstShowingSelectSender();    // app/TF_Main_Sender.cpp
    void connectSenderCommands();       // app/TF_Main_Sender.cpp
    void connectLogCommands();          // app/TF_Main_Log.cpp
    void firstShowingBarCodeNotice();   // app/TF_Main_Entry.cpp
    void firstShowingCheckCustomerId(); // app/TF_Main_MailerNumber.cpp
    void firstShowingReopenDatabase();  // app/TF_Main_AddressBook.cpp

    // Address book (app/TF_Main_AddressBook.cpp).
    void buildAddressBook();
    void openAddressDatabase(bool askForFirstAddress);
    void applyDatabaseLayout(bool open);
    // The window's size and place (app/TF_Main.cpp): the width of a layout, the address
    // book stretched over the room right of the entry, the keyboard back to the recipient.
    void setLayoutWidth(bool databaseOpen);
    void setSmallestWidth(int width);
    void centreOnScreen();
    void placeAddressBook();
    void focusRecipient();
    bool windowKey(const QKeyEvent& key); // true when the key was the window's
    // The width the window had last with the database open.
    int databaseWidth_ = 0;

    // Print run (app/TF_Main_Print.cpp).
    void connectPrintCommands();
    void connectReportCommands();     // app/TF_Main_Reports.cpp
    void connectPrintSetupCommands(); // app/TF_Main_PrintSetup.cpp
    void connectUtilityCommands();    // app/TF_Main_Utilities.cpp
    void applyStoredPrinter();        // start-up step 7
    // One Print: a batch row or a printed mailer; false when refused. checkAddress: the
    // recipient and sender are checked first, and the user asked what may be wrong.
    bool printOrStore(bool checkAddress = true);
    bool confirmAddresses(); // true when the mailer may take its number
    // For a mass print, which asks nothing per mailer: why the current mailer is left out,
    // empty when it may print.
    QString massPrintAddressRefusal(const TAddressLines& recipient) const;
    bool PrintOneMailer();     // false when the counter refused
    void StoreMailerInBatch();
    void showLabelPosition();
    bool multipleFormsRun_ = false;

    // Mass printing (app/TF_Main_MassPrint.cpp).
    void connectMassPrintCommands();
    void runMassPrintDialog(TF_MassPrint& dialog);
    void makeMassPrintRecipient(const TAddressRec& rec, int listRow);

    // Text files (app/TF_Main_TextFiles.cpp).
    void connectTextFileCommands();
    // True while a 'To Address' database is open; else says so.
    bool toAddressDatabaseOpen();
    // The open dialog and the preview; true when the preview added its rows.
    bool importAddressFile(engine::Query& query, const std::string& table);
    // The save dialog, then the lines written to the file and the message.
    // rowsOutside: the rows that Windows-1252 cannot carry, asked before anything is written.
    void exportTextFile(const std::function<RowsOutsideEncoding()>& rowsOutside,
                        const std::function<void(TextFileWriter&)>& write);

    QStringList arguments_;
    bool argumentsApplied_ = false;
    bool firstShowingPending_ = false;
    bool closing_ = false;
    Settings savedSettings_; // as last written, or found unwritable
    bool savingSettings_ = false;
    bool entryPrinted_ = false;
    TF_About* splash_ = nullptr;
    FieldExits fieldExits_;
};

// The one main window.
extern TF_Main* F_Main;

// What the window's Print takes: the mailer's print data and its log row as the window
// shows them (the recipient of the open address database, or the one typed).
MailerPrintData printDataOfWindow(const TF_Main& w);
MailerLogEntry logEntryOfWindow(const TF_Main& w);
// The window's mailer to another recipient, as a run of many prints it.
RunMailer mailerOfWindowTo(const TF_Main& w, const TAddressLines& recipient);
