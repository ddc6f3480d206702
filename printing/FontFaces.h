// The faces PDF print jobs embed: the face Qt draws each piece of text with, told apart by
// the file and face index it comes from, or the nearest face that can be embedded when that
// one cannot.
#pragma once

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

// The file fontconfig holds the face of a raw font in. Where several files hold a face of
// that family and style, the one whose 'head' table (with the checksum of its whole file)
// is the raw font's; nothing when fontconfig knows no such face.
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
// output once per family. Throws std::runtime_error when not even that face can be embedded.
EmbeddedFace embeddedFaceFor(const QRawFont& drawn);
