#include "log/TzDbfReport.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <iconv.h>
#include <limits>
#include <shapefil.h>

namespace {

// dBASE III without and with a memo file.
constexpr unsigned char kDbase3 = 0x03;
constexpr unsigned char kDbase3Memo = 0x83;
constexpr int kHeaderSize = 32;
constexpr int kFieldDescriptorSize = 32;
constexpr char kHeaderEnd = 0x0D;

unsigned le16(const unsigned char* p)
{
    return p[0] | (p[1] << 8);
}

unsigned long le32(const unsigned char* p)
{
    return static_cast<unsigned long>(p[0]) | (static_cast<unsigned long>(p[1]) << 8) |
           (static_cast<unsigned long>(p[2]) << 16) | (static_cast<unsigned long>(p[3]) << 24);
}

[[noreturn]] void refuse(const QString& path, const QString& fault)
{
    throw DbfError(
        QStringLiteral("The file %1 cannot be read as a dBASE III table: %2.").arg(path, fault).toStdString());
}

// Checks what shapelib trusts without checking: the version, a header that ends where it
// says, record lengths that add up, and a file long enough for every record. Returns the
// record count.
int checkHeader(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw DbfError(QStringLiteral("The file %1 cannot be opened: %2").arg(path, file.errorString()).toStdString());
    const QByteArray head = file.read(kHeaderSize);
    if (head.size() < kHeaderSize)
        refuse(path, "it is shorter than a table header");
    const auto* h = reinterpret_cast<const unsigned char*>(head.constData());
    if (h[0] != kDbase3 && h[0] != kDbase3Memo)
        refuse(path, "its header is not that of a dBASE III table");
    const unsigned long records = le32(h + 4);
    const unsigned headerLength = le16(h + 8);
    const unsigned recordLength = le16(h + 10);
    if (headerLength < kHeaderSize + kFieldDescriptorSize + 1 || recordLength < 2)
        refuse(path, "its header gives impossible lengths");
    const QByteArray fields = file.read(headerLength - kHeaderSize);
    if (fields.size() < static_cast<int>(headerLength - kHeaderSize))
        refuse(path, "it ends inside its header");
    unsigned widths = 1; // the deletion mark
    int fieldCount = 0;
    for (int at = 0; at + kFieldDescriptorSize <= fields.size() && fields.at(at) != kHeaderEnd;
         at += kFieldDescriptorSize, ++fieldCount)
        widths += static_cast<unsigned char>(fields.at(at + 16));
    const int end = fieldCount * kFieldDescriptorSize;
    if (fieldCount == 0 || end >= fields.size() || fields.at(end) != kHeaderEnd)
        refuse(path, "its field list is damaged");
    if (widths != recordLength)
        refuse(path, "its field widths do not add up to its record length");
    const qint64 needed = headerLength + static_cast<qint64>(records) * recordLength;
    if (QFileInfo(path).size() < needed) {
        const qint64 whole = (QFileInfo(path).size() - headerLength) / recordLength;
        refuse(
            path,
            QStringLiteral("it is cut short: it holds %1 of its %2 records").arg(qMax<qint64>(whole, 0)).arg(records));
    }
    if (records > static_cast<unsigned long>(std::numeric_limits<int>::max()))
        refuse(path, "its record count is impossible");
    return static_cast<int>(records);
}

// shapelib reports read faults through its hooks; they become the reader's error.
thread_local QString g_lastFault;

void recordFault(const char* message)
{
    g_lastFault = QString::fromLocal8Bit(message);
}

} // namespace

struct TzDbfReport::Handles {
    DBFHandle dbf = nullptr;
    iconv_t oem = reinterpret_cast<iconv_t>(-1);
    ~Handles()
    {
        if (dbf)
            DBFClose(dbf);
        if (oem != reinterpret_cast<iconv_t>(-1))
            iconv_close(oem);
    }
};

TzDbfReport::TzDbfReport(const QString& path) : handles_(std::make_unique<Handles>()), path_(path)
{
    records_ = checkHeader(path);
    SAHooks hooks;
    SASetupDefaultHooks(&hooks);
    hooks.Error = recordFault;
    g_lastFault.clear();
    handles_->dbf = DBFOpenLL(QFile::encodeName(path).constData(), "rb", &hooks);
    if (!handles_->dbf)
        refuse(path, g_lastFault.isEmpty() ? QStringLiteral("it cannot be opened") : g_lastFault);
    handles_->oem = iconv_open("UTF-8", "CP437");
    if (handles_->oem == reinterpret_cast<iconv_t>(-1))
        throw DbfError("The conversion from the DOS code page 437 is not available on this computer.");
}

TzDbfReport::~TzDbfReport() = default;

int TzDbfReport::fieldIndex(const QString& name) const
{
    return DBFGetFieldIndex(handles_->dbf, name.toLatin1().constData());
}

QString TzDbfReport::text(int record, int field) const
{
    g_lastFault.clear();
    const char* raw = DBFReadStringAttribute(handles_->dbf, record, field);
    if (!raw)
        throw DbfError(
            QStringLiteral("Record %1 of %2 cannot be read: %3").arg(record + 1).arg(path_, g_lastFault).toStdString());
    // Code page 437 maps every byte, so the output is at most three bytes a byte.
    std::string in(raw);
    std::string out(in.size() * 3 + 1, '\0');
    char* inPtr = in.data();
    size_t inLeft = in.size();
    char* outPtr = out.data();
    size_t outLeft = out.size();
    iconv(handles_->oem, nullptr, nullptr, nullptr, nullptr);
    if (iconv(handles_->oem, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<size_t>(-1))
        throw DbfError(QStringLiteral("Record %1 of %2 cannot be converted from the DOS code page.")
                           .arg(record + 1)
                           .arg(path_)
                           .toStdString());
    return QString::fromUtf8(out.data(), static_cast<qsizetype>(out.size() - outLeft)).trimmed();
}

bool TzDbfReport::deleted(int record) const
{
    return DBFIsRecordDeleted(handles_->dbf, record) != 0;
}
