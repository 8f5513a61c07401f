#include "RegistrySettings.h"

#include "WideText.h"

#include <windows.h>

namespace eit {

RegistrySettings::RegistrySettings(std::string key) : FKey(std::move(key)) {}

std::string RegistrySettings::Read(const std::string& key) const
{
    const std::wstring path = Widen(FKey);
    const std::wstring name = Widen(key);
    DWORD size = 0;
    if (::RegGetValueW(HKEY_CURRENT_USER, path.c_str(), name.c_str(), RRF_RT_REG_SZ, nullptr, nullptr, &size)
            != ERROR_SUCCESS
        || size < sizeof(wchar_t))
        return {};
    std::wstring value(size / sizeof(wchar_t), L'\0');
    if (::RegGetValueW(HKEY_CURRENT_USER, path.c_str(), name.c_str(), RRF_RT_REG_SZ, nullptr, value.data(), &size)
        != ERROR_SUCCESS)
        return {};
    value.resize(size / sizeof(wchar_t));
    while (!value.empty() && value.back() == L'\0')
        value.pop_back();
    return Narrow(value);
}

void RegistrySettings::Write(const std::string& key, const std::string& value)
{
    const std::wstring path = Widen(FKey);
    const std::wstring name = Widen(key);
    const std::wstring text = Widen(value);
    ::RegSetKeyValueW(HKEY_CURRENT_USER, path.c_str(), name.c_str(), REG_SZ, text.c_str(),
                      static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

void RegistrySettings::Clear()
{
    ::RegDeleteTreeW(HKEY_CURRENT_USER, Widen(FKey).c_str());
}

} // namespace eit
