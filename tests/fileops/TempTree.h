#pragma once
// A private folder below the Wine prefix's temporary folder for one test, removed with
// everything in it (read-only items included) when the test ends. Deliberately not built on
// the engine under test.
#include <string>

class TempTree {
public:
    TempTree();
    ~TempTree();
    TempTree(const TempTree&) = delete;
    TempTree& operator=(const TempTree&) = delete;

    const std::string& Root() const { return m_root; }
    // Root() + "\" + relative ("/" in relative becomes "\").
    std::string Path(const std::string& relative) const;

    void MakeFolder(const std::string& relative) const; // with missing parents
    void MakeFile(const std::string& relative, const std::string& content = "data") const;
    void SetReadOnly(const std::string& relative) const;
    bool Exists(const std::string& relative) const;
    bool IsReadOnly(const std::string& relative) const;
    std::string Content(const std::string& relative) const;

    static void ForceRemove(const std::string& path);

private:
    std::string m_root;
};
