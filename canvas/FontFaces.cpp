#include "canvas/FontFaces.h"

#include "canvas/PageCanvas.h"
#include "canvas/TrueTypeSubset.h"

#include <QGlyphRun>
#include <QHash>
#include <QMutex>
#include <QRecursiveMutex>
#include <QSet>
#include <QTextLayout>
#include <fontconfig/fontconfig.h>
#include <map>
#include <stdexcept>

namespace {

struct Candidate {
    FaceFile file;
    QByteArray format; // fontconfig's FC_FONTFORMAT: "TrueType", "CFF", "Type 1", ...
};

bool embeddableFormat(const QByteArray& format)
{
    return format == "TrueType" || format == "CFF";
}

// The installed files with a face of the family and style, in the order of their paths.
std::vector<Candidate> filesOf(const QString& family, const QString& style)
{
    std::vector<Candidate> files;
    FcPattern* pattern = FcPatternCreate();
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.toUtf8().constData()));
    if (!style.isEmpty())
        FcPatternAddString(pattern, FC_STYLE, reinterpret_cast<const FcChar8*>(style.toUtf8().constData()));
    FcObjectSet* objects = FcObjectSetBuild(FC_FILE, FC_INDEX, FC_FONTFORMAT, nullptr);
    if (FcFontSet* set = FcFontList(nullptr, pattern, objects)) {
        for (int i = 0; i < set->nfont; ++i) {
            FcChar8* path = nullptr;
            FcChar8* format = nullptr;
            int index = 0;
            if (FcPatternGetString(set->fonts[i], FC_FILE, 0, &path) != FcResultMatch)
                continue;
            FcPatternGetInteger(set->fonts[i], FC_INDEX, 0, &index);
            FcPatternGetString(set->fonts[i], FC_FONTFORMAT, 0, &format);
            files.push_back({{QString::fromUtf8(reinterpret_cast<const char*>(path)), index & 0xFFFF},
                             format ? QByteArray(reinterpret_cast<const char*>(format)) : QByteArray()});
        }
        FcFontSetDestroy(set);
    }
    FcObjectSetDestroy(objects);
    FcPatternDestroy(pattern);
    std::sort(files.begin(), files.end(), [](const Candidate& a, const Candidate& b) {
        return std::pair(a.file.path, a.file.index) < std::pair(b.file.path, b.file.index);
    });
    return files;
}

QString keyOf(const FaceFile& file)
{
    return file.path + QLatin1Char('\n') + QString::number(file.index);
}

QRecursiveMutex mutex;

// The tables of each face, by file and face index.
std::shared_ptr<const OpenTypeFace> faceOfFile(const std::optional<FaceFile>& file, const QRawFont& raw)
{
    static QHash<QString, std::shared_ptr<const OpenTypeFace>> faces;
    // A face fontconfig does not know is told apart by its names alone.
    const QString key = file ? keyOf(*file) : raw.familyName() + QLatin1Char('\n') + raw.styleName();
    std::shared_ptr<const OpenTypeFace>& face = faces[key];
    if (!face) {
        try {
            face = std::make_shared<const OpenTypeFace>(raw);
        } catch (...) {
            faces.remove(key);
            throw;
        }
    }
    return face;
}

// Another file of the face's family and style whose face can be embedded.
std::optional<EmbeddedFace> sameFaceElsewhere(const QRawFont& drawn, const std::optional<FaceFile>& drawnFile)
{
    for (const Candidate& other : filesOf(drawn.familyName(), drawn.styleName())) {
        // A raw font is made from a file's first face only.
        if (other.file == drawnFile || other.file.index != 0 || !embeddableFormat(other.format))
            continue;
        const QRawFont raw(other.file.path, drawn.pixelSize(), QFont::PreferNoHinting);
        if (!raw.isValid())
            continue;
        try {
            return EmbeddedFace{faceOfFile(other.file, raw), raw, false};
        } catch (const std::runtime_error&) {
        }
    }
    return std::nullopt;
}

} // namespace

