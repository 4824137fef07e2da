#pragma once
// Whether this process may write into a folder, found out by doing it: a small file is created,
// written and deleted. Access lists, UAC, read-only shares and media refuse in too many ways to
// be predicted from the rights alone.
#include <string>
#include <vector>

class CWritableFolder {
public:
    // The folder exists and takes a new file. Nothing stays behind.
    static bool CanWrite(const std::string& folder);
    // The folder exists or can be made, together with any missing folders above it, and takes a
    // new file. The folders made for the test are removed again.
    static bool CanCreateAndWrite(const std::string& folder);
    // Makes the folder and any missing folders above it. The ones it made are appended to
    // `made`, outermost first. True when the folder exists afterwards.
    static bool Create(const std::string& folder, std::vector<std::string>* made = nullptr);
};
