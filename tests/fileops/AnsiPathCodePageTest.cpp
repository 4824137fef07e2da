// Paths for the 8-bit file functions on a system whose code page (1252) has no Korean: a folder
// with a Korean name is reached through its short name, or not at all.
#include "framework/TextConvert.h"

#include "TempTree.h"

#include <windows.h>

#include <gtest/gtest.h>

namespace {

TEST(AnsiPathCodePage, NamesWithoutAnAnsiFormGoThroughTheirShortName)
{
    ASSERT_EQ(1252u, ::GetACP()) << "the runner must start this suite under an English locale";
    TempTree tree;
    tree.MakeFolder("plain");
    const std::wstring root(tree.Root().begin(), tree.Root().end()); // an ASCII temporary path

    EXPECT_EQ(tree.Path("plain"), AnsiPathFromWide(root + L"\\plain"));
    EXPECT_EQ("", AnsiPathFromWide(L""));

    const std::wstring korean = root + L"\\\uB204\uBE0C\uB77C"; // "누브라"
    ASSERT_TRUE(::CreateDirectoryW(korean.c_str(), nullptr));
    const std::string shortPath = AnsiPathFromWide(korean);
    ASSERT_FALSE(shortPath.empty());
    EXPECT_EQ(std::string::npos, shortPath.find('?'));
    const DWORD attributes = ::GetFileAttributesA(shortPath.c_str());
    ASSERT_NE(INVALID_FILE_ATTRIBUTES, attributes);
    EXPECT_TRUE(attributes & FILE_ATTRIBUTE_DIRECTORY);
    ::RemoveDirectoryW(korean.c_str()); // the tree's own clean-up works with 8-bit names

    // Not there, so no short name either: no path rather than a wrong one.
    EXPECT_EQ("", AnsiPathFromWide(root + L"\\\uBAA8\uB974\uBCA8")); // "모르벨"
}

} // namespace
