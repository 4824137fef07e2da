#include "framework/CurrentDirectoryScope.h"
#include <windows.h>

bool CCurrentDirectoryScope::Enter(const std::string& folder)
{
    if (!m_entered) {
        const DWORD needed = GetCurrentDirectoryA(0, nullptr);
        if (needed == 0) return false;
        std::string saved(needed, '\0');
        const DWORD length = GetCurrentDirectoryA(needed, saved.data());
        if (length == 0 || length >= needed) return false;
        saved.resize(length);
        m_saved = std::move(saved);
    }
    if (!SetCurrentDirectoryA(folder.c_str())) return false;
    m_entered = true;
    return true;
}

void CCurrentDirectoryScope::Leave()
{
    if (m_entered) SetCurrentDirectoryA(m_saved.c_str());
    m_entered = false;
}
