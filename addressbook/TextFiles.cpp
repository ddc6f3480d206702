#include "addressbook/TextFiles.h"

#include "core/ReportColumns.h"
#include "core/datamodule/Schemas.h"
#include "engine/Query.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QScopeGuard>
#include <QStringDecoder>
#include <QTimeZone>
#include <algorithm>
#include <limits>
#include <stdexcept>

namespace {

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
    (void)row.value(field); // throws the row's own error, naming its file
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
        addressField(address, i) = csvField(line, position).left(kAddressFieldWidths[i]).toString();
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

TextFileWriter::TextFileWriter(const QString& fileName, TextEncoding encoding)
    : fileName_(fileName), encoding_(encoding)
{
    auto file = std::make_unique<QFile>(fileName);
    if (!file->open(QIODevice::WriteOnly | QIODevice::Append))
        throw ioError("Cannot open the file", fileName, file->errorString());
    if (encoding_ == TextEncoding::Utf8 && file->size() == 0)
        appendAscii(kByteOrderMark, 3);
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
    } else if (encoding_ == TextEncoding::Utf8) {
        pending_ += text.toUtf8();
    } else {
        for (const char16_t c : std::u16string_view(units, size)) {
            const int byte = windows1252Byte(c);
            if (byte < 0)
                throw ioError("Cannot write the file", fileName_,
                              "the Windows code page has no character " + QString(QChar(c)) + " (U+" +
                                  QString::number(c, 16).toUpper().rightJustified(4, u'0') + ") of the text \"" +
                                  text.toString() + "\"");
            pending_ += static_cast<char>(byte);
        }
    }
}

