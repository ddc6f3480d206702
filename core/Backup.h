// Back up and restore: one zip file holding a consistent copy of every table of the program
// (taken with SQLite's online backup while other workstations may be printing), the settings
// file and the proof copies; and its restore into another folder, which becomes a program
// folder of its own.
//
// In the file, what lies in the program folder keeps its place below it ("MailerNum.adt",
// "Log/Log37.adt", "Proofs/2026-01/....pdf", "dovra3.ini"); tables and proof copies kept
// elsewhere (a shared folder of Network Settings) lie below "Shared" under their full path
// ("Shared/mnt/office/dovra/MailerNum.adt"), and are restored there below the new folder. The
// restored settings point at the restored tables, never at the folders of the original.
#pragma once

#include "core/Settings.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <stdexcept>

namespace backup {

// A backup that cannot be made or read, or a restore refused; the text says why.
class BackupError : public std::runtime_error {
public:
    explicit BackupError(const QString& text) : std::runtime_error(text.toStdString()) {}
};

// Bytes done of all, called now and then while a long run goes on.
using Progress = std::function<void(qint64 done, qint64 total)>;

// Every folder a program folder with these settings keeps data in: the program folder and the
// folders of its tables and proof copies.
QStringList dataFolders(const QString& programFolder, const Settings& settings);

// Writes the backup file (a new file beside it, renamed into place when whole). Throws
// BackupError, or the engine's error naming a table that cannot be read.
void backUp(const QString& programFolder, const Settings& settings, const QString& archivePath,
            const Progress& progress = {});

// What a restore of a backup file into a folder would do.
struct RestorePlan {
    QString archivePath;
    QString folder;            // the new program folder
    QString originalFolder;    // the program folder the backup was taken of
    QStringList files;         // every file it writes, relative to the folder
    qint64 bytes = 0;          // their size
    QString refusal;           // why it must not be done; empty when it may
    bool replacesData = false; // the folder holds tables (or settings) already: ask first
};

// Reads the backup file and checks the folder. The restore never writes into the folders of
// the original (where they hold anything) nor into foldersInUse (those of the running
// program). Throws BackupError when the file is not a backup of this program.
RestorePlan planRestore(const QString& archivePath, const QString& folder, const QStringList& foldersInUse);

// Restores as planned (a plan with a refusal throws it); tables there are replaced only when
// the plan's replacesData was confirmed. Each file is written whole (a new file renamed into
// place), the settings file last, its locations rewritten to the new folder.
void restore(const RestorePlan& plan, const Progress& progress = {});

} // namespace backup
