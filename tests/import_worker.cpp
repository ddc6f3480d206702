// An import of an earlier edition's dBASE log into the log of a program folder, for the
// tests that kill it part-way. Prints "read <n>" each time the import reports progress and
// "stored <count>" when it has ended.
//
//   import_worker <program folder> <report3.dbf>
#include "core/Settings.h"
#include "core/datamodule/TdmDovraPro.h"
#include "log/LogImport.h"

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: import_worker <program folder> <report3.dbf>\n");
        return 2;
    }
    TdmDovraPro dm;
    const Settings settings = Settings::defaults(QString::fromLocal8Bit(argv[1]));
    const auto source = OpenDbaseLog(QString::fromLocal8Bit(argv[2]));
    const int stored = ImportLogRows(*source, settings, [](int read, int) {
        std::printf("read %d\n", read);
        std::fflush(stdout);
    });
    std::printf("stored %d\n", stored);
    return 0;
}
