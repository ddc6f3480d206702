// The settings file reader: any dovra3.ini reads, and every key of the program reads as
// text, number or switch.
#include "core/IniFile.h"
#include "fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString path = fuzz::inputFile(data, size, "dovra3.ini");
    const IniFile ini(path);
    static const char* const keys[][2] = {
        {"Type", "Company"},
        {"YourAddress", "DB"},
        {"YourAddress", "ID"},
        {"Values", "Default"},
        {"Values", "Postage"},
        {"Print Align", "LeftRight"},
        {"Print Align", "TopBottom"},
        {"LabelPos", "Row"},
        {"LabelPos", "Col"},
        {"System Path", "LogDB"},
        {"Printer", "PTray"},
        {"Printer", "Printer"},
        {"", ""},
        {"[", "="},
    };
    for (const auto& [section, key] : keys) {
        (void)ini.readString(section, key, "default");
        (void)ini.readBool(section, key, true);
        (void)ini.readInteger(section, key, 7);
    }
    return 0;
}
