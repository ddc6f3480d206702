// The dBASE reader: a dBASE III table file (.dbf), its fields looked up by name and read as
// text, dates as their date text ("YYYYMMDD"). The file's character data is in the OEM (DOS)
// code page 437 and is converted on reading. Records marked as deleted are read like the
// others. Reading goes through shapelib's DBF functions; the header is checked first, so a
// file that is not a dBASE III table, or is cut short, is refused before any record is read.
#pragma once

#include <QString>
#include <memory>
#include <stdexcept>

// A file that cannot be read as a dBASE III table; the message names the file and the fault.
class DbfError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class TzDbfReport {
public:
    // Opens the file for reading; throws DbfError.
    explicit TzDbfReport(const QString& path);
    ~TzDbfReport();
    TzDbfReport(const TzDbfReport&) = delete;
    TzDbfReport& operator=(const TzDbfReport&) = delete;

    int recordCount() const { return records_; }
    // The index of the named field, without regard to letter case; -1 when there is none.
    int fieldIndex(const QString& name) const;
    // The field of a record as text, without surrounding blanks. Throws DbfError when the
    // record cannot be read.
    QString text(int record, int field) const;
    bool deleted(int record) const;

private:
    struct Handles;
    std::unique_ptr<Handles> handles_;
    QString path_;
    int records_ = 0;
};
