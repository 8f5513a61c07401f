#pragma once

#include "WindowSkin.h"

#include <string>

namespace eit {

// The window's remembered values as string values of a key below
// HKEY_CURRENT_USER, by default
// "Software\extract-insert-tool\extract-insert-tool". Values are UTF-8 here and UTF-16 strings in the
// registry, where a user can read them. A value that cannot be read reads as
// empty; a write that fails is dropped (remembering is a convenience).
class RegistrySettings : public WindowSettings {
public:
    explicit RegistrySettings(std::string key = "Software\\extract-insert-tool\\extract-insert-tool");

    std::string Read(const std::string& key) const override;
    void Write(const std::string& key, const std::string& value) override;

    // Removes the whole key with its values (for tests).
    void Clear();

private:
    std::string FKey;
};

} // namespace eit
