#include "app/TF_Main.h"
#include "addressbook/AddressBookPanel.h"
#include "app/TF_About.h"
#include "core/NumberCounter.h"
#include "core/ProgramFolder.h"
#include "core/SearchText.h"
#include "core/datamodule/Schemas.h"
#include "core/datamodule/TablePageScan.h"
#include "core/datamodule/TdmDovraPro.h"
#include "log/LogImport.h"
#include "widgets/DialogParts.h"
#include "widgets/ErrorBoundary.h"
#include "widgets/ServerPassword.h"
#include "widgets/Services.h"
#include "widgets/WindowGeometry.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QListView>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QScreen>
#include <QTextCursor>
#include <QTimer>

TF_Main* F_Main = nullptr;

namespace {

// A radio pair: exactly one of the two carries the check mark.
void makeRadioPair(QObject* owner, QAction* on, QAction* off)
{
    auto group = new QActionGroup(owner);
    group->setExclusive(true);
    for (QAction* a : {on, off}) {
        a->setCheckable(true);
        group->addAction(a);
    }
}

} // namespace

TF_Main::TF_Main(const QStringList& arguments, TF_About* splash, QWidget* parent)
    : QMainWindow(parent), arguments_(arguments), splash_(splash)
{
    F_Main = this;
    setObjectName("F_Main");
    buildMenus();
    buildWindow();
    startUp();
}

TF_Main::~TF_Main()
{
    fieldExits_.stop();
    qApp->removeEventFilter(this);
    if (F_Main == this)
        F_Main = nullptr;
}

