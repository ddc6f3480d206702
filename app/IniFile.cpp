#include "app/IniFile.h"

#include <QFile>
#include <QSaveFile>
#include <QTextStream>

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
    if (f.open(QIODevice::ReadOnly)) {
        const QString text = QString::fromUtf8(f.readAll());
        lines_ = text.split('\n');
        for (auto& l : lines_)
            if (l.endsWith('\r'))
                l.chop(1);
        while (!lines_.isEmpty() && lines_.last().isEmpty())
            lines_.removeLast();
    }
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
            lines_.append(QString());
        lines_.append('[' + section + ']');
        lines_.append(key + '=' + v);
        return;
    }
    int k = findKey(s, key);
    if (k >= 0) {
        lines_[k] = lines_[k].left(lines_[k].indexOf('=')) + '=' + v;
        return;
    }
    int end = s + 1;
    while (end < lines_.size() && !isSectionLine(lines_[end]))
        ++end;
    while (end > s + 1 && lines_[end - 1].trimmed().isEmpty())
        --end;
    lines_.insert(end, key + '=' + v);
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
    QSaveFile f(path_);
    if (!f.open(QIODevice::WriteOnly))
        return QStringLiteral("Cannot write the settings file %1: %2").arg(path_, f.errorString());
    QByteArray data;
    for (const auto& l : lines_)
        data += l.toUtf8() + "\r\n";
    f.write(data);
    if (!f.commit())
        return QStringLiteral("Cannot write the settings file %1: %2").arg(path_, f.errorString());
    return QString();
}
