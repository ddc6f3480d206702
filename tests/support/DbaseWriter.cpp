#include "tests/support/DbaseWriter.h"

#include <QFile>

namespace testsupport {

namespace {

void putLe16(QByteArray& bytes, int at, unsigned value)
{
    bytes[at] = char(value & 0xff);
    bytes[at + 1] = char((value >> 8) & 0xff);
}

void putLe32(QByteArray& bytes, int at, unsigned long value)
{
    for (int i = 0; i < 4; ++i)
        bytes[at + i] = char((value >> (8 * i)) & 0xff);
}

} // namespace

QByteArray dbaseHeader(const QList<DbfField>& fields, int recordCount, unsigned char version)
{
    int recordLength = 1;
    for (const DbfField& f : fields)
        recordLength += f.width;
    const int headerLength = 32 + 32 * int(fields.size()) + 1;

    QByteArray out(32, '\0');
    out[0] = char(version);
    out[1] = char(103); // last update 2003-04-05
    out[2] = 4;
    out[3] = 5;
    putLe32(out, 4, static_cast<unsigned long>(recordCount));
    putLe16(out, 8, headerLength);
    putLe16(out, 10, recordLength);
    for (const DbfField& f : fields) {
        QByteArray d(32, '\0');
        d.replace(0, qMin<int>(f.name.size(), 10), f.name.left(10));
        d[11] = f.type;
        d[16] = char(f.width);
        out += d;
    }
    out += char(0x0D);
    return out;
}

QByteArray dbaseRecord(const QList<DbfField>& fields, const DbfRecord& record)
{
    QByteArray out(1, record.deleted ? '*' : ' ');
    for (const DbfField& f : fields) {
        const QByteArray value = record.values.value(f.name).left(f.width);
        out += f.type == 'N' || f.type == 'M' ? value.rightJustified(f.width, ' ') : value.leftJustified(f.width, ' ');
    }
    return out;
}

QByteArray dbaseEnd()
{
    return QByteArray(1, char(0x1A));
}

QByteArray dbaseFile(const QList<DbfField>& fields, const QList<DbfRecord>& records, unsigned char version)
{
    QByteArray out = dbaseHeader(fields, int(records.size()), version);
    for (const DbfRecord& r : records)
        out += dbaseRecord(fields, r);
    return out + dbaseEnd();
}

QList<DbfField> report3Fields()
{
    return {
        {"sentname0", 'C', 30}, {"sentname1", 'C', 30}, {"sentname2", 'C', 30}, {"sentname3", 'C', 30},
        {"city", 'C', 35},      {"state", 'C', 4},      {"zip", 'C', 10},       {"rdate", 'D', 8},
        {"mailernum", 'C', 25}, {"postage", 'C', 15},   {"certified", 'C', 15}, {"restricted", 'C', 15},
        {"return", 'C', 15},    {"total", 'C', 15},     {"comments", 'C', 35},  {"re", 'C', 25},
    };
}

bool writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

} // namespace testsupport
