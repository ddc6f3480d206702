#include "core/IniFile.h"

#include <QFile>
#include <QSaveFile>
#include <QStringDecoder>
#include <QStringEncoder>

namespace {

bool isSectionLine(const QString& line)
{
    return line.trimmed().startsWith('[');
}

QString sectionName(const QString& line)
{
    QString t = line.trimmed().mid(1);
    int close = t.indexOf(']');
    return (close < 0 ? t : t.left(close)).trimmed();
}

// Lines of a text, split at CR LF, LF or a lone CR. firstEnd takes the first line end found
// (unchanged when there is none); open tells whether the last line lacks a line end.
template <typename Text> QList<Text> splitLines(const Text& text, Text& firstEnd, bool& open)
{
    QList<Text> lines;
    bool endFound = false;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text.at(i) != '\r' && text.at(i) != '\n')
            continue;
        const qsizetype endLength = text.at(i) == '\r' && i + 1 < text.size() && text.at(i + 1) == '\n' ? 2 : 1;
        if (!endFound) {
            firstEnd = text.mid(i, endLength);
            endFound = true;
        }
        lines << text.mid(start, i - start);
        i += endLength - 1;
        start = i + 1;
    }
    open = start < text.size();
    if (open)
        lines << text.mid(start);
    return lines;
}

const char* codecName(IniFile::Encoding encoding)
{
    switch (encoding) {
    case IniFile::Encoding::Windows1252:
        return "windows-1252";
    case IniFile::Encoding::Utf16LE:
        return "UTF-16LE";
    case IniFile::Encoding::Utf16BE:
        return "UTF-16BE";
    case IniFile::Encoding::Utf8:
        break;
    }
    return "UTF-8";
}

QByteArray byteOrderMark(IniFile::Encoding encoding)
{
    switch (encoding) {
    case IniFile::Encoding::Utf16LE:
        return QByteArray("\xFF\xFE", 2);
    case IniFile::Encoding::Utf16BE:
        return QByteArray("\xFE\xFF", 2);
    default:
        return QByteArray("\xEF\xBB\xBF", 3);
    }
}

} // namespace

IniFile::IniFile(const QString& path) : path_(path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return;
    QByteArray data = f.readAll();
    if (data.startsWith("\xFF\xFE") || data.startsWith("\xFE\xFF")) {
        encoding_ = data.startsWith("\xFF\xFE") ? Encoding::Utf16LE : Encoding::Utf16BE;
        byteOrderMark_ = true;
        data.remove(0, 2);
    } else if (data.startsWith("\xEF\xBB\xBF")) {
        byteOrderMark_ = true;
        data.remove(0, 3);
    }
    if (encoding_ == Encoding::Utf8) {
        // Stateless: a sequence cut off at the end of the file is an error too, so a code page
        // file whose last letter is accented is not taken for UTF-8.
        QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
        (void)QString(utf8(data));
        if (utf8.hasError())
            encoding_ = Encoding::Windows1252;
    }
    bool open = false;
    if (encoding_ == Encoding::Windows1252 || encoding_ == Encoding::Utf8) {
        // One byte per line end in both: the lines are split as bytes, and kept as read.
        QByteArray firstEnd = "\r\n";
        QStringDecoder decoder(codecName(encoding_));
        for (const QByteArray& raw : splitLines(data, firstEnd, open))
            lines_.push_back({decoder(raw), raw});
        lineEnd_ = QString::fromLatin1(firstEnd);
    } else {
        QStringDecoder decoder(codecName(encoding_), QStringConverter::Flag::Stateless);
        const QString text = decoder(data);
        QStringEncoder encoder(codecName(encoding_));
        for (const QString& line : splitLines(text, lineEnd_, open))
            lines_.push_back({line, QByteArray(encoder(line))});
    }
    // Lines ending in LF alone (a Unix tool's) are written in CR LF, as the program writes.
    if (lineEnd_ == "\n")
        lineEnd_ = QStringLiteral("\r\n");
    lastLineOpen_ = open;
}

void IniFile::setLine(int index, const QString& text)
{
    lines_[index] = {text, std::nullopt};
}

