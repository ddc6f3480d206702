#include "core/ProofCopies.h"
#include "core/PrintError.h"
#include "engine/Engine.h"
#include "engine/Query.h"
#include "engine/Server.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QTemporaryDir>

namespace {

// A Mailer Number as the copies are kept under it: 22 digits, nothing else.
bool isPlainMailerNumber(const QString& number)
{
    if (number.size() != 22)
        return false;
    for (QChar c : number)
        if (c < '0' || c > '9')
            return false;
    return true;
}

} // namespace

QString ProofCopies::monthFolder(const QString& archive, const QDateTime& printedAt)
{
    return archive + "/" + printedAt.toString("yyyy-MM");
}

QString ProofCopies::proofFile(const QString& archive, const QString& number)
{
    // The newest months first: a number is looked for where it was most likely printed.
    QDir dir(archive);
    const QStringList months = dir.entryList({"[0-9][0-9][0-9][0-9]-[0-9][0-9]"}, QDir::Dirs | QDir::NoDotAndDotDot,
                                             QDir::Name | QDir::Reversed);
    for (const QString& month : months) {
        const QString file = archive + "/" + month + "/" + number + ".pdf";
        if (QFileInfo::exists(file))
            return file;
    }
    return {};
}

bool ProofCopies::hasProof(const QString& location, const QString& number)
{
    if (!isPlainMailerNumber(number))
        return false;
    if (!engine::isServerLocation(location.toStdString()))
        return !proofFile(location, number).isEmpty();
    engine::Query q;
    q.setFolder(location.toStdString());
    q.setSql("select PID from Proofs where MailerNum = " + engine::quoted(number.toStdString()) + " limit 1");
    q.open();
    return !q.eof();
}

QByteArray ProofCopies::serverProof(const QString& location, const QString& number)
{
    if (!isPlainMailerNumber(number))
        return {};
    engine::Query q;
    q.setFolder(location.toStdString());
    q.setSql("select Pdf from Proofs where MailerNum = " + engine::quoted(number.toStdString()) +
             " order by PID limit 1");
    q.open();
    if (q.eof())
        return {};
    // The server gives a bytea in its hex form: "\x" and two digits a byte.
    const std::string text = q.asString(0);
    if (text.rfind("\\x", 0) != 0)
        throw engine::EngineError("The proof copy of the Mailer Number " + number.toStdString() +
                                  " on the database server " + engine::describeServer(location.toStdString()) +
                                  " is not in the form this program reads");
    return QByteArray::fromHex(QByteArray::fromRawData(text.data() + 2, qsizetype(text.size()) - 2));
}

QString ProofCopies::proofToOpen(const QString& location, const QString& number)
{
    if (!isPlainMailerNumber(number))
        return {};
    if (!engine::isServerLocation(location.toStdString()))
        return proofFile(location, number);
    const QByteArray pdf = serverProof(location, number);
    if (pdf.isEmpty())
        return {};
    // Opened copies stay until the program ends: the viewer may read the file after the
    // window that asked for it has closed.
    static QTemporaryDir opened(QDir::tempPath() + "/dovra-proofs-XXXXXX");
    if (!opened.isValid())
        throw PrintError(QStringLiteral("The proof copy of the Mailer Number %1 could not be written to a temporary "
                                        "file: %2")
                             .arg(number, opened.errorString()));
    const QString file = opened.filePath(number + ".pdf");
    // A copy opened before is written again; it was left read-only.
    QFile::setPermissions(file, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly) || out.write(pdf) != pdf.size() || !out.commit())
        throw PrintError(QStringLiteral("The proof copy of the Mailer Number %1 could not be written to \"%2\": %3")
                             .arg(number, QDir::toNativeSeparators(file), out.errorString()));
    // A copy to look at, not to change: the proof stays as stored.
    QFile::setPermissions(file, QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther);
    return file;
}
