#include "install/InstallRecord.h"

#include <gtest/gtest.h>

namespace {

class InstallRecordTest : public ::testing::Test {
protected:
    void SetUp() override { ::RegDeleteTreeA(HKEY_CURRENT_USER, InstallRecord::kMakerKey); }
    void TearDown() override { ::RegDeleteTreeA(HKEY_CURRENT_USER, InstallRecord::kMakerKey); }

    static void CreateKey(const std::string& path)
    {
        HKEY key = nullptr;
        ASSERT_EQ(
            ::RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
        ::RegCloseKey(key);
    }

    static void StoreRaw(HKEY key, const char* name, const std::string& bytes)
    {
        ASSERT_EQ(::RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(bytes.data()),
                                   static_cast<DWORD>(bytes.size())),
                  ERROR_SUCCESS);
    }
};

TEST_F(InstallRecordTest, OpenProductKeyIsEmptyWhenMakerOrProductKeyIsMissing)
{
    EXPECT_FALSE(OpenProductKey("Nuvra"));
    CreateKey("SOFTWARE\\Morvel");
    EXPECT_FALSE(OpenProductKey("Nuvra"));
    CreateKey("SOFTWARE\\Morvel\\Nuvra");
    EXPECT_TRUE(OpenProductKey("Nuvra"));
}

TEST_F(InstallRecordTest, EmptyNameOpensMakerKeyItself)
{
    CreateKey("SOFTWARE\\Morvel");
    CRegKey key = OpenProductKey("");
    ASSERT_TRUE(key);
    ASSERT_TRUE(WriteRegString(key.get(), "probe", "x"));
    HKEY maker = nullptr;
    ASSERT_EQ(::RegOpenKeyExA(HKEY_CURRENT_USER, "SOFTWARE\\Morvel", 0, KEY_READ, &maker), ERROR_SUCCESS);
    EXPECT_EQ(::RegQueryValueExA(maker, "probe", nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
    ::RegCloseKey(maker);
}

TEST_F(InstallRecordTest, WrittenTextsReadBackUnchanged)
{
    CreateKey("SOFTWARE\\Morvel\\Nuvra");
    CRegKey key = OpenProductKey(InstallRecord::kProductName);
    ASSERT_TRUE(key);
    const std::string longest(InstallRecord::kMaxText, 'v');
    for (const std::string& text : {std::string("1.2.10"), std::string(""),
                                    std::string("\xb8\xf0\xb8\xa3\xba\xa7 \xb4\xa9\xba\xea\xb6\xf3"), longest}) {
        ASSERT_TRUE(WriteRegString(key.get(), "_sys_version", text));
        EXPECT_EQ(ReadRegString(key.get(), "_sys_version"), text);
    }
    // The key opened by OpenProductKey may also create sub-keys (components live beside it).
    HKEY sub = nullptr;
    EXPECT_EQ(::RegCreateKeyExA(key.get(), "sub", 0, nullptr, 0, KEY_READ, nullptr, &sub, nullptr), ERROR_SUCCESS);
    if (sub) ::RegCloseKey(sub);
}

TEST_F(InstallRecordTest, MissingValueReadsEmpty)
{
    CreateKey("SOFTWARE\\Morvel\\Nuvra");
    CRegKey key = OpenProductKey("Nuvra");
    EXPECT_EQ(ReadRegString(key.get(), "_sys_title"), "");
    EXPECT_EQ(ReadRegString(nullptr, "_sys_title"), "");
}

TEST_F(InstallRecordTest, OverlongValuesNeverOverflow)
{
    CreateKey("SOFTWARE\\Morvel\\Nuvra");
    CRegKey key = OpenProductKey("Nuvra");
    StoreRaw(key.get(), "long", std::string(300, 'x') + '\0');
    StoreRaw(key.get(), "full", std::string(260, 'y')); // no terminating zero at all
    StoreRaw(key.get(), "fits", std::string(259, 'z') + '\0');
    EXPECT_EQ(ReadRegString(key.get(), "long"), "");
    const std::string full = ReadRegString(key.get(), "full");
    EXPECT_LE(full.size(), InstallRecord::kMaxText);
    EXPECT_EQ(full.find_first_not_of('y'), std::string::npos);
    EXPECT_EQ(ReadRegString(key.get(), "fits"), std::string(259, 'z'));
}

TEST_F(InstallRecordTest, WriteRefusesTextsOfTwoHundredSixtyOrMore)
{
    CreateKey("SOFTWARE\\Morvel\\Nuvra");
    CRegKey key = OpenProductKey("Nuvra");
    EXPECT_FALSE(WriteRegString(key.get(), "_sys_version", std::string(260, 'x')));
    EXPECT_FALSE(WriteRegString(key.get(), "_sys_version", std::string(1000, 'x')));
    EXPECT_EQ(::RegQueryValueExA(key.get(), "_sys_version", nullptr, nullptr, nullptr, nullptr), ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(WriteRegString(nullptr, "_sys_version", "1.0"));
}

} // namespace
