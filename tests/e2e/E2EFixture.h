#pragma once
// Common ground of the end-to-end tests: a scratch folder with a copy of the real
// NuvraUpdater.exe, a test update server serving a folder of it, a clean registry record,
// and helpers to publish releases and run the program.
#include "tests/e2e/UpdaterDriver.h"
#include "tests/support/ScratchFolder.h"
#include "tests/support/TestHttpServer.h"
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

struct CReleaseFile {
    CReleaseFile(std::string subFolder_, std::string name_, std::string content_, std::string version_ = "1.0.0",
                 std::string flag_ = std::string())
        : subFolder(std::move(subFolder_)), name(std::move(name_)), content(std::move(content_)),
          version(std::move(version_)), flag(std::move(flag_))
    {
    }
    std::string subFolder; // "" or "a/b"
    std::string name;
    std::string content;
    std::string version;
    std::string flag;
    std::string hash;    // the list's sixth field; "" writes none
    long long size = -1; // the list's seventh field; -1 writes none
};

class E2EFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Where the program's own copy lives, and its path.
    std::string UpdaterPath() const { return m_work.File("bin/NuvraUpdater.exe"); }
    std::string Work(const std::string& relative) const { return m_work.File(relative); }
    std::string WorkRoot() const { return m_work.Path(); }

    // Server side: /update/... maps to <server root>/update/...
    void WriteServerFile(const std::string& path, const std::string& content);
    void WriteVersionList(const std::string& content) { WriteServerFile("update/version.txt", content); }
    // version.txt allowing installation, the file list and the files themselves.
    void Publish(const std::string& title, const std::string& version, const std::vector<CReleaseFile>& files,
                 bool allow = true);
    // The files with their SHA-256 in the list.
    static std::vector<CReleaseFile> Hashed(std::vector<CReleaseFile> files);
    // The files with their byte counts in the list (and the sixth field, hashed or empty).
    static std::vector<CReleaseFile> Sized(std::vector<CReleaseFile> files);
    static std::string Sha256Hex(const std::string& content);
    // The sample product as a release file named "Nuvra.exe".
    CReleaseFile SampleProduct(const std::string& version = "1.0.0") const;
    std::vector<CHttpRequest> Requests() const { return m_server->Requests(); }
    std::vector<std::string> RequestPaths() const;
    CTestHttpServer& Server() { return *m_server; }

    // Runs the program with a command tail; the current folder is the work folder.
    bool Run(const std::string& tail = std::string());
    // Runs another copy of the program (the one an installation holds, say) the same way.
    bool RunProgram(const std::string& program, const std::string& tail);
    // Runs the program with a command tail to its end (at most timeoutMs) and gives its exit
    // code, or -1 when it did not start or end.
    long RunToExit(const std::string& tail, DWORD timeoutMs = 120000);
    CUpdaterDriver& Driver() { return *m_driver; }
    // For a failure message: whether the program still runs or how it ended, and the run log's
    // last lines.
    std::string RunState();

    // The sample product's start lines ("start\t<command line>\t<current folder>"), waiting up
    // to `waitMs` for the first one.
    std::vector<std::string> ProductStarts(DWORD waitMs = 10000) const;
    // Whether the product was started, after the program has ended. A start that comes after it
    // shows within the wait; the wait running out without one is the pass. (The job's process
    // count cannot tell: Wine adds its own desktop process to it now and then.)
    bool ProductStarted() const { return !ProductStarts(2000).empty(); }

    // The record key HKCU\SOFTWARE\Morvel\<name> with string values.
    static void WriteRecord(const std::string& key, const std::vector<std::pair<std::string, std::string>>& values);
    static std::string ReadRecord(const std::string& key, const std::string& value);
    static bool RecordExists(const std::string& key);
    static void DeleteMakerKey();
    // The product's Apps & Features entry below root: a value as text (a DWORD in decimal),
    // "<missing>" when there is none; waits up to timeoutMs for the product to write it.
    static std::string ReadUninstallEntry(HKEY root, const std::string& value, DWORD timeoutMs = 0);
    static bool UninstallEntryExists(HKEY root);
    static void WriteUninstallEntryValues(HKEY root, const std::vector<std::pair<std::string, std::string>>& values);
    static void DeleteUninstallEntries();
    // The run log the program keeps by default (%LOCALAPPDATA%\Morvel\NuvraUpdater.log).
    static std::string DefaultRunLogPath();

    // Deletes a folder tree the way the shell does, silently; a missing one is fine.
    static void RemoveTree(const std::string& path);
    static std::string ReadFile(const std::string& path);
    static bool FileExists(const std::string& path);
    static std::string AnsiFromUtf8(const std::string& text);

    static const char kUpdaterCaption[];  // message boxes of start-up: the executable's base name
    static const char kQuestionCaption[]; // the update question's caption

    CScratchFolder m_work;
    std::unique_ptr<CTestHttpServer> m_server;
    std::unique_ptr<CUpdaterDriver> m_driver;
};
