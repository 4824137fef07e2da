#pragma once
// Texts of the program's string table. The table is UTF-16 in the resources; user-visible
// texts are shown as loaded (Wide), texts used as registry or file names are 8-bit (Ansi).
#include <windows.h>
#include <string>

class CStringTable {
public:
    static std::wstring Wide(UINT id);
    static std::string Ansi(UINT id);
};