void TF_Main::buildMenus()
{
    QMenuBar* bar = menuBar();
    miFile = bar->addMenu("&File");
    miFile->setObjectName("miFile");
    miOpenToDB = addMenuItem(miFile, "&Open 'To Address' Database", "miOpenToDB");
    miCloseToDB = addMenuItem(miFile, "&Close 'To Address' Database", "miCloseToDB");
    miCloseToDB->setVisible(false);
    miFile->addSeparator();
    miPrint = addMenuItem(miFile, "&Print", "miPrint");
    miPrintBarCodes = addMenuItem(miFile, "Print &Bar Codes", "miPrintBarCodes");
    miPrintMultipleForms = addMenuItem(miFile, "Print &Multiple forms with same Address", "miPrintMultipleForms");
    miFile->addSeparator();
    miExit = addMenuItem(miFile, "&Exit", "miExit");
    connect(miExit, &QAction::triggered, this, &TF_Main::miExitClick);

    QMenu* options = bar->addMenu("&Options");
    options->setObjectName("miOptions");
    miPostageValues = options->addMenu("&Postage Values");
    miPostageValues->setObjectName("miPostageValues");
    miResetValues = addMenuItem(miPostageValues, "&Reset Values", "miResetValues");
    miPostageValues->addSeparator();
    miSaveValues = addMenuItem(miPostageValues, "&Edit Default Values", "miSaveValues");
    miPostageValues->addSeparator();
    QMenu* showValues = miPostageValues->addMenu("&Show Values");
    showValues->setObjectName("miShowValues");
    miShowFeesOn = addMenuItem(showValues, "&On", "miShowFeesOn");
    miShowFeesOff = addMenuItem(showValues, "&Off", "miShowFeesOff");
    makeRadioPair(this, miShowFeesOn, miShowFeesOff);
    connect(miShowFeesOn, &QAction::triggered, this, &TF_Main::miShowFeesOnClick);
    connect(miShowFeesOff, &QAction::triggered, this, &TF_Main::miShowFeesOffClick);
    miMailerNumber = addMenuItem(options, "&Mailer Number", "miMailerNumber");
    connect(miMailerNumber, &QAction::triggered, this, &TF_Main::miMailerNumberClick);
    miSelectYourAddress = addMenuItem(options, "&Select Your Name && Address", "miSelectYourAddress");
    miNetworkSettings = addMenuItem(options, "&Network Settings", "miNetworkSettings");
    miLogFile = addMenuItem(options, "&Log File", "miLogFile");
    miReports = addMenuItem(options, "&Reports", "miReports");
    miTrackIncoming = addMenuItem(options, "&Track Incoming Mailers", "miTrackIncoming");
    miProofCopies = addMenuItem(options, "&Keep Proof Copies", "miProofCopies");
    miProofCopies->setCheckable(true);
    connect(miProofCopies, &QAction::triggered, this, &TF_Main::miProofCopiesClick);
    miCheckAddresses = addMenuItem(options, "&Check Addresses Before Printing", "miCheckAddresses");
    miCheckAddresses->setCheckable(true);
    connect(miCheckAddresses, &QAction::triggered, this, &TF_Main::miCheckAddressesClick);

    QMenu* printing = bar->addMenu("&Printing");
    printing->setObjectName("miPrinting");
    miPrintAlignment = addMenuItem(printing, "Print &Alignment", "miPrintAlignment");
    miPrinterSetup = addMenuItem(printing, "Printer &Setup", "miPrinterSetup");
    miExtraLabel = addMenuItem(printing, "&Extra Label", "miExtraLabel");
    printing->addSeparator();
    QMenu* zeros = printing->addMenu("&Zeros");
    zeros->setObjectName("miZeros");
    miZerosOn = addMenuItem(zeros, "&On", "miZerosOn");
    miZerosOff = addMenuItem(zeros, "&Off", "miZerosOff");
    makeRadioPair(this, miZerosOn, miZerosOff);
    connect(miZerosOn, &QAction::triggered, this, &TF_Main::miZerosOnClick);
    connect(miZerosOff, &QAction::triggered, this, &TF_Main::miZerosOffClick);
    printing->addSeparator();
    QMenu* batch = printing->addMenu("&Batch Mode");
    batch->setObjectName("miBatchMode");
    miBatchOn = addMenuItem(batch, "&On", "miBatchOn");
    miBatchOff = addMenuItem(batch, "O&ff", "miBatchOff");
    makeRadioPair(this, miBatchOn, miBatchOff);
    connect(miBatchOn, &QAction::triggered, this, &TF_Main::miBatchOnClick);
    connect(miBatchOff, &QAction::triggered, this, &TF_Main::miBatchOffClick);
    batch->addSeparator();
    miPrintBatch = addMenuItem(batch, "&Print Batch Entries", "miPrintBatch");
    miClearBatch = addMenuItem(batch, "&Clear Batch Entries", "miClearBatch");

    QMenu* utilities = bar->addMenu("&Utilities");
    utilities->setObjectName("miUtilities");
    QMenu* textFiles = utilities->addMenu("&Text Files");
    textFiles->setObjectName("miTextFiles");
    miToTextFiles = textFiles->addMenu("&To Address");
    miToTextFiles->setObjectName("miToTextFiles");
    miToTextFiles->setEnabled(false);
    miToImport = addMenuItem(miToTextFiles, "&Import", "miToImport");
    miToExport = addMenuItem(miToTextFiles, "&Export", "miToExport");
    QMenu* yourText = textFiles->addMenu("&Your Name && Address Text Files");
    yourText->setObjectName("miYourTextFiles");
    miYourImport = addMenuItem(yourText, "&Import", "miYourImport");
    miYourExport = addMenuItem(yourText, "&Export", "miYourExport");
    QMenu* logText = textFiles->addMenu("&Log File");
    logText->setObjectName("miLogTextFiles");
    miLogExport = addMenuItem(logText, "&Export", "miLogExport");
    QMenu* importLog = utilities->addMenu("&Import Log File");
    importLog->setObjectName("miImportLogFile");
    miImportPro25 = addMenuItem(importLog, "&Dovra Pro 2.5 ", "miImportPro25");
    miImport3 = addMenuItem(importLog, "D&ovra 3 or Dovra 3 lite", "miImport3");
    miImportPro3 = addMenuItem(importLog, "Dovra 3 &Pro", "miImportPro3");
    Track = addMenuItem(utilities, "Track Item", "Track");
    utilities->addSeparator();
    miBackUp = addMenuItem(utilities, "&Back Up\u2026", "miBackUp");
    miRestore = addMenuItem(utilities, "&Restore\u2026", "miRestore");

    QMenu* help = bar->addMenu("&Help");
    help->setObjectName("miHelp");
    miOrderSupplies = addMenuItem(help, "&Order Supplies", "miOrderSupplies");
    miTechSupport = addMenuItem(help, "&Technical Support", "miTechSupport");
    help->addSeparator();
    miAbout = addMenuItem(help, "&About", "miAbout");
    for (QAction* a : {miOrderSupplies, miTechSupport, miAbout})
        connect(a, &QAction::triggered, this, &TF_Main::miAboutClick);

    connectLogCommands();
}

