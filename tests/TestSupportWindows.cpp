// The system side of TestSupport.h for Windows, on the wide-character API:
// the tests' texts are UTF-8 and become UTF-16 only here.

#include "TestSupport.h"

#include <stdexcept>

#include <windows.h>
#include <winioctl.h>

namespace eit::test {

namespace {

std::wstring Wide(std::string_view text)
{
    if (text.empty())
        return {};
    const int size = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(size), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), size);
    return wide;
}

// One argument as the C runtime's command-line parser reads it back: quoted
// when it holds blanks or quotes (or is empty), backslashes doubled only
// where a quote follows them.
std::wstring Quoted(const std::wstring& arg)
{
    if (!arg.empty() && arg.find_first_of(L" \t\n\v\"") == std::wstring::npos)
        return arg;
    std::wstring quoted = L"\"";
    std::size_t backslashes = 0;
    for (const wchar_t c : arg) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(backslashes * 2, L'\\');
    return quoted + L"\"";
}

HANDLE OpenInheritable(const std::wstring& path, DWORD access, DWORD disposition)
{
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    return ::CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, &inherit,
                         disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}

// Starts args with stdout and stderr in the files out and err, in folder cwd
// unless it is empty. The process handle, or nullptr.
HANDLE Spawn(const std::vector<std::string>& args, const std::string& cwd, const std::string& out,
             const std::string& err)
{
    std::wstring commandLine;
    for (const std::string& arg : args)
        commandLine += (commandLine.empty() ? L"" : L" ") + Quoted(Wide(arg));
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = OpenInheritable(L"NUL", GENERIC_READ, OPEN_EXISTING);
    startup.hStdOutput = OpenInheritable(Wide(out), GENERIC_WRITE, CREATE_ALWAYS);
    startup.hStdError = OpenInheritable(Wide(err), GENERIC_WRITE, CREATE_ALWAYS);
    PROCESS_INFORMATION process{};
    const std::wstring program = Wide(args.at(0));
    const std::wstring folder = Wide(cwd);
    const bool started = ::CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                          cwd.empty() ? nullptr : folder.c_str(), &startup, &process);
    for (const HANDLE handle : {startup.hStdInput, startup.hStdOutput, startup.hStdError})
        if (handle != INVALID_HANDLE_VALUE)
            ::CloseHandle(handle);
    if (!started)
        return nullptr;
    ::CloseHandle(process.hThread);
    return process.hProcess;
}

int WaitFor(HANDLE process)
{
    ::WaitForSingleObject(process, INFINITE);
    DWORD code = 0;
    const bool known = ::GetExitCodeProcess(process, &code);
    ::CloseHandle(process);
    return known ? static_cast<int>(code) : -1;
}

HANDLE AsHandle(std::intptr_t process)
{
    return reinterpret_cast<HANDLE>(process);
}

// The file at path opened for writing and marked sparse, so that the parts
// never written stay holes on file systems that have them.
HANDLE OpenSparse(const std::string& path, DWORD disposition)
{
    const HANDLE file = ::CreateFileW(Wide(path).c_str(), GENERIC_READ | GENERIC_WRITE,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, disposition,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        DWORD unused = 0;
        ::DeviceIoControl(file, FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &unused, nullptr);
    }
    return file;
}

bool MoveTo(HANDLE file, std::uint64_t offset)
{
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>(offset);
    return ::SetFilePointerEx(file, at, nullptr, FILE_BEGIN);
}

} // namespace

CommandRun RunProgram(const TempDir& dir, const std::string& cwd, const std::vector<std::string>& args)
{
    const std::string out = dir.File("stdout.txt");
    const std::string err = dir.File("stderr.txt");
    const HANDLE process = Spawn(args, cwd, out, err);
    if (!process)
        throw std::runtime_error("cannot start " + args.at(0));
    const int status = WaitFor(process);
    return {status, ReadFile(out), ReadFile(err)};
}

BackgroundProgram::BackgroundProgram(const TempDir& dir, const std::vector<std::string>& args)
    : FOut(dir.File("stdout.txt"))
{
    const HANDLE process = Spawn(args, "", FOut, dir.File("stderr.txt"));
    FProcess = process ? reinterpret_cast<std::intptr_t>(process) : -1;
}

BackgroundProgram::~BackgroundProgram()
{
    if (FProcess != -1) {
        ::TerminateProcess(AsHandle(FProcess), 1);
        Wait();
    }
}

bool BackgroundProgram::Running() const
{
    return FProcess != -1 && ::WaitForSingleObject(AsHandle(FProcess), 0) == WAIT_TIMEOUT;
}

int BackgroundProgram::Wait()
{
    const int status = WaitFor(AsHandle(FProcess));
    FProcess = -1;
    return status;
}

void BackgroundProgram::SendStop(int) const
{
    throw std::runtime_error("no signals on Windows");
}

bool BackgroundProgram::HoldsOpen(const std::string&) const
{
    return false;
}

// Any handle open on the file refuses an open that shares nothing.
bool HeldOpen(const std::string& path)
{
    const HANDLE file =
        ::CreateFileW(Wide(path).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return ::GetLastError() == ERROR_SHARING_VIOLATION;
    ::CloseHandle(file);
    return false;
}

// A handle open for writing refuses an open that shares reading only.
bool OpenOnlyForReading(const std::string& path)
{
    const HANDLE file = ::CreateFileW(Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    ::CloseHandle(file);
    return true;
}

bool WriteAt(const std::string& path, std::uint64_t offset, std::string_view bytes)
{
    const HANDLE file = OpenSparse(path, OPEN_ALWAYS);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    const bool ok = MoveTo(file, offset)
        && ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr)
        && written == bytes.size();
    ::CloseHandle(file);
    return ok;
}

bool ResizeSparse(const std::string& path, std::uint64_t size)
{
    const HANDLE file = OpenSparse(path, OPEN_EXISTING);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    const bool ok = MoveTo(file, size) && ::SetEndOfFile(file);
    ::CloseHandle(file);
    return ok;
}

void SetMode(const std::string&, unsigned)
{
}

bool PermissionsBind(const TempDir&)
{
    return false;
}

std::string NullDevice()
{
    return "";
}

void LimitOpenFiles(int count)
{
    throw std::runtime_error("no limit of open files on Windows: " + std::to_string(count));
}

void MakeFifo(const std::string& path)
{
    throw std::runtime_error("no FIFOs on Windows: " + path);
}

void MakeSocket(const std::string& path)
{
    throw std::runtime_error("no socket files on Windows: " + path);
}

FifoPeer::FifoPeer(std::string path) : FPath(std::move(path))
{
}

FifoPeer::~FifoPeer() = default;

} // namespace eit::test
