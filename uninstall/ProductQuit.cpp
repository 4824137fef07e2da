#include "uninstall/ProductQuit.h"

namespace {

const int kChecks = 5;
const DWORD kCheckPause = 100;

} // namespace

void AskProductToQuit(const std::string& title, const std::function<void(DWORD)>& pause)
{
    // FindWindowA with an empty title would find any untitled window.
    if (title.empty()) return;
    if (HWND window = ::FindWindowA(nullptr, title.c_str())) ::PostMessageA(window, kProductQuitMessage, 0, 0);
    for (int check = 0; check < kChecks; ++check) {
        if (!::FindWindowA(nullptr, title.c_str())) return;
        pause(kCheckPause);
    }
}
