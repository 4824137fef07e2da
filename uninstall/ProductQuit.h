#pragma once
// Asks the running product to end before its files are deleted.
#include <windows.h>
#include <functional>
#include <string>

// The message the product ends on.
constexpr UINT kProductQuitMessage = 0x0A32;

// With a title: posts the quit message to the top-level window of exactly that title, if one
// exists, then looks up to five times whether such a window is still there, pausing 100 ms
// after each look that finds one. An empty title looks for nothing.
void AskProductToQuit(const std::string& title, const std::function<void(DWORD)>& pause);
