#pragma once

// Windows only: the program's UTF-8 texts and the system's UTF-16 ones. The
// boundary (EnvWindows.cpp) and the native window convert here and nowhere
// else.

#include <string>
#include <string_view>

namespace eit {

// text (UTF-8) as UTF-16; an invalid sequence becomes U+FFFD.
std::wstring Widen(std::string_view text);
// wide (UTF-16) as UTF-8; an unpaired surrogate becomes U+FFFD.
std::string Narrow(std::wstring_view wide);

} // namespace eit
