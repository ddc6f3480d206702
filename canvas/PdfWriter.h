// The PDF file of one print job, written by the program itself as the job goes: objects go to
// the file as they are finished (images at once, pages when closed, fonts at the end, once
// their glyphs are known), each page's drawing is gathered in memory. The pages are Letter,
// drawn on in dots of 600 per inch from the top-left corner, y downward; fonts are embedded
// as the glyph subsets of their faces, images as one-bit or eight-bit pictures, all streams
// compressed.
#pragma once

#include "canvas/TrueTypeSubset.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QFile>
#include <QHash>
#include <QImage>
#include <QString>
#include <QStringList>
#include <charconv>
#include <memory>
#include <utility>
#include <vector>

// PDF syntax gathered piece by piece; numbers in their shortest form.
class PdfBytes {
public:
    QByteArray bytes;

    PdfBytes& operator<<(const char* text)
    {
        bytes.append(text);
        return *this;
    }
    PdfBytes& operator<<(QByteArrayView text)
    {
        bytes.append(text);
        return *this;
    }
    PdfBytes& operator<<(const QByteArray& text) { return *this << QByteArrayView(text); }
    PdfBytes& operator<<(qint64 value)
    {
        char digits[24];
        const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
        bytes.append(digits, end - digits);
        return *this;
    }
    PdfBytes& operator<<(int value) { return *this << qint64(value); }
    PdfBytes& operator<<(double value)
    {
        char digits[48];
        const std::to_chars_result written =
            std::to_chars(digits, digits + sizeof digits, value, std::chars_format::fixed, 3);
        if (written.ec != std::errc())
            return *this << "0";
        char* end = written.ptr;
        while (end[-1] == '0')
            --end;
        if (end[-1] == '.')
            --end;
        if (end - digits == 2 && digits[0] == '-' && digits[1] == '0')
            return *this << "0";
        bytes.append(digits, end - digits);
        return *this;
    }
    // Four hex digits, as a two-byte character code or a UTF-16 unit.
    void appendHex16(int value)
    {
        static constexpr char hex[] = "0123456789ABCDEF";
        const char digits[4] = {hex[value >> 12 & 15], hex[value >> 8 & 15], hex[value >> 4 & 15], hex[value & 15]};
        bytes.append(digits, 4);
    }
};

// A text string of the PDF syntax, in UTF-16 with its byte order mark.
QByteArray pdfTextString(const QString& text);

// A print job being written. The caller opens the file, draws each page's operators into
// content, and finishes the job; a job that throws PrintError is left for the caller to
// remove.
class PdfWriter {
public:
    QFile file; // written under a hidden name, put under finalPath once whole
    QString finalPath;
    PdfBytes content; // the drawing of the page under way
    QStringList title;
    QString subject;

    // Begins the file and its first page.
    PdfWriter();

    // A face drawn in the job: the glyphs drawn, and the character each stands for.
    struct JobFont {
        GlyphSubset glyphs;
        std::vector<char32_t> textOf;
    };
    // The font resource number of a face, and its glyphs.
    std::pair<int, JobFont*> fontFor(const std::shared_ptr<const OpenTypeFace>& face);

    // The XObject resource number of an image, written at its first drawing in the job.
    int imageFor(const QImage& image);

    // Begins the drawing of a new page.
    void startPage();
    // Writes the page drawn as a page object.
    void finishPage();

    // The bytes gathered that flush moves into the file.
    qsizetype buffered() const { return out_.bytes.size(); }

    // Moves what has gathered into the file.
    void flush();

    // Writes the fonts and the document's structure, and closes the file.
    void finish();

private:
    // Objects whose numbers are known before they are written.
    static constexpr int kCatalog = 1;
    static constexpr int kPageTree = 2;
    static constexpr int kResources = 3;

    int reserveObject();
    void beginObject(int object);
    void endObject() { out_ << "endobj\n"; }
    int addStream(QByteArrayView entries, QByteArrayView data);
    // The Type 0 font of a face with its subset (TrueType) or whole program (CFF) embedded;
    // returns the font's object.
    int addFont(JobFont& font, int index);

    PdfBytes out_;
    qint64 written_ = 0;
    // File offsets by object number; 0 is the free list's head.
    std::vector<qint64> offsets_ = std::vector<qint64>(kResources + 1, 0);
    std::vector<int> pages_;
    std::vector<JobFont> fonts_;
    QHash<qint64, int> images_;
    PdfBytes xobjects_;
};
