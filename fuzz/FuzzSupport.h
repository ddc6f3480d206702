// What the fuzz targets share: the input written to a file of its own (the readers read
// files by name), a temporary folder for the run, and the Qt application some need.
#pragma once

#include <QByteArray>
#include <QDir>
#include <QGuiApplication>
#include <QString>
#include <QTemporaryDir>
#include <cstdint>
#include <cstdlib>
#include <memory>

namespace fuzz {

// One temporary folder for the whole run of a target.
inline QString workFolder()
{
    static QTemporaryDir dir(QDir::tempPath() + "/dovra-fuzz-XXXXXX");
    return dir.path();
}

// The input as the named file in the work folder.
inline QString inputFile(const uint8_t* data, size_t size, const QString& name)
{
    const QString path = workFolder() + "/" + name;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        std::abort();
    file.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size));
    return path;
}

// A Qt application for targets that lay out text: offscreen, made once.
inline void guiApplication()
{
    static std::unique_ptr<QGuiApplication> app = [] {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        qputenv("QT_LOGGING_RULES", "qt.*=false");
        static int argc = 1;
        static char name[] = "fuzz";
        static char* argv[] = {name, nullptr};
        return std::make_unique<QGuiApplication>(argc, argv);
    }();
}

// Splits the input at its first occurrences of the byte sep, into at most parts pieces.
inline QList<QByteArray> pieces(const uint8_t* data, size_t size, char sep, int parts)
{
    QList<QByteArray> out;
    QByteArray rest(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    while (out.size() < parts - 1) {
        const qsizetype at = rest.indexOf(sep);
        if (at < 0)
            break;
        out << rest.left(at);
        rest = rest.mid(at + 1);
    }
    out << rest;
    while (out.size() < parts)
        out << QByteArray();
    return out;
}

} // namespace fuzz
