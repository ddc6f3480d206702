#include "core/Backup.h"
#include "core/IniFile.h"
#include "engine/Server.h"
#include "engine/TableCopy.h"

#include <QBuffer>
#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSet>
#include <QTemporaryDir>

#include <archive.h>
#include <archive_entry.h>

#include <cstdio>

namespace backup {

namespace {

// The backup's own description: the program folder it was taken of, and when.
const QString kManifest = QStringLiteral("dovra-backup.ini");
const QString kShared = QStringLiteral("Shared");
const QString kSettingsFile = QStringLiteral("dovra3.ini");
constexpr qint64 kChunk = 256 * 1024;

// The tables the settings place in a folder of their own.
struct SettingsTables {
    QString Settings::*folder;
    QStringList tables;
};
const SettingsTables kSettingsTables[] = {
    {&Settings::yourAddressDB, {"YourAddress"}},
    {&Settings::logDB, {"Log37", "LogFilters", "LogFiltersDetail", "Reports", "Report_Detail"}},
    {&Settings::addressDB, {"Address", "Groups", "Members"}},
    {&Settings::mailerNumDB, {"MailerNum"}},
};

QString joined(const QString& folder, const QString& name)
{
    return folder.isEmpty() ? name : folder + '/' + name;
}

// Where a folder outside the program folder lies in the backup and below the restored folder.
QString sharedFolder(const QString& folder)
{
    QString path = folder;
    path.replace('\\', '/').remove(':');
    path = QDir::cleanPath(path);
    while (path.startsWith('/'))
        path.remove(0, 1);
    return joined(kShared, path);
}

// Where a folder's files lie in the backup, relative to its top.
QString placeInBackup(const QString& folder, const QString& programFolder)
{
    if (!isInsideFolder(folder, programFolder))
        return sharedFolder(folder);
    const QString relative = storedFolder(folder, programFolder);
    return relative == "." ? QString() : relative;
}

// One file of the backup: where it is read from, its name in the backup.
struct Item {
    QString source;
    QString name;
    bool table = false;
};

[[noreturn]] void failArchive(archive* a, const QString& what)
{
    throw BackupError(QStringLiteral("%1: %2").arg(what, QString::fromUtf8(archive_error_string(a))));
}

class ArchiveWriter {
public:
    ArchiveWriter(int fd, const QString& path) : a_(archive_write_new()), path_(path)
    {
        if (archive_write_set_format_zip(a_) != ARCHIVE_OK || archive_write_open_fd(a_, fd) != ARCHIVE_OK)
            failArchive(a_, "The backup file " + path_ + " cannot be written");
    }
    ~ArchiveWriter() { archive_write_free(a_); }
    ArchiveWriter(const ArchiveWriter&) = delete;
    ArchiveWriter& operator=(const ArchiveWriter&) = delete;

    void add(const QString& name, QIODevice& data, qint64 size, const QDateTime& modified,
             const std::function<void(qint64)>& written)
    {
        archive_entry* entry = archive_entry_new();
        archive_entry_set_pathname_utf8(entry, name.toUtf8().constData());
        archive_entry_set_filetype(entry, AE_IFREG);
        archive_entry_set_perm(entry, 0644);
        archive_entry_set_size(entry, size);
        archive_entry_set_mtime(entry, modified.toSecsSinceEpoch(), 0);
        const int rc = archive_write_header(a_, entry);
        archive_entry_free(entry);
        if (rc != ARCHIVE_OK)
            failArchive(a_, "The backup file " + path_ + " cannot be written");
        QByteArray buffer;
        for (qint64 done = 0; done < size;) {
            buffer = data.read(std::min(kChunk, size - done));
            if (buffer.isEmpty())
                throw BackupError(QStringLiteral("%1 cannot be read: %2").arg(name, data.errorString()));
            if (archive_write_data(a_, buffer.constData(), buffer.size()) < 0)
                failArchive(a_, "The backup file " + path_ + " cannot be written");
            done += buffer.size();
            written(buffer.size());
        }
    }

