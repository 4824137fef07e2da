#include "framework/StringTable.h"
#include "framework/TextConvert.h"
#include "framework/WinApp.h"
#include "res/resource.h"
#include <gtest/gtest.h>

namespace {

TEST(StringTable, LoadsKoreanTextsAsUtf16)
{
    EXPECT_EQ("모르벨 누브라를 업데이트하시겠습니까?", Utf8FromWide(CStringTable::Wide(IDS_UPDATE_QUESTION)));
    EXPECT_EQ("컴포넌트 설치 중 오류가 발생하여 설치를 종료합니다.",
              Utf8FromWide(CStringTable::Wide(IDS_INSTALL_ERROR)));
    EXPECT_EQ("삭제작업이 성공하였습니다.", Utf8FromWide(CStringTable::Wide(IDS_REMOVE_DONE)));
}

TEST(StringTable, NamesComeOutAsEightBitText)
{
    EXPECT_EQ("SOFTWARE\\Morvel", CStringTable::Ansi(IDS_MAKER_KEY));
    EXPECT_EQ("Microsoft\\Internet Explorer\\Quick Launch\\", CStringTable::Ansi(IDS_QUICK_LAUNCH));
    EXPECT_EQ("C:\\Program Files\\Morvel", CStringTable::Ansi(IDS_DEFAULT_INSTALL_DIR));
    // The shortcut name is a file name: code page 949 bytes, back to the same Korean text.
    std::string shortcut = CStringTable::Ansi(IDS_SHORTCUT_NAME);
    EXPECT_EQ(949u, GetACP());
    EXPECT_EQ("모르벨 누브라", Utf8FromWide(WideFromAnsi(shortcut)));
    EXPECT_EQ("", CStringTable::Ansi(999));
}

TEST(WinApp, CommandTailSkipsProgramNameAndFollowingBlanks)
{
    EXPECT_EQ("-u", CWinApp::CommandTail("C:\\x\\NuvraUpdater.exe -u"));
    EXPECT_EQ("-u", CWinApp::CommandTail("\"C:\\Program Files\\NuvraUpdater.exe\"   -u"));
    EXPECT_EQ("-u ", CWinApp::CommandTail("NuvraUpdater.exe -u "));
    EXPECT_EQ("/u", CWinApp::CommandTail("NuvraUpdater.exe\t/u"));
    EXPECT_EQ("", CWinApp::CommandTail("NuvraUpdater.exe"));
    EXPECT_EQ("", CWinApp::CommandTail("\"NuvraUpdater.exe\""));
    EXPECT_EQ("", CWinApp::CommandTail("\"unterminated"));
}

TEST(WinApp, ApplicationNameIsTheBaseFileName)
{
    EXPECT_EQ("NuvraUpdater", CWinApp::BaseNameWithoutExtension("C:\\a.b\\NuvraUpdater.exe"));
    EXPECT_EQ("setup", CWinApp::BaseNameWithoutExtension("setup"));
    EXPECT_EQ("x.y", CWinApp::BaseNameWithoutExtension("d/x.y.exe"));
}

} // namespace
