#include "app/CommandLine.h"
#include <gtest/gtest.h>

namespace {

struct CommandLineCase {
    const char* name;
    const char* tail;
    bool update, repair, silent, noShortcuts;
    const char* installDir;
    const char* logPath;
    bool refused = false; // an unattended run must not go on with this line
};

void PrintTo(const CommandLineCase& c, std::ostream* os)
{
    *os << c.name;
}

class CommandLineParse : public ::testing::TestWithParam<CommandLineCase> {};

TEST_P(CommandLineParse, ReadsTheSwitches)
{
    const CommandLineCase& c = GetParam();
    const CCommandLine line = CCommandLine::Parse(c.tail);
    EXPECT_EQ(c.update, line.update);
    EXPECT_EQ(c.repair, line.repair);
    EXPECT_EQ(c.silent, line.silent);
    EXPECT_EQ(c.noShortcuts, line.noShortcuts);
    EXPECT_EQ(c.installDir, line.installDir);
    EXPECT_EQ(c.logPath, line.logPath);
    EXPECT_EQ(c.refused, !line.problem.empty()) << line.problem;
}

INSTANTIATE_TEST_SUITE_P(
    Tails, CommandLineParse,
    ::testing::Values(
        CommandLineCase{"empty_installs", "", false, false, false, false, "", ""},
        CommandLineCase{"update", "-u", true, false, false, false, "", ""},
        // The old rule: "-u" alone, nothing else, not even a blank.
        CommandLineCase{"update_with_trailing_blank_is_none", "-u ", false, false, false, false, "", ""},
        CommandLineCase{"update_twice_is_none", "-u -u", false, false, false, false, "", "", true},
        CommandLineCase{"upper_case_update_is_none", "-U", false, false, false, false, "", "", true},
        CommandLineCase{"slash_update_is_none", "/u", false, false, false, false, "", "", true},
        CommandLineCase{"silent_update", "-u /S", true, false, true, false, "", ""},
        CommandLineCase{"silent_first_update", "/S -u", true, false, true, false, "", ""},
        CommandLineCase{"lower_case_silent_is_none", "/s", false, false, false, false, "", "", true},
        CommandLineCase{"repair", "-r", false, true, false, false, "", ""},
        CommandLineCase{"silent_repair", "-r /S", false, true, true, false, "", ""},
        CommandLineCase{"update_and_repair_is_neither", "-u -r", false, false, false, false, "", "", true},
        CommandLineCase{"silent_install", "/S", false, false, true, false, "", ""},
        CommandLineCase{"folder_with_blanks_to_the_end", "/S /NOSHORTCUTS /D=C:\\My Apps\\Morvel ", false, false, true,
                        true, "C:\\My Apps\\Morvel", ""},
        // A folder before or between other switches ends where the next switch begins.
        CommandLineCase{"folder_before_silent", "/D=C:\\My Apps /S", false, false, true, false, "C:\\My Apps", ""},
        CommandLineCase{"folder_between_switches", "/S /D=C:\\x -y /NOSHORTCUTS", false, false, true, true, "C:\\x -y",
                        ""},
        CommandLineCase{"folder_before_update", "/S /D=C:\\x -u", true, false, true, false, "C:\\x", ""},
        CommandLineCase{"quoted_folder_last", "/S /D=\"C:\\a b\"", false, false, true, false, "C:\\a b", ""},
        CommandLineCase{"quoted_folder_first", "/D=\"C:\\a b\" /S", false, false, true, false, "C:\\a b", ""},
        CommandLineCase{"quoted_folder_between", "/S /D=\"C:\\a /S\" /NOSHORTCUTS", false, false, true, true,
                        "C:\\a /S", ""},
        CommandLineCase{"quoted_whole_folder_word", "\"/D=C:\\a b\" /S", false, false, true, false, "C:\\a b", ""},
        CommandLineCase{"unclosed_folder_quote", "/S /D=\"C:\\a b", false, false, true, false, "", "", true},
        CommandLineCase{"text_after_closing_quote", "/S /D=\"C:\\a\"b", false, false, true, false, "", "", true},
        CommandLineCase{"empty_folder", "/D= /S", false, false, true, false, "", "", true},
        CommandLineCase{"two_folders", "/S /D=C:\\a /D=C:\\b", false, false, true, false, "C:\\a", "", true},
        CommandLineCase{"unknown_switch", "/S /Q", false, false, true, false, "", "", true},
        CommandLineCase{"lower_case_silent_beside_silent", "/S /s", false, false, true, false, "", "", true},
        CommandLineCase{"two_modes", "-u -r /S", false, false, true, false, "", "", true},
        CommandLineCase{"empty_log_path", "/S /LOG=", false, false, true, false, "", "", true},
        // Unattended, a trailing blank does not undo the mode switch.
        CommandLineCase{"silent_update_with_trailing_blank", "-u /S ", true, false, true, false, "", ""},
        CommandLineCase{"log_path", "-u /LOG=C:\\l.log", true, false, false, false, "", "C:\\l.log"},
        CommandLineCase{"quoted_log_path_with_blanks", "/LOG=\"C:\\a b\\l.log\" /S -r", false, true, true, false, "",
                        "C:\\a b\\l.log"},
        CommandLineCase{"unknown_word_stops_update", "-u /X", false, false, false, false, "", "", true}));

} // namespace
