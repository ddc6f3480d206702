#include "canvas/TrueTypeSubset.h"

#include <QFile>
#include <QRawFont>
#include <algorithm>
#include <stdexcept>

namespace {

// Big-endian fields of a font table; a field past the table's end reads as 0, so that a
// damaged font yields wrong numbers rather than a read outside the data.
quint32 u32(QByteArrayView data, qsizetype at)
{
    if (at < 0 || at + 4 > data.size())
        return 0;
    const auto* p = reinterpret_cast<const uchar*>(data.data()) + at;
    return quint32(p[0]) << 24 | quint32(p[1]) << 16 | quint32(p[2]) << 8 | p[3];
}

int u16(QByteArrayView data, qsizetype at)
{
    if (at < 0 || at + 2 > data.size())
        return 0;
    const auto* p = reinterpret_cast<const uchar*>(data.data()) + at;
    return p[0] << 8 | p[1];
}

int i16(QByteArrayView data, qsizetype at)
{
    return static_cast<qint16>(u16(data, at));
}

void putU16(QByteArray& data, qsizetype at, int value)
{
    data[at] = char(value >> 8);
    data[at + 1] = char(value);
}

void putU32(QByteArray& data, qsizetype at, quint32 value)
{
    putU16(data, at, int(value >> 16));
    putU16(data, at + 2, int(value & 0xFFFF));
}

void appendU16(QByteArray& data, int value)
{
    data.append(char(value >> 8)).append(char(value));
}

void appendU32(QByteArray& data, quint32 value)
{
    appendU16(data, int(value >> 16));
    appendU16(data, int(value & 0xFFFF));
}

// Calls visit with the offset of each component's glyph number in a composite glyph.
template <typename Visit> void forEachComponent(QByteArrayView glyph, Visit visit)
{
    if (i16(glyph, 0) >= 0)
        return;
    enum : int { kWordArgs = 0x1, kScale = 0x8, kMoreComponents = 0x20, kXYScale = 0x40, kTwoByTwo = 0x80 };
    qsizetype at = 10;
    for (;;) {
        if (at + 4 > glyph.size())
            return;
        const int flags = u16(glyph, at);
        visit(at + 2);
        at += 4 + ((flags & kWordArgs) ? 4 : 2);
        if (flags & kScale)
            at += 2;
        else if (flags & kXYScale)
            at += 4;
        else if (flags & kTwoByTwo)
            at += 8;
        if (!(flags & kMoreComponents))
            return;
    }
}

// The characters of a PostScript name that need no escape in a PDF name.
QByteArray pdfNameCharacters(const QByteArray& name)
{
    QByteArray kept;
    for (char c : name)
        if (c > ' ' && c < 127 && !QByteArrayView("()<>[]{}/%#").contains(c))
            kept.append(c);
    return kept;
}

// Name ID 6 of the name table, from a Windows (UTF-16) or Macintosh (Roman) record.
QByteArray postScriptNameOf(QByteArrayView name)
{
    const int count = u16(name, 2);
    const int strings = u16(name, 4);
    for (int i = 0; i < count; ++i) {
        const qsizetype record = 6 + 12 * qsizetype(i);
        const int platform = u16(name, record);
        if (u16(name, record + 6) != 6 || (platform != 1 && platform != 3))
            continue;
        const qsizetype length = u16(name, record + 8);
        const qsizetype at = strings + u16(name, record + 10);
        if (at + length > name.size())
            continue;
        QByteArray text;
        if (platform == 3) {
            for (qsizetype c = 0; c + 1 < length; c += 2)
                text.append(char(u16(name, at + c)));
        } else {
            text = name.sliced(at, length).toByteArray();
        }
        text = pdfNameCharacters(text);
        if (!text.isEmpty())
            return text;
    }
    return {};
}

// A CFF program goes into every print job that draws from it; larger ones are too costly.
constexpr qsizetype kLargestWholeCff = 2 * 1024 * 1024;

// Whether the first Top DICT of a CFF program starts with the ROS operator (12 30) of a
// CID-keyed font, whose glyphs a PDF file would have to address by CID, not glyph number.
bool cffKeyedByCid(QByteArrayView cff)
{
    const auto byte = [&cff](qsizetype at) { return at >= 0 && at < cff.size() ? uchar(cff[at]) : 0; };
    // An INDEX: count, offset size, offsets (relative to the byte before the data), data.
    const auto indexAt = [&](qsizetype at, qsizetype& dataStart, qsizetype& end) {
        const int count = u16(cff, at);
        if (count == 0) {
            dataStart = end = at + 2;
            return count;
        }
        const int offSize = byte(at + 2);
        const auto offset = [&](int i) {
            qsizetype value = 0;
            for (int b = 0; b < offSize; ++b)
                value = value << 8 | byte(at + 3 + qsizetype(i) * offSize + b);
            return value;
        };
        dataStart = at + 3 + qsizetype(count + 1) * offSize - 1;
        end = dataStart + offset(count);
        return count;
    };
    qsizetype dataStart = 0, end = 0;
    indexAt(byte(2), dataStart, end); // names
    if (indexAt(end, dataStart, end) == 0)
        return false;
    // The first Top DICT: operands, then its first operator.
    for (qsizetype at = dataStart + 1; at < end;) {
        const uchar b = byte(at);
        if (b <= 21)
            return b == 12 && byte(at + 1) == 30;
        if (b == 28)
            at += 3;
        else if (b == 29)
            at += 5;
        else if (b == 30) { // real number: nibbles up to an 0xF
            ++at;
            while (at < end && (byte(at) & 0x0F) != 0x0F && (byte(at) & 0xF0) != 0xF0)
                ++at;
            ++at;
        } else if (b >= 247 && b <= 254)
            at += 2;
        else
            at += 1;
    }
    return false;
}

} // namespace

