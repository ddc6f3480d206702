// The print run of the main window: Print, batch mode, multiple forms.
#include "app/TF_Main.h"
#include "core/AddressCheck.h"
#include "core/ZipLookup.h"
#include "engine/Engine.h"
#include "printing/PrintRun.h"
#include "printing/PrintTarget.h"
#include "printing/TF_NumLabels.h"
#include "widgets/BusyCursor.h"
#include "widgets/ButtonDialog.h"
#include "widgets/ErrorBoundary.h"
#include "widgets/Services.h"

#include <QAction>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <optional>

namespace {

// While an address database is open, the recipient is the address selected there.
bool recipientFromDatabase(const TF_Main& w)
{
    return !w.gbToDB->isHidden();
}

TAddressLines recipientOfWindow(const TF_Main& w)
{
    return recipientFromDatabase(w) ? w.currentRecipient : w.typedRecipient();
}

// The sender box shows a sender.
bool senderChosen(const TF_Main& w)
{
    for (const QString& line : displayLines(w.currentSender))
        if (!line.trimmed().isEmpty())
            return true;
    return false;
}

AddressCheck checkWindowAddresses(const TF_Main& w)
{
    return checkAddressBeforeNumber(recipientOfWindow(w), senderChosen(w), zipCodesTable());
}

// Before a mailer takes its number (or its batch row): lines holding characters that no
// installed face can draw are named, and the user chooses whether to go on.
bool confirmPrintableText(TF_Main& w)
{
    const QString question = unprintableLinesQuestion(
        unprintableLines(printDataOfWindow(w), w.returnReceiptMode ? MailerLayout::Form : MailerLayout::Label));
    return question.isEmpty() || MessageService::show(MessageKind::Confirmation, question,
                                                      QMessageBox::Yes | QMessageBox::No, &w) == QMessageBox::Yes;
}

} // namespace

MailerPrintData printDataOfWindow(const TF_Main& w)
{
    MailerPrintData data;
    for (int i = 0; i < 5; ++i)
        data.senderLines[i] = w.lblYourAddress[i]->text();
    data.senderZip = w.currentSender.zip;
    if (recipientFromDatabase(w)) {
        for (int i = 0; i < 5; ++i)
            data.recipientLines[i] = w.lblToAddress[i]->text();
        data.recipientZip = w.currentRecipient.zip;
    } else {
        const TAddressLines typed = w.typedRecipient();
        data.recipientLines = displayLines(typed);
        data.recipientZip = typed.zip;
    }
    data.re = w.editRe->text().left(25);
    data.comment = w.editComment->text();
    data.department = w.editDepartment->text();
    data.processedBy = w.editProcessedBy->text();
    data.postage = w.editPostage->text();
    data.certifiedFee = w.editCertFee->text();
    data.returnFee = w.editReturn->text();
    data.restrictedFee = w.editRestricted->text();
    data.total = w.editTotal->text();
    applyPrintSettings(data, w.settings);
    return data;
}

MailerLogEntry logEntryOfWindow(const TF_Main& w)
{
    MailerLogEntry entry;
    entry.recipient = recipientOfWindow(w);
    entry.sender = w.currentSender;
    entry.postage = w.editPostage->text();
    entry.certified = w.editCertFee->text();
    entry.returnFee = w.editReturn->text();
    entry.restricted = w.editRestricted->text();
    entry.total = w.editTotal->text();
    entry.department = w.editDepartment->text();
    entry.processedBy = w.editProcessedBy->text();
    entry.re = w.editRe->text();
    entry.comment = w.editComment->text();
    entry.wishRest = w.cbRestricted->isChecked();
    return entry;
}

RunMailer mailerOfWindowTo(const TF_Main& w, const TAddressLines& recipient)
{
    RunMailer mailer{printDataOfWindow(w), logEntryOfWindow(w)};
    mailer.data.recipientLines = displayLines(recipient);
    mailer.data.recipientZip = recipient.zip;
    mailer.entry.recipient = recipient;
    return mailer;
}

