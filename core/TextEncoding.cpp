#include "core/TextEncoding.h"

#include <QStringDecoder>

#include <algorithm>

namespace {

// Windows-1252 bytes 0x80-0x9F; the five bytes the code page leaves open stand for the
// control characters of the same number, as Windows reads them.
constexpr char16_t kWindows1252High[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                           0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                           0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                           0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

} // namespace

QString fromWindows1252(QByteArrayView bytes)
{
    QString text(bytes.size(), Qt::Uninitialized);
    char16_t* out = reinterpret_cast<char16_t*>(text.data());
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        *out++ = b >= 0x80 && b <= 0x9F ? kWindows1252High[b - 0x80] : char16_t(b);
    }
    return text;
}

int windows1252Byte(char16_t c)
{
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return c;
    for (int i = 0; i < 32; ++i)
        if (kWindows1252High[i] == c)
            return 0x80 + i;
    return -1;
}

void Utf8Check::feed(const char* bytes, qsizetype size)
{
    for (qsizetype i = 0; i < size && valid_; ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        if (need_ > 0) {
            if (b < low_ || b > high_)
                valid_ = false;
            --need_;
            low_ = 0x80;
            high_ = 0xBF;
        } else if (b < 0x80) {
            continue;
        } else if (b >= 0xC2 && b <= 0xDF) {
            need_ = 1;
        } else if (b >= 0xE0 && b <= 0xEF) {
            need_ = 2;
            if (b == 0xE0)
                low_ = 0xA0; // no overlong forms
            else if (b == 0xED)
                high_ = 0x9F; // no surrogates
        } else if (b >= 0xF0 && b <= 0xF4) {
            need_ = 3;
            if (b == 0xF0)
                low_ = 0x90;
            else if (b == 0xF4)
                high_ = 0x8F; // nothing past U+10FFFF
        } else {
            valid_ = false;
        }
    }
}

bool isValidUtf8(QByteArrayView bytes)
{
    Utf8Check check;
    check.feed(bytes.data(), bytes.size());
    return check.valid();
}

QString decodeText(QByteArrayView bytes)
{
    const QByteArrayView body = bytes.startsWith(kByteOrderMark) ? bytes.sliced(3) : bytes;
    if (isValidUtf8(body)) {
        // One mark only: a second is a character of the text, as the line reader keeps it.
        QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::ConvertInitialBom);
        return utf8.decode(body);
    }
    return fromWindows1252(body);
}

bool windows1252Carries(QStringView text)
{
    return std::all_of(text.begin(), text.end(), [](QChar c) { return windows1252Byte(c.unicode()) >= 0; });
}
