#include "addressbook/TextFiles.h"

#include "engine/Query.h"
#include "log/ReportColumns.h"

#include <QDateTime>
#include <QFile>
#include <QLocale>
#include <stdexcept>

namespace {

// Address1-Address4, City, State, Zip.
constexpr int kColumnWidths[7] = {50, 50, 50, 50, 35, 4, 10};

constexpr qsizetype kFlushBytes = 1 << 20;

bool isBlankOrTab(QChar c)
{
    return c == u' ' || c == u'\t';
}

std::runtime_error ioError(const QString& what, const QString& fileName, const QString& reason)
{
    return std::runtime_error((what + " \"" + fileName + "\": " + reason).toStdString());
}

} // namespace

QString ReadCsvField(const QString& line, int& position)
{
    const int length = static_cast<int>(line.size());
    while (position < length && isBlankOrTab(line[position - 1]))
        ++position;
    if (position > length)
        return {};
    if (line[position - 1] == u',') {
        ++position;
        return {};
    }
    const bool quoted = line[position - 1] == u'"';
    const QChar end = quoted ? u'"' : u',';
    if (quoted)
        ++position;
    const int start = position;
    while (position <= length && line[position - 1] != end)
        ++position;
    const QString field = line.mid(start - 1, position - start).trimmed();
    ++position; // past the end character
    if (quoted)
        ++position; // the separator after the closing quote
    return field;
}

QString QuoteCsvField(const QString& value)
{
    return value.contains(u',') ? u'"' + value + u'"' : value;
}

TAddressLines readAddressLine(const QString& line)
{
    TAddressLines address;
    int position = 1;
    for (int i = 0; i < 7; ++i)
        addressField(address, i) = ReadCsvField(line, position).left(kColumnWidths[i]);
    return address;
}

QString addressTextLine(const TAddressLines& address)
{
    QString line;
    for (int i = 0; i < 7; ++i) {
        if (i)
            line += u',';
        line += QuoteCsvField(addressField(address, i).trimmed());
    }
    return line;
}

QString decodeTextFile(const QByteArray& bytes)
{
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return QString::fromUtf8(bytes.mid(3));
    QStringDecoder decoder("windows-1252");
    return decoder.decode(bytes);
}

QStringList textFileLines(const QString& text)
{
    QStringList lines;
    qsizetype start = 0;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text[i];
        if (c != u'\r' && c != u'\n')
            continue;
        lines << text.mid(start, i - start);
        if (c == u'\r' && i + 1 < n && text[i + 1] == u'\n')
            ++i;
        start = i + 1;
    }
    if (start < n)
        lines << text.mid(start);
    return lines;
}

QString exportFileName(const QString& chosen)
{
    return chosen.contains(".txt") ? chosen : chosen + ".txt";
}

TextFileWriter::TextFileWriter(const QString& fileName) : fileName_(fileName)
{
    auto file = std::make_unique<QFile>(fileName);
    if (!file->open(QIODevice::WriteOnly | QIODevice::Append))
        throw ioError("Cannot open the file", fileName, file->errorString());
    file_ = std::move(file);
}

TextFileWriter::~TextFileWriter() = default;

void TextFileWriter::writeLine(const QString& line)
{
    pending_ += encoder_.encode(line);
    pending_ += "\r\n";
    if (pending_.size() >= kFlushBytes)
        flush();
}

void TextFileWriter::flush()
{
    if (pending_.isEmpty())
        return;
    if (file_->write(pending_) != pending_.size())
        throw ioError("Cannot write the file", fileName_, file_->errorString());
    pending_.clear();
}

void TextFileWriter::close()
{
    flush();
    auto file = static_cast<QFile*>(file_.get());
    if (!file->flush())
        throw ioError("Cannot write the file", fileName_, file->errorString());
    file->close();
}

int exportAddresses(engine::Query& query, const std::string& table, TextFileWriter& out)
{
    int count = 0;
    query.close();
    query.setSql("select * from " + table + " order by A_ID");
    query.open();
    for (; !query.eof(); query.next(), ++count)
        out.writeLine(addressTextLine(addressRecOf(query).address));
    query.close();
    return count;
}

int exportLog(engine::Query& query, TextFileWriter& out)
{
    // The workstation's short date and long time.
    const QLocale locale = QLocale::system();
    const QString dateTimeFormat =
        locale.dateFormat(QLocale::ShortFormat) + ' ' + locale.timeFormat(QLocale::LongFormat);
    int count = 0;
    query.close();
    query.setSql("select * from Log37 order by DateTime");
    query.open();
    for (; !query.eof(); query.next(), ++count) {
        for (const ReportColumnEntry& column : reportColumnTable()) {
            const std::string field = column.logColumn;
            QString value;
            if (field == "DateTime") {
                const engine::DateTime t = query.asDateTime(field);
                const QDateTime dt(QDate(t.year, t.month, t.day), QTime(t.hour, t.minute, t.second));
                value = t.year == 0 ? QString() : locale.toString(dt, dateTimeFormat);
            } else if (field == "Batch") {
                value = query.asBoolean(field) ? "True" : "False";
            } else {
                value = QString::fromStdString(query.asString(field));
            }
            out.writeLine(reportHeading(QString::fromLatin1(column.entryText)) + " = " + value);
        }
        out.writeLine({});
        out.writeLine({});
    }
    query.close();
    return count;
}

void insertAddresses(engine::Query& query, const std::string& table, const std::vector<TAddressLines>& addresses)
{
    constexpr size_t kRowsPerStatement = 500;
    const std::string head =
        "insert into " + table + " (Address1, Address2, Address3, Address4, City, State, Zip) values";
    for (size_t first = 0; first < addresses.size(); first += kRowsPerStatement) {
        std::string sql = head;
        const size_t last = std::min(addresses.size(), first + kRowsPerStatement);
        for (size_t i = first; i < last; ++i)
            sql += (i > first ? ", (" : "(") + addressValuesSql(addresses[i]) + ")";
        query.close();
        query.setSql(sql);
        query.execSql();
    }
}

QString exportCompletedMessage(const QString& fileName)
{
    return "Export completed fo file \"" + fileName + "\".";
}

QString addressesAddedMessage(int count)
{
    return QString::number(count) + " addresses have been added to the database.";
}
