// Proof of mailing: a PDF copy of every printed mailer, kept beside the log so that an
// office can show, long after, exactly what was printed for a Mailer Number. The copy is
// drawn by the same layout as the paper. A label's copy is that label alone at its position
// on the sheet.
//
// Where the copies go is a location, as for tables: a folder ("System Path" / "ProofDB"), one
// file per number in a folder per month of printing
// (<archive>/2026-12/9214712345678900001005.pdf); or a server database (with "Server", unless
// the office keeps its copies in the folder), one row per copy in the table Proofs: the PDF's
// bytes, the Mailer Number, the recipient and the time it was printed.
//
// On a server the copies are drawn and stored by a thread of the archive's own, on a
// connection of its own, several to a transaction, while the run prints on: a copy never
// waits for, or holds up, the transaction that takes a number, and the print run only hands
// over the mailer's values, which the copy draws as the paper did. A server away for a moment
// (a restart) is waited for, the copies held in memory meanwhile.
#pragma once

#include "printing/MailerForm.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <memory>

struct Settings;

class ProofArchive {
public:
    // The archive of the settings (Settings::proofLocation), or none when "ProofCopies" is off.
    explicit ProofArchive(const Settings& settings);
    ProofArchive(const QString& location, bool enabled);
    // Waits for the copies still being stored.
    ~ProofArchive();
    ProofArchive(const ProofArchive&) = delete;
    ProofArchive& operator=(const ProofArchive&) = delete;

    bool enabled() const { return enabled_; }
    bool onServer() const;

    // Keeps the copy of a mailer that has printed, drawn from the values its paper was drawn
    // from and kept under their kind "T" number. A copy that cannot be kept never stops the
    // run: the first failure is kept as the warning, and later mailers are still tried.
    void keep(const MailerValues& values, MailerLayout layout, LabelPosition position, const QString& recipient,
              const QDateTime& printedAt = QDateTime::currentDateTime());

    // The one warning of the run, naming the folder or the server and the reason; empty when
    // all went well. Waits until the copies kept so far are stored.
    QString warning() const;

    class ServerStore; // the thread that stores a server's copies

private:
    void keepInFolder(const MailerValues& values, MailerLayout layout, LabelPosition position, const QString& recipient,
                      const QDateTime& printedAt);
    void keepOnServer(const MailerValues& values, MailerLayout layout, LabelPosition position, const QString& recipient,
                      const QDateTime& printedAt);

    QString location_;
    bool enabled_ = true;
    QString warning_;
    std::unique_ptr<ServerStore> store_;
};
