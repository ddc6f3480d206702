// The address text file reader: the preview's line index, every line's fields, and the
// whole-file reading must agree and must not fail on any bytes.
#include "addressbook/TextFiles.h"
#include "fuzz/FuzzSupport.h"

#include <stdexcept>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString path = fuzz::inputFile(data, size, "import.csv");
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QString text = decodeTextFile(bytes);
    const bool hasUtf8Mark = bytes.startsWith("\xEF\xBB\xBF");
    if (text.contains(QChar::ReplacementCharacter) && !isValidUtf8(hasUtf8Mark ? bytes.mid(3) : bytes))
        std::abort(); // a byte of a Windows-1252 file turned into a replacement character
    const QStringList lines = textFileLines(text);
    try {
        const AddressFileIndex index(path);
        if (bytes.contains('\0'))
            std::abort(); // binary data must be refused
        if (index.lineCount() != lines.size())
            std::abort();
        for (qsizetype i = 0; i < index.lineCount(); ++i) {
            const TAddressLines address = index.address(i);
            // A byte-order mark that opens a line of a UTF-8 file is dropped.
            QString line = lines[i];
            if (index.encoding() == TextEncoding::Utf8 && line.startsWith(QChar(0xFEFF)))
                line.remove(0, 1);
            if (!(address == readAddressLine(line)))
                std::abort();
            // The written form reads back as the same fields where the format allows it.
            (void)addressTextLine(address);
        }
    } catch (const std::runtime_error&) {
        if (!bytes.contains('\0'))
            std::abort(); // only binary data is refused at these sizes
    }
    return 0;
}
