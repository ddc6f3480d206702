// Mass printing: the candidates from the address list or the group tree, the dialog, and
// one run of the print run for the checked addresses, each the recipient of one mailer
// that is otherwise the window's entry. The run asks nothing per mailer and ends with one
// summary; in batch mode each address goes through the window's Print instead.
#include "addressbook/AddressBookPanel.h"
#include "addressbook/AddressListModel.h"
#include "addressbook/TF_MassPrint.h"
#include "app/TF_Main.h"
#include "core/AddressCheck.h"
#include "core/datamodule/TdmDovraPro.h"
#include "printing/PrintRun.h"
#include "printing/PrintTarget.h"
#include "printing/ProofArchive.h"
#include "widgets/BusyCursor.h"
#include "widgets/ErrorBoundary.h"
#include "widgets/Services.h"

#include <QAction>
#include <QElapsedTimer>
#include <QHash>
#include <QLabel>
#include <QListView>
#include <QProgressDialog>
#include <QPushButton>
#include <QScopeGuard>
#include <optional>

namespace {

// Runs of this many mailers or more show their progress.
constexpr int kProgressFrom = 10;
// How often the progress is shown, in milliseconds; a Cancel is seen when it is.
constexpr int kProgressEveryMs = 100;

} // namespace

void TF_Main::connectMassPrintCommands()
{
    const auto connectAll = [this](std::initializer_list<QAction*> actions, void (TF_Main::*handler)()) {
        for (QAction* a : actions) {
            a->setEnabled(true);
            connect(a, &QAction::triggered, this,
                    [this, handler] { guarded([this, handler] { (this->*handler)(); }); });
        }
    };
    connectAll({panelDB->tbtnMassPrintAddress, panelDB->miAddressMassPrint}, &TF_Main::tbtnMassPrintAddressClick);
    connectAll({panelDB->tbtnMassPrintGroup, panelDB->miGroupMassPrint}, &TF_Main::tbtnMassPrintGroupClick);
}

void TF_Main::tbtnMassPrintAddressClick()
{
    TF_MassPrint dialog(this);
    const std::vector<TAddressRec>& listed = panelDB->addressModel()->addresses();
    std::vector<bool> selected(listed.size(), false);
    const std::vector<int> selectedRows = panelDB->selectedAddressRows();
    for (int row : selectedRows)
        selected[row] = true;
    for (size_t i = 0; i < listed.size(); ++i)
        dialog.AddMassPrintEntry(listed[i], selectedRows.empty() || selected[i]);
    runMassPrintDialog(dialog);
}

void TF_Main::tbtnMassPrintGroupClick()
{
    bool all = false;
    std::vector<qint32> groupIds;
    for (int node : panelDB->selectedGroupNodes()) {
        if (node == 0)
            all = true;
        else
            groupIds.push_back(panelDB->groupTree().node(node).rec.ID);
    }
    TF_MassPrint dialog(this);
    const std::string sql = massPrintGroupSql(all, groupIds);
    if (!sql.empty())
        for (const TAddressRec& rec : massPrintAddresses(dmDovraPro->adsqToAddress, sql))
            dialog.AddMassPrintEntry(rec, true);
    runMassPrintDialog(dialog);
}

void TF_Main::runMassPrintDialog(TF_MassPrint& dialog)
{
    if (dialog.entries().empty()) {
        MessageService::error(kNoMassPrintAddressesMessage, this);
        return;
    }
    if (dialog.exec() == QDialog::Accepted)
        PrintMarkedAddresses(*dialog.model());
}

// Makes the address the current recipient as selecting it in the list does; an address
// that the list does not show (a group mass print) is set directly.
void TF_Main::makeMassPrintRecipient(const TAddressRec& rec, int listRow)
{
    if (listRow >= 0) {
        panelDB->selectOnlyAddress(listRow);
        return;
    }
    panelDB->lvAddress->clearSelection();
    currentRecipient = rec.address;
    const auto lines = displayLines(rec.address);
    for (int i = 0; i < 5; ++i)
        lblToAddress[i]->setText(lines[i]);
    btnPrint->setEnabled(true);
    miPrint->setEnabled(true);
}

namespace {

// The checks of one mailer of a mass print, before it takes its number: a text refuses it
// with that reason (collected into the summary), empty lets it print. Lines that no
// installed face can draw are asked about, as for a single Print.
QString massPrintCheck(QWidget* parent, const MailerPrintData& data, MailerLayout layout)
{
    const QString question = unprintableLinesQuestion(unprintableLines(data, layout));
    if (question.isEmpty() || MessageService::show(MessageKind::Confirmation, question,
                                                   QMessageBox::Yes | QMessageBox::No, parent) == QMessageBox::Yes)
        return {};
    return QStringLiteral("it holds characters that cannot be printed with the fonts installed on this computer");
}

} // namespace

