#include "canvas/PdfCanvas.h"

#include "canvas/RecentCache.h"
#include "canvas/TrueTypeSubset.h"
#include "core/ProgramFolder.h"
#include "engine/Engine.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGlyphRun>
#include <QHash>
#include <QMutex>
#include <QPainter>
#include <QRegularExpression>
#include <QTextLayout>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <numbers>
#include <sys/mman.h>
#include <zlib.h>

namespace {

constexpr int kPageWidth = 5100; // Letter, 8.5 by 11 inches
constexpr int kPageHeight = 6600;
// Whole pages are kept in memory and written when this much has gathered.
constexpr qsizetype kFlushBytes = 1 << 20;
// Other programs writing into the same folder can take the name meant for the next job;
// the folder is read again that many times before the job gives up.
constexpr int kOpenAttempts = 5;

QString finishError()
{
    return QStringLiteral("The print job could not be finished.");
}

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

// Data for the FlateDecode filter. One deflate stream serves the whole process: making one
// for each stream and freeing it again handed its tables of a few hundred kilobytes back to
// the system every time, which cost more than the compressing itself.
// The stream's tables live in a region of their own, mapped once: amid the heap they would
// leave the large images of each job at its top, handed back to the system and asked for
// again at every job.
voidpf streamTables(voidpf, uInt items, uInt size)
{
    static constexpr size_t kRegion = 1 << 20;
    static char* region =
        static_cast<char*>(mmap(nullptr, kRegion, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
    static size_t used = 0;
    const size_t bytes = (size_t(items) * size + 63) / 64 * 64;
    if (region == MAP_FAILED || used + bytes > kRegion)
        return Z_NULL;
    void* table = region + used;
    used += bytes;
    return table;
}

void keepStreamTables(voidpf, voidpf) {}

// How hard a stream is compressed: a level and a strategy of zlib.
struct Packing {
    int level;
    int strategy;

    bool operator==(const Packing&) const = default;
};
// Drawing operators, bar code rows and glyph outlines: the fastest level shrinks them most of
// what the slower levels do (a form's font subsets by a fifth more than coding their bytes
// alone, which kept some form jobs above 30 kB), at a fraction of the time.
constexpr Packing kFast{Z_BEST_SPEED, Z_DEFAULT_STRATEGY};
// Pictures, rarely printed.
constexpr Packing kPictures{Z_DEFAULT_COMPRESSION, Z_DEFAULT_STRATEGY};

QByteArray deflated(QByteArrayView data, Packing packing)
{
    static QMutex mutex;
    static Packing streamPacking = kPictures;
    static z_stream stream = [] {
        z_stream made{};
        made.zalloc = streamTables;
        made.zfree = keepStreamTables;
        if (deflateInit(&made, streamPacking.level) != Z_OK)
            throw PrintError(QStringLiteral("The print job could not be compressed."));
        return made;
    }();
    const QMutexLocker lock(&mutex);
    deflateReset(&stream);
    if (!(packing == streamPacking) && deflateParams(&stream, packing.level, packing.strategy) == Z_OK)
        streamPacking = packing;
    QByteArray out(qsizetype(deflateBound(&stream, uLong(data.size()))), Qt::Uninitialized);
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    stream.avail_in = uInt(data.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = uInt(out.size());
    if (deflate(&stream, Z_FINISH) != Z_STREAM_END)
        throw PrintError(QStringLiteral("The print job could not be compressed."));
    out.truncate(qsizetype(stream.total_out));
    return out;
}

const QByteArray kFlate = QByteArrayLiteral("/Filter /FlateDecode");

// A text string of the PDF syntax, in UTF-16 with its byte order mark.
QByteArray pdfTextString(const QString& text)
{
    static constexpr char hex[] = "0123456789ABCDEF";
    QByteArray bytes("<FEFF");
    for (const QChar c : text) {
        const ushort unit = c.unicode();
        for (int shift = 12; shift >= 0; shift -= 4)
            bytes.append(hex[unit >> shift & 15]);
    }
    return bytes.append('>');
}

// A date of the PDF syntax: D:YYYYMMDDHHmmSS and the offset from UTC.
QByteArray pdfDate(const QDateTime& time)
{
    const int offset = time.offsetFromUtc() / 60;
    const QByteArray zone =
        offset == 0 ? QByteArray("Z")
                    : QString::asprintf("%c%02d'%02d'", offset < 0 ? '-' : '+', qAbs(offset) / 60, qAbs(offset) % 60)
                          .toLatin1();
    return "D:" + time.toString(QStringLiteral("yyyyMMddHHmmss")).toLatin1() + zone;
}

quint32 glyphOf(const QRawFont& font, char32_t character)
{
    char16_t units[2];
    int count = QChar::requiresSurrogates(character) ? 2 : 1;
    if (count == 2) {
        units[0] = QChar::highSurrogate(character);
        units[1] = QChar::lowSurrogate(character);
    } else {
        units[0] = char16_t(character);
    }
    quint32 glyphs[2] = {0, 0};
    if (!font.glyphIndexesForChars(reinterpret_cast<const QChar*>(units), count, glyphs, &count))
        return 0;
    return glyphs[0];
}

// Characters that may go glyph by glyph: left to right, no joining, no combining marks.
bool setGlyphByGlyph(char32_t c)
{
    switch (QChar::script(c)) {
    case QChar::Script_Common:
    case QChar::Script_Latin:
    case QChar::Script_Greek:
    case QChar::Script_Cyrillic:
        break;
    default:
        return false;
    }
    switch (QChar::direction(c)) {
    case QChar::DirR:
    case QChar::DirAL:
    case QChar::DirRLE:
    case QChar::DirRLO:
    case QChar::DirRLI:
    case QChar::DirNSM:
        return false;
    default:
        return !QChar::isMark(c);
    }
}

// An image XObject: its dictionary entries and its data.
struct ImageStream {
    QByteArray entries;
    QByteArray data;
};

// One-bit images stay one bit per pixel. Bar codes repeat one row (or, turned a quarter,
// one column) all the way, so one row or column stretched over the rectangle draws them.
ImageStream bitmapStream(const QImage& image)
{
    const QImage bits = image.format() == QImage::Format_Mono ? image : image.convertToFormat(QImage::Format_Mono);
    const int width = bits.width();
    const int height = bits.height();
    const int rowBytes = (width + 7) / 8;
    const uchar lastMask = uchar(0xFF << (rowBytes * 8 - width));
    const auto sameRow = [&](const uchar* a, const uchar* b) {
        return std::memcmp(a, b, rowBytes - 1) == 0 && ((a[rowBytes - 1] ^ b[rowBytes - 1]) & lastMask) == 0;
    };
    const auto plainRow = [&](const uchar* row) {
        const uchar fill = (row[0] & 0x80) ? 0xFF : 0x00;
        for (int i = 0; i + 1 < rowBytes; ++i)
            if (row[i] != fill)
                return false;
        return ((row[rowBytes - 1] ^ fill) & lastMask) == 0;
    };
    bool rowsAlike = true;
    bool columnsAlike = true;
    for (int y = 0; y < height && (rowsAlike || columnsAlike); ++y) {
        rowsAlike = rowsAlike && sameRow(bits.constScanLine(0), bits.constScanLine(y));
        columnsAlike = columnsAlike && plainRow(bits.constScanLine(y));
    }

    QByteArray data;
    int columns = width;
    int rows = height;
    bool compressed = false;
    if (rowsAlike) {
        rows = 1;
        data = QByteArray(reinterpret_cast<const char*>(bits.constScanLine(0)), rowBytes);
    } else if (columnsAlike) {
        columns = 1;
        data.resize(height);
        for (int y = 0; y < height; ++y)
            data[y] = char(bits.constScanLine(y)[0] & 0x80);
    } else {
        QByteArray pixels;
        pixels.reserve(qsizetype(rowBytes) * height);
        for (int y = 0; y < height; ++y)
            pixels.append(reinterpret_cast<const char*>(bits.constScanLine(y)), rowBytes);
        // Bars repeat from row to row.
        data = deflated(pixels, kFast);
        compressed = true;
    }
    // A set bit is colour 1 of the table; in the PDF it is white unless decoded the other way.
    const bool setBitIsBlack = qGray(bits.color(1)) < qGray(bits.color(0));
    PdfBytes entries;
    entries << "/Width " << columns << " /Height " << rows << " /ColorSpace /DeviceGray /BitsPerComponent 1"
            << (setBitIsBlack ? " /Decode [1 0]" : "") << (compressed ? " /Filter /FlateDecode" : "");
    return {entries.bytes, data};
}

// Any other image: eight bits per component, compressed; transparent parts are white.
ImageStream pixelStream(const QImage& image)
{
    QImage flat;
    if (image.hasAlphaChannel()) {
        flat = QImage(image.size(), QImage::Format_RGB888);
        flat.fill(Qt::white);
        QPainter(&flat).drawImage(0, 0, image);
    } else {
        flat = image.convertToFormat(QImage::Format_RGB888);
    }
    const bool gray = flat.allGray();
    if (gray)
        flat = flat.convertToFormat(QImage::Format_Grayscale8);
    const qsizetype rowBytes = qsizetype(flat.width()) * (gray ? 1 : 3);
    QByteArray pixels;
    pixels.reserve(rowBytes * flat.height());
    for (int y = 0; y < flat.height(); ++y)
        pixels.append(reinterpret_cast<const char*>(flat.constScanLine(y)), rowBytes);
    PdfBytes entries;
    entries << "/Width " << flat.width() << " /Height " << flat.height()
            << (gray ? " /ColorSpace /DeviceGray" : " /ColorSpace /DeviceRGB")
            << " /BitsPerComponent 8 /Filter /FlateDecode";
    return {entries.bytes, deflated(pixels, kPictures)};
}

// The map from glyphs to text that lets a reader copy or search the text.
QByteArray toUnicodeCMap(const std::vector<char32_t>& textOf)
{
    std::vector<int> mapped;
    for (size_t id = 1; id < textOf.size(); ++id)
        if (textOf[id] != 0)
            mapped.push_back(int(id));
    PdfBytes cmap;
    cmap << "/CIDInit /ProcSet findresource begin\n12 dict begin\nbegincmap\n"
            "/CIDSystemInfo << /Registry (Adobe) /Ordering (UCS) /Supplement 0 >> def\n"
            "/CMapName /Adobe-Identity-UCS def\n/CMapType 2 def\n"
            "1 begincodespacerange\n<0000> <FFFF>\nendcodespacerange\n";
    // A block holds at most 100 entries.
    for (size_t first = 0; first < mapped.size(); first += 100) {
        const size_t last = std::min(mapped.size(), first + 100);
        cmap << int(last - first) << " beginbfchar\n";
        for (size_t i = first; i < last; ++i) {
            cmap << "<";
            cmap.appendHex16(mapped[i]);
            cmap << "> <";
            const char32_t c = textOf[size_t(mapped[i])];
            if (QChar::requiresSurrogates(c)) {
                cmap.appendHex16(QChar::highSurrogate(c));
                cmap.appendHex16(QChar::lowSurrogate(c));
            } else {
                cmap.appendHex16(int(c));
            }
            cmap << ">\n";
        }
        cmap << "endbfchar\n";
    }
    cmap << "endcmap\nCMapName currentdict /CMap defineresource pop\nend\nend\n";
    return cmap.bytes;
}

} // namespace

// A print job being written: objects go to the file as they are finished (images at once,
// pages when closed, fonts at the end, once their glyphs are known), each page's drawing
// is gathered in memory.
class PdfJobCanvas::Job {
public:
    QFile file; // written under a hidden name, put under finalPath once whole
    QString finalPath;
    PdfBytes content;
    QStringList title;
    QString subject;

    Job()
    {
        out_ << "%PDF-1.4\n%\xE2\xE3\xCF\xD3\n";
        startPage();
    }

    // A face drawn in the job: the glyphs drawn, and the character each stands for.
    struct JobFont {
        GlyphSubset glyphs;
        std::vector<char32_t> textOf;
    };
    // The font resource number of a face, and its glyphs.
    std::pair<int, JobFont*> fontFor(const std::shared_ptr<const OpenTypeFace>& face)
    {
        for (size_t i = 0; i < fonts_.size(); ++i)
            if (&fonts_[i].glyphs.face() == face.get())
                return {int(i) + 1, &fonts_[i]};
        fonts_.push_back({GlyphSubset(face), {}});
        return {int(fonts_.size()), &fonts_.back()};
    }

    // The XObject resource number of an image, written at its first drawing in the job.
    int imageFor(const QImage& image)
    {
        int& number = images_[image.cacheKey()];
        if (number == 0) {
            // The same bar code images come again in the proof copy and on the next mailer.
            static RecentCache<qint64, ImageStream, 16> recent;
            const ImageStream stream = recent.get(image.cacheKey(), [&] {
                return image.depth() == 1 && image.colorCount() == 2 ? bitmapStream(image) : pixelStream(image);
            });
            const int object = addStream("/Type /XObject /Subtype /Image " + stream.entries, stream.data);
            number = int(images_.size());
            xobjects_ << "/Im" << number << " " << object << " 0 R ";
        }
        return number;
    }

    void startPage()
    {
        content.bytes.clear();
        content.bytes.reserve(16 * 1024);
        // Drawing is in printer dots from the top-left corner, y downward.
        content << "0.12 0 0 -0.12 0 792 cm\n";
    }

    void finishPage()
    {
        const int contents = addStream(kFlate, deflated(content.bytes, kFast));
        const int page = reserveObject();
        beginObject(page);
        out_ << "<< /Type /Page /Parent " << kPageTree << " 0 R /MediaBox [0 0 612 792] /Resources " << kResources
             << " 0 R /Contents " << contents << " 0 R >>\n";
        endObject();
        pages_.push_back(page);
    }

    qsizetype buffered() const { return out_.bytes.size(); }

    // Moves what has gathered into the file.
    void flush()
    {
        if (file.write(out_.bytes) != out_.bytes.size())
            throw PrintError(finishError());
        written_ += out_.bytes.size();
        out_.bytes.resize(0);
    }

    // Writes the fonts and the document's structure, and closes the file.
    void finish()
    {
        finishPage();
        PdfBytes fontResources;
        for (size_t i = 0; i < fonts_.size(); ++i)
            fontResources << "/F" << int(i) + 1 << " " << addFont(fonts_[i], int(i)) << " 0 R ";

        beginObject(kResources);
        out_ << "<< /ProcSet [/PDF /Text /ImageB /ImageC] /Font << " << fontResources.bytes << ">> /XObject << "
             << xobjects_.bytes << ">> >>\n";
        endObject();
        beginObject(kPageTree);
        out_ << "<< /Type /Pages /Kids [";
        for (int page : pages_)
            out_ << page << " 0 R ";
        out_ << "] /Count " << int(pages_.size()) << " >>\n";
        endObject();
        beginObject(kCatalog);
        out_ << "<< /Type /Catalog /Pages " << kPageTree << " 0 R >>\n";
        endObject();
        const QDateTime now = QDateTime::currentDateTime();
        const int info = reserveObject();
        beginObject(info);
        out_ << "<< /Title " << pdfTextString(title.join(QStringLiteral(", ")));
        if (!subject.isEmpty())
            out_ << " /Subject " << pdfTextString(subject);
        out_ << " /Producer " << pdfTextString(QStringLiteral("Dovra Pro 4.0")) << " /CreationDate (" << pdfDate(now)
             << ") >>\n";
        endObject();
        // The file's identifier: its name, its time and what it holds, hashed.
        QCryptographicHash hash(QCryptographicHash::Md5);
        hash.addData(file.fileName().toUtf8());
        hash.addData(QByteArray::number(now.toMSecsSinceEpoch()));
        hash.addData(QByteArray::number(written_ + out_.bytes.size()));
        hash.addData(out_.bytes.right(4096));
        const QByteArray id = hash.result().toHex().toUpper();

        const qint64 xref = written_ + out_.bytes.size();
        out_ << "xref\n0 " << int(offsets_.size()) << "\n0000000000 65535 f \n";
        for (size_t object = 1; object < offsets_.size(); ++object) {
            char entry[24];
            std::snprintf(entry, sizeof entry, "%010lld 00000 n \n", static_cast<long long>(offsets_[object]));
            out_ << QByteArrayView(entry, 20);
        }
        out_ << "trailer\n<< /Size " << int(offsets_.size()) << " /Root " << kCatalog << " 0 R /Info " << info
             << " 0 R /ID [<" << id << "> <" << id << ">] >>\nstartxref\n"
             << xref << "\n%%EOF\n";
        flush();
        if (!file.flush())
            throw PrintError(finishError());
        file.close();
        if (file.error() != QFileDevice::NoError)
            throw PrintError(finishError());
        // Only a whole job appears under its name: a job cut short leaves no part of one there.
        if (engine::placeWithoutReplacing(file.fileName().toStdString(), finalPath.toStdString()) != 0)
            throw PrintError(finishError());
    }

private:
    // Objects whose numbers are known before they are written.
    static constexpr int kCatalog = 1;
    static constexpr int kPageTree = 2;
    static constexpr int kResources = 3;

    int reserveObject()
    {
        offsets_.push_back(0);
        return int(offsets_.size()) - 1;
    }

    void beginObject(int object)
    {
        offsets_[size_t(object)] = written_ + out_.bytes.size();
        out_ << qint64(object) << " 0 obj\n";
    }

    void endObject() { out_ << "endobj\n"; }

    int addStream(QByteArrayView entries, QByteArrayView data)
    {
        const int object = reserveObject();
        beginObject(object);
        out_ << "<< " << entries << " /Length " << qint64(data.size()) << " >>\nstream\n" << data << "\nendstream\n";
        endObject();
        return object;
    }

    // The Type 0 font of a face with its subset (TrueType) or whole program (CFF) embedded;
    // returns the font's object.
    int addFont(JobFont& font, int index)
    {
        const OpenTypeFace& face = font.glyphs.face();
        const bool cff = face.outlines() == OpenTypeFace::Outlines::Cff;
        // The subset of a face with the same glyphs as a job just before (the proof copy of
        // a mailer, another mailer to the same recipient) is taken as it was compressed.
        struct Program {
            std::vector<int> glyphs;
            QByteArray compressed;
            qsizetype size = 0;
        };
        static RecentCache<std::pair<std::shared_ptr<const OpenTypeFace>, std::vector<int>>, Program, 8> recent;
        const Program program = recent.get({font.glyphs.sharedFace(), font.glyphs.glyphs()}, [&] {
            const QByteArray fontFile = font.glyphs.fontFile();
            return Program{font.glyphs.glyphs(), deflated(fontFile, kFast), fontFile.size()};
        });
        const std::vector<int>& glyphs = program.glyphs;
        const double scale = 1000.0 / face.unitsPerEm();

        // Subsets get a tag of six capitals before the name; different subsets, different tags.
        size_t hash = qHashBits(glyphs.data(), glyphs.size() * sizeof(int), size_t(index));
        QByteArray name(6, 'A');
        for (char& letter : name) {
            letter = char('A' + hash % 26);
            hash /= 26;
        }
        name += '+' + face.postScriptName();

        const int file =
            cff ? addStream("/Subtype /CIDFontType0C " + kFlate, program.compressed)
                : addStream("/Length1 " + QByteArray::number(program.size) + " " + kFlate, program.compressed);
        const int descriptor = reserveObject();
        beginObject(descriptor);
        out_ << "<< /Type /FontDescriptor /FontName /" << name << " /Flags " << (face.fixedPitch() ? 5 : 4)
             << " /FontBBox [" << face.xMin() * scale << " " << face.yMin() * scale << " " << face.xMax() * scale << " "
             << face.yMax() * scale << "] /ItalicAngle 0 /Ascent " << face.ascent() * scale << " /Descent "
             << face.descent() * scale << " /CapHeight " << face.capHeight() * scale << " /StemV 80 "
             << (cff ? "/FontFile3 " : "/FontFile2 ") << file << " 0 R >>\n";
        endObject();

        const int cidFont = reserveObject();
        beginObject(cidFont);
        out_ << "<< /Type /Font /Subtype " << (cff ? "/CIDFontType0" : "/CIDFontType2") << " /BaseFont /" << name
             << " /CIDSystemInfo << /Registry (Adobe) /Ordering (Identity) /Supplement 0 >> /FontDescriptor "
             << descriptor << (cff ? " 0 R" : " 0 R /CIDToGIDMap /Identity") << " /DW " << face.advance(0) * scale
             << " /W [";
        if (cff) {
            // The glyphs keep their numbers, in ascending order.
            for (int glyph : glyphs)
                out_ << glyph << " [" << face.advance(glyph) * scale << "] ";
        } else {
            out_ << "0 [";
            for (int glyph : glyphs)
                out_ << face.advance(glyph) * scale << " ";
            out_ << "]";
        }
        out_ << "] >>\n";
        endObject();

        const int toUnicode = addStream(kFlate, deflated(toUnicodeCMap(font.textOf), kFast));
        const int type0 = reserveObject();
        beginObject(type0);
        out_ << "<< /Type /Font /Subtype /Type0 /BaseFont /" << name << " /Encoding /Identity-H /DescendantFonts ["
             << cidFont << " 0 R] /ToUnicode " << toUnicode << " 0 R >>\n";
        endObject();
        return type0;
    }

    PdfBytes out_;
    qint64 written_ = 0;
    // File offsets by object number; 0 is the free list's head.
    std::vector<qint64> offsets_ = std::vector<qint64>(kResources + 1, 0);
    std::vector<int> pages_;
    std::vector<JobFont> fonts_;
    QHash<qint64, int> images_;
    PdfBytes xobjects_;
};

PdfJobCanvas::PdfJobCanvas(const QString& folder) : folder_(folder) {}

PdfJobCanvas::~PdfJobCanvas()
{
    try {
        EndDocument();
    } catch (const PrintError&) {
        // Nobody is left to tell; the broken file has been removed.
    }
}

QString PdfJobCanvas::defaultFolder()
{
    const QString folder = qEnvironmentVariable("DOVRA_PDF_DIR");
    return folder.isEmpty() ? programfolder::path() + "/Printed" : folder;
}

void PdfJobCanvas::BeginDocument()
{
    if (jobOpen_)
        EndDocument();
    jobOpen_ = true;
}

void PdfJobCanvas::EndDocument()
{
    jobOpen_ = false;
    if (!job_)
        return;
    try {
        job_->finish();
    } catch (const PrintError&) {
        abandonJob();
        throw;
    }
    job_.reset();
}

void PdfJobCanvas::AbortDocument()
{
    jobOpen_ = false;
    if (job_)
        abandonJob();
}

void PdfJobCanvas::NewPage()
{
    Job& job = page();
    job.finishPage();
    if (job.buffered() >= kFlushBytes) {
        try {
            job.flush();
        } catch (const PrintError&) {
            abandonJob();
            throw;
        }
    }
    job.startPage();
}

void PdfJobCanvas::abandonJob()
{
    job_->file.remove();
    job_.reset();
    jobOpen_ = false;
}

PdfJobCanvas::Job& PdfJobCanvas::page()
{
    if (job_)
        return *job_;
    if (!jobOpen_)
        throw PrintError(QStringLiteral("Drawing outside a print job."));
    auto job = std::make_unique<Job>();
    try {
        openJobFile(job->file, job->finalPath);
    } catch (const PrintError&) {
        jobOpen_ = false;
        throw;
    }
    job_ = std::move(job);
    job_->subject = subject_;
    return *job_;
}

void PdfJobCanvas::openJobFile(QFile& file, QString& finalPath)
{
    // The number of the next file in each folder printed to by this process: a folder is
    // read at its first job, and again only when another program has taken the name.
    static QMutex mutex;
    static QHash<QString, int> nextNumbers;
    const QMutexLocker lock(&mutex);
    int& next = nextNumbers[folder_];
    for (int attempt = 1;; ++attempt) {
        if (next == 0)
            next = firstFreeNumber();
        const QString number = QStringLiteral("%1").arg(next, 8, 10, QLatin1Char('0'));
        const QString path = folder_ + QStringLiteral("/print-") + number + QStringLiteral(".pdf");
        // The hidden file being written holds the number until the job is whole.
        file.setFileName(folder_ + QStringLiteral("/.print-") + number + QStringLiteral(".pdf.part"));
        if (!QFileInfo::exists(path) && file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
            lastFile_ = path;
            finalPath = path;
            ++next;
            return;
        }
        // Another program has written into the folder, or removed it, since it was read.
        const bool folderChanged = QFileInfo::exists(path) || !QFileInfo(folder_).isDir();
        if (!folderChanged || attempt == kOpenAttempts)
            throw PrintError(QStringLiteral("The print job could not be started on \"%1\".").arg(path));
        next = 0;
    }
}

int PdfJobCanvas::firstFreeNumber() const
{
    QDir dir(folder_);
    if (!dir.mkpath(QStringLiteral(".")))
        throw PrintError(QStringLiteral("The folder \"%1\" for printed files could not be created.").arg(folder_));
    static const QRegularExpression numbered(QStringLiteral("^\\.?print-(\\d+)\\.pdf(\\.part)?$"));
    int highest = 0;
    // Any kind of entry holds its name, and so does a job being written.
    for (const QString& name : dir.entryList({QStringLiteral("print-*.pdf"), QStringLiteral(".print-*.pdf.part")},
                                             QDir::AllEntries | QDir::System | QDir::Hidden)) {
        const QRegularExpressionMatch match = numbered.match(name);
        if (match.hasMatch())
            highest = std::max(highest, match.captured(1).toInt());
    }
    return highest + 1;
}

Resolution PdfJobCanvas::DotsPerInch() const
{
    return {kDotsPerInch, kDotsPerInch};
}

QPoint PdfJobCanvas::PrintableOffset() const
{
    return {0, 0};
}

QSize PdfJobCanvas::PageSize() const
{
    return {kPageWidth, kPageHeight};
}

const PdfJobCanvas::Font& PdfJobCanvas::fontOf(const QString& face, int points)
{
    static QMutex mutex;
    static std::map<std::pair<QString, int>, Font> fonts;
    const QMutexLocker lock(&mutex);
    const auto [entry, added] = fonts.try_emplace({face, points});
    Font& font = entry->second;
    if (added) {
        font.font = canvasFont(face, points, kDotsPerInch);
        // The metrics are those of the face Qt draws with, so that the PDF file and the paper
        // agree even where another face is embedded in its place.
        const QRawFont drawn = QRawFont::fromFont(font.font);
        try {
            font.embedded = embeddedFaceFor(drawn);
        } catch (const std::runtime_error&) {
            fonts.erase(entry);
            throw PrintError(QStringLiteral("The font \"%1\" cannot be embedded in PDF files.").arg(face));
        }
        font.pixelSize = font.font.pixelSize();
        font.ascent = drawn.ascent();
        font.height = qRound(drawn.ascent() + drawn.descent());
        setReplacement(font);
    }
    return font;
}

void PdfJobCanvas::setReplacement(Font& font)
{
    constexpr char32_t kReplacementCharacter = 0xFFFD;
    QTextLayout layout(QString(QChar(kReplacementCharacter)), font.font);
    layout.beginLayout();
    layout.createLine();
    layout.endLayout();
    for (const QGlyphRun& run : layout.glyphRuns()) {
        const QRawFont raw = run.rawFont();
        if (!hasFace(raw) || run.glyphIndexes().isEmpty() || run.glyphIndexes().first() == 0)
            continue;
        try {
            font.replacementFace = embeddedFaceFor(raw);
        } catch (const std::runtime_error&) {
            continue;
        }
        font.replacementGlyph = font.replacementFace.sameGlyphs
                                    ? run.glyphIndexes().first()
                                    : glyphOf(font.replacementFace.raw, kReplacementCharacter);
        font.replacementPixelSize = raw.pixelSize();
        if (font.replacementGlyph != 0)
            return;
    }
    font.replacementFace = font.embedded;
    font.replacementGlyph = glyphOf(font.embedded.raw, U'?');
    font.replacementPixelSize = font.pixelSize;
}

const PdfJobCanvas::Font& PdfJobCanvas::font() const
{
    // Text before any SetFont comes out in the forms' everyday face.
    if (!font_)
        font_ = &fontOf(QStringLiteral("Arial"), 10);
    return *font_;
}

void PdfJobCanvas::SetFont(const QString& face, int points, int angle)
{
    font_ = &fontOf(face, points);
    // Quarter turns exactly, so that turned text stays on the dot grid.
    const int quarterTurns = angle % 900 == 0 ? (angle / 900 % 4 + 4) % 4 : -1;
    switch (quarterTurns) {
    case 0:
        cos_ = 1, sin_ = 0;
        break;
    case 1:
        cos_ = 0, sin_ = 1;
        break;
    case 2:
        cos_ = -1, sin_ = 0;
        break;
    case 3:
        cos_ = 0, sin_ = -1;
        break;
    default:
        cos_ = std::cos(angle * std::numbers::pi / 1800);
        sin_ = std::sin(angle * std::numbers::pi / 1800);
        break;
    }
}

const PdfJobCanvas::SetText& PdfJobCanvas::setText(const QString& text) const
{
    const Font& current = font();
    for (const SetText& recent : recentTexts_)
        if (recent.font == &current && recent.text == text)
            return recent;
    SetText& set = recentTexts_[nextText_];
    nextText_ = (nextText_ + 1) % recentTexts_.size();
    set.font = &current;
    set.text = text;
    set.laidOutByQt = false;
    set.runs.resize(1);
    GlyphRun& run = set.runs.front();
    const EmbeddedFace& embedded = current.embedded;
    run.face = embedded.face;
    run.pixelSize = current.pixelSize;
    run.positions.clear();
    run.glyphs.clear();
    run.characters.clear();
    // The font engine gives one glyph per character, 0 for one the face lacks.
    run.glyphs.resize(size_t(text.size()));
    int count = int(text.size());
    if (!embedded.raw.glyphIndexesForChars(text.constData(), int(text.size()), run.glyphs.data(), &count))
        count = 0;
    run.glyphs.resize(size_t(count));
    const QList<uint> characters = text.toUcs4();
    qint64 units = 0;
    for (size_t i = 0; i < run.glyphs.size(); ++i) {
        const quint32 glyph = run.glyphs[i];
        const char32_t c = qsizetype(i) < characters.size() ? characters[qsizetype(i)] : 0;
        if (glyph == 0 || glyph >= quint32(embedded.face->glyphCount()) || !setGlyphByGlyph(c)) {
            layOutByQt(set);
            return set;
        }
        run.characters.push_back(c);
        units += embedded.face->advance(int(glyph));
    }
    set.width = qRound(double(units) * current.pixelSize / embedded.face->unitsPerEm());
    return set;
}

void PdfJobCanvas::layOutByQt(SetText& set) const
{
    const Font& current = *set.font;
    set.laidOutByQt = true;
    set.rightToLeft = false;
    set.runs.clear();
    QTextLayout layout(set.text, current.font);
    QTextOption option;
    option.setWrapMode(QTextOption::NoWrap);
    layout.setTextOption(option);
    layout.beginLayout();
    QTextLine line = layout.createLine();
    layout.endLayout();
    if (!line.isValid()) {
        set.width = 0;
        return;
    }
    set.width = qRound(line.horizontalAdvance());
    const QList<uint> characters = set.text.toUcs4();
    for (const uint c : characters) {
        const QChar::Direction direction = QChar::direction(c);
        set.rightToLeft = set.rightToLeft || direction == QChar::DirR || direction == QChar::DirAL;
    }
    // The character each glyph stands for: the glyphs Qt draws for each character alone, found
    // again by their places. A glyph drawn for several characters (a ligature) stands for the
    // first.
    QHash<QPair<quint32, qint64>, char32_t> characterOf;
    const auto place = [](quint32 glyph, const QPointF& position) {
        return qMakePair(glyph, qint64(qRound64(position.x() * 64)));
    };
    for (qsizetype i = 0; i < set.text.size(); ++i) {
        const bool pair = set.text[i].isHighSurrogate() && i + 1 < set.text.size();
        const char32_t c = pair ? QChar::surrogateToUcs4(set.text[i], set.text[i + 1]) : set.text[i].unicode();
        for (const QGlyphRun& part : layout.glyphRuns(int(i), pair ? 2 : 1)) {
            const QList<quint32> glyphs = part.glyphIndexes();
            const QList<QPointF> positions = part.positions();
            for (qsizetype g = 0; g < glyphs.size() && g < positions.size(); ++g)
                characterOf.insert(place(glyphs[g], positions[g]), c);
        }
        i += pair ? 1 : 0;
    }
    // Characters no installed face has come as glyphs of no face, or as glyph 0 of a face
    // without them; each shows as the replacement mark.
    GlyphRun replaced;
    replaced.face = current.replacementFace.face;
    replaced.pixelSize = current.replacementPixelSize;
    const auto replace = [&](const QPointF& position) {
        replaced.glyphs.push_back(current.replacementGlyph);
        replaced.characters.push_back(0xFFFD);
        replaced.positions.push_back(position - QPointF(0, line.ascent()));
    };
    for (const QGlyphRun& qtRun : layout.glyphRuns()) {
        const QRawFont drawn = qtRun.rawFont();
        const QList<quint32> glyphs = qtRun.glyphIndexes();
        const QList<QPointF> positions = qtRun.positions();
        if (!hasFace(drawn)) {
            for (qsizetype i = 0; i < glyphs.size() && i < positions.size(); ++i)
                if (needsGlyph(characterOf.value(place(glyphs[i], positions[i]), U'?')))
                    replace(positions[i]);
            continue;
        }
        EmbeddedFace embedded;
        try {
            embedded = embeddedFaceFor(drawn);
        } catch (const std::runtime_error&) {
            embedded = current.embedded;
            embedded.sameGlyphs = false;
        }
        GlyphRun run;
        run.face = embedded.face;
        run.pixelSize = drawn.pixelSize();
        for (qsizetype i = 0; i < glyphs.size() && i < positions.size(); ++i) {
            const char32_t c = characterOf.value(place(glyphs[i], positions[i]));
            if (glyphs[i] == 0 && needsGlyph(c)) {
                replace(positions[i]);
                continue;
            }
            // A stand-in face takes its own glyph for the character.
            const quint32 glyph = embedded.sameGlyphs ? glyphs[i] : (c ? glyphOf(embedded.raw, c) : 0);
            run.glyphs.push_back(glyph);
            run.characters.push_back(c);
            run.positions.push_back(positions[i] - QPointF(0, line.ascent()));
        }
        set.runs.push_back(std::move(run));
    }
    if (!replaced.glyphs.empty())
        set.runs.push_back(std::move(replaced));
}

int PdfJobCanvas::TextWidth(const QString& text) const
{
    return setText(text).width;
}

int PdfJobCanvas::TextHeight(const QString&) const
{
    return font().height;
}

void PdfJobCanvas::DrawText(int x, int y, const QString& text)
{
    Job& job = page();
    const Font& current = font();
    const SetText& set = setText(text);

    // The cell, white, in the text's own frame: x along the text, y downward.
    PdfBytes& out = job.content;
    out << "q " << cos_ << " " << -sin_ << " " << sin_ << " " << cos_ << " " << x << " " << y << " cm 1 g 0 0 "
        << set.width << " " << current.height << " re f 0 g ";
    // Text laid out by Qt keeps its characters, in their order, for extraction as a whole;
    // right-to-left text is left to the reader, which orders glyphs by their places itself.
    const bool actualText = set.laidOutByQt && !set.rightToLeft;
    if (actualText)
        out << "/Span << /ActualText " << pdfTextString(text) << " >> BDC ";
    out << "BT";
    for (const GlyphRun& run : set.runs) {
        const auto [resource, jobFont] = job.fontFor(run.face);
        out << " /F" << resource << " " << run.pixelSize << " Tf";
        if (run.positions.empty())
            out << " 1 0 0 -1 0 " << current.ascent << " Tm <";
        for (size_t i = 0; i < run.glyphs.size(); ++i) {
            if (!run.positions.empty())
                out << " 1 0 0 -1 " << run.positions[i].x() << " " << current.ascent + run.positions[i].y() << " Tm <";
            const int id = jobFont->glyphs.idOf(int(run.glyphs[i]));
            out.appendHex16(id);
            if (!run.positions.empty())
                out << "> Tj";
            // Each glyph is remembered with its character for text extraction.
            const char32_t c = run.characters[i];
            if (id == 0 || c == 0)
                continue;
            if (jobFont->textOf.size() <= size_t(id))
                jobFont->textOf.resize(size_t(id) + 1);
            if (jobFont->textOf[size_t(id)] == 0)
                jobFont->textOf[size_t(id)] = c;
        }
        if (run.positions.empty())
            out << "> Tj";
    }
    out << " ET" << (actualText ? " EMC" : "") << " Q\n";
}

void PdfJobCanvas::SetJobSubject(const QString& subject)
{
    subject_ = subject;
    if (job_)
        job_->subject = subject;
}

void PdfJobCanvas::AddToJobTitle(const QString& number)
{
    if (job_ && !number.isEmpty())
        job_->title.append(number);
}

void PdfJobCanvas::DrawImage(int x, int y, int width, int height, const QImage& image)
{
    Job& job = page();
    if (image.isNull() || width == 0 || height == 0)
        return;
    // An image paints every dot of its rectangle, white ones too, so it needs no white ground.
    const int number = job.imageFor(image);
    job.content << "q " << width << " 0 0 " << -height << " " << x << " " << y + height << " cm /Im" << number
                << " Do Q\n";
}

void PdfJobCanvas::DrawLine(int x1, int y1, int x2, int y2)
{
    page().content << "q 0 G 1 w " << x1 << " " << y1 << " m " << x2 << " " << y2 << " l S Q\n";
}

void PdfJobCanvas::FillRect(int x1, int y1, int x2, int y2)
{
    page().content << "0 g " << std::min(x1, x2) << " " << std::min(y1, y2) << " " << std::abs(x2 - x1) << " "
                   << std::abs(y2 - y1) << " re f\n";
}
