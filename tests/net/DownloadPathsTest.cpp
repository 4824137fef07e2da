#include "net/DownloadPaths.h"

#include <gtest/gtest.h>

namespace {

TEST(DownloadPaths, SplitsServerAndLocalPaths)
{
    const struct {
        const char* serverPath;
        const char* localPath;
        const char* serverFolder;
        const char* fileName;
        const char* localFolder;
    } cases[] = {
        {"Nuvra/data/a.ini", "data/a.ini.x", "/update/Nuvra/data/", "a.ini", "data/"},
        {"Nuvra/a.ini", "a.ini.xx", "/update/Nuvra/", "a.ini", ""},
        {"a.ini", "x/y/z.tmp", "/update/", "a.ini", "x/y/"},
        {"Nuvra/images/small/main.bmp", "images/small/main.bmp", "/update/Nuvra/images/small/", "main.bmp",
         "images/small/"},
        {"Nuvra/Nuvra.exe", "C:/Program Files/Morvel/", "/update/Nuvra/", "Nuvra.exe", "C:/Program Files/Morvel/"},
    };
    for (const auto& c : cases) {
        CDownloadTarget target;
        ASSERT_TRUE(SplitDownload(c.serverPath, c.localPath, target)) << c.serverPath;
        EXPECT_EQ(c.serverFolder, target.serverFolder) << c.serverPath;
        EXPECT_EQ(c.fileName, target.fileName) << c.serverPath;
        EXPECT_EQ(c.localFolder, target.localFolder) << c.serverPath;
    }
}

TEST(DownloadPaths, RefusesServerFileNamesThatLeaveTheFolder)
{
    for (const char* serverPath :
         {"", "Nuvra/", "Nuvra/..", "Nuvra/.", "Nuvra/..\\..\\evil.exe", "Nuvra/C:evil.exe", "Nuvra/a.ini:stream"}) {
        CDownloadTarget target;
        EXPECT_FALSE(SplitDownload(serverPath, "data/a.ini", target)) << serverPath;
    }
}

TEST(DownloadPaths, PartialDownloadNamesAreTheSinksOwn)
{
    for (const char* name : {"nvw1.tmp", "nvwA3F.tmp", "NVWffff.TMP"}) EXPECT_TRUE(IsPartialDownloadName(name)) << name;
    for (const char* name : {"nvw.tmp", "nvw12345.tmp", "nvwxyz.tmp", "nvw1.tmp.x", "a.tmp", "nvw1.dat", "nv1.tmp"})
        EXPECT_FALSE(IsPartialDownloadName(name)) << name;
}

TEST(DownloadPaths, ListFolders)
{
    EXPECT_EQ("/update/Nuvra/", FileListFolder("Nuvra"));
    EXPECT_STREQ("/update/", kUpdateBasePath);
    EXPECT_STREQ("version.txt", kVersionListName);
    EXPECT_STREQ("_nuvr_file_list.lst", kFileListName);
}

} // namespace
