// Unattended runs of the real program ("/S"): install, update, repair and uninstall with no
// window of the program at any moment, each telling its result by the exit code.
#include "tests/e2e/E2EFixture.h"

#include <shlobj.h>

#include <algorithm>
#include <fstream>

namespace {

const char kTitle[] = "Morvel Nuvra";
const char kDefaultInstallDir[] = "C:\\Program Files\\Morvel";
const char kListPath[] = "/update/Nuvra/_nuvr_file_list.lst";

// The exit codes the README lists.
enum : long { kDone = 0, kFailed = 1, kRefused = 2, kNothingToDo = 3, kAlreadyRunning = 4, kIncomplete = 6 };
constexpr long kRepaired = 100; // plus the number of files repaired

class Unattended : public E2EFixture {
protected:
    static std::string DesktopLink()
    {
        char path[MAX_PATH] = {};
        SHGetFolderPathA(nullptr, CSIDL_DESKTOPDIRECTORY, nullptr, SHGFP_TYPE_CURRENT, path);
        return std::string(path) + "\\" + AnsiFromUtf8("모르벨 누브라") + ".lnk";
    }

    void TearDown() override
    {
        E2EFixture::TearDown();
        RemoveTree(kDefaultInstallDir);
        DeleteFileA(DesktopLink().c_str());
    }

    std::string ProductDir() const { return Work("inst dir\\Nuvra"); }
    std::string Installed(const std::string& name) const { return ReadFile(ProductDir() + "\\" + name); }

    std::vector<CReleaseFile> Release(const std::string& version = "1.0.0") const
    {
        return Sized(Hashed({SampleProduct(version),
                             {"", "config.ini", "[nuvra]\r\ninterval=60\r\n", version},
                             {"res", "main.bmp", std::string(5000, 'B') + version, version},
                             {"doc", "readme.txt", "Morvel Nuvra " + version + "\n", version}}));
    }

    // The folder and the record as the product leaves them after installing this release.
    void InstallByHand(const std::vector<CReleaseFile>& files, const std::string& version)
    {
        for (const CReleaseFile& file : files) {
            const std::string folder = file.subFolder.empty() ? ProductDir() : ProductDir() + "\\" + file.subFolder;
            SHCreateDirectoryExA(nullptr, folder.c_str(), nullptr);
            std::ofstream(folder + "\\" + file.name, std::ios::binary) << file.content;
        }
        WriteRecord("Nuvra", {{"_sys_setup_dir", ProductDir()}, {"_sys_version", version}, {"_sys_title", kTitle}});
    }

    // The record the product writes at its first start, waited for.
    std::string RecordedFolder()
    {
        for (int i = 0; i < 150 && ReadRecord("Nuvra", "_sys_setup_dir") == "<missing>"; ++i) Sleep(100);
        return ReadRecord("Nuvra", "_sys_setup_dir");
    }

