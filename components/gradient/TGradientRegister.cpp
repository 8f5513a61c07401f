// Kept out of TGradient.cpp: the Designer plugin is a shared module and links
// the widget alone, without the palette registry, which is not built as
// position-independent code.
#include "Palette.h"
#include "TGradient.h"

void TGradient::Register()
{
    eit::RegisterComponent(eit::kPalettePage, "TGradient");
}