    void close()
    {
        if (archive_write_close(a_) != ARCHIVE_OK)
            failArchive(a_, "The backup file " + path_ + " cannot be written");
    }

private:
    archive* a_;
    QString path_;
};

class ArchiveReader {
public:
    explicit ArchiveReader(const QString& path) : a_(archive_read_new()), path_(path)
    {
        archive_read_support_format_zip(a_);
        if (archive_read_open_filename(a_, QFile::encodeName(path).constData(), 64 * 1024) != ARCHIVE_OK)
            failArchive(a_, "The backup file " + path_ + " cannot be read");
    }
    ~ArchiveReader() { archive_read_free(a_); }
    ArchiveReader(const ArchiveReader&) = delete;
    ArchiveReader& operator=(const ArchiveReader&) = delete;

    // The next file of the backup (folders are skipped); false at the end.
    bool next(QString& name, qint64& size)
    {
        for (;;) {
            archive_entry* entry = nullptr;
            const int rc = archive_read_next_header(a_, &entry);
            if (rc == ARCHIVE_EOF)
                return false;
            if (rc != ARCHIVE_OK)
                failArchive(a_, "The backup file " + path_ + " cannot be read");
            const char* utf8 = archive_entry_pathname_utf8(entry);
            name = utf8 ? QString::fromUtf8(utf8) : QString::fromLocal8Bit(archive_entry_pathname(entry));
            size = archive_entry_size(entry);
            const auto type = archive_entry_filetype(entry);
            if (type == AE_IFDIR)
                continue;
            if (type != AE_IFREG || !isSafeName(name))
                throw BackupError("The backup file " + path_ + " holds " + name +
                                  ", which is not a file of this program's backups. Nothing has been restored.");
            return true;
        }
    }

    // The current file's data, to a device; each block reported as written.
    void copyTo(QIODevice& to, const std::function<void(qint64)>& written)
    {
        char buffer[64 * 1024];
        for (;;) {
            const la_ssize_t n = archive_read_data(a_, buffer, sizeof buffer);
            if (n < 0)
                failArchive(a_, "The backup file " + path_ + " cannot be read");
            if (n == 0)
                return;
            if (to.write(buffer, n) != n)
                throw BackupError(to.errorString());
            written(n);
        }
    }

    QByteArray readAll()
    {
        QByteArray data;
        char buffer[64 * 1024];
        for (la_ssize_t n; (n = archive_read_data(a_, buffer, sizeof buffer)) != 0;) {
            if (n < 0)
                failArchive(a_, "The backup file " + path_ + " cannot be read");
            data.append(buffer, n);
        }
        return data;
    }

private:
    // A relative path of plain names: nothing that climbs out of the folder restored into.
    static bool isSafeName(const QString& name)
    {
        if (name.isEmpty() || name.startsWith('/') || name.contains('\\') || name.contains(QChar(0)))
            return false;
        const QStringList parts = name.split('/', Qt::SkipEmptyParts);
        for (const QString& part : parts)
            if (part == "." || part == "..")
                return false;
        return !parts.isEmpty();
    }

