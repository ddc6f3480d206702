#include "addressbook/TextFiles.h"

#include "engine/Query.h"
#include "log/ReportColumns.h"

#include <QDateTime>
#include <QFile>
#include <QLocale>
#include <QScopeGuard>
#include <QStringDecoder>
#include <QTimeZone>
#include <algorithm>
#include <limits>
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

// The field's column in the row (letter case aside); throws as the row's own lookup does
// when there is none.
int fieldIndexOf(const engine::RowSource& row, const std::string& field)
{
    for (int i = 0; i < row.fieldCount(); ++i)
        if (QString::fromStdString(row.fieldName(i)).compare(QString::fromStdString(field), Qt::CaseInsensitive) == 0)
            return i;
    throw engine::EngineError("Column not found: " + field);
}

// The log's Date and Time as the workstation shows it: its short date and long time, with
// the time zone's name. Local time asks the C library, and through it the disk, for every
// row; the system time zone's own data, read once, gives the same text for every day
// except those near a change of the clock, where an hour repeats or is skipped and the
// two choose differently, so those days are still formatted as local time.
class LogDateTimeText {
public:
    QString operator()(const engine::DateTime& t)
    {
        if (t.year == 0)
            return {};
        const QDate date(t.year, t.month, t.day);
        const QTime time(t.hour, t.minute, t.second);
        if (date.isValid() && !nearClockChange(date))
            return locale_.toString(QDateTime(date, time, zone_), format_);
        return locale_.toString(QDateTime(date, time), format_);
    }

private:
    bool nearClockChange(QDate date)
    {
        if (date.toJulianDay() == day_)
            return dayNearChange_;
        day_ = date.toJulianDay();
        // Two days either side cover every offset from UTC.
        const QDateTime from = date.addDays(-2).startOfDay(Qt::UTC);
        const QDateTime until = date.addDays(3).startOfDay(Qt::UTC);
        if (!zone_.isValid()) {
            dayNearChange_ = true;
        } else if (!zone_.hasTransitions()) {
            dayNearChange_ = false;
        } else {
            const QTimeZone::OffsetData next = zone_.nextTransition(from);
            dayNearChange_ = next.atUtc.isValid() && next.atUtc < until;
        }
        return dayNearChange_;
    }

    const QLocale locale_ = QLocale::system();
    const QString format_ = locale_.dateFormat(QLocale::ShortFormat) + ' ' + locale_.timeFormat(QLocale::LongFormat);
    const QTimeZone zone_ = QTimeZone::systemTimeZone();
    qint64 day_ = std::numeric_limits<qint64>::min();
    bool dayNearChange_ = true;
};

// ReadCsvField's work on a view of the line, so that a whole line is split without a
// string made for each step.
QStringView csvField(QStringView line, int& position)
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
    const QStringView field = line.mid(start - 1, position - start).trimmed();
    ++position; // past the end character
    if (quoted)
        ++position; // the separator after the closing quote
    return field;
}

} // namespace

QString ReadCsvField(const QString& line, int& position)
{
    return csvField(line, position).toString();
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
        addressField(address, i) = csvField(line, position).left(kColumnWidths[i]).toString();
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
    // Windows-1252 differs from Latin-1 only in 0x80-0x9F; without those bytes the much
    // quicker Latin-1 conversion gives the same text.
    if (std::none_of(bytes.begin(), bytes.end(), [](char c) {
            const auto b = static_cast<unsigned char>(c);
            return b >= 0x80 && b <= 0x9F;
        }))
        return QString::fromLatin1(bytes);
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
    write(line);
    endLine();
}

void TextFileWriter::appendAscii(const char* text, qsizetype size)
{
    pending_.append(text, size);
}

void TextFileWriter::write(QStringView text)
{
    const char16_t* units = text.utf16();
    const qsizetype size = text.size();
    if (std::all_of(units, units + size, [](char16_t c) { return c < 0x80; })) {
        const qsizetype at = pending_.size();
        pending_.resize(at + size);
        std::transform(units, units + size, pending_.data() + at, [](char16_t c) { return static_cast<char>(c); });
    } else {
        pending_ += encoder_.encode(text);
    }
}

void TextFileWriter::writeUtf8(std::string_view text)
{
    if (std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
        appendAscii(text.data(), static_cast<qsizetype>(text.size()));
    else
        pending_ += encoder_.encode(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
}

void TextFileWriter::endLine()
{
    appendAscii("\r\n", 2);
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
    // A file that cannot be written leaves no read lock on the table behind.
    const auto closeQuery = qScopeGuard([&query] { query.close(); });
    query.setSql("select * from " + table + " order by A_ID");
    query.open();
    for (; !query.eof(); query.next(), ++count)
        out.writeLine(addressTextLine(addressRecOf(query).address));
    return count;
}

int exportLog(engine::Query& query, TextFileWriter& out, const ExportProgress& progress)
{
    constexpr int kProgressEvery = 4096;
    LogDateTimeText dateTimeText;
    // A file that cannot be written or a row that does not read leaves no read lock on the
    // log behind: other workstations could not log a mailer until the program ends.
    const auto closeQuery = qScopeGuard([&query] { query.close(); });
    int total = 0;
    if (progress) {
        query.close();
        query.setSql("select count(*) from Log37");
        query.open();
        total = static_cast<int>(query.asInteger(query.fieldName(0)));
    }
    int count = 0;
    query.close();
    query.setSql("select * from Log37 order by DateTime");
    query.open();
    // Each labelled line: its label and how its value is read, found once for the whole run.
    enum class Kind { Text, DateTime, Batch };
    struct Line {
        QString label;
        std::string field;
        int index;
        Kind kind;
    };
    std::vector<Line> lines;
    for (const ReportColumnEntry& column : reportColumnTable()) {
        const std::string field = column.logColumn;
        const Kind kind = field == "DateTime" ? Kind::DateTime : field == "Batch" ? Kind::Batch : Kind::Text;
        lines.push_back(
            {reportHeading(QString::fromLatin1(column.entryText)) + " = ", field, fieldIndexOf(query, field), kind});
    }
    for (; !query.eof(); query.next(), ++count) {
        for (const Line& line : lines) {
            out.write(line.label);
            switch (line.kind) {
            case Kind::DateTime:
                out.write(dateTimeText(query.asDateTime(line.field)));
                break;
            case Kind::Batch:
                out.write(query.asBoolean(line.field) ? u"True" : u"False");
                break;
            case Kind::Text:
                out.writeUtf8(query.asString(line.index));
                break;
            }
            out.endLine();
        }
        out.endLine();
        out.endLine();
        if (progress && (count + 1) % kProgressEvery == 0)
            progress(count + 1, total);
    }
    query.close();
    if (progress)
        progress(count, total);
    return count;
}

void insertAddresses(engine::Query& query, const std::string& table, const std::vector<TAddressLines>& addresses)
{
    query.close();
    query.setSql("insert into " + table +
                 " (Address1, Address2, Address3, Address4, City, State, Zip) values (?, ?, ?, ?, ?, ?, ?)");
    query.execEach(addresses.size(), [&addresses](size_t row, std::vector<engine::Value>& values) {
        for (int i = 0; i < 7; ++i)
            values.emplace_back(addressField(addresses[row], i).toStdString());
    });
    query.close();
}

QString exportCompletedMessage(const QString& fileName)
{
    return "Export completed fo file \"" + fileName + "\".";
}

QString addressesAddedMessage(int count)
{
    return QString::number(count) + " addresses have been added to the database.";
}
