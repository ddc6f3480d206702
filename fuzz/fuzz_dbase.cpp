// The dBASE III reader: any file is either refused with its error, or every field of every
// record reads.
#include "fuzz/FuzzSupport.h"
#include "log/TzDbfReport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString path = fuzz::inputFile(data, size, "report3.dbf");
    try {
        TzDbfReport dbf(path);
        const char* const names[] = {"sentname0", "city", "state", "zip", "rdate", "mailernum", "total", "re", "x"};
        int fields[std::size(names)];
        for (size_t i = 0; i < std::size(names); ++i)
            fields[i] = dbf.fieldIndex(QString::fromLatin1(names[i]));
        const int records = std::min(dbf.recordCount(), 1000);
        for (int r = 0; r < records; ++r) {
            (void)dbf.deleted(r);
            for (const int field : fields)
                if (field >= 0)
                    (void)dbf.text(r, field);
        }
    } catch (const DbfError&) {
    }
    return 0;
}
