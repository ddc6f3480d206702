// Where the proof copies of printed mailers are kept, and reading them back: a folder with a
// folder per month of printing (<archive>/2026-12/9214712345678900001005.pdf), or the table
// Proofs of a server database. Drawing and keeping the copies is printing's
// (printing/ProofArchive.h).
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

class ProofCopies {
public:
    // Where the copies of a number printed at that time go, and the file a copy of it has, if any.
    static QString monthFolder(const QString& archive, const QDateTime& printedAt);
    static QString proofFile(const QString& archive, const QString& number);

    // Whether a copy of the number (22 digits) is kept at location, a folder or a server.
    // Throws engine::EngineError when the server cannot be asked.
    static bool hasProof(const QString& location, const QString& number);
    // A file that holds the copy of the number, to open: in a folder the copy itself; from a
    // server (the first copy stored, as a reprint's folder copy is the one under the bare
    // number) a read-only temporary file named after the number, written now. Empty when there
    // is none. Throws engine::EngineError when the server cannot be read, PrintError when the
    // temporary file cannot be written.
    static QString proofToOpen(const QString& location, const QString& number);
    // The bytes of the first copy of the number stored on a server; empty when there is none.
    static QByteArray serverProof(const QString& location, const QString& number);
};
