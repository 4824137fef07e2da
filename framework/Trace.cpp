#include "framework/Trace.h"

#include <windows.h>

#include <exception>
#include <string>

void TraceSwallowedException(const char* where)
{
    std::string text = std::string("NuvraUpdater: ") + where + " swallowed ";
    // Rethrown only to learn its type; it ends here again.
    try {
        throw;
    } catch (const std::exception& e) {
        text += std::string("an exception: ") + e.what();
    } catch (...) {
        text += "an exception of a type with no text";
    }
    text += "\n";
    OutputDebugStringA(text.c_str());
}

void TraceFailure(const char* what)
{
    OutputDebugStringA((std::string("NuvraUpdater: ") + what + "\n").c_str());
}
