// What the benchmarks share: the clock and the process's peak memory.
#pragma once

#include <QFile>
#include <QString>
#include <array>
#include <chrono>

using Clock = std::chrono::steady_clock;

inline double secondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Peak resident memory of this process in KiB.
inline long peakMemoryKiB()
{
    QFile status("/proc/self/status");
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    return -1;
}

// Recipients taken in turn by the print benchmarks: more of them than the print path keeps
// ready-made pieces of, so that no job finds the fonts and bar codes of the job before it
// ready made, as a run to one recipient would.
struct BenchRecipient {
    std::array<QString, 4> lines;
    QString city, state, zip;
};
inline const std::array<BenchRecipient, 9> kBenchRecipients{{
    {{"Jane Roe", "Roe & Sons", "4 Elm St", "Apt 2"}, "Dover", "DE", "19901"},
    {{"Quentin Vasquez", "Vasquez Holdings LLC", "1187 Harbor Blvd", "Suite 300"}, "Oxnard", "CA", "93035"},
    {{"Mary-Kate O'Brien", "", "77 Wexford Way", ""}, "Boston", "MA", "02116-4411"},
    {{"Dr. Paul Zhang", "Zhang Family Dental", "9 Juniper Court", "Bldg B"}, "Yakima", "WA", "98902"},
    {{"Hector Jimenez", "Jimenez Farms", "RR 2 Box 48", ""}, "Lubbock", "TX", "79401"},
    {{"Wilhelmina Fox", "Fox & Kettle Pub", "302 Queen St", "Rear"}, "Alexandria", "VA", "22314"},
    {{"Abdul Karim", "Karim Imports Inc", "45 Canal St", "Fl 3"}, "New York", "NY", "10013-2208"},
    {{"Yvonne Becker", "", "615 N Pearl Ave", "Unit 12"}, "Milwaukee", "WI", "53202"},
    {{"George Ulrich", "Ulrich Tool & Die", "2250 Industrial Pkwy", ""}, "Toledo", "OH", "43612"},
}};
