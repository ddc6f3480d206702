#include "core/datamodule/MoveToServer.h"

#include "core/datamodule/Schemas.h"
#include "core/datamodule/ServerTables.h"
#include "core/datamodule/TdmDovraPro.h"
#include "engine/MultiTableWrite.h"
#include "engine/Query.h"
#include "engine/Server.h"
#include "engine/Table.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>

#include <algorithm>
#include <cctype>
#include <tuple>

namespace {

struct MovedTableDef {
    const char* table;
    const char* definition;
    QString TMoveSource::*folder;
};

const MovedTableDef kMoved[] = {
    {"MailerNum", schema::MailerNum, &TMoveSource::mailerNumFolder},
    {"YourAddress", schema::YourAddress, &TMoveSource::yourAddressFolder},
    {"Log37", schema::Log37, &TMoveSource::logFolder},
    {"LogFilters", schema::LogFilters, &TMoveSource::logFolder},
    {"LogFiltersDetail", schema::LogFiltersDetail, &TMoveSource::logFolder},
    {"Reports", schema::Reports, &TMoveSource::logFolder},
    {"Report_Detail", schema::Report_Detail, &TMoveSource::logFolder},
};

// A counter that no one has used yet: the row a new counter is made with.
constexpr const char* kUnusedCounter = "CustID = '000000000' AND SerialNum = '0000000'";

std::string lowered(std::string name)
{
    for (char& c : name)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return name;
}

std::string quotedName(const std::string& name)
{
    return "\"" + name + "\"";
}

// Copies a folder's table into the server's, MoveBatchRows rows to a statement.
std::int64_t copyRows(engine::MultiTableWrite& write, const std::string& folder, const MovedTableDef& def,
                      const std::function<void(std::int64_t)>& copied)
{
    const auto fields = engine::parseDefinition(def.definition);
    std::vector<std::string> columnNames;
    std::string columns;
    std::string order;
    for (size_t i = 0; i < fields.size(); ++i) {
        columnNames.push_back(quotedName(fields[i].name));
        columns += (i ? ", " : "") + columnNames.back();
        if (fields[i].type == engine::FieldType::AutoInc)
            order = " order by " + quotedName(fields[i].name);
    }
    engine::Query source;
    source.setFolder(folder);
    source.setSql("select " + columns + " from " + def.table + (order.empty() ? " order by rowid" : order));
    source.open();
    const std::int64_t rows = CopyQueryRows(write, source, def.table, columnNames, copied);
    source.close();
    // Keys given from now on follow the highest one copied.
    for (const auto& field : fields)
        if (field.type == engine::FieldType::AutoInc)
            write.firstValue(std::string("SELECT setval(pg_get_serial_sequence('") + lowered(def.table) + "', '" +
                             lowered(field.name) + "'), (SELECT coalesce(max(" + quotedName(field.name) +
                             "), 0) + 1 FROM " + def.table + "), false)");
    return rows;
}

// A proof copy in a folder: <folder>/<yyyy-MM>/<number>.pdf, a reprint's <number>-2.pdf.
struct ProofFile {
    QString path;
    QString number;
};

std::vector<ProofFile> proofFilesIn(const QString& folder)
{
    std::vector<ProofFile> files;
    static const QRegularExpression named(QStringLiteral("^(\\d{22})(-\\d+)?\\.pdf$"));
    const QDir archive(folder);
    // Months in order, and in a month the copies under their number before their reprints,
    // so that a number's first copy is the first row.
    for (const QString& month :
         archive.entryList({"[0-9][0-9][0-9][0-9]-[0-9][0-9]"}, QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
        QStringList names = QDir(archive.filePath(month)).entryList({"*.pdf"}, QDir::Files);
        std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
            return std::tuple(a.left(22), a.size(), a) < std::tuple(b.left(22), b.size(), b);
        });
        for (const QString& name : names) {
            const QRegularExpressionMatch match = named.match(name);
            if (match.hasMatch())
                files.push_back({archive.filePath(month + "/" + name), match.captured(1)});
        }
    }
    return files;
}

// What a copy tells of itself in its document information: the recipient (Subject, a text
// string in UTF-16) and when it was drawn (CreationDate), else the file's time.
std::pair<QString, QDateTime> proofDetails(const QByteArray& pdf, const QString& path)
{
    const QByteArray tail = pdf.right(4096);
    QString recipient;
    static const QRegularExpression subject(QStringLiteral("/Subject <FEFF((?:[0-9A-Fa-f]{4})*)>"));
    if (const auto match = subject.match(QString::fromLatin1(tail)); match.hasMatch()) {
        const QByteArray units = QByteArray::fromHex(match.captured(1).toLatin1());
        for (qsizetype i = 0; i + 1 < units.size(); i += 2)
            recipient += QChar(char16_t((uchar(units[i]) << 8) | uchar(units[i + 1])));
    }
    QDateTime printed;
    static const QRegularExpression created(QStringLiteral("/CreationDate \\(D:(\\d{14})"));
    if (const auto match = created.match(QString::fromLatin1(tail)); match.hasMatch())
        printed = QDateTime::fromString(match.captured(1), QStringLiteral("yyyyMMddHHmmss"));
    if (!printed.isValid())
        printed = QFileInfo(path).lastModified();
    return {recipient, printed};
}

