#include "TestSupport.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <vector>

#include <fcntl.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

namespace eit::test {

TempDir::TempDir()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "eit-test-XXXXXX").string();
    if (!::mkdtemp(pattern.data()))
        throw std::runtime_error("cannot create a temporary folder");
    FPath = pattern;
}

TempDir::~TempDir()
{
    std::error_code ec;
    // Tests make some folders read-only; give them back before removing.
    for (auto it = std::filesystem::recursive_directory_iterator(FPath, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec))
        std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ec);
    std::filesystem::permissions(FPath, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(FPath, ec);
}

std::string TempDir::File(std::string_view name) const
{
    return FPath + "/" + std::string(name);
}

void WriteFile(const std::string& path, std::string_view bytes)
{
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + path);
}

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + path);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

CommandRun RunCommand(const TempDir& dir, const std::string& cwd, const std::string& commandLine)
{
    const std::string out = dir.File("stdout.txt");
    const std::string err = dir.File("stderr.txt");
    const std::string command = "cd '" + cwd + "' && " + commandLine + " >'" + out + "' 2>'" + err + "'";
    const int status = std::system(command.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadFile(out), ReadFile(err)};
}

std::string ListTree(const std::string& dir)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(dir))
        if (!entry.is_directory())
            names.push_back(std::filesystem::relative(entry.path(), dir).string());
    std::sort(names.begin(), names.end());
    std::string list;
    for (const auto& name : names)
        list += name + "\n";
    return list;
}

void MakeFifo(const std::string& path)
{
    if (::mkfifo(path.c_str(), 0666) != 0)
        throw std::runtime_error("cannot create the FIFO " + path);
}

void MakeSocket(const std::string& path)
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path)
        throw std::runtime_error("socket path too long: " + path);
    path.copy(address.sun_path, path.size());
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    const bool bound = fd >= 0 && ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    if (fd >= 0)
        ::close(fd);
    if (!bound)
        throw std::runtime_error("cannot create the socket " + path);
}

FifoPeer::FifoPeer(std::string path)
    : FPath(std::move(path)), FWriter([this] {
          const int fd = ::open(FPath.c_str(), O_WRONLY | O_CLOEXEC);
          if (fd >= 0)
              ::close(fd);
      })
{
}

FifoPeer::~FifoPeer()
{
    // A reader of our own wakes a writer still waiting in its open.
    const int reader = ::open(FPath.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    FWriter.join();
    if (reader >= 0)
        ::close(reader);
}

} // namespace eit::test
