#include "printing/ProofArchive.h"

#include "app/Settings.h"
#include "engine/Engine.h"
#include "printing/PdfCanvas.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>

ProofArchive::ProofArchive(const Settings& settings) : ProofArchive(settings.proofDB, settings.proofCopies) {}

ProofArchive::ProofArchive(const QString& folder, bool enabled) : folder_(folder), enabled_(enabled) {}

QString ProofArchive::monthFolder(const QString& archive, const QDateTime& printedAt)
{
    return archive + "/" + printedAt.toString("yyyy-MM");
}

QString ProofArchive::proofFile(const QString& archive, const QString& number)
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

namespace {

// Puts the finished copy under the number's name without replacing a copy already there
// (a reprint of the number keeps the first one and gets "-2", "-3", ...).
QString placeProof(const QString& written, const QString& folder, const QString& number)
{
    for (int n = 1; n < 1000; ++n) {
        const QString name = folder + "/" + number + (n == 1 ? QString() : QString("-%1").arg(n)) + ".pdf";
        const int err = engine::placeWithoutReplacing(QFile::encodeName(written).toStdString(),
                                                      QFile::encodeName(name).toStdString());
        if (err == 0)
            return {};
        if (err != EEXIST)
            return QString::fromLocal8Bit(std::strerror(err));
    }
    return QStringLiteral("too many copies of the same Mailer Number");
}

} // namespace

void ProofArchive::keep(const MailerPrintData& data, MailerLayout layout, LabelPosition position,
                        const QString& number, const QString& recipient, const QDateTime& printedAt)
{
    if (!enabled_)
        return;
    const QString month = monthFolder(folder_, printedAt);
    // Copies are written in a folder of their own beside the month's and only then named
    // after their number, so no crash leaves a half file under a Mailer Number's name.
    const QString incoming = month + "/.incoming";
    QString failure;
    try {
        if (!QDir().mkpath(incoming))
            throw PrintError(QStringLiteral("the folder cannot be created"));
        PdfJobCanvas canvas(incoming);
        canvas.SetJobSubject(recipient);
        if (layout == MailerLayout::Form) {
            PrintMailerForm(canvas, data, layout);
        } else {
            canvas.BeginDocument();
            PrintMailerForm(canvas, data, layout, position);
            canvas.EndDocument();
        }
        failure = placeProof(canvas.lastFile(), month, number);
        if (!failure.isEmpty())
            QFile::remove(canvas.lastFile());
    } catch (const std::exception& e) {
        failure = QString::fromUtf8(e.what());
    }
    if (!failure.isEmpty() && warning_.isEmpty())
        warning_ = QStringLiteral("The proof copy of the Mailer Number %1 could not be kept in the folder \"%2\": %3\n\n"
                                  "The mailer has been printed and logged as usual.")
                       .arg(number, folder_, failure);
}
