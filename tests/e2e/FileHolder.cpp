// Keeps one file open without sharing until told to let go: the stand-in for a program that
// holds one of the product's files while it is being removed.
//
//   FileHolder <file> <event name>
//
// Opens <file> with no sharing, sets the event "<event name>.held" and waits for
// "<event name>.release"; both events belong to the test that started it. Exit code 0 once
// released, 2 when the file did not open, 3 when the events are missing.
#include <windows.h>

#include <string>

int main(int argc, char** argv)
{
    if (argc != 3) return 1;
    const std::string name = argv[2];
    HANDLE held = OpenEventA(EVENT_MODIFY_STATE, FALSE, (name + ".held").c_str());
    HANDLE release = OpenEventA(SYNCHRONIZE, FALSE, (name + ".release").c_str());
    if (!held || !release) return 3;
    HANDLE file = CreateFileA(argv[1], GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
    if (file == INVALID_HANDLE_VALUE) return 2;
    SetEvent(held);
    // Bounded, so that a test that died before letting go leaves no process behind for long.
    WaitForSingleObject(release, 120000);
    CloseHandle(file);
    CloseHandle(held);
    CloseHandle(release);
    return 0;
}
