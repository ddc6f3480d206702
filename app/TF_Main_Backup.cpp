// Utilities -> Back Up and Restore: the whole office's data in one file, and that file made
// into a program folder of its own elsewhere.
#include "app/TF_Main.h"
#include "core/Backup.h"
#include "core/ServerSettings.h"
#include "widgets/BusyCursor.h"
#include "widgets/ErrorBoundary.h"
#include "widgets/Services.h"

#include <QDate>
#include <QDir>
#include <QProgressDialog>

namespace {

const QString kBackupFilter = QStringLiteral("Dovra Pro backup (*.zip)");

// Runs a long step with the busy cursor and a progress window that shows after half a second.
void withProgress(TF_Main& window, const QString& title, const QString& text,
                  const std::function<void(const backup::Progress&)>& step)
{
    BusyCursor busy;
    QProgressDialog progress(text, QString(), 0, 1000, &window);
    progress.setWindowTitle(title);
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(500);
    step([&progress](qint64 done, qint64 total) { progress.setValue(total > 0 ? int(done * 1000 / total) : 0); });
}

} // namespace

void TF_Main::miBackUpClick()
{
    // The backup copies folders; the server's tables are backed up on the server.
    if (const QString refusal = folderOnlyRefusal(settings, "Back Up"); !refusal.isEmpty()) {
        MessageService::error(refusal, this);
        return;
    }
    // The settings file in the backup is the record as it stands.
    SaveSettings();
    const QString name = QStringLiteral("Dovra backup %1.zip").arg(QDate::currentDate().toString(Qt::ISODate));
    QString path = FileDialogService::saveFileName(this, "Back Up", QDir::homePath(), kBackupFilter, name);
    if (path.isEmpty())
        return;
    if (!path.endsWith(".zip", Qt::CaseInsensitive))
        path += ".zip";
    guarded([&] {
        withProgress(
            *this, "Back Up", "Copying the tables, the settings and the proof copies...",
            [&](const backup::Progress& progress) { backup::backUp(programFolder, settings, path, progress); });
        MessageService::information("The backup has been written to " + QDir::toNativeSeparators(path) + ".", this);
    });
}

void TF_Main::miRestoreClick()
{
    const QString archive = FileDialogService::openFileName(this, "Restore", QDir::homePath(), kBackupFilter);
    if (archive.isEmpty())
        return;
    const QString folder = FileDialogService::existingDirectory(this, "Restore into folder", QDir::homePath());
    if (folder.isEmpty())
        return;
    guarded([&] {
        const backup::RestorePlan plan =
            backup::planRestore(archive, folder, backup::dataFolders(programFolder, settings));
        if (!plan.refusal.isEmpty()) {
            MessageService::error(plan.refusal, this);
            return;
        }
        if (plan.replacesData &&
            !MessageService::confirmYesNo("The folder " + QDir::toNativeSeparators(plan.folder) +
                                              " holds tables of Dovra Pro already.\n\nReplace them with those of "
                                              "the backup?",
                                          this))
            return;
        withProgress(*this, "Restore", "Restoring the tables, the settings and the proof copies...",
                     [&](const backup::Progress& progress) { backup::restore(plan, progress); });
        MessageService::information("The backup has been restored into " + QDir::toNativeSeparators(plan.folder) +
                                        ".\n\nIt is a program folder of its own: start Dovra Pro with DOVRA_HOME "
                                        "set to that folder to work with it. Its Mailer Number counter stands "
                                        "where it stood when the backup was taken: before printing with it, set "
                                        "the serial past the last one used since.",
                                    this);
    });
}
