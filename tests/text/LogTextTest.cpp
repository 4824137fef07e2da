#include "text/LogText.h"

#include <gtest/gtest.h>

namespace {

// A double-byte code page in the shape of 949: lead bytes 0x81-0xFE with a trail byte, 0xC9 leads
// that have no character, 0x80 and 0xFF alone are none either. Each pair reads as a syllable.
std::size_t ReadTestCodePage(const char* text, std::size_t available, char32_t& code)
{
    const unsigned char lead = static_cast<unsigned char>(text[0]);
    if (lead < 0x81 || lead > 0xFE || available < 2) return 0;
    const unsigned char trail = static_cast<unsigned char>(text[1]);
    const bool trailOk = (trail >= 0x41 && trail <= 0x5A) || (trail >= 0x61 && trail <= 0x7A) || trail >= 0x81;
    if (!trailOk || trail == 0xFF || lead == 0xC9) return 0;
    code = lead == 0xA2 && trail == 0xA1 ? 0x0085 : 0xAC00 + ((lead - 0x81) * 0x100 + trail) % 0x2BA4;
    return 2;
}

std::string Escaped(const std::string& text, std::size_t maxBytes = 1000, std::size_t tailBytes = 10)
{
    return LogLineText(text, ReadTestCodePage, maxBytes, tailBytes);
}

TEST(LogLineText, ShowsEveryControlAndStrayByteAsAnEscapeAndKeepsTheRest)
{
    const std::string syllable = Escaped("\xB0\xA1"); // whatever the pair reads as, in UTF-8
    ASSERT_EQ(3u, syllable.size());
    struct {
        const char* name;
        std::string in;
        std::string out;
    } cases[] = {
        {"the program's own text", "GET /update/a.txt: status 200", "GET /update/a.txt: status 200"},
        {"a path keeps its backslashes", "C:\\Program Files\\Morvel", "C:\\Program Files\\Morvel"},
        {"ESC of a terminal sequence", "a\x1b[2Jb", "a\\x1b[2Jb"},
        {"CR and LF that would start a line", "a\r\n2026-01-01 forged", "a\\x0d\\x0a2026-01-01 forged"},
        {"NUL", std::string("a\0b", 3), "a\\x00b"},
        {"DEL and tab", "a\x7f\tb", "a\\x7f\\x09b"},
        {"a valid double-byte character", "\xB0\xA1!", syllable + "!"},
        {"a lead byte at the end", "ab\xB0", "ab\\xb0"},
        {"a lead byte before a line end keeps both visible", "a\xB0\nb", "a\\xb0\\x0ab"},
        {"a lead byte before a blank", "\xB0 x", "\\xb0 x"},
        {"bytes that are no character", "\x80-\xFF", "\\x80-\\xff"},
        {"a pair with no character", "\xC9\xA1", "\\xc9\\xa1"},
        {"a character that reads as C1", "\xA2\xA1", "\\xa2\\xa1"},
        {"empty", "", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(c.out, Escaped(c.in)) << c.name;
}

TEST(LogLineText, LongTextKeepsItsStartAndEndAndNotesItsLength)
{
    // Fits exactly: unchanged.
    EXPECT_EQ(std::string(40, 'a'), Escaped(std::string(40, 'a'), 40));

    const std::string big = "GET /" + std::string(2 * 1024 * 1024, 'n') + ": status 404";
    const std::string out = Escaped(big, 200, 20);
    EXPECT_LE(out.size(), 200u);
    EXPECT_EQ(0u, out.find("GET /nnn"));
    const std::string marker = "\xE2\x80\xA6(" + std::to_string(big.size()) + " bytes)\xE2\x80\xA6";
    EXPECT_NE(std::string::npos, out.find(marker)) << out;
    EXPECT_EQ(": status 404", out.substr(out.size() - 12));

    // The cut falls between whole escapes and whole characters, never inside one.
    const std::string mixed = std::string(300, '\x1b') + std::string(300, '\x80') + "\xB0\xA1\xB0\xA1";
    const std::string cut = Escaped(mixed, 101, 7);
    const std::size_t at = cut.find("\xE2\x80\xA6(");
    ASSERT_NE(std::string::npos, at);
    EXPECT_EQ(0u, at % 4) << cut;                                       // "\x1b" escapes, all whole
    EXPECT_EQ(Escaped("\xB0\xA1\xB0\xA1"), cut.substr(cut.size() - 6)); // two whole syllables
}

TEST(DecideLogWrite, RotatesOncePerRunThenStopsAtTwiceTheSize)
{
    const unsigned long long r = 1000;
    struct {
        unsigned long long file, line;
        bool rotated;
        LogWrite expected;
    } cases[] = {
        {0, 50, false, LogWrite::Append},        // a new file takes any bounded line
        {950, 50, false, LogWrite::Append},      // up to the size
        {951, 50, false, LogWrite::RotateFirst}, // past it, the first time in this run
        {951, 50, true, LogWrite::Append},       // past it again: this run's history stays in .1
        {1950, 50, true, LogWrite::Append},      // a rename that failed lets the file grow to twice
        {1951, 50, true, LogWrite::Drop},        // and no further
        {5000, 50, true, LogWrite::Drop},        // an older, larger file is not grown
        {0, 50, true, LogWrite::Append},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.expected, DecideLogWrite(c.file, c.line, c.rotated, r)) << c.file << "+" << c.line;
}

} // namespace
