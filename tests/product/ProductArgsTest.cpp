#include "product/ProductArgs.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace {

struct ArgsCase {
    const char* name;
    const char* commandLine;
    const char* program;
    const char* folder; // nullptr: switch absent
    const char* version;
    const char* title;
};

// Keeps the generated test descriptions readable instead of a byte dump.
void PrintTo(const ArgsCase& c, std::ostream* os)
{
    *os << c.name;
}

class ParseProductArgsTest : public ::testing::TestWithParam<ArgsCase> {};

TEST_P(ParseProductArgsTest, ReadsProgramAndSwitches)
{
    const ArgsCase& c = GetParam();
    CProductArgs args = ParseProductArgs(c.commandLine);
    EXPECT_EQ(args.programPath, c.program);
    EXPECT_EQ(args.hasFolder, c.folder != nullptr);
    EXPECT_EQ(args.hasVersion, c.version != nullptr);
    EXPECT_EQ(args.hasTitle, c.title != nullptr);
    if (c.folder) {
        EXPECT_EQ(args.folder, c.folder);
    }
    if (c.version) {
        EXPECT_EQ(args.version, c.version);
    }
    if (c.title) {
        EXPECT_EQ(args.title, c.title);
    }
}

const ArgsCase kCases[] = {
    // What the installer writes: an unquoted program path with blanks, quoted values.
    {"InstallerLine",
     R"(C:\Program Files\Morvel\Nuvra\Nuvra.exe -d"C:\Program Files\Morvel\Nuvra" -v"1.0.0" -t"Morvel Nuvra")",
     R"(C:\Program Files\Morvel\Nuvra\Nuvra.exe)", R"(C:\Program Files\Morvel\Nuvra)", "1.0.0", "Morvel Nuvra"},
    {"QuotedProgram", R"("C:\Program Files\Morvel\Nuvra\Nuvra.exe" -d"C:\x" -v"1.2.10" -t"T")",
     R"(C:\Program Files\Morvel\Nuvra\Nuvra.exe)", R"(C:\x)", "1.2.10", "T"},
    // The updater's restart: program path only.
    {"UnquotedProgramOnly", R"(C:\Program Files\Morvel\Nuvra\Nuvra.exe)", R"(C:\Program Files\Morvel\Nuvra\Nuvra.exe)",
     nullptr, nullptr, nullptr},
    {"QuotedProgramOnlyWithTrailingBlank", R"("C:\a b\Nuvra.exe" )", R"(C:\a b\Nuvra.exe)", nullptr, nullptr, nullptr},
    // A hyphen inside the folder name must not start an argument when values are quoted.
    {"HyphenInUnquotedProgram", R"(C:\My -dir\Nuvra.exe -d"C:\My -dir" -v"1" -t"x")", R"(C:\My -dir\Nuvra.exe)",
     R"(C:\My -dir)", "1", "x"},
    // Without the ".exe" ending the first quoted argument, or else the first hyphen, decides.
    {"ProgramWithoutExeSuffix", R"(C:\My Apps\Nuvra -d"C:\x" -v"1")", R"(C:\My Apps\Nuvra)", R"(C:\x)", "1", nullptr},
    {"ProgramWithoutExeSuffixOrQuotes", R"(C:\My Apps\Nuvra -v1)", R"(C:\My Apps\Nuvra)", nullptr, "1", nullptr},
    // How Wine rebuilds a command line from separate words: whole words quoted.
    {"WholeWordQuoted", R"("Z:\w\Nuvra.exe" -dC:\x\ -v1.0 "-tMorvel Nuvra")", R"(Z:\w\Nuvra.exe)", R"(C:\x\)", "1.0",
     "Morvel Nuvra"},
    // Backslashes are taken as they are, also before a closing quote.
    {"DriveRootFolder", R"(Nuvra.exe -d"C:\" -v"1")", "Nuvra.exe", R"(C:\)", "1", nullptr},
    {"EmptyValues", R"(Nuvra.exe -d"" -v"" -t"")", "Nuvra.exe", "", "", ""},
    {"SwitchesInAnyOrder", R"(Nuvra.exe -t"Title here" -d"D:\Apps\Morvel\Nuvra" -v"2.0")", "Nuvra.exe",
     R"(D:\Apps\Morvel\Nuvra)", "2.0", "Title here"},
    {"UnquotedValues", R"(Nuvra.exe -dC:\x -v1.0 -tNuvra)", "Nuvra.exe", R"(C:\x)", "1.0", "Nuvra"},
    {"BlankBeforeQuotedValue", R"(Nuvra.exe -d "C:\a b" -v "1.0")", "Nuvra.exe", R"(C:\a b)", "1.0", nullptr},
    {"MissingClosingQuoteRunsToEnd", R"(Nuvra.exe -v"1.0" -t"Morvel Nuvra)", "Nuvra.exe", nullptr, "1.0",
     "Morvel Nuvra"},
    {"UnknownSwitchesAndWordsIgnored", R"(Nuvra.exe -u stray "quoted word" -x"y" -v"3")", "Nuvra.exe", nullptr, "3",
     nullptr},
    {"TabsAndLeadingBlanks", "  \"Nuvra.exe\"\t-d\"C:\\x\"\t-t\"a\tb\"", "Nuvra.exe", R"(C:\x)", nullptr, "a\tb"},
    // Korean title in code page 949 ("모르벨"), passed through byte for byte.
    {"EightBitTitle", "Nuvra.exe -t\"\xB8\xF0\xB8\xA3\xBA\xA7\"", "Nuvra.exe", nullptr, nullptr,
     "\xB8\xF0\xB8\xA3\xBA\xA7"},
    {"EmptyCommandLine", "", "", nullptr, nullptr, nullptr},
    {"UnclosedProgramQuote", R"("C:\a b\Nuvra.exe -d"x")", R"(C:\a b\Nuvra.exe -d)", nullptr, nullptr, nullptr},
};

INSTANTIATE_TEST_SUITE_P(CommandLines, ParseProductArgsTest, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<ArgsCase>& info) { return std::string(info.param.name); });

} // namespace
