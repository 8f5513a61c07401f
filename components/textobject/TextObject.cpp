#include "TextObject.h"

#include "Palette.h"

#include <algorithm>
#include <limits>

TTextObject::TTextObject(QObject* owner) : QObject(owner) {}

TTextObject::~TTextObject() = default;

void TTextObject::Register()
{
    eit::RegisterComponent(eit::kPalettePage, "TTextObject");
}

std::int32_t TTextObject::New(TOpenModes mode, std::int32_t unused)
{
    if (TextStyle == BlanshStyle) {
        FLog.Clear();
        NewBlansh();
        return 0;
    }
    if (TextStyle == IniStyle) {
        FLog.Clear();
        return NewINI(mode, unused);
    }
    return 0;
}

std::string TTextObject::Read()
{
    if (TextStyle == BlanshStyle)
        return ReadBlansh();
    if (TextStyle == IniStyle)
        return ReadINI();
    return {};
}

void TTextObject::Write(std::string text)
{
    if (TextStyle == BlanshStyle)
        WriteBlansh(std::move(text));
    else if (TextStyle == IniStyle)
        WriteINI(text);
}

void TTextObject::Rewrite(std::string text)
{
    if (TextStyle == BlanshStyle)
        RewriteBlansh(std::move(text));
    else if (TextStyle == IniStyle)
        WriteINI(text);
}

std::int32_t TTextObject::GetSize()
{
    if (TextStyle == BlanshStyle)
        return GetBlanshSize();
    if (TextStyle == IniStyle)
        return GetIniSize();
    return 0;
}

void TTextObject::SetPosition(std::int32_t number)
{
    if (TextStyle == BlanshStyle)
        SetBlanshPos(number);
    else if (TextStyle == IniStyle)
        SetIniPos(number);
}

// Both layouts size a text the same way. An alignment of 1 or less (0 and
// negative values included) leaves the size as it is; the arithmetic runs in
// 64 bits so that a large TextAlign cannot overflow.
std::int64_t TTextObject::SizeOf(std::size_t length) const
{
    std::int64_t size = static_cast<std::int64_t>(length) + (AsciiZ ? 1 : 0);
    if (TextAlign > 1)
        size = (size + TextAlign - 1) / TextAlign * TextAlign;
    return size;
}

std::int32_t TTextObject::ClampSize(std::int64_t size)
{
    return static_cast<std::int32_t>(std::min<std::int64_t>(size, std::numeric_limits<std::int32_t>::max()));
}
