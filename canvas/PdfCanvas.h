// The page canvas as PDF files, one per print job, written by the program itself: a job holds
// only what it drew, so a one-page form costs a fraction of a millisecond to write. Here the
// canvas's side: the jobs' files and their names, the fonts and the setting of text, and the
// drawing operators; the file's objects (pages, fonts, images, the cross-reference table) are
// written by PdfWriter. Fonts are embedded as subsets of the installed TrueType faces (CFF
// faces whole); a character the chosen face lacks is drawn from the fallback face Qt's
// painter would take, and one that no installed face has as a replacement mark, its text kept
// for copying and searching.
#pragma once

#include "canvas/PageCanvas.h"

#include "canvas/FontFaces.h"

#include <QFont>
#include <QRawFont>
#include <array>
#include <map>
#include <memory>
#include <utility>

class PdfWriter;
class QFile;

// Writes each print job as one PDF file at 600 dots per inch, on Letter paper whose
// printable area is the whole sheet. Files are named "print-00000001.pdf" upward, one past
// the highest number already in the folder, so that they sort in print order.
class PdfJobCanvas : public PageCanvas {
public:
    static constexpr int kDotsPerInch = 600;

    // The folder is created at the first job when missing.
    explicit PdfJobCanvas(const QString& folder);
    // Finishes a job still open.
    ~PdfJobCanvas() override;

    // The environment variable DOVRA_PDF_DIR, or program folder + "/Printed".
    static QString defaultFolder();
    // The file of the latest job begun; empty before the first.
    QString lastFile() const { return lastFile_; }

    void BeginDocument() override;
    void EndDocument() override;
    // Removes the job's file.
    void AbortDocument() override;
    void NewPage() override;
    // The job's title (Info dictionary) lists its Mailer Numbers.
    void AddToJobTitle(const QString& number) override;
    // The subject (Info dictionary) of the jobs that follow, such as the recipient of a
    // proof copy.
    void SetJobSubject(const QString& subject);
    Resolution DotsPerInch() const override;
    QPoint PrintableOffset() const override;
    QSize PageSize() const override;
    void SetFont(const QString& face, int points, int angle) override;
    void DrawText(int x, int y, const QString& text) override;
    int TextWidth(const QString& text) const override;
    int TextHeight(const QString& text) const override;
    void DrawImage(int x, int y, int width, int height, const QImage& image) override;
    void DrawLine(int x1, int y1, int x2, int y2) override;
    void FillRect(int x1, int y1, int x2, int y2) override;

private:
    // A face and size as SetFont chose them.
    struct Font {
        QFont font;            // as Qt lays text out with it
        EmbeddedFace embedded; // the face its glyphs come from in the file
        int pixelSize = 0;
        double ascent = 0;
        int height = 0;
        // What stands for a character no installed face has: the replacement character
        // "\uFFFD" from the face Qt takes for it, or else "?" of the font's own face.
        EmbeddedFace replacementFace;
        quint32 replacementGlyph = 0;
        double replacementPixelSize = 0;
    };
    // Glyphs of one face, in the order they are drawn.
    struct GlyphRun {
        std::shared_ptr<const OpenTypeFace> face;
        double pixelSize = 0;
        std::vector<quint32> glyphs;
        std::vector<char32_t> characters; // the character of each glyph, 0 where unknown
        std::vector<QPointF> positions;   // from the text's start on the base line; empty:
                                          // each glyph follows the one before
    };
    // A text as it is drawn in the current font.
    struct SetText {
        const Font* font = nullptr;
        QString text;
        int width = 0;
        bool laidOutByQt = false;
        bool rightToLeft = false; // holds right-to-left characters
        std::vector<GlyphRun> runs;
    };

    const Font& font() const;
    // The font of a face name and size, looked up once per program run: the main window opens
    // a canvas for every print command.
    static const Font& fontOf(const QString& face, int points);
    static void setReplacement(Font& font);
    // Text the face has a glyph for, in the scripts that need no shaping, goes glyph by glyph
    // with the face's own advances; any other is laid out by Qt, with fallback faces. The
    // last few texts set are kept, as the widths of a few lines are mostly measured before
    // the lines are drawn. The text returned stays as it is until the next call.
    const SetText& setText(const QString& text) const;
    void layOutByQt(SetText& set) const;
    // The open job; its file is created at the first drawing, so that a job with nothing
    // drawn (the one left open after the last label of a sheet) leaves no file.
    PdfWriter& page();
    void openJobFile(QFile& file, QString& finalPath);
    int firstFreeNumber() const;
    // Removes the file of a job that could not be written.
    void abandonJob();

    QString folder_;
    QString lastFile_;
    QString subject_;
    bool jobOpen_ = false;
    std::unique_ptr<PdfWriter> job_;
    mutable const Font* font_ = nullptr;
    mutable std::array<SetText, 8> recentTexts_;
    mutable size_t nextText_ = 0; // the slot the next new text takes
    double cos_ = 1;
    double sin_ = 0;
};