void TF_Main::PrintMarkedAddresses(const MassPrintModel& entries)
{
    const std::vector<int> selectedRows = panelDB->selectedAddressRows();
    const int earlier = selectedRows.empty() ? -1 : selectedRows.front();
    QHash<qint32, int> listRowOf;
    const std::vector<TAddressRec>& listed = panelDB->addressModel()->addresses();
    for (size_t i = 0; i < listed.size(); ++i)
        listRowOf.insert(listed[i].ID, static_cast<int>(i));
    std::vector<const TAddressRec*> checked;
    for (const MassPrintModel::Entry& e : entries.entries())
        if (e.checked)
            checked.push_back(&e.rec);
    // At the end the address selected before is selected again; without one, the last
    // address printed (or stored) stays the current recipient.
    const TAddressRec* last = nullptr;
    const auto reselect = qScopeGuard([&] {
        if (earlier >= 0 && earlier < panelDB->addressModel()->rowCount())
            panelDB->selectOnlyAddress(earlier);
        else if (last)
            makeMassPrintRecipient(*last, listRowOf.value(last->ID, -1));
    });
    if (settings.batch) {
        // Addresses that fail the checks are left out without a question and named at the end.
        QList<RunRefusal> refusals;
        for (const TAddressRec* rec : checked) {
            if (const QString why = massPrintAddressRefusal(rec->address); !why.isEmpty()) {
                refusals.append({displayLines(rec->address)[0], why});
                continue;
            }
            makeMassPrintRecipient(*rec, listRowOf.value(rec->ID, -1));
            last = rec;
            printOrStore(false); // an error ends the run here
        }
        if (!refusals.isEmpty())
            MessageService::show(MessageKind::Warning, refusalsMessage(refusals), QMessageBox::Ok, this);
        return;
    }
    if (checked.empty())
        return;

    const MailerLayout layout = returnReceiptMode ? MailerLayout::Form : MailerLayout::Label;
    std::vector<RunMailer> mailers;
    mailers.reserve(checked.size());
    for (const TAddressRec* rec : checked)
        mailers.push_back(mailerOfWindowTo(*this, rec->address));
    // One archive for the whole run, so that copies that cannot be kept are told once.
    ProofArchive proofs(settings);
    std::optional<RunOutcome> outcome;
    {
        // A longer run shows its progress from the first mailer; a Cancel takes effect
        // between two mailers, and the questions of the checks open on top of it.
        std::optional<QProgressDialog> progress;
        const int count = static_cast<int>(mailers.size());
        if (count >= kProgressFrom) {
            progress.emplace("Printing mailers ...", "Cancel", 0, count, this);
            progress->setObjectName("progressMassPrint");
            progress->setWindowTitle("Mass Print");
            progress->setWindowModality(Qt::WindowModal);
            progress->setMinimumDuration(0);
            progress->show();
            progress->setValue(0);
        }
        QElapsedTimer sinceShown;
        sinceShown.start();
        RunHooks hooks;
        // The address checks refuse without asking; they come before the question on
        // characters, so that a mailer that cannot go out asks nothing.
        hooks.precheck = [this, layout](const MailerLogEntry& entry, const MailerPrintData& data) {
            const QString why = massPrintAddressRefusal(entry.recipient);
            return why.isEmpty() ? massPrintCheck(this, data, layout) : why;
        };
        hooks.progress = [&](int done, int total) {
            if (!progress)
                return true;
            // Shown a few times a second: each showing lets the window repaint, which
            // for every mailer would cost a good part of a mailer's time.
            if (done == total || sinceShown.hasExpired(kProgressEveryMs)) {
                progress->setValue(done);
                sinceShown.restart();
            }
            return !progress->wasCanceled();
        };
        guarded([&] {
            BusyCursor busy;
            const auto showPosition = qScopeGuard([this] { showLabelPosition(); });
            const auto canvas = openCurrentPrintCanvas();
            outcome = PrintMailers(*canvas, settings, mailers, layout, hooks, &proofs);
        });
    }
    if (outcome && outcome->lastPrinted >= 0)
        last = checked[size_t(outcome->lastPrinted)];
    if (outcome) {
        const bool stopped = !outcome->stop.isEmpty() || !outcome->counterRefusal.isEmpty();
        const MessageKind kind = stopped                        ? MessageKind::Error
                                 : !outcome->refusals.isEmpty() ? MessageKind::Warning
                                                                : MessageKind::Information;
        MessageService::show(kind, massPrintSummary(*outcome), QMessageBox::Ok, this);
    }
    if (!proofs.warning().isEmpty())
        MessageService::show(MessageKind::Warning, proofs.warning(), QMessageBox::Ok, this);
}
