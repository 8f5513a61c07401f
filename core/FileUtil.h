#pragma once

// Path texts and whole-file helpers, written once for every system. The
// system's own calls live in Env.h, which this header brings along.

#include "Env.h"

#include <string>
#include <string_view>

namespace eit {

// The directory separator of paths in the tool's texts.
#ifdef _WIN32
inline constexpr char kPathSep = '\\';
#else
inline constexpr char kPathSep = '/';
#endif

// Whether path starts at a root: "/" on POSIX; on Windows a drive letter, a
// colon and a separator, or a UNC name (two separators).
bool IsAbsolute(std::string_view path);
// Whether path is taken below whatever folder it is joined to: not absolute
// and, on Windows, neither rooted on the current drive ("\dir") nor on a
// drive's current folder ("M:", "M:dir").
bool IsFolderRelative(std::string_view path);
// path when it is absolute, otherwise path below the working directory (the
// working directory itself for an empty path; path as it is when the working
// directory cannot be found). On Windows "\dir" is below the root of the
// working directory's drive, "M:" and "M:dir" below drive M's current folder
// (DriveFolder), and every "/" becomes "\"; a path starting "\\?\" or
// "\\.\" is passed to the system unchanged, so it stays as it is.
std::string MakeAbsolute(std::string_view path);
// path without "." steps, ".." steps that follow a name or doubled
// separators, every separator the system's own. On Windows a path starting
// "\\?\" or "\\.\" stays as it is.
std::string NormalPath(std::string_view path);
// The part of path after its last separator (and, on Windows, after a colon).
std::string FileNamePart(std::string_view path);
// The part of path up to and including its last separator (or colon on Windows).
std::string DirectoryPart(std::string_view path);
// "a" + sep + "b", adding the separator only when dir does not end in one.
std::string JoinPath(std::string_view dir, std::string_view name);
// A short unused-looking name beside path: its folder, ".eit-" and six
// lower-case letters or digits, so that it fits wherever path's own name
// fits and differs from other such names also where case does not count.
// Consecutive calls, in this process or another started at the same time,
// rarely give the same name; callers create the file exclusively and ask
// again on a clash.
std::string TempNameBeside(std::string_view path);
// Creates base and its missing parents as CreateDirectories does (base may
// be a link), then each folder named by relative below it, one name after
// another, with CreateRealFolder. False at the first name of relative that
// cannot be created or where a link or anything but a folder stands, so that
// nothing below it is written elsewhere.
bool CreateFoldersBelow(const std::string& base, std::string_view relative);
// Upper-cases the ASCII letters a-z and nothing else.
std::string AsciiUpper(std::string_view text);
// Whether name matches the wildcard mask: "*" stands for any run of
// characters (also none), "?" for exactly one; ASCII letters match without
// regard to case.
bool MatchesMask(std::string_view name, std::string_view mask);

// Whether text is well-formed UTF-8: no stray or missing continuation
// bytes, no overlong forms, surrogates or values beyond U+10FFFF.
bool IsUtf8(std::string_view text);
// Throws FileError "%s is not UTF-8 text" with path when text, read from
// path, is a list of names that is not UTF-8 on Windows: every name goes to
// the system as UTF-8 there, and other bytes would silently become U+FFFD.
// POSIX takes names as bytes; there it never throws.
void CheckNameText(const std::string& path, std::string_view text);

// The whole content of a regular file. Throws FileError "Cannot open file %s"
// (also for a read failure), "Out of memory reading %s".
std::string ReadWholeFile(const std::string& path);
// The content of a regular file up to, not including, its first zero byte.
// Reading stops there: the rest of the file is never read. Throws FileError
// "Cannot open file %s" (also for a read failure).
std::string ReadTextUntilZero(const std::string& path);
// Writes data to a temporary file beside path and renames it over path, so
// path holds either its old content or all of data. Throws FileError
// "Cannot create file %s" and leaves no temporary file behind.
void WriteFileAtomically(const std::string& path, std::string_view data);

} // namespace eit
