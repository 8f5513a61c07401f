// Extraction benchmark: the batch driver against a minimal copy loop that
// writes the same bytes into the same number of files, alternating runs.
//
//   pack-bench [--dir DIR] [--runs N]
//
// Generates a 512 MiB pack of 8192 entries of 64 KiB and a 16 MiB pack of
// 8192 entries of 2 KiB in DIR (default: a temporary folder), then prints the
// median wall time of each side, their ratio and the driver's peak memory.

#include "BenchSupport.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

constexpr int kSlots = 8192;

void Die(const std::string& what)
{
    std::fprintf(stderr, "pack-bench: %s: %s\n", what.c_str(), std::strerror(errno));
    std::exit(1);
}

void WritePack(const std::string& path, std::uint32_t sectorsPerEntry)
{
    std::vector<unsigned char> directory(65536);
    for (std::uint32_t slot = 0; slot < kSlots; ++slot) {
        const std::uint32_t start = slot * sectorsPerEntry;
        std::memcpy(&directory[slot * 8], &start, 4);
        std::memcpy(&directory[slot * 8 + 4], &sectorsPerEntry, 4);
    }
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        Die(path);
    std::fwrite(directory.data(), 1, directory.size(), f);
    std::vector<char> entry(std::size_t{sectorsPerEntry} * 2048);
    for (int slot = 0; slot < kSlots; ++slot) {
        std::memset(entry.data(), slot & 0xff, entry.size());
        std::fwrite(entry.data(), 1, entry.size(), f);
    }
    if (std::fclose(f) != 0)
        Die(path);
}

// The baseline: read the directory, then copy each entry into a file of its
// own with plain read/write through one buffer.
int Baseline(const std::string& pack, const std::string& outDir)
{
    const int in = ::open(pack.c_str(), O_RDONLY);
    if (in < 0)
        Die(pack);
    std::vector<unsigned char> directory(65536);
    if (::pread(in, directory.data(), directory.size(), 0) != 65536)
        Die(pack);
    std::vector<char> buffer(1 << 18);
    for (int slot = 0; slot < kSlots; ++slot) {
        std::uint32_t start, count;
        std::memcpy(&start, &directory[slot * 8], 4);
        std::memcpy(&count, &directory[slot * 8 + 4], 4);
        off_t offset = 65536 + off_t{start} * 2048;
        std::uint64_t left = std::uint64_t{count} * 2048;
        const std::string name = outDir + "/" + std::to_string(slot);
        const int out = ::open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
        if (out < 0)
            Die(name);
        while (left > 0) {
            const ssize_t n = ::pread(in, buffer.data(), std::min<std::uint64_t>(left, buffer.size()), offset);
            if (n <= 0 || ::write(out, buffer.data(), static_cast<std::size_t>(n)) != n)
                Die(name);
            offset += n;
            left -= static_cast<std::uint64_t>(n);
        }
        ::close(out);
    }
    ::close(in);
    return 0;
}

using Sample = eit::bench::ChildRun;

Sample RunProcess(const std::vector<std::string>& args)
{
    return eit::bench::RunChild("pack-bench", args);
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

void Measure(const std::string& self, const std::string& dir, const std::string& label, std::uint32_t sectors, int runs)
{
    const std::string pack = dir + "/" + label + ".bin";
    const std::string extlist = dir + "/extlist.txt";
    WritePack(pack, sectors);
    const std::string out = dir + "/out";
    std::vector<double> driverTimes, baselineTimes, ratios;
    long peak = 0;
    const std::vector<std::string> driverArgs{EIT_BATCH_DRIVER, "--extlist", extlist, "--output", out, pack};
    const std::vector<std::string> baselineArgs{self, "--baseline", pack, out};
    auto fresh = [&] {
        fs::remove_all(out);
        fs::create_directories(out);
        ::sync();
    };
    for (int run = 0; run < runs; ++run) {
        // The file system is slower right after a large delete; take turns
        // at being the one that runs first.
        Sample driver{}, baseline{};
        if (run % 2 == 0) {
            fresh();
            driver = RunProcess(driverArgs);
            fresh();
            baseline = RunProcess(baselineArgs);
        } else {
            fresh();
            baseline = RunProcess(baselineArgs);
            fresh();
            driver = RunProcess(driverArgs);
        }
        driverTimes.push_back(driver.Seconds);
        baselineTimes.push_back(baseline.Seconds);
        ratios.push_back(driver.Seconds / baseline.Seconds);
        peak = std::max(peak, driver.PeakKiB);
    }
    fs::remove_all(out);
    fs::remove(pack);
    // Writeback of earlier runs lands on whichever side runs next, so the
    // best times are printed beside the median of the paired ratios.
    const double bestDriver = *std::min_element(driverTimes.begin(), driverTimes.end());
    const double bestBaseline = *std::min_element(baselineTimes.begin(), baselineTimes.end());
    std::printf("%-14s median: driver %.3f s, baseline %.3f s, ratio %.3f | best: driver %.3f s, baseline %.3f s, "
                "ratio %.3f | driver peak memory %.1f MiB\n",
                label.c_str(), Median(driverTimes), Median(baselineTimes), Median(ratios), bestDriver, bestBaseline,
                bestDriver / bestBaseline, peak / 1024.0);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 4 && std::strcmp(argv[1], "--baseline") == 0)
        return Baseline(argv[2], argv[3]);
    std::string dir;
    int runs = 5;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--dir") == 0)
            dir = argv[i + 1];
        else if (std::strcmp(argv[i], "--runs") == 0)
            runs = std::max(1, std::atoi(argv[i + 1]));
    }
    const bool ownDir = dir.empty();
    if (ownDir) {
        std::string pattern = (fs::temp_directory_path() / "pack-bench-XXXXXX").string();
        if (!::mkdtemp(pattern.data()))
            Die("mkdtemp");
        dir = pattern;
    }
    fs::create_directories(dir);
    {
        // One extension line per entry: every file lands in the same folder.
        FILE* f = std::fopen((dir + "/extlist.txt").c_str(), "wb");
        for (int i = 0; i < kSlots; ++i)
            std::fputs("dat\r\n", f);
        std::fclose(f);
    }
    const std::string self = fs::canonical("/proc/self/exe").string();
    std::printf("%d alternating runs each\n", runs);
    Measure(self, dir, "64KiB-entries", 32, runs);
    Measure(self, dir, "2KiB-entries", 1, runs);
    if (ownDir)
        fs::remove_all(dir);
    return 0;
}
