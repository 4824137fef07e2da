// The read-only question itself, answered from a second thread as a user would.
#include "fileops/FExeption.h"
#include "fileops/FileOpEngine.h"

#include "MessageBoxDriver.h"
#include "TempTree.h"

#include <gtest/gtest.h>

namespace {

std::string Question(const std::string& name)
{
    return name + " is read olny. Do you want delete it?";
}

class ReadOnlyQuestionTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        tree.MakeFile("t/ro.txt");
        tree.SetReadOnly("t/ro.txt");
    }
    TempTree tree;
    CFileOpEngine engine; // asks by default
};

struct AnswerCase {
    int button;
    bool allowed;
    bool cancelled;
};

void PrintTo(const AnswerCase& c, std::ostream* os)
{
    *os << "button " << c.button;
}

class ReadOnlyAnswer : public ReadOnlyQuestionTest, public ::testing::WithParamInterface<AnswerCase> {};

TEST_P(ReadOnlyAnswer, DecidesCanDelete)
{
    const AnswerCase& c = GetParam();
    MessageBoxDriver user("Warning", c.button);
    EXPECT_EQ(engine.CanDelete(tree.Path("t/ro.txt")), c.allowed);
    EXPECT_EQ(user.Texts(), std::vector<std::string>{Question("ro.txt")});
    // Only Yes clears the attribute.
    EXPECT_EQ(tree.IsReadOnly("t/ro.txt"), !c.allowed);
    EXPECT_EQ(engine.WasCancelled(), c.cancelled);
    if (c.cancelled) {
        EXPECT_EQ(engine.GetLastErrorCode(), static_cast<DWORD>(ERROR_CANCELLED));
    }
}

INSTANTIATE_TEST_SUITE_P(Buttons, ReadOnlyAnswer,
                         ::testing::Values(AnswerCase{IDYES, true, false}, AnswerCase{IDNO, false, false},
                                           AnswerCase{IDCANCEL, false, true}),
                         [](const ::testing::TestParamInfo<AnswerCase>& info) {
                             return info.param.button == IDYES ? "Yes" : info.param.button == IDNO ? "No" : "Cancel";
                         });

TEST_F(ReadOnlyQuestionTest, AsksAboutReadOnlyFolderByItsName)
{
    tree.MakeFolder("t/tempZUM");
    tree.SetReadOnly("t/tempZUM");
    if (!tree.IsReadOnly("t/tempZUM")) GTEST_SKIP() << "this file system keeps no read-only attribute on folders";
    MessageBoxDriver user("Warning", IDYES);
    EXPECT_TRUE(engine.CanDelete(tree.Path("t/tempZUM")));
    EXPECT_EQ(user.Texts(), std::vector<std::string>{Question("tempZUM")});
}

TEST_F(ReadOnlyQuestionTest, WritablePathsAreNotAskedAbout)
{
    tree.MakeFile("t/rw.txt");
    MessageBoxDriver user("Warning", IDCANCEL);
    EXPECT_TRUE(engine.CanDelete(tree.Path("t/rw.txt")));
    EXPECT_TRUE(engine.CanDelete(tree.Path("t")));
    EXPECT_TRUE(user.Texts().empty());
}

TEST_F(ReadOnlyQuestionTest, QuestionBelongsToOwnerWindow)
{
    HWND owner = ::CreateWindowExA(0, "STATIC", "owner", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr, nullptr, nullptr,
                                   nullptr);
    ASSERT_NE(owner, nullptr);
    engine.SetOwner(owner);
    {
        MessageBoxDriver user("Warning", IDNO);
        EXPECT_FALSE(engine.CanDelete(tree.Path("t/ro.txt")));
        EXPECT_EQ(user.FirstOwner(), owner);
    }
    ::DestroyWindow(owner);
}

TEST_F(ReadOnlyQuestionTest, DeleteTreeAnsweredYesRemovesEverything)
{
    tree.MakeFile("t/sub/ro2.txt");
    tree.SetReadOnly("t/sub/ro2.txt");
    MessageBoxDriver user("Warning", IDYES);
    EXPECT_TRUE(engine.Delete(tree.Path("t")));
    EXPECT_FALSE(tree.Exists("t"));
    EXPECT_EQ(user.Texts().size(), 2u);
}

TEST_F(ReadOnlyQuestionTest, DeleteTreeAnsweredNoKeepsOnlyThatFile)
{
    tree.MakeFile("t/rw.txt");
    tree.MakeFile("t/sub/rw2.txt");
    MessageBoxDriver user("Warning", IDNO);
    EXPECT_FALSE(engine.Delete(tree.Path("t")));
    EXPECT_EQ(engine.GetLastErrorCode(), static_cast<DWORD>(ERROR_DIR_NOT_EMPTY));
    EXPECT_TRUE(tree.Exists("t/ro.txt"));
    EXPECT_FALSE(tree.Exists("t/rw.txt"));
    EXPECT_FALSE(tree.Exists("t/sub"));
    EXPECT_FALSE(engine.WasCancelled());
}

TEST_F(ReadOnlyQuestionTest, DeleteTreeAnsweredCancelAbandonsTheRest)
{
    tree.MakeFile("t/sub/ro2.txt");
    tree.SetReadOnly("t/sub/ro2.txt");
    MessageBoxDriver user("Warning", IDCANCEL);
    EXPECT_FALSE(engine.Delete(tree.Path("t")));
    EXPECT_TRUE(engine.WasCancelled());
    EXPECT_EQ(user.Texts().size(), 1u); // the second read-only file is never asked about
    EXPECT_TRUE(tree.Exists("t"));
    EXPECT_TRUE(tree.IsReadOnly("t/ro.txt") || tree.IsReadOnly("t/sub/ro2.txt"));
}

TEST_F(ReadOnlyQuestionTest, DeletingReadOnlyFileAnsweredNoFails)
{
    MessageBoxDriver user("Warning", IDNO);
    EXPECT_FALSE(engine.Delete(tree.Path("t/ro.txt")));
    EXPECT_EQ(engine.GetLastErrorCode(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_TRUE(tree.Exists("t/ro.txt"));
}

} // namespace
