// The commit of staged files and its recovery: a run stopped as a kill would after every step
// ends, at the next start, with one whole release, the right record and nothing stray.
#include "install/InstallRecord.h"
#include "tests/support/ScratchFolder.h"
#include "update/Commit.h"

#include <gtest/gtest.h>

#include <windows.h>

namespace {

struct FileCase {
    std::string path;     // below the installation
    std::string oldBytes; // "" when the release before had no such file
    std::string newBytes;
    bool copyAside;
};

const std::vector<FileCase> kFiles = {
    {"a.txt", "old a", "new a", false},
    {"sub/b.dll", "old b", "new b!", false},
    {"new/c.txt", "", "new c", false},
    {"d.ini", "old d", "new d", true},
};
// The journal, one step per rename (three files existed, so three go aside; four move in), the record.
constexpr std::size_t kSteps = 1 + 3 + 4 + 1;

std::string RecordedVersion()
{
    CRegKey key = OpenProductKey("Nuvra");
    return key ? ReadRegString(key.get(), "_sys_version") : "<none>";
}

class Commit : public ::testing::Test {
protected:
    void SetUp() override
    {
        CRegKey key;
        ASSERT_EQ(ERROR_SUCCESS,
                  RegCreateKeyExA(HKEY_CURRENT_USER, "SOFTWARE\\Morvel\\Nuvra", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                  key.put(), nullptr));
        ASSERT_TRUE(WriteRegString(key.get(), "_sys_version", "1.0.0"));
        for (const FileCase& file : kFiles) {
            if (!file.oldBytes.empty()) {
                ASSERT_TRUE(m_folder.Write("app/" + file.path, file.oldBytes));
            }
            ASSERT_TRUE(m_folder.Write("app/_nuvr_update/files/" + file.path, file.newBytes));
            CCommitJournal::Move move;
            move.target = Full(file.path);
            move.backup = Full(file.path + ".x");
            move.staged = Full("_nuvr_update/files/" + file.path);
            move.existed = !file.oldBytes.empty();
            move.copyAside = file.copyAside;
            move.size = static_cast<long long>(file.newBytes.size());
            m_journal.AddMove(move);
        }
        m_journal.SetRecord("1.0.0", "1.1.0");
        m_journal.SetStagingFolder(Full("_nuvr_update"));
    }
    void TearDown() override
    {
        DeleteFileA(CCommit::JournalPath().c_str());
        RegDeleteKeyA(HKEY_CURRENT_USER, "SOFTWARE\\Morvel\\Nuvra");
    }

    std::string Full(const std::string& path) const { return m_folder.File("app/" + path); }
    std::string Installed(const std::string& path) const { return m_folder.Read("app/" + path); }

    void ExpectRelease(bool isNew)
    {
        for (const FileCase& file : kFiles) {
            const std::string expected = isNew ? file.newBytes : file.oldBytes;
            if (expected.empty()) {
                EXPECT_FALSE(m_folder.Exists("app/" + file.path)) << file.path;
            } else {
                EXPECT_EQ(expected, Installed(file.path)) << file.path;
            }
            EXPECT_FALSE(m_folder.Exists("app/" + file.path + ".x")) << file.path;
        }
        EXPECT_EQ(isNew ? "1.1.0" : "1.0.0", RecordedVersion());
        EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(CCommit::JournalPath().c_str()));
    }

    CScratchFolder m_folder;
    CCommitJournal m_journal;
};

TEST_F(Commit, RunsWholeAndLeavesNothingBehind)
{
    ASSERT_TRUE(CCommit::Run(m_journal, nullptr));
    ExpectRelease(true);
    EXPECT_EQ((std::vector<std::string>{"a.txt", "d.ini", "new", "sub"}), m_folder.List("app"));
}

TEST_F(Commit, KillAtEveryStepIsFinishedByTheNextStart)
{
    for (std::size_t stop = 1; stop <= kSteps; ++stop) {
        SCOPED_TRACE("stopped after step " + std::to_string(stop));
        TearDown();
        SetUp();
        ASSERT_FALSE(CCommit::Run(m_journal, nullptr, stop));
        CCommit::RecoverInterrupted();
        ExpectRelease(true);
        EXPECT_FALSE(m_folder.Exists("app/_nuvr_update"));
    }
}

TEST_F(Commit, KillAtEveryStepBeforeTheLastRenameIsUndoneWhenAStagedFileIsDamaged)
{
    // The last file moves in at the second-to-last step; until then its staged copy can be lost.
    for (std::size_t stop = 1; stop < kSteps - 1; ++stop) {
        SCOPED_TRACE("stopped after step " + std::to_string(stop));
        TearDown();
        SetUp();
        ASSERT_FALSE(CCommit::Run(m_journal, nullptr, stop));
        ASSERT_TRUE(m_folder.Write("app/_nuvr_update/files/d.ini", "damaged"));
        CCommit::RecoverInterrupted();
        ExpectRelease(false);
        // What had moved in waits in the staging folder for the next run.
        EXPECT_EQ("new a", m_folder.Read("app/_nuvr_update/files/a.txt"));
        EXPECT_EQ("new c", m_folder.Read("app/_nuvr_update/files/new/c.txt"));
    }
}

// The install's commit: the old product folder aside, the staged tree in its place.
TEST_F(Commit, InstallKilledAtEveryStepIsFinishedByTheNextStart)
{
    CCommitJournal journal;
    CCommitJournal::Move move;
    move.folder = true;
    move.existed = true;
    move.target = m_folder.File("inst/Nuvra");
    move.backup = m_folder.File("inst/Nuvra.old");
    move.staged = m_folder.File("inst/tempZUM");
    journal.AddMove(move);
    for (std::size_t stop = 1; stop <= 3; ++stop) {
        SCOPED_TRACE("stopped after step " + std::to_string(stop));
        ASSERT_TRUE(m_folder.Write("inst/Nuvra/a.txt", "old a"));
        ASSERT_TRUE(m_folder.Write("inst/tempZUM/a.txt", "new a"));
        ASSERT_FALSE(CCommit::Run(journal, nullptr, stop));
        CCommit::RecoverInterrupted();
        EXPECT_EQ("new a", m_folder.Read("inst/Nuvra/a.txt"));
        EXPECT_EQ(std::vector<std::string>{"Nuvra"}, m_folder.List("inst"));
        EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(CCommit::JournalPath().c_str()));
    }
}

TEST_F(Commit, JournalCutWhileWrittenChangesNothing)
{
    std::string text = m_journal.Text();
    text.resize(text.size() - 8); // without its end line
    HANDLE file = CreateFileA(CCommit::JournalPath().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    DWORD written = 0;
    WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
    CCommit::RecoverInterrupted();
    ExpectRelease(false);
    EXPECT_EQ("new a", m_folder.Read("app/_nuvr_update/files/a.txt"));
}

} // namespace