QByteArray fontFileTable(const QString& path, int index, QByteArrayView tag)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const uchar* mapped = file.map(0, file.size());
    if (!mapped)
        return {};
    const QByteArrayView data(reinterpret_cast<const char*>(mapped), file.size());
    qsizetype face = 0;
    if (data.first(qMin<qsizetype>(4, data.size())) == "ttcf") {
        if (index < 0 || index >= qint64(u32(data, 8)))
            return {};
        face = u32(data, 12 + 4 * qsizetype(index));
    }
    const int tables = u16(data, face + 4);
    const quint32 wanted = tag.size() == 4 ? u32(tag, 0) : 0;
    for (int i = 0; i < tables; ++i) {
        const qsizetype record = face + 12 + 16 * qsizetype(i);
        if (u32(data, record) != wanted)
            continue;
        const qsizetype at = u32(data, record + 8);
        const qsizetype length = u32(data, record + 12);
        if (at + length > data.size())
            return {};
        return data.sliced(at, length).toByteArray();
    }
    return {};
}

OpenTypeFace::OpenTypeFace(const QRawFont& font)
    : head_(font.fontTable("head")), hhea_(font.fontTable("hhea")), maxp_(font.fontTable("maxp"))
{
    const std::string family = font.familyName().toStdString();
    const QByteArray loca = font.fontTable("loca");
    const QByteArray hmtx = font.fontTable("hmtx");
    const int glyphCount = u16(maxp_, 4);
    if (head_.size() < 54 || hhea_.size() < 36 || maxp_.size() < 6 || hmtx.isEmpty() || glyphCount == 0)
        throw std::runtime_error("The font \"" + family + "\" is not an OpenType face.");
    glyf_ = font.fontTable("glyf");
    if (glyf_.isEmpty() || loca.isEmpty()) {
        cff_ = font.fontTable("CFF ");
        if (cff_.isEmpty())
            throw std::runtime_error("The font \"" + family + "\" has neither TrueType nor CFF outlines.");
        if (cff_.size() > kLargestWholeCff)
            throw std::runtime_error("The CFF program of the font \"" + family + "\" is too large to embed whole.");
        if (cffKeyedByCid(cff_))
            throw std::runtime_error("The CFF program of the font \"" + family + "\" is keyed by CID.");
        outlines_ = Outlines::Cff;
    } else {
        cvt_ = font.fontTable("cvt ");
        fpgm_ = font.fontTable("fpgm");
        prep_ = font.fontTable("prep");
    }

    const int em = u16(head_, 18);
    unitsPerEm_ = em >= 16 ? em : 1000;
    xMin_ = i16(head_, 36);
    yMin_ = i16(head_, 38);
    xMax_ = i16(head_, 40);
    yMax_ = i16(head_, 42);
    ascent_ = i16(hhea_, 4);
    descent_ = i16(hhea_, 6);
    const QByteArray os2 = font.fontTable("OS/2");
    capHeight_ = u16(os2, 0) >= 2 && os2.size() >= 90 ? i16(os2, 88) : ascent_;
    const QByteArray post = font.fontTable("post");
    fixedPitch_ = u32(post, 12) != 0;
    // The glyph names of format 2 are of no use inside a PDF file; format 3 has none.
    post_ = post.size() >= 32 ? post.first(32) : QByteArray(32, '\0');
    putU32(post_, 0, 0x00030000);
    postScriptName_ = postScriptNameOf(font.fontTable("name"));
    if (postScriptName_.isEmpty())
        postScriptName_ = pdfNameCharacters(font.familyName().toLatin1());

    if (outlines_ == Outlines::TrueType) {
        const bool longOffsets = i16(head_, 50) == 1;
        loca_.resize(size_t(glyphCount) + 1);
        for (int i = 0; i <= glyphCount; ++i)
            loca_[i] = longOffsets ? u32(loca, 4 * qsizetype(i)) : 2 * quint32(u16(loca, 2 * qsizetype(i)));
    }

    const int metricCount = std::clamp(u16(hhea_, 34), 1, glyphCount);
    advances_.resize(glyphCount);
    leftSideBearings_.resize(glyphCount);
    for (int i = 0; i < glyphCount; ++i) {
        const int metric = std::min(i, metricCount - 1);
        advances_[i] = u16(hmtx, 4 * qsizetype(metric));
        leftSideBearings_[i] = i < metricCount ? i16(hmtx, 4 * qsizetype(i) + 2)
                                               : i16(hmtx, 4 * qsizetype(metricCount) + 2 * (i - metricCount));
    }
}