void TF_Main::buildWindow()
{
    central = new QWidget(this);
    central->setObjectName("central");
    setCentralWidget(central);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(192, 220, 192));
    setPalette(pal);
    central->setAutoFillBackground(true);

    imageBanner = new QLabel(central);
    imageBanner->setObjectName("imageBanner");
    imageBanner->setPixmap(TF_About::bannerPicture());
    imageBanner->setGeometry(8, 6, 220, 50);
    imageCompany = new QLabel(central);
    imageCompany->setObjectName("imageCompany");
    imageCompany->setPixmap(TF_About::companyPicture());
    imageCompany->setGeometry(30, 63, 197, 97);

    gbYour = new QGroupBox("Your Name and Address", central);
    gbYour->setObjectName("gbYour");
    gbYour->setGeometry(244, 2, 317, 96);
    gbYour->setFocusPolicy(Qt::StrongFocus);
    btnSelectYourAddress = new QPushButton("Select", gbYour);
    btnSelectYourAddress->setObjectName("btnSelectYourAddress");
    btnSelectYourAddress->setGeometry(252, 12, 58, 22);
    for (int i = 0; i < 5; ++i) {
        lblYourAddress[i] = new QLabel(gbYour);
        lblYourAddress[i]->setObjectName(QString("lblYourAddress%1").arg(i + 1));
        lblYourAddress[i]->setGeometry(8, 16 + i * 15, 240, 15);
    }
    buildEntryArea();
    connectSenderCommands();
    connectPrintCommands();
    connectTextFileCommands();
    connectReportCommands();
    connectPrintSetupCommands();
    connectUtilityCommands();
    buildAddressBook();
    btnPrint->setToolTip(QKeySequence(QKeySequence::Print).toString(QKeySequence::NativeText));
    qApp->installEventFilter(this);
}

// ---- start-up ----------------------------------------------------------------------------

void TF_Main::startUp()
{
    // 1
    returnReceiptMode = true;
    confirmSentToPrinter = true;
    argumentsApplied_ = false;
    // 2, 3
    programFolder = programfolder::path();
    dmDovraPro->AdsConnection1.disconnect();
    dmDovraPro->AdsConnection1.path = programFolder + "/";
    dmDovraPro->AdsConnection1.connect();
    qApp->setProperty("helpFile", programfolder::sideFile("Dovra3Pro.hlp"));
    dmDovraPro->adsqZipCodes.setFolder(toStd(programfolder::sideFolder("ZIPCODES.adt")));
    dmDovraPro->reportProjectFile = programfolder::sideFile("Dovra3pro.rav");
    // 4, 5
    LoadSettings();
    setWindowTitle(QApplication::applicationDisplayName());
    // 6
    if (settings.company == "Ostrel") {
        QPixmap logo;
        if (logo.load(programFolder + "/Scr_logo.bmp")) {
            imageCompany->setPixmap(logo);
            imageCompany->setScaledContents(true);
            imageCompany->setGeometry(30, 63, 197, 97);
        }
    }
    // 7
    applyStoredPrinter();
    // 8
    QDir().mkpath(programFolder + "/Addresses");
    QDir().mkpath(programFolder + "/Log");
    // 9 .. 15
    for (QLabel* l : lblYourAddress)
        l->clear();
    // Tables on a database server: its password asked for now, when it wants one no one gave.
    guarded([this] { connectAtStart(settings, this); });
    createMissingTables();
    startLogPageScan();
    // 16
    rememberedSearchText.clear();
    // 17: centred, unless the window is remembered where a screen shows it
    resize(kClosedWidth, height());
    databaseWidth_ = settings.databaseOn ? settings.mainWindow.rect.width() : 0;
    if (!restorePlacement(this, settings.mainWindow))
        centreOnScreen();
    // 18
    if (splash_)
        splash_->waitForSplashTimer();
    // 19
    firstShowingPending_ = true;
}

// A table that cannot be made (a shared folder gone, a table in use) is reported and the
// remaining steps still run, so the window starts with its fees and modes in place.
void TF_Main::createMissingTables()
{
    // 10
    guarded([this] {
        if (!dmDovraPro->EnsureTable(settings.yourAddressLocation(), "YourAddress", schema::YourAddress))
            loadCurrentSender();
    });
    // 11, 12
    guarded([this] { dmDovraPro->EnsureTable(settings.logLocation(), "Log37", schema::Log37); });
    dmDovraPro->adstLog.close();
    dmDovraPro->adstLog.setFolder(toStd(settings.logLocation()));
    dmDovraPro->adstLog.setTableName("Log37");
    // An import of an earlier log that was stopped says so once.
    guarded([this] {
        if (const QString stopped = TakeStoppedLogImport(settings.logDB); !stopped.isEmpty())
            MessageService::show(MessageKind::Warning, stopped, QMessageBox::Ok, this);
    });
    // 13
    guarded([this] { settings.showValues ? miShowFeesOnClick() : miShowFeesOffClick(); });
    // 14
    guarded([this] {
        if (dmDovraPro->EnsureTable(settings.mailerNumLocation(), "MailerNum", schema::MailerNum) &&
            LogHoldsPrintedMailers(settings.logLocation()))
            MessageService::information(CounterMadeAnewMessage(settings.mailerNumLocation()), this);
    });
    // 15
    settings.batch ? miBatchOnClick() : miBatchOffClick();
}

