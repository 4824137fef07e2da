#include "framework/StringTable.h"
#include "framework/TextConvert.h"

std::wstring CStringTable::Wide(UINT id)
{
    // With a zero length LoadStringW hands out a read-only pointer into the resource itself.
    const wchar_t* text = nullptr;
    int length = LoadStringW(GetModuleHandleW(nullptr), id, reinterpret_cast<LPWSTR>(&text), 0);
    if (length <= 0 || text == nullptr) return {};
    return std::wstring(text, static_cast<size_t>(length));
}

std::string CStringTable::Ansi(UINT id)
{
    return AnsiFromWide(Wide(id));
}