    archive* a_;
    QString path_;
};

// The description kept in the backup, "key=value" lines.
QString manifestValue(const QByteArray& manifest, const QString& key)
{
    for (const QByteArray& line : manifest.split('\n')) {
        const QString text = QString::fromUtf8(line).trimmed();
        if (text.startsWith(key + '='))
            return text.mid(key.size() + 1);
    }
    return QString();
}

// Every file a backup of this program folder holds, the counter last: it is taken after the
// log, so that it is past every number the copy of the log holds, as on the original.
QList<Item> itemsToBackUp(const QString& programFolder, const Settings& settings)
{
    QList<Item> items;
    QSet<QString> seen;
    auto addTable = [&](const QString& file) {
        const QFileInfo info(file);
        const QString canonical = info.canonicalFilePath();
        if (canonical.isEmpty() || seen.contains(canonical))
            return;
        seen.insert(canonical);
        items.append({info.absoluteFilePath(),
                      joined(placeInBackup(info.absolutePath(), programFolder), info.fileName()), true});
    };
    // Tables of the program folder and its subfolders (address databases among them), then
    // those the settings keep elsewhere.
    QDirIterator inFolder(programFolder, {"*.adt"}, QDir::Files, QDirIterator::Subdirectories);
    while (inFolder.hasNext())
        addTable(inFolder.next());
    for (const SettingsTables& kind : kSettingsTables)
        for (const QString& table : kind.tables)
            if (QFileInfo::exists(settings.*kind.folder + '/' + table + ".adt"))
                addTable(settings.*kind.folder + '/' + table + ".adt");
    std::stable_partition(items.begin(), items.end(), [](const Item& item) {
        return QFileInfo(item.source).completeBaseName().compare("MailerNum", Qt::CaseInsensitive) != 0;
    });

    const QString ini = settingsFilePath(programFolder);
    if (QFileInfo::exists(ini))
        items.append({ini, kSettingsFile, false});
    // The proof copies; copies still being written (hidden) are left out.
    if (QFileInfo(settings.proofDB).isDir()) {
        const QString place = placeInBackup(settings.proofDB, programFolder);
        QDirIterator proofs(settings.proofDB, QDir::Files, QDirIterator::Subdirectories);
        while (proofs.hasNext()) {
            const QString file = proofs.next();
            items.append({file, joined(place, QDir(settings.proofDB).relativeFilePath(file)), false});
        }
    }
    return items;
}

// A path with symbolic links resolved as far as it exists.
QString resolvedPath(const QString& path)
{
    QString existing = QDir::cleanPath(path);
    QString rest;
    while (!QFileInfo::exists(existing) && existing != "/" && !existing.isEmpty()) {
        rest = joined(QFileInfo(existing).fileName(), rest);
        existing = QFileInfo(existing).absolutePath();
    }
    const QString canonical = QFileInfo(existing).canonicalFilePath();
    return QDir::cleanPath(joined(canonical.isEmpty() ? existing : canonical, rest));
}

bool holdsAnything(const QString& folder)
{
    return !QDir(folder).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
}

bool isTableFile(const QString& name)
{
    return name.endsWith(".adt", Qt::CaseInsensitive);
}

// Replaces a table's file: a journal left beside the old table must not be played back
// into the new one.
void removeJournalOf(const QString& table)
{
    for (const char* suffix : {"-journal", "-wal", "-shm"})
        QFile::remove(table + suffix);
}

// The folder settings of the restored settings file, rewritten to the new folder: what lay in
// the original program folder keeps its place in the new one, what lay elsewhere is below
// "Shared". Returns the folders they name, so that they exist.
QStringList rewriteLocations(IniFile& ini, const QString& originalFolder, const QString& folder)
{
    QStringList folders;
    const QString missing = QStringLiteral("\x01");
    for (const auto& [section, key] : folderSettingKeys()) {
        const QString stored = ini.readString(section, key, missing);
        if (stored == missing)
            continue;
        // An address database on a server is where it was, whatever folder the program moves to.
        if (engine::isServerLocation(stored.toStdString()))
            continue;
        const QString original = resolvedFolder(withoutTrailingSeparators(stored), originalFolder);
        const QString place =
            isInsideFolder(original, originalFolder) ? placeInBackup(original, originalFolder) : sharedFolder(original);
        ini.writeString(section, key, place.isEmpty() ? QStringLiteral(".") : place);
        folders << joined(folder, place);
    }
    return folders;
}

// The folders of the original: its program folder and those its settings name.
QStringList originalFolders(const QString& originalFolder, const QByteArray& settingsData)
{
    QStringList folders{originalFolder};
    if (settingsData.isEmpty())
        return folders;
    QTemporaryDir dir;
    QFile file(dir.filePath(kSettingsFile));
    if (!dir.isValid() || !file.open(QIODevice::WriteOnly) || file.write(settingsData) != settingsData.size())
        throw BackupError("A temporary file cannot be written: " + file.errorString());
    file.close();
    const Settings original = Settings::load(file.fileName(), originalFolder);
    for (const QString& f : dataFolders(originalFolder, original))
        if (!folders.contains(f))
            folders << f;
    return folders;
}

} // namespace

QStringList dataFolders(const QString& programFolder, const Settings& settings)
{
    return {programFolder,  settings.mailerNumDB, settings.yourAddressDB,
            settings.logDB, settings.addressDB,   settings.proofDB};
}

void backUp(const QString& programFolder, const Settings& settings, const QString& archivePath,
            const Progress& progress)
{
    const QList<Item> items = itemsToBackUp(programFolder, settings);
    qint64 total = 0;
    for (const Item& item : items)
        total += QFileInfo(item.source).size();
    qint64 done = 0;
    const auto written = [&](qint64 bytes) {
        done += bytes;
        if (progress)
            progress(std::min(done, total), total);
    };

    // Tables are copied first, beside the backup file, then written into it.
    const QString archiveFolder = QFileInfo(archivePath).absolutePath();
    QTemporaryDir staging(archiveFolder + "/.dovra-backup-XXXXXX");
    if (!staging.isValid())
        throw BackupError("The backup file cannot be written in " + archiveFolder + ": " + staging.errorString());
    QSaveFile file(archivePath);
    if (!file.open(QIODevice::WriteOnly))
        throw BackupError("The backup file " + archivePath + " cannot be written: " + file.errorString());
    QList<Item> copies;
    for (const Item& item : items) {
        if (!item.table) {
            copies << item;
            continue;
        }
        const QString copyFolder = staging.filePath(QString::number(copies.size()));
        QDir().mkpath(copyFolder);
        const QFileInfo source(item.source);
        engine::copyTable(source.absolutePath().toStdString(), source.completeBaseName().toStdString(),
                          copyFolder.toStdString());
        copies.append({copyFolder + '/' + source.fileName(), item.name, true});
    }

    ArchiveWriter archive(file.handle(), archivePath);
    const QByteArray manifest = QStringLiteral("Dovra Pro backup\nProgramFolder=%1\nTaken=%2\n")
                                    .arg(programFolder, QDateTime::currentDateTime().toString(Qt::ISODate))
                                    .toUtf8();
    QByteArray manifestCopy = manifest;
    QBuffer manifestData(&manifestCopy);
    manifestData.open(QIODevice::ReadOnly);
    archive.add(kManifest, manifestData, manifest.size(), QDateTime::currentDateTime(), [](qint64) {});
    for (const Item& item : copies) {
        QFile data(item.source);
        if (!data.open(QIODevice::ReadOnly))
            throw BackupError(item.source + " cannot be read: " + data.errorString());
        // The size of the file opened: a settings file saved meanwhile is a new file.
        archive.add(item.name, data, data.size(), QFileInfo(item.source).lastModified(), written);
    }
    archive.close();
    if (!file.commit())
        throw BackupError("The backup file " + archivePath + " cannot be written: " + file.errorString());
}

RestorePlan planRestore(const QString& archivePath, const QString& folder, const QStringList& foldersInUse)
{
    RestorePlan plan;
    plan.archivePath = archivePath;
    plan.folder = QDir::cleanPath(QDir(folder).absolutePath());
    QByteArray manifest, settingsData;
    {
        ArchiveReader reader(archivePath);
        QString name;
        qint64 size = 0;
        while (reader.next(name, size)) {
            name = QDir::cleanPath(name);
            plan.bytes += std::max<qint64>(size, 0);
            if (name == kManifest)
                manifest = reader.readAll();
            else if (name == kSettingsFile)
                settingsData = reader.readAll(), plan.files << name;
            else
                plan.files << name;
        }
    }
    plan.originalFolder = manifestValue(manifest, "ProgramFolder");
    if (plan.originalFolder.isEmpty())
        throw BackupError("The file " + archivePath + " is not a backup of Dovra Pro. Nothing has been restored.");

    // Where the restore must not write: folders in use here, and the original's (where they
    // hold anything, that is, where the original is).
    QStringList guarded;
    for (const QString& f : foldersInUse)
        guarded << resolvedPath(f);
    for (const QString& f : originalFolders(plan.originalFolder, settingsData))
        if (holdsAnything(f))
            guarded << resolvedPath(f);
    QStringList targets{plan.folder};
    for (const QString& name : plan.files)
        targets << plan.folder + '/' + name;
    for (const QString& target : targets) {
        const QString resolved = resolvedPath(target);
        for (const QString& g : guarded)
            if (isInsideFolder(resolved, g)) {
                plan.refusal = QStringLiteral("The backup cannot be restored into %1: it would write into %2, "
                                              "a folder of the program the backup was taken of or of the "
                                              "program running now. Please choose a new folder.")
                                   .arg(QDir::toNativeSeparators(plan.folder), QDir::toNativeSeparators(g));
                return plan;
            }
    }

    for (const QString& name : plan.files)
        if ((isTableFile(name) || name == kSettingsFile) && QFileInfo::exists(plan.folder + '/' + name))
            plan.replacesData = true;
    for (const QString& sub : {QString(), QStringLiteral("/Log"), QStringLiteral("/Addresses")})
        if (!QDir(plan.folder + sub).entryList({"*.adt"}, QDir::Files).isEmpty())
            plan.replacesData = true;
    return plan;
}

void restore(const RestorePlan& plan, const Progress& progress)
{
    if (!plan.refusal.isEmpty())
        throw BackupError(plan.refusal);
    if (!QDir().mkpath(plan.folder))
        throw BackupError("The folder " + plan.folder + " cannot be made.");
    qint64 done = 0;
    const auto written = [&](qint64 bytes) {
        done += bytes;
        if (progress)
            progress(std::min(done, plan.bytes), plan.bytes);
    };
    ArchiveReader reader(plan.archivePath);
    QByteArray settingsData;
    QString name;
    qint64 size = 0;
    while (reader.next(name, size)) {
        name = QDir::cleanPath(name);
        if (name == kManifest)
            continue;
        if (name == kSettingsFile) {
            settingsData = reader.readAll();
            written(settingsData.size());
            continue;
        }
        const QString path = plan.folder + '/' + name;
        if (!QDir().mkpath(QFileInfo(path).absolutePath()))
            throw BackupError("The folder " + QFileInfo(path).absolutePath() + " cannot be made.");
        QSaveFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            throw BackupError(path + " cannot be written: " + file.errorString());
        reader.copyTo(file, written);
        if (isTableFile(name))
            removeJournalOf(path);
        if (!file.commit())
            throw BackupError(path + " cannot be written: " + file.errorString());
    }

    // The settings last, pointing at the restored tables; a backup without settings file
    // gives a program folder with the default ones, all inside it.
    if (settingsData.isEmpty())
        return;
    const QString ini = settingsFilePath(plan.folder);
    const QString incoming = plan.folder + "/.dovra3.ini.restoring";
    QFile file(incoming);
    if (!file.open(QIODevice::WriteOnly) || file.write(settingsData) != settingsData.size())
        throw BackupError(ini + " cannot be written: " + file.errorString());
    file.close();
    IniFile settings(incoming);
    for (const QString& f : rewriteLocations(settings, plan.originalFolder, plan.folder))
        QDir().mkpath(f);
    if (const QString error = settings.save(); !error.isEmpty())
        throw BackupError(error);
    if (std::rename(QFile::encodeName(incoming).constData(), QFile::encodeName(ini).constData()) != 0)
        throw BackupError(ini + " cannot be written.");
}

} // namespace backup
