#include "printing/TF_ProMailer.h"
#include "widgets/DialogParts.h"

#include "core/Settings.h"
#include "core/datamodule/TdmDovraPro.h"
#include "widgets/ErrorBoundary.h"
#include "widgets/PathLabel.h"
#include "widgets/Services.h"
#include "widgets/TF_NetworkSettings.h"

#include <QCheckBox>
#include <QDesktopServices>
#include <QEvent>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QUrl>
#include <QVBoxLayout>

const QString TF_ProMailer::DirectoryCompanyAddress = QStringLiteral("https://www.dnb.com");

namespace {

constexpr int WindowWidth = 540;
// The path label's width limits: beyond the first its path is cut down to the second.
constexpr int PathLimit = 310;
constexpr int PathTarget = 296;

QLabel* heading(const QString& text, QWidget* parent)
{
    auto label = new QLabel(text, parent);
    QFont bold = label->font();
    bold.setBold(true);
    label->setFont(bold);
    return label;
}

QLabel* helpText(const QString& text, QWidget* parent)
{
    auto label = new QLabel(text, parent);
    label->setWordWrap(true);
    return label;
}

QFrame* panel(const char* name, QWidget* parent)
{
    auto frame = new QFrame(parent);
    frame->setObjectName(name);
    return frame;
}

void setTextColor(QWidget* widget, const QColor& color)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, color);
    widget->setPalette(palette);
}

engine::Table& counterTable()
{
    return dmDovraPro->adstMailerNum;
}

} // namespace

TF_ProMailer::TF_ProMailer(Settings& settings, QWidget* parent) : QDialog(parent), settings_(settings)
{
    setObjectName("F_ProMailer");
    setWindowTitle("Mailer Number");
    buildWindow();
    loadCounter();
    setFixedWidth(WindowWidth);
    adjustSize();
}

TF_ProMailer::~TF_ProMailer()
{
    CloseNumberCounter();
}

bool TF_ProMailer::edit(Settings& settings, QWidget* parent)
{
    TF_ProMailer dialog(settings, parent);
    return dialog.exec() == QDialog::Accepted;
}

