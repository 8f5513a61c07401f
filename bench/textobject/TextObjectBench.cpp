// Timings of TTextObject on large files: reading every IniStyle block must
// grow linearly with the file and cost no more than a few loads of it, and
// BlanshStyle writes must grow linearly with the number of records.
//
// Prints its figures and exits with 1 when a limit is exceeded. Every figure
// is the best of several runs, measured in this run, so the limits compare
// like with like on whatever machine runs it.

#include "IniBlockIndex.h"
#include "TextMarkers.h"
#include "TextObject.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include <time.h>
#include <unistd.h>

namespace {

constexpr int kSmall = 10'000;
constexpr int kLarge = 100'000;
constexpr int kRuns = 7;
constexpr double kGrowthLimit = 12.0;      // 10x the blocks, at most 12x the time
constexpr double kReadToLoadLimit = 3.0;   // reading everything vs one load
// Writes only have to stay linear. Ten times the records hold ten times the
// memory, which costs some cache on a busy machine; a write that shifted or
// searched the list would come near 100x.
constexpr double kWriteGrowthLimit = 15.0;

double ThreadSeconds()
{
    timespec now{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// Processor time of this thread, so that time slices lost to other programs
// on a shared machine do not count: the longer runs would lose more of them.
double Seconds(const std::function<void()>& measured)
{
    const double start = ThreadSeconds();
    measured();
    return ThreadSeconds() - start;
}

std::string WriteIniFile(const std::filesystem::path& dir, int blocks)
{
    const std::string path = (dir / ("blocks" + std::to_string(blocks) + ".txt")).string();
    std::string contents;
    for (int i = 0; i < blocks; ++i)
        contents += "[" + eit::IniBlockName(static_cast<std::uint32_t>(i)) + "]\r\nText number "
            + std::to_string(i) + "\r\nwith a second line\r\n";
    std::ofstream(path, std::ios::binary) << contents;
    return path;
}

// One workload at the small and the large size. The two are timed in turn,
// run after run, so that a busy machine slows both alike; the best run of
// each counts.
struct Figures {
    double small = 1e30;
    double large = 1e30;
};

class IniReader {
public:
    IniReader(const std::string& path, int blocks) : FBlocks(blocks)
    {
        FText.TextStyle = TTextObject::IniStyle;
        FText.LinuxFormat = true;
        FText.FileName = path;
    }

    double Load() { return Seconds([&] { FText.New(TTextObject::omRead); }); }

    double ReadAll()
    {
        FText.New(TTextObject::omRead);
        int read = 0;
        const double seconds = Seconds([&] {
            while (FText.Read() != eit::kOutOfText)
                ++read;
        });
        if (read != FBlocks || FText.Status() != 0) {
            std::fprintf(stderr, "read %d of %d blocks (status %d)\n", read, FBlocks, FText.Status());
            std::exit(2);
        }
        return seconds;
    }

private:
    TTextObject FText;
    int FBlocks;
};

double WriteBlanshRecords(TTextObject& text, int records)
{
    text.New(TTextObject::omRead);
    return Seconds([&] {
        for (int i = 0; i < records; ++i)
            text.Write("Text number " + std::to_string(i));
    });
}

void Keep(double& best, double seconds)
{
    best = std::min(best, seconds);
}

bool Check(const char* what, double ratio, double limit)
{
    const bool ok = ratio <= limit;
    std::printf("  %-44s %6.2fx (limit %.0fx) %s\n", what, ratio, limit, ok ? "ok" : "TOO SLOW");
    return ok;
}

} // namespace

int main()
{
    const auto dir = std::filesystem::temp_directory_path() / ("textobject-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    IniReader small(WriteIniFile(dir, kSmall), kSmall);
    IniReader large(WriteIniFile(dir, kLarge), kLarge);
    TTextObject blansh;
    Figures load, read, write;
    // The small workload runs kLarge / kSmall times per measurement, so both
    // sizes take about as long and share whatever else the machine is doing.
    constexpr int kRepeat = kLarge / kSmall;
    for (int run = 0; run < kRuns; ++run) {
        Figures once;
        once.small = 0;
        for (int i = 0; i < kRepeat; ++i)
            once.small += small.Load() / kRepeat;
        Keep(load.small, once.small);
        Keep(load.large, large.Load());
        once.small = 0;
        for (int i = 0; i < kRepeat; ++i)
            once.small += small.ReadAll() / kRepeat;
        Keep(read.small, once.small);
        Keep(read.large, large.ReadAll());
        once.small = 0;
        for (int i = 0; i < kRepeat; ++i)
            once.small += WriteBlanshRecords(blansh, kSmall) / kRepeat;
        Keep(write.small, once.small);
        Keep(write.large, WriteBlanshRecords(blansh, kLarge));
    }
    std::filesystem::remove_all(dir);

    std::printf("TTextObject, processor time, best of %d runs\n", kRuns);
    std::printf("  IniStyle New (load + index), %7d blocks: %9.3f ms\n", kSmall, load.small * 1e3);
    std::printf("  IniStyle New (load + index), %7d blocks: %9.3f ms\n", kLarge, load.large * 1e3);
    std::printf("  IniStyle read every block,   %7d blocks: %9.3f ms\n", kSmall, read.small * 1e3);
    std::printf("  IniStyle read every block,   %7d blocks: %9.3f ms\n", kLarge, read.large * 1e3);
    std::printf("  BlanshStyle write records,   %7d records: %8.3f ms\n", kSmall, write.small * 1e3);
    std::printf("  BlanshStyle write records,   %7d records: %8.3f ms\n", kLarge, write.large * 1e3);
    bool ok = Check("IniStyle read, 100,000 vs 10,000 blocks", read.large / read.small, kGrowthLimit);
    ok = Check("IniStyle read vs New, 100,000 blocks", read.large / load.large, kReadToLoadLimit) && ok;
    ok = Check("BlanshStyle write, 100,000 vs 10,000 records", write.large / write.small, kWriteGrowthLimit) && ok;
    return ok ? 0 : 1;
}
