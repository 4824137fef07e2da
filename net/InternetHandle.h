#pragma once
// Move-only owner of a WinInet handle (session, connection or request).
#include "framework/Handles.h"

#include <wininet.h>

struct CInternetHandleTraits {
    using handle_type = HINTERNET;
    static handle_type invalid() { return nullptr; }
    static bool valid(handle_type h) { return h != nullptr; }
    static void close(handle_type h) { ::InternetCloseHandle(h); }
};

using CInternetHandle = CUniqueHandle<CInternetHandleTraits>;
