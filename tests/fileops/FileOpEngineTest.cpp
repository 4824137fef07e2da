#include "fileops/FExeption.h"
#include "fileops/FileOpEngine.h"

#include "MessageBoxDriver.h"
#include "TempTree.h"

#include <gtest/gtest.h>

#include <winioctl.h>

#include <cstring>
#include <vector>

namespace {

const std::string kKorean = "\xb8\xf0\xb8\xa3\xba\xa7 \xb4\xa9\xba\xea\xb6\xf3"; // "모르벨 누브라"

// Asking is off in these tests; any question that still appears is recorded and cancelled.
class FileOpEngineTest : public ::testing::Test {
protected:
    FileOpEngineTest() { engine.SetAskReadOnly(false); }
    void TearDown() override { EXPECT_TRUE(unexpected.Texts().empty()) << unexpected.Texts().front(); }

    void ExpectLastError(DWORD code)
    {
        EXPECT_EQ(engine.GetLastErrorCode(), code);
        EXPECT_EQ(engine.GetLastErrorText(), CFExeption::SystemMessage(code));
        EXPECT_FALSE(engine.GetLastErrorText().empty());
    }

    TempTree tree;
    CFileOpEngine engine;
    MessageBoxDriver unexpected{"Warning", IDCANCEL};
};

TEST_F(FileOpEngineTest, FreshEngineHasNoError)
{
    EXPECT_EQ(engine.GetLastErrorText(), "No error");
    EXPECT_EQ(engine.GetLastErrorCode(), 0u);
    EXPECT_FALSE(engine.WasCancelled());
}

TEST_F(FileOpEngineTest, CanDeleteIsFalseForMissingPath)
{
    EXPECT_FALSE(engine.CanDelete(tree.Path("missing.txt")));
    ExpectLastError(ERROR_FILE_NOT_FOUND);
}

TEST_F(FileOpEngineTest, CanDeleteClearsReadOnlyWithoutAskingWhenAskingIsOff)
{
    tree.MakeFile("ro.txt");
    tree.SetReadOnly("ro.txt");
    tree.MakeFile("rw.txt");
    EXPECT_TRUE(engine.CanDelete(tree.Path("ro.txt")));
    EXPECT_FALSE(tree.IsReadOnly("ro.txt"));
    EXPECT_TRUE(engine.CanDelete(tree.Path("rw.txt")));
}

TEST_F(FileOpEngineTest, DeletesSingleFile)
{
    tree.MakeFile("a.txt");
    tree.MakeFile("b.txt");
    EXPECT_TRUE(engine.Delete(tree.Path("a.txt")));
    EXPECT_FALSE(tree.Exists("a.txt"));
    EXPECT_TRUE(tree.Exists("b.txt"));
}

TEST_F(FileOpEngineTest, DeletesNestedTreeWithKoreanNames)
{
    tree.MakeFile("Nuvra/Nuvra.exe");
    tree.MakeFile("Nuvra/skin/main.bmp");
    tree.MakeFile("Nuvra/" + kKorean + "/" + kKorean + ".txt");
    tree.MakeFolder("Nuvra/empty/deeper");
    tree.MakeFile("sibling.txt");
    EXPECT_TRUE(engine.Delete(tree.Path("Nuvra")));
    EXPECT_FALSE(tree.Exists("Nuvra"));
    EXPECT_TRUE(tree.Exists("sibling.txt"));
}

TEST_F(FileOpEngineTest, DeletesTreeWithReadOnlyFilesAndFoldersInside)
{
    tree.MakeFile("t/ro.txt");
    tree.MakeFile("t/sub/ro2.txt");
    tree.SetReadOnly("t/ro.txt");
    tree.SetReadOnly("t/sub/ro2.txt");
    tree.SetReadOnly("t/sub");
    tree.SetReadOnly("t");
    EXPECT_TRUE(engine.Delete(tree.Path("t")));
    EXPECT_FALSE(tree.Exists("t"));
}

TEST_F(FileOpEngineTest, DeleteOfMissingPathFails)
{
    EXPECT_FALSE(engine.Delete(tree.Path("missing")));
    ExpectLastError(ERROR_FILE_NOT_FOUND);
}

TEST_F(FileOpEngineTest, FailureDeepInTreeIsReportedAsLastError)
{
    tree.MakeFile("t/a/b/locked.txt");
    HANDLE open = ::CreateFileA(tree.Path("t/a/b/locked.txt").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(open, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(engine.Delete(tree.Path("t")));
    ::CloseHandle(open);
    EXPECT_NE(engine.GetLastErrorCode(), 0u);
    EXPECT_EQ(engine.GetLastErrorText(), CFExeption::SystemMessage(engine.GetLastErrorCode()));
    EXPECT_TRUE(tree.Exists("t/a/b/locked.txt"));
}

TEST_F(FileOpEngineTest, RenameMovesLikeMoveFile)
{
    tree.MakeFile("Nuvra.exe", "new");
    tree.MakeFile("taken.txt", "taken");
    tree.MakeFolder("dir");

    EXPECT_TRUE(engine.Rename(tree.Path("Nuvra.exe"), tree.Path("Nuvra.xexe")));
    EXPECT_FALSE(tree.Exists("Nuvra.exe"));
    EXPECT_EQ(tree.Content("Nuvra.xexe"), "new");

    EXPECT_FALSE(engine.Rename(tree.Path("Nuvra.xexe"), tree.Path("taken.txt"))); // target exists
    ExpectLastError(ERROR_ALREADY_EXISTS);
    EXPECT_EQ(tree.Content("Nuvra.xexe"), "new");
    EXPECT_EQ(tree.Content("taken.txt"), "taken");

    EXPECT_FALSE(engine.Rename(tree.Path("missing"), tree.Path("other"))); // source missing
    ExpectLastError(ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(tree.Exists("other"));

    EXPECT_TRUE(engine.Rename(tree.Path("dir"), tree.Path("dir2")));
    EXPECT_TRUE(tree.Exists("dir2"));
}

TEST_F(FileOpEngineTest, CopyPutsSourceContentsDirectlyUnderTarget)
{
    tree.MakeFile("tempZUM/Nuvra.exe", "exe");
    tree.MakeFile("tempZUM/skin/main.bmp", "bmp");
    tree.MakeFile("tempZUM/" + kKorean + "/a/b.txt", "deep");
    tree.MakeFolder("tempZUM/empty");

    EXPECT_TRUE(engine.Copy(tree.Path("tempZUM"), tree.Path("new/parents/Nuvra")));
    EXPECT_EQ(tree.Content("new/parents/Nuvra/Nuvra.exe"), "exe");
    EXPECT_EQ(tree.Content("new/parents/Nuvra/skin/main.bmp"), "bmp");
    EXPECT_EQ(tree.Content("new/parents/Nuvra/" + kKorean + "/a/b.txt"), "deep");
    EXPECT_TRUE(tree.Exists("new/parents/Nuvra/empty"));
    EXPECT_FALSE(tree.Exists("new/parents/Nuvra/tempZUM"));
    EXPECT_EQ(tree.Content("tempZUM/skin/main.bmp"), "bmp"); // the source stays
}

TEST_F(FileOpEngineTest, CopyOverwritesSameNamesAndKeepsOthers)
{
    tree.MakeFile("src/a.txt", "new");
    tree.MakeFile("dst/a.txt", "old");
    tree.MakeFile("dst/keep.txt", "keep");
    EXPECT_TRUE(engine.Copy(tree.Path("src"), tree.Path("dst")));
    EXPECT_EQ(tree.Content("dst/a.txt"), "new");
    EXPECT_EQ(tree.Content("dst/keep.txt"), "keep");
}

TEST_F(FileOpEngineTest, CopyRefusesMissingSourceAndCopyIntoItself)
{
    EXPECT_FALSE(engine.Copy(tree.Path("missing"), tree.Path("dst")));
    ExpectLastError(ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(tree.Exists("dst"));

    tree.MakeFile("src/a.txt");
    EXPECT_FALSE(engine.Copy(tree.Path("src"), tree.Path("src/inner")));
    ExpectLastError(ERROR_INVALID_PARAMETER);
    EXPECT_FALSE(tree.Exists("src/inner"));
}

// Makes link a junction to target (no privilege needed on Windows). False where the file
// system cannot hold one.
bool MakeJunction(const std::string& link, const std::string& target)
{
    if (!::CreateDirectoryA(link.c_str(), nullptr)) return false;
    wchar_t wideTarget[MAX_PATH] = {};
    ::MultiByteToWideChar(CP_ACP, 0, target.c_str(), -1, wideTarget, MAX_PATH);
    const std::wstring substitute = std::wstring(L"\\??\\") + wideTarget;
    const std::wstring print = wideTarget;
    const USHORT substituteBytes = static_cast<USHORT>(substitute.size() * sizeof(wchar_t));
    const USHORT printBytes = static_cast<USHORT>(print.size() * sizeof(wchar_t));
    // REPARSE_DATA_BUFFER for a mount point: tag, data length, reserved, then the path buffer.
    std::vector<BYTE> buffer(16 + substituteBytes + printBytes + 2 * sizeof(wchar_t), 0);
    const USHORT header[] = {0, substituteBytes, static_cast<USHORT>(substituteBytes + sizeof(wchar_t)), printBytes};
    const DWORD tag = IO_REPARSE_TAG_MOUNT_POINT;
    const USHORT dataBytes = static_cast<USHORT>(buffer.size() - 8);
    std::memcpy(&buffer[0], &tag, 4);
    std::memcpy(&buffer[4], &dataBytes, 2);
    std::memcpy(&buffer[8], header, sizeof header);
    std::memcpy(&buffer[16], substitute.c_str(), substituteBytes);
    std::memcpy(&buffer[16 + substituteBytes + sizeof(wchar_t)], print.c_str(), printBytes);

    HANDLE handle = ::CreateFileA(link.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return false;
    DWORD returned = 0;
    const BOOL ok = ::DeviceIoControl(handle, FSCTL_SET_REPARSE_POINT, buffer.data(), static_cast<DWORD>(buffer.size()),
                                      nullptr, 0, &returned, nullptr);
    ::CloseHandle(handle);
    if (!ok) ::RemoveDirectoryA(link.c_str());
    return ok != FALSE;
}

bool IsLinkOnDisk(const std::string& path)
{
    const DWORD attributes = ::GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

// Links inside a tree are removed as links; what they point to stays. Wine 8 can make neither
// junctions (FSCTL_SET_REPARSE_POINT fails) nor symbolic links (reported made, but absent), so
// this runs only where the file system has them.
TEST_F(FileOpEngineTest, DeleteRemovesLinksInsideTreeNotTheirTargets)
{
    tree.MakeFile("outside/keep.txt", "keep");
    tree.MakeFile("outside/sub/keep2.txt", "keep");
    tree.MakeFile("t/file.txt");
    tree.MakeFolder("t/deep");
    int links = 0;
    links += MakeJunction(tree.Path("t/junction"), tree.Path("outside")) && IsLinkOnDisk(tree.Path("t/junction"));
    ::CreateSymbolicLinkA(tree.Path("t/deep/folderlink").c_str(), tree.Path("outside/sub").c_str(),
                          SYMBOLIC_LINK_FLAG_DIRECTORY);
    ::CreateSymbolicLinkA(tree.Path("t/filelink.txt").c_str(), tree.Path("outside/keep.txt").c_str(), 0);
    links += IsLinkOnDisk(tree.Path("t/deep/folderlink")) + IsLinkOnDisk(tree.Path("t/filelink.txt"));
    if (links == 0) GTEST_SKIP() << "this file system cannot hold junctions or symbolic links";

    EXPECT_TRUE(engine.Delete(tree.Path("t")));
    EXPECT_FALSE(tree.Exists("t"));
    EXPECT_EQ(tree.Content("outside/keep.txt"), "keep");
    EXPECT_EQ(tree.Content("outside/sub/keep2.txt"), "keep");
}

} // namespace
