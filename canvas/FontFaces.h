// The faces PDF print jobs embed: the face Qt draws each piece of text with, told apart by
// the file and face index it comes from, or the nearest face that can be embedded when that
// one cannot.
#pragma once

#include <QFont>
#include <QRawFont>
#include <QString>
#include <memory>
#include <optional>

class OpenTypeFace;

// A face inside an installed font file; a collection holds several, by index.
struct FaceFile {
    QString path;
    int index = 0;

    bool operator==(const FaceFile&) const = default;
};

// False for the stand-in Qt lays out text with when no installed face has its characters:
// it has no face and no font tables (painters draw its glyphs as empty boxes), and asking it
// for its family name reads past the end of an empty list.
bool hasFace(const QRawFont& font);

// False for the characters that draw nothing (blanks, and format characters such as joiners
// and direction marks, which Qt may set as glyph 0): for any other, glyph 0 means that no
// installed face has it.
bool needsGlyph(char32_t character);

// The characters of a text that no installed face can draw, with the font or any of the
// fallback faces Qt takes for it: each once, in the order of the text.
QString charactersWithoutFace(const QString& text, const QFont& font);

// The file fontconfig holds the face of a raw font in. Where several files hold a face of
// that family and style, the one whose 'head' table (with the checksum of its whole file)
// is the raw font's; nothing when fontconfig knows no such face, or the raw font has none.
std::optional<FaceFile> faceFileOf(const QRawFont& font);

// The face embedded for text that Qt draws with a raw font, and the raw font that numbers
// its glyphs.
struct EmbeddedFace {
    std::shared_ptr<const OpenTypeFace> face;
    QRawFont raw;
    // False for a stand-in: the glyphs Qt drew must be looked up again by character.
    bool sameGlyphs = true;
};

// The face for a raw font, read once per file and face index. A face that cannot be
// embedded (Type 1, a CFF program keyed by CID) is replaced by another file of its family
// and style that can, or else by the face of "Arial", with a warning in the program's
// output once per family. Throws std::runtime_error for a raw font without a face, and when
// not even that face can be embedded.
EmbeddedFace embeddedFaceFor(const QRawFont& drawn);