void TF_ProMailer::buildWindow()
{
    auto outer = new QVBoxLayout(this);
    auto top = new QHBoxLayout;
    outer->addLayout(top);
    auto left = new QVBoxLayout;
    top->addLayout(left, 1);

    auto database = new QGroupBox("Mailer Number Database", this);
    auto databaseRow = new QHBoxLayout(database);
    labelDatabaseName = new QLabel(database);
    labelDatabaseName->setObjectName("labelDatabaseName");
    setTextColor(labelDatabaseName, Qt::blue);
    labelDatabaseName->setMinimumWidth(PathLimit);
    databaseRow->addWidget(labelDatabaseName, 1);
    btnChangeYourDB = new QPushButton("Change", database);
    btnChangeYourDB->setObjectName("btnChangeYourDB");
    databaseRow->addWidget(btnChangeYourDB);
    left->addWidget(database);

    cbPrintBarCodes = new QCheckBox("Print Bar Codes", this);
    cbPrintBarCodes->setObjectName("cbPrintBarCodes");
    left->addWidget(cbPrintBarCodes);

    panelPrintBarCodes = panel("panelPrintBarCodes", this);
    auto barCodeFields = new QFormLayout(panelPrintBarCodes);
    barCodeFields->setContentsMargins(0, 0, 0, 0);
    editCustID = new WholeTextEdit(panelPrintBarCodes);
    editCustID->setObjectName("editCustID");
    editCustID->setInputMask("999999999"); // nine required digits
    editCustID->setFixedWidth(100);
    barCodeFields->addRow("Mailer ID Number (from post office)", editCustID);
    EditSerialNum = new QLineEdit(panelPrintBarCodes);
    EditSerialNum->setObjectName("EditSerialNum");
    EditSerialNum->setFixedWidth(100);
    EditSerialNum->installEventFilter(this);
    barCodeFields->addRow("Starting Identifier Serial Number", EditSerialNum);
    left->addWidget(panelPrintBarCodes);

    panelNoBarCodes = panel("panelNoBarCodes", this);
    auto noBarCodes = new QVBoxLayout(panelNoBarCodes);
    noBarCodes->setContentsMargins(0, 0, 0, 0);
    auto oldNumber = new QFormLayout;
    editMailerNumOLD = new QLineEdit(panelNoBarCodes);
    editMailerNumOLD->setObjectName("editMailerNumOLD");
    editMailerNumOLD->setInputMask(QString(30, '0')); // up to thirty digits
    oldNumber->addRow("20 Digit Mailer Number", editMailerNumOLD);
    noBarCodes->addLayout(oldNumber);
    rgCountType = new QGroupBox("Count Type", panelNoBarCodes);
    rgCountType->setObjectName("rgCountType");
    auto countTypes = new QHBoxLayout(rgCountType);
    rbIncrement = new QRadioButton("Increment", rgCountType);
    rbIncrement->setObjectName("rbIncrement");
    rbDecrement = new QRadioButton("Decrement", rgCountType);
    rbDecrement->setObjectName("rbDecrement");
    countTypes->addWidget(rbIncrement);
    countTypes->addWidget(rbDecrement);
    countTypes->addStretch(1);
    noBarCodes->addWidget(rgCountType);
    left->addWidget(panelNoBarCodes);
    left->addStretch(1);

    EditMailerNum = new QLineEdit(this);
    EditMailerNum->setObjectName("EditMailerNum");
    EditMailerNum->hide();

    auto buttons = new QVBoxLayout;
    top->addLayout(buttons);
    makeOkCancel(this, btnOK, btnCancel);
    btnHelp = new QPushButton("Help", this);
    btnHelp->setObjectName("btnHelp");
    for (QPushButton* b : {btnOK, btnCancel, btnHelp})
        buttons->addWidget(b);
    buttons->addStretch(1);

    panelBarCode = panel("panelBarCode", this);
    panelBarCode->setFrameShape(QFrame::StyledPanel);
    auto barCodeHelp = new QVBoxLayout(panelBarCode);
    barCodeHelp->setSpacing(2);
    barCodeHelp->addWidget(heading("Customer ID:", panelBarCode));
    barCodeHelp->addWidget(
        helpText("A nine-digit number that identifies your mailing location; each location has its own. "
                 "Ask your postal representative for it, or obtain it from a business directory company:",
                 panelBarCode));
    LabelDnB = new QLabel(DirectoryCompanyAddress, panelBarCode);
    LabelDnB->setObjectName("LabelDnB");
    setTextColor(LabelDnB, Qt::blue);
    QFont underlined = LabelDnB->font();
    underlined.setUnderline(true);
    LabelDnB->setFont(underlined);
    LabelDnB->setCursor(Qt::PointingHandCursor);
    LabelDnB->installEventFilter(this);
    barCodeHelp->addWidget(LabelDnB, 0, Qt::AlignLeft);
    barCodeHelp->addWidget(heading("Identifier Serial Number:", panelBarCode));
    barCodeHelp->addWidget(
        helpText("You assign the serial yourself; it goes up by one with every mailer printed. A serial number must "
                 "remain unique for at least 2 years in order to ensure that it identifies only one mailpiece.",
                 panelBarCode));
    barCodeHelp->addStretch(1);
    outer->addWidget(panelBarCode, 1);

    panelMailerNum = panel("panelMailerNum", this);
    panelMailerNum->setFrameShape(QFrame::StyledPanel);
    auto mailerNumHelp = new QVBoxLayout(panelMailerNum);
    mailerNumHelp->setSpacing(2);
    mailerNumHelp->addWidget(heading("22 Digit Mailer Number:", panelMailerNum));
    mailerNumHelp->addWidget(
        helpText("Without Print Bar Codes the program prints no Mailer Number or bar code, so your forms must carry "
                 "pre-printed bar codes. Enter the number printed on the next form; its Mailer ID and serial "
                 "then become the ones logged for it. Leave the field empty to keep the stored ones.",
                 panelMailerNum));
    mailerNumHelp->addWidget(heading("Increment/Decrement:", panelMailerNum));
    mailerNumHelp->addWidget(
        helpText("Compare the last nine digits of the top form of your pile with those of the form below it. "
                 "If your printer takes paper from the top of the pile, choose Increment when the numbers grow "
                 "downwards; if it takes paper from the bottom, choose Increment when they grow upwards. "
                 "Otherwise choose Decrement.",
                 panelMailerNum));
    mailerNumHelp->addStretch(1);
    outer->addWidget(panelMailerNum, 1);
    panelBarCode->hide();
    panelMailerNum->hide();

    connect(cbPrintBarCodes, &QCheckBox::clicked, this, &TF_ProMailer::cbPrintBarCodesClick);
    connect(btnHelp, &QPushButton::clicked, this, &TF_ProMailer::btnHelpClick);
    connect(btnChangeYourDB, &QPushButton::clicked, this, &TF_ProMailer::btnChangeYourDBClick);
    connect(btnOK, &QPushButton::clicked, this, &TF_ProMailer::btnOKClick);
}

