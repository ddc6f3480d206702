#include "printing/TBarcodeBmp.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

namespace {

// Bar and space widths of the Code 128 symbol characters 0..105 and the stop character
// (106), starting with a bar (ISO/IEC 15417, table 1).
constexpr std::array<const char*, 107> Code128Widths = {
    "212222", "222122", "222221", "121223", "121322", "131222", "122213", "122312", "132212", "221213", "221312",
    "231212", "112232", "122132", "122231", "113222", "123122", "123221", "223211", "221132", "221231", "213212",
    "223112", "312131", "311222", "321122", "321221", "312212", "322112", "322211", "212123", "212321", "232121",
    "111323", "131123", "131321", "112313", "132113", "132311", "211313", "231113", "231311", "112133", "112331",
    "132131", "113123", "113321", "133121", "313121", "211331", "231131", "213113", "213311", "213131", "311123",
    "311321", "331121", "312113", "312311", "332111", "314111", "221411", "431111", "111224", "111422", "121124",
    "121421", "141122", "141221", "112214", "112412", "122114", "122411", "142112", "142211", "241211", "221114",
    "413111", "241112", "134111", "111242", "121142", "121241", "114212", "124112", "124211", "411212", "421112",
    "421211", "212141", "214121", "412121", "111143", "111341", "131141", "114113", "114311", "411113", "411311",
    "113141", "114131", "311141", "411131", "211412", "211214", "211232", "2331112"};

enum Code128Set { SetA, SetB, SetC };
constexpr int StartA = 103, StartB = 104, StartC = 105, Stop = 106;
constexpr int CodeB = 100, CodeA = 101, CodeC = 99, Fnc4InSetA = 101;

bool isDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

int digitRunLength(const QString& text, qsizetype from)
{
    qsizetype end = from;
    while (end < text.size() && isDigit(text[end]))
        ++end;
    return int(end - from);
}

// Control characters live only in code set A; code 128 is FNC4 followed by NUL there.
bool needsSetA(QChar c)
{
    return c.unicode() < 32 || c.unicode() == 128;
}

// Appends the values of one character in the current code set, A or B, which the caller
// has chosen to hold it.
void appendCharacter(std::vector<int>& values, QChar c)
{
    const int code = c.unicode();
    if (code == 128) {
        values.push_back(Fnc4InSetA);
        values.push_back(64);
    } else if (code < 32) {
        values.push_back(code + 64);
    } else {
        values.push_back(code - 32);
    }
}

// POSTNET digit patterns, 1 = full bar (USPS Publication 25).
constexpr std::array<const char*, 10> PostnetDigits = {"11000", "00011", "00101", "00110", "01001",
                                                       "01010", "01100", "10001", "10010", "10100"};

// A symbol laid out in modules, quiet zones excluded: the dark bars from left to right.
struct Bar {
    int module;
    int modules;
    bool half;
};
struct Symbol {
    int modules = 0;
    std::vector<Bar> bars;
};

Symbol code128Symbol(const QString& text)
{
    Symbol symbol;
    const QString modules = TBarcodeBmp::code128Modules(text);
    symbol.modules = int(modules.size());
    for (qsizetype i = 0; i < modules.size();) {
        if (modules[i] == u'0') {
            ++i;
            continue;
        }
        qsizetype end = i;
        while (end < modules.size() && modules[end] == u'1')
            ++end;
        symbol.bars.push_back({int(i), int(end - i), false});
        i = end;
    }
    return symbol;
}

// Every bar one module wide with a one-module space before all but the first.
Symbol postnetSymbol(const QString& digits)
{
    Symbol symbol;
    const QString bars = TBarcodeBmp::postnetBars(digits);
    for (qsizetype i = 0; i < bars.size(); ++i)
        symbol.bars.push_back({int(2 * i), 1, bars[i] == u'H'});
    symbol.modules = bars.isEmpty() ? 0 : int(2 * bars.size() - 1);
    return symbol;
}

// Sets to black the pixels of a rectangle given in the coordinates of the unturned
// w x h image, at its place in the turned image.
void fillTurned(QImage& image, int w, int h, QRect r, TBarcodeBmp::TbcRotate rotate)
{
    QRect turned;
    switch (rotate) {
    case TBarcodeBmp::bcNoRotate:
        turned = r;
        break;
    case TBarcodeBmp::bcRotate90: // (x, y) -> (h - 1 - y, x)
        turned = QRect(h - 1 - r.bottom(), r.left(), r.height(), r.width());
        break;
    case TBarcodeBmp::bcRotate180: // (x, y) -> (w - 1 - x, h - 1 - y)
        turned = QRect(w - 1 - r.right(), h - 1 - r.bottom(), r.width(), r.height());
        break;
    case TBarcodeBmp::bcRotate270: // (x, y) -> (y, w - 1 - x)
        turned = QRect(r.top(), w - 1 - r.right(), r.height(), r.width());
        break;
    }
    turned &= image.rect();
    if (turned.isEmpty())
        return;
    // The bits of one row of the rectangle, set a byte at a time, then or-ed into every row.
    const int first = turned.left() >> 3, last = turned.right() >> 3;
    const uchar head = uchar(0xFF >> (turned.left() & 7));
    const uchar tail = uchar(0xFF << (7 - (turned.right() & 7)));
    for (int y = turned.top(); y <= turned.bottom(); ++y) {
        uchar* line = image.scanLine(y);
        if (first == last) {
            line[first] |= head & tail;
            continue;
        }
        line[first] |= head;
        std::fill(line + first + 1, line + last, uchar(0xFF));
        line[last] |= tail;
    }
}

} // namespace

