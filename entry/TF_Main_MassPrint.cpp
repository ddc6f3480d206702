// Mass printing: the candidates from the address list or the group tree, the dialog, and
// one ordinary Print per checked address with that address as the current recipient.
#include "addressbook/AddressBookPanel.h"
#include "addressbook/AddressListModel.h"
#include "addressbook/TF_MassPrint.h"
#include "app/ErrorBoundary.h"
#include "app/Services.h"
#include "app/datamodule/TdmDovraPro.h"
#include "entry/AddressCheck.h"
#include "entry/TF_Main.h"
#include "printing/ProofArchive.h"

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

void TF_Main::PrintMarkedAddresses(const MassPrintModel& entries)
{
    const std::vector<int> selectedRows = panelDB->selectedAddressRows();
    const int earlier = selectedRows.empty() ? -1 : selectedRows.front();
    QHash<qint32, int> listRowOf;
    const std::vector<TAddressRec>& listed = panelDB->addressModel()->addresses();
    for (size_t i = 0; i < listed.size(); ++i)
        listRowOf.insert(listed[i].ID, static_cast<int>(i));
    int checked = 0;
    for (const MassPrintModel::Entry& e : entries.entries())
        checked += e.checked ? 1 : 0;

    // One archive for the whole run, so that copies that cannot be kept are told once.
    ProofArchive proofs(settings);
    // Mailers whose addresses fail the checks are left out and told of at the end.
    QList<RefusedMailer> refused;
    {
        // A longer run shows its progress from the start, so that the print run's notices
        // open on top of it and a Cancel takes effect between two mailers.
        std::optional<QProgressDialog> progress;
        if (checked >= kProgressFrom) {
            progress.emplace("Printing mailers ...", "Cancel", 0, checked, this);
            progress->setObjectName("progressMassPrint");
            progress->setWindowTitle("Mass Print");
            progress->setWindowModality(Qt::WindowModal);
            progress->setMinimumDuration(0);
            progress->show();
            progress->setValue(0);
        }
        runProofs_ = &proofs;
        const auto finish = qScopeGuard([&] {
            runProofs_ = nullptr;
            if (earlier >= 0 && earlier < panelDB->addressModel()->rowCount())
                panelDB->selectOnlyAddress(earlier);
        });
        int done = 0;
        QElapsedTimer sinceShown;
        sinceShown.start();
        for (const MassPrintModel::Entry& e : entries.entries()) {
            if (!e.checked)
                continue;
            // A stop comes between mailers: every mailer printed so far keeps its number.
            if (progress && progress->wasCanceled())
                break;
            makeMassPrintRecipient(e.rec, listRowOf.value(e.rec.ID, -1));
            if (const QString why = massPrintAddressRefusal(); !why.isEmpty())
                refused.append({addressCaption(e.rec.address), why});
            else
                printOrStore(false); // a refusal is told by the print run; an error ends the run here
            ++done;
            // Shown a few times a second: each showing lets the window repaint, which
            // for every mailer would cost a good part of a mailer's time.
            if (progress && (done == checked || sinceShown.hasExpired(kProgressEveryMs))) {
                progress->setValue(done);
                sinceShown.restart();
            }
        }
    }
    if (!proofs.warning().isEmpty())
        MessageService::show(MessageKind::Warning, proofs.warning(), QMessageBox::Ok, this);
    if (!refused.isEmpty())
        MessageService::show(MessageKind::Warning, refusedMailersMessage(refused), QMessageBox::Ok, this);
}