// Copies the proof files into the server's table Proofs, MoveBatchProofs to a statement.
std::int64_t copyProofs(engine::MultiTableWrite& write, const std::vector<ProofFile>& files,
                        const std::function<void(std::int64_t)>& copied)
{
    TInsertBatches batches(write, "Proofs", {"MailerNum", "Recipient", "Printed", "Pdf"}, MoveBatchProofs, copied);
    for (const ProofFile& proof : files) {
        QFile file(proof.path);
        if (!file.open(QIODevice::ReadOnly))
            throw engine::EngineError("The proof copy " + proof.path.toStdString() + " cannot be read (" +
                                      file.errorString().toStdString() + "); nothing has been moved.");
        const QByteArray pdf = file.readAll();
        if (file.error() != QFileDevice::NoError)
            throw engine::EngineError("The proof copy " + proof.path.toStdString() + " cannot be read (" +
                                      file.errorString().toStdString() + "); nothing has been moved.");
        const auto [recipient, printed] = proofDetails(pdf, proof.path);
        batches.add(proof.number.toStdString());
        batches.add(recipient.toStdString());
        batches.add(printed.toString("yyyy-MM-dd HH:mm:ss").toStdString());
        // The server reads a bytea given as text in its hex form.
        batches.add("\\x" + pdf.toHex().toStdString());
        batches.endRow();
    }
    return batches.finish();
}

} // namespace

std::int64_t CountRows(const std::string& location, const std::string& table)
{
    engine::Query q;
    q.setFolder(location);
    q.setSql("select count(*) as N from " + table);
    q.open();
    return q.eof() ? 0 : q.asInteger("N");
}

std::int64_t CountValue(const std::optional<engine::Value>& value)
{
    if (!value)
        return 0;
    if (auto i = std::get_if<std::int64_t>(&*value))
        return *i;
    if (auto s = std::get_if<std::string>(&*value))
        return std::stoll(*s);
    return 0;
}

TInsertBatches::TInsertBatches(engine::MultiTableWrite& write, std::string table, const std::vector<std::string>& columns,
                               int perStatement, std::function<void(std::int64_t)> copied)
    : write_(write), perStatement_(perStatement), copied_(std::move(copied))
{
    head_ = "INSERT INTO " + table + " (";
    rowMarks_ = "(";
    for (size_t i = 0; i < columns.size(); ++i) {
        head_ += (i ? ", " : "") + columns[i];
        rowMarks_ += i ? ", ?" : "?";
    }
    head_ += ") VALUES ";
    rowMarks_ += ")";
}

void TInsertBatches::endRow()
{
    marks_ += (inBatch_ ? ", " : "") + rowMarks_;
    if (++inBatch_ == perStatement_)
        flush();
}

std::int64_t TInsertBatches::finish()
{
    flush();
    return rows_;
}

void TInsertBatches::flush()
{
    if (inBatch_ == 0)
        return;
    write_.run(head_ + marks_, values_);
    rows_ += inBatch_;
    if (copied_)
        copied_(rows_);
    values_.clear();
    marks_.clear();
    inBatch_ = 0;
}

std::int64_t CopyQueryRows(engine::MultiTableWrite& write, engine::Query& source, const std::string& table,
                           const std::vector<std::string>& columns, const std::function<void(std::int64_t)>& copied)
{
    TInsertBatches batches(write, table, columns, MoveBatchRows, copied);
    for (; !source.eof(); source.next()) {
        for (size_t i = 0; i < columns.size(); ++i) {
            engine::Value value = source.value(static_cast<int>(i));
            if (auto s = std::get_if<std::string>(&value))
                s->erase(std::remove(s->begin(), s->end(), '\0'), s->end());
            batches.add(std::move(value));
        }
        batches.endRow();
    }
    return batches.finish();
}

QString MovedToServerMarkFile(const QString& counterFolder)
{
    return counterFolder + "/MailerNum.moved-to-server";
}

QString MovedToServerRefusal(const QString& counterFolder)
{
    QFile mark(MovedToServerMarkFile(counterFolder));
    if (!mark.exists())
        return {};
    QString server = mark.open(QIODevice::ReadOnly) ? QString::fromUtf8(mark.readLine(1024)).trimmed() : QString();
    if (server.isEmpty())
        server = QStringLiteral("(its name could not be read from %1)").arg(mark.fileName());
    return QStringLiteral("The Mailer Number counter of %1 has been moved to the database server %2. Its rows in "
                          "this folder are kept only as a backup, and no number is taken from them.\n\n"
                          "Choose Options, Network Settings, Server, and enter that server.")
        .arg(counterFolder, server);
}