void TF_Main::connectPrintCommands()
{
    connect(btnPrint, &QPushButton::clicked, this, &TF_Main::btnPrintClick);
    connect(miPrint, &QAction::triggered, this, &TF_Main::btnPrintClick);
    connect(miPrintMultipleForms, &QAction::triggered, this, &TF_Main::miPrintMultipleFormsClick);
    connect(miPrintBatch, &QAction::triggered, this, &TF_Main::miPrintBatchClick);
    connect(miClearBatch, &QAction::triggered, this, &TF_Main::miClearBatchClick);
}

void TF_Main::applyStoredPrinter()
{
    if (settings.pTray == 0)
        return;
    const QString error = SelectStoredPrinter(settings.printer, settings.pTray);
    if (!error.isEmpty())
        MessageService::error(error, this);
}

void TF_Main::miBatchOnClick()
{
    settings.batch = true;
    miBatchOn->setChecked(true);
    btnPrint->setText("&Batch");
    miPrint->setText("&Print to Batch");
    miPrintBatch->setEnabled(true);
    miClearBatch->setEnabled(true);
}

void TF_Main::miBatchOffClick()
{
    settings.batch = false;
    miBatchOff->setChecked(true);
    btnPrint->setText("&Print");
    miPrint->setText("&Print");
    miPrintBatch->setEnabled(false);
    miClearBatch->setEnabled(false);
}

bool TF_Main::btnPrintClick()
{
    bool done = false;
    guarded([&] { done = printOrStore(); });
    // The next mailer starts at its recipient; a refused one leaves the keyboard at the fault.
    if (done)
        focusRecipient();
    return done;
}

bool TF_Main::printOrStore(bool checkAddress)
{
    // A sender on a database server that the start could not read (the server away then) is
    // read now.
    if (!senderChosen(*this) && !settings.yourAddressID.isEmpty() && settings.onServer()) {
        try {
            loadCurrentSender();
        } catch (const engine::EngineError& e) {
            throw engine::EngineError(std::string(e.what()) +
                                      "\n\nNothing has been printed; no Mailer Number was used.");
        }
    }
    // A run of several forms of one entry asks once, before the first.
    if (!multipleFormsRun_ && checkAddress && !confirmAddresses())
        return false;
    if (!multipleFormsRun_ && !confirmPrintableText(*this))
        return false;
    if (settings.batch) {
        StoreMailerInBatch();
        return true;
    }
    return PrintOneMailer();
}

bool TF_Main::PrintOneMailer()
{
    PrintOutcome outcome;
    ProofArchive proofs(settings);
    {
        BusyCursor busy;
        // A label used by a mailer whose bookkeeping failed is still used.
        const auto showPosition = qScopeGuard([this] { showLabelPosition(); });
        const auto canvas = openCurrentPrintCanvas();
        outcome =
            PrintMailer(*canvas, settings, printDataOfWindow(*this),
                        returnReceiptMode ? MailerLayout::Form : MailerLayout::Label, logEntryOfWindow(*this), &proofs);
    }
    if (!outcome.printed()) {
        MessageService::error(outcome.refusal, this);
        return false;
    }
    if (!proofs.warning().isEmpty())
        MessageService::show(MessageKind::Warning, proofs.warning(), QMessageBox::Ok, this);
    // The notice comes after the counter and the log are written, so nobody waits on the
    // counter while it is open.
    if (!confirmSentToPrinter)
        MarkEntryPrinted();
    else if (ButtonDialog("Printing", sentToPrinterMessage(outcome.number), {"&Do not show this screen again", "&OK"},
                          this) == 1)
        confirmSentToPrinter = false;
    return true;
}

void TF_Main::StoreMailerInBatch()
{
    BusyCursor busy;
    ::StoreMailerInBatch(settings, logEntryOfWindow(*this));
    MessageService::information(BatchStoredMessage, this);
}

void TF_Main::miProofCopiesClick()
{
    settings.proofCopies = miProofCopies->isChecked();
}

void TF_Main::miCheckAddressesClick()
{
    settings.checkAddresses = miCheckAddresses->isChecked();
}

