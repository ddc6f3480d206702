// TrueType faces cut down to the glyphs a PDF print job uses, for embedding as FontFile2.
// A face's tables are read and checked once per process; a job then only copies the glyphs
// it drew.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <memory>
#include <vector>

class QRawFont;

// The parts of a TrueType face that subsets are made of, and the metrics a PDF font
// descriptor states, in font units.
class TrueTypeFace {
public:
    // The face behind a raw font, read at its first use and shared from then on. Throws
    // std::runtime_error when the face has no TrueType outlines.
    static std::shared_ptr<const TrueTypeFace> of(const QRawFont& font);

    explicit TrueTypeFace(const QRawFont& font);

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

    // The outline data of a glyph as the glyf table holds it; empty for a blank glyph.
    QByteArrayView glyphData(int glyph) const;
    // A font file holding the glyphs listed, renumbered by their place in the list;
    // newIdOf gives that place for every glyph a composite in the list refers to.
    QByteArray subsetFile(const std::vector<int>& glyphs, const std::vector<int>& newIdOf) const;

private:
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

// The glyphs of one face that a job draws, numbered compactly in the order of first use,
// with glyph 0 (the missing-character box) always first.
class GlyphSubset {
public:
    explicit GlyphSubset(std::shared_ptr<const TrueTypeFace> face);

    const TrueTypeFace& face() const { return *face_; }
    // The glyph's number in the subset; a glyph the face does not have counts as glyph 0.
    int idOf(int glyph);
    // The face's glyph numbers by subset number.
    const std::vector<int>& glyphs() const { return glyphs_; }
    // Adds the parts of the composite glyphs, then makes the font file.
    QByteArray fontFile();

private:
    std::shared_ptr<const TrueTypeFace> face_;
    std::vector<int> glyphs_;
    std::vector<int> newIdOf_;
};