std::vector<TMovedTable> MoveToServer(const TMoveSource& source, const QString& location,
                                      const std::function<void(qint64 done, qint64 total)>& progress)
{
    const std::string where = location.toStdString();
    const std::string counterFolder = source.mailerNumFolder.toStdString();
    if (const QString moved = MovedToServerRefusal(source.mailerNumFolder); !moved.isEmpty())
        throw engine::EngineError(moved.toStdString());
    if (engine::tableFileState(counterFolder, "MailerNum") != engine::TableFileState::Present)
        throw engine::EngineError("The folder " + counterFolder + " holds no Mailer Number counter to move.");

    // The counter is held to the end: no workstation takes a number from it meanwhile.
    engine::Table counter;
    counter.setFolder(counterFolder);
    counter.setTableName("MailerNum");
    counter.setExclusive(true);
    counter.open();
    if (counter.eof())
        throw engine::EngineError("The table " + counter.fileName() + " holds no Mailer Number row");

    std::vector<std::int64_t> sourceRows;
    std::int64_t total = 0;
    for (const MovedTableDef& def : kMoved) {
        const std::string folder = (source.*def.folder).toStdString();
        const bool present = engine::tableFileState(folder, def.table) == engine::TableFileState::Present;
        sourceRows.push_back(present ? CountRows(folder, def.table) : -1);
        total += std::max<std::int64_t>(0, sourceRows.back());
    }
    const std::vector<ProofFile> proofs =
        source.proofFolder.isEmpty() ? std::vector<ProofFile>() : proofFilesIn(source.proofFolder);
    total += std::int64_t(proofs.size());

    std::vector<engine::MultiTableWrite::TableRef> refs;
    for (const MovedTableDef& def : kMoved)
        refs.push_back({where, def.table});
    // A database made by an earlier version is brought up to this one first.
    UpgradeServerTables(location);
    engine::MultiTableWrite write(refs);
    // Two moves at once: the second waits, then finds the rows of the first.
    write.firstValue("SELECT pg_advisory_xact_lock(hashtext('dovra_move'))");
    engine::createServerTables(where, ServerTableDefs(), ServerTablesVersion, true);
    std::string tables;
    for (const MovedTableDef& def : kMoved)
        tables += (tables.empty() ? "" : ", ") + std::string(def.table);
    write.run("LOCK TABLE " + tables + ", Proofs IN EXCLUSIVE MODE");
    std::string holding;
    for (const MovedTableDef& def : kMoved) {
        const std::string table = def.table;
        const std::int64_t rows =
            CountValue(write.firstValue("SELECT count(*) FROM " + table +
                                     (table == "MailerNum" ? std::string(" WHERE NOT (") + kUnusedCounter + ")" : "")));
        if (rows > 0)
            holding +=
                (holding.empty() ? "" : ", ") + table + " " + std::to_string(rows) + (rows == 1 ? " row" : " rows");
    }
    if (const std::int64_t copies = CountValue(write.firstValue("SELECT count(*) FROM Proofs")); copies > 0)
        holding += (holding.empty() ? "" : ", ") + std::string("Proofs ") + std::to_string(copies) +
                   (copies == 1 ? " proof copy" : " proof copies");
    if (!holding.empty())
        throw engine::EngineError("The database server " + engine::describeServer(where) +
                                  " holds an office's tables already (" + holding +
                                  "). Nothing has been copied, and the folders are used as before. Choose an empty "
                                  "database for the move.");

    std::vector<TMovedTable> moved;
    std::int64_t before = 0;
    write.run("DELETE FROM MailerNum");
    for (size_t i = 0; i < std::size(kMoved); ++i) {
        const MovedTableDef& def = kMoved[i];
        if (sourceRows[i] < 0) {
            moved.push_back({def.table, 0});
            continue;
        }
        const std::int64_t rows = copyRows(write, (source.*def.folder).toStdString(), def, [&](std::int64_t done) {
            if (progress)
                progress(before + done, total);
        });
        const std::int64_t onServer = CountValue(write.firstValue("SELECT count(*) FROM " + std::string(def.table)));
        if (onServer != rows)
            throw engine::EngineError("The table " + std::string(def.table) + " holds " + std::to_string(onServer) +
                                      " rows on the server after " + std::to_string(rows) +
                                      " were copied; nothing has been moved.");
        before += rows;
        moved.push_back({def.table, rows});
    }
    if (!source.proofFolder.isEmpty()) {
        const std::int64_t copies = copyProofs(write, proofs, [&](std::int64_t done) {
            if (progress)
                progress(before + done, total);
        });
        moved.push_back({"Proofs", copies});
    }
    if (moved.front().rows != 1)
        throw engine::EngineError("The table " + counter.fileName() + " holds more than one Mailer Number row");

    // The mark first: should the commit fail, the mark goes again; should the program stop
    // between the two, the folder refuses numbers rather than hand out the server's.
    QSaveFile mark(MovedToServerMarkFile(source.mailerNumFolder));
    if (!mark.open(QIODevice::WriteOnly) ||
        mark.write(QString::fromStdString(engine::describeServer(where) + "\n").toUtf8()) < 0 || !mark.commit())
        throw engine::EngineError("The counter of " + counterFolder + " cannot be marked as moved (" +
                                  mark.errorString().toStdString() + "); nothing has been moved.");
    try {
        write.commit();
    } catch (...) {
        QFile::remove(MovedToServerMarkFile(source.mailerNumFolder));
        throw;
    }
    counter.close();
    return moved;
}
