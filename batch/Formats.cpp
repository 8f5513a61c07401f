#include "Formats.h"

namespace eit {

namespace {

// The dispatch finds an input type by its mode and the replay a pack format
// by its name, so neither may be shared; 0 and kReplayNoFormat mean "none".
constexpr bool ModesAndNamesAreDistinct()
{
    for (std::size_t k = 0; k < kInputTypes.size(); ++k) {
        const InputType& type = kInputTypes[k];
        if (type.Mode == 0 || type.Mode == kReplayNoFormat)
            return false;
        const std::string_view name = type.FormatName;
        for (std::size_t j = 0; j < k; ++j)
            if (kInputTypes[j].Mode == type.Mode || (!name.empty() && name == kInputTypes[j].FormatName))
                return false;
    }
    return true;
}
static_assert(ModesAndNamesAreDistinct());

} // namespace

std::uint8_t FilterModeAt(int position)
{
    return position >= 1 && static_cast<std::size_t>(position) <= FilterModes.size()
        ? FilterModes[static_cast<std::size_t>(position - 1)]
        : 0;
}

std::string FormatNameAt(int position)
{
    return position >= 1 && static_cast<std::size_t>(position) <= FormatNames.size()
        ? FormatNames[static_cast<std::size_t>(position - 1)]
        : "";
}

const InputType* InputTypeOfMode(std::uint8_t mode)
{
    for (const InputType& type : kInputTypes)
        if (type.Mode == mode)
            return &type;
    return nullptr;
}

std::uint8_t ModeOfFormatName(std::string_view name)
{
    if (name.empty())
        return kReplayNoFormat;
    for (const InputType& type : kInputTypes)
        if (name == type.FormatName)
            return type.Mode;
    return kReplayNoFormat;
}

} // namespace eit