void TextFileWriter::writeUtf8(std::string_view text)
{
    if (std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
        appendAscii(text.data(), static_cast<qsizetype>(text.size()));
    else if (encoding_ == TextEncoding::Utf8)
        appendAscii(text.data(), static_cast<qsizetype>(text.size()));
    else
        write(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
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
    insertAddresses(query, table, addresses.size(), [&addresses](size_t row) { return addresses[row]; });
}

void insertAddresses(engine::Query& query, const std::string& table, size_t count,
                     const std::function<TAddressLines(size_t)>& addressAt)
{
    query.close();
    query.setSql("insert into " + table +
                 " (Address1, Address2, Address3, Address4, City, State, Zip) values (?, ?, ?, ?, ?, ?, ?)");
    query.execEach(count, [&addressAt](size_t row, std::vector<engine::Value>& values) {
        const TAddressLines address = addressAt(row);
        for (int i = 0; i < 7; ++i)
            values.emplace_back(addressField(address, i).toStdString());
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

// ---- the import file's index ---------------------------------------------------------------

AddressFileIndex::AddressFileIndex(const QString& fileName) : fileName_(fileName)
{
    auto file = std::make_unique<QFile>(fileName);
    if (!file->open(QIODevice::ReadOnly))
        throw ioError("Cannot read the file", fileName, file->errorString());
    size_ = file->size();
    modified_ = file->fileTime(QFileDevice::FileModificationTime);
    if (size_ > kMaxBytes)
        throw std::runtime_error(("The file \"" + fileName + "\" is too large to preview: it holds " +
                                  QString::number(size_ / (1024 * 1024)) +
                                  " MB, and the preview takes files of up to 2047 MB. Split it into smaller "
                                  "files and import them one by one. Nothing was read.")
                                     .toStdString());
    constexpr qint64 kChunk = 4 << 20;
    QByteArray chunk;
    Utf8Check utf8;
    qint64 at = 0; // the file offset of chunk[0]
    bool afterCr = false;
    starts_.push_back(0);
    while (at < size_) {
        chunk = file->read(kChunk);
        if (chunk.isEmpty())
            throw ioError("Cannot read the file", fileName, file->errorString());
        qsizetype from = 0;
        if (at == 0 && chunk.startsWith(kByteOrderMark)) {
            from = 3;
            starts_[0] = 3;
        }
        if (chunk.indexOf('\0') >= 0)
            throw std::runtime_error(
                ("The file \"" + fileName + "\" is not a text file: it holds binary data. Nothing was read.")
                    .toStdString());
        utf8.feed(chunk.constData() + from, chunk.size() - from);
        const char* bytes = chunk.constData();
        for (qsizetype i = from; i < chunk.size(); ++i) {
            const char c = bytes[i];
            if (c != '\r' && c != '\n') {
                afterCr = false;
                continue;
            }
            const auto next = static_cast<quint32>(at + i + 1);
            if (c == '\n' && afterCr)
                starts_.back() = next; // the LF of a CR LF pair
            else
                starts_.push_back(next);
            afterCr = c == '\r';
            if (static_cast<qsizetype>(starts_.size()) > kMaxLines + 1)
                throw std::runtime_error(("The file \"" + fileName + "\" is too large to preview: it holds more than " +
                                          QLocale::c().toString(kMaxLines) +
                                          " lines. Split it into smaller files and import them one by one. Nothing "
                                          "was added.")
                                             .toStdString());
        }
        at += chunk.size();
    }
    // A last line without its end counts; the end of the file closes the last line.
    if (starts_.back() != static_cast<quint32>(size_))
        starts_.push_back(static_cast<quint32>(size_));
    starts_.shrink_to_fit();
    encoding_ = utf8.valid() ? TextEncoding::Utf8 : TextEncoding::Windows1252;
    file_ = std::move(file);
}

AddressFileIndex::~AddressFileIndex() = default;

QString AddressFileIndex::lineText(qsizetype line) const
{
    const qint64 start = starts_.at(line);
    qint64 length = starts_.at(line + 1) - start;
    if (!file_->seek(start))
        throw ioError("Cannot read the file", fileName_, file_->errorString());
    QByteArray bytes = file_->read(length);
    if (bytes.size() != length)
        throw ioError("Cannot read the file", fileName_, file_->errorString());
    while (!bytes.isEmpty() && (bytes.back() == '\n' || bytes.back() == '\r'))
        bytes.chop(1);
    if (encoding_ == TextEncoding::Windows1252)
        return fromWindows1252(bytes);
    // A byte-order mark that opens a line is dropped (files joined one after the other),
    // one mark only: a second is a character of the line, as anywhere else in it.
    if (bytes.startsWith(kByteOrderMark))
        bytes.remove(0, 3);
    QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::ConvertInitialBom);
    return utf8.decode(bytes);
}

TAddressLines AddressFileIndex::address(qsizetype line) const
{
    return readAddressLine(lineText(line));
}

void AddressFileIndex::checkUnchanged() const
{
    const QFileInfo now(fileName_);
    if (!now.exists() || now.size() != size_ || now.lastModified() != modified_)
        throw std::runtime_error(("The file \"" + fileName_ +
                                  "\" was changed after it was read for the preview. Nothing was added; import "
                                  "the file again.")
                                     .toStdString());
}

// ---- the encoding of exports ---------------------------------------------------------------

TextEncoding exportEncodingOf(const QString& fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return TextEncoding::Windows1252;
    Utf8Check utf8;
    bool beyondAscii = false;
    bool first = true;
    while (!file.atEnd()) {
        const QByteArray chunk = file.read(1 << 20);
        if (chunk.isEmpty())
            break;
        if (first && chunk.startsWith(kByteOrderMark))
            return TextEncoding::Utf8;
        first = false;
        utf8.feed(chunk.constData(), chunk.size());
        beyondAscii = beyondAscii || std::any_of(chunk.begin(), chunk.end(), [](char c) { return c & 0x80; });
        if (!utf8.valid())
            return TextEncoding::Windows1252;
    }
    return beyondAscii && utf8.valid() ? TextEncoding::Utf8 : TextEncoding::Windows1252;
}

namespace {

bool bytesCarried(std::string_view text)
{
    if (std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
        return true;
    return windows1252Carries(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
}

// Notes each row of the table that holds a text Windows-1252 lacks, told by describe. The
// engine passes on only the rows with a character beyond ASCII in one of the columns (its
// text is then longer in bytes than in characters), so that a large log is checked quickly.
RowsOutsideEncoding rowsOutside(engine::Query& query, const std::string& table, const std::vector<std::string>& columns,
                                const std::string& orderBy, int limit,
                                const std::function<QString(const engine::RowSource&)>& describe)
{
    std::string beyondAscii;
    for (const std::string& column : columns)
        beyondAscii +=
            (beyondAscii.empty() ? "" : " or ") + ("length(cast(" + column + " as blob)) <> length(" + column + ")");
    RowsOutsideEncoding found;
    query.close();
    query.setSql("select * from " + table + " where " + beyondAscii + " order by " + orderBy);
    query.open();
    const int fields = query.fieldCount();
    for (; !query.eof(); query.next()) {
        for (int i = 0; i < fields; ++i) {
            if (!bytesCarried(query.asString(i))) {
                if (found.count++ < limit)
                    found.shown << describe(query);
                break;
            }
        }
    }
    query.close();
    return found;
}

QString textOf(const engine::RowSource& row, const char* field)
{
    return QString::fromStdString(row.asString(std::string(field))).trimmed();
}

} // namespace

RowsOutsideEncoding addressesOutsideWindows1252(engine::Query& query, const std::string& table, int limit)
{
    static const std::vector<std::string> columns = {"Address1", "Address2", "Address3", "Address4",
                                                     "City",     "State",    "Zip"};
    return rowsOutside(query, table, columns, "A_ID", limit, [](const engine::RowSource& row) {
        return "address " + textOf(row, "A_ID") + ": " + textOf(row, "Address1");
    });
}

RowsOutsideEncoding logRowsOutsideWindows1252(engine::Query& query, int limit)
{
    // Only text columns can hold a character beyond ASCII (a server keeps times and numbers as such).
    std::vector<std::string> texts;
    for (const engine::FieldDef& field : engine::parseDefinition(schema::Log37))
        if (field.type == engine::FieldType::Char)
            texts.push_back(field.name);
    std::vector<std::string> columns;
    for (const ReportColumnEntry& column : reportColumnTable())
        if (std::find(texts.begin(), texts.end(), column.logColumn) != texts.end())
            columns.push_back(column.logColumn);
    return rowsOutside(query, "Log37", columns, "DateTime", limit, [](const engine::RowSource& row) {
        return "mailer " + textOf(row, "MailerNum") + " of " + textOf(row, "DateTime") + ": " +
               textOf(row, "ToAddress1");
    });
}

QString encodingQuestion(const RowsOutsideEncoding& rows, const QString& fileName)
{
    QString text = (rows.count == 1 ? QString("1 record holds") : QString::number(rows.count) + " records hold") +
                   " characters that the Windows code page (Windows-1252) cannot carry:\n";
    for (const QString& row : rows.shown)
        text += "\n" + row;
    if (rows.count > rows.shown.size())
        text += "\n... and " + QString::number(rows.count - rows.shown.size()) + " more";
    text += "\n\nWrite \"" + fileName +
            "\" as UTF-8, which carries every character? No ends the export and writes nothing.";
    return text;
}
