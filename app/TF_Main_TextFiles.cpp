// Utilities -> Text Files: addresses read from and written to comma-separated text files,
// and the log written out as labelled lines.
#include "addressbook/AddressBookPanel.h"
#include "addressbook/AddressListModel.h"
#include "addressbook/TF_TextFiles.h"
#include "addressbook/TextFiles.h"
#include "app/TF_Main.h"
#include "core/datamodule/TdmDovraPro.h"
#include "widgets/BusyCursor.h"
#include "widgets/ErrorBoundary.h"
#include "widgets/Services.h"

#include <QAction>
#include <QFile>
#include <QProgressDialog>
#include <stdexcept>

namespace {

const QString kImportFilter = QStringLiteral("Import Files (*.txt *.csv);;All Files (*)");
const QString kExportFilter = QStringLiteral("Text Files (*.txt)");
// Exports add their lines to the end of a file that exists, so the dialog does not ask to
// replace one and says so itself.
const QString kExportCaption = QStringLiteral("Save As (an existing file is appended to)");

engine::Query& senderQuery(const Settings& settings)
{
    engine::Query& q = dmDovraPro->adsqYourAddress;
    q.close();
    q.setFolder(toStd(settings.yourAddressLocation()));
    return q;
}

} // namespace

bool TF_Main::toAddressDatabaseOpen()
{
    if (settings.databaseOn)
        return true;
    MessageService::error("No 'To Address' database is open. Open one with File -> Open 'To Address' Database, "
                          "then import or export its addresses.",
                          this);
    return false;
}

void TF_Main::connectTextFileCommands()
{
    const auto connectGuarded = [this](QAction* action, void (TF_Main::*handler)()) {
        action->setEnabled(true);
        connect(action, &QAction::triggered, this,
                [this, handler] { guarded([this, handler] { (this->*handler)(); }); });
    };
    connectGuarded(miToImport, &TF_Main::miToImportClick);
    connectGuarded(miToExport, &TF_Main::miToExportClick);
    connectGuarded(miYourImport, &TF_Main::miYourImportClick);
    connectGuarded(miYourExport, &TF_Main::miYourExportClick);
    connectGuarded(miLogExport, &TF_Main::miLogExportClick);
}

bool TF_Main::importAddressFile(engine::Query& query, const std::string& table)
{
    const QString fileName = FileDialogService::openFileName(this, "Open", programFolder, kImportFilter);
    if (fileName.isEmpty())
        return false;
    std::shared_ptr<const AddressFileIndex> file;
    {
        BusyCursor busy;
        file = std::make_shared<const AddressFileIndex>(fileName);
    }
    TF_TextFiles preview(query, table, this);
    preview.setImportFile(std::move(file));
    return preview.exec() == QDialog::Accepted;
}

void TF_Main::miToImportClick()
{
    if (!toAddressDatabaseOpen())
        return;
    if (!importAddressFile(dmDovraPro->adsqToAddress, "Address"))
        return;
    // Filling selects the first address, or clears the recipient of an empty list.
    panelDB->FillAddressList(panelDB->listedGroupId());
    const int count = panelDB->addressModel()->rowCount();
    if (count > 0)
        panelDB->selectOnlyAddress(count - 1);
}

void TF_Main::miYourImportClick()
{
    if (importAddressFile(senderQuery(settings), "YourAddress"))
        btnSelectYourAddressClick();
}

void TF_Main::exportTextFile(const std::function<RowsOutsideEncoding()>& rowsOutside,
                             const std::function<void(TextFileWriter&)>& write)
{
    const QString chosen = FileDialogService::newFileName(this, kExportCaption, QString(), kExportFilter);
    if (chosen.isEmpty())
        return;
    const QString fileName = exportFileName(chosen);
    TextEncoding encoding = exportEncodingOf(fileName);
    if (encoding == TextEncoding::Windows1252) {
        RowsOutsideEncoding outside;
        {
            BusyCursor busy;
            outside = rowsOutside();
        }
        if (outside.count > 0) {
            if (!MessageService::confirmYesNo(encodingQuestion(outside, fileName), this))
                return;
            encoding = TextEncoding::Utf8;
        }
    }
    {
        TextFileWriter out(fileName, encoding);
        BusyCursor busy;
        write(out);
        out.close();
    }
    MessageService::information(exportCompletedMessage(fileName), this);
}

void TF_Main::miToExportClick()
{
    if (!toAddressDatabaseOpen())
        return;
    exportTextFile([] { return addressesOutsideWindows1252(dmDovraPro->adsqToAddress, "Address"); },
                   [](TextFileWriter& out) { exportAddresses(dmDovraPro->adsqToAddress, "Address", out); });
}

void TF_Main::miYourExportClick()
{
    exportTextFile([this] { return addressesOutsideWindows1252(senderQuery(settings), "YourAddress"); },
                   [this](TextFileWriter& out) { exportAddresses(senderQuery(settings), "YourAddress", out); });
}

void TF_Main::miLogExportClick()
{
    const auto logQuery = [this]() -> engine::Query& {
        engine::Query& q = dmDovraPro->adsqLog;
        q.close();
        q.setFolder(toStd(settings.logLocation()));
        return q;
    };
    exportTextFile([logQuery] { return logRowsOutsideWindows1252(logQuery()); },
                   [this, logQuery](TextFileWriter& out) {
                       engine::Query& q = logQuery();
                       QProgressDialog progress("Exporting your Log file...", QString(), 0, 0, this);
                       progress.setWindowTitle("Export Log File");
                       progress.setWindowModality(Qt::WindowModal);
                       progress.setMinimumDuration(500);
                       exportLog(q, out, [&progress](int written, int total) {
                           progress.setMaximum(total);
                           progress.setValue(written);
                       });
                   });
}