TBarcodeBmp::TBarcodeBmp(QObject* parent) : QObject(parent) {}

const QImage& TBarcodeBmp::bitmap() const
{
    if (stale_)
        render();
    return bitmap_;
}

void TBarcodeBmp::setHeight(int pixels)
{
    height_ = std::max(1, pixels);
    changed();
}

void TBarcodeBmp::setBarcodeText(const QString& text)
{
    text_ = filterText(type_, text);
    changed();
}

void TBarcodeBmp::setBarcodeType(TBarCodeType type)
{
    type_ = type;
    text_ = filterText(type_, text_);
    changed();
}

void TBarcodeBmp::setFont(const QFont& font)
{
    font_ = font;
    changed();
}

void TBarcodeBmp::setScale(int pixelsPerModule)
{
    scale_ = std::max(1, pixelsPerModule);
    changed();
}

void TBarcodeBmp::setInterpret(bool leaveRoomForText)
{
    interpret_ = leaveRoomForText;
    changed();
}

void TBarcodeBmp::setRotate(TbcRotate rotation)
{
    rotate_ = rotation;
    changed();
}

QString TBarcodeBmp::filterText(TBarCodeType type, const QString& text)
{
    QString kept;
    switch (type) {
    case bcCode128:
        for (QChar c : text)
            if (c.unicode() <= 128)
                kept += c;
        return kept;
    case bcPOSTNET:
        for (QChar c : text)
            if (isDigit(c) && kept.size() < 11)
                kept += c;
        return kept;
    default:
        return text;
    }
}

std::vector<int> TBarcodeBmp::code128Values(const QString& data)
{
    const QString text = filterText(bcCode128, data);
    std::vector<int> values;
    if (text.isEmpty())
        return values;

    const int leadingDigits = digitRunLength(text, 0);
    Code128Set set;
    if ((leadingDigits == text.size() && leadingDigits % 2 == 0) || leadingDigits >= 4) {
        set = SetC;
        values.push_back(StartC);
    } else {
        set = needsSetA(text[0]) ? SetA : SetB;
        values.push_back(set == SetA ? StartA : StartB);
    }

    for (qsizetype i = 0; i < text.size();) {
        const int digits = digitRunLength(text, i);
        if (set == SetC) {
            if (digits >= 2) {
                values.push_back(text.mid(i, 2).toInt());
                i += 2;
                continue;
            }
            set = needsSetA(text[i]) ? SetA : SetB;
            values.push_back(set == SetA ? CodeA : CodeB);
        }
        // A run of four or more digits is shorter in pairs; an odd run keeps its first digit
        // in the current set so that the pairs end with the run.
        if (digits >= 4 && digits % 2 == 0) {
            values.push_back(CodeC);
            set = SetC;
            continue;
        }
        const QChar c = text[i];
        if (set == SetB && needsSetA(c)) {
            values.push_back(CodeA);
            set = SetA;
        } else if (set == SetA && c.unicode() >= 96 && c.unicode() < 128) {
            values.push_back(CodeB);
            set = SetB;
        }
        appendCharacter(values, c);
        ++i;
    }

    int check = values[0];
    for (size_t position = 1; position < values.size(); ++position)
        check += int(position) * values[position];
    values.push_back(check % 103);
    values.push_back(Stop);
    return values;
}

