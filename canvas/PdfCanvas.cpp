#include "canvas/PdfCanvas.h"

#include "canvas/PdfWriter.h"
#include "canvas/TrueTypeSubset.h"
#include "core/ProgramFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGlyphRun>
#include <QHash>
#include <QMutex>
#include <QRegularExpression>
#include <QTextLayout>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <numbers>

namespace {

constexpr int kPageWidth = 5100; // Letter, 8.5 by 11 inches
constexpr int kPageHeight = 6600;
// Whole pages are kept in memory and written when this much has gathered.
constexpr qsizetype kFlushBytes = 1 << 20;
// Other programs writing into the same folder can take the name meant for the next job;
// the folder is read again that many times before the job gives up.
constexpr int kOpenAttempts = 5;

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

} // namespace

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
    PdfWriter& job = page();
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

PdfWriter& PdfJobCanvas::page()
{
    if (job_)
        return *job_;
    if (!jobOpen_)
        throw PrintError(QStringLiteral("Drawing outside a print job."));
    auto job = std::make_unique<PdfWriter>();
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
    PdfWriter& job = page();
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
    PdfWriter& job = page();
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