void IniFile::insertLine(int index, const QString& text)
{
    lines_.insert(lines_.begin() + index, Line{text, std::nullopt});
}

int IniFile::findSection(const QString& section) const
{
    for (int i = 0; i < int(lines_.size()); ++i)
        if (isSectionLine(lines_[i].text) && sectionName(lines_[i].text).compare(section, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

int IniFile::findKey(int sectionLine, const QString& key) const
{
    for (int i = sectionLine + 1; i < int(lines_.size()) && !isSectionLine(lines_[i].text); ++i) {
        const QString& line = lines_[i].text;
        const int eq = line.indexOf('=');
        if (eq > 0 && line.left(eq).trimmed().compare(key, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

QString IniFile::readString(const QString& section, const QString& key, const QString& defaultValue) const
{
    const int s = findSection(section);
    if (s < 0)
        return defaultValue;
    const int k = findKey(s, key);
    if (k < 0)
        return defaultValue;
    const QString& line = lines_[k].text;
    return line.mid(line.indexOf('=') + 1).trimmed();
}

int IniFile::readInteger(const QString& section, const QString& key, int defaultValue) const
{
    bool ok = false;
    const int v = readString(section, key, QString()).toInt(&ok);
    return ok ? v : defaultValue;
}

bool IniFile::readBool(const QString& section, const QString& key, bool defaultValue) const
{
    bool ok = false;
    const int v = readString(section, key, QString()).toInt(&ok);
    return ok ? v != 0 : defaultValue;
}

void IniFile::writeString(const QString& section, const QString& key, const QString& value)
{
    // A value cannot hold a line break in an ini file; keep it on one line.
    QString v = value;
    v.replace('\r', ' ').replace('\n', ' ');
    int s = findSection(section);
    if (s < 0) {
        if (!lines_.empty() && !lines_.back().text.trimmed().isEmpty())
            insertLine(int(lines_.size()), QString());
        insertLine(int(lines_.size()), '[' + section + ']');
        insertLine(int(lines_.size()), key + '=' + v);
        return;
    }
    int k = findKey(s, key);
    if (k >= 0) {
        const QString& old = lines_[k].text;
        const QString line = old.left(old.indexOf('=')) + '=' + v;
        if (line != old)
            setLine(k, line);
        return;
    }
    int end = s + 1;
    while (end < int(lines_.size()) && !isSectionLine(lines_[end].text))
        ++end;
    while (end > s + 1 && lines_[end - 1].text.trimmed().isEmpty())
        --end;
    insertLine(end, key + '=' + v);
}

void IniFile::writeBool(const QString& section, const QString& key, bool value)
{
    writeString(section, key, value ? QStringLiteral("1") : QStringLiteral("0"));
}

void IniFile::writeInteger(const QString& section, const QString& key, int value)
{
    writeString(section, key, QString::number(value));
}

std::optional<QByteArray> IniFile::encoded(Encoding encoding) const
{
    // Lines read are kept byte for byte while the file stays in its encoding.
    const bool asRead = encoding == encoding_;
    QStringEncoder encoder(codecName(encoding));
    QByteArray data = byteOrderMark_ || encoding == Encoding::Utf16LE || encoding == Encoding::Utf16BE
                          ? byteOrderMark(encoding)
                          : QByteArray();
    const QByteArray lineEnd = encoder(lineEnd_);
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        const Line& line = lines_[i];
        data += asRead && line.raw ? *line.raw : QByteArray(encoder(line.text));
        if (encoder.hasError())
            return std::nullopt;
        const bool open = i + 1 == lines_.size() && lastLineOpen_ && line.raw;
        if (!open)
            data += lineEnd;
    }
    return data;
}

QString IniFile::save() const
{
    std::optional<QByteArray> data = encoded(encoding_);
    if (!data)
        data = encoded(Encoding::Utf8);
    QSaveFile f(path_);
    if (!f.open(QIODevice::WriteOnly))
        return QStringLiteral("Cannot write the settings file %1: %2").arg(path_, f.errorString());
    f.write(*data);
    if (!f.commit())
        return QStringLiteral("Cannot write the settings file %1: %2").arg(path_, f.errorString());
    return QString();
}
