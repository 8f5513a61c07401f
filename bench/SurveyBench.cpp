// Pack survey benchmark: SurveyPack with the --list and --make-extlist texts
// against a bare loop that reads the same bytes (the directory, then 64 bytes
// at the start of each entry), alternating runs, page cache warm.
//
//   survey-bench [--dir DIR] [--runs N]
//
// Generates a sparse 512 MiB pack of 8192 entries of 64 KiB in DIR (default:
// a temporary folder) whose entries start with a mix of signatures, then
// prints the median and the spread (fastest to slowest) of each side, the
// median of the paired ratios, and whether the survey stays under 0.1 s.

#include "BenchSupport.h"
#include "PackSurvey.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

constexpr std::uint32_t kSectorsPerEntry = 32;
constexpr double kGoalSeconds = 0.1;

using eit::bench::Median;

[[noreturn]] void Die(const std::string& what)
{
    eit::bench::Die("survey-bench", what);
}

void WritePack(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
    if (fd < 0)
        Die(path);
    std::vector<unsigned char> directory(eit::kPackDirectorySize);
    for (std::uint32_t slot = 0; slot < eit::kPackSlots; ++slot) {
        const std::uint32_t start = slot * kSectorsPerEntry;
        std::memcpy(&directory[slot * 8], &start, 4);
        std::memcpy(&directory[slot * 8 + 4], &kSectorsPerEntry, 4);
    }
    const std::array<std::string, 4> heads{
        std::string("\x10\0\0\0\x08\0\0\0\x2C\0\0\0", 12),
        std::string("A line of text\r\nand another one\r\n"),
        std::string("\x89PNG\r\n\x1A\n", 8),
        std::string("\x01\x02\x03\x04", 4),
    };
    const off_t size = static_cast<off_t>(eit::kPackDirectorySize + std::uint64_t{eit::kPackSlots} *
                                                                        kSectorsPerEntry * eit::kPackSectorSize);
    bool ok = ::pwrite(fd, directory.data(), directory.size(), 0) == static_cast<ssize_t>(directory.size()) &&
              ::ftruncate(fd, size) == 0;
    for (std::uint32_t slot = 0; ok && slot < eit::kPackSlots; ++slot) {
        const std::string& head = heads[slot % heads.size()];
        const off_t offset = static_cast<off_t>(eit::kPackDirectorySize +
                                                std::uint64_t{slot} * kSectorsPerEntry * eit::kPackSectorSize);
        ok = ::pwrite(fd, head.data(), head.size(), offset) == static_cast<ssize_t>(head.size());
    }
    if (!ok || ::close(fd) != 0)
        Die(path);
}

// The floor: the same reads with nothing made of them.
std::size_t Baseline(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY);
    if (fd < 0)
        Die(path);
    std::vector<unsigned char> directory(eit::kPackDirectorySize);
    if (::pread(fd, directory.data(), directory.size(), 0) != static_cast<ssize_t>(directory.size()))
        Die(path);
    std::array<char, eit::kSignatureBytes> head;
    std::size_t sum = 0;
    for (std::size_t slot = 0; slot < eit::kPackSlots; ++slot) {
        std::uint32_t start, count;
        std::memcpy(&start, &directory[slot * 8], 4);
        std::memcpy(&count, &directory[slot * 8 + 4], 4);
        if (count == 0)
            continue;
        const off_t offset = static_cast<off_t>(eit::kPackDirectorySize + std::uint64_t{start} * eit::kPackSectorSize);
        if (::pread(fd, head.data(), head.size(), offset) != static_cast<ssize_t>(head.size()))
            Die(path);
        sum += static_cast<unsigned char>(head[0]);
    }
    ::close(fd);
    return sum;
}

std::size_t Survey(const std::string& path)
{
    const std::vector<eit::SurveyedEntry> entries = eit::SurveyPack(path);
    return eit::FormatPackList(entries).size() + eit::MakeExtensionList(entries).size();
}

template <typename F>
double Seconds(F&& work, std::size_t& sink)
{
    const auto start = std::chrono::steady_clock::now();
    sink += work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void Print(const char* label, const std::vector<double>& seconds)
{
    const auto [low, high] = std::minmax_element(seconds.begin(), seconds.end());
    std::printf("%-9s median %7.2f ms, spread %.2f .. %.2f ms\n", label, Median(seconds) * 1e3, *low * 1e3,
                *high * 1e3);
}

} // namespace

int main(int argc, char** argv)
{
    const eit::bench::Options options = eit::bench::ParseOptions(argc, argv, "survey-bench", 15);
    const int runs = options.Runs;
    const std::string pack = options.Dir + "/survey.bin";
    WritePack(pack);

    std::size_t sink = 0;
    std::vector<double> survey, baseline, ratios;
    try {
        // One untimed run of each side fills the page cache.
        sink += Survey(pack) + Baseline(pack);
        for (int run = 0; run < runs; ++run) {
            double s, b;
            if (run % 2 == 0) {
                s = Seconds([&] { return Survey(pack); }, sink);
                b = Seconds([&] { return Baseline(pack); }, sink);
            } else {
                b = Seconds([&] { return Baseline(pack); }, sink);
                s = Seconds([&] { return Survey(pack); }, sink);
            }
            survey.push_back(s);
            baseline.push_back(b);
            ratios.push_back(s / b);
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "survey-bench: %s\n", e.what());
        return 1;
    }
    if (options.OwnDir)
        fs::remove_all(options.Dir);
    else
        fs::remove(pack);

    std::printf("512 MiB pack, 8192 entries, %d warm runs each (checksum %zu)\n", runs, sink);
    Print("survey", survey);
    Print("baseline", baseline);
    std::printf("survey / baseline: median of paired ratios %.2f\n", Median(ratios));
    const double median = Median(survey);
    std::printf("goal: survey under %.0f ms: %s\n", kGoalSeconds * 1e3, median < kGoalSeconds ? "met" : "MISSED");
    return 0;
}
