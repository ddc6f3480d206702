// Proof of mailing: a PDF copy of every printed mailer, kept beside the log so that an
// office can show, long after, exactly what was printed for a Mailer Number. The copy is
// drawn by the same layout as the paper, into the archive folder ("System Path" /
// "ProofDB"), one file per number in a folder per month of printing:
// <archive>/2026-12/9214712345678900001005.pdf. A label's copy is that label alone at its
// position on the sheet.
#pragma once

#include "printing/MailerForm.h"

#include <QDateTime>
#include <QString>

struct Settings;

class ProofArchive {
public:
    // The archive of the settings, or none when "ProofCopies" is off.
    explicit ProofArchive(const Settings& settings);
    ProofArchive(const QString& folder, bool enabled);

    bool enabled() const { return enabled_; }

    // Keeps the copy of a mailer that has printed. A copy that cannot be written never stops
    // the run: the first failure is kept as the warning, and later mailers are still tried.
    void keep(const MailerPrintData& data, MailerLayout layout, LabelPosition position, const QString& number,
              const QString& recipient, const QDateTime& printedAt = QDateTime::currentDateTime());

    // The one warning of the run, naming the folder and the reason; empty when all went well.
    QString warning() const { return warning_; }

    // Where the copies of a number printed at that time go, and the file a copy of it has, if any.
    static QString monthFolder(const QString& archive, const QDateTime& printedAt);
    static QString proofFile(const QString& archive, const QString& number);

private:
    QString folder_;
    bool enabled_ = true;
    QString warning_;
};