void TF_ProMailer::showDatabaseName()
{
    const QString path = fromStd(engine::tableFile(toStd(settings_.mailerNumLocation()), "MailerNum"));
    labelDatabaseName->setText(ShortenPathFromLeft(path, labelDatabaseName->fontMetrics(), PathLimit, PathTarget));
    labelDatabaseName->setToolTip(path);
}

void TF_ProMailer::loadCounter()
{
    showDatabaseName();
    OpenCounterTableExclusive(settings_);
    try {
        const engine::Table& table = counterTable();
        const QString custId = fromStd(table.asString("CustID"));
        const QString serialNum = fromStd(table.asString("SerialNum"));
        editCustID->setText(custId);
        EditSerialNum->setText(serialNum);
        EditMailerNum->setText(BuildMailerNumber(custId, serialNum, "T"));
        (table.asBoolean("Increment") ? rbIncrement : rbDecrement)->setChecked(true);
        cbPrintBarCodes->setChecked(table.asBoolean("BarCodes"));
    } catch (...) {
        CloseNumberCounter();
        throw;
    }
    cbPrintBarCodesClick();
}

bool TF_ProMailer::helpShown() const
{
    return !btnHelp->isEnabled();
}

void TF_ProMailer::cbPrintBarCodesClick()
{
    numberState_.CustomerId = CustomerIdWithoutDashes(editCustID->text());
    numberState_.Serial = EditSerialNum->text();
    const bool barCodes = cbPrintBarCodes->isChecked();
    panelPrintBarCodes->setVisible(barCodes);
    panelNoBarCodes->setVisible(!barCodes);
    if (barCodes) {
        editCustID->setText(numberState_.CustomerId);
        EditSerialNum->setText(numberState_.Serial);
    } else {
        EditMailerNum->setText(BuildMailerNumber(numberState_.CustomerId, numberState_.Serial, "T"));
    }
    if (helpShown())
        btnHelpClick();
    else if (isVisible())
        adjustSize();
}

void TF_ProMailer::btnHelpClick()
{
    const bool barCodes = cbPrintBarCodes->isChecked();
    panelBarCode->setVisible(barCodes);
    panelMailerNum->setVisible(!barCodes);
    setFixedHeight(barCodes ? HelpHeightBarCodes : HelpHeightNoBarCodes);
    btnHelp->setEnabled(false);
    if (QScreen* screen = this->screen())
        move(screen->availableGeometry().center() - QPoint(frameGeometry().width() / 2, frameGeometry().height() / 2));
}

