// An ini file with profile semantics: section and key names compare without regard to
// letter case, values come back trimmed, a missing file, section or key is the default.
// Lines the program does not know are kept as they were, byte for byte.
//
// The file is written back in the encoding it came in: UTF-8 (decided only when the whole
// file is valid UTF-8, with or without a byte-order mark), UTF-16 with its byte-order mark
// (little or big endian), or else the Windows code page of earlier editions (Windows-1252).
// A value written that Windows-1252 cannot express turns that whole file into UTF-8. Lines
// are read at CR LF, LF or a lone CR; they are written ending in CR alone when the file's
// first line ended so, else in CR LF, every line of the file with the same line end.
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

    enum class Encoding { Utf8, Windows1252, Utf16LE, Utf16BE };
    Encoding encoding() const { return encoding_; }

private:
    struct Line {
        QString text;
        // The line's bytes as read (without its line end); none for a line the program wrote.
        std::optional<QByteArray> raw;
    };

    int findSection(const QString& section) const;
    int findKey(int sectionLine, const QString& key) const;
    void setLine(int index, const QString& text);
    void insertLine(int index, const QString& text);
    // The file's bytes in an encoding: empty when a line cannot be expressed in it.
    std::optional<QByteArray> encoded(Encoding encoding) const;

    QString path_;
    std::vector<Line> lines_;
    Encoding encoding_ = Encoding::Utf8;
    bool byteOrderMark_ = false;
    QString lineEnd_ = QStringLiteral("\r\n");
    // The file's last line had no line end, and is still the last line as it was read.
    bool lastLineOpen_ = false;
};
