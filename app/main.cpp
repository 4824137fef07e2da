#include "app/UpdaterApp.h"
#include <windows.h>

namespace {
CUpdaterApp theApp;
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    return theApp.Run(instance);
}