// A log too large to read whole at start is read in slices while the window is idle; a damaged
// page found refuses printing into it from then on.
void TF_Main::startLogPageScan()
{
    if (TdmDovraPro::PagesReadAtStart(settings.logLocation(), "Log37"))
        return;
    auto scan = new TablePageScan(settings.logDB, "Log37", this);
    connect(scan, &TablePageScan::damaged, this, [this](const QString& message) { MessageService::error(message, this); });
    scan->start();
}

void TF_Main::loadCurrentSender()
{
    if (settings.yourAddressID.isEmpty())
        return;
    auto id = engine::tryInt32(toStd(settings.yourAddressID));
    if (!id)
        return; // a key that is not a number matches no row
    engine::Query& q = dmDovraPro->adsqYourAddress;
    q.close();
    q.setFolder(toStd(settings.yourAddressLocation()));
    q.setSql("select * from YourAddress where A_ID = " + std::to_string(*id));
    q.open();
    if (!q.eof()) {
        for (int i = 0; i < 4; ++i)
            currentSender.address[i] = fromStd(q.asString("Address" + std::to_string(i + 1)));
        currentSender.city = fromStd(q.asString("City"));
        currentSender.state = fromStd(q.asString("State"));
        currentSender.zip = fromStd(q.asString("Zip"));
        showCurrentSender();
    }
    q.close();
}

void TF_Main::LoadSettings()
{
    settings = Settings::load(settingsFilePath(programFolder), programFolder);
    QPixmap logo;
    const bool logoLoaded = settings.company.isEmpty() && logo.load(programFolder + "/Scr_logo.bmp");
    settings.settleBranding(logoLoaded);
    EDPosRow->setText(QString::number(settings.labelRow + 1));
    EDPosCol->setText(QString::number(settings.labelCol + 1));
    (settings.zeros ? miZerosOn : miZerosOff)->setChecked(true);
    miProofCopies->setChecked(settings.proofCopies);
    miCheckAddresses->setChecked(settings.checkAddresses);
    savedSettings_ = settings;
}

void TF_Main::SaveSettings()
{
    settings.zeros = miZerosOn->isChecked();
    // What cannot be written is not tried again until it changes, and the message about it
    // does not come back while it is shown.
    savedSettings_ = settings;
    const QScopedValueRollback saving(savingSettings_, true);
    const QString error = settings.save(settingsFilePath(programFolder));
    if (!error.isEmpty())
        MessageService::error(error, this);
}

void TF_Main::saveSettingsIfChanged()
{
    if (!savingSettings_ && !closing_ && settings != savedSettings_)
        SaveSettings();
}

// ---- first showing ---------------------------------------------------------------------------

void TF_Main::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    // Restoring the minimized window is no new showing: the typed recipient stays.
    if (event->spontaneous())
        return;
    if (!argumentsApplied_ || arguments_.isEmpty())
        applyCommandLineArguments();
    if (firstShowingPending_) {
        firstShowingPending_ = false;
        // The steps open modal windows: run them once the window is on screen.
        QTimer::singleShot(0, this, [this] { guarded([this] { firstShowing(); }); });
    }
}

void TF_Main::firstShowing()
{
    if (splash_) {
        splash_->close();
        splash_->deleteLater();
        splash_ = nullptr;
    }
    guarded([this] { firstShowingSelectSender(); });
    guarded([this] { firstShowingBarCodeNotice(); });
    guarded([this] { firstShowingCheckCustomerId(); });
    guarded([this] { firstShowingReopenDatabase(); });
    for (QWidget* w : {static_cast<QWidget*>(LabelLabel), static_cast<QWidget*>(LabelEnvelope)}) {
        w->hide();
        w->setEnabled(false);
    }
    // The dialogs above may have held the keyboard: give it back, to the recipient.
    activateWindow();
    if (memoToAddress->isVisible())
        memoToAddress->setFocus();
}

