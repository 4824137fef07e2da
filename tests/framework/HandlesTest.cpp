// The move-only handle owners and the current-directory scope.
#include "framework/CurrentDirectoryScope.h"
#include "framework/Handles.h"
#include "tests/support/ScratchFolder.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

namespace {

bool IsOpen(HANDLE h)
{
    DWORD flags = 0;
    return GetHandleInformation(h, &flags) != FALSE;
}

TEST(Handles, OwnershipMovesAndTheHandleClosesOnce)
{
    HANDLE raw = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    ASSERT_TRUE(raw);
    {
        CHandle first(raw);
        CHandle second(std::move(first));
        EXPECT_FALSE(first);
        EXPECT_EQ(raw, second.get());
        CHandle third;
        third = std::move(second);
        EXPECT_FALSE(second);
        EXPECT_TRUE(IsOpen(raw));
    }
    EXPECT_FALSE(IsOpen(raw));
}

TEST(Handles, ReleaseHandsOverAndResetCloses)
{
    CHandle owner(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    HANDLE raw = owner.release();
    EXPECT_FALSE(owner);
    EXPECT_TRUE(IsOpen(raw));
    owner.reset(raw);
    owner.reset();
    EXPECT_FALSE(IsOpen(raw));
}

TEST(Handles, FindHandleTreatsInvalidAsEmpty)
{
    WIN32_FIND_DATAA found;
    CFindHandle none(FindFirstFileA("C:\\no such folder here\\*", &found));
    EXPECT_FALSE(none);
}

TEST(Handles, RegistryKeyFilledThroughPut)
{
    CRegKey key;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, "Software", 0, KEY_READ, key.put()));
    EXPECT_TRUE(key);
    key.reset();
    EXPECT_FALSE(key);
}

std::string CurrentDirectory()
{
    char buffer[MAX_PATH] = {};
    return std::string(buffer, GetCurrentDirectoryA(MAX_PATH, buffer));
}

TEST(CurrentDirectoryScope, EntersAndPutsThePreviousFolderBackOnEveryPathOut)
{
    CScratchFolder scratch;
    ASSERT_TRUE(scratch.Write("inner/x.txt", "x"));
    const std::string before = CurrentDirectory();
    {
        CCurrentDirectoryScope scope;
        ASSERT_TRUE(scope.Enter(scratch.Path()));
        EXPECT_EQ(scratch.Path(), CurrentDirectory());
        // A second step remembers the first folder, not the one in between.
        ASSERT_TRUE(scope.Enter("inner"));
        EXPECT_EQ(scratch.File("inner"), CurrentDirectory());
    }
    EXPECT_EQ(before, CurrentDirectory());
}

TEST(CurrentDirectoryScope, AFolderThatCannotBeEnteredChangesNothing)
{
    const std::string before = CurrentDirectory();
    CCurrentDirectoryScope scope;
    EXPECT_FALSE(scope.Enter("C:\\no such folder here"));
    EXPECT_EQ(before, CurrentDirectory());
    scope.Leave();
    EXPECT_EQ(before, CurrentDirectory());
}

} // namespace
