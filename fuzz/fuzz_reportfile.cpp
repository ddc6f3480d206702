// The report project file (Dovra3pro.rav): any file is read or refused with a reason, and
// every report it holds can be asked for its title and condition.
#include "fuzz/FuzzSupport.h"
#include "log/ReportProject.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString path = fuzz::inputFile(data, size, "Dovra3pro.rav");
    const ReportProject project = ReportProject::load(path);
    if (!project.error.isEmpty() && !project.reports.isEmpty())
        std::abort();
    QMap<QString, QDate> values;
    for (const ProjectReport& report : project.reports) {
        for (const auto& parameter : report.parameters)
            values[parameter.name] = QDate(2026, 12, 10);
        (void)report.conditionWith(values);
        (void)report.titleWith(values);
        if (project.find(report.runName()) == nullptr)
            std::abort();
    }
    return 0;
}