// ---- closing -------------------------------------------------------------------------------

void TF_Main::miExitClick() { close(); }

void TF_Main::miAboutClick()
{
    TF_About about(TF_About::Mode::About, settings.company, this);
    about.exec();
}

void TF_Main::closeEvent(QCloseEvent* event)
{
    if (!closing_) {
        closing_ = true;
        settings.mainWindow = placementOf(this);
        SaveSettings();
        dmDovraPro->CloseTables();
    }
    event->accept();
}

// Escape anywhere in the main window (not in a dialog above it) ends the program.
bool TF_Main::eventFilter(QObject* watched, QEvent* event)
{
    // Whatever the last event's handler changed is on disk before the next event is handled.
    saveSettingsIfChanged();
    if (watched == central && event->type() == QEvent::Resize)
        placeAddressBook();
    if (event->type() == QEvent::KeyPress) {
        auto w = qobject_cast<QWidget*>(watched);
        if (w && w->window() == this && !QApplication::activeModalWidget()) {
            const auto key = static_cast<QKeyEvent*>(event);
            if (key->key() == Qt::Key_Escape) {
                QTimer::singleShot(0, this, &TF_Main::close);
                return true;
            }
            if (windowKey(*key))
                return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

// ---- size, place and keyboard ----------------------------------------------------------------

// A layout's width, or, with the database open, the larger width the user gave the window
// then; after a change of width the window is centred again. A maximised window stays so.
void TF_Main::setLayoutWidth(bool databaseOpen)
{
    const int layoutWidth = databaseOpen ? kOpenWidth : kClosedWidth;
    const int width = databaseOpen ? std::max(layoutWidth, databaseWidth_) : layoutWidth;
    // The smallest width follows the layout, lowered before the window narrows and raised
    // after it widens, so that the change of width is the window's own.
    if (!databaseOpen)
        setSmallestWidth(layoutWidth);
    if (!isMaximized() && !isFullScreen() && width != this->width()) {
        resize(width, height());
        centreOnScreen();
    }
    setSmallestWidth(layoutWidth);
}

void TF_Main::setSmallestWidth(int width)
{
    central->setMinimumWidth(width);
    layout()->activate(); // the window's own smallest size follows at once
}

void TF_Main::centreOnScreen()
{
    if (const QScreen* s = screen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(s->availableGeometry().center());
        move(frame.topLeft());
    }
}

// The address book takes the room right of the entry area, whatever the window's size.
void TF_Main::placeAddressBook()
{
    constexpr int left = 560, rightMargin = kOpenWidth - left - 195;
    panelDB->setGeometry(left, 0, std::max(0, central->width() - left - rightMargin), central->height());
    if (panelDB->isHidden())
        return;
    panelDB->showDatabaseName(settings.addressDB); // a wider label shows more of the path
    if (!isMaximized() && !isFullScreen())
        databaseWidth_ = width();
}

void TF_Main::focusRecipient()
{
    if (!panelDB->isHidden()) {
        panelDB->lvAddress->setFocus();
        return;
    }
    // The lines selected from the end back to the start of the first line: typing replaces
    // them, and Tab then takes City, State and ZIP, each selected in turn.
    memoToAddress->setFocus();
    QTextCursor cursor = memoToAddress->textCursor();
    cursor.movePosition(QTextCursor::End);
    cursor.movePosition(QTextCursor::Start, QTextCursor::KeepAnchor);
    memoToAddress->setTextCursor(cursor);
}

// Keys anywhere in the window. Ctrl+P presses the Print button, and does nothing while the
// button is disabled (no address chosen, or a mailer printed and the entry not changed
// since), so it never prints what the button would not. Ctrl+F and F3 find in the open
// database's address list; in the list and the group tree they are the list's and the
// tree's own keys, which come first.
bool TF_Main::windowKey(const QKeyEvent& key)
{
    if (key.matches(QKeySequence::Print)) {
        if (btnPrint->isEnabled())
            btnPrint->click();
        return true;
    }
    if (panelDB->isHidden())
        return false;
    const Qt::KeyboardModifiers modifiers = key.modifiers() & ~Qt::KeypadModifier;
    if (key.matches(QKeySequence::Find)) {
        guarded([this] { panelDB->tbtnFindAddressClick(); });
        return true;
    }
    if (key.key() == Qt::Key_F3 && modifiers == Qt::NoModifier) {
        if (!rememberedSearchText.trimmed().isEmpty())
            guarded([this] { panelDB->FindNextAddress(); });
        return true;
    }
    return false;
}