QByteArrayView OpenTypeFace::glyphData(int glyph) const
{
    if (outlines_ != Outlines::TrueType)
        return {};
    const quint32 start = loca_[glyph];
    const quint32 end = loca_[glyph + 1];
    if (end <= start || end > quint32(glyf_.size()))
        return {};
    return QByteArrayView(glyf_).sliced(start, end - start);
}

QByteArray OpenTypeFace::subsetFile(const std::vector<int>& glyphs, const std::vector<int>& newIdOf) const
{
    const int count = static_cast<int>(glyphs.size());
    QByteArray glyf;
    QByteArray loca;
    QByteArray hmtx;
    loca.reserve(4 * (count + 1));
    hmtx.reserve(4 * count);
    for (int glyph : glyphs) {
        appendU32(loca, quint32(glyf.size()));
        const qsizetype start = glyf.size();
        const QByteArrayView data = glyphData(glyph);
        glyf.append(data);
        forEachComponent(data, [&](qsizetype at) {
            const size_t part = u16(data, at);
            putU16(glyf, start + at, part < newIdOf.size() ? newIdOf[part] : 0);
        });
        glyf.append((4 - glyf.size() % 4) % 4, '\0');
        appendU16(hmtx, advances_[glyph]);
        appendU16(hmtx, leftSideBearings_[glyph]);
    }
    appendU32(loca, quint32(glyf.size()));

    QByteArray head = head_.first(54);
    putU32(head, 8, 0);  // checkSumAdjustment, set below
    putU16(head, 50, 1); // long loca offsets
    QByteArray hhea = hhea_.first(36);
    putU16(hhea, 34, count);
    QByteArray maxp = maxp_;
    putU16(maxp, 4, count);

    // Tables in the order of their tags, as the table directory requires.
    const std::pair<const char*, const QByteArray*> tables[] = {
        {"cvt ", &cvt_}, {"fpgm", &fpgm_}, {"glyf", &glyf}, {"head", &head},  {"hhea", &hhea},
        {"hmtx", &hmtx}, {"loca", &loca},  {"maxp", &maxp}, {"post", &post_}, {"prep", &prep_},
    };
    int tableCount = 0;
    qsizetype size = 12;
    for (const auto& [tag, data] : tables) {
        if (!data->isEmpty()) {
            ++tableCount;
            size += 16 + (data->size() + 3) / 4 * 4;
        }
    }
    int entrySelector = 0;
    while ((2 << entrySelector) <= tableCount)
        ++entrySelector;
    QByteArray file;
    file.reserve(size);
    appendU32(file, 0x00010000);
    appendU16(file, tableCount);
    appendU16(file, 16 << entrySelector);
    appendU16(file, entrySelector);
    appendU16(file, 16 * tableCount - (16 << entrySelector));
    qsizetype entry = file.size();
    file.resize(12 + 16 * qsizetype(tableCount));
    qsizetype headAt = 0;
    for (const auto& [tag, data] : tables) {
        if (data->isEmpty())
            continue;
        const qsizetype at = file.size();
        file.append(*data);
        file.append((4 - file.size() % 4) % 4, '\0');
        quint32 checksum = 0;
        for (qsizetype word = at; word < file.size(); word += 4)
            checksum += u32(file, word);
        if (data == &head)
            headAt = at;
        putU32(file, entry, u32(QByteArrayView(tag, 4), 0));
        putU32(file, entry + 4, checksum);
        putU32(file, entry + 8, quint32(at));
        putU32(file, entry + 12, quint32(data->size()));
        entry += 16;
    }
    quint32 fileChecksum = 0;
    for (qsizetype word = 0; word < file.size(); word += 4)
        fileChecksum += u32(file, word);
    putU32(file, headAt + 8, 0xB1B0AFBA - fileChecksum);
    return file;
}

GlyphSubset::GlyphSubset(std::shared_ptr<const OpenTypeFace> face)
    : face_(std::move(face)), glyphs_{0}, newIdOf_(face_->glyphCount(), -1)
{
    newIdOf_[0] = 0;
}

int GlyphSubset::idOf(int glyph)
{
    if (glyph < 0 || glyph >= face_->glyphCount())
        glyph = 0;
    int& id = newIdOf_[glyph];
    if (id < 0) {
        id = face_->outlines() == OpenTypeFace::Outlines::Cff ? glyph : static_cast<int>(glyphs_.size());
        glyphs_.push_back(glyph);
    }
    return id;
}

QByteArray GlyphSubset::fontFile()
{
    if (face_->outlines() == OpenTypeFace::Outlines::Cff) {
        std::sort(glyphs_.begin(), glyphs_.end());
        return face_->cffProgram();
    }
    // The list grows while it is walked, so that parts of parts are taken too.
    for (size_t i = 0; i < glyphs_.size(); ++i) {
        const QByteArrayView data = face_->glyphData(glyphs_[i]);
        forEachComponent(data, [&](qsizetype at) { idOf(u16(data, at)); });
    }
    return face_->subsetFile(glyphs_, newIdOf_);
}
