#pragma once

#include <string>
#include <vector>

namespace eit {

// The design-time component palette: each component module's Register()
// puts its class on a named page. Registering the same class twice on one
// page keeps one entry.
void RegisterComponent(const std::string& page, const std::string& className);
// The classes on a page, in the order they were first registered.
std::vector<std::string> PaletteClasses(const std::string& page);

inline const char* const kPalettePage = "Translation Tools";

} // namespace eit
