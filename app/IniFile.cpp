#include "app/IniFile.h"

#include <QFile>
#include <QSaveFile>
#include <QStringDecoder>
#include <QStringEncoder>

namespace {
bool isSectionLine(const QString& line) { return line.trimmed().startsWith('['); }

QString sectionName(const QString& line)
{
    QString t = line.trimmed().mid(1);
    int close = t.indexOf(']');
    return (close < 0 ? t : t.left(close)).trimmed();
}
} // namespace

IniFile::IniFile(const QString& path) : path_(path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return;
    QByteArray data = f.readAll();
    if (data.startsWith("\xEF\xBB\xBF")) {
        byteOrderMark_ = true;
        data.remove(0, 3);
    }
    QStringDecoder utf8(QStringConverter::Utf8);
    QString text = utf8(data);
    if (utf8.hasError()) {
        encoding_ = Encoding::Windows1252;
        text = QStringDecoder("windows-1252")(data);
    }
    QList<QByteArray> rawLines = data.split('\n');
    for (QByteArray& raw : rawLines) {
        if (raw.endsWith('\r'))
            raw.chop(1);
        raw_.emplace_back(raw);
    }
    lines_ = text.split('\n');
    for (auto& l : lines_)
        if (l.endsWith('\r'))
            l.chop(1);
    while (!lines_.isEmpty() && lines_.last().isEmpty()) {
        lines_.removeLast();
        raw_.pop_back();
    }
}

void IniFile::setLine(int index, const QString& text)
{
    lines_[index] = text;
    raw_[index].reset();
}

void IniFile::insertLine(int index, const QString& text)
{
    lines_.insert(index, text);
    raw_.insert(raw_.begin() + index, std::nullopt);
}

int IniFile::findSection(const QString& section) const
{
    for (int i = 0; i < lines_.size(); ++i)
        if (isSectionLine(lines_[i]) && sectionName(lines_[i]).compare(section, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

int IniFile::findKey(int sectionLine, const QString& key) const
{
    for (int i = sectionLine + 1; i < lines_.size() && !isSectionLine(lines_[i]); ++i) {
        const int eq = lines_[i].indexOf('=');
        if (eq > 0 && lines_[i].left(eq).trimmed().compare(key, Qt::CaseInsensitive) == 0)
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
    return lines_[k].mid(lines_[k].indexOf('=') + 1).trimmed();
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
        if (!lines_.isEmpty() && !lines_.last().trimmed().isEmpty())
            insertLine(lines_.size(), QString());
        insertLine(lines_.size(), '[' + section + ']');
        insertLine(lines_.size(), key + '=' + v);
        return;
    }
    int k = findKey(s, key);
    if (k >= 0) {
        const QString line = lines_[k].left(lines_[k].indexOf('=')) + '=' + v;
        if (line != lines_[k])
            setLine(k, line);
        return;
    }
    int end = s + 1;
    while (end < lines_.size() && !isSectionLine(lines_[end]))
        ++end;
    while (end > s + 1 && lines_[end - 1].trimmed().isEmpty())
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

QString IniFile::save() const
{
    // Lines read stay as they were; lines written are encoded as the file was, or the whole
    // file becomes UTF-8 when the code page cannot hold them.
    bool utf8 = encoding_ == Encoding::Utf8;
    QByteArray data;
    if (!utf8) {
        QStringEncoder windows1252("windows-1252");
        for (int i = 0; i < lines_.size() && !utf8; ++i) {
            data += raw_[i] ? *raw_[i] : QByteArray(windows1252(lines_[i]));
            data += "\r\n";
            utf8 = windows1252.hasError();
        }
    }
    if (utf8) {
        data = byteOrderMark_ ? QByteArray("\xEF\xBB\xBF") : QByteArray();
        for (int i = 0; i < lines_.size(); ++i)
            data += (encoding_ == Encoding::Utf8 && raw_[i] ? *raw_[i] : lines_[i].toUtf8()) + "\r\n";
    }
    QSaveFile f(path_);
    if (!f.open(QIODevice::WriteOnly))
        return QStringLiteral("Cannot write the settings file %1: %2").arg(path_, f.errorString());
    f.write(data);
    if (!f.commit())
        return QStringLiteral("Cannot write the settings file %1: %2").arg(path_, f.errorString());
    return QString();
}
