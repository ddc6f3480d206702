// Text encodings of files and arguments from outside the program: UTF-8 and the Windows
// code page 1252 of earlier editions' files.
#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringView>

// How a text file's characters are stored. Files of earlier editions and of other office
// programs are in the Windows code page; spreadsheets and editors on Linux write UTF-8.
enum class TextEncoding { Windows1252, Utf8 };

// Whether the bytes are valid UTF-8 throughout (overlong forms, surrogates and code points
// past U+10FFFF are not). Fed in pieces, a character may span two pieces.
class Utf8Check {
public:
    void feed(const char* bytes, qsizetype size);
    bool valid() const { return valid_ && need_ == 0; }

private:
    bool valid_ = true;
    int need_ = 0; // continuation bytes still due
    unsigned char low_ = 0x80, high_ = 0xBF;
};
bool isValidUtf8(QByteArrayView bytes);

// Text from outside (a file, a command-line argument): valid UTF-8 is read as UTF-8, with or
// without its byte-order mark; anything else as Windows-1252 (after a byte-order mark, which
// is then no more than three misplaced bytes), so that no byte becomes a replacement
// character.
QString decodeText(QByteArrayView bytes);
QString fromWindows1252(QByteArrayView bytes);
// The Windows-1252 byte of a character; -1 when the code page has none.
int windows1252Byte(char16_t c);
// Whether Windows-1252 has every character of the text.
bool windows1252Carries(QStringView text);

inline constexpr char kByteOrderMark[] = "\xEF\xBB\xBF";