QString TBarcodeBmp::code128Modules(const QString& text)
{
    QString modules;
    for (int value : code128Values(text)) {
        bool dark = true;
        for (const char* width = Code128Widths[size_t(value)]; *width; ++width) {
            modules += QString(*width - '0', dark ? u'1' : u'0');
            dark = !dark;
        }
    }
    return modules;
}

int TBarcodeBmp::postnetCorrectionDigit(const QString& zip)
{
    int sum = 0;
    for (QChar c : filterText(bcPOSTNET, zip))
        sum += c.digitValue();
    return (10 - sum % 10) % 10;
}

QString TBarcodeBmp::postnetBars(const QString& zip)
{
    const QString digits = filterText(bcPOSTNET, zip);
    if (digits.isEmpty())
        return {};
    QString bars = QStringLiteral("F");
    const QString withCorrection = digits + QString::number(postnetCorrectionDigit(digits));
    for (QChar c : withCorrection)
        for (const char* bar = PostnetDigits[size_t(c.digitValue())]; *bar; ++bar)
            bars += *bar == '1' ? u'F' : u'H';
    bars += u'F';
    return bars;
}

void TBarcodeBmp::render() const
{
    Symbol symbol;
    int barHeight = height_;
    if (type_ == bcCode128) {
        symbol = code128Symbol(text_);
        if (interpret_)
            barHeight = std::max(0, height_ - 5 * scale_);
    } else if (type_ == bcPOSTNET) {
        symbol = postnetSymbol(text_);
    }

    const int w = (2 * QuietZoneModules + symbol.modules) * scale_;
    const int h = height_;
    const bool quarterTurn = rotate_ == bcRotate90 || rotate_ == bcRotate270;
    QImage image(quarterTurn ? h : w, quarterTurn ? w : h, QImage::Format_Mono);
    image.setColorTable({qRgb(255, 255, 255), qRgb(0, 0, 0)});
    const auto barRect = [&](const Bar& bar) {
        const int top = bar.half ? h / 2 : 0;
        const int bottom = bar.half ? h : barHeight;
        return QRect((QuietZoneModules + bar.module) * scale_, top, bar.modules * scale_, bottom - top);
    };
    if (quarterTurn) {
        image.fill(0);
        for (const Bar& bar : symbol.bars)
            fillTurned(image, w, h, barRect(bar), rotate_);
    } else {
        // The bars run from top to bottom, so between two bar ends every row is alike: the
        // first row of each such band is drawn and copied down the band. The bands cover
        // every row, so the image needs no clearing beforehand.
        std::vector<int> ends{0, h};
        for (const Bar& bar : symbol.bars) {
            const QRect r = barRect(bar);
            ends.push_back(std::clamp(r.top(), 0, h));
            ends.push_back(std::clamp(r.top() + r.height(), 0, h));
        }
        std::sort(ends.begin(), ends.end());
        ends.erase(std::unique(ends.begin(), ends.end()), ends.end());
        for (std::size_t band = 0; band + 1 < ends.size(); ++band) {
            const int top = ends[band], bottom = ends[band + 1];
            // Rows top..bottom-1 of the unturned image; turned half round they run upward.
            const int drawn = rotate_ == bcRotate180 ? h - 1 - top : top;
            const int first = rotate_ == bcRotate180 ? h - bottom : top;
            std::memset(image.scanLine(drawn), 0, size_t(image.bytesPerLine()));
            for (const Bar& bar : symbol.bars) {
                const QRect r = barRect(bar);
                if (r.top() <= top && r.top() + r.height() >= bottom)
                    fillTurned(image, w, h, QRect(r.left(), top, r.width(), 1), rotate_);
            }
            for (int y = first; y < first + (bottom - top); ++y)
                if (y != drawn)
                    std::memcpy(image.scanLine(y), image.constScanLine(drawn), size_t(image.bytesPerLine()));
        }
    }
    bitmap_ = image;
    stale_ = false;
}
