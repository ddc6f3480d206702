// Font faces embedded in PDF print jobs: TrueType faces cut down to the glyphs a job uses
// (FontFile2), CFF faces as they are (FontFile3). A face's tables are read and checked once
// per process; a job then only copies the glyphs it drew.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <memory>
#include <vector>

class QRawFont;

// A table of a face in an installed font file (a collection holds several faces, by index);
// empty when the file or the table cannot be read.
QByteArray fontFileTable(const QString& path, int index, QByteArrayView tag);

// The parts of an OpenType face that embedded fonts are made of, and the metrics a PDF font
// descriptor states, in font units.
class OpenTypeFace {
public:
    // Glyph outlines as quadratic curves (glyf table) or as a Compact Font Format program.
    enum class Outlines { TrueType, Cff };

    // Reads the face behind a raw font. Throws std::runtime_error when it cannot be embedded:
    // no outlines of either kind (a Type 1 or bitmap face), or a CFF program keyed by CID or
    // too large to go into every print job whole.
    explicit OpenTypeFace(const QRawFont& font);

    Outlines outlines() const { return outlines_; }
    // The PostScript name, reduced to the characters a PDF name may hold unescaped.
    QByteArray postScriptName() const { return postScriptName_; }
    int unitsPerEm() const { return unitsPerEm_; }
    int glyphCount() const { return static_cast<int>(advances_.size()); }
    int advance(int glyph) const { return advances_[glyph]; }
    int xMin() const { return xMin_; }
    int yMin() const { return yMin_; }
    int xMax() const { return xMax_; }
    int yMax() const { return yMax_; }
    int ascent() const { return ascent_; }
    int descent() const { return descent_; }
    int capHeight() const { return capHeight_; }
    bool fixedPitch() const { return fixedPitch_; }

    // TrueType outlines: the outline data of a glyph as the glyf table holds it; empty for a
    // blank glyph.
    QByteArrayView glyphData(int glyph) const;
    // TrueType outlines: a font file holding the glyphs listed, renumbered by their place in
    // the list; newIdOf gives that place for every glyph a composite in the list refers to.
    QByteArray subsetFile(const std::vector<int>& glyphs, const std::vector<int>& newIdOf) const;
    // CFF outlines: the CFF program, whole.
    const QByteArray& cffProgram() const { return cff_; }

private:
    Outlines outlines_ = Outlines::TrueType;
    QByteArray cff_;
    QByteArray postScriptName_;
    int unitsPerEm_ = 1000;
    int xMin_ = 0, yMin_ = 0, xMax_ = 0, yMax_ = 0;
    int ascent_ = 0, descent_ = 0, capHeight_ = 0;
    bool fixedPitch_ = false;
    QByteArray head_, hhea_, maxp_, post_, cvt_, fpgm_, prep_, glyf_;
    std::vector<quint32> loca_;
    std::vector<int> advances_;
    std::vector<int> leftSideBearings_;
};

// The glyphs of one face that a job draws. TrueType glyphs are numbered compactly in the
// order of first use, with glyph 0 (the missing-character box) always first; CFF glyphs,
// embedded with the whole program, keep their numbers.
class GlyphSubset {
public:
    explicit GlyphSubset(std::shared_ptr<const OpenTypeFace> face);

    const OpenTypeFace& face() const { return *face_; }
    const std::shared_ptr<const OpenTypeFace>& sharedFace() const { return face_; }
    // The glyph's number in the embedded font; a glyph the face does not have counts as
    // glyph 0.
    int idOf(int glyph);
    // The face's glyph numbers by subset number (TrueType), or the glyphs used (CFF).
    const std::vector<int>& glyphs() const { return glyphs_; }
    // Adds the parts of the composite glyphs, then makes the font file.
    QByteArray fontFile();

private:
    std::shared_ptr<const OpenTypeFace> face_;
    std::vector<int> glyphs_;
    std::vector<int> newIdOf_;
};