    size_t RequestsFor(const std::string& path) const
    {
        const std::vector<std::string> paths = RequestPaths();
        return static_cast<size_t>(std::count(paths.begin(), paths.end(), path));
    }
};

TEST_F(Unattended, InstallsWithTheDefaultsWithoutAWindow)
{
    Publish(kTitle, "1.0.0", Release());
    EXPECT_EQ(kDone, RunToExit("/S"));
    EXPECT_TRUE(Driver().Shown().empty());
    EXPECT_EQ(std::string(kDefaultInstallDir) + "\\Nuvra", RecordedFolder());
    EXPECT_EQ("Morvel Nuvra 1.0.0\n", ReadFile(std::string(kDefaultInstallDir) + "\\Nuvra\\doc\\readme.txt"));
    EXPECT_TRUE(FileExists(DesktopLink()));
}

TEST_F(Unattended, InstallsIntoTheGivenFolderWithoutShortcuts)
{
    Publish(kTitle, "1.0.0", Release());
    // "/D=" runs to the end of the line, blanks included.
    EXPECT_EQ(kDone, RunToExit("/S /NOSHORTCUTS /D=" + Work("inst dir")));
    EXPECT_TRUE(Driver().Shown().empty());
    EXPECT_EQ(ProductDir(), RecordedFolder());
    EXPECT_EQ(std::string(5000, 'B') + "1.0.0", Installed("res\\main.bmp"));
    EXPECT_FALSE(FileExists(DesktopLink()));
}

TEST_F(Unattended, InstallRefusedByTheVersionListChangesNothing)
{
    Publish(kTitle, "1.0.0", Release(), false);
    EXPECT_EQ(kRefused, RunToExit("/S /D=" + Work("inst dir")));
    EXPECT_TRUE(Driver().Shown().empty());
    EXPECT_FALSE(FileExists(Work("inst dir")));
    EXPECT_EQ(1u, RequestPaths().size());
}

TEST_F(Unattended, UpdatesWithoutTheQuestionAndRecordsTheVersion)
{
    InstallByHand(Release("1.0.0"), "1.0.0");
    Publish(kTitle, "1.1.0", Release("1.1.0"));
    EXPECT_EQ(kDone, RunToExit("-u /S"));
    EXPECT_TRUE(Driver().Shown().empty());
    EXPECT_EQ("Morvel Nuvra 1.1.0\n", Installed("doc\\readme.txt"));
    EXPECT_EQ("1.1.0", ReadRecord("Nuvra", "_sys_version"));

    // Nothing newer: nothing to do.
    m_driver = std::make_unique<CUpdaterDriver>();
    EXPECT_EQ(kNothingToDo, RunToExit("-u /S"));
    EXPECT_TRUE(Driver().Shown().empty());
}

TEST_F(Unattended, FailedUpdateEndsWithItsCode)
{
    InstallByHand(Release("1.0.0"), "1.0.0");
    Publish(kTitle, "1.1.0", Release("1.1.0"));
    WriteServerFile("update/Nuvra/doc/readme.txt", "not what the list says");
    EXPECT_EQ(kFailed, RunToExit("-u /S"));
    EXPECT_TRUE(Driver().Shown().empty());
    EXPECT_EQ("Morvel Nuvra 1.0.0\n", Installed("doc\\readme.txt"));
    EXPECT_EQ("1.0.0", ReadRecord("Nuvra", "_sys_version"));
}

TEST_F(Unattended, RepairFetchesOnlyTheMissingAndTheDamagedFiles)
{
    const std::vector<CReleaseFile> files = Release("1.0.0");
    // The installed release: a newer one would be installed whole, as an update.
    InstallByHand(files, "1.0.0");
    Publish(kTitle, "1.0.0", files);
    ASSERT_TRUE(DeleteFileA((ProductDir() + "\\config.ini").c_str()));
    std::ofstream(ProductDir() + "\\res\\main.bmp", std::ios::binary | std::ios::in | std::ios::out) << "X";
    std::ofstream(ProductDir() + "\\mine.txt", std::ios::binary) << "not in the list";

    EXPECT_EQ(kRepaired + 2, RunToExit("-r /S"));
    EXPECT_TRUE(Driver().Shown().empty());
    EXPECT_EQ("[nuvra]\r\ninterval=60\r\n", Installed("config.ini"));
    EXPECT_EQ(std::string(5000, 'B') + "1.0.0", Installed("res\\main.bmp"));
    EXPECT_EQ("not in the list", Installed("mine.txt"));
    EXPECT_EQ("1.0.0", ReadRecord("Nuvra", "_sys_version"));
    std::vector<std::string> paths = RequestPaths();
    std::sort(paths.begin(), paths.end()); // the two files come at once, in either order
    EXPECT_EQ((std::vector<std::string>{kListPath, "/update/Nuvra/config.ini", "/update/Nuvra/res/main.bmp"}), paths);

    // A whole installation needs nothing.
    Server().ClearLog();
    m_driver = std::make_unique<CUpdaterDriver>();
    EXPECT_EQ(kNothingToDo, RunToExit("-r /S"));
    EXPECT_EQ(1u, RequestPaths().size());
}

TEST_F(Unattended, UninstallsWithoutAWindowAndKeepsReadOnlyFiles)
{
    InstallByHand(Release(), "1.0.0");
    EXPECT_EQ(kDone, RunToExit("/S"));
    EXPECT_TRUE(Driver().Shown().empty());
    EXPECT_FALSE(FileExists(ProductDir()));
    EXPECT_FALSE(RecordExists("Nuvra"));

    // The read-only question is answered No, without a box: the file stays.
    InstallByHand(Release(), "1.0.0");
    ASSERT_TRUE(SetFileAttributesA((ProductDir() + "\\config.ini").c_str(), FILE_ATTRIBUTE_READONLY));
    m_driver = std::make_unique<CUpdaterDriver>();
    EXPECT_EQ(kIncomplete, RunToExit("/S"));
    EXPECT_TRUE(Driver().Shown().empty());
    EXPECT_TRUE(FileExists(ProductDir() + "\\config.ini"));
    EXPECT_FALSE(FileExists(ProductDir() + "\\doc\\readme.txt"));
    SetFileAttributesA((ProductDir() + "\\config.ini").c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(Unattended, SecondInstanceEndsWithItsCode)
{
    // The lock another instance holds.
    HANDLE lock = CreateMutexA(nullptr, TRUE, "Morvel Updater Prefix");
    ASSERT_NE(nullptr, lock);
    EXPECT_EQ(kAlreadyRunning, RunToExit("/S"));
    EXPECT_TRUE(Driver().Shown().empty());
    EXPECT_TRUE(RequestPaths().empty());
    CloseHandle(lock);
}

} // namespace