void TF_ProMailer::LabelDnBClick()
{
    QDesktopServices::openUrl(QUrl(LabelDnB->text()));
}

void TF_ProMailer::EditSerialNumExit()
{
    EditSerialNum->setText(EditSerialNum->text().rightJustified(7, '0').right(7));
}

void TF_ProMailer::btnChangeYourDBClick()
{
    const QString before = settings_.mailerNumDB;
    TF_NetworkSettings::edit(settings_, this);
    if (settings_.mailerNumDB != before) {
        // Without a counter in the new place there is nothing left to edit here.
        if (!guarded([this] { loadCounter(); })) {
            reject();
            return;
        }
    }
    btnOK->setFocus();
}

void TF_ProMailer::btnOKClick()
{
    EditSerialNumExit();
    const bool barCodes = cbPrintBarCodes->isChecked();
    QString custId, serial;
    if (barCodes) {
        custId = CustomerIdWithoutDashes(editCustID->text());
        serial = EditSerialNum->text();
        // Refused here rather than printed later with zeros in their place.
        if (!editCustID->hasAcceptableInput()) {
            MessageService::error("Please enter all nine digits of the Mailer ID Number.", this);
            editCustID->setFocus();
            return;
        }
        if (!IsPlainNumber(serial)) {
            MessageService::error("The Starting Identifier Serial Number may contain digits only.", this);
            EditSerialNum->setFocus();
            return;
        }
    } else if (!editMailerNumOLD->text().isEmpty() && !SplitMailerNumber(editMailerNumOLD->text(), custId, serial)) {
        MessageService::error("Please enter the 22 digits of the Mailer Number printed on the next form, or leave "
                              "the field empty.",
                              this);
        editMailerNumOLD->setFocus();
        return;
    }
    if (!serialClearOfLog(barCodes, custId, serial))
        return;
    const bool written = guarded([&] {
        engine::Table& table = counterTable();
        table.edit();
        table.setBoolean("BarCodes", barCodes);
        if (!custId.isEmpty()) {
            table.setText("CustID", toStd(custId));
            table.setText("SerialNum", toStd(serial));
        }
        table.setBoolean("Increment", rbIncrement->isChecked());
        table.post();
    });
    if (written)
        accept();
}

// The counter never hands out a serial that the log already holds for its Customer ID: where the
// values set would, the next unused serial is proposed, and nothing is stored unless it is taken.
bool TF_ProMailer::serialClearOfLog(bool barCodes, QString& custId, QString& serial)
{
    bool clear = true;
    guarded([&] {
        const engine::Table& table = counterTable();
        const QString id = custId.isEmpty() ? fromStd(table.asString("CustID")) : custId;
        const QString from = custId.isEmpty() ? fromStd(table.asString("SerialNum")).left(7) : serial;
        const SerialDirection direction = CountingDirection(barCodes, rbIncrement->isChecked());
        const LoggedSerials logged = SerialsInLog(settings_.logLocation(), id);
        const QString proposed = UnusedSerialFrom(logged, from, direction);
        if (proposed.isEmpty())
            return;
        clear = false;
        if (!MessageService::confirmYesNo(SerialUsedQuestion(settings_.logLocation(), id, logged, from, proposed),
                                          this))
            return;
        custId = id;
        serial = proposed;
        if (barCodes)
            EditSerialNum->setText(proposed);
        clear = true;
    });
    return clear;
}

void TF_ProMailer::done(int result)
{
    CloseNumberCounter();
    QDialog::done(result);
}

bool TF_ProMailer::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == EditSerialNum && event->type() == QEvent::FocusOut)
        EditSerialNumExit();
    else if (watched == LabelDnB && event->type() == QEvent::MouseButtonRelease &&
             static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton)
        LabelDnBClick();
    return QDialog::eventFilter(watched, event);
}
