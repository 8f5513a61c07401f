#pragma once

#include <exception>
#include <new>
#include <string>
#include <utility>

namespace eit {

// The caption of the boxes that show a handler's error.
inline constexpr const char* kWindowCaption = "Extract\\Insert Tool";

// Runs handler where a skin calls the model: no exception leaves. An error's
// message (eit::FileError and every other std::exception) goes to show as it
// is; std::bad_alloc shows "Out of memory" and anything else thrown
// "Unexpected error". A failure of show itself is swallowed: there is no one
// left to tell. Returns whether handler finished.
template <typename Show, typename Handler>
bool RunShowingErrors(Show&& show, Handler&& handler) noexcept
{
    const auto tell = [&show](const char* text) noexcept {
        try {
            show(std::string(text));
        } catch (...) {
        }
    };
    try {
        std::forward<Handler>(handler)();
        return true;
    } catch (const std::bad_alloc&) {
        tell("Out of memory");
    } catch (const std::exception& e) {
        tell(e.what());
    } catch (...) {
        tell("Unexpected error");
    }
    return false;
}

} // namespace eit
