#pragma once
// A fresh, empty folder below the system's temporary folder, removed with everything in it when
// the object goes. Tests keep their files here so that nothing outlives a test.
#include <string>
#include <vector>

class CScratchFolder {
public:
    CScratchFolder();
    ~CScratchFolder();
    CScratchFolder(const CScratchFolder&) = delete;
    CScratchFolder& operator=(const CScratchFolder&) = delete;

    // The folder, without a trailing separator; empty when it could not be made.
    const std::string& Path() const { return m_path; }
    // Path() + separator + relative (relative may use "/").
    std::string File(const std::string& relative) const;
    // Path() with a trailing separator, for APIs that put it in front of a file name.
    std::string Prefix() const { return m_path + Separator(); }

    bool Write(const std::string& relative, const std::string& content) const;
    bool Exists(const std::string& relative) const;
    // The file's whole content; "" when it cannot be read.
    std::string Read(const std::string& relative) const;
    // Names of the entries directly in a folder below this one ("" for this one), sorted.
    std::vector<std::string> List(const std::string& relative = std::string()) const;

    static char Separator();

private:
    std::string m_path;
};
