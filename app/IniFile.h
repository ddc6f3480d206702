// An ini file with profile semantics: section and key names compare without regard to
// letter case, values come back trimmed, a missing file, section or key is the default.
// Lines the program does not know are kept as they were, byte for byte.
//
// Files of earlier editions are in the Windows code page: a file that is not valid UTF-8 is
// read as Windows-1252 and written back so, unless a value written cannot be expressed in
// that code page; the whole file is then written as UTF-8.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

class IniFile {
public:
    explicit IniFile(const QString& path);

    QString readString(const QString& section, const QString& key, const QString& defaultValue) const;
    // Any whole number other than 0 is true; anything that is not a whole number is the default.
    bool readBool(const QString& section, const QString& key, bool defaultValue) const;
    int readInteger(const QString& section, const QString& key, int defaultValue) const;

    void writeString(const QString& section, const QString& key, const QString& value);
    void writeBool(const QString& section, const QString& key, bool value);
    void writeInteger(const QString& section, const QString& key, int value);

    // Writes the whole file at once (a new file beside it, then renamed into place).
    // Returns an error text, empty on success.
    QString save() const;

private:
    enum class Encoding { Utf8, Windows1252 };
    Encoding encoding() const { return encoding_; }

private:
    int findSection(const QString& section) const;
    int findKey(int sectionLine, const QString& key) const;
    void setLine(int index, const QString& text);
    void insertLine(int index, const QString& text);

    QString path_;
    QStringList lines_;
    // Each line's bytes as read; none for a line the program has written.
    std::vector<std::optional<QByteArray>> raw_;
    Encoding encoding_ = Encoding::Utf8;
    bool byteOrderMark_ = false;
};