bool TF_Main::confirmAddresses()
{
    if (!settings.checkAddresses)
        return true;
    const AddressCheck check = checkWindowAddresses(*this);
    if (check.passed())
        return true;
    if (check.refused()) {
        MessageService::error(addressRefusalMessage(check), this);
        return false;
    }
    // The table's city and state go into a typed recipient only: an address of the address
    // book is changed there, so that the log keeps what the book holds.
    const bool offer = check.tablePlace && !recipientFromDatabase(*this);
    QStringList answers = {"&Yes", "&No"}; // closing the question answers No
    if (offer)
        answers << offerCaption(*check.tablePlace);
    const int answer = ButtonDialog("Check Address", printAnywayQuestion(check, offer), answers, this);
    if (answer == 3) {
        editToCity->setText(check.tablePlace->city);
        editToState->setText(check.tablePlace->state);
        btnPrint->setFocus();
    }
    return answer == 1;
}

QString TF_Main::massPrintAddressRefusal(const TAddressLines& recipient) const
{
    return settings.checkAddresses
               ? massPrintRefusal(checkAddressBeforeNumber(recipient, senderChosen(*this), zipCodesTable()))
               : QString();
}

void TF_Main::showLabelPosition()
{
    EDPosRow->setText(QString::number(settings.labelRow + 1));
    EDPosCol->setText(QString::number(settings.labelCol + 1));
}

void TF_Main::miPrintBatchClick()
{
    ProofArchive proofs(settings);
    std::optional<BatchOutcome> outcome;
    guarded([&] {
        BusyCursor busy;
        const auto showPosition = qScopeGuard([this] { showLabelPosition(); });
        const auto canvas = openCurrentPrintCanvas();
        outcome = PrintBatch(*canvas, settings, returnReceiptMode ? MailerLayout::Form : MailerLayout::Label, &proofs);
    });
    // Shown on every way out, after an error that ended the run too.
    if (!proofs.warning().isEmpty())
        MessageService::show(MessageKind::Warning, proofs.warning(), QMessageBox::Ok, this);
    if (!outcome)
        return;
    if (outcome->empty)
        MessageService::error(NoBatchRecordsMessage, this);
    else if (!outcome->refusal.isEmpty())
        MessageService::error(outcome->refusal, this);
    else
        MessageService::information(batchPrintedMessage(*outcome), this);
}

void TF_Main::miClearBatchClick()
{
    if (MessageService::show(MessageKind::Information, ClearBatchQuestion, QMessageBox::Yes | QMessageBox::No, this) !=
        QMessageBox::Yes)
        return;
    guarded([this] { ClearBatch(settings); });
}

void TF_Main::miPrintMultipleFormsClick()
{
    bool addressConfirmed = false;
    if (!guarded([&] { addressConfirmed = confirmAddresses(); }) || !addressConfirmed)
        return;
    const std::optional<int> count = TF_NumLabels::ask(this);
    if (!count || !confirmPrintableText(*this))
        return;
    ProofArchive proofs(settings);
    bool completed = false;
    if (settings.batch) {
        guarded([&] {
            BusyCursor busy;
            multipleFormsRun_ = true;
            const auto clearFlag = qScopeGuard([this] { multipleFormsRun_ = false; });
            for (int i = 0; i < *count; ++i)
                printOrStore();
            completed = true; // not reached when an error ends the run
        });
    } else {
        // One run of the print run: labels fill the sheet in one job, no notice per mailer.
        std::optional<RunOutcome> outcome;
        guarded([&] {
            BusyCursor busy;
            const auto showPosition = qScopeGuard([this] { showLabelPosition(); });
            const std::vector<RunMailer> mailers(size_t(*count),
                                                 RunMailer{printDataOfWindow(*this), logEntryOfWindow(*this)});
            const auto canvas = openCurrentPrintCanvas();
            outcome = PrintMailers(*canvas, settings, mailers,
                                   returnReceiptMode ? MailerLayout::Form : MailerLayout::Label, {}, &proofs);
        });
        completed = outcome && outcome->printed == *count;
        if (outcome && !completed)
            MessageService::error(runStoppedMessage(*outcome), this);
    }
    // The mailers printed before an error that ended the run are told of too.
    if (!proofs.warning().isEmpty())
        MessageService::show(MessageKind::Warning, proofs.warning(), QMessageBox::Ok, this);
    if (completed)
        MessageService::information(multipleFormsMessage(*count), this);
}
