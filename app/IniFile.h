// An ini file with profile semantics: section and key names compare without regard to
// letter case, values come back trimmed, a missing file, section or key is the default.
// Lines the program does not know are kept as they were.
#pragma once

#include <QString>
#include <QStringList>

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
    int findSection(const QString& section) const;
    int findKey(int sectionLine, const QString& key) const;

    QString path_;
    QStringList lines_;
};