bool hasFace(const QRawFont& font)
{
    // The stand-in's size is never set: a default font definition's -1.
    return font.isValid() && font.pixelSize() > 0;
}

bool needsGlyph(char32_t character)
{
    return character != 0 && !QChar::isSpace(character) && QChar::category(character) != QChar::Other_Format;
}

QString charactersWithoutFace(const QString& text, const QFont& font)
{
    // Most text is all in the font's own face, found at once without laying it out.
    static QHash<QString, QRawFont> ownFaces;
    static QMutex mutex;
    {
        const QMutexLocker lock(&mutex);
        auto own = ownFaces.find(font.key());
        if (own == ownFaces.end())
            own = ownFaces.insert(font.key(), QRawFont::fromFont(font));
        const QList<uint> characters = text.toUcs4();
        if (std::all_of(characters.begin(), characters.end(),
                        [&](uint c) { return !needsGlyph(c) || own->supportsCharacter(c); }))
            return {};
    }
    QTextLayout layout(text, font);
    QTextOption option;
    option.setWrapMode(QTextOption::NoWrap);
    layout.setTextOption(option);
    layout.beginLayout();
    layout.createLine();
    layout.endLayout();
    QString missing;
    int length = 1;
    for (qsizetype i = 0; i < text.size(); i += length) {
        length = text[i].isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        const QString character = text.mid(i, length);
        const char32_t c = character.toUcs4().value(0);
        if (!needsGlyph(c) || missing.contains(character))
            continue;
        for (const QGlyphRun& run : layout.glyphRuns(int(i), length)) {
            if (!hasFace(run.rawFont()) || run.glyphIndexes().contains(0)) {
                missing += character;
                break;
            }
        }
    }
    return missing;
}

std::optional<FaceFile> faceFileOf(const QRawFont& font)
{
    if (!hasFace(font))
        return std::nullopt;
    const std::vector<Candidate> files = filesOf(font.familyName(), font.styleName());
    if (files.empty())
        return std::nullopt;
    if (files.size() == 1)
        return files.front().file;
    const QByteArray head = font.fontTable("head");
    for (const Candidate& candidate : files) {
        if (head.isEmpty() ? !embeddableFormat(candidate.format)
                           : fontFileTable(candidate.file.path, candidate.file.index, "head") == head)
            return candidate.file;
    }
    return std::nullopt;
}

EmbeddedFace embeddedFaceFor(const QRawFont& drawn)
{
    const QMutexLocker lock(&mutex);
    // Raw fonts of one font engine compare equal; each is resolved once.
    static QHash<QRawFont, EmbeddedFace> resolved;
    if (const auto found = resolved.constFind(drawn); found != resolved.cend())
        return *found;
    if (!hasFace(drawn))
        throw std::runtime_error("Text was laid out without a face.");

    const std::optional<FaceFile> file = faceFileOf(drawn);
    EmbeddedFace embedded;
    try {
        embedded = {faceOfFile(file, drawn), drawn, true};
    } catch (const std::runtime_error& error) {
        if (std::optional<EmbeddedFace> other = sameFaceElsewhere(drawn, file)) {
            embedded = *other;
        } else {
            QFont everyday = canvasFont(QStringLiteral("Arial"), 10, 600);
            everyday.setPixelSize(qMax(1, qRound(drawn.pixelSize())));
            const QRawFont standIn = QRawFont::fromFont(everyday);
            if (standIn.familyName() == drawn.familyName())
                throw;
            static QSet<QString> warned;
            if (!warned.contains(drawn.familyName())) {
                warned.insert(drawn.familyName());
                qWarning("%s \"%s\" is printed in PDF files instead.", error.what(), qPrintable(standIn.familyName()));
            }
            embedded = embeddedFaceFor(standIn);
            embedded.sameGlyphs = false;
        }
    }
    resolved.insert(drawn, embedded);
    return embedded;
}
