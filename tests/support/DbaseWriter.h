// A small dBASE III writer for test fixtures and benchmarks: the earlier edition's
// report3.dbf layout, records given as bytes (text in DOS code page 437).
#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>

namespace testsupport {

struct DbfField {
    QByteArray name;
    char type = 'C'; // C text, D date (YYYYMMDD), N number, M memo block
    int width = 10;
};

struct DbfRecord {
    QMap<QByteArray, QByteArray> values; // by field name; missing fields are blank
    bool deleted = false;
};

constexpr unsigned char kDbase3 = 0x03;
constexpr unsigned char kDbase3WithMemo = 0x83;

// Header, field list, records (values cut or padded with blanks to their widths), end mark.
QByteArray dbaseFile(const QList<DbfField>& fields, const QList<DbfRecord>& records, unsigned char version = kDbase3);

// The same file in parts, for files too big to hold in memory: the header and field list,
// one record, and the end mark (one byte, 0x1A).
QByteArray dbaseHeader(const QList<DbfField>& fields, int recordCount, unsigned char version = kDbase3);
QByteArray dbaseRecord(const QList<DbfField>& fields, const DbfRecord& record);
QByteArray dbaseEnd();

// The earlier edition's fields: sentname0..3, city, state, zip, rdate, mailernum, the five
// fees, comments and re.
QList<DbfField> report3Fields();

// Writes bytes to a file; false when it cannot.
bool writeBytes(const QString& path, const QByteArray& bytes);

} // namespace testsupport
