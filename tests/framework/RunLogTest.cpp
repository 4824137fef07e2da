#include "framework/RunLog.h"
#include "tests/support/ScratchFolder.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <sstream>
#include <vector>

namespace {

class RunLogTest : public ::testing::Test {
protected:
    void TearDown() override { CRunLog::Close(); }

    // The log's lines without their time stamp and process id.
    std::vector<std::string> Lines(const std::string& relative) const
    {
        std::vector<std::string> lines;
        std::istringstream in(folder.Read(relative));
        for (std::string line; std::getline(in, line);) {
            EXPECT_EQ('\r', line.empty() ? 0 : line.back()) << line;
            line.pop_back();
            const std::size_t text = line.find("] ");
            lines.push_back(text == std::string::npos ? line : line.substr(text + 2));
        }
        return lines;
    }
    unsigned long long Size(const std::string& relative) const { return folder.Read(relative).size(); }

    CScratchFolder folder;
};

TEST_F(RunLogTest, TextFromOutsideStaysOneLineOfVisibleCharactersAndKoreanStaysKorean)
{
    ASSERT_EQ(949u, ::GetACP());
    const struct {
        const char* name;
        std::string in;
        std::string out;
    } cases[] = {
        {"Korean (CP949) in UTF-8", "doc/\xB0\xF8\xC1\xF6.txt", "doc/\xEA\xB3\xB5\xEC\xA7\x80.txt"},
        {"terminal and line controls", std::string("a\x1b[31m\r\nb\0c", 11), "a\\x1b[31m\\x0d\\x0ab\\x00c"},
        {"a lead byte at the end", "a\xB0", "a\\xb0"},
        {"a lead byte before a line end", "a\xB0\nb", "a\\xb0\\x0ab"},
        {"a lead byte before a blank", "\x81 x", "\\x81 x"},
        {"bytes with no character in 949", "\x80|\xFF", "\\x80|\\xff"},
        {"a user-defined pair", "\xC9\xA1", "\\xc9\\xa1"},
    };
    CRunLog::Open(folder.File("run.log"));
    for (const auto& c : cases) CRunLog::Write(c.in);
    CRunLog::Close();
    const std::vector<std::string> lines = Lines("run.log");
    ASSERT_EQ(std::size(cases), lines.size());
    for (std::size_t i = 0; i < lines.size(); ++i) EXPECT_EQ(cases[i].out, lines[i]) << cases[i].name;
}

TEST_F(RunLogTest, OneRunRotatesOnceAndNeverPushesTheEarlierHistoryOut)
{
    const unsigned long long bound = CRunLog::kRotateBytes;
    const std::string history = "history of an earlier run\r\n" + std::string(bound - 200, 'h') + "\r\n";
    ASSERT_TRUE(folder.Write("run.log", history));
    ASSERT_TRUE(folder.Write("run.log.1", "the run before that"));

    CRunLog::Open(folder.File("run.log"));
    CRunLog::Write("a value of 2 MB: " + std::string(2 * 1024 * 1024, 'v') + " and what follows it");
    for (int i = 0; i < 800; ++i) CRunLog::Write(std::string(3000, 'n'));
    CRunLog::Close();
    CRunLog::Write("after the close"); // dropped

    EXPECT_EQ(history, folder.Read("run.log.1")) << "the earlier run's lines stay whole in .1";
    const std::vector<std::string> lines = Lines("run.log");
    ASSERT_FALSE(lines.empty());
    EXPECT_LE(lines[0].size(), CRunLog::kLineBytes);
    EXPECT_EQ(0u, lines[0].find("a value of 2 MB: vvv"));
    EXPECT_NE(std::string::npos, lines[0].find("\xE2\x80\xA6(2097189 bytes)\xE2\x80\xA6")) << lines[0].size();
    EXPECT_NE(std::string::npos, lines[0].find("vvv and what follows it"));
    // This run's lines fill the new file up to twice the size, and no further.
    EXPECT_LE(Size("run.log"), 2 * bound);
    EXPECT_GT(Size("run.log"), 2 * bound - 4000);
    EXPECT_EQ(std::string(3000, 'n'), lines.back());
}

TEST_F(RunLogTest, LogWhoseRotationFailsStopsGrowingAtTwiceTheSize)
{
    const unsigned long long bound = CRunLog::kRotateBytes;
    ASSERT_TRUE(::CreateDirectoryA(folder.File("run.log.1").c_str(), nullptr)); // cannot be replaced
    ASSERT_TRUE(folder.Write("run.log", std::string(bound - 100, 'h') + "\r\n"));
    for (int run = 0; run < 2; ++run) {
        CRunLog::Open(folder.File("run.log"));
        for (int i = 0; i < 500; ++i) CRunLog::Write(std::string(3000, 'n'));
        CRunLog::Close();
        EXPECT_LE(Size("run.log"), 2 * bound) << "run " << run;
    }
    EXPECT_EQ(0u, folder.Read("run.log").find(std::string(bound - 100, 'h')));
}

} // namespace
