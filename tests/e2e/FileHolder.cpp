// Keeps one file open without sharing: the stand-in for a program that holds one of the
// product's files while it is being removed.
//
//   FileHolder <file> <event name>
//
// Opens <file> with no sharing, then sets the test's event and waits until the test ends it.
// Exit code 2 when the file did not open, 3 when the event is missing.
#include <windows.h>

int main(int argc, char** argv)
{
    if (argc != 3) return 1;
    HANDLE held = OpenEventA(EVENT_MODIFY_STATE, FALSE, argv[2]);
    if (!held) return 3;
    HANDLE file =
        CreateFileA(argv[1], GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 2;
    SetEvent(held);
    // Bounded, so that a test that died before ending it leaves no process behind for long.
    Sleep(120000);
    CloseHandle(file);
    return 0;
}
