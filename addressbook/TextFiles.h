// Address and log text files without windows: the comma-separated address lines read and
// written, the 8-bit text of the files, the log's labelled export, and the file name and
// messages of the commands.
#pragma once

#include "entry/TAddressRec.h"

#include <QString>
#include <QStringEncoder>
#include <functional>
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

// The seven fields of a line, each cut to its column's width.
TAddressLines readAddressLine(const QString& line);
// The written form of an address: each field trimmed and quoted as needed, joined by ","
// (without the line end).
QString addressTextLine(const TAddressLines& address);

// ---- files -----------------------------------------------------------------------------------

// The file's text: UTF-8 when it starts with the UTF-8 byte-order mark, else Windows-1252.
QString decodeTextFile(const QByteArray& bytes);
// The lines of a text file's contents (CR LF, LF or CR ends a line); a last line without
// an end counts, an empty file has none.
QStringList textFileLines(const QString& text);

// The export's file name: ".txt" appended unless the name contains it (letter case counts).
QString exportFileName(const QString& chosen);

// Writes text to a file in Windows-1252, after what the file holds already. Throws
// std::runtime_error with a message naming the file when it cannot be opened or written
// in full (a full disk, for instance); the lines written before stay.
class TextFileWriter {
public:
    explicit TextFileWriter(const QString& fileName);
    ~TextFileWriter();
    void writeLine(const QString& line); // ends it with CR LF
    // Parts of a line, then its end. Text that is plain ASCII is copied as it stands;
    // anything else goes through the encoder.
    void write(QStringView text);
    void writeUtf8(std::string_view text);
    void endLine();
    void close(); // flushes; throws when the rest cannot be written

private:
    void flush();
    void appendAscii(const char* text, qsizetype size);
    QString fileName_;
    std::unique_ptr<QIODevice> file_;
    QStringEncoder encoder_{"windows-1252"};
    QByteArray pending_;
};

// ---- exports ---------------------------------------------------------------------------------

// Writes every row of the address select (Address or YourAddress, in A_ID order) as one
// line; returns the number of lines.
int exportAddresses(engine::Query& query, const std::string& table, TextFileWriter& out);

// Writes every Log37 row in DateTime order as 29 labelled lines (the log column table's
// headings and fields) and two empty lines; returns the number of rows. progress, when
// given, hears the rows written and the rows in all every few thousand rows and at the end.
using ExportProgress = std::function<void(int written, int total)>;
int exportLog(engine::Query& query, TextFileWriter& out, const ExportProgress& progress = {});

// ---- imports ---------------------------------------------------------------------------------

// Inserts the addresses into the table (Address or YourAddress) in order, all in one
// transaction: a refusal ends it with the engine's error and adds none of them.
void insertAddresses(engine::Query& query, const std::string& table, const std::vector<TAddressLines>& addresses);

QString exportCompletedMessage(const QString& fileName);
QString addressesAddedMessage(int count);
