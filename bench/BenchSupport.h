#pragma once

// What every benchmark program shares: its options, its scratch folder, its
// failure exit and the median of its samples.

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <chrono>

#include <fcntl.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace eit::bench {

// Prints "program: what: <errno text>" to stderr and exits with status 1.
[[noreturn]] inline void Die(const char* program, const std::string& what)
{
    std::fprintf(stderr, "%s: %s: %s\n", program, what.c_str(), std::strerror(errno));
    std::exit(1);
}

inline double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

struct Options {
    std::string Dir;
    int Runs;
    bool OwnDir;   // Dir is a fresh temporary folder the program should remove
};

// Reads "--dir DIR" and "--runs N" (at least 1). Without --dir, makes a fresh
// folder "<program>-XXXXXX" below the system's temporary folder.
inline Options ParseOptions(int argc, char** argv, const char* program, int defaultRuns)
{
    Options options{"", defaultRuns, false};
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--dir") == 0)
            options.Dir = argv[i + 1];
        else if (std::strcmp(argv[i], "--runs") == 0)
            options.Runs = std::max(1, std::atoi(argv[i + 1]));
    }
    if (options.Dir.empty()) {
        std::string pattern = (std::filesystem::temp_directory_path() / (std::string(program) + "-XXXXXX")).string();
        if (!::mkdtemp(pattern.data()))
            Die(program, "mkdtemp");
        options.Dir = pattern;
        options.OwnDir = true;
    }
    std::filesystem::create_directories(options.Dir);
    return options;
}

// What one run of a child program took: wall time and peak resident memory.
struct ChildRun {
    double Seconds;
    long PeakKiB;
};

// Runs args (args[0] a path) with stdout to /dev/null and waits for it;
// exits the benchmark when it fails.
inline ChildRun RunChild(const char* program, const std::vector<std::string>& args)
{
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = ::fork();
    if (pid == 0) {
        std::vector<char*> argv;
        for (const auto& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        const int devnull = ::open("/dev/null", O_WRONLY);
        ::dup2(devnull, STDOUT_FILENO);
        ::execv(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    struct rusage usage {};
    ::wait4(pid, &status, 0, &usage);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        Die(program, args[0] + " failed");
    return {seconds, usage.ru_maxrss};
}

} // namespace eit::bench
