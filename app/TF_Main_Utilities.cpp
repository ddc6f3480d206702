// The Utilities menu's imports of earlier editions' logs, and Track Item.
#include "app/TF_Main.h"
#include "core/ServerSettings.h"
#include "log/LogImport.h"
#include "log/TrackingPage.h"
#include "log/TzDbfReport.h"
#include "widgets/BusyCursor.h"
#include "widgets/ErrorBoundary.h"
#include "widgets/Services.h"

#include <QAction>
#include <QDesktopServices>
#include <QFileInfo>
#include <QProgressDialog>

namespace {

using OpenSource = std::function<std::unique_ptr<LogImportSource>(const QString& path)>;

// Confirmation, file dialog, the name checks, then the import with its progress and count.
void runImport(TF_Main& window, const LogImportCommand& command, const OpenSource& open)
{
    // An import goes into the folder's log, which a server office no longer reads.
    if (const QString refusal = folderOnlyRefusal(window.settings, "Import Log File"); !refusal.isEmpty()) {
        MessageService::error(refusal, &window);
        return;
    }
    if (!MessageService::confirmYesNo(ImportConfirmation(command, window.settings.logDB), &window))
        return;
    const QString folder =
        command.subfolder.isEmpty() ? window.programFolder : window.programFolder + "/" + command.subfolder;
    const QString path = FileDialogService::openFileName(&window, "Open", folder, command.filter, command.presetName);
    if (path.isEmpty())
        return;
    if (const QString refusal = CheckImportFile(command, path); !refusal.isEmpty()) {
        MessageService::error(refusal, &window);
        return;
    }
    guarded([&] {
        int count = 0;
        {
            BusyCursor busy;
            const std::unique_ptr<LogImportSource> source = open(path);
            QProgressDialog progress("Importing mailers into your Log file...", QString(), 0, source->rowCount(),
                                     &window);
            progress.setWindowTitle("Import Log File");
            progress.setWindowModality(Qt::WindowModal);
            progress.setMinimumDuration(500);
            count = ImportLogRows(*source, window.settings, [&progress](int read, int total) {
                progress.setMaximum(total);
                progress.setValue(read);
            });
        }
        MessageService::information(ImportedCountMessage(count), &window);
    });
}

QString folderOf(const QString& path)
{
    return QFileInfo(path).absolutePath();
}

} // namespace

void TF_Main::connectUtilityCommands()
{
    connect(miImportPro25, &QAction::triggered, this, &TF_Main::miImportPro25Click);
    connect(miImport3, &QAction::triggered, this, &TF_Main::miImport3Click);
    connect(miImportPro3, &QAction::triggered, this, &TF_Main::miImportPro3Click);
    connect(Track, &QAction::triggered, this, &TF_Main::TrackClick);
    connect(miBackUp, &QAction::triggered, this, &TF_Main::miBackUpClick);
    connect(miRestore, &QAction::triggered, this, &TF_Main::miRestoreClick);
}

void TF_Main::miImportPro25Click()
{
    runImport(*this, ImportPro25Command, [](const QString& path) { return OpenPro25Log(folderOf(path)); });
}

void TF_Main::miImport3Click()
{
    runImport(*this, Import3Command, [](const QString& path) { return OpenDbaseLog(path); });
}

void TF_Main::miImportPro3Click()
{
    runImport(*this, ImportPro3Command,
              [this](const QString& path) { return OpenPro3Log(folderOf(path), settings.logDB); });
}

// A page that does not open is not reported.
void TF_Main::TrackClick()
{
    QDesktopServices::openUrl(TrackingPageUrl());
}
