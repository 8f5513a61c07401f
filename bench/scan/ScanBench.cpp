// Directory scan benchmark: CollectFiles against find(1) on the same tree,
// alternating runs, and filling a list box with the scan's result.
//
//   scan-bench [--dir DIR] [--runs N]
//
// Generates 100,000 files in 1,000 folders (10 x 10 x 10, 100 files each,
// named *.bin or *.BIN) in DIR (default: a temporary folder), then prints the
// median wall time of CollectFiles "*.bin" and of `find DIR -iname '*.bin'`,
// their ratio, and the time a QListWidget takes to take and show the
// collected paths in one addItems, with and without uniform item sizes.

#include "CollectFiles.h"

#include <QApplication>
#include <QFile>
#include <QListWidget>
#include <QStringList>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

void Die(const std::string& what)
{
    std::fprintf(stderr, "scan-bench: %s: %s\n", what.c_str(), std::strerror(errno));
    std::exit(1);
}

void MakeTree(const std::string& root)
{
    for (int a = 0; a < 10; ++a)
        for (int b = 0; b < 10; ++b)
            for (int c = 0; c < 10; ++c) {
                const std::string dir = root + "/t" + std::to_string(a) + "/m" + std::to_string(b) + "/leaf" + std::to_string(c);
                fs::create_directories(dir);
                for (int f = 0; f < 100; ++f) {
                    const char* ext = f % 3 == 0 ? ".BIN" : ".bin";
                    const std::string name = dir + "/file" + std::to_string(f) + ext;
                    const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
                    if (fd < 0)
                        Die(name);
                    ::close(fd);
                }
            }
}

double Seconds(Clock::duration d)
{
    return std::chrono::duration<double>(d).count();
}

double TimeCollect(const std::string& root, std::size_t& found)
{
    std::vector<std::string> files;
    const auto start = Clock::now();
    eit::CollectFiles(root, "*.bin", files);
    const auto took = Clock::now() - start;
    found = files.size();
    return Seconds(took);
}

// find with its output going to /dev/null, started without a shell.
double TimeFind(const std::string& root)
{
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    const char* argv[] = {"find", root.c_str(), "-iname", "*.bin", nullptr};
    pid_t pid;
    const auto start = Clock::now();
    if (posix_spawnp(&pid, "find", &actions, nullptr, const_cast<char**>(argv), environ) != 0)
        Die("find");
    int status = 0;
    ::waitpid(pid, &status, 0);
    const auto took = Clock::now() - start;
    posix_spawn_file_actions_destroy(&actions);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        Die("find failed");
    return Seconds(took);
}

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Median time from the scan's result to a list box that shows it: convert
// the paths, add them in one go, and let the view lay out and paint once.
double TimeFill(const std::vector<std::string>& files, bool uniformSizes, int runs)
{
    std::vector<double> times;
    for (int run = 0; run < runs; ++run) {
        QListWidget list;
        list.setSelectionMode(QAbstractItemView::ExtendedSelection);
        list.setUniformItemSizes(uniformSizes);
        list.resize(400, 300);
        list.show();
        QCoreApplication::processEvents();
        const auto start = Clock::now();
        QStringList items;
        items.reserve(static_cast<qsizetype>(files.size()));
        for (const std::string& file : files)
            items.append(QFile::decodeName(QByteArray::fromStdString(file)));
        list.addItems(items);
        QCoreApplication::processEvents();
        times.push_back(Seconds(Clock::now() - start));
    }
    return Median(times);
}

} // namespace

int main(int argc, char** argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    std::string dir;
    int runs = 7;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--dir") == 0)
            dir = argv[i + 1];
        else if (std::strcmp(argv[i], "--runs") == 0)
            runs = std::max(1, std::atoi(argv[i + 1]));
    }
    const bool temporary = dir.empty();
    if (temporary) {
        std::string pattern = (fs::temp_directory_path() / "scan-bench-XXXXXX").string();
        if (!::mkdtemp(pattern.data()))
            Die("mkdtemp");
        dir = pattern;
    }
    const std::string root = dir + "/tree";
    if (!fs::exists(root)) {
        std::printf("generating 100,000 files in 1,000 folders below %s\n", root.c_str());
        MakeTree(root);
    }

    std::size_t found = 0;
    TimeCollect(root, found); // warm the directory cache for both sides
    TimeFind(root);
    std::vector<double> collect, find;
    for (int run = 0; run < runs; ++run) {
        collect.push_back(TimeCollect(root, found));
        find.push_back(TimeFind(root));
    }
    const double scan = Median(collect);
    const double baseline = Median(find);
    std::printf("CollectFiles *.bin     %8.1f ms  (%zu files)\n", scan * 1e3, found);
    std::printf("find -iname '*.bin'    %8.1f ms\n", baseline * 1e3);
    std::printf("ratio                  %8.2f  (goal <= 1.50)\n", scan / baseline);

    std::vector<std::string> files;
    eit::CollectFiles(root, "*.bin", files);
    const double uniform = TimeFill(files, true, runs);
    const double measured = TimeFill(files, false, std::min(runs, 3));
    std::printf("list fill, uniform     %8.1f ms  (%zu entries, shown; %.2f of the scan, goal <= 1.00)\n",
                uniform * 1e3, files.size(), uniform / scan);
    std::printf("list fill, per item    %8.1f ms  (every item's size measured; %.2f of the scan)\n",
                measured * 1e3, measured / scan);

    if (temporary)
        fs::remove_all(dir);
    return 0;
}
