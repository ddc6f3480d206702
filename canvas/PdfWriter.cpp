#include "canvas/PdfWriter.h"

#include "canvas/RecentCache.h"
#include "core/PrintError.h"
#include "engine/Engine.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QMutex>
#include <QPainter>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <sys/mman.h>
#include <zlib.h>

namespace {

QString finishError()
{
    return QStringLiteral("The print job could not be finished.");
}

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

PdfWriter::PdfWriter()
{
    out_ << "%PDF-1.4\n%\xE2\xE3\xCF\xD3\n";
    startPage();
}

std::pair<int, PdfWriter::JobFont*> PdfWriter::fontFor(const std::shared_ptr<const OpenTypeFace>& face)
{
    for (size_t i = 0; i < fonts_.size(); ++i)
        if (&fonts_[i].glyphs.face() == face.get())
            return {int(i) + 1, &fonts_[i]};
    fonts_.push_back({GlyphSubset(face), {}});
    return {int(fonts_.size()), &fonts_.back()};
}

int PdfWriter::imageFor(const QImage& image)
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

void PdfWriter::startPage()
{
    content.bytes.clear();
    content.bytes.reserve(16 * 1024);
    // Drawing is in printer dots from the top-left corner, y downward.
    content << "0.12 0 0 -0.12 0 792 cm\n";
}

void PdfWriter::finishPage()
{
    const int contents = addStream(kFlate, deflated(content.bytes, kFast));
    const int page = reserveObject();
    beginObject(page);
    out_ << "<< /Type /Page /Parent " << kPageTree << " 0 R /MediaBox [0 0 612 792] /Resources " << kResources
         << " 0 R /Contents " << contents << " 0 R >>\n";
    endObject();
    pages_.push_back(page);
}

void PdfWriter::flush()
{
    if (file.write(out_.bytes) != out_.bytes.size())
        throw PrintError(finishError());
    written_ += out_.bytes.size();
    out_.bytes.resize(0);
}

void PdfWriter::finish()
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

int PdfWriter::reserveObject()
{
    offsets_.push_back(0);
    return int(offsets_.size()) - 1;
}

void PdfWriter::beginObject(int object)
{
    offsets_[size_t(object)] = written_ + out_.bytes.size();
    out_ << qint64(object) << " 0 obj\n";
}

int PdfWriter::addStream(QByteArrayView entries, QByteArrayView data)
{
    const int object = reserveObject();
    beginObject(object);
    out_ << "<< " << entries << " /Length " << qint64(data.size()) << " >>\nstream\n" << data << "\nendstream\n";
    endObject();
    return object;
}

int PdfWriter::addFont(JobFont& font, int index)
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

    const int file = cff ? addStream("/Subtype /CIDFontType0C " + kFlate, program.compressed)
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
         << " /CIDSystemInfo << /Registry (Adobe) /Ordering (Identity) /Supplement 0 >> /FontDescriptor " << descriptor
         << (cff ? " 0 R" : " 0 R /CIDToGIDMap /Identity") << " /DW " << face.advance(0) * scale << " /W [";
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
