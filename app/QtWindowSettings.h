#pragma once

#include "WindowSkin.h"

#include <string>

// The window's remembered values in QSettings (the application's
// organisation and name), in the forms earlier sessions stored them: the
// open dialog's filter position as a number, its folder as text, every other
// folder and file as bytes.
class QtWindowSettings : public eit::WindowSettings {
public:
    std::string Read(const std::string& key) const override;
    void Write(const std::string& key, const std::string& value) override;
};
