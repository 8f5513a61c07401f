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

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include <unistd.h>

namespace {

constexpr int kSmall = 10'000;
constexpr int kLarge = 100'000;
constexpr int kRuns = 9;
constexpr double kGrowthLimit = 12.0;      // 10x the blocks, at most 12x the time
constexpr double kReadToLoadLimit = 3.0;   // reading everything vs one load

double BestSeconds(const std::function<void()>& prepare, const std::function<void()>& measured)
{
    double best = 1e30;
    for (int run = 0; run < kRuns; ++run) {
        prepare();
        const auto start = std::chrono::steady_clock::now();
        measured();
        const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
        best = std::min(best, elapsed.count());
    }
    return best;
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

struct IniFigures {
    double load = 0;
    double read = 0;
};

IniFigures MeasureIni(const std::string& path, int blocks)
{
    TTextObject text;
    text.TextStyle = TTextObject::IniStyle;
    text.LinuxFormat = true;
    text.FileName = path;
    IniFigures figures;
    figures.load = BestSeconds([] {}, [&] { text.New(TTextObject::omRead); });
    int read = 0;
    figures.read = BestSeconds([&] { text.New(TTextObject::omRead); read = 0; }, [&] {
        while (text.Read() != eit::kOutOfText)
            ++read;
    });
    if (read != blocks || text.Status() != 0) {
        std::fprintf(stderr, "read %d of %d blocks (status %d)\n", read, blocks, text.Status());
        std::exit(2);
    }
    return figures;
}

double MeasureBlanshWrites(int records)
{
    TTextObject text;
    return BestSeconds([&] { text.New(TTextObject::omRead); }, [&] {
        for (int i = 0; i < records; ++i)
            text.Write("Text number " + std::to_string(i));
    });
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
    const IniFigures small = MeasureIni(WriteIniFile(dir, kSmall), kSmall);
    const IniFigures large = MeasureIni(WriteIniFile(dir, kLarge), kLarge);
    std::filesystem::remove_all(dir);
    const double writeSmall = MeasureBlanshWrites(kSmall);
    const double writeLarge = MeasureBlanshWrites(kLarge);

    std::printf("TTextObject, best of %d runs\n", kRuns);
    std::printf("  IniStyle New (load + index), %7d blocks: %9.3f ms\n", kSmall, small.load * 1e3);
    std::printf("  IniStyle New (load + index), %7d blocks: %9.3f ms\n", kLarge, large.load * 1e3);
    std::printf("  IniStyle read every block,   %7d blocks: %9.3f ms\n", kSmall, small.read * 1e3);
    std::printf("  IniStyle read every block,   %7d blocks: %9.3f ms\n", kLarge, large.read * 1e3);
    std::printf("  BlanshStyle write records,   %7d records: %8.3f ms\n", kSmall, writeSmall * 1e3);
    std::printf("  BlanshStyle write records,   %7d records: %8.3f ms\n", kLarge, writeLarge * 1e3);
    bool ok = Check("IniStyle read, 100,000 vs 10,000 blocks", large.read / small.read, kGrowthLimit);
    ok = Check("IniStyle read vs New, 100,000 blocks", large.read / large.load, kReadToLoadLimit) && ok;
    ok = Check("BlanshStyle write, 100,000 vs 10,000 records", writeLarge / writeSmall, kGrowthLimit) && ok;
    return ok ? 0 : 1;
}
