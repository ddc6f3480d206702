// Address and log text files without windows: the comma-separated address lines read and
// written, the 8-bit text of the files, the log's labelled export, and the file name and
// messages of the commands.
#pragma once

#include "core/TAddressRec.h"
#include "core/TextEncoding.h"

#include <QByteArrayView>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class QIODevice;
namespace engine {
class Query;
}

// ---- comma-separated fields ------------------------------------------------------------------

// Reads one field of the line from position (1-based) and moves position past it and its
// separator. A field opened by a double quote ends at the next double quote, and the one
// character after that is taken as its separator, whatever it is.
QString ReadCsvField(const QString& line, int& position);
// The value in double quotes when it holds a comma, else unchanged.
QString QuoteCsvField(const QString& value);

// The widths of Address1-Address4, City, State and Zip: a value read is cut to them.
inline constexpr int kAddressFieldWidths[7] = {50, 50, 50, 50, 35, 4, 10};

// The seven fields of a line, each cut to its column's width.
TAddressLines readAddressLine(const QString& line);
// The written form of an address: each field trimmed and quoted as needed, joined by ","
// (without the line end).
QString addressTextLine(const TAddressLines& address);

// ---- files -----------------------------------------------------------------------------------

// A file's text: see decodeText.
inline QString decodeTextFile(const QByteArray& bytes)
{
    return decodeText(bytes);
}
// The lines of a text file's contents (CR LF, LF or CR ends a line); a last line without
// an end counts, an empty file has none.
QStringList textFileLines(const QString& text);

// The export's file name: ".txt" appended unless the name contains it (letter case counts).
QString exportFileName(const QString& chosen);

// The lines of an address text file, found by one pass over the file that keeps no more
// than where each line starts: the preview reads the lines it shows, and Add to Database
// the lines it adds, from the file itself. So a file of a gigabyte takes a few bytes of
// memory per line, not several times its size.
class AddressFileIndex {
public:
    // Larger files are refused before they are read.
    static constexpr qint64 kMaxBytes = (qint64(1) << 31) - 1;
    static constexpr qsizetype kMaxLines = 50'000'000;

    // Reads the file through once. Throws std::runtime_error with a message naming the
    // file when it cannot be read, holds binary data, or is too large to preview.
    explicit AddressFileIndex(const QString& fileName);
    ~AddressFileIndex();

    qsizetype lineCount() const { return static_cast<qsizetype>(starts_.size()) - 1; }
    TextEncoding encoding() const { return encoding_; }
    const QString& fileName() const { return fileName_; }
    // The fields of a line (0-based), read from the file. Throws std::runtime_error when
    // the file can no longer be read.
    TAddressLines address(qsizetype line) const;
    // A line's text without its end, read from the file; throws as address does.
    QString lineText(qsizetype line) const;
    // Throws std::runtime_error when the file was changed since it was read.
    void checkUnchanged() const;

private:
    QString fileName_;
    std::unique_ptr<QIODevice> file_;
    std::vector<quint32> starts_; // where each line starts, then the end of the file
    TextEncoding encoding_ = TextEncoding::Windows1252;
    qint64 size_ = 0;
    QDateTime modified_;
};

// Writes text to a file after what the file holds already, in Windows-1252 or in UTF-8
// (with a byte-order mark when the file is new or empty). Throws std::runtime_error with
// a message naming the file when it cannot be opened or written in full (a full disk, for
// instance), and when Windows-1252 lacks a character of the text: nothing is ever written
// in place of a character. The lines written before stay.
class TextFileWriter {
public:
    explicit TextFileWriter(const QString& fileName, TextEncoding encoding = TextEncoding::Windows1252);
    ~TextFileWriter();
    void writeLine(const QString& line); // ends it with CR LF
    // Parts of a line, then its end. Text that is plain ASCII is copied as it stands.
    void write(QStringView text);
    void writeUtf8(std::string_view text);
    void endLine();
    void close(); // flushes; throws when the rest cannot be written

private:
    void flush();
    void appendAscii(const char* text, qsizetype size);
    QString fileName_;
    TextEncoding encoding_;
    std::unique_ptr<QIODevice> file_;
    QByteArray pending_;
};

// The encoding an export appends in: UTF-8 when the file exists and already holds UTF-8
// text (a byte-order mark, or characters beyond ASCII that read as UTF-8), else Windows-1252.
TextEncoding exportEncodingOf(const QString& fileName);

// ---- exports ---------------------------------------------------------------------------------

// Writes every row of the address select (Address or YourAddress, in A_ID order) as one
// line; returns the number of lines.
int exportAddresses(engine::Query& query, const std::string& table, TextFileWriter& out);

// Writes every Log37 row in DateTime order as 29 labelled lines (the log column table's
// headings and fields) and two empty lines; returns the number of rows. progress, when
// given, hears the rows written and the rows in all every few thousand rows and at the end.
using ExportProgress = std::function<void(int written, int total)>;
int exportLog(engine::Query& query, TextFileWriter& out, const ExportProgress& progress = {});

// The rows an export would write with characters that Windows-1252 lacks, each told by a
// short text (its key and first line); at most limit of them, and how many there are.
struct RowsOutsideEncoding {
    QStringList shown;
    int count = 0;
};
RowsOutsideEncoding addressesOutsideWindows1252(engine::Query& query, const std::string& table, int limit = 10);
RowsOutsideEncoding logRowsOutsideWindows1252(engine::Query& query, int limit = 10);
// The question asked before such an export: the rows, and UTF-8 offered for the file.
QString encodingQuestion(const RowsOutsideEncoding& rows, const QString& fileName);

// ---- imports ---------------------------------------------------------------------------------

// Inserts the addresses into the table (Address or YourAddress) in order, all in one
// transaction: a refusal ends it with the engine's error and adds none of them.
void insertAddresses(engine::Query& query, const std::string& table, const std::vector<TAddressLines>& addresses);
// The same for count addresses handed out one by one, in order.
void insertAddresses(engine::Query& query, const std::string& table, size_t count,
                     const std::function<TAddressLines(size_t)>& addressAt);

QString exportCompletedMessage(const QString& fileName);
QString addressesAddedMessage(int count);
