// The main window: one mailer composed on the left and middle, the sender above, the
// address book to the right (outside the window until a database is open).
#pragma once

#include "app/Settings.h"

#include <QMainWindow>
#include <QStringList>

class QAction;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class TF_About;

// The seven address fields of a sender or recipient.
struct TAddressLines {
    QString address[4];
    QString city, state, zip;
};

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

    // ---- shell -------------------------------------------------------------------------
    QWidget* central = nullptr;
    QLabel* imageBanner = nullptr;
    QLabel* imageCompany = nullptr;

    QMenu* miFile = nullptr;
    QAction* miOpenToDB = nullptr;
    QAction* miCloseToDB = nullptr;
    QAction* miPrint = nullptr;
    QAction* miPrintBarCodes = nullptr;
    QAction* miPrintMultiple = nullptr;
    QAction* miExit = nullptr;
    QMenu* miPostageValues = nullptr;
    QAction* miResetValues = nullptr;
    QAction* miEditDefaultValues = nullptr;
    QAction* miShowFeesOn = nullptr;
    QAction* miShowFeesOff = nullptr;
    QAction* miMailerNumber = nullptr;
    QAction* miSelectYourAddress = nullptr;
    QAction* miNetworkSettings = nullptr;
    QAction* miLogFile = nullptr;
    QAction* miReports = nullptr;
    QAction* miTrackIncoming = nullptr;
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
    QAction* miToAddressImport = nullptr;
    QAction* miToAddressExport = nullptr;
    QAction* miYourAddressImport = nullptr;
    QAction* miYourAddressExport = nullptr;
    QAction* miLogExport = nullptr;
    QAction* miImportDovra25 = nullptr;
    QAction* miImportDovra3 = nullptr;
    QAction* miImportDovra3Pro = nullptr;
    QAction* Track = nullptr;
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
    QLabel* lblToAddress[5] = {};
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

public slots:
    // shell
    void miExitClick();
    void miAboutClick();
    // entry (entry/TF_Main_Entry.cpp)
    void miShowFeesOnClick();
    void miShowFeesOffClick();
    void miZerosOnClick();
    void miZerosOffClick();
    // print run (entry/TF_Main_Print.cpp)
    void miBatchOnClick();
    void miBatchOffClick();
    // sender box (entry/TF_Main_Sender.cpp): the button and Options -> Select Your Name & Address
    void btnSelectYourAddressClick();
    // shared data locations (entry/TF_Main_Sender.cpp)
    void miNetworkSettingsClick();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildMenus();
    void buildWindow();
    void buildEntryArea();        // entry/TF_Main_Entry.cpp
    void applyCommandLineArguments(); // entry/TF_Main_Entry.cpp
    void startUp();
    void firstShowing();
    void createMissingTables();
    void loadCurrentSender();

    // First-showing steps that open other windows, each in the file of the window it opens.
    void firstShowingSelectSender();     // entry/TF_Main_Sender.cpp
    void connectSenderCommands();        // entry/TF_Main_Sender.cpp
    void firstShowingBarCodeNotice();    // entry/TF_Main_Entry.cpp
    void firstShowingCheckCustomerId();  // entry/TF_Main_MailerNumber.cpp
    void firstShowingReopenDatabase();   // address book

    QStringList arguments_;
    bool argumentsApplied_ = false;
    bool firstShowingPending_ = false;
    bool closing_ = false;
    TF_About* splash_ = nullptr;
};

// The one main window.
extern TF_Main* F_Main;
